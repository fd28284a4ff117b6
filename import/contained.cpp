// The child process, its limits, and the parent's watch over time and memory.
#include "contained.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define NPRVIEW_IMPORT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NPRVIEW_IMPORT_ASAN 1
#endif
#endif

namespace {

constexpr size_t kMiB = size_t{1} << 20;
// The child's exit status when an allocation fails, and when the work throws.
constexpr int kOutOfMemoryStatus = 3;
constexpr int kThrewStatus = 4;

enum : unsigned char { kAnswerMesh = 1, kAnswerError = 2 };

// An absolute cap on the processor time, however large the input.
constexpr std::uint64_t kMostCpuSeconds = 300;
// A step of the watch loop longer than this was spent stopped (Ctrl-Z), and counts only this much.
constexpr auto kLongestStep = std::chrono::milliseconds(100);

// The signals that end the tool while the child runs; the child's process group goes with it.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t g_childGroup = 0;
volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous[std::size(kEndingSignals)];

void endWithChild(int signal) {
  if (g_childGroup > 0) {
    kill(-g_childGroup, SIGKILL);
  }
  g_interrupted = 1;
  // The signal stays blocked until this handler returns, and then meets what was there before: the
  // default ends the tool with it.
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (kEndingSignals[i] == signal) {
      sigaction(signal, &g_previous[i], nullptr);
    }
  }
  raise(signal);
}

sigset_t endingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndingSignals) {
    sigaddset(&set, signal);
  }
  return set;
}

// Handlers for the ending signals, for as long as a child runs; a signal the tool ignores stays ignored.
void watchEndingSignals() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = endWithChild;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], nullptr, &g_previous[i]);
    if (g_previous[i].sa_handler != SIG_IGN) {
      sigaction(kEndingSignals[i], &action, nullptr);
    }
  }
}

void restoreEndingSignals() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], &g_previous[i], nullptr);
  }
  g_childGroup = 0;
}

// 'T' (stopped) or 't' (stopped by a tracer) in /proc/PID/stat, after the command name in parentheses.
bool isStopped(pid_t pid) {
  char path[64], text[512];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE* file = std::fopen(path, "r");
  if (!file) {
    return false;
  }
  const size_t length = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[length] = '\0';
  const char* end = std::strrchr(text, ')');
  return end && (end[2] == 'T' || end[2] == 't');
}

size_t pageSize() {
  return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Field 0 of /proc/PID/statm is the address space, field 1 the resident set, both in pages.
size_t statmField(pid_t pid, int field) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
  FILE* file = std::fopen(path, "r");
  if (!file) {
    return 0;
  }
  unsigned long values[2] = {0, 0};
  const int read = std::fscanf(file, "%lu %lu", &values[0], &values[1]);
  std::fclose(file);
  return read == 2 ? values[field] * pageSize() : 0;
}

bool writeAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

void outOfMemory() {
  _exit(kOutOfMemoryStatus);
}

void limitChild(const ImportLimits& limits) {
  const rlimit cpu{static_cast<rlim_t>(limits.cpuSeconds), static_cast<rlim_t>(limits.cpuSeconds) + 1};
  setrlimit(RLIMIT_CPU, &cpu);
  const rlimit core{0, 0};
  setrlimit(RLIMIT_CORE, &core);
#ifndef NPRVIEW_IMPORT_ASAN
  // A huge allocation then fails at once instead of growing until the parent notices. The sanitizer
  // reserves terabytes of address space for its shadow, so there only the parent's watch applies.
  const rlim_t space = statmField(getpid(), 0) + limits.memoryBytes;
  const rlimit address{space, space};
  setrlimit(RLIMIT_AS, &address);
#endif
  std::set_new_handler(outOfMemory);
  // Die of the signal itself, not in a handler the parent (a sanitizer, a fuzzer, the import's own
  // watch of ending signals) installed.
  for (int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGXCPU, SIGINT, SIGTERM, SIGHUP}) {
    ::signal(signal, SIG_DFL);
  }
  const sigset_t ending = endingSignals();
  sigprocmask(SIG_UNBLOCK, &ending, nullptr);
  // In a process group of its own, outside the terminal's: it reads and writes nothing there.
  const int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
  }
}

[[noreturn]] void runChild(int fd, const std::function<bool(PolyMesh&, std::string&)>& work,
                           const ImportLimits& limits, pid_t parent) {
  setpgid(0, 0);
  // Killed with its parent, however the parent ends; a parent already gone leaves no one to answer.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
    _exit(1);
  }
  limitChild(limits);
  PolyMesh mesh;
  std::string error;
  bool worked = false;
  // An exception must not unwind into the parent's frames, which this process shares.
  try {
    worked = work(mesh, error);
  } catch (const std::bad_alloc&) {
    _exit(kOutOfMemoryStatus);
  } catch (...) {
    _exit(kThrewStatus);
  }
  bool sent = false;
  if (worked) {
    const unsigned char tag = kAnswerMesh;
    const std::uint64_t counts[2] = {mesh.positions.size(), mesh.faces.size()};
    sent = writeAll(fd, &tag, 1) && writeAll(fd, counts, sizeof counts) &&
           writeAll(fd, mesh.positions.data(), mesh.positions.size() * sizeof mesh.positions[0]) &&
           writeAll(fd, mesh.faces.data(), mesh.faces.size() * sizeof mesh.faces[0]);
  } else {
    if (error.empty()) {
      error = "the importer gave no reason";
    }
    const unsigned char tag = kAnswerError;
    const std::uint64_t length = error.size();
    sent =
        writeAll(fd, &tag, 1) && writeAll(fd, &length, sizeof length) && writeAll(fd, error.data(), length);
  }
  _exit(sent ? 0 : 1);
}

// Reads the child's answer into mesh or error; false when it is not a whole answer.
bool readAnswer(const std::vector<char>& answer, PolyMesh& mesh, std::string& error) {
  if (answer.size() < 1 + sizeof(std::uint64_t)) {
    return false;
  }
  const char* rest = answer.data() + 1;
  const size_t restSize = answer.size() - 1;
  if (answer[0] == kAnswerError) {
    std::uint64_t length = 0;
    std::memcpy(&length, rest, sizeof length);
    if (length != restSize - sizeof length) {
      return false;
    }
    error.assign(rest + sizeof length, length);
    return true;
  }
  std::uint64_t counts[2] = {0, 0};
  if (answer[0] != kAnswerMesh || restSize < sizeof counts) {
    return false;
  }
  std::memcpy(counts, rest, sizeof counts);
  const size_t positionBytes = sizeof mesh.positions[0], faceBytes = sizeof mesh.faces[0];
  // The answer is bounded by the memory limit, so a count that could overflow is already too large.
  if (counts[0] > restSize / positionBytes || counts[1] > restSize / faceBytes ||
      counts[0] * positionBytes + counts[1] * faceBytes != restSize - sizeof counts) {
    return false;
  }
  mesh.positions.resize(counts[0]);
  mesh.faces.resize(counts[1]);
  // An empty vector's data() may be null, which memcpy must not be given even for no bytes.
  if (counts[0] > 0) {
    std::memcpy(mesh.positions.data(), rest + sizeof counts, counts[0] * positionBytes);
  }
  if (counts[1] > 0) {
    std::memcpy(mesh.faces.data(), rest + sizeof counts + counts[0] * positionBytes, counts[1] * faceBytes);
  }
  mesh.normals.clear();
  return true;
}

std::string seconds(int count) {
  return std::to_string(count) + (count == 1 ? " second" : " seconds");
}

std::string mebibytes(size_t bytes) {
  return std::to_string(bytes / kMiB) + " MiB";
}

enum class Stop { None, Time, Memory, Size };

}  // namespace

ImportLimits importLimitsFor(std::uint64_t realBytes) {
  const std::uint64_t mib = realBytes / kMiB;
  // Half the machine's memory at most, so that no input makes the import the one the system starves for.
  const std::uint64_t half =
      std::uint64_t{static_cast<unsigned long>(sysconf(_SC_PHYS_PAGES))} * pageSize() / 2;
  std::uint64_t memory = std::min<std::uint64_t>(64 * kMiB + 50 * std::min(realBytes, half), half);
#ifdef NPRVIEW_IMPORT_ASAN
  memory = 3 * memory + 256 * kMiB;
#endif
  const std::uint64_t cpu = std::min<std::uint64_t>(5 + mib, kMostCpuSeconds);
  return {static_cast<size_t>(memory), static_cast<int>(cpu), static_cast<int>(2 * cpu + 5)};
}

std::string outOfMemoryReason(const ImportLimits& limits) {
  return "importing it needs more than " + mebibytes(limits.memoryBytes) + " of memory";
}

bool runContained(const std::function<bool(PolyMesh&, std::string&)>& work, const ImportLimits& limits,
                  PolyMesh& mesh, std::string& error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("cannot start the importer: ") + std::strerror(errno);
    return false;
  }
  // What the child shares with this process at the start does not count against its limit.
  const size_t rssLimit = statmField(getpid(), 1) + limits.memoryBytes;
  std::fflush(nullptr);
  // Blocked across the fork, so that no ending signal finds a child without a group or a handler.
  const sigset_t ending = endingSignals();
  sigset_t previousMask;
  sigprocmask(SIG_BLOCK, &ending, &previousMask);
  watchEndingSignals();
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) {
    error = std::string("cannot start the importer: ") + std::strerror(errno);
    restoreEndingSignals();
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (child == 0) {
    close(fds[0]);
    runChild(fds[1], work, limits, parent);
  }
  close(fds[1]);
  setpgid(child, child);
  g_childGroup = child;
  sigprocmask(SIG_SETMASK, &previousMask, nullptr);

  // Wall-clock time counts only while both run: a step spent stopped counts as a short one, and so does
  // one while the child is stopped. The kernel counts the child's processor time.
  using Clock = std::chrono::steady_clock;
  Clock::duration active{};
  Clock::time_point last = Clock::now();
  const auto overTime = [&] {
    const Clock::time_point now = Clock::now();
    if (!isStopped(child)) {
      active += std::min<Clock::duration>(now - last, kLongestStep);
    }
    last = now;
    return active > std::chrono::seconds(limits.wallSeconds);
  };
  std::vector<char> answer;
  Stop stop = Stop::None;
  bool ended = false;
  while (!ended && stop == Stop::None) {
    pollfd ready{fds[0], POLLIN, 0};
    if (poll(&ready, 1, 10) > 0) {
      char buffer[65536];
      const ssize_t count = read(fds[0], buffer, sizeof buffer);
      if (count > 0 && answer.size() + static_cast<size_t>(count) > limits.memoryBytes) {
        stop = Stop::Size;
      } else if (count > 0) {
        answer.insert(answer.end(), buffer, buffer + count);
      } else if (count == 0 || errno != EINTR) {
        ended = true;
      }
    }
    if (overTime()) {
      stop = Stop::Time;
    } else if (statmField(child, 1) > rssLimit) {
      stop = Stop::Memory;
    }
  }
  close(fds[0]);
  // The child closes its end only by ending; give it until the deadline to do so.
  int status = 0;
  pid_t reaped = 0;
  while ((reaped = waitpid(child, &status, WNOHANG)) == 0 && stop == Stop::None) {
    if (overTime()) {
      stop = Stop::Time;
    } else {
      poll(nullptr, 0, 1);
    }
  }
  if (reaped == 0) {
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  restoreEndingSignals();

  // What this process stopped comes first: the child it killed ends on SIGKILL like one over its hard
  // processor-time limit.
  const bool outOfMemory =
      stop == Stop::Memory || stop == Stop::Size ||
      (stop == Stop::None && WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryStatus);
  if (outOfMemory) {
    error = outOfMemoryReason(limits);
    return false;
  }
  if (stop == Stop::Time) {
    error = "importing it takes too long (over " + seconds(limits.wallSeconds) + ")";
    return false;
  }
  // A signal the caller handles itself killed the child; the caller goes on.
  if (g_interrupted && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
    error = "the import was interrupted";
    return false;
  }
  if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)) {
    error = "importing it takes too long (over " + seconds(limits.cpuSeconds) + " of processor time)";
    return false;
  }
  if (WIFSIGNALED(status)) {
    error = std::string("the importer crashed (") + strsignal(WTERMSIG(status)) + ")";
    return false;
  }
  std::string childError;
  bool answered = false;
  try {
    answered = WIFEXITED(status) && WEXITSTATUS(status) == 0 && readAnswer(answer, mesh, childError);
  } catch (const std::bad_alloc&) {
    error = "importing it needs more memory than there is";
    return false;
  }
  if (!answered && WIFEXITED(status) && WEXITSTATUS(status) == kThrewStatus) {
    error = "the importer stopped on an exception";
    return false;
  }
  if (!answered) {
    error = "the importer failed (exit status " +
            std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return false;
  }
  if (!childError.empty()) {
    error = childError;
    return false;
  }
  return true;
}

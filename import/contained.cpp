// The child process, its limits, and the parent's watch over time and memory.
#include "contained.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "import_answer.h"

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

// The real bytes a contained run's work has reported, in memory shared by the child, which raises it, and
// the parent, which watches by it.
struct SharedBudget {
  std::atomic<std::uint64_t> realBytes;
};

// Set in a contained child only: how its limits follow what its work reads.
struct ChildBudget {
  const ContainedBudget* budget = nullptr;
  SharedBudget* shared = nullptr;
  rlim_t addressBase = 0;  // the address space the child started with
  std::uint64_t realBytes = 0;
} g_child;

void setSoftLimit(int resource, rlim_t value) {
  rlimit limit{};
  getrlimit(resource, &limit);
  limit.rlim_cur = std::min(value, limit.rlim_max);
  setrlimit(resource, &limit);
}

void outOfMemory() {
  _exit(kOutOfMemoryStatus);
}

// Soft limits for the bytes known at the start, hard limits at the most any bytes could buy: the child
// raises the soft ones as it reads more.
void limitChild(const ContainedBudget& budget, SharedBudget* shared) {
  const ImportLimits start = budget.limitsFor(budget.startBytes);
  const ImportLimits most = budget.limitsFor(UINT64_MAX);
  g_child = {&budget, shared, 0, budget.startBytes};
  const rlim_t cpuSeconds = static_cast<rlim_t>(start.cpuSeconds);
  const rlimit cpu{cpuSeconds, std::max(cpuSeconds, static_cast<rlim_t>(most.cpuSeconds)) + 1};
  setrlimit(RLIMIT_CPU, &cpu);
  const rlimit core{0, 0};
  setrlimit(RLIMIT_CORE, &core);
#ifndef NPRVIEW_IMPORT_ASAN
  // A huge allocation then fails at once instead of growing until the parent notices. The sanitizer
  // reserves terabytes of address space for its shadow, so there only the parent's watch applies.
  g_child.addressBase = statmField(getpid(), 0);
  const rlimit address{g_child.addressBase + start.memoryBytes,
                       g_child.addressBase + std::max(start.memoryBytes, most.memoryBytes)};
  setrlimit(RLIMIT_AS, &address);
#endif
  // The caller's allocator settings are its own: nprsnap pads its heap by 64 MiB at every growth, which
  // would cost the child its whole headroom at its first allocation. 128 KiB is glibc's own padding.
  mallopt(M_TOP_PAD, 128 << 10);
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

[[noreturn]] void runChild(int messageFd, int arraysFd,
                           const std::function<bool(PolyMesh&, std::string&)>& work,
                           const ContainedBudget& budget, SharedBudget* shared, pid_t parent) {
  setpgid(0, 0);
  // Killed with its parent, however the parent ends; a parent already gone leaves no one to answer.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
    _exit(1);
  }
  limitChild(budget, shared);
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
  // Some kernels count pages lazily, and the peak the parent reads when it reaps this process lags behind
  // them until someone looks at the count.
  statmField(getpid(), 1);
  if (worked && !sendMeshAnswer(mesh, messageFd, arraysFd)) {
    // The arrays' file lives in memory: it fills when memory does.
    _exit(errno == ENOSPC || errno == ENOMEM || errno == EFBIG ? kOutOfMemoryStatus : 1);
  }
  const bool sent =
      worked || sendErrorAnswer(error.empty() ? "the importer gave no reason" : error, messageFd);
  _exit(sent ? 0 : 1);
}

// True once the child has ended; it stays a zombie, its id and its group's reserved, until reaped.
bool hasEnded(pid_t child) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == child;
}

// Appends what the pipe holds now to message; true at its end (or on an error).
bool drain(int fd, std::string& message) {
  char buffer[65536];
  for (;;) {
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0) {
      message.append(buffer, static_cast<size_t>(count));
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else {
      return count == 0 || errno != EAGAIN;
    }
    if (message.size() > kLongestAnswerMessage) {
      return true;
    }
  }
}

size_t realBytesOf(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 ? static_cast<size_t>(status.st_blocks) * 512 : 0;
}

std::string seconds(int count) {
  return std::to_string(count) + (count == 1 ? " second" : " seconds");
}

std::string mebibytes(size_t bytes) {
  return std::to_string(bytes / kMiB) + " MiB";
}

enum class Stop { None, Time, Memory, Size };

// The descriptors and shared memory of one run, released however it ends.
struct RunResources {
  int message[2] = {-1, -1};
  int arrays = -1;
  SharedBudget* shared = nullptr;
  bool open(std::string& error) {
    void* memory =
        mmap(nullptr, sizeof(SharedBudget), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    shared = memory == MAP_FAILED ? nullptr : new (memory) SharedBudget{};
    if (!shared || pipe2(message, O_CLOEXEC) != 0 || fcntl(message[0], F_SETFL, O_NONBLOCK) != 0 ||
        (arrays = memfd_create("nprview-import-arrays", MFD_CLOEXEC)) < 0) {
      error = std::string("cannot start the importer: ") + std::strerror(errno);
      return false;
    }
    return true;
  }
  ~RunResources() {
    for (int fd : {message[0], message[1], arrays}) {
      if (fd >= 0) {
        close(fd);
      }
    }
    if (shared) {
      munmap(shared, sizeof(SharedBudget));
    }
  }
};

// The parent's account of a finished run: what stopped it, how it ended, and by which limits.
struct Outcome {
  Stop stop = Stop::None;
  int status = 0;
  ImportLimits limits{};
};

// Watches the child until it ends or oversteps its limits, which follow the bytes it reports; collects its
// message. The child and its group are killed and reaped before this returns.
Outcome watchChild(pid_t child, const ContainedBudget& budget, RunResources& run, std::string& message) {
  // What the child shares with this process at the start does not count against its limit.
  const size_t sharedAtStart = statmField(getpid(), 1);
  Outcome outcome;
  const auto refreshLimits = [&] {
    outcome.limits = budget.limitsFor(std::max(budget.startBytes, run.shared->realBytes.load()));
  };
  // Wall-clock time counts only while both run: a step spent stopped counts as a short one, and so does
  // one while the child is stopped. The kernel counts the child's processor time.
  using Clock = std::chrono::steady_clock;
  Clock::duration active{};
  Clock::time_point last = Clock::now();
  const auto overstepped = [&] {
    refreshLimits();
    const Clock::time_point now = Clock::now();
    if (!isStopped(child)) {
      active += std::min<Clock::duration>(now - last, kLongestStep);
    }
    last = now;
    if (active > std::chrono::seconds(outcome.limits.wallSeconds)) {
      return Stop::Time;
    }
    // The arrays' file is memory too, though no process maps it.
    const size_t used = statmField(child, 1) + realBytesOf(run.arrays);
    return used > sharedAtStart + outcome.limits.memoryBytes ? Stop::Memory : Stop::None;
  };
  bool ended = false;
  while (!ended && outcome.stop == Stop::None) {
    // Looked at before the pipe is drained, so that all an ended child wrote is read.
    const bool childEnded = hasEnded(child);
    ended = drain(run.message[0], message) || childEnded;
    if (message.size() > kLongestAnswerMessage) {
      outcome.stop = Stop::Size;
    } else if (!ended) {
      pollfd ready{run.message[0], POLLIN, 0};
      poll(&ready, 1, 10);
      outcome.stop = overstepped();
    }
  }
  // A child that closed the pipe without ending gets until the deadline to end.
  while (outcome.stop == Stop::None && !hasEnded(child)) {
    outcome.stop = overstepped();
    poll(nullptr, 0, 1);
  }
  refreshLimits();
  // Whatever the child left running in its group goes with it, while its zombie keeps the group's id taken.
  kill(-child, SIGKILL);
  kill(child, SIGKILL);
  rusage usage{};
  while (wait4(child, &outcome.status, 0, &usage) < 0 && errno == EINTR) {
  }
  // A peak between two looks counts as much as one seen.
  if (outcome.stop == Stop::None &&
      static_cast<size_t>(usage.ru_maxrss) * 1024 > sharedAtStart + outcome.limits.memoryBytes) {
    outcome.stop = Stop::Memory;
  }
  return outcome;
}

// The one line for a run that did not end in an answer; empty when it did.
std::string failureOf(const Outcome& outcome) {
  const int status = outcome.status;
  // What this process stopped comes first: the child it killed ends on SIGKILL like one over its hard
  // processor-time limit.
  if (outcome.stop == Stop::Memory ||
      (outcome.stop == Stop::None && WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryStatus)) {
    return outOfMemoryReason(outcome.limits);
  }
  if (outcome.stop == Stop::Time) {
    return "importing it takes too long (over " + seconds(outcome.limits.wallSeconds) + ")";
  }
  if (outcome.stop == Stop::Size) {
    return "the importer's answer is malformed";
  }
  // A signal the caller handles itself killed the child; the caller goes on.
  if (g_interrupted && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
    return "the import was interrupted";
  }
  if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)) {
    return "importing it takes too long (over " + seconds(outcome.limits.cpuSeconds) + " of processor time)";
  }
  if (WIFSIGNALED(status)) {
    return std::string("the importer crashed (") + strsignal(WTERMSIG(status)) + ")";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == kThrewStatus) {
    return "the importer stopped on an exception";
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "the importer failed (exit status " +
           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
  }
  return "";
}

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

ImportLimits raiseContainedLimits(std::uint64_t totalRealBytes) {
  if (!g_child.budget) {
    return importLimitsFor(totalRealBytes);
  }
  if (totalRealBytes > g_child.realBytes) {
    g_child.realBytes = totalRealBytes;
    const ImportLimits limits = g_child.budget->limitsFor(totalRealBytes);
    // The parent first, so that it never finds the child above limits it has not heard of.
    g_child.shared->realBytes.store(totalRealBytes);
    setSoftLimit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpuSeconds));
#ifndef NPRVIEW_IMPORT_ASAN
    setSoftLimit(RLIMIT_AS, g_child.addressBase + limits.memoryBytes);
#endif
  }
  return g_child.budget->limitsFor(g_child.realBytes);
}

bool runContained(const std::function<bool(PolyMesh&, std::string&)>& work, const ContainedBudget& budget,
                  PolyMesh& mesh, std::string& error) {
  RunResources run;
  if (!run.open(error)) {
    return false;
  }
  run.shared->realBytes.store(budget.startBytes);
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
    return false;
  }
  if (child == 0) {
    close(run.message[0]);
    runChild(run.message[1], run.arrays, work, budget, run.shared, parent);
  }
  close(run.message[1]);
  run.message[1] = -1;
  setpgid(child, child);
  g_childGroup = child;
  sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  std::string message;
  const Outcome outcome = watchChild(child, budget, run, message);
  restoreEndingSignals();

  error = failureOf(outcome);
  if (!error.empty()) {
    return false;
  }
  // Its size is all the memory the answer may cost here; the file may be sparse, its holes read as zeros.
  struct stat arrays {};
  if (fstat(run.arrays, &arrays) != 0 ||
      static_cast<std::uint64_t>(arrays.st_size) > outcome.limits.memoryBytes) {
    error = outOfMemoryReason(outcome.limits);
    return false;
  }
  try {
    return readImportAnswer(message, run.arrays, mesh, error);
  } catch (const std::bad_alloc&) {
    error = "importing it needs more memory than there is";
    return false;
  }
}

// Replacing output files through a temporary file in their folder, with the system's reason on failure.
#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <system_error>

#include "trusted_path.h"

namespace {

std::string reason(int error) {
  return std::generic_category().message(error);
}

bool writeAll(int fd, std::string_view bytes, int& error) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The named temporary file that the guarded signals remove before the program ends. Its name is set before
// the file exists, since a handler may only make async-signal-safe calls: unlinkat, sigaction, raise.
int g_temporaryFolder = -1;
char g_temporaryName[NAME_MAX + 1];
std::atomic<bool> g_temporaryExists{false};
// Touched only by the thread that writes; one file is guarded at a time.
bool g_guarding = false;
constexpr int kGuardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_previousActions[std::size(kGuardedSignals)];
struct sigaction g_previousFileSizeAction;

void removeTemporaryAndEnd(int signal) {
  removeTemporaryOutput();
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  ::sigaction(signal, &byDefault, nullptr);
  // Blocked until the handler returns, then delivered with the default action: the program ends as the
  // signal meant, and its parent sees which one.
  ::raise(signal);
}

sigset_t guardedSignals() {
  sigset_t set;
  ::sigemptyset(&set);
  for (const int signal : kGuardedSignals) {
    ::sigaddset(&set, signal);
  }
  return set;
}

// Returns false when another file is already guarded.
bool startGuard() {
  if (g_guarding) {
    return false;
  }
  g_guarding = true;
  struct sigaction handler {};
  handler.sa_handler = removeTemporaryAndEnd;
  handler.sa_mask = guardedSignals();
  for (size_t i = 0; i < std::size(kGuardedSignals); ++i) {
    ::sigaction(kGuardedSignals[i], nullptr, &g_previousActions[i]);
    // A signal ignored (a background job's SIGINT, nohup) must not start ending the program.
    if (g_previousActions[i].sa_handler != SIG_IGN) {
      ::sigaction(kGuardedSignals[i], &handler, nullptr);
    }
  }
  // Past a file size limit the write then fails with EFBIG, which is reported like a full disk, rather
  // than ending the program half-way.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, nullptr, &g_previousFileSizeAction);
  if (g_previousFileSizeAction.sa_handler == SIG_DFL) {
    ::sigaction(SIGXFSZ, &ignore, nullptr);
  }
  return true;
}

void endGuard() {
  g_temporaryExists = false;
  for (size_t i = 0; i < std::size(kGuardedSignals); ++i) {
    ::sigaction(kGuardedSignals[i], &g_previousActions[i], nullptr);
  }
  ::sigaction(SIGXFSZ, &g_previousFileSizeAction, nullptr);
  g_guarding = false;
}

// Runs step with the guarded signals held back, so that a file is named and marked for removal (or
// renamed and forgotten) together: neither can happen without the other in this thread. Returns step's
// result, 0 or an errno value.
template <class Step>
int withSignalsHeld(Step step) {
  const sigset_t held = guardedSignals();
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &held, &previous);
  const int result = step();
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return result;
}

// Six characters that differ from call to call; O_EXCL, not these, is what keeps names apart.
std::string uniqueSuffix() {
  static uint64_t counter = 0;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  uint64_t x = (static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(::getpid()) ^
               (++counter * 0x9E3779B97F4A7C15ull);
  x = (x ^ (x >> 31)) * 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix(6, ' ');
  for (char& c : suffix) {
    c = kAlphabet[x % 62];
    x /= 62;
  }
  return suffix;
}

// A hidden name beside name, after it but never longer than a name may be: "." + the start of the name +
// "." + six characters.
std::string temporaryNameFor(const std::string& name) {
  std::string temporary(1, '.');
  temporary.append(name, 0, NAME_MAX - 8);
  temporary += '.';
  temporary += uniqueSuffix();
  return temporary;
}

// Gives the unnamed file open as fd the name in folder, never replacing anything there. The kernel links
// a descriptor directly for the privileged and, since Linux 6.10, for its opener; else through /proc.
int linkUnnamed(int fd, int folder, const std::string& name) {
  if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) {
    return 0;
  }
  if (errno == EEXIST) {
    return EEXIST;
  }
  char own[32];
  std::snprintf(own, sizeof own, "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, own, folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Renames from to to in folder unless something is at to already (EEXIST then).
int renameNoReplace(int folder, const std::string& from, const std::string& to) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  // File systems without renameat2's flags: a hard link never replaces anything either.
  if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) {
    return errno;
  }
  ::unlinkat(folder, from.c_str(), 0);
  return 0;
}

// The new name is on disk only once the folder is; a failure here loses nothing, so it is not reported.
void syncFolder(int folder) {
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Ownership first: changing it clears set-user-ID bits, which the mode then puts back. Only a privileged
// writer can give the file back to its owner; anyone else's replacement becomes theirs, as with any editor.
bool keepOwnerAndMode(int fd, const struct stat& old, int& error) {
  if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
    [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) {
    error = errno;
    return false;
  }
  return true;
}

// A privileged writer passes the access check; the mode bits still say the file is not to change.
bool mayReplace(int folder, const std::string& name, const struct stat& info, int& error) {
  if ((info.st_mode & 0222) == 0) {
    error = EACCES;
    return false;
  }
  if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
    error = errno;
    return false;
  }
  return true;
}

}  // namespace

int streamDescriptor(std::string_view path) {
  if (path == "-" || path == "/dev/stdout") {
    return STDOUT_FILENO;
  }
  if (path == "/dev/stderr") {
    return STDERR_FILENO;
  }
  for (const std::string_view folder : {"/dev/fd/", "/proc/self/fd/"}) {
    if (path.starts_with(folder) && path.size() > folder.size()) {
      const std::string_view digits = path.substr(folder.size());
      int fd = -1;
      const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), fd);
      if (status == std::errc() && end == digits.data() + digits.size() && fd >= 0 && digits[0] != '-') {
        return fd;
      }
    }
  }
  return -1;
}

void removeTemporaryOutput() {
  if (g_temporaryExists.exchange(false)) {
    ::unlinkat(g_temporaryFolder, g_temporaryName, 0);
  }
}

OutputFile::~OutputFile() {
  discard();
}

bool OutputFile::open(const std::string& path) {
  discard();
  failure_ = 0;
  if (const int stream = streamDescriptor(path); stream >= 0) {
    // Written as it is: a pipe has no name to resolve, and a file opened for us is ours to write.
    const int flags = ::fcntl(stream, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY || (flags & O_PATH)) {
      failure_ = EBADF;
      return false;
    }
    fd_ = stream;
    inPlace_ = true;
    return true;
  }
  if (path.empty() || path.ends_with('/')) {
    failure_ = path.empty() ? ENOENT : EISDIR;
    return false;
  }
  ResolvedPath resolved;
  if (!resolveTrustedPath(path, resolved, failure_)) {
    return false;
  }
  folder_ = resolved.folder;
  name_ = resolved.name;
  if (resolved.exists && !S_ISREG(resolved.info.st_mode)) {
    return openInPlace(resolved.info, resolved.folderInfo);
  }
  if (resolved.exists && !mayReplace(folder_, name_, resolved.info, failure_)) {
    discard();
    return false;
  }
  hadFile_ = resolved.exists;
  old_ = resolved.info;
  guarded_ = startGuard();
  if (!createTemporary()) {
    discard();
    return false;
  }
  return true;
}

bool OutputFile::openInPlace(const struct stat& info, const struct stat& folderInfo) {
  // Devices and FIFOs cannot be replaced by a file; they take the bytes as they come, unless anyone may
  // have put them there: another user's FIFO would be waited on, or read.
  if (!isTrustedEntry(folderInfo, info)) {
    failure_ = EACCES;
    discard();
    return false;
  }
  // Opened as a shell's redirection opens it (one's own FIFO waits for its reader), and written only when
  // it is still what was checked.
  fd_ = ::openat(folder_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  ownsFd_ = inPlace_ = fd_ >= 0;
  struct stat opened {};
  failure_ = fd_ < 0 || ::fstat(fd_, &opened) != 0                          ? errno
             : opened.st_dev != info.st_dev || opened.st_ino != info.st_ino ? EAGAIN
                                                                            : 0;
  if (failure_ != 0) {
    discard();
    return false;
  }
  return true;
}

// An unnamed file in the target's folder where the system offers one and can name it later (through
// /proc), else a hidden named one, made and marked for removal together.
bool OutputFile::createTemporary() {
  if (!namedOnly_ && ::faccessat(AT_FDCWD, "/proc/self/fd", X_OK, 0) == 0) {
    fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    ownsFd_ = unnamed_ = fd_ >= 0;
    // File systems without unnamed files say so in one of these ways.
    if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
      failure_ = fd_ >= 0 ? 0 : errno;
      return fd_ >= 0;
    }
  }
  failure_ = EEXIST;
  for (int attempt = 0; attempt < 100 && failure_ == EEXIST; ++attempt) {
    temporary_ = temporaryNameFor(name_);
    failure_ = withSignalsHeld([this] {
      fd_ = ::openat(folder_, temporary_.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
      if (fd_ < 0) {
        return errno;
      }
      if (guarded_) {
        g_temporaryFolder = folder_;
        std::memcpy(g_temporaryName, temporary_.c_str(), temporary_.size() + 1);
        g_temporaryExists = true;
      }
      return 0;
    });
  }
  ownsFd_ = fd_ >= 0;
  if (fd_ < 0) {
    temporary_.clear();
  }
  return fd_ >= 0;
}

// Links the unnamed file under a hidden name, marked for removal, for a rename over the target.
int OutputFile::nameTemporary() {
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    const std::string name = temporaryNameFor(name_);
    error = withSignalsHeld([&] {
      const int linked = linkUnnamed(fd_, folder_, name);
      if (linked == 0) {
        temporary_ = name;
        if (guarded_) {
          g_temporaryFolder = folder_;
          std::memcpy(g_temporaryName, name.c_str(), name.size() + 1);
          g_temporaryExists = true;
        }
      }
      return linked;
    });
  }
  return error;
}

// Puts the complete temporary file at the target's name. Returns 0 or an errno value.
int OutputFile::placeFile() {
  if (!hadFile_) {
    // A new name: what appeared there since open() is replaced only when it is a regular file.
    const int placed = unnamed_ ? linkUnnamed(fd_, folder_, name_) : withSignalsHeld([this] {
      const int renamed = renameNoReplace(folder_, temporary_, name_);
      if (renamed == 0) {
        if (guarded_) {
          g_temporaryExists = false;
        }
        temporary_.clear();
      }
      return renamed;
    });
    struct stat now {};
    if (placed != EEXIST) {
      return placed;
    }
    if (::fstatat(folder_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(now.st_mode)) {
      return EEXIST;
    }
  }
  if (temporary_.empty()) {
    if (const int error = nameTemporary(); error != 0) {
      return error;
    }
  }
  return withSignalsHeld([this] {
    if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
      return errno;
    }
    if (guarded_) {
      g_temporaryExists = false;
    }
    temporary_.clear();
    return 0;
  });
}

bool OutputFile::write(std::string_view bytes) {
  if (failure_ == 0 && fd_ < 0) {
    failure_ = EBADF;
  }
  return failure_ == 0 && writeAll(fd_, bytes, failure_);
}

bool OutputFile::commit() {
  if (failure_ == 0 && fd_ < 0) {
    failure_ = EBADF;
  }
  if (failure_ == 0 && !inPlace_) {
    if ((hadFile_ && !keepOwnerAndMode(fd_, old_, failure_)) || ::fsync(fd_) != 0) {
      failure_ = failure_ ? failure_ : errno;
    }
    // While the descriptor is open: an unnamed file is named through it.
    failure_ = failure_ ? failure_ : placeFile();
    if (failure_ == 0) {
      syncFolder(folder_);
    }
  }
  if (ownsFd_ && ::close(fd_) != 0 && failure_ == 0) {
    failure_ = errno;
  }
  ownsFd_ = false;
  fd_ = -1;
  const bool committed = failure_ == 0;
  discard();
  return committed;
}

std::string OutputFile::error() const {
  return failure_ ? reason(failure_) : std::string();
}

void OutputFile::discard() {
  if (ownsFd_) {
    ::close(fd_);
  }
  fd_ = -1;
  ownsFd_ = inPlace_ = hadFile_ = unnamed_ = false;
  if (!temporary_.empty()) {
    // Removed before the handler forgets it, so a signal in between finds nothing left behind.
    ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
  }
  if (guarded_) {
    endGuard();
    guarded_ = false;
  }
  if (folder_ >= 0) {
    ::close(folder_);
    folder_ = -1;
  }
  name_.clear();
}

bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error) {
  OutputFile file;
  if (file.open(path) && file.write(bytes) && file.commit()) {
    return true;
  }
  error = file.error();
  return false;
}

bool isSameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool isNameWithinLimits(std::string_view path, std::string& error) {
  bool within = path.size() < PATH_MAX;
  for (size_t start = 0; within && start < path.size();) {
    const size_t slash = std::min(path.find('/', start), path.size());
    within = slash - start <= NAME_MAX;
    start = slash + 1;
  }
  if (!within) {
    error = reason(ENAMETOOLONG);
  }
  return within;
}

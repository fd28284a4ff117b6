// Replacing output files through a temporary file beside them, with the system's reason on failure.
#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace {

// As the kernel counts when it resolves a path.
constexpr int kMaxLinks = 40;

std::string reason(int error) {
  return std::generic_category().message(error);
}

// Where the file named by path lives: its folder with the trailing slash, or "" for the working folder.
std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The rule of fs.protected_symlinks: in a sticky folder that anyone may write to, a link is followed only
// when the writer or the folder's owner owns it; another user's link there may point anywhere.
bool mayFollow(const std::string& link, const struct stat& linkInfo) {
  const std::string folder = folderOf(link);
  struct stat folderInfo {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &folderInfo) != 0) {
    return false;
  }
  const bool shared = (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH);
  return !shared || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folderInfo.st_uid;
}

// Follows symlinks until path names what is finally written: an existing non-link (info then describes
// it, exists is set) or a name that does not exist yet, which a dangling link may also point to.
bool resolveLinks(std::string& path, struct stat& info, bool& exists, int& error) {
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    if (::lstat(path.c_str(), &info) != 0) {
      exists = false;
      error = errno;
      return errno == ENOENT;
    }
    if (!S_ISLNK(info.st_mode)) {
      exists = true;
      return true;
    }
    if (!mayFollow(path, info)) {
      error = EACCES;
      return false;
    }
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length < 0 || static_cast<size_t>(length) == sizeof target) {
      error = length < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    const std::string link(target, static_cast<size_t>(length));
    path = link.starts_with('/') ? link : folderOf(path) + link;
  }
  error = ELOOP;
  return false;
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

// The temporary file that SIGINT and SIGTERM remove before the program ends. Its name is prepared before
// the file exists, since a handler may only make async-signal-safe calls: unlink, sigaction, raise.
char g_temporaryPath[PATH_MAX];
std::atomic<bool> g_temporaryExists{false};
// Touched only by the thread that writes; one file is guarded at a time.
bool g_guarding = false;
constexpr int kGuardedSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previousActions[2];

void removeTemporaryAndEnd(int signal) {
  if (g_temporaryExists) {
    ::unlink(g_temporaryPath);
  }
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
  return true;
}

void endGuard() {
  g_temporaryExists = false;
  for (size_t i = 0; i < std::size(kGuardedSignals); ++i) {
    ::sigaction(kGuardedSignals[i], &g_previousActions[i], nullptr);
  }
  g_guarding = false;
}

// Names the file the handler removes; a name too long for the buffer cannot be created anyway.
void prepareRemoval(const std::string& temporary) {
  g_temporaryExists = false;
  if (temporary.size() < sizeof g_temporaryPath) {
    std::memcpy(g_temporaryPath, temporary.c_str(), temporary.size() + 1);
  }
}

// Creates the file exclusively and marks it for removal with this thread's signals held back, so that
// neither can happen without the other here (another thread of the program may still take the signal in
// those few instructions).
int createGuarded(const std::string& temporary) {
  const sigset_t held = guardedSignals();
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &held, &previous);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  const int openError = errno;
  g_temporaryExists = fd >= 0 && temporary.size() < sizeof g_temporaryPath;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = openError;
  return fd;
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

// Creates a new, empty, hidden file beside path, named after it but never longer than a name may be:
// "." + the start of the name + "." + six characters. New files take 0666 less the umask, as any would.
int createTemporary(const std::string& path, bool guarded, std::string& temporary, int& error) {
  const std::string folder = folderOf(path);
  const std::string name = path.substr(folder.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "." + name.substr(0, NAME_MAX - 8) + "." + uniqueSuffix();
    if (guarded) {
      prepareRemoval(temporary);
    }
    const int fd = guarded
                       ? createGuarded(temporary)
                       : ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      error = errno;
      return fd;
    }
  }
  error = EEXIST;
  return -1;
}

// The rename is on disk only once the folder is; a failure here loses nothing, so it is not reported.
void syncFolder(const std::string& path) {
  const std::string folder = folderOf(path);
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
bool mayReplace(const std::string& path, const struct stat& info, int& error) {
  if ((info.st_mode & 0222) == 0) {
    error = EACCES;
    return false;
  }
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    error = errno;
    return false;
  }
  return true;
}

}  // namespace

bool isStandardOutput(std::string_view path) {
  return path == "-" || path == "/dev/stdout";
}

OutputFile::~OutputFile() {
  discard();
}

bool OutputFile::open(const std::string& path) {
  discard();
  failure_ = 0;
  if (isStandardOutput(path)) {
    // /dev/stdout is a link to whatever the descriptor holds (a pipe has no name to resolve).
    fd_ = STDOUT_FILENO;
    inPlace_ = true;
    return true;
  }
  if (path.empty() || path.ends_with('/')) {
    failure_ = path.empty() ? ENOENT : EISDIR;
    return false;
  }
  std::string target = path;
  struct stat info {};
  bool exists = false;
  if (!resolveLinks(target, info, exists, failure_)) {
    return false;
  }
  failure_ = 0;
  if (exists && !S_ISREG(info.st_mode)) {
    // Devices and FIFOs cannot be replaced by a file; they take the bytes as they come.
    fd_ = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    failure_ = fd_ < 0 ? errno : 0;
    inPlace_ = ownsFd_ = fd_ >= 0;
    return fd_ >= 0;
  }
  if (exists && !mayReplace(target, info, failure_)) {
    return false;
  }
  hadFile_ = exists;
  old_ = info;
  target_ = target;
  guarded_ = startGuard();
  fd_ = createTemporary(target, guarded_, temporary_, failure_);
  ownsFd_ = fd_ >= 0;
  if (fd_ < 0) {
    temporary_.clear();
    discard();
    return false;
  }
  failure_ = 0;
  return true;
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
  }
  if (ownsFd_ && ::close(fd_) != 0 && failure_ == 0) {
    failure_ = errno;
  }
  ownsFd_ = false;
  fd_ = -1;
  if (failure_ == 0 && !inPlace_) {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
      failure_ = errno;
    } else {
      temporary_.clear();
      syncFolder(target_);
    }
  }
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
  ownsFd_ = inPlace_ = hadFile_ = false;
  if (!temporary_.empty()) {
    // Removed before the handler forgets it, so a signal in between finds nothing left behind.
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  if (guarded_) {
    endGuard();
    guarded_ = false;
  }
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

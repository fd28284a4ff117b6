// Replacing output files through a temporary file beside them, with the system's reason on failure.
#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

// Devices and FIFOs cannot be replaced by a file; they take the bytes as they come.
bool writeInPlace(const std::string& path, std::string_view bytes, int& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return false;
  }
  const bool written = writeAll(fd, bytes, error);
  if (::close(fd) != 0 && written) {
    error = errno;
    return false;
  }
  return written;
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
int createTemporary(const std::string& path, std::string& temporary, int& error) {
  const std::string folder = folderOf(path);
  const std::string name = path.substr(folder.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "." + name.substr(0, NAME_MAX - 8) + "." + uniqueSuffix();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
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

bool replaceFile(const std::string& path, const struct stat* old, std::string_view bytes, int& error) {
  std::string temporary;
  const int fd = createTemporary(path, temporary, error);
  if (fd < 0) {
    return false;
  }
  bool ok = writeAll(fd, bytes, error) && (!old || keepOwnerAndMode(fd, *old, error));
  if (ok && ::fsync(fd) != 0) {
    error = errno;
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  syncFolder(path);
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

bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error) {
  std::string target = path;
  struct stat info {};
  bool exists = false;
  int failure = 0;
  bool written = false;
  if (path.empty() || path.ends_with('/')) {
    failure = path.empty() ? ENOENT : EISDIR;
  } else if (resolveLinks(target, info, exists, failure)) {
    written = !exists ? replaceFile(target, nullptr, bytes, failure)
              : !S_ISREG(info.st_mode)
                  ? writeInPlace(target, bytes, failure)
                  : mayReplace(target, info, failure) && replaceFile(target, &info, bytes, failure);
  }
  if (!written) {
    error = reason(failure);
  }
  return written;
}

bool isSameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

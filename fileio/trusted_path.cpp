// Walking a path name by name with O_NOFOLLOW: no link is taken but the entry just checked.
#include "trusted_path.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace {

// As the kernel counts when it resolves a path.
constexpr int kMaxLinks = 40;

// Puts path's names on top of pending, the first on top. A trailing slash asks for a folder: "." stands
// for it as the last name.
void pushNames(std::string_view path, std::vector<std::string>& pending) {
  std::vector<std::string> names;
  for (size_t start = 0; start < path.size();) {
    const size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) {
      names.emplace_back(path.substr(start, slash - start));
    }
    start = slash + 1;
  }
  if (path.ends_with('/')) {
    names.emplace_back(".");
  }
  pending.insert(pending.end(), names.rbegin(), names.rend());
}

// One step of the walk: the folder it stands in, which it owns, and what is left to take.
class Walk {
 public:
  explicit Walk(int folder) : folder_(folder) {}
  ~Walk() {
    if (folder_ >= 0) {
      ::close(folder_);
    }
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  int folder() const { return folder_; }
  // Stands in a new folder, closing the one before.
  void enter(int folder) {
    ::close(folder_);
    folder_ = folder;
  }
  int release() {
    const int folder = folder_;
    folder_ = -1;
    return folder;
  }

 private:
  int folder_;
};

// Takes the link open as entry: its text is read from that very entry, after the check.
bool followLink(Walk& walk, int entry, const struct stat& folderInfo, const struct stat& linkInfo,
                std::vector<std::string>& pending, int& error) {
  if (!isTrustedEntry(folderInfo, linkInfo)) {
    error = EACCES;
    return false;
  }
  char target[PATH_MAX];
  const ssize_t length = ::readlinkat(entry, "", target, sizeof target);
  if (length <= 0 || static_cast<size_t>(length) == sizeof target) {
    error = length < 0 ? errno : length == 0 ? ENOENT : ENAMETOOLONG;
    return false;
  }
  const std::string_view link(target, static_cast<size_t>(length));
  if (link.starts_with('/')) {
    const int root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
      error = errno;
      return false;
    }
    walk.enter(root);
  }
  pushNames(link, pending);
  return true;
}

}  // namespace

bool isTrustedEntry(const struct stat& folder, const struct stat& entry) {
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return !shared || entry.st_uid == ::geteuid() || entry.st_uid == folder.st_uid;
}

bool resolveTrustedPath(const std::string& path, ResolvedPath& resolved, int& error) {
  std::vector<std::string> pending;
  pushNames(path, pending);
  Walk walk(::open(path.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (walk.folder() < 0) {
    error = errno;
    return false;
  }
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    const bool last = pending.empty();
    if (name == "." && !last) {
      continue;
    }
    if (last && (name == "." || name == "..")) {
      error = EISDIR;
      return false;
    }
    struct stat folderInfo {};
    struct stat info {};
    if (::fstat(walk.folder(), &folderInfo) != 0) {
      error = errno;
      return false;
    }
    const int entry = ::openat(walk.folder(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (entry < 0 && !(errno == ENOENT && last)) {
      error = errno;
      return false;
    }
    if (entry >= 0 && ::fstat(entry, &info) != 0) {
      error = errno;
      ::close(entry);
      return false;
    }
    if (entry >= 0 && S_ISLNK(info.st_mode)) {
      const bool followed = ++links <= kMaxLinks && followLink(walk, entry, folderInfo, info, pending, error);
      error = links > kMaxLinks ? ELOOP : error;
      ::close(entry);
      if (!followed) {
        return false;
      }
      continue;
    }
    if (last) {
      if (entry >= 0) {
        ::close(entry);
      }
      if (entry >= 0 && S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return false;
      }
      resolved = {walk.release(), name, entry >= 0, info, folderInfo};
      return true;
    }
    if (!S_ISDIR(info.st_mode)) {
      ::close(entry);
      error = ENOTDIR;
      return false;
    }
    walk.enter(entry);
  }
  error = EISDIR;
  return false;
}

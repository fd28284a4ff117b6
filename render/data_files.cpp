// The data folder lookup, shared by the viewer's models, its hatching images and nprsnap.
#include "data_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The running program's own path; empty when it cannot be read. It does not move while the program runs.
const fs::path& executablePath() {
  static const fs::path executable = [] {
    std::error_code error;
    const fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
  }();
  return executable;
}

// The installed data folder, from the running program's path; empty when that path cannot be read.
const fs::path& installedDataFolder() {
  static const fs::path folder =
      // NPRVIEW_DATA_FROM_BIN is the install's data folder relative to its bin/ ("../share/nprview/data").
      executablePath().empty() ? fs::path()
                               : (executablePath().parent_path() / NPRVIEW_DATA_FROM_BIN).lexically_normal();
  return folder;
}

// True when path lies inside folder, judged by their components alone.
bool isInside(const fs::path& path, const fs::path& folder) {
  const fs::path relative = path.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

// The source tree's data/ for a program that runs where the build made it; empty for any other. An installed
// program never looks there, even where its own data folder lacks a file: the path was recorded on the
// machine that built it and may name anything, anyone's, on another.
const fs::path& sourceDataFolder() {
  static const fs::path folder = [] {
    std::error_code error;
    const fs::path build = fs::weakly_canonical(NPRVIEW_BUILD_DIR, error);
    const bool inBuildTree = !error && !executablePath().empty() && isInside(executablePath(), build) &&
                             !fs::is_directory(installedDataFolder(), error);
    return inBuildTree ? fs::path(NPRVIEW_SOURCE_DATA_DIR) : fs::path();
  }();
  return folder;
}

// A regular file at path, through links, whether or not it can be read (the loaders then report it just as
// they did when the working directory was the only place looked in); a FIFO, a device, a folder or a
// dangling link there is passed over.
bool fileAt(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(fs::status(path, error));
}

}  // namespace

std::string dataFilePath(const std::string& relativePath) {
  if (fileAt(relativePath)) {
    return relativePath;
  }
  const fs::path name = fs::path(relativePath).lexically_relative("data");
  for (const fs::path& folder : {installedDataFolder(), sourceDataFolder()}) {
    if (!folder.empty() && fileAt(folder / name)) {
      return (folder / name).string();
    }
  }
  return relativePath;
}

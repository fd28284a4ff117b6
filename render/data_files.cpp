// The data folder lookup, shared by the viewer's models, its hatching images and nprsnap.
#include "data_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The installed data folder, from the running program's path; empty when that path cannot be read.
// Worked out once: the executable does not move while it runs.
const fs::path& installedDataFolder() {
  static const fs::path folder = [] {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    // NPRVIEW_DATA_FROM_BIN is the install's data folder relative to its bin/ ("../share/nprview/data").
    return error ? fs::path() : (executable.parent_path() / NPRVIEW_DATA_FROM_BIN).lexically_normal();
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
  if (fileAt(relativePath) || installedDataFolder().empty()) {
    return relativePath;
  }
  const fs::path installed = installedDataFolder() / fs::path(relativePath).lexically_relative("data");
  return fileAt(installed) ? installed.string() : relativePath;
}

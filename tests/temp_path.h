// Scratch paths for tests. ctest runs tests in parallel, each in its own process, so names carry the pid.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

inline std::filesystem::path tempPath(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("nprview-" + std::to_string(getpid()) + "-" + name);
}

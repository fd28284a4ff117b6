// A throwaway working directory for the viewer: its data/ holds the sphere, the hatching images and small
// stand-in models, so tests of the model keys need no other model files.
#pragma once

#include <filesystem>
#include <initializer_list>

class ModelDirectory {
 public:
  // Creates a fresh directory under the temporary folder. Its data/ gets the source tree's sphere and
  // hatching images (those that exist) and a stand-in model for each of the given slots (1 to 4); the
  // files of the other slots are missing. The stand-ins differ in shape, size and place, and those of
  // slots 2 and 4 are wound clockwise, as the viewer expects there.
  explicit ModelDirectory(std::initializer_list<int> slots = {1, 2, 3, 4});
  ~ModelDirectory();
  ModelDirectory(const ModelDirectory&) = delete;
  ModelDirectory& operator=(const ModelDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The only way assimp reaches files: the model itself, and regular files in the model's folder or below.
#pragma once

#include <sys/stat.h>

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "assimp_triangles.h"

// The bytes a file really holds on disk: a sparse file's holes cost nothing to make, so they do not count.
std::uint64_t realBytes(const struct stat& status);

// The real bytes of the regular files in folder and its subfolders, not following links and leaving out
// the file `except` (device, inode). Looks at a bounded number of entries, so a huge tree costs little.
std::uint64_t folderRealBytes(const std::string& folder, std::pair<dev_t, ino_t> except);

// Opens for assimp the model of a ModelSource (by name or by identity, served with its rewritten start)
// and any other regular file that resolves, after "..", symlinks and absolute paths, to the model's folder
// or below, while all files opened together hold no more real bytes than the source's budget. Refuses
// anything else, writing included, and keeps the first refusal as a one-line reason naming the file.
// Never blocks: FIFOs and devices are refused without being opened for reading.
class ModelFileSystem : public Assimp::IOSystem {
 public:
  explicit ModelFileSystem(const ModelSource& source);
  bool Exists(const char* file) const override;
  char getOsSeparator() const override { return '/'; }
  Assimp::IOStream* Open(const char* file, const char* mode) override;
  void Close(Assimp::IOStream* file) override;
  // Empty until something was refused.
  const std::string& refusal() const { return refusal_; }

 private:
  // An open descriptor on file, or -1 with the reason it may not be read (empty when it does not exist).
  int openAllowed(const char* file, std::string& why) const;
  void refuse(const char* file, const std::string& why) const;

  const ModelSource& source_;
  struct stat model_ {};
  bool folderKnown_ = false;
  std::string folder_;  // resolved, without a trailing slash
  std::set<std::pair<dev_t, ino_t>> opened_;
  std::uint64_t openedBytes_ = 0;
  mutable std::string refusal_;
};

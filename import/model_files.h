// The only way assimp reaches files: the model itself, and regular files in the model's folder or below.
#pragma once

#include <sys/stat.h>

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "assimp_triangles.h"

// The bytes a file really holds on disk: a sparse file's holes cost nothing to make, so they do not count.
std::uint64_t realBytes(const struct stat& status);

// Whether a file of this name is of a kind mesh formats name for their data, by its extension (any case):
// a mesh file of a format assimp reads (not a plain .xml or .raw, which could be anything), an OBJ's
// material library, a glTF's buffer, an Ogre material or skeleton, a Quake skin or shader. Not an image:
// the import keeps geometry only, and assimp opens no texture for it.
bool isMeshDataName(std::string_view name);

// Whether a relative path has a part that starts with "." other than "." and "..": a hidden file or
// folder.
bool hasHiddenPart(std::string_view path);

// Opens for assimp the model of a ModelSource (by name or by identity, served with its rewritten start)
// and any other regular file that resolves, after "..", symlinks and absolute paths, to the model's folder
// or below, where neither the name the model gives nor the resolved path below the folder is hidden
// (hasHiddenPart) or of a kind meshes do not name (isMeshDataName). Each file opened raises the import's
// limits by its real bytes (raiseContainedLimits); one larger than the memory they then allow is refused
// before anything reads it. Refuses anything else, writing included, and keeps the first refusal as a
// one-line reason naming the file. Never blocks: FIFOs and devices are refused without being opened for
// reading.
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
  // The reason a file the model names may not be read, judged by the name alone; empty if it may.
  std::string refusalByName(std::string_view relative) const;
  void refuse(const char* file, const std::string& why) const;

  const ModelSource& source_;
  struct stat model_ {};
  bool folderKnown_ = false;
  std::string folder_;  // resolved, without a trailing slash
  std::set<std::pair<dev_t, ino_t>> opened_;
  std::uint64_t openedBytes_ = 0;  // the real bytes of the files in opened_
  mutable std::string refusal_;
};

// The model's own file system for assimp: the files a model may name, each raising the limits as it opens.
#include "model_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "contained.h"

namespace {

// The extensions of the files mesh formats name for their data: the formats assimp reads, less the plain
// "xml" and "raw", which name anything; then glTF buffers, OBJ material libraries, Ogre materials and
// skeletons, Quake skins and shaders.
constexpr std::string_view kMeshDataExtensions[] = {
    "3d",       "3ds",          "3mf",   "ac",       "ac3d", "acc",  "amf",     "ase",       "ask",
    "assbin",   "b3d",          "blend", "bsp",      "bvh",  "cob",  "csm",     "dae",       "dxf",
    "enff",     "fbx",          "glb",   "gltf",     "hmp",  "ifc",  "ifczip",  "iqm",       "irr",
    "irrmesh",  "lwo",          "lws",   "lxo",      "md2",  "md3",  "md5anim", "md5camera", "md5mesh",
    "mdc",      "mdl",          "mesh",  "mesh.xml", "mot",  "ms3d", "ndo",     "nff",       "obj",
    "off",      "ogex",         "pk3",   "ply",      "pmx",  "prj",  "q3o",     "q3s",       "scn",
    "sib",      "smd",          "step",  "stl",      "stp",  "ter",  "uc",      "vta",       "x",
    "x3d",      "x3db",         "xgl",   "zae",      "zgl",  "bin",  "glbin",   "mtl",       "material",
    "skeleton", "skeleton.xml", "skin",  "shader"};

// The model's bytes from a descriptor, with its first `replaced` bytes served from memory instead.
class ModelStream : public Assimp::IOStream {
 public:
  ModelStream(int fd, std::uint64_t fileSize, const std::string& start, std::uint64_t replaced)
      : fd_(fd),
        start_(start),
        replaced_(std::min(replaced, fileSize)),
        size_(start.size() + fileSize - replaced_) {}
  ~ModelStream() override { close(fd_); }

  size_t Read(void* buffer, size_t size, size_t count) override {
    if (size == 0 || count > (size_ - position_) / size) {
      count = size == 0 ? 0 : (size_ - position_) / size;
    }
    char* out = static_cast<char*>(buffer);
    size_t wanted = size * count;
    while (wanted > 0) {
      size_t got = 0;
      if (position_ < start_.size()) {
        got = std::min<size_t>(wanted, start_.size() - position_);
        std::memcpy(out, start_.data() + position_, got);
      } else {
        const ssize_t read =
            pread(fd_, out, wanted, static_cast<off_t>(position_ - start_.size() + replaced_));
        if (read < 0 && errno == EINTR) {
          continue;
        }
        if (read <= 0) {
          break;
        }
        got = static_cast<size_t>(read);
      }
      out += got;
      position_ += got;
      wanted -= got;
    }
    return static_cast<size_t>(out - static_cast<char*>(buffer)) / size;
  }

  size_t Write(const void*, size_t, size_t) override { return 0; }

  aiReturn Seek(size_t offset, aiOrigin origin) override {
    const size_t base = origin == aiOrigin_SET ? 0 : origin == aiOrigin_CUR ? position_ : size_;
    // Assimp passes a step back as an offset that wraps around, as fseek would take it.
    const size_t target = base + offset;
    if (target > size_) {
      return aiReturn_FAILURE;
    }
    position_ = target;
    return aiReturn_SUCCESS;
  }

  size_t Tell() const override { return position_; }
  size_t FileSize() const override { return size_; }
  void Flush() override {}

 private:
  int fd_;
  std::string start_;
  std::uint64_t replaced_;
  size_t size_;
  size_t position_ = 0;
};

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::uint64_t realBytes(const struct stat& status) {
  return std::min<std::uint64_t>(static_cast<std::uint64_t>(status.st_size),
                                 static_cast<std::uint64_t>(status.st_blocks) * 512);
}

bool isMeshDataName(std::string_view name) {
  std::string last(name.substr(name.rfind('/') + 1));
  for (char& c : last) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return std::any_of(
      std::begin(kMeshDataExtensions), std::end(kMeshDataExtensions), [&last](std::string_view e) {
        return last.size() > e.size() + 1 && last.ends_with(e) && last[last.size() - e.size() - 1] == '.';
      });
}

bool hasHiddenPart(std::string_view path) {
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.starts_with('.') && part != "." && part != "..") {
      return true;
    }
    start = end + 1;
  }
  return false;
}

ModelFileSystem::ModelFileSystem(const ModelSource& source) : source_(source) {
  fstat(source.fd, &model_);
  // The model's own bytes are those the limits started from.
  opened_.insert({model_.st_dev, model_.st_ino});
  openedBytes_ = realBytes(model_);
  char resolved[PATH_MAX];
  folderKnown_ = realpath(folderOf(source.path).c_str(), resolved) != nullptr;
  // Kept without its trailing slash, so that the root folder is the empty string.
  folder_ = folderKnown_ && std::strcmp(resolved, "/") != 0 ? resolved : "";
}

std::string ModelFileSystem::refusalByName(std::string_view relative) const {
  if (hasHiddenPart(relative)) {
    return "which is hidden or in a hidden folder";
  }
  if (!isMeshDataName(relative)) {
    return "which is not a kind of file a mesh format reads (a mesh, a material library or a buffer)";
  }
  return "";
}

int ModelFileSystem::openAllowed(const char* file, std::string& why) const {
  const std::string name(file);
  // Relative to the model, a name assimp puts after its folder; "file:" or "scheme://" is a URL.
  const std::string given = folderOf(source_.path) + "/";
  const std::string reference = name.starts_with(given) ? name.substr(given.size()) : name;
  if (reference.starts_with("file:") || reference.find("://") != std::string::npos) {
    why = "which is a URL, not a file in the model's folder";
    return -1;
  }
  // What the name alone rules out is never opened at all; the model itself may have any name.
  if (name != source_.path && !(why = refusalByName(reference)).empty()) {
    return -1;
  }
  // A descriptor that only names the file: opening it reads nothing and waits for no writer.
  const int named = open(file, O_PATH | O_CLOEXEC);
  struct stat status {};
  if (named < 0 || fstat(named, &status) != 0) {
    why = errno == ENOENT ? "" : std::string("which cannot be opened: ") + std::strerror(errno);
    if (named >= 0) {
      close(named);
    }
    return -1;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(named);
  const bool isModel = status.st_dev == model_.st_dev && status.st_ino == model_.st_ino;
  char resolved[PATH_MAX];
  const ssize_t length = readlink(self.c_str(), resolved, sizeof resolved);
  const std::string where = length > 0 ? std::string(resolved, static_cast<size_t>(length)) : "";
  int fd = -1;
  if (!S_ISREG(status.st_mode)) {
    why = "which is not a regular file";
  } else if (!isModel && (!folderKnown_ || !where.starts_with(folder_ + "/"))) {
    why = "which is outside the model's folder";
  } else if (!isModel && !(why = refusalByName(where.substr(folder_.size() + 1))).empty()) {
    // A link with an innocent name may lead to a file no model may name.
  } else if ((fd = open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) < 0) {
    why = std::string("which cannot be opened: ") + std::strerror(errno);
  }
  close(named);
  return fd;
}

void ModelFileSystem::refuse(const char* file, const std::string& why) const {
  if (refusal_.empty() && !why.empty()) {
    refusal_ = "it names \"" + std::string(file) + "\", " + why;
  }
}

bool ModelFileSystem::Exists(const char* file) const {
  std::string why;
  const int fd = openAllowed(file, why);
  if (fd >= 0) {
    close(fd);
  }
  refuse(file, why);
  return fd >= 0;
}

Assimp::IOStream* ModelFileSystem::Open(const char* file, const char* mode) {
  std::string why;
  int fd = -1;
  struct stat status {};
  if (std::strpbrk(mode, "wa+")) {
    why = "which it may not write";
  } else if ((fd = openAllowed(file, why)) >= 0 && fstat(fd, &status) != 0) {
    why = std::string("which cannot be opened: ") + std::strerror(errno);
  } else if (fd >= 0 && !opened_.contains({status.st_dev, status.st_ino})) {
    // The limits follow the bytes of the files really opened; one whose holes would read as more zeros than
    // the memory allowed is refused before anything reads it.
    const ImportLimits limits = raiseContainedLimits(openedBytes_ + realBytes(status));
    if (static_cast<std::uint64_t>(status.st_size) > limits.memoryBytes) {
      why = "which is larger than the " + std::to_string(limits.memoryBytes >> 20) +
            " MiB of memory the import may use";
    }
  }
  if (!why.empty()) {
    if (fd >= 0) {
      close(fd);
    }
    refuse(file, why);
    return nullptr;
  }
  if (fd < 0) {
    return nullptr;
  }
  if (opened_.insert({status.st_dev, status.st_ino}).second) {
    openedBytes_ += realBytes(status);
  }
  const bool isModel = status.st_dev == model_.st_dev && status.st_ino == model_.st_ino;
  return new ModelStream(fd, static_cast<std::uint64_t>(status.st_size), isModel ? source_.start : "",
                         isModel ? source_.replaced : 0);
}

void ModelFileSystem::Close(Assimp::IOStream* file) {
  delete file;
}

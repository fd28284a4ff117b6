// The import as mesh2poly and nprsnap run it: pre-check, contained assimp, then the mesh maths.
#include "mesh_import.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "assimp_triangles.h"
#include "contained.h"
#include "direct_read.h"
#include "import_answer.h"
#include "mesh_precheck.h"
#include "model.h"
#include "model_files.h"
#include "printable.h"

namespace {

// The model's bytes mapped read-only, so that even a large file costs no copy. Under the child's limits, a
// file whose apparent size is far beyond its real bytes fails to map or runs out of memory.
class MappedModel {
 public:
  MappedModel(int fd, std::uint64_t size) : size_(size) {
    if (size > 0 && (data_ = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)) == MAP_FAILED) {
      data_ = nullptr;
      if (errno == ENOMEM) {
        throw std::bad_alloc();
      }
      error_ = std::strerror(errno);
    }
  }
  ~MappedModel() {
    if (data_) {
      munmap(data_, size_);
    }
  }
  std::string_view bytes() const { return {static_cast<const char*>(data_), data_ ? size_ : 0}; }
  const std::string& error() const { return error_; }

 private:
  void* data_ = nullptr;
  std::uint64_t size_;
  std::string error_;
};

// The child's side, before assimp: the pre-check of the model's bytes and the rewrite of a header that
// assimp would misread; then the direct readers where they take the file. True when the file passed, with
// taken telling whether mesh is read already.
bool precheckSource(ModelSource& source, std::uint64_t size, PolyMesh& mesh, bool& taken,
                    std::string& error) {
  const MappedModel mapped(source.fd, size);
  const std::string_view bytes = mapped.bytes();
  if (!mapped.error().empty()) {
    error = mapped.error();
    return false;
  }
  if (!precheckMesh(bytes, error)) {
    return false;
  }
  prepareSource(bytes, source);
  taken = readDirectly(source.path, bytes, mesh);
  return true;
}

// All the child does: read the model, check what was read, and join its vertices, which the same mesh
// from assimp or the direct readers leaves the same.
bool readInChild(ModelSource& source, std::uint64_t size, PolyMesh& mesh, std::string& error) {
  bool taken = false;
  if (!precheckSource(source, size, mesh, taken, error) || (!taken && !readTriangles(source, mesh, error)) ||
      !checkImportedMesh(mesh, error)) {
    return false;
  }
  // Parts of one mesh that meet, and vertices the file kept apart, become one vertex each.
  joinVertices(mesh);
  return true;
}

// Opens the model for the import: a regular file, never waited on (a FIFO opens at once and is refused).
int openModel(const std::string& path, struct stat& status, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0 || fstat(fd, &status) != 0) {
    error = std::strerror(errno);
  } else if (S_ISDIR(status.st_mode)) {
    error = std::strerror(EISDIR);
  } else if (!S_ISREG(status.st_mode)) {
    // Assimp seeks in what it reads, and a pipe or device may never end.
    error = "not a regular file";
  } else {
    return fd;
  }
  if (fd >= 0) {
    close(fd);
  }
  return -1;
}

bool importContained(const std::string& path, PolyMesh& imported, std::string& error) {
  struct stat status {};
  ModelSource source;
  source.path = path;
  source.fd = openModel(path, status, error);
  if (source.fd < 0) {
    return false;
  }
  // The limits follow what the model really holds, not what it claims to; each file it names adds its own.
  const ContainedBudget budget{realBytes(status), importLimitsFor};
  const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
  const ImportLimits limits = importLimitsFor(budget.startBytes);
  // The model is held whole, so one larger than the memory allowed (a sparse file, whose holes would read
  // as that many zeros) is refused before anything reads it.
  if (size > limits.memoryBytes) {
    error = outOfMemoryReason(limits);
    close(source.fd);
    return false;
  }
  const auto read = [&source, size](PolyMesh& mesh, std::string& reason) {
    return readInChild(source, size, mesh, reason);
  };
  const bool ok = runContained(read, budget, imported, error);
  close(source.fd);
  return ok;
}

}  // namespace

bool importMesh(const std::string& path, const ImportOptions& options, PolyMesh& mesh, std::string& error,
                bool& windingKept) {
  windingKept = false;
  PolyMesh imported;
  // Control characters from the file's contents (a name it gives, say) must not reach a terminal raw.
  if (!importContained(path, imported, error)) {
    error = printable(error);
    return false;
  }
  if (imported.faces.empty()) {
    error = "no triangles in it";
    return false;
  }
  try {
    turnUpAxis(imported, options.up);
    if (options.turn != 0) {
      turnAboutY(imported, options.turn);
    }
    if (options.unit) {
      fitUnitBox(imported);
    }
    windingKept = options.winding && !orientFaces(imported, *options.winding);
    if (options.normals) {
      computeNormals(imported);
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory for its mesh";
    return false;
  }
  if (!allFinite(imported, "turned and scaled,", error)) {
    return false;
  }
  mesh = std::move(imported);
  return true;
}

bool importMesh(const std::string& path, const ImportOptions& options, PolyMesh& mesh, std::string& error) {
  bool windingKept = false;
  return importMesh(path, options, mesh, error, windingKept);
}

Model* modelOfMesh(const PolyMesh& mesh) {
  const bool normals = !mesh.normals.empty();
  if ((normals && mesh.normals.size() != mesh.positions.size()) || mesh.positions.size() > INT_MAX ||
      mesh.faces.size() > INT_MAX) {
    return nullptr;
  }
  const int vertexCount = static_cast<int>(mesh.positions.size());
  const int faceCount = static_cast<int>(mesh.faces.size());
  Model* model = new (std::nothrow) Model{nullptr, nullptr, vertexCount, faceCount};
  if (!model) {
    return nullptr;
  }
  model->vertices = new (std::nothrow) ModelVertex[mesh.positions.size()];
  model->faces = new (std::nothrow) ModelFace[mesh.faces.size()];
  if (!model->vertices || !model->faces) {
    freeModel(model);
    return nullptr;
  }
  // The text writes each float exactly, but -0 as 0: adding +0 does the same here.
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    const auto& p = mesh.positions[i];
    const std::array<float, 3> n = normals ? mesh.normals[i] : std::array<float, 3>{0, 0, 0};
    model->vertices[i] = {p[0] + 0.0f, p[1] + 0.0f, p[2] + 0.0f, {n[0] + 0.0f, n[1] + 0.0f, n[2] + 0.0f}};
  }
  for (size_t i = 0; i < mesh.faces.size(); ++i) {
    const auto& f = mesh.faces[i];
    model->faces[i] = {{f[0], f[1], f[2]}};
  }
  return model;
}

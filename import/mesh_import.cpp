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
#include "mesh_precheck.h"
#include "model.h"
#include "model_files.h"
#include "printable.h"

namespace {

// The child's side, before assimp: the pre-check of the model's bytes, mapped read-only so that even a
// large file costs no copy, and the rewrite of a header that assimp would misread. Under the child's
// limits, a file whose apparent size is far beyond its real bytes fails to map or runs out of memory.
bool precheckSource(ModelSource& source, std::uint64_t size, std::string& error) {
  if (size == 0) {
    return true;
  }
  void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, source.fd, 0);
  if (mapped == MAP_FAILED && errno == ENOMEM) {
    throw std::bad_alloc();
  }
  if (mapped == MAP_FAILED) {
    error = std::strerror(errno);
    return false;
  }
  const std::string_view bytes(static_cast<const char*>(mapped), size);
  bool ok = precheckMesh(bytes, error);
  // Assimp's binary PLY reader takes a first element byte 0x0A after an end_header line ended by a bare
  // line feed for part of that line end; one more line feed there is skipped instead.
  const size_t body = ok ? binaryPlyBody(bytes) : 0;
  if (body >= 2 && body < size && bytes[body] == '\n' && bytes[body - 2] != '\r') {
    source.start.assign(bytes.substr(0, body));
    source.start += '\n';
    source.replaced = body;
  }
  munmap(mapped, size);
  return ok;
}

// What the viewer's loader would refuse: a point or normal that is not finite, or counts beyond its ints.
bool fitsModel(const PolyMesh& mesh, const char* when, std::string& error) {
  if (mesh.positions.size() > INT_MAX || mesh.faces.size() > INT_MAX) {
    error = "it has more vertices or faces than a model file can hold";
    return false;
  }
  for (const auto* points : {&mesh.positions, &mesh.normals}) {
    for (const auto& p : *points) {
      if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) {
        error = notFiniteReason(when, points == &mesh.positions ? "vertex" : "normal", p);
        return false;
      }
    }
  }
  return true;
}

bool facesInRange(const PolyMesh& mesh, std::string& error) {
  for (const auto& face : mesh.faces) {
    for (int corner : face) {
      if (corner < 0 || static_cast<size_t>(corner) >= mesh.positions.size()) {
        error = "the importer gave a face with corner " + std::to_string(corner) + " of " +
                std::to_string(mesh.positions.size()) + " vertices";
        return false;
      }
    }
  }
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
  // The limits follow what the model and the files beside it really hold, not what they claim to.
  const std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
  source.budget = realBytes(status) + folderRealBytes(folder, {status.st_dev, status.st_ino});
  const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
  const ImportLimits limits = importLimitsFor(source.budget);
  // Assimp holds a model file whole, so one larger than the memory allowed (a sparse file, whose holes
  // would read as that many zeros) is refused before anything reads it.
  if (size > limits.memoryBytes) {
    error = outOfMemoryReason(limits);
    close(source.fd);
    return false;
  }
  const auto read = [&source, size](PolyMesh& triangles, std::string& reason) {
    return precheckSource(source, size, reason) && readTriangles(source, triangles, reason);
  };
  const bool ok = runContained(read, limits, imported, error);
  close(source.fd);
  return ok;
}

}  // namespace

bool importMesh(const std::string& path, const ImportOptions& options, PolyMesh& mesh, std::string& error,
                bool& windingKept) {
  windingKept = false;
  PolyMesh imported;
  // Control characters from the file's contents (a name it gives, say) must not reach a terminal raw.
  if (!importContained(path, imported, error) || !facesInRange(imported, error) ||
      !fitsModel(imported, "as read,", error)) {
    error = printable(error);
    return false;
  }
  try {
    // Parts of one mesh that meet, and vertices assimp kept apart, become one vertex each.
    joinVertices(imported);
    if (imported.faces.empty()) {
      error = "no triangles in it";
      return false;
    }
    turnUpAxis(imported, options.up);
    if (options.turn != 0) {
      turnAboutY(imported, options.turn);
    }
    if (options.unit) {
      fitUnitBox(imported);
    }
    windingKept = options.winding && !orientFaces(imported, *options.winding);
    computeNormals(imported);
  } catch (const std::bad_alloc&) {
    error = "not enough memory for its mesh";
    return false;
  }
  if (!fitsModel(imported, "turned and scaled,", error)) {
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
  if (mesh.normals.size() != mesh.positions.size() || mesh.positions.size() > INT_MAX ||
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
    const auto& n = mesh.normals[i];
    model->vertices[i] = {p[0] + 0.0f, p[1] + 0.0f, p[2] + 0.0f, {n[0] + 0.0f, n[1] + 0.0f, n[2] + 0.0f}};
  }
  for (size_t i = 0; i < mesh.faces.size(); ++i) {
    const auto& f = mesh.faces[i];
    model->faces[i] = {{f[0], f[1], f[2]}};
  }
  return model;
}

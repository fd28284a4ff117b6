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

namespace {

// Maps the file read-only for the pre-check, so that even a large file costs no copy.
bool precheckFile(const std::string& path, std::uint64_t& size, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat status {};
  bool ok = fstat(fd, &status) == 0;
  if (!ok) {
    error = std::strerror(errno);
  } else if (S_ISDIR(status.st_mode)) {
    error = std::strerror(EISDIR);
    ok = false;
  } else if (!S_ISREG(status.st_mode)) {
    // Assimp seeks in what it reads, and a pipe or device may never end.
    error = "not a regular file";
    ok = false;
  }
  size = ok ? static_cast<std::uint64_t>(status.st_size) : 0;
  if (ok && size > 0) {
    void* bytes = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED) {
      error = std::strerror(errno);
      ok = false;
    } else {
      ok = precheckMesh(std::string_view(static_cast<const char*>(bytes), size), error);
      munmap(bytes, size);
    }
  }
  close(fd);
  return ok;
}

std::string pointText(const std::array<float, 3>& p) {
  char text[160];
  std::snprintf(text, sizeof text, "(%g, %g, %g)", double(p[0]), double(p[1]), double(p[2]));
  return text;
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
        error = std::string(when) + " it has a " + (points == &mesh.positions ? "vertex" : "normal") +
                " at " + pointText(p) + ", which is not a finite point";
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

}  // namespace

bool importMesh(const std::string& path, const ImportOptions& options, PolyMesh& mesh, std::string& error,
                bool& windingKept) {
  windingKept = false;
  std::uint64_t size = 0;
  if (!precheckFile(path, size, error)) {
    return false;
  }
  PolyMesh imported;
  const auto read = [&path](PolyMesh& triangles, std::string& reason) {
    return readTriangles(path, triangles, reason);
  };
  if (!runContained(read, importLimitsFor(size), imported, error) || !facesInRange(imported, error)) {
    return false;
  }
  try {
    // Parts of one mesh that meet, and vertices assimp kept apart, become one vertex each.
    joinVertices(imported);
    if (imported.faces.empty()) {
      error = "no triangles in it";
      return false;
    }
    if (!fitsModel(imported, "as read,", error)) {
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

// Reading one file both ways, as the import's child does, and comparing the outcomes.
#include "direct_read_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "assimp_triangles.h"
#include "direct_read.h"
#include "import_answer.h"
#include "mesh_precheck.h"

namespace {

struct Outcome {
  bool ok = false;
  std::string error;
  PolyMesh mesh;
};

std::string describe(const Outcome& outcome) {
  return outcome.ok ? std::to_string(outcome.mesh.positions.size()) + " vertices and " +
                          std::to_string(outcome.mesh.faces.size()) + " faces"
                    : "\"" + outcome.error + "\"";
}

template <class T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

}  // namespace

std::string directReadDifference(const std::string& folder, const std::string& name, std::string_view bytes,
                                 bool* taken) {
  const std::string path = folder + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
  std::string reason;
  Outcome direct, assimp;
  const bool read = precheckMesh(bytes, reason) && readDirectly(path, bytes, direct.mesh);
  if (taken) {
    *taken = read;
  }
  if (!read) {
    return "";
  }
  direct.ok = checkImportedMesh(direct.mesh, direct.error);
  ModelSource source;
  source.path = path;
  source.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  prepareSource(bytes, source);
  assimp.ok =
      readTriangles(source, assimp.mesh, assimp.error) && checkImportedMesh(assimp.mesh, assimp.error);
  close(source.fd);
  const bool same =
      direct.ok == assimp.ok && (direct.ok ? sameBits(direct.mesh.positions, assimp.mesh.positions) &&
                                                 sameBits(direct.mesh.faces, assimp.mesh.faces)
                                           : direct.error == assimp.error);
  return same ? "" : "directly " + describe(direct) + ", by assimp " + describe(assimp);
}

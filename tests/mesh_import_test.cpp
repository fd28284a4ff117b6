// The contained mesh import: the pre-check, the child process and its limits, and the model it yields.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "contained.h"
#include "mesh_import.h"
#include "mesh_precheck.h"
#include "model.h"
#include "support.h"

namespace {

using testing::HasSubstr;
using ModelPointer = std::unique_ptr<Model, void (*)(Model*)>;

const std::string kPlyHeader =
    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
const std::string kBinaryFace =
    "ply\nformat binary_big_endian 1.0\nelement face 1\nproperty list uint int i\nend_header\n";
const std::string kOffVertices = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n";

std::string stlDeclaring(std::uint32_t triangles, size_t size) {
  std::string bytes(size, '\0');
  std::memcpy(bytes.data() + 80, &triangles, sizeof triangles);
  return bytes;
}

TEST(MeshPrecheck, RefusesWhatAssimpWouldTrustOrMishandle) {
  const std::pair<std::string, std::string> cases[] = {
      {kPlyHeader + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", ""},
      {kOffVertices + "3 0 1 2\n", ""},
      {kBinaryFace + std::string("\0\0\0\3", 4) + std::string(12, '\0'), ""},
      {kBinaryFace + std::string("\xee\x6b\x28\0", 4) + std::string(12, '\0'), "declares 4000000000 items"},
      {kPlyHeader + "0 0 0\n1 0 0\n0 1 0\n4000000000 0 1 2\n", "declares 4000000000 items"},
      {"OFF 3 1 0\n0 0 0\n1 0 0\n\n# a comment\n0 1 0\n3 0 1 2 extra\n", ""},
      {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", ""},
      {stlDeclaring(2, 184), ""},
      {"ply\nformat ascii 1.0\nelement vertex 1000000000\nproperty float x\nend_header\n0\n",
       "more elements"},
      {"ply\nformat binary_little_endian 1.0\nelement vertex 2\nproperty double "
       "x\nend_header\n123456789012345",
       "more elements"},
      {"ply\nformat binary_big_endian 1.0\nelement e 99999999999999999999\nproperty char c\nend_header\n",
       "not \"element NAME COUNT\""},
      {"ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nend_headr\n\x01\x02",
       "unknown keyword"},
      {"ply\nelement vertex 0\nend_header\n", "no format line"},
      {"\nPLY)format ascii 1.0\nend_header\n", "PLY magic"},
      {"ply\nformat ascii 1.0\nelement vertex 1\nproperty half x\nend_header\n0\n", "property line"},
      {"ply\nformat ascii 1.0\nproperty float x\nend_header\n", "property line"},
      {"ply\nformat ascii 1.0\nelement vertex 1\nproperty\nend_header\n0\n", "property line"},
      {"OFF\n1000000000 1 0\n0 0 0\n", "declares 1000000000 vertices, but it holds 1"},
      {kOffVertices, "declares 1 faces, but it holds 0"},
      {kOffVertices + "3 0 1 3\n", "OFF face 1 names vertex \"3\", but there are 3 vertices"},
      {kOffVertices + "3 0 1 -1\n", "names vertex \"-1\""},
      {kOffVertices + "3 0 1\n", "declares 3 corners, but lists 2"},
      {kOffVertices + "x 0 1 2\n", "corner count"},
      {kOffVertices + "0\nx\n", "OFF face 1 has no corners"},
      {"OFF\n3\n", "no vertex and face counts"},
      {stlDeclaring(2147483650u, 184), "declares 2147483650 triangles"},
  };
  for (const auto& [bytes, refusal] : cases) {
    std::string reason;
    EXPECT_EQ(precheckMesh(bytes, reason), refusal.empty()) << bytes;
    EXPECT_THAT(reason, HasSubstr(refusal)) << bytes;
  }
}

// Assimp spins forever on an ASCII PLY file cut inside its header, wherever the cut.
TEST(MeshPrecheck, RefusesAPlyHeaderCutAnywhere) {
  for (size_t cut = 3; cut < kPlyHeader.size(); ++cut) {
    std::string reason;
    EXPECT_FALSE(precheckMesh(kPlyHeader.substr(0, cut), reason)) << cut;
  }
}

// Each way the child can fail comes back as one line; the child is gone afterwards either way. Limits of 64
// MiB, 1 second of processor time and 2 of wall-clock time, but time enough to fill the memory on a busy
// machine in the sanitizer build.
TEST(ContainedRun, TurnsEveryFailureOfTheChildIntoOneLine) {
  using Work = bool (*)(PolyMesh&, std::string&);
  const struct {
    Work work;
    const char* error;
    int seconds = 1;
  } cases[] = {
      {[](PolyMesh& mesh, std::string&) {
         mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
         mesh.faces = {{0, 1, 2}};
         return true;
       },
       ""},
      {[](PolyMesh&, std::string& error) { return (error = "no triangles in it", false); },
       "no triangles in it"},
      {[](PolyMesh&, std::string&) { return raise(SIGSEGV) == 0; },
       "the importer crashed (Segmentation fault)"},
      {[](PolyMesh&, std::string&) -> bool { std::abort(); }, "the importer crashed (Aborted)"},
      {[](PolyMesh&, std::string&) -> bool { _exit(7); }, "the importer failed (exit status 7)"},
      {[](PolyMesh&, std::string&) -> bool { throw std::runtime_error("unwinds"); },
       "the importer stopped on an exception"},
      {[](PolyMesh&, std::string&) {
         volatile unsigned spins = 0;
         for (;;) {
           spins = spins + 1;
         }
         return true;
       },
       "importing it takes too long"},
      {[](PolyMesh&, std::string&) { return pause() == 0; }, "importing it takes too long"},
      {[](PolyMesh&, std::string&) {
         for (;;) {
           std::memset(new char[16 << 20], 1, 16 << 20);
         }
         return true;
       },
       "importing it needs more than 64 MiB of memory", 60},
  };
  for (const auto& c : cases) {
    PolyMesh mesh;
    std::string error;
    EXPECT_EQ(runContained(c.work, {64 << 20, c.seconds, 2 * c.seconds}, mesh, error), *c.error == '\0')
        << error;
    EXPECT_THAT(error, testing::StartsWith(c.error));
    EXPECT_EQ(mesh.faces.size(), *c.error ? 0u : 1u);
  }
}

// nprsnap draws the model it builds in memory; it must be the one loadModel reads from mesh2poly's file.
TEST(MeshImport, ModelOfMeshIsTheModelOfTheConvertedFile) {
  const std::filesystem::path out = tempPath("import-converted.poly");
  for (const char* file :
       {"tetrahedron-ccw.obj", "octahedron-cw.ply", "tetrahedron-ccw-binary.stl", "cube-ccw.off",
        "tetrahedron-ccw.gltf", "box-quads.obj", "tetrahedron-1e-7-across.obj"}) {
    const std::string input = std::string("tests/data/") + file;
    int status = -1;
    runCommand(std::string(NPRVIEW_MESH2POLY) + " --unit --winding cw --up z --turn 30 " + input + " " +
                   out.string(),
               &status);
    ASSERT_EQ(status, 0) << file;
    const ModelPointer converted(loadModel(out.c_str()), freeModel);
    PolyMesh mesh;
    std::string error;
    ASSERT_TRUE(importMesh(input, {true, Winding::Clockwise, Axis::Z, 30}, mesh, error)) << error;
    const ModelPointer built(modelOfMesh(mesh), freeModel);
    ASSERT_TRUE(converted && built) << file;
    ASSERT_EQ(built->vertexCount, converted->vertexCount) << file;
    ASSERT_EQ(built->faceCount, converted->faceCount) << file;
    EXPECT_EQ(std::memcmp(built->vertices, converted->vertices, sizeof(ModelVertex) * built->vertexCount), 0);
    EXPECT_EQ(std::memcmp(built->faces, converted->faces, sizeof(ModelFace) * built->faceCount), 0);
  }
  std::filesystem::remove(out);
}

// Files that would hang or crash assimp, run it out of memory, or give a model the viewer refuses: one line
// each, status 1, and no output file.
TEST(MeshImport, Mesh2PolyRefusesHostileFilesInOneLine) {
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"billion.ply",
       "ply\nformat ascii 1.0\ncomment 1e9 vertices in a few bytes\nelement vertex 1000000000\n"
       "property float x\nproperty float y\nproperty float z\nend_header\n0 0 0\n",
       "more elements than the file can hold"},
      {"cut.ply", kPlyHeader.substr(0, 40), "PLY header"},
      {"billion.off", "OFF\n1000000000 1 0\n0 0 0\n", "1000000000 vertices"},
      {"index.off", kOffVertices + "3 0 1 7\n", "names vertex \"7\""},
      {"infinite.obj", "v inf 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\n",
       "vertex at (inf, 0, 0), which is not a finite point"},
      {"huge.obj", "v 3e38 0 3e38\nv 0 1 0\nv 0 0 1\nf 1 2 3\n", "turned and scaled, it has a vertex at ("},
  };
  const std::filesystem::path out = tempPath("hostile.poly");
  for (const auto& [name, bytes, reason] : cases) {
    const std::filesystem::path in = tempPath(name);
    std::ofstream(in, std::ios::binary) << bytes;
    int status = -1;
    const std::string errors = runCommand(
        std::string(NPRVIEW_MESH2POLY) + " --unit --turn 45 " + in.string() + " " + out.string() + " 2>&1",
        &status);
    std::filesystem::remove(in);
    EXPECT_EQ(status, 1) << name;
    EXPECT_THAT(errors, testing::StartsWith("mesh2poly: cannot read " + in.string() + ": ")) << name;
    EXPECT_THAT(errors, HasSubstr(reason));
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

}  // namespace

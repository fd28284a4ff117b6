// The contained mesh import: the pre-check, the child process and its limits, and the model it yields.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "contained.h"
#include "direct_read_check.h"
#include "import_answer.h"
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
       "no end_header line"},
      // Lines assimp skips: a comment, obj_info, anything else, a blank line, between elements or after
      // their properties; but after such a line a property would be dropped, and an element of an unknown
      // name is read as empty, so the elements after it would be misread.
      {"ply\nformat ascii 1.0\nCreated by Blender3D 247\nobj_info x\nelement vertex 1\nproperty float x\n\n"
       "property float y\ncomment c\nelement e 0\nend_header\n0 0\n",
       ""},
      {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\ncomment c\nproperty float "
       "y\nend_header\n0 0\n",
       "line 6 of the PLY header is a property line that follows no element"},
      {"ply\nformat ascii 1.0\nelement vertex 1\nobj_info\nproperty float x\nend_header\n0\n",
       "follows no element"},
      {"ply\nformat ascii 1.0\nelement range_grid 1\nproperty uchar n\nelement vertex 1\nproperty float "
       "x\nend_header\n"
       "0\n0\n",
       "line 5 of the PLY header comes after an element whose count the importer would not read "
       "(\"range_grid\")"},
      {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nelement range_grid 1\nproperty uchar "
       "n\nend_header\n"
       "0\n0\n",
       ""},
      {"ply\nelement vertex 0\nend_header\n", "no format line"},
      {"\nPLY)format ascii 1.0\nend_header\n", "PLY magic"},
      {"ply\nformat ascii 1.0\nelement vertex 1\nproperty half x\nend_header\n0\n", "property line"},
      {"ply\nformat ascii 1.0\nproperty float x\nend_header\n", "follows no element"},
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

bool oneTriangle(PolyMesh& mesh) {
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}};
  return true;
}

// Each way the child can fail comes back as one line; the child is gone afterwards either way. Limits of 64
// MiB and a byte more for each byte the work reports reading, 1 second of processor time and 2 of
// wall-clock time, but time enough to fill the memory on a busy machine in the sanitizer build.
TEST(ContainedRun, TurnsEveryFailureOfTheChildIntoOneLine) {
  using Work = bool (*)(PolyMesh&, std::string&);
  const struct {
    Work work;
    const char* error;
    int seconds = 1;
  } cases[] = {
      {[](PolyMesh& mesh, std::string&) { return oneTriangle(mesh); }, ""},
      // Memory the limits allow only once the work has reported reading more.
      {[](PolyMesh& mesh, std::string&) {
         raiseContainedLimits(192 << 20);
         // Every page written through a pointer to volatile bytes, which no optimiser may leave out.
         volatile char* block = new char[128 << 20];
         for (size_t page = 0; page < (128 << 20); page += 4096) {
           block[page] = 1;
         }
         return oneTriangle(mesh);
       },
       ""},
      // Something the importer leaves running must not hold up its answer.
      {[](PolyMesh& mesh, std::string&) { return (fork() == 0 && pause() == 0) || oneTriangle(mesh); }, ""},
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
           // Through a volatile pointer, which no optimiser may take for an allocation it can leave out.
           char* volatile block = new char[16 << 20];
           std::memset(block, 1, 16 << 20);
         }
         return true;
       },
       "importing it needs more than 64 MiB of memory", 60},
  };
  for (const auto& c : cases) {
    PolyMesh mesh;
    std::string error;
    const ContainedBudget budget{0, [&c](std::uint64_t bytes) {
                                   const size_t more = std::min<std::uint64_t>(bytes, 1 << 30);
                                   return ImportLimits{(64 << 20) + more, c.seconds, 2 * c.seconds};
                                 }};
    EXPECT_EQ(runContained(c.work, budget, mesh, error), *c.error == '\0') << error;
    EXPECT_THAT(error, testing::StartsWith(c.error));
    EXPECT_EQ(mesh.faces.size(), *c.error ? 0u : 1u);
  }
  // The handlers of the ending signals last only as long as the child.
  struct sigaction interrupt {};
  sigaction(SIGINT, nullptr, &interrupt);
  EXPECT_EQ(interrupt.sa_handler, SIG_DFL);
}

// What the parent makes of answers a child gone wrong could give: every check on the message and the arrays
// refuses what it guards, and a sound answer passes them all.
TEST(ImportAnswer, RefusesWhatNoWorkingImporterAnswers) {
  const auto announcing = [](std::uint64_t positions, std::uint64_t faces) {
    const std::uint64_t counts[2] = {positions, faces};
    return "M" + std::string(reinterpret_cast<const char*>(counts), sizeof counts);
  };
  const auto arrays = [](std::vector<float> positions, std::vector<int> corners) {
    return std::string(reinterpret_cast<const char*>(positions.data()), positions.size() * sizeof(float)) +
           std::string(reinterpret_cast<const char*>(corners.data()), corners.size() * sizeof(int));
  };
  const float nan = std::nanf(""), inf = INFINITY;
  const std::string triangle = arrays({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
  const struct {
    std::string message, arrays;
    const char* error;
  } cases[] = {
      {announcing(3, 1), triangle, ""},
      {"Eno triangles in it", "", "no triangles in it"},
      {"M", triangle, "the importer's answer is malformed"},
      {announcing(3, 1) + "?", triangle, "malformed"},
      {"?" + announcing(3, 1).substr(1), triangle, "malformed"},
      {announcing(3, 2), triangle, "announced 3 vertices and 2 faces, but its arrays hold 48 bytes"},
      {announcing(2, 1), triangle, "announced 2 vertices and 1 faces, but its arrays hold 48 bytes"},
      {announcing(std::uint64_t{1} << 62, 1), triangle, "more vertices or faces than a model file can hold"},
      {announcing(3, std::uint64_t{INT_MAX} + 1), triangle,
       "more vertices or faces than a model file can hold"},
      {announcing(3, 1), arrays({0, 0, 0, nan, 0, 0, 0, 1, 0}, {0, 1, 2}), "vertex at (nan, 0, 0)"},
      {announcing(3, 1), arrays({0, 0, 0, 1, 0, 0, 0, -inf, 0}, {0, 1, 2}), "vertex at (0, -inf, 0)"},
      {announcing(3, 1), arrays({0, 0, nan, 1, 0, 0, 0, 1, 0}, {0, 1, 2}), "vertex at (0, 0, nan)"},
      {announcing(3, 1), arrays({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 3}), "face with corner 3 of 3 vertices"},
      {announcing(3, 1), arrays({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, -1, 2}), "face with corner -1 of 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    const int fd = memfd_create("answer", MFD_CLOEXEC);
    ASSERT_EQ(write(fd, c.arrays.data(), c.arrays.size()), static_cast<ssize_t>(c.arrays.size()));
    PolyMesh mesh;
    std::string error;
    EXPECT_EQ(readImportAnswer(c.message, fd, mesh, error), *c.error == '\0');
    EXPECT_THAT(error, HasSubstr(c.error));
    EXPECT_EQ(mesh.faces.size(), *c.error ? 0u : 1u);
    close(fd);
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

// A glTF of one mesh whose buffer, at uri, holds `triangles` triangles of positions.
std::string gltfNaming(const std::string& uri, int triangles = 1) {
  char text[1024];
  std::snprintf(text, sizeof text, R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
    "nodes": [{"mesh": 0}], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
    "buffers": [{"uri": "%s", "byteLength": %d}], "bufferViews": [{"buffer": 0, "byteLength": %d}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "type": "VEC3", "count": %d, "min": [0, 0, 0],
    "max": [1, 1, 1]}]})",
                uri.c_str(), 36 * triangles, 36 * triangles, 3 * triangles);
  return text;
}

// Triangles side by side as a glTF buffer holds them.
std::string triangles(int count) {
  std::vector<float> positions;
  for (int i = 0; i < count; ++i) {
    positions.insert(positions.end(), {float(i), 0, 0, float(i) + 1, 0, 0, float(i), 1, 0});
  }
  return std::string(reinterpret_cast<const char*>(positions.data()), positions.size() * sizeof(float));
}

// A binary little-endian PLY file of the positions (x, y, z) and one face of the corners.
std::string binaryPly(const std::vector<float>& xyz, const std::vector<int>& corners) {
  std::string bytes = "ply\nformat binary_little_endian 1.0\nelement vertex " +
                      std::to_string(xyz.size() / 3) +
                      "\nproperty float x\nproperty float y\nproperty float z\nelement face 1\nproperty list "
                      "uchar int vertex_indices\nend_header\n";
  bytes.append(reinterpret_cast<const char*>(xyz.data()), xyz.size() * sizeof(float));
  bytes += static_cast<char>(corners.size());
  return bytes.append(reinterpret_cast<const char*>(corners.data()), corners.size() * sizeof(int));
}

// A binary STL file of one triangle with these corners.
std::string binaryStl(const std::vector<float>& xyz) {
  std::string bytes = stlDeclaring(1, 134);
  std::memcpy(bytes.data() + 96, xyz.data(), 36);
  return bytes;
}

// What mesh2poly makes of files that would hang or crash assimp, run it out of memory, read files other
// than the model's, or give a model the viewer refuses: one line each and status 1, or a model. The model
// is m/NAME in a fresh folder, beside m-secret/secret.bin; setup runs in m. A PLY or STL file is also read
// both ways the import can read it, directly and by assimp, to the same outcome.
TEST(MeshImport, Mesh2PolyAnswersHostileFilesInOneLine) {
  const std::vector<float> triangle{0, 0, 0, 1, 0, 0, 0, 1, 0};
  const float nan = std::nanf("");
  // A binary PLY triangle whose first element byte is a line feed: the first x is 0x3f00000a.
  const std::string lineFeedPly =
      binaryPly({std::bit_cast<float>(0x3f00000a), 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
  const struct {
    const char* name;
    std::string bytes;
    const char* setup;
    int status;
    const char* reason;
  } cases[] = {
      {"billion.ply",
       "ply\nformat ascii 1.0\ncomment 1e9 vertices in a few bytes\nelement vertex 1000000000\n"
       "property float x\nproperty float y\nproperty float z\nend_header\n0 0 0\n",
       "", 1, "more elements than the file can hold"},
      {"cut.ply", kPlyHeader.substr(0, 40), "", 1, "PLY header"},
      {"billion.off", "OFF\n1000000000 1 0\n0 0 0\n", "", 1, "1000000000 vertices"},
      {"index.off", kOffVertices + "3 0 1 7\n", "", 1, "names vertex \"7\""},
      {"infinite.obj", "v inf 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\n", "", 1,
       "vertex at (inf, 0, 0): coordinates that are not finite numbers"},
      {"nan-first.obj", "v 0 nan 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n", "", 1,
       "vertex at (0, nan, 0): coordinates"},
      {"nan-last.obj", "v 0 0 0\nv 1 0 0\nv 0 0 nan\nf 1 2 3\n", "", 1, "vertex at (0, 0, nan): coordinates"},
      {"huge.obj", "v 3e38 0 3e38\nv 0 1 0\nv 0 0 1\nf 1 2 3\n", "", 1,
       "turned and scaled, it has a vertex at ("},
      {"up.gltf", gltfNaming("../m-secret/secret.bin"), "", 1,
       "names \"m/../m-secret/secret.bin\", which is outside the model's folder"},
      {"link.gltf", gltfNaming("secret.bin"), "ln -s ../m-secret/secret.bin secret.bin", 1,
       "outside the model's folder"},
      {"url.gltf", gltfNaming("file:///etc/passwd"), "", 1, "is a URL"},
      {"fifo.gltf", gltfNaming("fifo.bin"), "mkfifo fifo.bin", 1,
       "\"m/fifo.bin\", which is not a regular file"},
      {"device.gltf", gltfNaming("zero.bin"), "ln -s /dev/zero zero.bin", 1, "which is not a regular file"},
      {"escape.gltf", gltfNaming("\\u001b[2J.bin"), "", 1, "\"\\x1b[2J.bin\""},
      {"mtllib.obj", "mtllib fifo.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "mkfifo fifo.mtl", 0, ""},
      {"sparse.stl", stlDeclaring(10737417, 84), "truncate -s 536870934 sparse.stl", 1, "needs more than"},
      {"sparse.off", "OFF\n3 1 0\n", "truncate -s 4G sparse.off", 1, "needs more than"},
      {"many.gltf", gltfNaming("many.bin", 60000), "", 0, ""},
      {"line-feed.ply", lineFeedPly, "", 0, ""},
      {"nan.ply", binaryPly({0, 0, 0, 1, 0, nan, 0, 1, 0}, {0, 1, 2}), "", 1, "vertex at (1, 0, nan)"},
      {"index.ply", binaryPly(triangle, {0, 1, 7}), "", 1, "mIndices[2] is out of range"},
      {"quad.ply", binaryPly({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 3}), "", 0, ""},
      {"big-endian.ply", readFile("tests/data/octahedron-cw-binary-big-endian.ply"), "", 0, ""},
      {"triangle.stl", binaryStl(triangle), "", 0, ""},
      {"nan.stl", binaryStl({0, 0, 0, 1, 0, 0, 0, nan, 0}), "", 1, "vertex at (0, nan, 0)"},
      {"byte-order-mark.stl", "\xFE\xFF" + binaryStl(triangle).substr(2), "", 1, "Invalid code point"},
      // Its limits follow the bytes it opens, not those of the files beside it.
      {"sparse-beside.stl", "", "head -c 12582912 /dev/zero >video.mp4 && truncate -s 500M sparse-beside.stl",
       1, "needs more than"},
      {"sparse-buffer.gltf", gltfNaming("big.bin"), "truncate -s 1G big.bin", 1,
       "names \"m/big.bin\", which is larger than the"},
      // A model names only files of the kinds meshes name, never hidden ones.
      {"hidden.gltf", gltfNaming(".ssh/id_rsa"), "mkdir .ssh && cp ../m-secret/secret.bin .ssh/id_rsa", 1,
       "names \"m/.ssh/id_rsa\", which is hidden or in a hidden folder"},
      {"hidden-below.gltf", gltfNaming("a/../.b/c.bin"), "mkdir a .b && cp ../m-secret/secret.bin .b/c.bin",
       1, "which is hidden"},
      {"kind.gltf", gltfNaming("notes.txt"), "cp ../m-secret/secret.bin notes.txt", 1,
       "names \"m/notes.txt\", which is not a kind of file a mesh format reads"},
      {"kind-link.gltf", gltfNaming("innocent.bin"),
       "cp ../m-secret/secret.bin a.txt && ln -s a.txt innocent.bin", 1,
       "names \"m/innocent.bin\", which is not a kind"},
      // A header line assimp skips, as Blender 2.47 wrote one, and obj_info.
      {"blender-2.47.ply",
       "ply\nformat ascii 1.0\nCreated by Blender3D 247 - www.blender.org, source file: \nobj_info x\n"
       "element vertex 3\nproperty float x\nproperty float y\nproperty float z\nproperty float s\n"
       "element face 1\nproperty list uchar uint vertex_indices\nend_header\n0 0 0 0\n1 0 0 0\n0 1 0 0\n3 0 "
       "1 2\n",
       "", 0, ""},
  };
  const std::filesystem::path folder = tempPath("hostile");
  for (const auto& [name, bytes, setup, status, reason] : cases) {
    SCOPED_TRACE(name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "m-secret");
    std::filesystem::create_directory(folder / "m");
    std::ofstream(folder / "m-secret/secret.bin", std::ios::binary) << triangles(1);
    std::ofstream(folder / "m/many.bin", std::ios::binary)
        << triangles(std::string_view(name) == "many.gltf" ? 60000 : 0);
    std::ofstream(folder / "m" / name, std::ios::binary) << bytes;
    int exit = -1;
    // A hang ends with the timeout's status, 124.
    const std::string errors = runCommand(
        "cd " + folder.string() + "/m && " + setup + (*setup ? " && " : "") +
            "cd .. && timeout 60 " NPRVIEW_MESH2POLY " --unit --turn 45 m/" + name + " out.poly 2>&1",
        &exit);
    EXPECT_EQ(exit, status) << errors;
    EXPECT_EQ(std::filesystem::exists(folder / "out.poly"), status == 0);
    if (status != 0) {
      EXPECT_THAT(errors, testing::StartsWith(std::string("mesh2poly: cannot read m/") + name + ": "));
      EXPECT_THAT(errors, HasSubstr(reason));
      EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    if (std::string_view(name).ends_with(".ply") || std::string_view(name).ends_with(".stl")) {
      EXPECT_EQ(directReadDifference((folder / "m").string(), std::string("both-") + name, bytes), "");
    }
  }
  // The direct readers take the layouts they are for, other properties and either byte order included.
  for (const std::string file : {"octahedron-cw-binary-big-endian.ply", "tetrahedron-ccw-binary.stl"}) {
    bool taken = false;
    EXPECT_EQ(directReadDifference(folder.string(), file, readFile("tests/data/" + file), &taken), "");
    EXPECT_TRUE(taken) << file;
  }
  std::filesystem::remove_all(folder);
}

// The import's child goes with the tool, however the tool ends; a signal the tool handles itself interrupts
// the import instead.
TEST(ContainedRun, ChildEndsWithTheCaller) {
  const struct {
    int signal;
    bool handled;
  } cases[] = {{SIGINT, false}, {SIGTERM, true}, {SIGKILL, false}};
  for (const auto& [signal, handled] : cases) {
    SCOPED_TRACE(strsignal(signal));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t caller = fork();
    if (caller == 0) {
      if (handled) {
        ::signal(signal, [](int) {});
      }
      const auto tellAndWait = [&fds](PolyMesh&, std::string&) {
        const pid_t self = getpid();
        return write(fds[1], &self, sizeof self) == sizeof self && pause() == 0;
      };
      PolyMesh mesh;
      std::string error;
      runContained(tellAndWait, {0, [](std::uint64_t) { return ImportLimits{64 << 20, 5, 5}; }}, mesh, error);
      _exit(error == "the import was interrupted" ? 0 : 1);
    }
    close(fds[1]);
    pid_t child = 0;
    ASSERT_EQ(read(fds[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    close(fds[0]);
    kill(caller, signal);
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    EXPECT_EQ(status, handled ? 0 : signal) << status;
    // Dead, though perhaps a zombie until its new parent reaps it.
    std::string stat = "running";
    for (int tries = 0; tries < 3000 && !stat.empty() && stat.find(") Z") == std::string::npos; ++tries) {
      usleep(10000);
      stat = readFile("/proc/" + std::to_string(child) + "/stat");
    }
    EXPECT_TRUE(stat.empty() || stat.find(") Z") != std::string::npos) << stat;
  }
}

}  // namespace

// The real mesh2poly program on small mesh files: what it writes for each option, checked against the files
// in tests/data/mesh2poly/ (same triangles with every shared corner joined, flipped only when the file's
// winding is the other, turned but never mirrored, normals pointing out), and how it fails.
#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>

#include "mesh_ops.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// Runs mesh2poly and returns what it wrote to standard error (and output, which stays empty).
std::string runMesh2poly(const std::string& arguments, int& status) {
  return runCommand(std::string(NPRVIEW_MESH2POLY) + " " + arguments + " 2>&1", &status);
}

TEST(Mesh2Poly, WritesTheExpectedModelForEachOption) {
  const std::pair<const char*, const char*> cases[] = {
      {"tetrahedron-ccw.obj", "tetrahedron-ccw.poly"},
      {"--winding ccw tetrahedron-ccw.obj", "tetrahedron-ccw.poly"},
      {"--winding cw tetrahedron-ccw.obj", "tetrahedron-ccw--winding-cw.poly"},
      {"--up z tetrahedron-ccw.obj", "tetrahedron-ccw--up-z.poly"},
      {"--up x tetrahedron-ccw.obj", "tetrahedron-ccw--up-x.poly"},
      {"--turn 90 tetrahedron-ccw.obj", "tetrahedron-ccw--turn-90.poly"},
      {"octahedron-cw.ply", "octahedron-cw.poly"},
      {"--winding ccw octahedron-cw.ply", "octahedron-cw--winding-ccw.poly"},
      // Corners are joined across the separate objects of one file.
      {"two-objects-sharing-an-edge.obj", "two-objects-sharing-an-edge.poly"},
      // Quads are split; the 2 x 1 x 0.5 box is centred and its longest side scaled to 1.
      {"--unit --winding ccw box-quads.obj", "box-quads--unit--winding-ccw.poly"},
      // Every number reads back as the float it was, however small; with --decimals as the data files are.
      {"tetrahedron-1e-7-across.obj", "tetrahedron-1e-7-across.poly"},
      {"--decimals 6 tetrahedron-ccw.obj", "tetrahedron-ccw--decimals-6.poly"},
  };
  const fs::path out = tempPath("mesh2poly.poly");
  for (const auto& [arguments, expected] : cases) {
    std::string options = arguments;
    options.insert(options.rfind(' ') + 1, "tests/data/");
    int status = -1;
    EXPECT_EQ(runMesh2poly(options + " " + out.string(), status), "") << arguments;
    EXPECT_EQ(status, 0) << arguments;
    EXPECT_EQ(readFile(out), readFile(fs::path("tests/data/mesh2poly") / expected)) << arguments;
  }
  fs::remove(out);
}

// A flat mesh has no inside: its winding is kept as given, and its normals follow the right-hand rule.
TEST(MeshTools, FlatMeshHasNoWindingAndIsLeftAsGiven) {
  PolyMesh mesh;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}, {0, 2, 3}};
  const auto faces = mesh.faces;
  EXPECT_FALSE(orientFaces(mesh, Winding::Clockwise));
  EXPECT_EQ(mesh.faces, faces);
  computeNormals(mesh);
  EXPECT_EQ(mesh.normals, (std::vector<std::array<float, 3>>(4, {0, 0, 1})));
}


// A soup with far more distinct corners than its size suggests makes the join's table grow several times; a
// position seen before any growth must still be found after it.
TEST(MeshTools, JoiningASoupFindsEveryPositionAfterItsTableGrows) {
  constexpr int kTriangles = 2000;
  PolyMesh mesh;
  for (int copy = 0; copy < 2; ++copy) {
    for (int t = 0; t < 3 * kTriangles; t += 3) {
      const auto x = static_cast<float>(t);
      mesh.positions.insert(mesh.positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
      mesh.faces.push_back({static_cast<int>(mesh.positions.size()) - 3,
                            static_cast<int>(mesh.positions.size()) - 2,
                            static_cast<int>(mesh.positions.size()) - 1});
    }
  }
  joinVertices(mesh);
  ASSERT_EQ(mesh.positions.size(), 3u * kTriangles);
  EXPECT_TRUE(std::equal(mesh.faces.begin(), mesh.faces.begin() + kTriangles, mesh.faces.begin() + kTriangles));
}
TEST(Mesh2Poly, FailsCleanlyOnUnreadableInputAndBadArguments) {
  const fs::path out = tempPath("mesh2poly-failed.poly");
  for (bool outputExists : {false, true}) {
    for (const char* input : {"tests/data/no-such-file.obj", "tests/data/empty.stl",
                              "tests/data/truncated.ply", "tests/data/vertices-without-faces.obj"}) {
      SCOPED_TRACE(input);
      fs::remove(out);
      if (outputExists) {
        std::ofstream(out) << "keep";
      }
      int status = 0;
      const std::string errors = runMesh2poly(std::string("--unit ") + input + " " + out.string(), status);
      EXPECT_NE(status, 0);
      EXPECT_TRUE(errors.starts_with(std::string("mesh2poly: cannot read ") + input + ": ")) << errors;
      EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
      for (const auto& entry : fs::directory_iterator(out.parent_path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("." + out.filename().string()));
      }
      EXPECT_EQ(fs::exists(out), outputExists);
      std::string kept;
      std::ifstream(out) >> kept;
      EXPECT_EQ(kept, outputExists ? "keep" : "");
    }
  }
  fs::remove(out);
  const std::string ends = " tests/data/tetrahedron-ccw.obj " + out.string();
  // A bad argument is named in one line; no arguments at all get the usage. The input is never the output.
  const fs::path input = tempPath("mesh2poly-input.obj");
  fs::copy_file("tests/data/tetrahedron-ccw.obj", input, fs::copy_options::overwrite_existing);
  const std::pair<std::string, std::string> badArguments[] = {
      {"", "usage: mesh2poly [--unit]"},
      {"--winding left" + ends, "mesh2poly: --winding: left is not one of cw|ccw"},
      {"--up w" + ends, "mesh2poly: --up: w is not one of x|y|z"},
      {"--turn 1e999" + ends, "mesh2poly: --turn: 1e999 is not"},
      {"--scale 2" + ends, "mesh2poly: The following arguments were not expected:"},
      {ends + " extra", "mesh2poly: The following argument was not expected: extra"},
      {input.string() + " " + input.string(), "mesh2poly: " + input.string() + " is the input file"},
  };
  for (const auto& [arguments, line] : badArguments) {
    int status = 0;
    const std::string errors = runMesh2poly(arguments, status);
    EXPECT_TRUE(errors.starts_with(line)) << arguments << ": " << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_EQ(status, 2) << arguments;
    EXPECT_FALSE(fs::exists(out)) << arguments;
  }
  EXPECT_EQ(fs::file_size(input), fs::file_size("tests/data/tetrahedron-ccw.obj"));
  fs::remove(input);
  int status = -1;
  EXPECT_TRUE(runMesh2poly("--help", status).starts_with("usage: mesh2poly"));
  EXPECT_EQ(status, 0);
}

// Every data tool takes its arguments as the programs do: --help on standard output, and a bad argument (an
// output path that looks like an option among them) refused in one line with status 2, nothing written.
TEST(DataTools, TakeOptionsAsTheProgramsDo) {
  const fs::path folder = tempPath("tool-arguments");
  fs::create_directories(folder);
  for (const char* tool : {"make_sphere", "make_icosahedron", "make_teapot", "make_penny", "make_hatching",
                           "make_bumpy_sphere", "make_sphere_ply"}) {
    SCOPED_TRACE(tool);
    const std::string run = "cd " + folder.string() + " && " NPRVIEW_TOOLS_DIR "/" + tool;
    int help = -1, bad = -1;
    const std::string usage = runCommand(run + " --help 2>/dev/null", &help);
    const std::string errors = runCommand(run + " -x.poly 2>&1 >/dev/null", &bad);
    EXPECT_TRUE(help == 0 && usage.starts_with("Writes") && bad == 2 &&
                errors.starts_with(tool + std::string(": ")) &&
                std::count(errors.begin(), errors.end(), '\n') == 1)
        << usage << errors;
    EXPECT_TRUE(fs::is_empty(folder));
  }
  // After "--" a name that starts with "-" is the output.
  runCommand("cd " + folder.string() + " && " NPRVIEW_TOOLS_DIR "/make_icosahedron -- -x.poly");
  EXPECT_TRUE(fs::is_regular_file(folder / "-x.poly"));
  fs::remove_all(folder);
}

}  // namespace

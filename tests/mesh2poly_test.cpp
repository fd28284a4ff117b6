// The real mesh2poly program on small mesh files: what it writes, what its options do, and how it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "temp_path.h"
#include "model.h"
#include "viewer_process.h"

namespace {

namespace fs = std::filesystem;

using Vec = std::array<float, 3>;
using Triangle = std::array<Vec, 3>;

struct ToolRun {
  int status;
  std::string errors;
};

// Runs mesh2poly with the arguments (already shell-quoted where needed) and returns its status and
// standard error.
ToolRun runMesh2poly(const std::string& arguments) {
  const fs::path errors = tempPath("mesh2poly-errors.txt");
  ToolRun run{};
  runCommand(std::string(NPRVIEW_MESH2POLY) + " " + arguments + " 2>" + errors.string(), &run.status);
  std::ifstream in(errors);
  std::stringstream text;
  text << in.rdbuf();
  run.errors = text.str();
  fs::remove(errors);
  return run;
}

std::string testData(const std::string& name) {
  return "tests/data/" + name;
}

fs::path outputPath(const std::string& name) {
  return tempPath("mesh2poly-" + name);
}

struct Converted {
  Model* model = nullptr;
  ToolRun run{};
  Converted(const std::string& options, const std::string& input) {
    const fs::path out = outputPath("converted.poly");
    fs::remove(out);
    run = runMesh2poly(options + " " + testData(input) + " " + out.string());
    if (run.status == 0) {
      model = loadModel(out.c_str());
    }
    fs::remove(out);
  }
  ~Converted() { freeModel(model); }
  Converted(const Converted&) = delete;
  Converted& operator=(const Converted&) = delete;

  Vec position(int i) const { return {model->vertices[i].x, model->vertices[i].y, model->vertices[i].z}; }
  std::vector<Triangle> triangles() const {
    std::vector<Triangle> result;
    for (int i = 0; i < model->faceCount; ++i) {
      const int* f = model->faces[i].vertexIndex;
      result.push_back({position(f[0]), position(f[1]), position(f[2])});
    }
    return result;
  }
};

// Triangles as a sorted list, each turned to start at its smallest corner: equal lists hold the same
// triangles with the same windings, whatever order the faces and corners came in.
std::vector<Triangle> canonical(std::vector<Triangle> triangles) {
  for (Triangle& t : triangles) {
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
  }
  std::sort(triangles.begin(), triangles.end());
  return triangles;
}

std::vector<Triangle> reversed(std::vector<Triangle> triangles) {
  for (Triangle& t : triangles) {
    std::swap(t[1], t[2]);
  }
  return triangles;
}

std::vector<Triangle> mapped(std::vector<Triangle> triangles, const std::function<Vec(const Vec&)>& map) {
  for (Triangle& t : triangles) {
    for (Vec& corner : t) {
      corner = map(corner);
    }
  }
  return triangles;
}

// The faces of tests/data/tetrahedron-ccw.obj and tests/data/octahedron-cw.ply, as written there.
const std::vector<Triangle> kTetrahedron{{{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}},
                                         {{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}},
                                         {{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
                                         {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}};

std::vector<Triangle> octahedronClockwise() {
  const Vec corners[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  const int faces[8][3] = {{0, 4, 2}, {2, 4, 1}, {1, 4, 3}, {3, 4, 0},
                           {0, 2, 5}, {2, 1, 5}, {1, 3, 5}, {3, 0, 5}};
  std::vector<Triangle> triangles;
  for (const auto& f : faces) {
    triangles.push_back({corners[f[0]], corners[f[1]], corners[f[2]]});
  }
  return triangles;
}

struct RoundTrip {
  const char* file;
  const char* options;
  int vertexCount;
  std::vector<Triangle> expected;
};

// Without options, or with the winding the file already has, the same triangles come back, every corner
// shared by several faces joined into one vertex, even across separate objects of one file.
TEST(Mesh2Poly, RoundTripsTrianglesAndJoinsSharedCorners) {
  const std::vector<Triangle> twoObjects{{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
                                         {{{1, 0, 0}, {1, 1, 0}, {0, 1, 0}}}};
  const RoundTrip cases[] = {
      {"tetrahedron-ccw.obj", "", 4, kTetrahedron},
      {"tetrahedron-ccw.obj", "--winding ccw", 4, kTetrahedron},
      {"octahedron-cw.ply", "", 6, octahedronClockwise()},
      {"octahedron-cw.ply", "--winding cw", 6, octahedronClockwise()},
      {"two-objects-sharing-an-edge.obj", "", 4, twoObjects},
  };
  for (const RoundTrip& c : cases) {
    Converted converted(c.options, c.file);
    ASSERT_NE(converted.model, nullptr) << c.file << ": " << converted.run.errors;
    EXPECT_EQ(converted.run.errors, "") << c.file;
    EXPECT_EQ(converted.model->vertexCount, c.vertexCount) << c.file;
    EXPECT_EQ(canonical(converted.triangles()), canonical(c.expected)) << c.file << " " << c.options;
  }
}

TEST(Mesh2Poly, FlipsWindingOnRequest) {
  const RoundTrip cases[] = {
      {"tetrahedron-ccw.obj", "--winding cw", 4, reversed(kTetrahedron)},
      {"octahedron-cw.ply", "--winding ccw", 6, reversed(octahedronClockwise())},
  };
  for (const RoundTrip& c : cases) {
    Converted converted(c.options, c.file);
    ASSERT_NE(converted.model, nullptr) << c.file << ": " << converted.run.errors;
    EXPECT_EQ(canonical(converted.triangles()), canonical(c.expected)) << c.file << " " << c.options;
  }
}

// A quarter turn, never a mirror image: the named axis ends up along +y and the winding is unchanged.
TEST(Mesh2Poly, UpTurnsTheNamedAxisToY) {
  const RoundTrip cases[] = {
      {"tetrahedron-ccw.obj", "--up y", 4, kTetrahedron},
      {"tetrahedron-ccw.obj", "--up z", 4,
       mapped(kTetrahedron,
              [](const Vec& p) {
                return Vec{p[0], p[2], -p[1]};
              })},
      {"tetrahedron-ccw.obj", "--up x", 4,
       mapped(kTetrahedron,
              [](const Vec& p) {
                return Vec{-p[1], p[0], p[2]};
              })},
  };
  for (const RoundTrip& c : cases) {
    Converted converted(c.options, c.file);
    ASSERT_NE(converted.model, nullptr) << c.options << ": " << converted.run.errors;
    EXPECT_EQ(canonical(converted.triangles()), canonical(c.expected)) << c.options;
  }
}

// Quads are split into triangles, and --unit centres the 2 x 1 x 0.5 box and scales its longest side to 1.
TEST(Mesh2Poly, TriangulatesAndFitsTheUnitBox) {
  Converted converted("--unit --winding ccw", "box-quads.obj");
  ASSERT_NE(converted.model, nullptr) << converted.run.errors;
  EXPECT_EQ(converted.model->vertexCount, 8);
  EXPECT_EQ(converted.model->faceCount, 12);
  const Vec half{0.5f, 0.25f, 0.125f};
  double volume = 0;
  for (const Triangle& t : converted.triangles()) {
    for (const Vec& p : t) {
      for (size_t axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(std::abs(p[axis]), half[axis]);
      }
    }
    const Vec &a = t[0], &b = t[1], &c = t[2];
    volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
               a[2] * (b[0] * c[1] - b[1] * c[0])) /
              6;
  }
  EXPECT_NEAR(volume, 1.0 * 0.5 * 0.25, 1e-6);
}

// Vertex normals point outward whichever way the faces are wound: on the octahedron, along the vertex.
TEST(Mesh2Poly, WritesOutwardNormals) {
  for (const char* options : {"", "--winding ccw"}) {
    Converted converted(options, "octahedron-cw.ply");
    ASSERT_NE(converted.model, nullptr) << converted.run.errors;
    for (int i = 0; i < converted.model->vertexCount; ++i) {
      const ModelVertex& v = converted.model->vertices[i];
      EXPECT_NEAR(v.extra[0], v.x, 1e-6) << options;
      EXPECT_NEAR(v.extra[1], v.y, 1e-6) << options;
      EXPECT_NEAR(v.extra[2], v.z, 1e-6) << options;
    }
  }
}

// A file that cannot be read gets one line on standard error and a non-zero status, and leaves no output
// behind: no new file, no temporary file, an existing file untouched.
TEST(Mesh2Poly, FailsCleanlyOnUnreadableInput) {
  const char* const inputs[] = {"tests/data/no-such-file.obj", "tests/data/empty.stl",
                                "tests/data/truncated.ply", "tests/data/vertices-without-faces.obj"};
  const fs::path out = outputPath("failed.poly");
  for (bool outputExists : {false, true}) {
    for (const char* input : inputs) {
      fs::remove(out);
      if (outputExists) {
        std::ofstream(out) << "keep";
      }
      const ToolRun run = runMesh2poly(std::string("--unit ") + input + " " + out.string());
      EXPECT_NE(run.status, 0) << input;
      EXPECT_TRUE(run.errors.starts_with(std::string("mesh2poly: cannot read ") + input + ": "))
          << run.errors;
      EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
      EXPECT_FALSE(fs::exists(out.string() + ".tmp")) << input;
      if (outputExists) {
        std::ifstream in(out);
        std::string kept;
        in >> kept;
        EXPECT_EQ(kept, "keep") << input;
      } else {
        EXPECT_FALSE(fs::exists(out)) << input;
      }
    }
  }
  fs::remove(out);
}

TEST(Mesh2Poly, RefusesBadArgumentsWithUsage) {
  const fs::path out = outputPath("usage.poly");
  const std::string input = testData("tetrahedron-ccw.obj");
  const std::string cases[] = {"",
                               input,
                               "--winding left " + input + " " + out.string(),
                               "--up w " + input + " " + out.string(),
                               "--turn 9x " + input + " " + out.string(),
                               "--scale 2 " + input + " " + out.string(),
                               input + " " + out.string() + " extra"};
  for (const std::string& arguments : cases) {
    const ToolRun run = runMesh2poly(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.errors.starts_with("usage: mesh2poly")) << arguments;
    EXPECT_FALSE(fs::exists(out)) << arguments;
  }
}

}  // namespace

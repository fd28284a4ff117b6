// The real mesh2poly program on small mesh files: what it writes, what its options do, and how it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

using Vec = std::array<float, 3>;
using Triangle = std::array<Vec, 3>;

// Runs mesh2poly and returns what it wrote to standard error (and output, which stays empty).
std::string runMesh2poly(const std::string& arguments, int& status) {
  return runCommand(std::string(NPRVIEW_MESH2POLY) + " " + arguments + " 2>&1", &status);
}

struct Converted {
  std::string errors;
  ModelPtr model;
  std::vector<Triangle> triangles;
};

Converted convert(const std::string& options, const std::string& input) {
  const fs::path out = tempPath("mesh2poly-converted.poly");
  Converted converted;
  int status = -1;
  converted.errors = runMesh2poly(options + " tests/data/" + input + " " + out.string(), status);
  if (status == 0) {
    converted.model.reset(loadModel(out.c_str()));
  }
  fs::remove(out);
  for (int i = 0; converted.model && i < converted.model->faceCount; ++i) {
    Triangle t;
    for (int k = 0; k < 3; ++k) {
      const ModelVertex& v = converted.model->vertices[converted.model->faces[i].vertexIndex[k]];
      t[static_cast<size_t>(k)] = {v.x, v.y, v.z};
    }
    converted.triangles.push_back(t);
  }
  return converted;
}

// Triangles as a sorted list, each turned to start at its smallest corner, optionally mapped and flipped
// first: equal lists hold the same triangles with the same windings, whatever order they came in.
std::vector<Triangle> canonical(std::vector<Triangle> triangles, Vec (*map)(const Vec&) = nullptr,
                                bool flip = false) {
  for (Triangle& t : triangles) {
    for (Vec& corner : t) {
      corner = map ? map(corner) : corner;
    }
    if (flip) {
      std::swap(t[1], t[2]);
    }
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
  }
  std::sort(triangles.begin(), triangles.end());
  return triangles;
}

// The faces of tests/data/tetrahedron-ccw.obj and tests/data/octahedron-cw.ply, as written there.
const std::vector<Triangle> kTetrahedron{{{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}},
                                         {{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}},
                                         {{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
                                         {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}};
const std::vector<Triangle> kOctahedron = [] {
  const Vec corners[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  const int faces[8][3] = {{0, 4, 2}, {2, 4, 1}, {1, 4, 3}, {3, 4, 0},
                           {0, 2, 5}, {2, 1, 5}, {1, 3, 5}, {3, 0, 5}};
  std::vector<Triangle> triangles;
  for (const auto& f : faces) {
    triangles.push_back({corners[f[0]], corners[f[1]], corners[f[2]]});
  }
  return triangles;
}();

// Quarter turns that bring z, or x, to +y.
Vec zUp(const Vec& p) {
  return {p[0], p[2], -p[1]};
}
Vec xUp(const Vec& p) {
  return {-p[1], p[0], p[2]};
}

// The same triangles come back, every corner shared by several faces joined into one vertex (even across
// separate objects of one file); --winding flips them only when the file has the other winding, and --up
// turns them a quarter turn, never a mirror image, so that the winding is kept.
TEST(Mesh2Poly, RoundTripsFlipsAndTurnsTriangles) {
  struct Case {
    const char* file;
    const char* options;
    int vertexCount;
    std::vector<Triangle> expected;
  };
  const Case cases[] = {
      {"tetrahedron-ccw.obj", "", 4, canonical(kTetrahedron)},
      {"octahedron-cw.ply", "", 6, canonical(kOctahedron)},
      {"tetrahedron-ccw.obj", "--winding ccw", 4, canonical(kTetrahedron)},
      {"tetrahedron-ccw.obj", "--winding cw", 4, canonical(kTetrahedron, nullptr, true)},
      {"octahedron-cw.ply", "--winding ccw", 6, canonical(kOctahedron, nullptr, true)},
      {"two-objects-sharing-an-edge.obj", "", 4,
       canonical({{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {{{1, 0, 0}, {1, 1, 0}, {0, 1, 0}}}})},
      {"tetrahedron-ccw.obj", "--up z", 4, canonical(kTetrahedron, zUp)},
      {"tetrahedron-ccw.obj", "--up x", 4, canonical(kTetrahedron, xUp)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.options);
    const Converted converted = convert(c.options, c.file);
    ASSERT_NE(converted.model, nullptr) << converted.errors;
    EXPECT_EQ(converted.errors, "");
    EXPECT_EQ(converted.model->vertexCount, c.vertexCount);
    EXPECT_EQ(canonical(converted.triangles), c.expected);
    // Vertex normals point outward whichever way the faces are wound: on the octahedron, along the vertex.
    for (int i = 0; c.vertexCount == 6 && i < converted.model->vertexCount; ++i) {
      const ModelVertex& v = converted.model->vertices[i];
      EXPECT_LT(std::abs(v.extra[0] - v.x) + std::abs(v.extra[1] - v.y) + std::abs(v.extra[2] - v.z), 1e-6)
          << "vertex " << i;
    }
  }
}

// Quads are split into triangles, and --unit centres the 2 x 1 x 0.5 box and scales its longest side to 1.
TEST(Mesh2Poly, TriangulatesAndFitsTheUnitBox) {
  const Converted converted = convert("--unit --winding ccw", "box-quads.obj");
  ASSERT_NE(converted.model, nullptr) << converted.errors;
  EXPECT_EQ(converted.model->vertexCount, 8);
  EXPECT_EQ(converted.model->faceCount, 12);
  double volume = 0;
  for (const auto& [a, b, c] : converted.triangles) {
    for (const Vec& p : {a, b, c}) {
      EXPECT_TRUE(std::abs(p[0]) == 0.5f && std::abs(p[1]) == 0.25f && std::abs(p[2]) == 0.125f);
    }
    volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
               a[2] * (b[0] * c[1] - b[1] * c[0])) /
              6;
  }
  EXPECT_NEAR(volume, 1.0 * 0.5 * 0.25, 1e-6);
}

// A file that cannot be read gets one line on standard error and a non-zero status, and leaves no output
// behind: no new file, no temporary file, an existing file untouched. Bad arguments get the usage.
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
      EXPECT_FALSE(fs::exists(out.string() + ".tmp"));
      EXPECT_EQ(fs::exists(out), outputExists);
      std::string kept;
      std::ifstream(out) >> kept;
      EXPECT_EQ(kept, outputExists ? "keep" : "");
    }
  }
  fs::remove(out);
  const std::string ends = " tests/data/tetrahedron-ccw.obj " + out.string();
  for (const std::string& arguments :
       {std::string(""), "--winding left" + ends, "--up w" + ends, "--scale 2" + ends, ends + " extra"}) {
    int status = 0;
    EXPECT_TRUE(runMesh2poly(arguments, status).starts_with("usage: mesh2poly")) << arguments;
    EXPECT_EQ(status, 2) << arguments;
    EXPECT_FALSE(fs::exists(out)) << arguments;
  }
}

}  // namespace

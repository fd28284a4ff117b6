// Which edges of a mesh count as creases, borders and junctions, on small meshes built for each rule.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "crease_edges.h"

namespace {

struct ModelDeleter {
  void operator()(Model* m) const { freeModel(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;
using Corner = std::array<float, 3>;

// A unit cube of twelve triangles, each wound counter-clockwise from outside unless flipFirst. With
// splitCorners every triangle has its own three vertex records, half of the zeros written as -0.
std::string cubePoly(bool splitCorners, bool flipFirst) {
  const int quads[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                           {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
  auto corner = [](int i) { return Corner{float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1)}; };
  std::vector<std::array<int, 3>> triangles;
  for (const auto& q : quads) {
    for (std::array<int, 3> t : {std::array{q[0], q[1], q[2]}, std::array{q[0], q[2], q[3]}}) {
      const Corner a = corner(t[0]), b = corner(t[1]), c = corner(t[2]);
      const Corner u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
      const Corner n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
      if (n[0] * (a[0] - 0.5f) + n[1] * (a[1] - 0.5f) + n[2] * (a[2] - 0.5f) < 0) {
        std::swap(t[1], t[2]);
      }
      triangles.push_back(t);
    }
  }
  if (flipFirst) {
    std::swap(triangles[0][1], triangles[0][2]);
  }
  std::string vertices, faces;
  int records = 0;
  auto vertex = [&](int i) {
    vertices += " v";
    for (float x : corner(i)) {
      vertices += x != 0 ? " 1" : splitCorners && records % 2 ? " -0" : " 0";
    }
    vertices += " 0 0 0";
    return ++records;
  };
  for (int i = 0; i < 8 && !splitCorners; ++i) {
    vertex(i);
  }
  for (const auto& t : triangles) {
    faces += " f";
    for (int i : t) {
      faces += " " + std::to_string(splitCorners ? vertex(i) : i + 1);
    }
  }
  return "vertices: " + std::to_string(records) + " faces: 12\n" + vertices + faces;
}

// The unit square in z = 0 as two triangles, and what is added to it.
const std::string kSquare = "v 0 0 0 0 0 0 v 1 0 0 0 0 0 v 1 1 0 0 0 0 v 0 1 0 0 0 0 f 1 2 3 f 1 3 4";

// Every drawn edge once, as its two end positions in order.
std::set<std::pair<Corner, Corner>> drawnEdges(const Model& model, const CreaseEdges& edges) {
  std::set<std::pair<Corner, Corner>> drawn;
  for (int i = 0; i < edges.faceCount; ++i) {
    const int* corner = model.faces[edges.faces[i].face].vertexIndex;
    for (int k = 0; k < 3; ++k) {
      if (edges.faces[i].edgeMask & (1 << k)) {
        const ModelVertex &a = model.vertices[corner[k]], &b = model.vertices[corner[(k + 1) % 3]];
        // + 0.0f makes -0 into +0, as the matching does.
        drawn.insert(std::minmax(Corner{a.x + 0.0f, a.y + 0.0f, a.z + 0.0f},
                                 Corner{b.x + 0.0f, b.y + 0.0f, b.z + 0.0f}));
      }
    }
  }
  return drawn;
}

struct EdgeCase {
  const char* name;
  std::string poly;  // model text, or a path under data/
  float degrees;
  int creases, borders, junctions;
  float edgeLength = 0;    // when not 0, every drawn edge has this length
  bool nanCorner = false;  // the first vertex is moved to (NaN, 0, 0) after loading
};

TEST(CreaseEdges, FindsCreasesBordersAndJunctions) {
  const EdgeCase cases[] = {
      {"cube at 30 degrees: its twelve edges, not the diagonals", cubePoly(false, false), 30, 12, 0, 0, 1},
      {"cube with split corners and -0", cubePoly(true, false), 30, 12, 0, 0, 1},
      {"cube at exactly its 90 degrees", cubePoly(false, false), 90, 12, 0, 0, 1},
      {"cube at 91 degrees", cubePoly(false, false), 91, 0, 0, 0},
      {"cube at 0 degrees: the diagonals too", cubePoly(false, false), 0, 18, 0, 0},
      {"cube with one face wound the other way", cubePoly(false, true), 30, 12, 0, 0, 1},
      {"square: its border, not its diagonal", "vertices: 4 faces: 2 " + kSquare, 30, 0, 4, 0, 1},
      {"square at 0 degrees", "vertices: 4 faces: 2 " + kSquare, 0, 1, 4, 0},
      {"square with faces of no area along its diagonal and its side",
       "vertices: 6 faces: 4 " + kSquare + " v 0.5 0.5 0 0 0 0 v 0 0 0 0 0 0 f 1 3 5 f 1 6 2", 0, 1, 4, 0},
      {"three faces on one edge",
       "vertices: 5 faces: 3 v 0 0 0 0 0 0 v 1 0 0 0 0 0 v 0 1 0 0 0 0 v 0 0 1 0 0 0 v 0 -1 0 0 0 0 "
       "f 1 2 3 f 2 1 4 f 1 2 5",
       30, 0, 6, 1},
      {"triangle near the float range",
       "vertices: 3 faces: 1 v 3e38 0 0 0 0 0 v 0 3e38 0 0 0 0 v -3e38 -3e38 0 0 0 0 f 1 2 3", 30, 0, 3, 0},
      {"triangle with a corner that is not a number",
       "vertices: 3 faces: 1 v 0 0 0 0 0 0 v 1 0 0 0 0 0 v 1 1 0 0 0 0 f 1 2 3", 30, 0, 0, 0, 0, true},
      {"no faces", "vertices: 0 faces: 0", 30, 0, 0, 0},
      {"icosahedron at 30 degrees", "data/icos-unit.poly", 30, 30, 0, 0},
      {"icosahedron at 42 degrees, above its 41.8", "data/icos-unit.poly", 42, 0, 0, 0},
      {"5,120-face sphere at 30 degrees", "data/sphere-unit.poly", 30, 0, 0, 0},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ModelPtr model(c.poly.starts_with("data/") ? loadModel(c.poly.c_str()) : parsePoly(c.poly).model);
    ASSERT_TRUE(model);
    if (c.nanCorner) {
      model->vertices[0].x = std::numeric_limits<float>::quiet_NaN();
    }
    CreaseEdges edges;
    ASSERT_TRUE(findCreaseEdges(*model, c.degrees, edges));
    EXPECT_EQ(edges.creases, c.creases);
    EXPECT_EQ(edges.borders, c.borders);
    EXPECT_EQ(edges.junctions, c.junctions);
    const auto drawn = drawnEdges(*model, edges);
    EXPECT_EQ(drawn.size(), size_t(c.creases + c.borders + c.junctions));
    for (const auto& [a, b] : drawn) {
      if (c.edgeLength != 0) {
        EXPECT_FLOAT_EQ(std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]), c.edgeLength);
      }
    }
    for (int i = 1; i < edges.faceCount; ++i) {
      EXPECT_LT(edges.faces[i - 1].face, edges.faces[i].face);
    }
  }
}

}  // namespace

// The five model files the viewer ships: each loads, keeps the promises the tools make about it, and is
// wound the way the renderer treats its slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <set>
#include <string>

#include "model.h"

namespace {

using Vec = std::array<double, 3>;

struct ShippedModel {
  const char* path;
  bool clockwise;  // slots 3 and 5 (keys) are drawn with front and back swapped
  int minFaces;
  int maxFaces;
  // Vertices where two parts of the surface touch in a single point, so that one normal cannot suit both:
  // the teapot's handle ends on a control point of the body.
  int touchingPoints;
};

void PrintTo(const ShippedModel& model, std::ostream* out) {
  *out << model.path;
}

const ShippedModel kShipped[] = {
    {"data/sphere-unit.poly", false, 5120, 5120, 0}, {"data/icos-unit.poly", false, 20, 20, 0},
    {"data/tpot-unit.poly", true, 2000, 9000, 1},    {"data/penny3-unit.poly", false, 2000, 9000, 0},
    {"data/bunny-unit.poly", true, 2000, 9000, 0},
};

struct Loaded {
  Model* model;
  explicit Loaded(const char* path) : model(loadModel(path)) {}
  ~Loaded() { freeModel(model); }
};

Vec position(const Model& m, int i) {
  return {m.vertices[i].x, m.vertices[i].y, m.vertices[i].z};
}
Vec normal(const Model& m, int i) {
  return {m.vertices[i].extra[0], m.vertices[i].extra[1], m.vertices[i].extra[2]};
}
Vec sub(const Vec& a, const Vec& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Twice the face's area along the normal its winding gives by the right-hand rule.
Vec windingNormal(const Model& m, int face) {
  const int* f = m.faces[face].vertexIndex;
  const Vec a = position(m, f[0]);
  return cross(sub(position(m, f[1]), a), sub(position(m, f[2]), a));
}

class ShippedModelTest : public testing::TestWithParam<ShippedModel> {};

TEST_P(ShippedModelTest, LoadsCentredWithLargestSideOne) {
  Loaded loaded(GetParam().path);
  ASSERT_NE(loaded.model, nullptr);
  const Model& m = *loaded.model;
  EXPECT_GE(m.faceCount, GetParam().minFaces);
  EXPECT_LE(m.faceCount, GetParam().maxFaces);
  Vec low = position(m, 0), high = low;
  for (int i = 0; i < m.vertexCount; ++i) {
    for (size_t axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], position(m, i)[axis]);
      high[axis] = std::max(high[axis], position(m, i)[axis]);
    }
  }
  double largest = 0;
  for (size_t axis = 0; axis < 3; ++axis) {
    EXPECT_NEAR(low[axis] + high[axis], 0.0, 4e-6) << "axis " << axis;
    largest = std::max(largest, high[axis] - low[axis]);
  }
  EXPECT_NEAR(largest, 1.0, 4e-6);
}

TEST_P(ShippedModelTest, HasNoDegenerateFacesAndNoRepeatedVertices) {
  Loaded loaded(GetParam().path);
  ASSERT_NE(loaded.model, nullptr);
  const Model& m = *loaded.model;
  for (int i = 0; i < m.faceCount; ++i) {
    const int* f = m.faces[i].vertexIndex;
    EXPECT_TRUE(f[0] != f[1] && f[1] != f[2] && f[2] != f[0]) << "face " << i;
    EXPECT_GT(std::sqrt(dot(windingNormal(m, i), windingNormal(m, i))), 1e-9) << "face " << i;
  }
  std::set<Vec> positions;
  for (int i = 0; i < m.vertexCount; ++i) {
    EXPECT_TRUE(positions.insert(position(m, i)).second) << "vertex " << i << " repeats an earlier one";
  }
}

// Wound as the slot needs: the signed volume has the slot's sign, and nearly all of the surface has its
// winding normal pointing away from the centre (or towards it, for clockwise), the open teapot included.
TEST_P(ShippedModelTest, IsWoundTheWayItsSlotIsDrawn) {
  Loaded loaded(GetParam().path);
  ASSERT_NE(loaded.model, nullptr);
  const Model& m = *loaded.model;
  const double outward = GetParam().clockwise ? -1 : 1;
  double volume = 0, area = 0, areaFacingOut = 0;
  for (int i = 0; i < m.faceCount; ++i) {
    const int* f = m.faces[i].vertexIndex;
    const Vec a = position(m, f[0]), b = position(m, f[1]), c = position(m, f[2]);
    volume += dot(a, cross(b, c)) / 6;
    const Vec n = windingNormal(m, i);
    const Vec centre{(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3};
    const double faceArea = std::sqrt(dot(n, n)) / 2;
    area += faceArea;
    if (outward * dot(n, centre) > 0) {
      areaFacingOut += faceArea;
    }
  }
  EXPECT_GT(outward * volume, 0.01);
  EXPECT_GT(areaFacingOut / area, 0.85);
}

// The three further numbers of each vertex are its outward normal: unit length, and on the outer side of
// every face the vertex belongs to (but where separate parts touch).
TEST_P(ShippedModelTest, VertexNormalsAreUnitAndOutward) {
  Loaded loaded(GetParam().path);
  ASSERT_NE(loaded.model, nullptr);
  const Model& m = *loaded.model;
  for (int i = 0; i < m.vertexCount; ++i) {
    EXPECT_NEAR(std::sqrt(dot(normal(m, i), normal(m, i))), 1.0, 1e-5) << "vertex " << i;
  }
  const double outward = GetParam().clockwise ? -1 : 1;
  std::set<int> against;
  for (int i = 0; i < m.faceCount; ++i) {
    for (int corner : m.faces[i].vertexIndex) {
      if (outward * dot(windingNormal(m, i), normal(m, corner)) <= 0) {
        against.insert(corner);
      }
    }
  }
  EXPECT_EQ(static_cast<int>(against.size()), GetParam().touchingPoints);
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedModelTest, testing::ValuesIn(kShipped),
                         [](const testing::TestParamInfo<ShippedModel>& info) {
                           std::string name = info.param.path + 5;
                           name = name.substr(0, name.find('-'));
                           return name;
                         });

}  // namespace

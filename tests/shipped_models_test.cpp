// The five model files the viewer ships: each loads, keeps the promises the tools make about it, and is
// wound the way the renderer treats its slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <set>
#include <string>

#include "model.h"
#include "model_catalogue.h"

namespace {

using Vec = std::array<double, 3>;

struct ShippedModel {
  int slot;
  int minFaces;
  int maxFaces;
  // Vertices where two parts of the surface touch in a single point, so that one normal cannot suit both:
  // the teapot's handle ends on a control point of the body.
  int touchingPoints;
};

void PrintTo(const ShippedModel& model, std::ostream* out) {
  *out << kModelPaths[model.slot];
}

const ShippedModel kShipped[] = {
    {0, 5120, 5120, 0}, {1, 20, 20, 0}, {2, 2000, 9000, 1}, {3, 2000, 9000, 0}, {4, 2000, 9000, 0},
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
double dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Twice the face's area along the normal its winding gives by the right-hand rule.
Vec windingNormal(const Model& m, int face) {
  const int* f = m.faces[face].vertexIndex;
  const Vec a = position(m, f[0]), b = position(m, f[1]), c = position(m, f[2]);
  Vec n;
  for (size_t i = 0; i < 3; ++i) {
    const size_t j = (i + 1) % 3, k = (i + 2) % 3;
    n[i] = (b[j] - a[j]) * (c[k] - a[k]) - (b[k] - a[k]) * (c[j] - a[j]);
  }
  return n;
}

class ShippedModelTest : public testing::TestWithParam<ShippedModel> {};

// Centred with its largest side 1, no face without area (a repeated corner among them), no vertex twice.
TEST_P(ShippedModelTest, LoadsWithTheFilesGuaranteesAndTheWindingOfItsSlot) {
  Loaded loaded(kModelPaths[GetParam().slot]);
  ASSERT_NE(loaded.model, nullptr);
  const Model& m = *loaded.model;
  EXPECT_GE(m.faceCount, GetParam().minFaces);
  EXPECT_LE(m.faceCount, GetParam().maxFaces);
  Vec low = position(m, 0), high = low;
  std::set<Vec> positions;
  for (int i = 0; i < m.vertexCount; ++i) {
    EXPECT_TRUE(positions.insert(position(m, i)).second) << "vertex " << i << " repeats an earlier one";
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

  // Wound as the slot needs: the enclosed volume has the slot's sign, and the three further numbers of each
  // vertex are a unit normal on the outer side of every face the vertex belongs to (but where parts touch).
  const double outward = isReversedWinding(GetParam().slot) ? -1 : 1;
  double volume = 0;
  std::set<int> against;
  for (int i = 0; i < m.faceCount; ++i) {
    EXPECT_GT(dot(windingNormal(m, i), windingNormal(m, i)), 1e-18) << "face " << i;
    for (int corner : m.faces[i].vertexIndex) {
      // The face's centre times its area normal, a third at a time.
      volume += dot(position(m, corner), windingNormal(m, i)) / 18;
      if (outward * dot(windingNormal(m, i), normal(m, corner)) <= 0) {
        against.insert(corner);
      }
    }
  }
  EXPECT_GT(outward * volume, 0.01);
  EXPECT_EQ(static_cast<int>(against.size()), GetParam().touchingPoints);
  for (int i = 0; i < m.vertexCount; ++i) {
    EXPECT_NEAR(dot(normal(m, i), normal(m, i)), 1.0, 2e-5) << "vertex " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedModelTest, testing::ValuesIn(kShipped),
                         [](const testing::TestParamInfo<ShippedModel>& info) {
                           std::string name = kModelPaths[info.param.slot] + 5;
                           name = name.substr(0, name.find('-'));
                           return name;
                         });

}  // namespace

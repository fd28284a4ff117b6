// The five model files the viewer ships: each keeps the promises the tools make about it, and is wound the
// way the viewer treats its slot.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "model_catalogue.h"
#include "support.h"

namespace {

using Vec = std::array<double, 3>;

double dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Centred with its largest side 1, no face without area, no vertex twice, the enclosed volume of the sign
// the slot's winding gives, and the three further numbers of each vertex a unit normal on the outer side of
// its faces (but where two parts of the surface touch in one point: the teapot's handle ends on the body).
TEST(ShippedModels, KeepTheToolsPromisesAndTheWindingOfTheirSlot) {
  for (int slot = 0; slot < kModelSlots; ++slot) {
    SCOPED_TRACE(kModelPaths[slot]);
    const ModelPtr model(loadModel(kModelPaths[slot]));
    ASSERT_NE(model, nullptr);
    const Model& m = *model;
    const auto position = [&m](int i) { return Vec{m.vertices[i].x, m.vertices[i].y, m.vertices[i].z}; };
    const auto normal = [&m](int i) {
      return Vec{m.vertices[i].extra[0], m.vertices[i].extra[1], m.vertices[i].extra[2]};
    };
    Vec low = position(0), high = low;
    std::set<Vec> positions;
    for (int i = 0; i < m.vertexCount; ++i) {
      EXPECT_TRUE(positions.insert(position(i)).second) << "vertex " << i << " repeats an earlier one";
      EXPECT_NEAR(dot(normal(i), normal(i)), 1.0, 2e-5) << "vertex " << i;
      for (size_t axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], position(i)[axis]);
        high[axis] = std::max(high[axis], position(i)[axis]);
      }
    }
    EXPECT_NEAR(std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]}), 1.0, 4e-6);
    for (size_t axis = 0; axis < 3; ++axis) {
      EXPECT_NEAR(low[axis] + high[axis], 0.0, 4e-6) << "axis " << axis;
    }
    const double outward = isReversedWinding(slot) ? -1 : 1;
    double volume = 0;
    std::set<int> against;
    for (int i = 0; i < m.faceCount; ++i) {
      const int* f = m.faces[i].vertexIndex;
      const Vec a = position(f[0]), b = position(f[1]), c = position(f[2]);
      // Twice the face's area along the normal its winding gives by the right-hand rule.
      const Vec n{(b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1]),
                  (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]),
                  (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])};
      EXPECT_GT(dot(n, n), 1e-18) << "face " << i;
      volume += dot(a, n) / 6;
      for (int corner : m.faces[i].vertexIndex) {
        if (outward * dot(n, normal(corner)) <= 0) {
          against.insert(corner);
        }
      }
    }
    EXPECT_GT(outward * volume, 0.01);
    EXPECT_EQ(against.size(), slot == 2 ? 1u : 0u);
  }
}

}  // namespace

// The asset tools' mesh maths where the shipped models (remade byte for byte by data_regeneration_test) and
// mesh2poly's files do not reach: a flat mesh.
#include <gtest/gtest.h>

#include "mesh_ops.h"

namespace {

// The unit square in the z = 0 plane, two triangles wound counter-clockwise about +z.
PolyMesh flatSquare() {
  PolyMesh mesh;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}, {0, 2, 3}};
  return mesh;
}

TEST(MeshTools, FlatMeshHasNoWindingAndIsLeftAsGiven) {
  PolyMesh mesh = flatSquare();
  EXPECT_FALSE(windingOf(mesh).has_value());
  EXPECT_FALSE(orientFaces(mesh, Winding::Clockwise));
  EXPECT_EQ(mesh.faces, flatSquare().faces);
  computeNormals(mesh);
  for (const auto& n : mesh.normals) {
    EXPECT_EQ(n, (std::array<float, 3>{0, 0, 1}));
  }
}

// An open box (no lid) still tells inside from outside, and its normals point out of it either way.
}  // namespace

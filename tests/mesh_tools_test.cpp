// The asset tools' mesh maths where the shipped models and mesh2poly's files do not reach: flat and open
// meshes, and Bezier patch sets.
#include <gtest/gtest.h>

#include <string>

#include "bezier_patches.h"
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
TEST(MeshTools, OpenBoxIsJudgedAndOriented) {
  PolyMesh box;
  box.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  // Bottom and four sides, counter-clockwise seen from outside; the top (z = 1) is open.
  box.faces = {{0, 2, 1}, {0, 3, 2}, {0, 1, 5}, {0, 5, 4}, {1, 2, 6},
               {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
  EXPECT_EQ(windingOf(box), Winding::CounterClockwise);
  ASSERT_TRUE(orientFaces(box, Winding::Clockwise));
  EXPECT_EQ(windingOf(box), Winding::Clockwise);
  computeNormals(box);
  // The bottom corner at the origin: its normal leans out of the box on every axis.
  for (float component : box.normals[0]) {
    EXPECT_LT(component, 0);
  }
}

TEST(MeshTools, JoinDropsCollapsedFacesAndUnusedVertices) {
  PolyMesh mesh;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0f, 0, 0}, {5, 5, 5}, {1, 0, 0}};
  mesh.faces = {{0, 1, 2}, {3, 5, 2}, {0, 3, 1}};
  joinVertices(mesh);
  EXPECT_EQ(mesh.positions.size(), 3u);
  EXPECT_EQ(mesh.faces, (std::vector<std::array<int, 3>>{{0, 1, 2}, {0, 1, 2}}));
}

TEST(BezierPatches, RefusesMalformedText) {
  const std::string patch = " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
  const std::string cases[] = {
      "",
      "patches 1" + patch,
      "patches 1" + patch + " points 0",
      "patches 1" + patch + " points 1 0 0",
      "patches 1" + patch + " points 1 0 0 0 7",
      "patches 2" + patch + " points 1 0 0 0",
      "patches 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 points 1 0 0 0",
      "patches 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 -1 points 1 0 0 0",
      "patches 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 x points 1 0 0 0",
      "patches 1" + patch + " points 1 0 0 1e999",
  };
  for (const std::string& text : cases) {
    EXPECT_FALSE(parseBezierPatches(text).has_value()) << '"' << text << '"';
  }
  EXPECT_TRUE(parseBezierPatches("# comment\npatches 1\n" + patch + "\npoints 1\n0 0 0\n").has_value());
}

// A flat patch over the unit square with u along x and v along y: a full grid, wound about +z.
TEST(BezierPatches, TessellatesAGridWoundAboutTheSurfaceNormal) {
  BezierPatchSet set;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      set.points.push_back({row / 3.0, column / 3.0, 0});
    }
  }
  set.patches.push_back({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  PolyMesh mesh = tessellatePatches(set, 4);
  EXPECT_EQ(mesh.positions.size(), 25u);
  EXPECT_EQ(mesh.faces.size(), 32u);
  EXPECT_EQ(mesh.positions[24], (std::array<float, 3>{1, 1, 0}));
  computeNormals(mesh);
  for (const auto& n : mesh.normals) {
    EXPECT_EQ(n, (std::array<float, 3>{0, 0, 1}));
  }

  // Collapse the first row into one point, as at the teapot's lid top: one triangle of each cell next to
  // the point disappears on joining, the rest stay whole.
  for (int column = 0; column < 4; ++column) {
    set.points[static_cast<size_t>(column)] = {0, 0.5, 0.2};
  }
  mesh = tessellatePatches(set, 4);
  joinVertices(mesh);
  EXPECT_EQ(mesh.positions.size(), 21u);
  EXPECT_EQ(mesh.faces.size(), 28u);
}

}  // namespace

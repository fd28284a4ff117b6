// Which edges of a mesh count as creases, borders and junctions, on small meshes made for each rule.
#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "crease_edges.h"

namespace {

TEST(CreaseEdges, FindsCreasesBordersAndJunctions) {
  struct Case {
    const char* model;  // under tests/models/ unless under data/
    float degrees;
    int creases, borders, junctions, faces;  // faces: how many faces have an edge to draw
  };
  const Case cases[] = {
      {"cube", 30, 12, 0, 0, 12},  // its twelve edges, not the diagonals
      {"cube", 90, 12, 0, 0, 12},  // exactly its angle
      {"cube", 91, 0, 0, 0, 0},
      {"cube", 0, 18, 0, 0, 12},  // every edge
      {"cube-split-corners", 30, 12, 0, 0, 12},
      {"cube-one-face-flipped", 30, 12, 0, 0, 12},  // measured as if wound alike
      {"open-square", 30, 0, 8, 0, 6},
      {"open-square-split-signed-zeros", 30, 0, 8, 0, 6},  // -0 meets +0
      {"square-with-flat-faces", 0, 1, 4, 0, 2},           // faces of no area belong to no edge
      {"three-faces-on-one-edge", 30, 0, 6, 1, 3},
      {"triangle-near-float-range", 30, 0, 3, 0, 1},
      {"data/icos-unit.poly", 30, 30, 0, 0, 20},
      {"data/icos-unit.poly", 42, 0, 0, 0, 0},  // its faces differ by 41.8 degrees
      {"data/sphere-unit.poly", 30, 0, 0, 0, 0},
      {"data/penny3-unit.poly", 0, 9000, 0, 0, 6000},  // every edge, also between faces in one plane
  };
  for (const Case& c : cases) {
    const std::string path = c.model[0] == 'd' ? c.model : "tests/models/" + std::string(c.model) + ".poly";
    SCOPED_TRACE(path + " at " + std::to_string(c.degrees));
    Model* model = loadModel(path.c_str());
    ASSERT_TRUE(model);
    CreaseEdges edges;
    ASSERT_TRUE(findCreaseEdges(*model, c.degrees, edges));
    EXPECT_EQ(edges.creases, c.creases);
    EXPECT_EQ(edges.borders, c.borders);
    EXPECT_EQ(edges.junctions, c.junctions);
    EXPECT_EQ(edges.faceCount, c.faces);
    // Every edge is marked in each of its faces.
    int bits = 0;
    for (int i = 0; i < edges.faceCount; ++i) {
      bits += std::popcount(edges.faces[i].edgeMask);
    }
    EXPECT_EQ(bits, 2 * c.creases + c.borders + 3 * c.junctions);
    freeModel(model);
  }
}

}  // namespace

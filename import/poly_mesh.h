// A triangle mesh as the asset tools build it, and writing it as a ".poly" model file.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

struct PolyMesh {
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;  // one per position
  std::vector<std::array<int, 3>> faces;      // zero-based, in winding order
};

// How many decimals the shipped model files in data/ give every number; their tools keep it, so that the
// files stay as they are.
constexpr int kDataDecimals = 6;

// The mesh as the text of a ".poly" file; the same mesh always gives the same bytes, and -0 is written as 0.
// Each number is the shortest text that reads back to the same float, so no vertex moves, or with decimals
// that many digits after the point. Requires one normal per position.
std::string polyText(const PolyMesh& mesh, std::optional<int> decimals = std::nullopt);

// Writes polyText(mesh, decimals) to path with writeOutputFile: whole or not at all, error set to the
// system's reason.
bool writePoly(const std::string& path, const PolyMesh& mesh, std::string& error,
               std::optional<int> decimals = std::nullopt);

// The regular icosahedron with circumradius 1, wound counter-clockwise as seen from outside.
PolyMesh icosahedron();

// Splits every triangle into four, levels times, pushing new vertices onto the unit sphere.
PolyMesh subdivideOnSphere(const PolyMesh& mesh, int levels);

// Scales and moves positions; normals are kept.
void transform(PolyMesh& mesh, float scale, std::array<float, 3> offset);

// A triangle mesh as the asset tools build it, and writing it as a ".poly" model file.
#pragma once

#include <array>
#include <string>
#include <vector>

struct PolyMesh {
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;  // one per position
  std::vector<std::array<int, 3>> faces;      // zero-based, in winding order
};

// The mesh as the text of a ".poly" file. Numbers are printed with a fixed precision, so the same mesh
// always gives the same bytes. Requires one normal per position.
std::string polyText(const PolyMesh& mesh);

// Writes polyText(mesh) to path with writeOutputFile: whole or not at all, error set to the system's reason.
bool writePoly(const std::string& path, const PolyMesh& mesh, std::string& error);

// The regular icosahedron with circumradius 1, wound counter-clockwise as seen from outside.
PolyMesh icosahedron();

// Splits every triangle into four, levels times, pushing new vertices onto the unit sphere.
PolyMesh subdivideOnSphere(const PolyMesh& mesh, int levels);

// Scales and moves positions; normals are kept.
void transform(PolyMesh& mesh, float scale, std::array<float, 3> offset);

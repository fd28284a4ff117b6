// Bicubic Bezier patch sets (like the classic teapot) and their tessellation into triangles.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "poly_mesh.h"

struct BezierPatchSet {
  // Each patch: 16 indices into points, four rows of four control points.
  std::vector<std::array<int, 16>> patches;
  std::vector<std::array<double, 3>> points;
};

// Parses "patches N", N lines of 16 zero-based indices, "points M", M lines of x y z; lines starting with
// '#' are comments. Returns none when the text does not hold exactly that or an index names no point.
std::optional<BezierPatchSet> parseBezierPatches(std::string_view text);

// Samples every patch on a (steps + 1) by (steps + 1) grid and splits each grid cell into two triangles,
// wound counter-clockwise about dB/du x dB/dv (u runs from the first row of control points to the last).
// Patches are not joined to one another, and corners that collapse into one point are kept: joinVertices
// welds both, since seams are sampled exactly at the shared control points.
PolyMesh tessellatePatches(const BezierPatchSet& set, int steps);

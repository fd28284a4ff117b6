// The lines of a mesh that the eye sees (contours, creases and borders) with their hidden parts removed, as
// polylines in picture coordinates. Pure, no GL: fed by a depth picture that GL draws of the same view.
#pragma once

#include <cstdint>
#include <vector>

enum class LineKind : uint8_t { Contour, Crease, Border };

// A point of the picture in pixels: origin at the top-left corner, x to the right, y down; pixel (i, j)
// covers [i, i + 1) x [j, j + 1).
struct LinePoint {
  float x;
  float y;
};

// One chain of visible edges of one kind, end to end.
struct Polyline {
  LineKind kind = LineKind::Contour;
  bool closed = false;             // the last point joins the first
  std::vector<LinePoint> points;   // at least two
};

// The lines of a mesh that the eye sees (contours, creases and borders) with their hidden parts removed, as
// polylines in picture coordinates. Pure, no GL: fed by a depth picture that GL draws of the same view.
#pragma once

#include <cstdint>
#include <vector>

#include "crease_edges.h"
#include "model.h"
#include "vec3.h"

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

// The view the lines are seen in, as GL has it: matrices column-major as glGetFloatv gives them, the
// viewport from (0, 0), the eye in model coordinates.
struct LineView {
  float modelview[16];
  float projection[16];
  int width = 0;
  int height = 0;
  Vec3 eye{0.0f, 0.0f, 0.0f};
};

// The edges of one model and the faces that meet at each, found once and reused for every view.
class VisibleLineFinder {
 public:
  // Joins model's corners by position, as the crease finder does, and files every edge with its faces.
  // creases (null for none), found by findCreaseEdges for the same model, names the crease and border
  // edges to draw besides the contours. ok() is false when memory ran out. model must outlive the finder.
  VisibleLineFinder(const Model& model, const CreaseEdges* creases);
  ~VisibleLineFinder();
  VisibleLineFinder(const VisibleLineFinder&) = delete;
  VisibleLineFinder& operator=(const VisibleLineFinder&) = delete;

  bool ok() const { return ok_; }

  // The visible lines in view, in picture coordinates of view's viewport. depth holds width x height
  // window depths in [0, 1], bottom row first, as glReadPixels(GL_DEPTH_COMPONENT, GL_FLOAT) gives them
  // after the model's faces are drawn in the same view. A contour is an edge of two faces of which one
  // turns towards the eye and the other away; an edge is kept where it lies no further than the depth
  // picture allows (its faces' depth slope over about a pixel), cut where it goes behind, then the pieces
  // are chained end to end and ordered to shorten the pen's travel. Needs ok().
  std::vector<Polyline> find(const LineView& view, const float* depth) const;

 private:
  struct Edge;
  const Model& model_;
  std::vector<Edge> edges_;
  std::vector<Vec3> normals_;   // per face, not normalised; zero for a face of no area
  std::vector<float> offsets_;  // per face, its normal dotted with its first corner
  bool ok_ = false;
};

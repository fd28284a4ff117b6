// The lines of a mesh that the eye sees (contours, creases, borders and suggestive contours) with their
// hidden parts removed or apart, as polylines in picture coordinates. Pure, no GL: fed by a depth picture
// that GL draws of the same view.
#pragma once

#include <cstdint>
#include <vector>

#include "crease_edges.h"
#include "surface.h"
#include "vec3.h"

enum class LineKind : uint8_t { Contour, Crease, Border, Suggestive };

// A point of the picture in pixels: origin at the top-left corner, x to the right, y down; pixel (i, j)
// covers [i, i + 1) x [j, j + 1).
struct LinePoint {
  float x;
  float y;
};

// One chain of lines of one kind, end to end, all seen or all hidden.
struct Polyline {
  LineKind kind = LineKind::Contour;
  bool closed = false;            // the last point joins the first
  bool hidden = false;            // behind the surface: drawn only when hidden lines are asked for
  std::vector<LinePoint> points;  // at least two
};

// The view the lines are seen in, as GL has it: matrices column-major as glGetFloatv gives them, the
// viewport from (0, 0), the eye in model coordinates.
struct LineView {
  float modelview[16];
  float projection[16];
  int width = 0;
  int height = 0;
  Vec3 eye{0.0f, 0.0f, 0.0f};
  // The faces are wound clockwise as seen from outside, as the renderer's DrawState says: which side of the
  // surface is its outside, where a fold is seen from.
  bool reversedWinding = false;
};

// How the lines are drawn beside the contours, creases and borders at the outline's width w, the same in a
// picture and in a vector document: hidden lines grey, dashes of kHiddenDash and gaps of kHiddenGap times
// their own width (round caps lengthen each dash by a width); suggestive contours black.
constexpr float kHiddenWidth = 0.5f;  // times w
constexpr float kHiddenGrey = 0.5f;   // 0 black, 1 white
constexpr float kHiddenDash = 2.0f;
constexpr float kHiddenGap = 3.0f;
constexpr float kSuggestiveWidth = 0.5f;  // times w

// Suggestive contours are kept where the radial curvature grows away from the eye at least this fast,
// measured as its derivative along the view projected on the surface, times the square of the distance to
// the eye, times the tangent of the angle between the view and the normal: a number without units, so the
// threshold keeps its meaning as the model or the eye moves, and large near the contours that suggestive
// contours lead on from. The default, chosen on a 75,000-face scan of the bunny, drops the weakest of the
// scan's noise; a gentle wave of a thousandth of the distance in height measures a few hundred.
constexpr float kDefaultSuggestiveThreshold = 100.0f;

// What a view's lines include besides the visible contours, creases and borders.
struct LineRequest {
  bool hidden = false;      // also their hidden parts, as Polylines marked hidden
  bool suggestive = false;  // also the visible suggestive contours
  float suggestiveThreshold = kDefaultSuggestiveThreshold;
  // The width the lines are drawn at, in pixels: an end is carried on to a line it stops short of by up to
  // this much, and suggestive contours shorter than four widths are dropped.
  double lineWidth = 1.0;
};

// The lines of one model, found per view from its surface.
class VisibleLineFinder {
 public:
  // Makes surface's normals (split at its sharp edges) and marks the edges to draw besides the contours:
  // creases (null for none), found by findCreaseEdges for the same model, names the crease and border
  // edges. ok() is false when memory ran out. surface must outlive the finder.
  VisibleLineFinder(Surface& surface, const CreaseEdges* creases);
  ~VisibleLineFinder();
  VisibleLineFinder(const VisibleLineFinder&) = delete;
  VisibleLineFinder& operator=(const VisibleLineFinder&) = delete;

  bool ok() const { return ok_; }

  // The lines in view, in picture coordinates of view's viewport. depth holds width x height window depths
  // in [0, 1], bottom row first, as glReadPixels(GL_DEPTH_COMPONENT, GL_FLOAT) gives them after the model's
  // faces are drawn in the same view. A contour runs where the normal, interpolated across each face from
  // its corners, is perpendicular to the ray from the eye; where the normals split it runs along the mesh's
  // edges between faces turned towards and away from the eye. A line is kept where it lies no further
  // behind the depth picture than its faces' depth slope over about a pixel, and cut where it goes behind;
  // the pieces are chained end to end, ends that run into another line made to end on it, and the chains
  // ordered to shorten the pen's travel (visible ones first). Suggestive contours need the surface's
  // curvature, which the first request for them makes. Needs ok(); empty when memory runs out.
  std::vector<Polyline> find(const LineView& view, const float* depth, const LineRequest& request = {}) const;

 private:
  Surface& surface_;
  std::vector<uint8_t> edgeKinds_;  // per edge of the surface, the LineKind it is drawn as besides contours
  bool ok_ = false;
};

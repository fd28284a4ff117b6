// What the visible-line finder's steps hand each other: segments on the surface, the picture they are seen
// in, the stretches of them found visible or hidden, and the chains made of those. Internal to the library.
#pragma once

#include <vector>

#include "surface.h"
#include "visible_lines.h"

constexpr int kNoNode = -1;

// A straight piece of a line on the surface, in model coordinates: a mesh edge, or where a line crosses one
// face. node[k] names the place end k lies at, so that the pieces of one line can be joined where they meet
// (a vertex, or the point where a line crosses an edge), or is kNoNode.
struct SurfaceSegment {
  Vec3 end[2];
  int node[2];
  int face[2];  // the faces whose depth slope bounds how far behind the picture's depth it may lie; face[1]
                // may be kNoFace
  LineKind kind;
  // A contour where the surface folds away from the eye, whose far side may show whatever lies beyond it; a
  // contour where it turns towards the eye instead is hidden by the surface next to it, and is tested, like
  // every other line, against the depth of its own pixel only.
  bool fold = false;
};

// One stretch of a segment, seen or hidden as a whole, in picture coordinates; node[k] as its segment's where
// the stretch reaches that end, else kNoNode.
struct Piece {
  LinePoint end[2];
  int node[2];
  LineKind kind;
};

// What one view needs to project points and test them against the depth picture.
class ViewSampler {
 public:
  ViewSampler(const LineView& view, const float* depth);

  // The visible and (when hidden is not null) hidden stretches of segment, sampled at sub-pixel steps;
  // breaks no longer than a pixel are closed. Segments outside the picture or behind the near plane add
  // nothing; those cut by it or by the picture's edges end there without a node.
  void sample(const Surface& surface, const SurfaceSegment& segment, std::vector<Piece>& visible,
              std::vector<Piece>* hidden) const;

  const LineView& view() const { return view_; }

 private:
  // How far behind the depth picture a segment may lie, and how many pixels around a point may show what lies
  // beyond it (one for a fold, else none).
  struct Allowance {
    double depth;
    int reach;
  };
  Allowance allowanceOf(const Surface& surface, const SurfaceSegment& segment) const;
  bool visibleAt(double x, double y, double z, const Allowance& allowance) const;

  const LineView& view_;
  const float* depth_;
  double mvp_[16];
  double projection_[16];
  double modelview_[16];
};

// Joins pieces of one kind end to end: where they meet at one node (where more than two meet, those that
// turn least), then free ends less than a pixel apart, and follows the joins into polylines. Chains
// shorter than shortest pixels are dropped.
std::vector<Polyline> chainPieces(const std::vector<Piece>& pieces, double shortest);

// Leaves out of each chain the points that lie within tolerance pixels of the line through those kept around
// them (Douglas and Peucker): the wiggles of a contour through a scan's tiny faces, too small to see at any
// line width, and the points of straight runs.
void simplifyChains(std::vector<Polyline>& chains, double tolerance);

// Makes each chain that ends where it runs into another line end on it: an end that runs on past a line it
// crosses is cut back to it, and one that stops short of a line ahead of it by less than reach pixels is
// carried on to it; one that runs along another line for a few pixels is cut back to where it leaves it.
// Ends of one kind left within half of reach of each other are joined. A chain both of whose ends would be
// cut back to one crossing is dropped, as is one shorter than reach (and 5 pixels).
void cleanJunctions(std::vector<Polyline>& chains, double reach);

// The chains in the order a pen would draw them, each starting at the free end nearest to where the last
// one stopped, within a picture of width x height.
std::vector<Polyline> orderChainsForPen(std::vector<Polyline> chains, double width, double height);

// The lines of a view found on the surface: the contours (where the interpolated normal turns across the
// view within a face, and the mesh's own edges between faces turned towards and away from the eye where the
// normals split), and the crease and border edges marked in edgeKinds (a LineKind per edge, or kNoLineKind).
void findContourSegments(const Surface& surface, const std::vector<uint8_t>& edgeKinds, const LineView& view,
                         std::vector<SurfaceSegment>& segments);

constexpr uint8_t kNoLineKind = 0xff;

// The visible-side suggestive contours of a view, from the surface's curvature and its derivative (which
// must be made): where the radial curvature passes through zero in a face, as long as it grows away from the
// eye faster than threshold (as LineRequest measures it), cut where it stops doing so.
void findSuggestiveSegments(const Surface& surface, const LineView& view, float threshold,
                            std::vector<SurfaceSegment>& segments);

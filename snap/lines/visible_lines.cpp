// Visible lines: the edges to draw marked once per model; per view the lines found on the surface, sampled
// against the depth picture, chained, their junctions made clean, and ordered.
#include "visible_lines.h"

#include <cmath>
#include <new>

#include "line_parts.h"

namespace {

// A chain shorter than this (in pixels) is dropped: a hidden edge that leaves the silhouette at a corner
// seems to show for a pixel or so, where the pixels it crosses still show the background.
constexpr double kShortestLine = 2.0;
// Chains are simplified to within this many pixels: far under what a line shows.
constexpr double kSimplifyPixels = 0.25;
// Suggestive contours shorter than this many line widths are dropped: on a scan, its noise.
constexpr double kShortestSuggestive = 4.0;

double lengthOf(const Polyline& line) {
  double length = 0.0;
  for (size_t i = 1; i < line.points.size(); ++i) {
    length += std::hypot(double{line.points[i].x} - line.points[i - 1].x,
                         double{line.points[i].y} - line.points[i - 1].y);
  }
  return length;
}

}  // namespace

VisibleLineFinder::VisibleLineFinder(Surface& surface, const CreaseEdges* creases) : surface_(surface) {
  if (!surface.ok() || !surface.needNormals()) {
    return;
  }
  try {
    edgeKinds_.assign(surface.edges().size(), kNoLineKind);
    for (int i = 0; creases && i < creases->faceCount; ++i) {
      const CreaseFace& face = creases->faces[i];
      for (int k = 0; k < 3; ++k) {
        const int e = (face.edgeMask >> k & 1) ? surface.edgeOfSide(face.face, k) : kNoEdge;
        if (e != kNoEdge) {
          const bool border = surface.edges()[static_cast<size_t>(e)].sides == 1;
          edgeKinds_[static_cast<size_t>(e)] =
              static_cast<uint8_t>(border ? LineKind::Border : LineKind::Crease);
        }
      }
    }
    ok_ = true;
  } catch (const std::bad_alloc&) {
    edgeKinds_ = {};
  }
}

VisibleLineFinder::~VisibleLineFinder() = default;

std::vector<Polyline> VisibleLineFinder::find(const LineView& view, const float* depth,
                                              const LineRequest& request) const {
  if (!ok_ || surface_.faceCount() == 0 || view.width <= 0 || view.height <= 0) {
    return {};
  }
  try {
    std::vector<SurfaceSegment> segments;
    findContourSegments(surface_, edgeKinds_, view, segments);
    if (request.suggestive && surface_.needCurvatureDerivatives()) {
      findSuggestiveSegments(surface_, view, request.suggestiveThreshold, segments);
    }
    const ViewSampler sampler(view, depth);
    std::vector<Piece> visible, hidden;
    for (const SurfaceSegment& segment : segments) {
      sampler.sample(surface_, segment, visible, request.hidden ? &hidden : nullptr);
    }
    std::vector<Polyline> chains = chainPieces(visible, kShortestLine);
    cleanJunctions(chains, request.lineWidth);
    // Suggestive contours are drawn thinner; on a scan the shortest are its noise.
    std::erase_if(chains, [&](const Polyline& line) {
      return line.kind == LineKind::Suggestive &&
             lengthOf(line) < kShortestSuggestive * kSuggestiveWidth * request.lineWidth;
    });
    simplifyChains(chains, kSimplifyPixels);
    std::vector<Polyline> lines = orderChainsForPen(std::move(chains), view.width, view.height);
    if (request.hidden) {
      std::vector<Polyline> behind = chainPieces(hidden, kShortestLine);
      cleanJunctions(behind, request.lineWidth);
      simplifyChains(behind, kSimplifyPixels);
      behind = orderChainsForPen(std::move(behind), view.width, view.height);
      for (Polyline& line : behind) {
        line.hidden = true;
        lines.push_back(std::move(line));
      }
    }
    return lines;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

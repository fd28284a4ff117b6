// Hatching strokes cut to regions with Clipper, in fixed-point coordinates.
#include "hatching.h"

#include <polyclipping/clipper.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

namespace {

// Clipper works on integers: a 256th of a pixel is far below what a pen or a screen shows.
constexpr double kFixed = 256.0;

// The directions of each further family, in degrees: across, the other diagonal, then level and upright.
constexpr double kDirections[] = {45.0, 135.0, 0.0, 90.0};

ClipperLib::Paths fixedPaths(const std::vector<Polygon>& polygons) {
  ClipperLib::Paths paths;
  paths.reserve(polygons.size());
  for (const Polygon& polygon : polygons) {
    ClipperLib::Path path;
    path.reserve(polygon.size());
    for (const VectorPoint& p : polygon) {
      path.emplace_back(std::llround(p.x * kFixed), std::llround(p.y * kFixed));
    }
    paths.push_back(std::move(path));
  }
  return paths;
}

VectorPoint pointOf(const ClipperLib::IntPoint& p) {
  return {static_cast<double>(p.X) / kFixed, static_cast<double>(p.Y) / kFixed};
}

struct Bounds {
  double left, top, right, bottom;
};

Bounds boundsOf(const std::vector<Polygon>& polygons) {
  Bounds b{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const Polygon& polygon : polygons) {
    for (const VectorPoint& p : polygon) {
      b = {std::min(b.left, p.x), std::min(b.top, p.y), std::max(b.right, p.x), std::max(b.bottom, p.y)};
    }
  }
  return b;
}

// A stroke as the pen meets it: which line of its family, and where along that line it starts.
struct PlacedStroke {
  long long line;
  double along;
  Stroke stroke;
};

// One family: the lines at multiples of spacing along the normal (-sin, cos) of the direction, each across
// the whole of bounds, cut to the region and ordered for the pen.
void hatchFamily(const ClipperLib::Paths& region, const Bounds& b, double degrees, double spacing,
                 double strokeWidth, std::vector<Stroke>& strokes) {
  const double radians = degrees * std::numbers::pi / 180.0;
  const double dx = std::cos(radians), dy = std::sin(radians);
  const double nx = -dy, ny = dx;
  double lowN = INFINITY, highN = -INFINITY, lowT = INFINITY, highT = -INFINITY;
  for (const double x : {b.left, b.right}) {
    for (const double y : {b.top, b.bottom}) {
      lowN = std::min(lowN, x * nx + y * ny), highN = std::max(highN, x * nx + y * ny);
      lowT = std::min(lowT, x * dx + y * dy), highT = std::max(highT, x * dx + y * dy);
    }
  }
  ClipperLib::Paths lines;
  for (long long k = static_cast<long long>(std::ceil(lowN / spacing));
       static_cast<double>(k) * spacing <= highN; ++k) {
    const double n = static_cast<double>(k) * spacing;
    const VectorPoint a{n * nx + (lowT - 1) * dx, n * ny + (lowT - 1) * dy};
    const VectorPoint z{n * nx + (highT + 1) * dx, n * ny + (highT + 1) * dy};
    lines.push_back({{std::llround(a.x * kFixed), std::llround(a.y * kFixed)},
                     {std::llround(z.x * kFixed), std::llround(z.y * kFixed)}});
  }
  if (lines.empty()) {
    return;
  }
  ClipperLib::Clipper clipper;
  clipper.AddPaths(lines, ClipperLib::ptSubject, false);
  clipper.AddPaths(region, ClipperLib::ptClip, true);
  ClipperLib::PolyTree tree;
  clipper.Execute(ClipperLib::ctIntersection, tree, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd);
  ClipperLib::Paths pieces;
  ClipperLib::OpenPathsFromPolyTree(tree, pieces);

  std::vector<PlacedStroke> placed;
  placed.reserve(pieces.size());
  for (const ClipperLib::Path& piece : pieces) {
    if (piece.size() < 2) {
      continue;
    }
    Stroke s{pointOf(piece.front()), pointOf(piece.back())};
    // Where a line only grazes a corner, the pen would leave a dot.
    if (std::hypot(s.to.x - s.from.x, s.to.y - s.from.y) < strokeWidth) {
      continue;
    }
    if ((s.to.x - s.from.x) * dx + (s.to.y - s.from.y) * dy < 0) {
      std::swap(s.from, s.to);
    }
    const long long line = std::llround((s.from.x * nx + s.from.y * ny) / spacing);
    // Every other line runs backwards, so the pen starts each near where the last ended.
    if (line % 2 != 0) {
      std::swap(s.from, s.to);
    }
    const double along = (s.from.x * dx + s.from.y * dy) * (line % 2 != 0 ? -1.0 : 1.0);
    placed.push_back({line, along, s});
  }
  std::sort(placed.begin(), placed.end(), [](const PlacedStroke& a, const PlacedStroke& b) {
    return a.line != b.line ? a.line < b.line : a.along < b.along;
  });
  for (const PlacedStroke& p : placed) {
    strokes.push_back(p.stroke);
  }
}

}  // namespace

double hatchSpacing(const HatchTone& tone, double strokeWidth) {
  // n families each inking f of the area leave (1 - f)^n of it bare.
  const double perFamily = 1.0 - std::pow(1.0 - tone.ink, 1.0 / tone.directions);
  return strokeWidth / perFamily;
}

bool hatchRegion(const std::vector<Polygon>& polygons, const HatchTone& tone, double strokeWidth,
                 std::vector<Stroke>& strokes) {
  strokes.clear();
  const Bounds bounds = boundsOf(polygons);
  if (!(bounds.left <= bounds.right)) {
    return true;
  }
  const double spacing = hatchSpacing(tone, strokeWidth);
  // Clipper reports running out of memory, or a coordinate beyond its range, by throwing.
  try {
    const ClipperLib::Paths region = fixedPaths(polygons);
    for (int family = 0; family < tone.directions && family < 4; ++family) {
      hatchFamily(region, bounds, kDirections[family], spacing, strokeWidth, strokes);
    }
  } catch (const std::exception&) {
    strokes.clear();
    return false;
  }
  return true;
}

bool regionDifference(const std::vector<Polygon>& from, const std::vector<Polygon>& away,
                      std::vector<Polygon>& result) {
  result.clear();
  try {
    ClipperLib::Clipper clipper;
    clipper.AddPaths(fixedPaths(from), ClipperLib::ptSubject, true);
    clipper.AddPaths(fixedPaths(away), ClipperLib::ptClip, true);
    ClipperLib::Paths paths;
    clipper.Execute(ClipperLib::ctDifference, paths, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd);
    for (const ClipperLib::Path& path : paths) {
      Polygon polygon;
      polygon.reserve(path.size());
      for (const ClipperLib::IntPoint& p : path) {
        polygon.push_back(pointOf(p));
      }
      result.push_back(std::move(polygon));
    }
  } catch (const std::exception&) {
    result.clear();
    return false;
  }
  return true;
}

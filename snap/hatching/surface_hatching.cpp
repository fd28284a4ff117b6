// The tones' nested levels of streamlines, each level a denser pass over the darker part of the surface.
#include "surface_hatching.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "streamlines.h"
#include "stroke_joins.h"

namespace {

enum Family { kAlong, kAcross };

// A pass of streamlines: which family, their spacing in multiples of the lightest tone's, and the lightest
// tone (hatching texture index, 0 bright) they run through; every darker one they run through too.
struct Level {
  Family family;
  double spacing;
  int lightestTone;
};

// Each darker tone halves the spacing, so that its strokes lie between the lighter tone's, which run on
// through it: along the field from the bright tone on, across it from the middle tone on at twice the
// spacing. Most of the ink follows the field, as the hatching images' strokes follow their main direction.
constexpr Level kLevels[] = {
    {kAlong, 1.0, 0},   {kAlong, 0.5, 1},  {kAlong, 0.25, 2},
    {kAlong, 0.125, 3}, {kAcross, 2.0, 1}, {kAcross, 1.0, 2},
};

// The lightest tone's spacing in stroke widths. Each tone's levels together would ink about 6, 14, 28 and
// 50 % of its area; the strokes left out for being short take that down to about what the hatching images
// and the view-fixed strokes ink (5, 13, 26 and 47 %).
constexpr double kWidestSpacing = 17.0;
// No stroke is shorter than this share of the picture's larger side (48 pixels at the viewer's window):
// where a stroke would end that soon, the field converges or the tone's patch is small, and a pen would
// lift for it as for a long one. A stroke across a narrow part, from outline to outline, needs a third of
// that.
constexpr double kShortestStroke = 1.0 / 16;
constexpr double kShortestSpan = 1.0 / 48;
// Strokes are simplified to within this many pixels of the traced path.
constexpr double kFlatness = 0.1;

// 1 where a stroke of width strokeWidth may pass: more than half its width clear of the lines.
std::vector<uint8_t> clearOfLines(const std::vector<Polyline>& lines, int width, int height,
                                  const SurfaceHatchingStyle& style) {
  std::vector<uint8_t> clear(static_cast<size_t>(width) * static_cast<size_t>(height), 1);
  const double reach = 0.5 * style.lineWidth + style.strokeWidth;
  const auto mark = [&](LinePoint a, LinePoint b) {
    const int left = std::max(0, static_cast<int>(std::floor(std::min(a.x, b.x) - reach)));
    const int right = std::min(width - 1, static_cast<int>(std::ceil(std::max(a.x, b.x) + reach)));
    const int top = std::max(0, static_cast<int>(std::floor(std::min(a.y, b.y) - reach)));
    const int bottom = std::min(height - 1, static_cast<int>(std::ceil(std::max(a.y, b.y) + reach)));
    const double dx = b.x - a.x, dy = b.y - a.y, square = dx * dx + dy * dy;
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        const double px = x + 0.5 - a.x, py = y + 0.5 - a.y;
        const double t = square > 0.0 ? std::clamp((px * dx + py * dy) / square, 0.0, 1.0) : 0.0;
        if (std::hypot(px - t * dx, py - t * dy) < reach) {
          clear[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = 0;
        }
      }
    }
  };
  for (const Polyline& line : lines) {
    for (size_t i = 0; i + 1 < line.points.size(); ++i) {
      mark(line.points[i], line.points[i + 1]);
    }
    if (line.closed && line.points.size() > 2) {
      mark(line.points.back(), line.points.front());
    }
    if (line.points.size() == 1) {
      mark(line.points[0], line.points[0]);
    }
  }
  return clear;
}

// Douglas-Peucker: the points that keep the path within tolerance of itself.
void simplify(const std::vector<LinePoint>& points, size_t first, size_t last, double tolerance,
              std::vector<LinePoint>& out) {
  const LinePoint a = points[first], b = points[last];
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  double farthest = 0.0;
  size_t at = first;
  for (size_t i = first + 1; i < last; ++i) {
    const double px = points[i].x - a.x, py = points[i].y - a.y;
    const double distance = length > 0.0 ? std::abs(px * dy - py * dx) / length : std::hypot(px, py);
    if (distance > farthest) {
      farthest = distance;
      at = i;
    }
  }
  if (farthest > tolerance) {
    simplify(points, first, at, tolerance, out);
    simplify(points, at, last, tolerance, out);
  } else {
    out.push_back(b);
  }
}

Polyline strokeOf(const std::vector<LinePoint>& points) {
  Polyline stroke;
  stroke.points.push_back(points.front());
  simplify(points, 0, points.size() - 1, kFlatness, stroke.points);
  return stroke;
}

void hatchLevels(const PictureField& field, const std::vector<uint8_t>& clear,
                 const SurfaceHatchingStyle& style, std::vector<Polyline>& strokes) {
  const size_t pixels = clear.size();
  const double side = std::max(field.width, field.height);
  for (const Family family : {kAlong, kAcross}) {
    StreamlineTracer tracer(
        {field.width, field.height, (family == kAlong ? field.along : field.across).data()});
    std::vector<TracedStroke> traced;
    for (const Level& level : kLevels) {
      if (level.family != family) {
        continue;
      }
      std::vector<uint8_t> pass(pixels);
      for (size_t i = 0; i < pixels; ++i) {
        pass[i] = !clear[i] || field.tones[i] == kNoTone ? kEdge
                  : field.tones[i] >= level.lightestTone ? kInside
                                                         : kElsewhere;
      }
      const double separation = level.spacing * kWidestSpacing * style.strokeWidth;
      tracer.trace(pass, separation, kShortestStroke * side, kShortestSpan * side);
      for (size_t i = traced.size(); i < tracer.lines().size(); ++i) {
        traced.push_back({tracer.lines()[i], separation, level.lightestTone});
      }
    }
    for (const std::vector<LinePoint>& line :
         joinFacingEnds(traced, {&clear, &field.tones, field.width, field.height})) {
      strokes.push_back(strokeOf(line));
    }
  }
}

}  // namespace

bool hatchSurface(const Surface& surface, const std::vector<Vec3>& directions, const FacePicture& faces,
                  const LineView& view, const HatchLight& light, const std::vector<Polyline>& lines,
                  const SurfaceHatchingStyle& style, std::vector<Polyline>& strokes) {
  strokes.clear();
  if (faces.width <= 0 || faces.height <= 0 || !(style.strokeWidth > 0.0)) {
    return true;
  }
  try {
    const PictureField field = pictureField(surface, directions, faces, view, light);
    hatchLevels(field, clearOfLines(lines, faces.width, faces.height, style), style, strokes);
  } catch (const std::bad_alloc&) {
    strokes.clear();
    return false;
  }
  return true;
}

// Tracing the label picture with potrace, one stacked layer at a time.
#include "tone_regions.h"

#include <potracelib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <new>

namespace {

constexpr int kWordBits = static_cast<int>(sizeof(potrace_word) * CHAR_BIT);

struct ParamDeleter {
  void operator()(potrace_param_t* param) const { potrace_param_free(param); }
};
struct StateDeleter {
  void operator()(potrace_state_t* state) const { potrace_state_free(state); }
};

// The pixels whose label is at least label, as potrace's bitmap: scanline 0 is the picture's top row, so
// the traced y grows downwards as the picture's does.
bool layerBitmap(const LabelPicture& picture, int label, std::vector<potrace_word>& words,
                 potrace_bitmap_t& bitmap) {
  const int dy = (picture.width + kWordBits - 1) / kWordBits;
  words.assign(static_cast<size_t>(dy) * static_cast<size_t>(picture.height), 0);
  bool any = false;
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.labels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
    potrace_word* line = words.data() + static_cast<size_t>(y) * static_cast<size_t>(dy);
    for (int x = 0; x < picture.width; ++x) {
      if (row[x] >= label) {
        line[x / kWordBits] |= potrace_word{1} << (kWordBits - 1 - x % kWordBits);
        any = true;
      }
    }
  }
  bitmap = {picture.width, picture.height, dy, words.data()};
  return any;
}

VectorPoint scaled(const potrace_dpoint_t& p, double factor) {
  return {p.x * factor, p.y * factor};
}

ClosedCurve curveOf(const potrace_curve_t& curve, double factor) {
  ClosedCurve result;
  result.segments.reserve(static_cast<size_t>(curve.n));
  for (int i = 0; i < curve.n; ++i) {
    const bool corner = curve.tag[i] == POTRACE_CORNER;
    result.segments.push_back({corner, corner ? VectorPoint{} : scaled(curve.c[i][0], factor),
                               scaled(curve.c[i][1], factor), scaled(curve.c[i][2], factor)});
  }
  return result;
}

VectorPoint bezierPoint(const VectorPoint& p0, const CurveSegment& s, double t) {
  const double u = 1.0 - t;
  const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return {a * p0.x + b * s.c1.x + c * s.c2.x + d * s.end.x, a * p0.y + b * s.c1.y + c * s.c2.y + d * s.end.y};
}

double distance(const VectorPoint& a, const VectorPoint& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

bool traceToneRegions(const LabelPicture& picture, int labelsPerPixel, std::vector<ToneRegion>& regions) {
  regions.clear();
  std::unique_ptr<potrace_param_t, ParamDeleter> param(potrace_param_default());
  if (!param) {
    return false;
  }
  // Specks of a few label pixels are under a picture pixel: not worth a curve.
  param->turdsize = labelsPerPixel * labelsPerPixel / 2;
  const double factor = 1.0 / labelsPerPixel;
  std::vector<potrace_word> words;
  std::vector<ToneRegion> traced(kToneCount);
  for (int label = 1; label <= kToneCount; ++label) {
    ToneRegion& region = traced[static_cast<size_t>(label - 1)];
    region.label = label;
    potrace_bitmap_t bitmap;
    if (!layerBitmap(picture, label, words, bitmap)) {
      continue;
    }
    std::unique_ptr<potrace_state_t, StateDeleter> state(potrace_trace(param.get(), &bitmap));
    if (!state || state->status != POTRACE_STATUS_OK) {
      return false;
    }
    for (const potrace_path_t* path = state->plist; path; path = path->next) {
      region.curves.push_back(curveOf(path->curve, factor));
    }
  }
  regions = std::move(traced);
  return true;
}

std::vector<Polygon> flattenRegion(const ToneRegion& region, double tolerance) {
  std::vector<Polygon> polygons;
  for (const ClosedCurve& curve : region.curves) {
    if (curve.segments.empty()) {
      continue;
    }
    Polygon polygon;
    VectorPoint from = curve.segments.back().end;
    for (const CurveSegment& s : curve.segments) {
      if (s.corner) {
        polygon.push_back(s.c2);
      } else {
        // The control polygon's length bounds the curve's; steps of a few tolerances keep it within one.
        const double length = distance(from, s.c1) + distance(s.c1, s.c2) + distance(s.c2, s.end);
        const int steps = std::clamp(static_cast<int>(std::sqrt(length / tolerance)), 1, 16);
        for (int k = 1; k < steps; ++k) {
          polygon.push_back(bezierPoint(from, s, static_cast<double>(k) / steps));
        }
      }
      polygon.push_back(s.end);
      from = s.end;
    }
    polygons.push_back(std::move(polygon));
  }
  return polygons;
}

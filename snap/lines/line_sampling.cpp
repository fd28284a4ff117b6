// Visibility: segments projected into the picture, cut to the near plane and the picture, and sampled every
// half pixel against the depth picture.
#include <algorithm>
#include <cmath>

#include "line_parts.h"

namespace {

// Steps along a segment per pixel of its length in the picture.
constexpr double kSamplesPerPixel = 2.0;
// Breaks in a line no longer than this (in pixels) are closed.
constexpr double kGapPixels = 1.0;
// A segment may lie behind the depth picture by its faces' depth slope over this many pixels: a sample point
// and the centre of its pixel are up to 0.71 pixels apart, and the fill pass's own rasterisation rounds.
constexpr double kTolerancePixels = 1.0;
// A face seen nearly edge-on has a slope without bound, which would let everything behind it through; the
// tolerance follows slopes up to that of a face turned this many times steeper than 45 degrees to the eye.
constexpr double kSteepestSlope = 4.0;
// The depth picture's own rounding: a 24-bit depth buffer.
constexpr double kDepthRounding = 1.0 / (1 << 22);
// A fold inside a face lies as far inside the mesh's own outline as the face is large (on a coarse mesh the
// outline's sagitta), so what lies beyond it shows up to that far away; but no further than this (pixels).
constexpr int kFarthestReach = 8;

struct Point3 {
  double x, y, z;
};

struct Clip {
  double x, y, z, w;
};

// The column-major product a x b of two 4 x 4 matrices.
void multiply(const float* a, const float* b, double* out) {
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) {
        sum += double{a[k * 4 + row]} * b[col * 4 + k];
      }
      out[col * 4 + row] = sum;
    }
  }
}

Clip transform(const double* m, double x, double y, double z) {
  return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
          m[2] * x + m[6] * y + m[10] * z + m[14], m[3] * x + m[7] * y + m[11] * z + m[15]};
}

Clip lerp(const Clip& a, const Clip& b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t};
}

bool beforeNear(const Clip& c) {
  return c.z + c.w >= 0.0 && c.w > 0.0;
}

// Window coordinates (y up, depth in [0, 1]) of a point inside the near plane.
Point3 windowOf(const Clip& c, const LineView& view) {
  return {(c.x / c.w * 0.5 + 0.5) * view.width, (c.y / c.w * 0.5 + 0.5) * view.height, c.z / c.w * 0.5 + 0.5};
}

// Cuts the segment a-b (clip coordinates) to the near plane; at[k] says whether end k is still the segment's.
bool clipToNear(Clip& a, Clip& b, bool at[2]) {
  const double da = a.z + a.w, db = b.z + b.w;
  if (da < 0.0 && db < 0.0) {
    return false;
  }
  if (da < 0.0) {
    a = lerp(a, b, da / (da - db));
    at[0] = false;
  } else if (db < 0.0) {
    b = lerp(b, a, db / (db - da));
    at[1] = false;
  }
  return beforeNear(a) && beforeNear(b);
}

// Cuts the window segment a-b to the picture and a pixel around it, so that nothing is sampled beyond what
// the picture holds; at[k] says whether end k is still the segment's.
bool clipToPicture(Point3& a, Point3& b, double width, double height, bool at[2]) {
  double from = 0.0, to = 1.0;
  const double d[2] = {b.x - a.x, b.y - a.y}, start[2] = {a.x, a.y}, high[2] = {width + 1.0, height + 1.0};
  for (int axis = 0; axis < 2; ++axis) {
    for (const double bound : {-1.0, high[axis]}) {
      const bool lower = bound < 0.0;
      // Inside is start + t d >= bound for the lower bound, <= bound for the upper one.
      const double num = bound - start[axis], den = d[axis];
      if (den == 0.0) {
        if (lower ? num > 0.0 : num < 0.0) {
          return false;
        }
        continue;
      }
      const double t = num / den;
      if (lower == (den > 0.0)) {
        from = std::max(from, t);
      } else {
        to = std::min(to, t);
      }
    }
  }
  if (!(from <= to)) {
    return false;
  }
  const Point3 p = a, q = b;
  auto pointAt = [&](double t) {
    return Point3{p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.z + (q.z - p.z) * t};
  };
  if (from > 0.0) {
    a = pointAt(from);
    at[0] = false;
  }
  if (to < 1.0) {
    b = pointAt(to);
    at[1] = false;
  }
  return true;
}

}  // namespace

ViewSampler::ViewSampler(const LineView& view, const float* depth) : view_(view), depth_(depth) {
  multiply(view.projection, view.modelview, mvp_);
  for (int i = 0; i < 16; ++i) {
    projection_[i] = view.projection[i];
    modelview_[i] = view.modelview[i];
  }
}

// How far behind the depth picture a segment may lie: its faces' depth slope per pixel, each at most
// kSteepestSlope faces at 45 degrees at the segment's middle. A fold sees a pixel around, or as far as the
// corners of its face lie from its middle.
ViewSampler::Allowance ViewSampler::allowanceOf(const Surface& surface, const SurfaceSegment& segment) const {
  const Vec3 middle = 0.5f * (segment.end[0] + segment.end[1]);
  double steepest = 1.0;
  {
    const Clip eye = transform(modelview_, middle.x, middle.y, middle.z);
    const double step = std::max(1e-6, 1e-3 * std::abs(eye.z));
    const Clip here = transform(projection_, eye.x, eye.y, eye.z);
    const Clip aside = transform(projection_, eye.x + step, eye.y, eye.z);
    const Clip behind = transform(projection_, eye.x, eye.y, eye.z - step);
    if (beforeNear(here) && beforeNear(aside) && beforeNear(behind)) {
      const Point3 h = windowOf(here, view_), a = windowOf(aside, view_), b = windowOf(behind, view_);
      const double slope = kSteepestSlope * std::abs(b.z - h.z) / std::hypot(a.x - h.x, a.y - h.y);
      steepest = std::isfinite(slope) ? slope : 1.0;
    }
  }
  double slope = 0.0;
  double reach = 1.0;
  const Clip middleClip = transform(mvp_, middle.x, middle.y, middle.z);
  const Point3 centre = beforeNear(middleClip) ? windowOf(middleClip, view_) : Point3{0.0, 0.0, 0.0};
  for (const int face : segment.face) {
    if (face == kNoFace) {
      continue;
    }
    double faceSlope = steepest;
    Point3 p[3];
    bool inside = true;
    for (int k = 0; k < 3 && inside; ++k) {
      const Vec3& corner = surface.positions()[static_cast<size_t>(surface.corners(face)[k])];
      const Clip c = transform(mvp_, corner.x, corner.y, corner.z);
      inside = beforeNear(c);
      p[k] = inside ? windowOf(c, view_) : Point3{};
    }
    if (inside) {
      const double ax = p[1].x - p[0].x, ay = p[1].y - p[0].y, az = p[1].z - p[0].z;
      const double bx = p[2].x - p[0].x, by = p[2].y - p[0].y, bz = p[2].z - p[0].z;
      const double gx = az * by - bz * ay, gy = ax * bz - bx * az;
      const double s = std::hypot(gx, gy) / std::abs(ax * by - bx * ay);
      faceSlope = std::isfinite(s) ? std::min(s, steepest) : steepest;
      for (const Point3& corner : p) {
        reach = std::max(reach, std::hypot(corner.x - centre.x, corner.y - centre.y));
      }
    }
    slope = std::max(slope, faceSlope);
  }
  // A fold along a mesh edge lies on the outline itself.
  const bool inFace = segment.face[1] == kNoFace && std::isfinite(reach);
  const int pixels = inFace ? static_cast<int>(std::min(std::ceil(reach), double{kFarthestReach})) : 1;
  return {slope * kTolerancePixels + kDepthRounding, segment.fold ? pixels : 0};
}

// Whether a point at window (x, y, z) is not behind the depth picture by more than the allowance. At a fold
// the surface turns away, so the farthest depth of the pixels around within its reach is the reference: one
// of them shows what lies beyond it.
bool ViewSampler::visibleAt(double x, double y, double z, const Allowance& allowance) const {
  const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
  if (px < 0 || py < 0 || px >= view_.width || py >= view_.height) {
    return false;
  }
  double reference = depth_[static_cast<size_t>(py) * view_.width + px];
  const int r = allowance.reach;
  if (r > 0) {
    for (int j = std::max(py - r, 0); j <= std::min(py + r, view_.height - 1); ++j) {
      for (int i = std::max(px - r, 0); i <= std::min(px + r, view_.width - 1); ++i) {
        reference = std::max(reference, double{depth_[static_cast<size_t>(j) * view_.width + i]});
      }
    }
  }
  return z <= reference + allowance.depth;
}

void ViewSampler::sample(const Surface& surface, const SurfaceSegment& segment, std::vector<Piece>& visible,
                         std::vector<Piece>* hidden) const {
  Clip ca = transform(mvp_, segment.end[0].x, segment.end[0].y, segment.end[0].z);
  Clip cb = transform(mvp_, segment.end[1].x, segment.end[1].y, segment.end[1].z);
  bool at[2] = {true, true};
  if (!clipToNear(ca, cb, at)) {
    return;
  }
  Point3 a = windowOf(ca, view_), b = windowOf(cb, view_);
  if (!clipToPicture(a, b, view_.width, view_.height, at)) {
    return;
  }
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  if (!std::isfinite(length)) {
    return;
  }
  const Allowance allowance = allowanceOf(surface, segment);
  const int steps = static_cast<int>(std::min(std::ceil(length * kSamplesPerPixel), 1e6)) + 1;
  auto pointAt = [&](int i) {
    const double t = double(i) / steps;
    return Point3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
  };
  const int maxGapSteps =
      static_cast<int>(std::min(kGapPixels * steps / std::max(length, 1e-9), double(steps)));
  const float height = static_cast<float>(view_.height);
  auto emit = [&](std::vector<Piece>& pieces, int from, int to) {
    const Point3 p = pointAt(from), q = pointAt(to);
    pieces.push_back(
        {{{static_cast<float>(p.x), height - static_cast<float>(p.y)},
          {static_cast<float>(q.x), height - static_cast<float>(q.y)}},
         {from == 0 && at[0] ? segment.node[0] : kNoNode, to == steps && at[1] ? segment.node[1] : kNoNode},
         segment.kind});
  };
  // Runs of visible samples, their breaks of up to a gap closed; what lies between runs is hidden.
  int runStart = kNoNode, lastSeen = kNoNode, hiddenFrom = 0;
  auto endRun = [&]() {
    if (lastSeen > runStart) {
      if (hidden && runStart > hiddenFrom) {
        emit(*hidden, hiddenFrom, runStart);
      }
      emit(visible, runStart, lastSeen);
      hiddenFrom = lastSeen;
    }
  };
  for (int i = 0; i <= steps; ++i) {
    const Point3 p = pointAt(i);
    if (!visibleAt(p.x, p.y, p.z, allowance)) {
      continue;
    }
    if (runStart != kNoNode && i - lastSeen - 1 > maxGapSteps) {
      endRun();
      runStart = kNoNode;
    }
    if (runStart == kNoNode) {
      runStart = i;
    }
    lastSeen = i;
  }
  if (runStart != kNoNode) {
    endRun();
  }
  if (hidden && hiddenFrom < steps) {
    emit(*hidden, hiddenFrom, steps);
  }
}

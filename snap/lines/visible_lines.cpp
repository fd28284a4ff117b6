// Visible lines: the edges filed once per model; per view the contours found, sampled against the depth
// picture, chained and ordered.
#include "visible_lines.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>
#include <utility>

namespace {

constexpr int kNone = -1;
constexpr uint8_t kNoKind = 0xff;
// At most this many ends in one place are weighed against each other when ends are joined or chains
// ordered: a crowd of lines in one pixel makes neither slow.
constexpr size_t kCrowd = 32;
// Steps along an edge per pixel of its length in the picture.
constexpr double kSamplesPerPixel = 2.0;
// Breaks in a line no longer than this (in pixels) are closed.
constexpr double kGapPixels = 1.0;
// A chain shorter than this (in pixels) is dropped: a hidden edge that leaves the silhouette at a corner
// seems to show for a pixel or so, where the pixels it crosses still show the background.
constexpr double kShortestLine = 2.0;
// An edge may lie behind the depth picture by its faces' depth slope over this many pixels: a sample point
// and the centre of its pixel are up to 0.71 pixels apart, and the fill pass's own rasterisation rounds.
constexpr double kTolerancePixels = 1.0;
// A face seen nearly edge-on has a slope without bound, which would let everything behind it through; the
// tolerance follows slopes up to that of a face turned this many times steeper than 45 degrees to the eye.
constexpr double kSteepestSlope = 4.0;
// The depth picture's own rounding: a 24-bit depth buffer.
constexpr double kDepthRounding = 1.0 / (1 << 22);

struct Point3 {
  double x, y, z;
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

struct Clip {
  double x, y, z, w;
};

Clip transform(const double* m, double x, double y, double z) {
  return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
          m[2] * x + m[6] * y + m[10] * z + m[14], m[3] * x + m[7] * y + m[11] * z + m[15]};
}

Clip lerp(const Clip& a, const Clip& b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t};
}

// One visible stretch of an edge, in picture coordinates; node is the corner it ends at, or kNone where it
// ends inside the edge.
struct Piece {
  LinePoint end[2];
  int node[2];
  LineKind kind;
};

double distance(const LinePoint& a, const LinePoint& b) {
  return std::hypot(double{a.x} - b.x, double{a.y} - b.y);
}

// What one view needs to project and test points.
class ViewSampler {
 public:
  ViewSampler(const LineView& view, const float* depth) : view_(view), depth_(depth) {
    multiply(view.projection, view.modelview, mvp_);
    for (int i = 0; i < 16; ++i) {
      projection_[i] = view.projection[i];
      modelview_[i] = view.modelview[i];
    }
  }

  Clip clipOf(const ModelVertex& v) const { return transform(mvp_, v.x, v.y, v.z); }

  // Window coordinates (y up, depth in [0, 1]) of a point inside the near plane.
  Point3 windowOf(const Clip& c) const {
    return {(c.x / c.w * 0.5 + 0.5) * view_.width, (c.y / c.w * 0.5 + 0.5) * view_.height,
            c.z / c.w * 0.5 + 0.5};
  }

  static bool beforeNear(const Clip& c) { return c.z + c.w >= 0.0 && c.w > 0.0; }

  // How much window depth changes per pixel across the face, at most kSteepestSlope faces at 45 degrees.
  double slopeOf(const Model& model, int face, double steepest) const {
    Point3 p[3];
    for (int k = 0; k < 3; ++k) {
      const Clip c = clipOf(model.vertices[model.faces[face].vertexIndex[k]]);
      if (!beforeNear(c)) {
        return steepest;
      }
      p[k] = windowOf(c);
    }
    const double ax = p[1].x - p[0].x, ay = p[1].y - p[0].y, az = p[1].z - p[0].z;
    const double bx = p[2].x - p[0].x, by = p[2].y - p[0].y, bz = p[2].z - p[0].z;
    const double area = ax * by - bx * ay;
    const double gx = az * by - bz * ay, gy = ax * bz - bx * az;
    const double slope = std::hypot(gx, gy) / std::abs(area);
    return std::isfinite(slope) ? std::min(slope, steepest) : steepest;
  }

  // The depth slope per pixel of a face at 45 degrees to the eye's ray at point, times kSteepestSlope.
  double steepestAt(double x, double y, double z) const {
    const Clip eye = transform(modelview_, x, y, z);
    const double step = std::max(1e-6, 1e-3 * std::abs(eye.z));
    const Clip here = transform(projection_, eye.x, eye.y, eye.z);
    const Clip aside = transform(projection_, eye.x + step, eye.y, eye.z);
    const Clip behind = transform(projection_, eye.x, eye.y, eye.z - step);
    if (!beforeNear(here) || !beforeNear(aside) || !beforeNear(behind)) {
      return 1.0;
    }
    const Point3 h = windowOf(here), a = windowOf(aside), b = windowOf(behind);
    const double pixels = std::hypot(a.x - h.x, a.y - h.y);
    const double slope = kSteepestSlope * std::abs(b.z - h.z) / pixels;
    return std::isfinite(slope) ? slope : 1.0;
  }

  // Whether a point at window (x, y, z) is not behind the depth picture by more than tolerance. Contours run
  // where the surface turns away, so the farthest depth of the pixel and its eight neighbours is the
  // reference: one of them shows what lies beyond the contour.
  bool visibleAt(double x, double y, double z, double tolerance, bool contour) const {
    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
    if (px < 0 || py < 0 || px >= view_.width || py >= view_.height) {
      return false;
    }
    double reference = depth_[static_cast<size_t>(py) * view_.width + px];
    if (contour) {
      for (int j = std::max(py - 1, 0); j <= std::min(py + 1, view_.height - 1); ++j) {
        for (int i = std::max(px - 1, 0); i <= std::min(px + 1, view_.width - 1); ++i) {
          reference = std::max(reference, double{depth_[static_cast<size_t>(j) * view_.width + i]});
        }
      }
    }
    return z <= reference + tolerance;
  }

  int height() const { return view_.height; }

 private:
  const LineView& view_;
  const float* depth_;
  double mvp_[16];
  double projection_[16];
  double modelview_[16];
};

// Which two ends of pieces meeting at one corner continue each other: every pair when few meet, else each
// end with the one most nearly opposite it; the straightest pairs first.
void pairAtCorner(const std::vector<Piece>& pieces, const int* ends, size_t count,
                  std::vector<int>& partner) {
  if (count == 2) {
    if (ends[0] / 2 != ends[1] / 2) {
      partner[ends[0]] = ends[1];
      partner[ends[1]] = ends[0];
    }
    return;
  }
  struct Out {
    double angle;
    int end;
  };
  std::vector<Out> outs;
  for (size_t i = 0; i < count; ++i) {
    const Piece& piece = pieces[ends[i] / 2];
    const LinePoint& from = piece.end[ends[i] % 2];
    const LinePoint& to = piece.end[1 - ends[i] % 2];
    outs.push_back({std::atan2(double{to.y} - from.y, double{to.x} - from.x), ends[i]});
  }
  // How far from straight the line turns when it comes in along one end and leaves along the other.
  auto turn = [](const Out& a, const Out& b) {
    const double bend = std::abs(std::remainder(a.angle - b.angle, 2.0 * std::numbers::pi));
    return std::numbers::pi - bend;
  };
  struct Pair {
    double turn;
    int a, b;
  };
  std::vector<Pair> pairs;
  auto consider = [&](const Out& a, const Out& b) {
    if (a.end / 2 != b.end / 2) {
      pairs.push_back({turn(a, b), a.end, b.end});
    }
  };
  constexpr size_t kAllPairs = 8;
  if (count <= kAllPairs) {
    for (size_t i = 0; i < count; ++i) {
      for (size_t j = i + 1; j < count; ++j) {
        consider(outs[i], outs[j]);
      }
    }
  } else {
    std::sort(outs.begin(), outs.end(), [](const Out& a, const Out& b) { return a.angle < b.angle; });
    for (const Out& out : outs) {
      const double opposite = out.angle > 0.0 ? out.angle - std::numbers::pi : out.angle + std::numbers::pi;
      auto at = std::lower_bound(outs.begin(), outs.end(), opposite,
                                 [](const Out& o, double angle) { return o.angle < angle; });
      consider(out, at == outs.end() ? outs.front() : *at);
      consider(out, at == outs.begin() ? outs.back() : *(at - 1));
    }
  }
  std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.turn < b.turn; });
  for (const Pair& pair : pairs) {
    if (partner[pair.a] == kNone && partner[pair.b] == kNone) {
      partner[pair.a] = pair.b;
      partner[pair.b] = pair.a;
    }
  }
}

// Joins the ends of pieces of one kind that meet at a corner, then the ends still free that lie less than
// a gap apart, nearest first. partner[end] is the end that continues it, or kNone.
std::vector<int> linkEnds(const std::vector<Piece>& pieces) {
  std::vector<int> partner(pieces.size() * 2, kNone);
  std::vector<std::pair<uint64_t, int>> atCorner;
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (int k = 0; k < 2; ++k) {
      if (pieces[i].node[k] != kNone) {
        const uint64_t key =
            uint64_t(static_cast<uint32_t>(pieces[i].node[k])) << 8 | static_cast<uint8_t>(pieces[i].kind);
        atCorner.push_back({key, static_cast<int>(2 * i + k)});
      }
    }
  }
  std::sort(atCorner.begin(), atCorner.end());
  std::vector<int> group;
  for (size_t i = 0; i < atCorner.size();) {
    size_t next = i;
    group.clear();
    while (next < atCorner.size() && atCorner[next].first == atCorner[i].first) {
      group.push_back(atCorner[next++].second);
    }
    if (group.size() >= 2) {
      pairAtCorner(pieces, group.data(), group.size(), partner);
    }
    i = next;
  }

  // Free ends filed by the pixel they lie in; a gap shorter than a pixel spans neighbouring pixels at most.
  auto cellOf = [](const LinePoint& p) {
    return std::pair<int64_t, int64_t>(static_cast<int64_t>(std::floor(p.x)),
                                       static_cast<int64_t>(std::floor(p.y)));
  };
  auto keyOf = [](int64_t cx, int64_t cy) {
    return uint64_t(cx + (1 << 30)) << 32 | uint64_t(cy + (1 << 30));
  };
  std::vector<std::pair<uint64_t, int>> free;
  for (size_t end = 0; end < partner.size(); ++end) {
    if (partner[end] == kNone) {
      const auto [cx, cy] = cellOf(pieces[end / 2].end[end % 2]);
      free.push_back({keyOf(cx, cy), static_cast<int>(end)});
    }
  }
  std::sort(free.begin(), free.end());
  struct Gap {
    double length;
    int a, b;
  };
  std::vector<Gap> gaps;
  for (const auto& [key, end] : free) {
    const Piece& piece = pieces[end / 2];
    const LinePoint& point = piece.end[end % 2];
    const auto [cx, cy] = cellOf(point);
    for (int64_t dy = -1; dy <= 1; ++dy) {
      for (int64_t dx = -1; dx <= 1; ++dx) {
        const uint64_t near = keyOf(cx + dx, cy + dy);
        auto at = std::lower_bound(free.begin(), free.end(), std::pair<uint64_t, int>(near, 0));
        for (size_t seen = 0; at != free.end() && at->first == near && seen < kCrowd; ++at, ++seen) {
          const int other = at->second;
          const Piece& otherPiece = pieces[other / 2];
          const double length = distance(point, otherPiece.end[other % 2]);
          if (other > end && other / 2 != end / 2 && otherPiece.kind == piece.kind && length < kGapPixels) {
            gaps.push_back({length, end, other});
          }
        }
      }
    }
  }
  std::sort(gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.length < b.length; });
  for (const Gap& gap : gaps) {
    if (partner[gap.a] == kNone && partner[gap.b] == kNone) {
      partner[gap.a] = gap.b;
      partner[gap.b] = gap.a;
    }
  }
  return partner;
}

void appendPoint(std::vector<LinePoint>& points, const LinePoint& p) {
  if (points.empty() || points.back().x != p.x || points.back().y != p.y) {
    points.push_back(p);
  }
}

// Follows the links from piece to piece into chains, each a polyline.
std::vector<Polyline> chain(const std::vector<Piece>& pieces, const std::vector<int>& partner) {
  std::vector<Polyline> chains;
  std::vector<bool> taken(pieces.size(), false);
  std::vector<LinePoint> behind;
  for (size_t start = 0; start < pieces.size(); ++start) {
    if (taken[start]) {
      continue;
    }
    taken[start] = true;
    Polyline line;
    line.kind = pieces[start].kind;
    line.points = {pieces[start].end[0]};
    appendPoint(line.points, pieces[start].end[1]);
    for (int out = static_cast<int>(2 * start + 1); partner[out] != kNone;) {
      const int in = partner[out];
      if (in / 2 == static_cast<int>(start)) {
        line.closed = true;
        break;
      }
      taken[in / 2] = true;
      appendPoint(line.points, pieces[in / 2].end[1 - in % 2]);
      out = in ^ 1;
    }
    behind.clear();
    for (int out = static_cast<int>(2 * start); !line.closed && partner[out] != kNone;) {
      const int in = partner[out];
      taken[in / 2] = true;
      behind.push_back(pieces[in / 2].end[1 - in % 2]);
      out = in ^ 1;
    }
    if (!behind.empty()) {
      std::vector<LinePoint> points;
      for (auto p = behind.rbegin(); p != behind.rend(); ++p) {
        appendPoint(points, *p);
      }
      for (const LinePoint& p : line.points) {
        appendPoint(points, p);
      }
      line.points = std::move(points);
    }
    if (line.closed && line.points.size() > 1 && line.points.back().x == line.points.front().x &&
        line.points.back().y == line.points.front().y) {
      line.points.pop_back();
    }
    line.closed = line.closed && line.points.size() >= 3;
    double length = 0.0;
    for (size_t i = 1; i < line.points.size(); ++i) {
      length += distance(line.points[i - 1], line.points[i]);
    }
    if (line.points.size() >= 2 && length >= kShortestLine) {
      chains.push_back(std::move(line));
    }
  }
  return chains;
}

// The chains in the order a pen would draw them, each starting at the free end nearest to where the last
// one stopped: chain ends filed in a grid over the picture, searched ring by ring outwards. The search is
// bounded, so that no crowd of chains makes it slow: a few rings, a few ends a cell; beyond them the pen
// goes on to the first chain left in the grid's row order.
std::vector<Polyline> orderForPen(std::vector<Polyline> chains, double width, double height) {
  const size_t count = chains.size();
  const int side = static_cast<int>(std::clamp(std::ceil(std::sqrt(double(count))), 1.0, 512.0));
  const double cellWidth = std::max(width, 1.0) / side, cellHeight = std::max(height, 1.0) / side;
  auto cellOf = [&](const LinePoint& p, int& cx, int& cy) {
    cx = std::clamp(static_cast<int>(std::floor(p.x / cellWidth)), 0, side - 1);
    cy = std::clamp(static_cast<int>(std::floor(p.y / cellHeight)), 0, side - 1);
  };
  std::vector<std::vector<int>> cells(static_cast<size_t>(side) * side);
  for (size_t i = 0; i < count; ++i) {
    const int ends = chains[i].closed ? 1 : 2;
    for (int k = 0; k < ends; ++k) {
      int cx, cy;
      cellOf(k == 0 ? chains[i].points.front() : chains[i].points.back(), cx, cy);
      cells[static_cast<size_t>(cy) * side + cx].push_back(static_cast<int>(2 * i + k));
    }
  }
  std::vector<int> rowOrder;
  for (const std::vector<int>& cell : cells) {
    rowOrder.insert(rowOrder.end(), cell.begin(), cell.end());
  }
  constexpr int kRings = 6;
  size_t firstLeft = 0;
  std::vector<bool> used(count, false);
  std::vector<Polyline> ordered;
  ordered.reserve(count);
  LinePoint pen{0.0f, 0.0f};
  for (size_t n = 0; n < count; ++n) {
    int px, py;
    cellOf(pen, px, py);
    int best = kNone;
    double bestDistance = 0.0;
    for (int ring = 0; ring <= std::min(side, kRings); ++ring) {
      if (best != kNone && bestDistance <= (ring - 1) * std::min(cellWidth, cellHeight)) {
        break;
      }
      for (int cy = py - ring; cy <= py + ring; ++cy) {
        for (int cx = px - ring; cx <= px + ring; ++cx) {
          const bool onRing = std::max(std::abs(cx - px), std::abs(cy - py)) == ring;
          if (!onRing || cx < 0 || cy < 0 || cx >= side || cy >= side) {
            continue;
          }
          std::vector<int>& cell = cells[static_cast<size_t>(cy) * side + cx];
          for (size_t i = 0; i < cell.size() && i < kCrowd;) {
            const int end = cell[i];
            if (used[end / 2]) {
              cell[i] = cell.back();
              cell.pop_back();
              continue;
            }
            const Polyline& line = chains[end / 2];
            const double d = distance(pen, end % 2 == 0 ? line.points.front() : line.points.back());
            if (best == kNone || d < bestDistance) {
              best = end;
              bestDistance = d;
            }
            ++i;
          }
        }
      }
    }
    while (best == kNone) {
      const int end = rowOrder[firstLeft++];
      best = used[end / 2] ? kNone : end;
    }
    Polyline& next = chains[best / 2];
    used[best / 2] = true;
    if (best % 2 == 1) {
      std::reverse(next.points.begin(), next.points.end());
    }
    pen = next.points.back();
    ordered.push_back(std::move(next));
  }
  return ordered;
}

}  // namespace

struct VisibleLineFinder::Edge {
  int corner[2];  // the first vertex at each end's position, the lower first
  int face[2];    // face[1] is kNone unless exactly two faces meet here
  bool sameWay;   // both faces run along it the same way: one of them is flipped
  uint8_t kind;   // the LineKind it is drawn as besides contours (crease or border), or kNoKind
  uint8_t sides;  // how many faces meet here, 3 for three or more
};

VisibleLineFinder::VisibleLineFinder(const Model& model, const CreaseEdges* creases) : model_(model) {
  if (model.faceCount <= 0 || model.vertexCount <= 0) {
    ok_ = true;
    return;
  }
  try {
    const size_t faceCount = static_cast<size_t>(model.faceCount);
    std::vector<int> first(static_cast<size_t>(model.vertexCount));
    if (!joinVerticesByPosition(model, first.data())) {
      return;
    }
    normals_.resize(faceCount);
    offsets_.resize(faceCount);
    std::vector<std::pair<uint64_t, int>> sides;
    sides.reserve(3 * faceCount);
    auto corner = [&](int side, int step) {
      return first[model.faces[side / 3].vertexIndex[(side % 3 + step) % 3]];
    };
    for (size_t f = 0; f < faceCount; ++f) {
      const int* index = model.faces[f].vertexIndex;
      const ModelVertex &v0 = model.vertices[index[0]], &v1 = model.vertices[index[1]],
                        &v2 = model.vertices[index[2]];
      const Vec3 p0{v0.x, v0.y, v0.z};
      Vec3 n = faceNormal(p0, {v1.x, v1.y, v1.z}, {v2.x, v2.y, v2.z});
      const int c0 = first[index[0]], c1 = first[index[1]], c2 = first[index[2]];
      const bool flat = c0 == c1 || c1 == c2 || c2 == c0 || (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) ||
                        !std::isfinite(n.x + n.y + n.z);
      normals_[f] = flat ? Vec3{0.0f, 0.0f, 0.0f} : n;
      offsets_[f] = flat ? 0.0f : n.x * p0.x + n.y * p0.y + n.z * p0.z;
      // A face of no area shows nothing and bounds nothing, as in the crease finder.
      if (flat) {
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        const int side = static_cast<int>(3 * f + k);
        const int a = corner(side, 0), b = corner(side, 1);
        sides.push_back({uint64_t(std::min(a, b)) << 32 | uint32_t(std::max(a, b)), side});
      }
    }
    std::sort(sides.begin(), sides.end());
    std::vector<int> edgeOfSide(3 * faceCount, kNone);
    for (size_t i = 0; i < sides.size();) {
      size_t next = i + 1;
      while (next < sides.size() && sides[next].first == sides[i].first) {
        ++next;
      }
      const int s0 = sides[i].second;
      Edge edge{{static_cast<int>(sides[i].first >> 32), static_cast<int>(sides[i].first & 0xffffffffu)},
                {s0 / 3, kNone},
                false,
                kNoKind,
                0};
      if (next - i == 2) {
        const int s1 = sides[i + 1].second;
        edge.face[1] = s1 / 3;
        edge.sameWay = corner(s0, 0) == corner(s1, 0);
      }
      for (size_t s = i; s < next; ++s) {
        edgeOfSide[sides[s].second] = static_cast<int>(edges_.size());
      }
      edge.sides = static_cast<uint8_t>(std::min<size_t>(next - i, 3));
      edges_.push_back(edge);
      i = next;
    }
    for (int i = 0; creases && i < creases->faceCount; ++i) {
      const CreaseFace& face = creases->faces[i];
      for (int k = 0; k < 3; ++k) {
        const int e = (face.edgeMask >> k & 1) ? edgeOfSide[3 * static_cast<size_t>(face.face) + k] : kNone;
        if (e != kNone) {
          edges_[e].kind = static_cast<uint8_t>(edges_[e].sides == 1 ? LineKind::Border : LineKind::Crease);
        }
      }
    }
    ok_ = true;
  } catch (const std::bad_alloc&) {
    edges_.clear();
    ok_ = false;
  }
}

VisibleLineFinder::~VisibleLineFinder() = default;

namespace {

// Cuts the segment a-b (clip coordinates) to the near plane; at[k] says whether end k is still the corner.
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
  return ViewSampler::beforeNear(a) && ViewSampler::beforeNear(b);
}

// Cuts the window segment a-b to the picture and a pixel around it, so that no edge is sampled beyond what
// the picture holds; at[k] says whether end k is still the corner.
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

// The visible stretches of one edge from window point a to b, sampled at sub-pixel steps; a break no longer
// than a gap is taken as seen.
void sampleEdge(const ViewSampler& sampler, const Point3& a, const Point3& b, const int node[2],
                LineKind kind, double tolerance, std::vector<Piece>& pieces) {
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  if (!std::isfinite(length)) {
    return;
  }
  const bool contour = kind == LineKind::Contour;
  const int steps = static_cast<int>(std::min(std::ceil(length * kSamplesPerPixel), 1e6)) + 1;
  auto pointAt = [&](int i) {
    const double t = double(i) / steps;
    return Point3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
  };
  auto seen = [&](int i) {
    const Point3 p = pointAt(i);
    return sampler.visibleAt(p.x, p.y, p.z, tolerance, contour);
  };
  const int maxGapSteps =
      static_cast<int>(std::min(kGapPixels * steps / std::max(length, 1e-9), double(steps)));
  const float height = static_cast<float>(sampler.height());
  auto emit = [&](int from, int to) {
    const Point3 p = pointAt(from), q = pointAt(to);
    pieces.push_back({{{static_cast<float>(p.x), height - static_cast<float>(p.y)},
                       {static_cast<float>(q.x), height - static_cast<float>(q.y)}},
                      {from == 0 ? node[0] : kNone, to == steps ? node[1] : kNone},
                      kind});
  };
  int runStart = kNone, lastSeen = kNone;
  for (int i = 0; i <= steps; ++i) {
    if (!seen(i)) {
      continue;
    }
    if (runStart != kNone && i - lastSeen - 1 > maxGapSteps) {
      if (lastSeen > runStart) {
        emit(runStart, lastSeen);
      }
      runStart = kNone;
    }
    if (runStart == kNone) {
      runStart = i;
    }
    lastSeen = i;
  }
  if (runStart != kNone && lastSeen > runStart) {
    emit(runStart, lastSeen);
  }
}

}  // namespace

std::vector<Polyline> VisibleLineFinder::find(const LineView& view, const float* depth) const {
  if (!ok_ || edges_.empty() || view.width <= 0 || view.height <= 0) {
    return {};
  }
  try {
    const ViewSampler sampler(view, depth);
    const size_t faceCount = static_cast<size_t>(model_.faceCount);
    // Which way each face turns, by the eye's position: the perspective view sees a face's side by where
    // the eye stands, not by the viewing direction.
    std::vector<uint8_t> towardEye(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
      const Vec3& n = normals_[f];
      towardEye[f] = n.x * view.eye.x + n.y * view.eye.y + n.z * view.eye.z > offsets_[f];
    }
    std::vector<Piece> pieces;
    for (const Edge& edge : edges_) {
      const bool contour =
          edge.sides == 2 && (towardEye[edge.face[0]] != towardEye[edge.face[1]]) != edge.sameWay;
      if (!contour && edge.kind == kNoKind) {
        continue;
      }
      const ModelVertex &va = model_.vertices[edge.corner[0]], &vb = model_.vertices[edge.corner[1]];
      Clip ca = sampler.clipOf(va), cb = sampler.clipOf(vb);
      bool atCorner[2] = {true, true};
      if (!clipToNear(ca, cb, atCorner)) {
        continue;
      }
      const double steepest = sampler.steepestAt((double{va.x} + vb.x) * 0.5, (double{va.y} + vb.y) * 0.5,
                                                 (double{va.z} + vb.z) * 0.5);
      double slope = sampler.slopeOf(model_, edge.face[0], steepest);
      if (edge.face[1] != kNone) {
        slope = std::max(slope, sampler.slopeOf(model_, edge.face[1], steepest));
      }
      Point3 a = sampler.windowOf(ca), b = sampler.windowOf(cb);
      if (!clipToPicture(a, b, view.width, view.height, atCorner)) {
        continue;
      }
      const int node[2] = {atCorner[0] ? edge.corner[0] : kNone, atCorner[1] ? edge.corner[1] : kNone};
      sampleEdge(sampler, a, b, node, contour ? LineKind::Contour : static_cast<LineKind>(edge.kind),
                 slope * kTolerancePixels + kDepthRounding, pieces);
    }
    return orderForPen(chain(pieces, linkEnds(pieces)), view.width, view.height);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

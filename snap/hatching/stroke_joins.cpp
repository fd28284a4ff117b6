// Facing ends found pair by pair, nearest first, and the strokes walked into chains.
#include "stroke_joins.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Ends at most this share of the finer stroke's separation apart (plus a pixel) are joined: a streamline
// stops half a separation short of another.
constexpr double kGapShare = 0.6;
// Each end's direction, and the strokes' own, within 25 degrees of the line between the ends.
constexpr double kLeastCosine = 0.9;
// An end's direction is taken over this many pixels of its stroke.
constexpr double kEndLength = 3.0;

struct End {
  LinePoint at;
  double dx, dy;  // unit, pointing out of the stroke
};

End endOf(const std::vector<LinePoint>& points, bool last) {
  const LinePoint at = last ? points.back() : points.front();
  LinePoint inner = at;
  double length = 0.0;
  for (size_t i = 1; i < points.size() && length < kEndLength; ++i) {
    const LinePoint& p = points[last ? points.size() - 1 - i : i];
    length = std::hypot(p.x - at.x, p.y - at.y);
    inner = p;
  }
  const double norm = std::max(length, 1e-9);
  return {at, (at.x - inner.x) / norm, (at.y - inner.y) / norm};
}

bool passable(const GapRule& gap, const LinePoint& a, const LinePoint& b, int tone) {
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  const int steps = static_cast<int>(std::ceil(2.0 * length)) + 1;
  for (int k = 0; k <= steps; ++k) {
    const double t = static_cast<double>(k) / steps;
    const int x = static_cast<int>(a.x + t * (b.x - a.x)), y = static_cast<int>(a.y + t * (b.y - a.y));
    if (x < 0 || y < 0 || x >= gap.width || y >= gap.height) {
      return false;
    }
    const size_t pixel = static_cast<size_t>(y) * static_cast<size_t>(gap.width) + static_cast<size_t>(x);
    if (!(*gap.clear)[pixel] || (*gap.tones)[pixel] < tone) {
      return false;
    }
  }
  return true;
}

bool facing(const End& a, const End& b) {
  const double gx = b.at.x - a.at.x, gy = b.at.y - a.at.y, length = std::hypot(gx, gy);
  if (-(a.dx * b.dx + a.dy * b.dy) < kLeastCosine) {
    return false;
  }
  return length < 0.5 || ((a.dx * gx + a.dy * gy) / length >= kLeastCosine &&
                          -(b.dx * gx + b.dy * gy) / length >= kLeastCosine);
}

struct Join {
  double gap;
  size_t a, b;  // ends: 2 x stroke for its first point, + 1 for its last
};

size_t rootOf(std::vector<size_t>& parent, size_t i) {
  while (parent[i] != i) {
    i = parent[i] = parent[parent[i]];
  }
  return i;
}

}  // namespace

std::vector<std::vector<LinePoint>> joinFacingEnds(const std::vector<TracedStroke>& strokes,
                                                   const GapRule& gap) {
  std::vector<End> ends;
  for (const TracedStroke& s : strokes) {
    ends.push_back(endOf(s.points, false));
    ends.push_back(endOf(s.points, true));
  }
  // The ends by x, so that each meets only those within reach across.
  double widest = 0.0;
  for (const TracedStroke& s : strokes) {
    widest = std::max(widest, s.separation);
  }
  const double reach = kGapShare * widest + 1.0;
  std::vector<size_t> byX(ends.size());
  std::iota(byX.begin(), byX.end(), size_t{0});
  std::sort(byX.begin(), byX.end(), [&ends](size_t i, size_t j) { return ends[i].at.x < ends[j].at.x; });
  std::vector<Join> joins;
  for (size_t i = 0; i < byX.size(); ++i) {
    for (size_t k = i + 1; k < byX.size() && ends[byX[k]].at.x - ends[byX[i]].at.x <= reach; ++k) {
      const size_t a = byX[i], b = byX[k];
      const TracedStroke &sa = strokes[a / 2], &sb = strokes[b / 2];
      const double distance = std::hypot(ends[b].at.x - ends[a].at.x, ends[b].at.y - ends[a].at.y);
      if (a / 2 != b / 2 && distance <= kGapShare * std::min(sa.separation, sb.separation) + 1.0 &&
          facing(ends[a], ends[b]) &&
          passable(gap, ends[a].at, ends[b].at, std::max(sa.lightestTone, sb.lightestTone))) {
        joins.push_back({distance, a, b});
      }
    }
  }
  std::sort(joins.begin(), joins.end(), [](const Join& x, const Join& y) { return x.gap < y.gap; });
  // Each end's partner, and the strokes already in one chain.
  std::vector<size_t> partner(ends.size(), ends.size()), parent(strokes.size());
  std::iota(parent.begin(), parent.end(), size_t{0});
  for (const Join& j : joins) {
    const size_t ra = rootOf(parent, j.a / 2), rb = rootOf(parent, j.b / 2);
    if (partner[j.a] == ends.size() && partner[j.b] == ends.size() && ra != rb) {
      partner[j.a] = j.b;
      partner[j.b] = j.a;
      parent[ra] = rb;
    }
  }
  // Each chain walked from a stroke whose first or last end is free, in through that end.
  std::vector<std::vector<LinePoint>> chains;
  std::vector<bool> taken(strokes.size(), false);
  for (size_t start = 0; start < strokes.size(); ++start) {
    for (const size_t freeEnd : {2 * start, 2 * start + 1}) {
      if (taken[start] || partner[freeEnd] != ends.size()) {
        continue;
      }
      std::vector<LinePoint> chain;
      for (size_t in = freeEnd; in != ends.size();) {
        const size_t stroke = in / 2;
        const std::vector<LinePoint>& points = strokes[stroke].points;
        taken[stroke] = true;
        if (in % 2 == 0) {
          chain.insert(chain.end(), points.begin(), points.end());
        } else {
          chain.insert(chain.end(), points.rbegin(), points.rend());
        }
        const size_t out = in ^ 1;
        in = partner[out] == ends.size() ? ends.size() : partner[out];
      }
      chains.push_back(std::move(chain));
    }
  }
  return chains;
}

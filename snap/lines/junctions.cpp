// Clean junctions: a chain that ends where it runs into another line ends on that line, neither past it
// (the depth test's tolerance and the sampling let a line that goes behind a surface show for a pixel or
// two beyond the contour that hides it) nor short of it, nor alongside it (where a fold meets the outline
// near a cusp, both run together for a few pixels: a pen would ink that twice).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "line_parts.h"

namespace {

// An end is cut back to the nearest line it crosses within this many pixels of it.
constexpr double kSpurPixels = 8.0;
// An end that runs within this many pixels of another line for at least kLeastAlong pixels is cut back to
// where it leaves it; shorter runs are how any line ends on another.
constexpr double kAlongPixels = 1.0;
constexpr double kLeastAlong = 2.0;
// Steps along a chain when finding how far its end runs along another line.
constexpr double kAlongStep = 0.5;
// An end this close (pixels) to a line it meets lies on it already.
constexpr double kOnLine = 0.01;
// A chain left shorter than the line's width, and than this (pixels), is a dot.
constexpr double kLongestDot = 5.0;
// Grid cells this wide (pixels) file the segments; each end looks at the cells its stretch or reach covers.
constexpr double kCellPixels = 16.0;
// However crowded a cell, at most this many segments of it are looked at for one end.
constexpr size_t kCrowd = 256;

struct Point {
  double x, y;
};

Point pointOf(const LinePoint& p) {
  return {p.x, p.y};
}

struct SegmentRef {
  int chain;
  int index;  // from points[index] to points[index + 1], or to points[0] for a closed chain's last
};

// Where a-b crosses c-d: t along a-b and u along c-d, both in [0, 1]. False for parallel or missing segments.
bool intersect(const Point& a, const Point& b, const Point& c, const Point& d, double& t, double& u) {
  const double rx = b.x - a.x, ry = b.y - a.y, sx = d.x - c.x, sy = d.y - c.y;
  const double den = rx * sy - ry * sx;
  if (den == 0.0) {
    return false;
  }
  const double qx = c.x - a.x, qy = c.y - a.y;
  t = (qx * sy - qy * sx) / den;
  u = (qx * ry - qy * rx) / den;
  return t >= 0.0 && t <= 1.0 && u >= 0.0 && u <= 1.0;
}

class SegmentGrid {
 public:
  explicit SegmentGrid(const std::vector<Polyline>& chains) : chains_(chains) {
    for (size_t c = 0; c < chains.size(); ++c) {
      for (int i = 0; i < segmentCount(chains[c]); ++i) {
        const Point a = start(c, i), b = finish(c, i);
        forCells(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y),
                 [&](uint64_t key) {
                   cells_[key].push_back({static_cast<int>(c), i});
                 });
      }
    }
  }

  static int segmentCount(const Polyline& line) {
    const int points = static_cast<int>(line.points.size());
    return line.closed ? points : points - 1;
  }
  Point start(size_t chain, int i) const { return pointOf(chains_[chain].points[static_cast<size_t>(i)]); }
  Point finish(size_t chain, int i) const {
    const auto& points = chains_[chain].points;
    return pointOf(points[(static_cast<size_t>(i) + 1) % points.size()]);
  }

  // Calls visit(segment) for the segments filed in the cells the box touches, each at most once a cell.
  template <typename Visit>
  void near(double x0, double y0, double x1, double y1, Visit&& visit) const {
    forCells(x0, y0, x1, y1, [&](uint64_t key) {
      const auto found = cells_.find(key);
      if (found != cells_.end()) {
        for (size_t i = 0; i < found->second.size() && i < kCrowd; ++i) {
          visit(found->second[i]);
        }
      }
    });
  }

 private:
  template <typename Visit>
  static void forCells(double x0, double y0, double x1, double y1, Visit&& visit) {
    const auto cell = [](double v) {
      return static_cast<int64_t>(std::floor(std::clamp(v, -1e6, 1e6) / kCellPixels));
    };
    // A segment far longer than the grid is filed in at most a few hundred cells of each direction.
    const int64_t cx1 = std::min(cell(x1), cell(x0) + 256), cy1 = std::min(cell(y1), cell(y0) + 256);
    for (int64_t cy = cell(y0); cy <= cy1; ++cy) {
      for (int64_t cx = cell(x0); cx <= cx1; ++cx) {
        visit(static_cast<uint64_t>(cx + (1 << 30)) << 32 | static_cast<uint64_t>(cy + (1 << 30)));
      }
    }
  }

  const std::vector<Polyline>& chains_;
  std::unordered_map<uint64_t, std::vector<SegmentRef>> cells_;
};

// What becomes of one end of a chain: cut back to a point on segment index (the end's own first point
// counted as 0), or carried on to a point; or left.
struct EndChange {
  enum { Keep, Cut, Extend } what = Keep;
  int segment = 0;  // for Cut: how many of the end's segments, counted from the end, go
  Point to{0, 0};
};

// The end of chain at its back (or front) looked at: the nearest crossing with another line within
// kSpurPixels of it, else the nearest line straight ahead within reach.
EndChange changeOf(const SegmentGrid& grid, const std::vector<Polyline>& chains, size_t chain, bool back,
                   double reach) {
  const std::vector<LinePoint>& points = chains[chain].points;
  const int count = static_cast<int>(points.size());
  auto at = [&](int fromEnd) {
    return pointOf(points[static_cast<size_t>(back ? count - 1 - fromEnd : fromEnd)]);
  };
  // The segments of the chain's own end stretch, which the search leaves out of the chain's other segments.
  auto ownStretch = [&](const SegmentRef& s, int last) {
    if (s.chain != static_cast<int>(chain)) {
      return false;
    }
    const int fromEnd = back ? count - 2 - s.index : s.index;
    return fromEnd >= -1 && fromEnd <= last + 1;
  };
  EndChange change;
  double walked = 0.0;
  for (int i = 0; i + 1 < count && walked < kSpurPixels; ++i) {
    const Point a = at(i), b = at(i + 1);
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    double nearest = 2.0;
    grid.near(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y),
              [&](const SegmentRef& s) {
                double t, u;
                if (!ownStretch(s, i) &&
                    intersect(a, b, grid.start(static_cast<size_t>(s.chain), s.index),
                              grid.finish(static_cast<size_t>(s.chain), s.index), t, u) &&
                    t < nearest && walked + t * length <= kSpurPixels && walked + t * length > kOnLine) {
                  nearest = t;
                }
              });
    if (nearest <= 1.0) {
      change.what = EndChange::Cut;
      change.segment = i;
      change.to = {a.x + (b.x - a.x) * nearest, a.y + (b.y - a.y) * nearest};
      return change;
    }
    walked += length;
  }
  // Straight on from the end, along its last segment.
  const Point end = at(0), before = at(1);
  const double length = std::hypot(end.x - before.x, end.y - before.y);
  if (!(length > 0.0) || !(reach > 0.0)) {
    return change;
  }
  const Point ahead{end.x + (end.x - before.x) / length * reach, end.y + (end.y - before.y) / length * reach};
  double nearest = 2.0;
  grid.near(std::min(end.x, ahead.x), std::min(end.y, ahead.y), std::max(end.x, ahead.x),
            std::max(end.y, ahead.y), [&](const SegmentRef& s) {
              double t, u;
              if (!ownStretch(s, 0) &&
                  intersect(end, ahead, grid.start(static_cast<size_t>(s.chain), s.index),
                            grid.finish(static_cast<size_t>(s.chain), s.index), t, u) &&
                  t < nearest) {
                nearest = t;
              }
            });
  if (nearest <= 1.0 && nearest * reach > kOnLine) {
    change.what = EndChange::Extend;
    change.to = {end.x + (ahead.x - end.x) * nearest, end.y + (ahead.y - end.y) * nearest};
  }
  return change;
}

void apply(Polyline& line, bool back, const EndChange& change) {
  std::vector<LinePoint>& points = line.points;
  const LinePoint to{static_cast<float>(change.to.x), static_cast<float>(change.to.y)};
  if (change.what == EndChange::Extend) {
    points.insert(back ? points.end() : points.begin(), to);
    return;
  }
  // Cut: the end's first change.segment segments go, and the next one ends at the crossing.
  const size_t drop = static_cast<size_t>(change.segment) + 1;
  if (back) {
    points.resize(points.size() - drop);
    points.push_back(to);
  } else {
    points.erase(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(drop));
    points.insert(points.begin(), to);
  }
}

// Arc length from a chain's first point to each of its points.
std::vector<double> arcsOf(const Polyline& line) {
  std::vector<double> arcs(line.points.size(), 0.0);
  for (size_t i = 1; i < line.points.size(); ++i) {
    arcs[i] = arcs[i - 1] + std::hypot(double{line.points[i].x} - line.points[i - 1].x,
                                       double{line.points[i].y} - line.points[i - 1].y);
  }
  return arcs;
}

// The point arc along a chain, and the segment it lies on.
Point pointAt(const Polyline& line, const std::vector<double>& arcs, double arc, size_t& segment) {
  segment = static_cast<size_t>(std::upper_bound(arcs.begin(), arcs.end(), arc) - arcs.begin());
  segment = std::clamp<size_t>(segment, 1, arcs.size() - 1) - 1;
  const double length = arcs[segment + 1] - arcs[segment];
  const double t = length > 0.0 ? std::clamp((arc - arcs[segment]) / length, 0.0, 1.0) : 0.0;
  const LinePoint &a = line.points[segment], &b = line.points[segment + 1];
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

// The part of each chain still kept, as arc lengths from its first point.
struct Kept {
  double from, to;
};

// How far from one end a chain runs within kAlongPixels of the kept parts of other chains.
double alongRun(const SegmentGrid& grid, const std::vector<Polyline>& chains,
                const std::vector<std::vector<double>>& arcs, const std::vector<Kept>& kept, size_t chain,
                bool back) {
  const double length = arcs[chain].back();
  double run = 0.0;
  for (double walked = 0.0; walked <= length; walked += kAlongStep) {
    size_t unused;
    const Point p = pointAt(chains[chain], arcs[chain], back ? length - walked : walked, unused);
    bool along = false;
    grid.near(p.x - kAlongPixels, p.y - kAlongPixels, p.x + kAlongPixels, p.y + kAlongPixels,
              [&](const SegmentRef& s) {
                const size_t other = static_cast<size_t>(s.chain);
                if (along || other == chain) {
                  return;
                }
                const Point a = grid.start(other, s.index), b = grid.finish(other, s.index);
                const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
                const double t = length2 > 0.0
                                     ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0)
                                     : 0.0;
                const std::vector<double>& otherArcs = arcs[other];
                const size_t next = (static_cast<size_t>(s.index) + 1) % otherArcs.size();
                const double arc = otherArcs[static_cast<size_t>(s.index)] +
                                   t * (next ? otherArcs[next] - otherArcs[static_cast<size_t>(s.index)]
                                             : std::sqrt(length2));
                along = std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy) <= kAlongPixels &&
                        (chains[other].closed || (arc >= kept[other].from && arc <= kept[other].to));
              });
    if (!along) {
      break;
    }
    run = walked;
  }
  return run;
}

// Cuts back every end that runs along another line, the shortest chains first, so that of two ends that run
// along each other only one goes; a chain that runs along others all the way goes whole. Returns the
// chains left.
std::vector<Polyline> trimAlong(std::vector<Polyline> chains) {
  const SegmentGrid grid(chains);
  std::vector<std::vector<double>> arcs;
  std::vector<Kept> kept;
  std::vector<size_t> order;
  for (size_t c = 0; c < chains.size(); ++c) {
    arcs.push_back(arcsOf(chains[c]));
    kept.push_back({0.0, arcs.back().back()});
    order.push_back(c);
  }
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return arcs[a].back() < arcs[b].back(); });
  for (const size_t c : order) {
    if (chains[c].closed || chains[c].points.size() < 2) {
      continue;
    }
    for (const bool back : {false, true}) {
      const double run = alongRun(grid, chains, arcs, kept, c, back);
      if (run >= kLeastAlong) {
        (back ? kept[c].to : kept[c].from) = back ? arcs[c].back() - run : run;
      }
    }
  }
  std::vector<Polyline> left;
  for (size_t c = 0; c < chains.size(); ++c) {
    const double full = arcs[c].back();
    if (chains[c].closed || (kept[c].from == 0.0 && kept[c].to == full)) {
      left.push_back(std::move(chains[c]));
    } else if (kept[c].to - kept[c].from > kAlongStep) {
      size_t first, last;
      const Point from = pointAt(chains[c], arcs[c], kept[c].from, first);
      const Point to = pointAt(chains[c], arcs[c], kept[c].to, last);
      Polyline part{chains[c].kind, false, chains[c].hidden, {}};
      part.points.push_back({static_cast<float>(from.x), static_cast<float>(from.y)});
      part.points.insert(part.points.end(), chains[c].points.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                         chains[c].points.begin() + static_cast<std::ptrdiff_t>(last) + 1);
      part.points.push_back({static_cast<float>(to.x), static_cast<float>(to.y)});
      left.push_back(std::move(part));
    }
  }
  return left;
}

// Where two ends of one kind that meet should join: where their last segments' lines cross, if that lies
// on or a little beyond both (a corner, or two ends that overshoot each other), else halfway between them.
Point joinPoint(const Point& a, const Point& aBefore, const Point& b, const Point& bBefore, double reach) {
  const double rx = a.x - aBefore.x, ry = a.y - aBefore.y, sx = b.x - bBefore.x, sy = b.y - bBefore.y;
  const double den = rx * sy - ry * sx;
  if (den != 0.0) {
    const double qx = bBefore.x - aBefore.x, qy = bBefore.y - aBefore.y;
    const double t = (qx * sy - qy * sx) / den, u = (qx * ry - qy * rx) / den;
    const Point x{aBefore.x + t * rx, aBefore.y + t * ry};
    if (t >= 0.0 && u >= 0.0 && std::hypot(x.x - a.x, x.y - a.y) <= reach &&
        std::hypot(x.x - b.x, x.y - b.y) <= reach) {
      return x;
    }
  }
  return {(a.x + b.x) / 2, (a.y + b.y) / 2};
}

// The chain's points from the end that joins on: turned round when its back end does.
std::vector<LinePoint> fromEnd(Polyline& line, bool back) {
  std::vector<LinePoint> points = std::move(line.points);
  if (back) {
    std::reverse(points.begin(), points.end());
  }
  return points;
}

// Joins the free ends of chains of one kind that meet within reach of each other, nearest first: at a rim
// where a smooth contour meets the mesh's own edges, the two parts of one outline end a pixel or two apart.
void joinEnds(std::vector<Polyline>& chains, double reach) {
  struct Pair {
    double distance;
    size_t a, b;  // ends: 2 x chain + (1 for the back)
  };
  auto endPoint = [&](size_t end) {
    const Polyline& line = chains[end / 2];
    return pointOf(end % 2 ? line.points.back() : line.points.front());
  };
  auto beforeEnd = [&](size_t end) {
    const std::vector<LinePoint>& p = chains[end / 2].points;
    return pointOf(end % 2 ? p[p.size() - 2] : p[1]);
  };
  std::unordered_map<uint64_t, std::vector<size_t>> cells;
  auto cellOf = [reach](const Point& p) {
    return std::pair(static_cast<int64_t>(std::floor(std::clamp(p.x, -1e6, 1e6) / reach)),
                     static_cast<int64_t>(std::floor(std::clamp(p.y, -1e6, 1e6) / reach)));
  };
  auto keyOf = [](int64_t x, int64_t y) {
    return static_cast<uint64_t>(x + (1 << 30)) << 32 | static_cast<uint64_t>(y + (1 << 30));
  };
  for (size_t end = 0; end < 2 * chains.size(); ++end) {
    if (!chains[end / 2].closed && chains[end / 2].points.size() >= 2 && reach > 0.0) {
      const auto [x, y] = cellOf(endPoint(end));
      cells[keyOf(x, y)].push_back(end);
    }
  }
  std::vector<Pair> pairs;
  for (const auto& [key, ends] : cells) {
    for (const size_t end : ends) {
      const auto [x, y] = cellOf(endPoint(end));
      for (int64_t dy = -1; dy <= 1; ++dy) {
        for (int64_t dx = -1; dx <= 1; ++dx) {
          const auto found = cells.find(keyOf(x + dx, y + dy));
          for (size_t i = 0; found != cells.end() && i < found->second.size() && i < kCrowd; ++i) {
            const size_t other = found->second[i];
            const Polyline &a = chains[end / 2], &b = chains[other / 2];
            const double d =
                std::hypot(endPoint(end).x - endPoint(other).x, endPoint(end).y - endPoint(other).y);
            // A chain's own two ends join only when it is long enough to close round.
            if (other > end && a.kind == b.kind && a.hidden == b.hidden && d <= reach &&
                (end / 2 != other / 2 || a.points.size() > 4)) {
              pairs.push_back({d, end, other});
            }
          }
        }
      }
    }
  }
  std::sort(pairs.begin(), pairs.end(), [](const Pair& p, const Pair& q) { return p.distance < q.distance; });
  std::vector<size_t> partner(2 * chains.size(), SIZE_MAX);
  for (const Pair& pair : pairs) {
    if (partner[pair.a] == SIZE_MAX && partner[pair.b] == SIZE_MAX) {
      partner[pair.a] = pair.b;
      partner[pair.b] = pair.a;
      // Both ends move to where they join.
      const Point at =
          joinPoint(endPoint(pair.a), beforeEnd(pair.a), endPoint(pair.b), beforeEnd(pair.b), reach);
      for (const size_t end : {pair.a, pair.b}) {
        std::vector<LinePoint>& p = chains[end / 2].points;
        (end % 2 ? p.back() : p.front()) = {static_cast<float>(at.x), static_cast<float>(at.y)};
      }
    }
  }
  // Follows the joins from each chain not yet taken, from an end that has none where there is one.
  std::vector<Polyline> joined;
  std::vector<bool> taken(chains.size(), false);
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t c = 0; c < chains.size(); ++c) {
      if (taken[c] || (pass == 0 && partner[2 * c] != SIZE_MAX && partner[2 * c + 1] != SIZE_MAX)) {
        continue;
      }
      if (chains[c].closed) {
        taken[c] = true;
        joined.push_back(std::move(chains[c]));
        continue;
      }
      // Start at the free end (the front unless only the back is free); on the second pass, at a loop.
      size_t end = partner[2 * c] == SIZE_MAX ? 2 * c : 2 * c + 1;
      Polyline line{chains[c].kind, false, chains[c].hidden, {}};
      while (true) {
        taken[end / 2] = true;
        std::vector<LinePoint> points = fromEnd(chains[end / 2], end % 2 == 1);
        line.points.insert(line.points.end(), points.begin() + (line.points.empty() ? 0 : 1), points.end());
        const size_t out = end ^ 1, next = partner[out];
        if (next == SIZE_MAX) {
          break;
        }
        if (taken[next / 2]) {
          line.closed = true;
          line.points.pop_back();
          break;
        }
        end = next;
      }
      joined.push_back(std::move(line));
    }
  }
  chains = std::move(joined);
}

}  // namespace

void cleanJunctions(std::vector<Polyline>& chains, double reach) {
  chains = trimAlong(std::move(chains));
  const SegmentGrid grid(chains);
  // Every change is found on the chains as they came, then made: two lines that overshoot each other both
  // end at their crossing.
  std::vector<EndChange> changes(2 * chains.size());
  for (size_t c = 0; c < chains.size(); ++c) {
    if (!chains[c].closed && chains[c].points.size() >= 2) {
      changes[2 * c] = changeOf(grid, chains, c, false, reach);
      changes[2 * c + 1] = changeOf(grid, chains, c, true, reach);
    }
  }
  std::vector<bool> gone(chains.size(), false);
  for (size_t c = 0; c < chains.size(); ++c) {
    const EndChange &front = changes[2 * c], &back = changes[2 * c + 1];
    // Both ends cut back to the same crossing or past each other: a sliver across a line, all of it spur.
    if (front.what == EndChange::Cut && back.what == EndChange::Cut &&
        front.segment + back.segment + 1 >= static_cast<int>(chains[c].points.size()) - 1) {
      gone[c] = true;
      continue;
    }
    if (back.what != EndChange::Keep) {
      apply(chains[c], true, back);
    }
    if (front.what != EndChange::Keep) {
      apply(chains[c], false, front);
    }
  }
  size_t kept = 0;
  for (size_t c = 0; c < chains.size(); ++c) {
    if (!gone[c]) {
      if (kept != c) {
        chains[kept] = std::move(chains[c]);
      }
      ++kept;
    }
  }
  chains.resize(kept);
  joinEnds(chains, 0.5 * reach);
  // What is left shorter than a line is wide would print as a dot; a wide line's short stretch still shows.
  std::erase_if(chains,
                [reach](const Polyline& line) { return arcsOf(line).back() < std::min(reach, kLongestDot); });
}

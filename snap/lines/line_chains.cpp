// Chaining: the visible (or hidden) pieces of lines joined end to end where they meet, into polylines.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "line_parts.h"

namespace {

constexpr int kNone = -1;
// At most this many ends in one place are weighed against each other when ends are joined: a crowd of lines
// in one pixel makes it no slower.
constexpr size_t kCrowd = 32;
// Breaks in a line no longer than this (in pixels) are closed.
constexpr double kGapPixels = 1.0;

double distance(const LinePoint& a, const LinePoint& b) {
  return std::hypot(double{a.x} - b.x, double{a.y} - b.y);
}

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
      if (pieces[i].node[k] != kNoNode) {
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
std::vector<Polyline> chain(const std::vector<Piece>& pieces, const std::vector<int>& partner,
                            double shortest) {
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
    if (line.points.size() >= 2 && length >= shortest) {
      chains.push_back(std::move(line));
    }
  }
  return chains;
}

}  // namespace

std::vector<Polyline> chainPieces(const std::vector<Piece>& pieces, double shortest) {
  return chain(pieces, linkEnds(pieces), shortest);
}

void simplifyChains(std::vector<Polyline>& chains, double tolerance) {
  std::vector<std::pair<size_t, size_t>> stack;
  std::vector<bool> keep;
  for (Polyline& line : chains) {
    std::vector<LinePoint>& p = line.points;
    if (p.size() < 3) {
      continue;
    }
    // A closed chain is simplified as the open one from its first point round to it again.
    if (line.closed) {
      p.push_back(p.front());
    }
    keep.assign(p.size(), false);
    keep.front() = keep.back() = true;
    stack.assign(1, {0, p.size() - 1});
    while (!stack.empty()) {
      const auto [first, last] = stack.back();
      stack.pop_back();
      const double dx = double{p[last].x} - p[first].x, dy = double{p[last].y} - p[first].y;
      const double length = std::hypot(dx, dy);
      double farthest = -1.0;
      size_t at = first;
      for (size_t i = first + 1; i < last; ++i) {
        const double ex = double{p[i].x} - p[first].x, ey = double{p[i].y} - p[first].y;
        // From the chord, or from its start where the chord has no length.
        const double d = length > 0.0 ? std::abs(ex * dy - ey * dx) / length : std::hypot(ex, ey);
        if (d > farthest) {
          farthest = d;
          at = i;
        }
      }
      if (farthest > tolerance) {
        keep[at] = true;
        stack.push_back({first, at});
        stack.push_back({at, last});
      }
    }
    size_t kept = 0;
    for (size_t i = 0; i < p.size(); ++i) {
      if (keep[i]) {
        p[kept++] = p[i];
      }
    }
    p.resize(kept - (line.closed ? 1 : 0));
    line.closed = line.closed && p.size() >= 3;
  }
}

// The finder's own pen order: chains taken nearest end first, found in a grid over the picture.
#include <algorithm>
#include <cmath>

#include "line_parts.h"

namespace {

constexpr int kNone = -1;
// At most this many ends in one cell are weighed against each other: a crowd of lines in one place makes
// the order no slower.
constexpr size_t kCrowd = 32;

double distance(const LinePoint& a, const LinePoint& b) {
  return std::hypot(double{a.x} - b.x, double{a.y} - b.y);
}

}  // namespace

// The chains in the order a pen would draw them, each starting at the free end nearest to where the last
// one stopped: chain ends filed in a grid over the picture, searched ring by ring outwards. The search is
// bounded, so that no crowd of chains makes it slow: a few rings, a few ends a cell; beyond them the pen
// goes on to the first chain left in the grid's row order.
std::vector<Polyline> orderChainsForPen(std::vector<Polyline> chains, double width, double height) {
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

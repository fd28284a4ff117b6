// Greedy nearest-neighbour order over the lines' ends.
#include "pen_order.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr size_t kTriedStarts = 100;

float squaredDistance(const LinePoint& a, const LinePoint& b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

// Where the pen would put down on line from at, and how far that is: an open line's nearer end (reversed
// says it is the last point), a closed line's nearest point.
struct Entry {
  float distance;
  size_t point;
};

Entry nearestEntry(const Polyline& line, const LinePoint& at) {
  if (!line.closed) {
    const float first = squaredDistance(at, line.points.front());
    const float last = squaredDistance(at, line.points.back());
    return first <= last ? Entry{first, 0} : Entry{last, line.points.size() - 1};
  }
  Entry best{std::numeric_limits<float>::infinity(), 0};
  for (size_t i = 0; i < line.points.size(); ++i) {
    const float d = squaredDistance(at, line.points[i]);
    if (d < best.distance) {
      best = {d, i};
    }
  }
  return best;
}

// The greedy order starting with line first (entered at its point 0), or with the line nearest the origin
// when first is lines.size(); its travel between lines goes to travel.
std::vector<Polyline> greedyOrder(const std::vector<Polyline>& lines, size_t first, float& travel) {
  std::vector<Polyline> ordered;
  ordered.reserve(lines.size());
  std::vector<bool> taken(lines.size(), false);
  LinePoint pen{0.0f, 0.0f};
  travel = 0.0f;
  for (size_t n = 0; n < lines.size(); ++n) {
    size_t next = n == 0 ? first : lines.size();
    Entry best{0.0f, 0};
    if (next == lines.size()) {
      best.distance = std::numeric_limits<float>::infinity();
      for (size_t i = 0; i < lines.size(); ++i) {
        if (!taken[i]) {
          const Entry entry = nearestEntry(lines[i], pen);
          if (next == lines.size() || entry.distance < best.distance) {
            next = i;
            best = entry;
          }
        }
      }
    }
    taken[next] = true;
    if (n > 0) {
      travel += std::sqrt(best.distance);
    }
    Polyline line = lines[next];
    if (line.closed) {
      std::rotate(line.points.begin(), line.points.begin() + static_cast<std::ptrdiff_t>(best.point),
                  line.points.end());
    } else if (best.point != 0) {
      std::reverse(line.points.begin(), line.points.end());
    }
    pen = line.closed ? line.points.front() : line.points.back();
    ordered.push_back(std::move(line));
  }
  return ordered;
}

}  // namespace

void orderForPen(std::vector<Polyline>& lines) {
  std::erase_if(lines, [](const Polyline& line) { return line.points.empty(); });
  float bestTravel = 0.0f;
  std::vector<Polyline> best = greedyOrder(lines, lines.size(), bestTravel);
  // A few lines, as a faceted model's edges give, are worth trying each as the first.
  if (lines.size() <= kTriedStarts) {
    for (size_t first = 0; first < lines.size(); ++first) {
      float travel = 0.0f;
      std::vector<Polyline> ordered = greedyOrder(lines, first, travel);
      if (travel < bestTravel) {
        bestTravel = travel;
        best = std::move(ordered);
      }
    }
  }
  lines = std::move(best);
}

// The vector pictures' pure parts on small label pictures, by their properties: traced regions that stack
// without gaps and keep their corners, hatching that stays inside its region and inks its share.
#include <gmock/gmock.h>

#include <array>
#include <cmath>
#include <random>
#include <set>

#include "hatching.h"
#include "pen_order.h"
#include "tone_regions.h"

namespace {

constexpr int kScale = 4;  // label pixels per picture pixel

// Even-odd, as the documents fill.
bool inside(const std::vector<Polygon>& polygons, VectorPoint p) {
  bool in = false;
  for (const Polygon& polygon : polygons) {
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
      const VectorPoint a = polygon[i], b = polygon[j];
      if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x)) {
        in = !in;
      }
    }
  }
  return in;
}

// A box of the turned-away tone whose right half is the middle tone, with a triangle of the bright tone in
// it; all else no surface.
LabelPicture boxPicture() {
  LabelPicture picture{96, 64, std::vector<uint8_t>(96 * 64, 0)};
  for (int y = 8; y < 56; ++y) {
    for (int x = 8; x < 88; ++x) {
      const bool inTriangle = y >= 16 && y < 48 && x >= 56 && x - 56 < (y - 16) * 3 / 4;
      picture.labels[static_cast<size_t>(y * 96 + x)] = toneLabel(inTriangle ? 0 : x < 48 ? 3 : 1);
    }
  }
  return picture;
}

TEST(ToneRegions, StackWithoutGapsAndKeepSharpCorners) {
  const LabelPicture picture = boxPicture();
  std::vector<ToneRegion> regions;
  ASSERT_TRUE(traceToneRegions(picture, kScale, regions));
  ASSERT_EQ(regions.size(), 4u);
  const auto labelAt = [&picture](int x, int y) {
    return x < 0 || y < 0 || x >= picture.width || y >= picture.height
               ? 0
               : picture.labels[static_cast<size_t>(y * picture.width + x)];
  };
  for (const ToneRegion& region : regions) {
    SCOPED_TRACE(region.label);
    const std::vector<Polygon> polygons = flattenRegion(region, 0.05);
    // Away from its own edge by a picture pixel, a layer holds exactly the labels at or above its own: the
    // layer below runs on under the one above, so no background shows where two regions meet.
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const bool want = labelAt(x, y) >= region.label;
        bool clear = true;
        for (int v = -kScale; v <= kScale && clear; ++v) {
          for (int u = -kScale; u <= kScale && clear; ++u) {
            clear = (labelAt(x + u, y + v) >= region.label) == want;
          }
        }
        if (clear) {
          ASSERT_EQ(inside(polygons, {(x + 0.5) / kScale, (y + 0.5) / kScale}), want) << x << "," << y;
        }
      }
    }
  }
  // The triangle's corners (where its first row of pixels starts, at the top) stay corners.
  const std::vector<Polygon> triangle = flattenRegion(regions[3], 0.05);
  for (const VectorPoint corner : {VectorPoint{14, 4.5}, VectorPoint{14, 12}, VectorPoint{20, 12}}) {
    double nearest = INFINITY;
    for (const Polygon& polygon : triangle) {
      for (const VectorPoint& p : polygon) {
        nearest = std::min(nearest, std::hypot(p.x - corner.x, p.y - corner.y));
      }
    }
    EXPECT_LE(nearest, 0.3) << corner.x << "," << corner.y;
  }
}

TEST(Hatching, StrokesStayInsideTheirRegionAndDarkerTonesInkMore) {
  // A square of 100 with a square hole of 40.
  const std::vector<Polygon> region = {{{10, 10}, {110, 10}, {110, 110}, {10, 110}},
                                       {{40, 40}, {80, 40}, {80, 80}, {40, 80}}};
  const double area = 100.0 * 100.0 - 40.0 * 40.0;
  double lastInk = 0.0;
  for (const HatchTone& tone : kHatchTones) {
    SCOPED_TRACE(tone.ink);
    std::vector<Stroke> strokes;
    ASSERT_TRUE(hatchRegion(region, tone, 1.0, strokes));
    double length = 0.0;
    for (const Stroke& s : strokes) {
      for (const double t : {0.01, 0.5, 0.99}) {
        const VectorPoint p{s.from.x + t * (s.to.x - s.from.x), s.from.y + t * (s.to.y - s.from.y)};
        ASSERT_TRUE(inside(region, p)) << p.x << "," << p.y;
      }
      length += std::hypot(s.to.x - s.from.x, s.to.y - s.from.y);
    }
    // Each direction inks its share; where they cross they ink once.
    const double perDirection = 1.0 - std::pow(1.0 - tone.ink, 1.0 / tone.directions);
    EXPECT_NEAR(length / area, tone.directions * perDirection, 0.1 * tone.directions * perDirection);
    EXPECT_GT(length, lastInk);
    lastInk = length;
  }
}

// The greedy nearest-end order by brute force, as the pen order's first step would be without a tree.
double greedyTravel(std::vector<Polyline> lines) {
  double travel = 0.0;
  LinePoint pen{0.0f, 0.0f};
  while (!lines.empty()) {
    size_t best = 0, at = 0;
    double nearest = INFINITY;
    for (size_t i = 0; i < lines.size(); ++i) {
      for (size_t k = 0; k < lines[i].points.size(); ++k) {
        const LinePoint& p = lines[i].points[k];
        const double d = std::hypot(double{p.x} - pen.x, double{p.y} - pen.y);
        if ((lines[i].closed || k == 0 || k + 1 == lines[i].points.size()) && d < nearest) {
          nearest = d, best = i, at = k;
        }
      }
    }
    travel += nearest;
    const Polyline& line = lines[best];
    pen = line.closed ? line.points[at] : at == 0 ? line.points.back() : line.points.front();
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(best));
  }
  return travel;
}

// Every line's segments, each as a pair of points in either direction: what a pen draws, whatever the order.
std::multiset<std::array<float, 4>> segmentsOf(const std::vector<Polyline>& lines) {
  std::multiset<std::array<float, 4>> segments;
  for (const Polyline& line : lines) {
    for (size_t i = 0; i + (line.closed ? 0 : 1) < line.points.size(); ++i) {
      const LinePoint a = line.points[i], b = line.points[(i + 1) % line.points.size()];
      segments.insert(std::min(std::array{a.x, a.y, b.x, b.y}, std::array{b.x, b.y, a.x, a.y}));
    }
  }
  return segments;
}

// On random lines, open and closed, many of them starting where the one before ends: the pen never travels
// farther than the greedy order would, draws every segment it was given once, and joins lines that meet end
// to start. Coordinates are random enough that no two distances tie, which the greedy orders would break
// differently.
TEST(PenOrder, NeverTravelsFartherThanTheGreedyOrderAndDrawsEverySegment) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> coordinate(0.0f, 100.0f);
  std::uniform_int_distribution<int> count(1, 40), length(2, 5), kind(0, 5);
  size_t joins = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<Polyline> lines(static_cast<size_t>(count(random)));
    for (size_t i = 0; i < lines.size(); ++i) {
      Polyline& line = lines[i];
      line.closed = kind(random) == 0;
      // Half of those start where the line before ends, the others only straight above or below it.
      if (!line.closed && i > 0 && !lines[i - 1].closed && kind(random) < 3) {
        const LinePoint end = lines[i - 1].points.back();
        line.points.push_back({end.x, kind(random) < 3 ? end.y : coordinate(random)});
      }
      for (int k = length(random) + (line.closed ? 1 : 0); k > 0; --k) {
        line.points.push_back({coordinate(random), coordinate(random)});
      }
    }
    std::vector<Polyline> ordered = lines;
    orderForPen(ordered);
    EXPECT_LE(penTravel(ordered), greedyTravel(lines) + 1e-3) << "trial " << trial;
    EXPECT_EQ(segmentsOf(ordered), segmentsOf(lines)) << "trial " << trial;
    joins += lines.size() - ordered.size();
  }
  EXPECT_GT(joins, 100u);
}

}  // namespace

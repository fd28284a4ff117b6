// The vector pictures' pure parts on small label pictures, by their properties: traced regions that stack
// without gaps and keep their corners, hatching that stays inside its region and inks its share.
#include <gmock/gmock.h>

#include <cmath>

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
      picture.labels[static_cast<size_t>(y * 96 + x)] =
          toneLabel(inTriangle ? 0 : x < 48 ? 3 : 1);
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

TEST(PenOrder, RowsComeOneAfterAnotherEachTurnedToStartWhereTheLastEnded) {
  // Twenty rows 10 apart, 100 long, in a scrambled order and direction.
  std::vector<Polyline> lines;
  for (int i = 0; i < 20; ++i) {
    const int row = i * 7 % 20;
    const float y = 10.0f * static_cast<float>(row), from = row % 3 ? 0.0f : 100.0f;
    lines.push_back({LineKind::Contour, false, false, {{from, y}, {50.0f, y}, {100.0f - from, y}}});
  }
  orderForPen(lines);
  ASSERT_EQ(lines.size(), 20u);
  float travel = 0.0f;
  for (size_t i = 1; i < lines.size(); ++i) {
    const LinePoint a = lines[i - 1].points.back(), b = lines[i].points.front();
    travel += std::hypot(a.x - b.x, a.y - b.y);
    EXPECT_EQ(lines[i].points[1].x, 50.0f);
  }
  EXPECT_NEAR(travel, 190.0f, 1.0f);
}

}  // namespace

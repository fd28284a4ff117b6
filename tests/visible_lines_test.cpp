// The visible lines of a mesh: on made-up depth pictures, then end to end through nprsnap's GL drawing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "offscreen_context.h"
#include "snapshot.h"
#include "strokes.h"
#include "support.h"
#include "visible_lines.h"

namespace {

constexpr int kSide = 64;

// A sheet folded back on itself along the x axis from -0.5 to 0.5 (its contour), both halves above it.
constexpr const char* kFold =
    "vertices: 4 faces: 2 v -0.5 0 0 0 0 0 v 0.5 0 0 0 0 0 v 0 0.5 0 0 0 0 v 0 0.5 0.5 0 0 0 f 1 2 3 f 2 1 4";
// A square in the plane y = 0, which the eye on the z axis sees edge-on.
constexpr const char* kEdgeOn =
    "vertices: 4 faces: 2 v -0.5 0 -0.5 0 0 0 v 0.5 0 -0.5 0 0 0 v 0.5 0 0.5 0 0 0 v -0.5 0 0.5 0 0 0 "
    "f 1 2 3 f 1 3 4";

// Model coordinates are clip coordinates; the eye far out on -z sees the mesh almost in parallel.
LineView parallelView() {
  LineView view{{}, {}, kSide, kSide, {0.0f, 0.0f, -100.0f}};
  for (int i = 0; i < 4; ++i) {
    view.modelview[5 * i] = view.projection[5 * i] = 1.0f;
  }
  return view;
}

TEST(VisibleLines, KeepWhatTheDepthPictureShowsOfAContour) {
  struct Case {
    const char* name;
    const char* model;
    float leftDepth, rightDepth;  // of the picture's halves; the fold's contour lies at depth 0.5
    int lines;
    float fromX, toX;  // where the one line runs
  };
  const Case cases[] = {
      {"fold in the open", kFold, 1.0f, 1.0f, 1, 16, 48},
      {"fold on its own face", kFold, 0.5f, 0.5f, 1, 16, 48},
      {"fold half behind a face", kFold, 0.3f, 1.0f, 1, 32, 48},
      {"fold behind a face", kFold, 0.45f, 0.45f, 0, 0, 0},
      {"plane edge-on", kEdgeOn, 1.0f, 1.0f, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ModelPtr model(parsePoly(c.model).model);
    ASSERT_TRUE(model);
    std::vector<float> depth(kSide * kSide);
    for (int i = 0; i < kSide * kSide; ++i) {
      depth[i] = i % kSide < kSide / 2 ? c.leftDepth : c.rightDepth;
    }
    const VisibleLineFinder finder(*model, nullptr);
    ASSERT_TRUE(finder.ok());
    const std::vector<Polyline> lines = finder.find(parallelView(), depth.data());
    ASSERT_EQ(static_cast<int>(lines.size()), c.lines);
    if (c.lines == 1) {
      const auto [left, right] = std::minmax_element(lines[0].points.begin(), lines[0].points.end(),
                                                     [](LinePoint a, LinePoint b) { return a.x < b.x; });
      EXPECT_NEAR(left->x, c.fromX, 1.5f);
      EXPECT_NEAR(right->x, c.toX, 0.5f);
      EXPECT_EQ(lines[0].kind, LineKind::Contour);
      EXPECT_NEAR(lines[0].points[0].y, kSide / 2, 0.5f);
    }
  }
}

// A low open pyramid seen from above its apex: its four ridges cross there as two straight creases.
TEST(VisibleLines, CreasesMeetingAtACornerGoOnStraightest) {
  const ModelPtr model(
      parsePoly("vertices: 5 faces: 4 v 0 0 -0.2 0 0 0 v -0.5 -0.5 0 0 0 0 v 0.5 -0.5 0 0 0 0 "
                "v 0.5 0.5 0 0 0 0 v -0.5 0.5 0 0 0 0 f 1 2 3 f 1 3 4 f 1 4 5 f 1 5 2")
          .model);
  ASSERT_TRUE(model);
  CreaseEdges creases;
  ASSERT_TRUE(findCreaseEdges(*model, 10.0f, creases));
  const VisibleLineFinder finder(*model, &creases);
  const std::vector<float> depth(kSide * kSide, 1.0f);
  int ridges = 0;
  for (const Polyline& line : finder.find(parallelView(), depth.data())) {
    if (line.kind == LineKind::Crease) {
      ++ridges;
      ASSERT_EQ(line.points.size(), 3u);
      const LinePoint &a = line.points[0], &b = line.points[1], &c = line.points[2];
      EXPECT_NEAR((b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x), 0.0f, 1.0f) << "turns at the apex";
    }
  }
  EXPECT_EQ(ridges, 2);
}

// Segments of all the lines, and of how many lines of each kind.
struct Tally {
  int segments = 0, contours = 0, closedContours = 0, others = 0;
};

Tally tally(const std::vector<Polyline>& lines) {
  Tally t;
  for (const Polyline& line : lines) {
    t.segments += static_cast<int>(line.points.size()) - (line.closed ? 0 : 1);
    t.contours += line.kind == LineKind::Contour;
    t.closedContours += line.kind == LineKind::Contour && line.closed;
    t.others += line.kind != LineKind::Contour;
  }
  return t;
}

TEST(VisibleLines, ComeInFewChainsFromTheDrawnView) {
  struct Case {
    const char* model;
    float creases;  // below 0: none
    float yaw, pitch, distance;
    int segments, closedContours, others;  // segments -1: any
  };
  const Case cases[] = {
      // From a corner: the six edges around it, and with creases the three that meet at it (two chains).
      {"tests/models/cube.poly", -1, 45, 35, 1.5f, 6, 1, 0},
      {"tests/models/cube.poly", 30, 45, 35, 1.5f, 9, 1, 2},
      // Half of the face in view is wound the other way: its diagonal is no contour.
      {"tests/models/cube-one-face-flipped.poly", -1, -45, 35, 1.5f, 6, 1, 0},
      {"data/sphere-unit.poly", -1, 20, 10, 1, -1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " at creases " + std::to_string(c.creases));
    const ModelPtr model(loadModel(c.model));
    ASSERT_TRUE(model);
    SnapOptions options;
    options.width = options.height = 256;
    options.samples = 2;
    options.cameraYaw = c.yaw, options.cameraPitch = c.pitch, options.cameraDistance = c.distance;
    if (c.creases >= 0) {
      options.creaseDegrees = c.creases;
    }
    Snapshotter snapshotter(options, *model);
    ASSERT_EQ(snapshotter.failure(), Snapshotter::Failure::None) << snapshotter.error();
    const Tally t = tally(snapshotter.visibleLines(drawStateOf(options)));
    if (c.segments >= 0) {
      EXPECT_EQ(t.segments, c.segments);
    }
    EXPECT_EQ(t.contours, 1);
    EXPECT_EQ(t.closedContours, c.closedContours);
    EXPECT_EQ(t.others, c.others);
  }
}

// The slab is 0.02 thick: the lines of its far side lie just behind its near face and must stay hidden.
TEST(VisibleLines, ContourStrokesLeaveAThinSlabsFaceClear) {
  const ModelPtr model(loadModel("tests/models/thin-slab.poly"));
  ASSERT_TRUE(model);
  SnapOptions options;
  options.width = options.height = 256;
  options.lines = LineMode::Contour;
  options.outlineWidth = 12;
  options.cameraYaw = 40, options.cameraPitch = 20;
  RgbImage picture;
  std::string error;
  ASSERT_TRUE(renderSnapshot(options, *model, picture, error)) << error;
  // Black pixels further than the stroke's width from the background.
  const auto at = [&](int x, int y) { return picture.at(x, y); };
  int inside = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      bool nearBackground = false;
      for (int v = std::max(0, y - 13); v <= std::min(picture.height - 1, y + 13); ++v) {
        for (int u = std::max(0, x - 13); u <= std::min(picture.width - 1, x + 13); ++u) {
          nearBackground = nearBackground || at(u, v)[2] > at(u, v)[0] + 20;  // the blue-grey background
        }
      }
      inside += at(x, y)[0] < 40 && !nearBackground;
    }
  }
  EXPECT_EQ(inside, 0) << savePictures("thin-slab-contour", picture, nullptr);
}

// Strokes cover what lies within half their width of their line and nothing further: random zig-zags, open
// and closed, with sharp turns and turns back, 24 pixels wide, each pixel judged by its centre with a pixel
// to spare.
TEST(Strokes, CoverWhatLiesWithinHalfTheirWidthOfTheLine) {
  constexpr int kSide = 96;
  const OffscreenContext context(kSide, kSide);
  ASSERT_TRUE(context.ok()) << context.error();
  std::mt19937 random(3);
  std::uniform_real_distribution<float> coordinate(8.0f, 88.0f);
  for (int trial = 0; trial < 20; ++trial) {
    Polyline line{LineKind::Contour, trial % 3 == 0, {}};
    for (int k = 0; k < 4; ++k) {
      line.points.push_back({coordinate(random), coordinate(random)});
    }
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawStrokes({line}, 24.0f, kSide, kSide);
    const RgbImage picture = context.readImage();
    int wrong = 0;
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        double nearest = INFINITY;
        for (size_t k = 0; k + (line.closed ? 0 : 1) < line.points.size(); ++k) {
          const LinePoint a = line.points[k], b = line.points[(k + 1) % line.points.size()];
          const double dx = b.x - a.x, dy = b.y - a.y, px = x + 0.5 - a.x, py = y + 0.5 - a.y;
          const double t = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0, 1.0);
          nearest = std::min(nearest, std::hypot(px - t * dx, py - t * dy));
        }
        const bool black = picture.at(x, y)[0] < 128;
        wrong += (nearest < 11.0 && !black) || (nearest > 13.0 && black);
      }
    }
    EXPECT_EQ(wrong, 0) << "trial " << trial;
  }
}

}  // namespace

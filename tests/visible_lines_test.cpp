// The visible lines of a mesh: on made-up depth pictures, then end to end through nprsnap's GL drawing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "line_parts.h"
#include "mesh_import.h"
#include "offscreen_context.h"
#include "shapes.h"
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
    Surface surface(*model);
    const VisibleLineFinder finder(surface, nullptr);
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
  Surface surface(*model, {10.0f, 0.0f});
  const VisibleLineFinder finder(surface, &creases);
  const std::vector<float> depth(kSide * kSide, 1.0f);
  int ridges = 0;
  for (const Polyline& line : finder.find(parallelView(), depth.data())) {
    if (line.kind == LineKind::Crease) {
      ++ridges;
      // From corner to corner through the apex in the middle, straight (the apex itself may be left out).
      const LinePoint &a = line.points.front(), &c = line.points.back();
      EXPECT_NEAR(std::hypot(c.x - a.x, c.y - a.y), 0.5f * kSide * std::sqrt(2.0f), 1.0f) << "stops short";
      for (const LinePoint& b : line.points) {
        EXPECT_NEAR((b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x), 0.0f, 1.0f) << "turns at the apex";
      }
    }
  }
  EXPECT_EQ(ridges, 2);
}

// Segments of all the lines, how many lines of each kind, and how they end.
struct Tally {
  int segments = 0, contours = 0, closedContours = 0, others = 0, hidden = 0;
  int reversals = 0;   // turns of more than 150 degrees inside a chain
  float worstEnd = 0;  // how far an open chain's end lies from every other line, at most
  int spurs = 0;       // ends that cross another line within 8 pixels of their end
};

float distanceToSegment(const LinePoint& p, const LinePoint& a, const LinePoint& b) {
  const float dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
  const float t =
      length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0f, 1.0f) : 0.0f;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

bool crosses(const LinePoint& a, const LinePoint& b, const LinePoint& c, const LinePoint& d) {
  const auto side = [](const LinePoint& p, const LinePoint& q, const LinePoint& r) {
    return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
  };
  return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

Tally tally(const std::vector<Polyline>& lines) {
  Tally t;
  std::vector<const Polyline*> seen;
  for (const Polyline& line : lines) {
    t.hidden += line.hidden;
    if (!line.hidden) {
      seen.push_back(&line);
    }
  }
  for (const Polyline* line : seen) {
    const auto& p = line->points;
    const size_t n = p.size();
    t.segments += static_cast<int>(n) - (line->closed ? 0 : 1);
    t.contours += line->kind == LineKind::Contour;
    t.closedContours += line->kind == LineKind::Contour && line->closed;
    t.others += line->kind != LineKind::Contour;
    for (size_t i = 1; i + (line->closed ? 0 : 1) < n; ++i) {
      const LinePoint &a = p[i - 1], &b = p[i], &c = p[(i + 1) % n];
      const float turn = std::atan2((b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x),
                                    (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y));
      t.reversals += std::abs(turn) > 150.0f * static_cast<float>(M_PI) / 180.0f;
    }
    for (const bool back : {false, true}) {
      if (line->closed) {
        continue;
      }
      const LinePoint& end = back ? p[n - 1] : p[0];
      float nearest = INFINITY;
      for (const Polyline* other : seen) {
        // Another line, or the far part of this one, as where an outline that meets itself ends.
        const bool self = other == line;
        const size_t from = self && !back ? 4 : 0,
                     to = self && back ? std::max<size_t>(n, 4) - 4 : other->points.size();
        for (size_t i = from; i + 1 < to; ++i) {
          nearest = std::min(nearest, distanceToSegment(end, other->points[i], other->points[i + 1]));
          // The end's last segment (8 pixels at most here) crossing another line is a spur.
          const LinePoint& inner = back ? p[n - 2] : p[1];
          t.spurs += other != line && std::hypot(end.x - inner.x, end.y - inner.y) <= 8.0f &&
                     crosses(end, inner, other->points[i], other->points[i + 1]) &&
                     distanceToSegment(end, other->points[i], other->points[i + 1]) > 1.0f;
        }
      }
      t.worstEnd = std::max(t.worstEnd, nearest);
    }
  }
  return t;
}

ModelPtr sphereOf(int levels) {
  return ModelPtr(modelOfMesh(ellipsoid(0.5f, 0.5f, 0.5f, levels)));
}

// Strokes that a pen draws once: every mesh density gives the sphere one closed contour; a faceted mesh its
// own edges; a line that runs into another ends on it (within half the outline's width), not past it; hidden
// lines only on request.
TEST(VisibleLines, ComeInFewChainsFromTheDrawnView) {
  struct Case {
    const char* name;
    std::function<ModelPtr()> model;
    float creases;  // below 0: none
    float yaw, pitch, distance;
    bool hidden;                           // asked for
    int segments, closedContours, others;  // -1: any
    bool behind;                           // has hidden lines
    bool reversed = false;                 // wound clockwise, drawn with --reversed
  };
  const auto file = [](const char* path) { return [path] { return ModelPtr(loadModel(path)); }; };
  const auto can = [] { return ModelPtr(modelOfMesh(cylinder(0.3f, 0.5f, 48, 4, true))); };
  // The same wound the other way, as the viewer's teapot is: drawn with --reversed, it has the same lines.
  const auto reversedCan = [] {
    PolyMesh mesh = cylinder(0.3f, 0.5f, 48, 4, true);
    for (auto& face : mesh.faces) {
      std::swap(face[1], face[2]);
    }
    return ModelPtr(modelOfMesh(mesh));
  };
  const Case cases[] = {
      // From a corner: the six edges around it, and with creases the three that meet at it (two chains).
      {"cube", file("tests/models/cube.poly"), -1, 45, 35, 1.5f, false, 6, 1, 0, false},
      {"cube with creases", file("tests/models/cube.poly"), 30, 45, 35, 1.5f, true, 9, 1, 2, true},
      // Half of the face in view is wound the other way: its diagonal is no contour.
      {"cube with a face flipped", file("tests/models/cube-one-face-flipped.poly"), -1, -45, 35, 1.5f, false,
       6, 1, 0, false},
      // A sphere has no hidden lines: its one contour is its outline.
      {"sphere of 320 faces", [] { return sphereOf(2); }, -1, 20, 10, 1, true, -1, 1, 0, false},
      {"sphere of 5,120 faces", file("data/sphere-unit.poly"), -1, 20, 10, 1, false, -1, 1, 0, false},
      {"sphere of 81,920 faces", [] { return sphereOf(6); }, -1, 20, 10, 1, true, -1, 1, 0, false},
      // The outline is one closed contour, the sides' smooth contours joined to the rims' edges; the top's
      // near rim is a crease that ends on it. The bottom's far rim is hidden.
      {"can from above", can, 30, 30, 35, 1, true, -1, 1, 1, true},
      {"can from below", can, 30, -20, -30, 1, false, -1, 1, 1, false},
      {"can wound the other way", reversedCan, 30, -20, -30, 1, false, -1, 1, 1, false, true},
      // Holes, counterbores and rounded corners (tools/data/cad-part.scad).
      {"CAD part", file("tests/models/cad-part.poly"), 30, 30, 35, 0.8f, true, -1, -1, -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ModelPtr model = c.model();
    ASSERT_TRUE(model);
    SnapOptions options;
    options.width = options.height = 256;
    options.samples = 2;
    options.cameraYaw = c.yaw, options.cameraPitch = c.pitch, options.cameraDistance = c.distance;
    options.hiddenLines = c.hidden;
    options.reversedWinding = c.reversed;
    if (c.creases >= 0) {
      options.creaseDegrees = c.creases;
    }
    Snapshotter snapshotter(options, *model);
    ASSERT_EQ(snapshotter.failure(), Snapshotter::Failure::None) << snapshotter.error();
    const Tally t = tally(snapshotter.visibleLines(drawStateOf(options)));
    if (c.segments >= 0) {
      EXPECT_EQ(t.segments, c.segments);
    }
    EXPECT_TRUE(c.closedContours < 0 || t.closedContours == c.closedContours) << t.closedContours;
    EXPECT_TRUE(c.others < 0 || t.others == c.others) << t.others;
    EXPECT_EQ(t.reversals, 0);
    EXPECT_LE(t.worstEnd, 0.5f * options.outlineWidth);
    EXPECT_EQ(t.spurs, 0);
    EXPECT_EQ(t.hidden > 0, c.behind);
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

// Hidden lines come only when asked for, grey under the black ones: the cube's three far edges.
TEST(VisibleLines, HiddenLinesOnlyOnRequest) {
  const ModelPtr model(loadModel("tests/models/cube.poly"));
  ASSERT_TRUE(model);
  for (const bool hidden : {false, true}) {
    SnapOptions options;
    options.width = options.height = 128;
    options.lines = LineMode::Contour;
    options.creaseDegrees = 30.0f;
    options.cameraYaw = 45, options.cameraPitch = 35, options.cameraDistance = 1.5f;
    options.hiddenLines = hidden;
    RgbImage picture;
    std::string error;
    ASSERT_TRUE(renderSnapshot(options, *model, picture, error)) << error;
    int grey = 0;
    const int want = static_cast<int>(std::lround(kHiddenGrey * 255.0f));
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const uint8_t* p = picture.at(x, y);
        grey += std::abs(p[0] - want) <= 8 && std::abs(p[1] - want) <= 8 && std::abs(p[2] - want) <= 8;
      }
    }
    EXPECT_EQ(grey > 0, hidden) << grey << " grey pixels; "
                                << savePictures("cube-hidden-lines", picture, nullptr);
  }
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
    Polyline line{LineKind::Contour, trial % 3 == 0, false, {}};
    for (int k = 0; k < 4; ++k) {
      line.points.push_back({coordinate(random), coordinate(random)});
    }
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawLines({line}, 24.0f, kSide, kSide, viewerPalette().line);
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

// A convex surface has no suggestive contours: nothing is drawn beyond the contours, whatever the threshold.
// A corrugated sheet seen at a grazing angle has one along each ridge, on its side turned from the eye.
TEST(VisibleLines, SuggestiveContoursOnlyWhereTheSurfaceFoldsAway) {
  struct Case {
    const char* name;
    PolyMesh mesh;
    float yaw, pitch, distance;
    int strokes;
  };
  const Case cases[] = {
      {"sphere", ellipsoid(0.5f, 0.5f, 0.5f, 5), 20, 10, 1, 0},
      {"ellipsoid", ellipsoid(0.5f, 0.3f, 0.2f, 5), 40, 30, 1, 0},
      // Four ridges across x, the last inflection on the sheet's edge: three strokes.
      {"corrugated sheet", corrugatedSheet(4, 0.01f, 200, 60), 90, 20, 0.9f, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ModelPtr model(modelOfMesh(c.mesh));
    ASSERT_TRUE(model);
    SnapOptions options;
    options.width = options.height = 384;
    options.cameraYaw = c.yaw, options.cameraPitch = c.pitch, options.cameraDistance = c.distance;
    options.lines = LineMode::Contour;
    Snapshotter contours(options, *model);
    const std::vector<Polyline> plain = contours.visibleLines(drawStateOf(options));
    options.lines = LineMode::Suggestive;
    options.suggestiveThreshold = 0.0f;
    Snapshotter snapshotter(options, *model);
    std::vector<Polyline> lines = snapshotter.visibleLines(drawStateOf(options));
    std::vector<Polyline> suggestive;
    for (Polyline& line : lines) {
      if (line.kind == LineKind::Suggestive) {
        suggestive.push_back(std::move(line));
      }
    }
    EXPECT_EQ(static_cast<int>(suggestive.size()), c.strokes);
    for (const Polyline& line : suggestive) {
      // Along the ridges, which run across the picture: long and level.
      const LinePoint &a = line.points.front(), &b = line.points.back();
      EXPECT_GT(std::abs(b.x - a.x), 0.25f * options.width);
      EXPECT_LT(std::abs(b.y - a.y), 0.1f * std::abs(b.x - a.x));
    }
    if (c.strokes == 0) {
      std::erase_if(lines, [](const Polyline& line) { return line.points.empty(); });
      ASSERT_EQ(lines.size(), plain.size());
      for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].points.size(), plain[i].points.size())
            << "the contours as --lines contour draws them";
      }
    }
  }
}

// The junction rules on drawn lines, against a bar along y = 0 from x = 0 to 100 (line width 5).
TEST(VisibleLines, EndsMeetTheLinesTheyRunInto) {
  struct Case {
    const char* name;
    std::vector<LinePoint> stem;
    size_t chains;      // after the rules
    LinePoint stemEnd;  // where the stem ends then, when it is still apart
  };
  const Case cases[] = {
      {"a spur is cut back", {{50, -40}, {50, 4}}, 2, {50, 0}},
      {"an end short of the bar is carried on to it", {{50, -40}, {50, -2}}, 2, {50, 0}},
      {"an end running along the bar is cut back where it meets it",
       {{20, -30}, {30, -0.5f}, {45, -0.5f}},
       2,
       {30, 0}},
      {"a sliver across the bar goes", {{50, -1}, {50, 1.5f}}, 1, {}},
      {"ends of one kind that meet are joined", {{100.5f, 0.5f}, {140, 0}}, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Polyline> chains{{LineKind::Contour, false, false, {{0, 0}, {100, 0}}},
                                 {LineKind::Contour, false, false, c.stem}};
    cleanJunctions(chains, 5.0);
    ASSERT_EQ(chains.size(), c.chains);
    if (c.chains == 2) {
      const LinePoint& end = chains[1].points.back();
      EXPECT_NEAR(end.x, c.stemEnd.x, 1.0f);
      EXPECT_NEAR(end.y, c.stemEnd.y, 0.01f);
    }
  }
}

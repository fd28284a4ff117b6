// Hatching along the surface and smooth tones, by their properties: streamlines that keep their spacing,
// strokes that follow a cylinder's circles, more ink for darker tones, strokes clear of the lines and inside
// the model, a pen order no longer than the greedy one, and smooth bands where a sphere's own normals put
// them.
#include <gmock/gmock.h>

#include <cmath>

#include "mesh_import.h"
#include "shapes.h"
#include "snap_options.h"
#include "snapshot.h"
#include "streamlines.h"
#include "support.h"
#include "tone.h"
#include "tone_labels.h"

namespace {

double toSegment(LinePoint p, LinePoint a, LinePoint b) {
  const double dx = b.x - a.x, dy = b.y - a.y, square = dx * dx + dy * dy;
  const double t = square > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / square, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Calls visit(point, length) every quarter pixel along every stroke: each piece of length there.
template <typename Visit>
void alongStrokes(const std::vector<Polyline>& strokes, Visit&& visit) {
  for (const Polyline& s : strokes) {
    for (size_t i = 0; i + 1 < s.points.size(); ++i) {
      const LinePoint a = s.points[i], b = s.points[i + 1];
      const int steps = std::max(1, static_cast<int>(std::ceil(4.0 * std::hypot(b.x - a.x, b.y - a.y))));
      for (int k = 0; k < steps; ++k) {
        const float t = (k + 0.5f) / static_cast<float>(steps);
        visit(LinePoint{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)},
              std::hypot(b.x - a.x, b.y - a.y) / steps);
      }
    }
  }
}

TEST(Streamlines, KeepTheirSpacingWithinAFactorOfTwo) {
  constexpr int kSide = 160;
  constexpr double kSeparation = 8.0, kRadius = 70.0, kCentre = kSide / 2.0;
  struct Case {
    const char* name;
    double (*angle)(double x, double y);
  };
  const Case cases[] = {
      {"level", [](double, double) { return 0.0; }},
      {"fan", [](double x, double y) { return std::atan2(y - kCentre, x - kCentre); }},
      {"circles", [](double x, double y) { return std::atan2(y - kCentre, x - kCentre) + M_PI / 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<float> doubled(2 * kSide * kSide);
    std::vector<uint8_t> pass(kSide * kSide);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const double a = c.angle(x + 0.5, y + 0.5);
        doubled[2 * (y * kSide + x)] = static_cast<float>(std::cos(2 * a));
        doubled[2 * (y * kSide + x) + 1] = static_cast<float>(std::sin(2 * a));
        pass[y * kSide + x] = std::hypot(x + 0.5 - kCentre, y + 0.5 - kCentre) < kRadius ? kInside : kEdge;
      }
    }
    StreamlineTracer tracer({kSide, kSide, doubled.data()});
    tracer.trace(pass, kSeparation, 2 * kSeparation, 2 * kSeparation);
    const auto& lines = tracer.lines();
    ASSERT_GT(lines.size(), 5u);
    const auto nearest = [&lines](LinePoint p, size_t skip) {
      double best = INFINITY;
      for (size_t j = 0; j < lines.size(); ++j) {
        for (size_t k = 0; j != skip && k < lines[j].size(); k += 2) {
          best = std::min<double>(best, std::hypot(lines[j][k].x - p.x, lines[j][k].y - p.y));
        }
      }
      return best;
    };
    // No two closer than half the separation (a step of slack)...
    for (size_t i = 0; i < lines.size(); ++i) {
      for (size_t k = 0; k < lines[i].size(); k += 8) {
        ASSERT_GE(nearest(lines[i][k], i), kSeparation / 2 - 0.6) << lines[i][k].x << "," << lines[i][k].y;
      }
    }
    // ...and no gap wider than twice it, but around the centre of the circles and the fan, where no field is.
    for (double y = 0.5; y < kSide; y += 3) {
      for (double x = 0.5; x < kSide; x += 3) {
        const double fromCentre = std::hypot(x - kCentre, y - kCentre);
        if (fromCentre < kRadius - kSeparation && fromCentre > 2 * kSeparation) {
          ASSERT_LE(nearest({static_cast<float>(x), static_cast<float>(y)}, lines.size()), kSeparation + 1)
              << x << "," << y;
        }
      }
    }
  }
}

// nprsnap's hatching of model along its surface, its visible lines and its tones, at 512 x 512.
struct Hatched {
  std::vector<Polyline> strokes, lines;
  LabelPicture tones;
};

Hatched hatch(const Model& model, SnapOptions options) {
  options.width = options.height = 512;
  options.hatching = options.strokesAlongSurface = true;
  options.shading = Shading::Smooth;
  Snapshotter snapshotter(options, model);
  Hatched hatched;
  std::string error;
  EXPECT_EQ(snapshotter.failure(), Snapshotter::Failure::None) << snapshotter.error();
  const DrawState state = drawStateOf(options);
  hatched.lines = snapshotter.visibleLines(state);
  EXPECT_TRUE(snapshotter.surfaceStrokes(state, hatched.lines, hatched.strokes, error)) << error;
  EXPECT_TRUE(drawToneLabels(model, state, 512, 512, 1, hatched.tones, error, snapshotter.smoothShading()));
  return hatched;
}

TEST(SurfaceStrokes, DarkerTonesInkMoreInsideTheModelAndClearOfTheLines) {
  struct Case {
    const char* model;
    float yaw, pitch, distance;
    std::optional<float> creases;
  };
  const Case cases[] = {{"sphere", 30, 20, 1, {}},
                        {"bunny", 30, 20, 0.8f, {}},
                        {"tpot", -40, 30, 0.9f, {}},
                        {"icos", 30, 20, 1, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    SnapOptions options;
    options.modelPath = std::string("data/") + c.model + "-unit.poly";
    options.cameraYaw = c.yaw, options.cameraPitch = c.pitch, options.cameraDistance = c.distance;
    options.creaseDegrees = c.creases;
    const ModelPtr model(loadModel(options.modelPath.c_str()));
    const Hatched h = hatch(*model, options);
    ASSERT_FALSE(h.strokes.empty());
    const auto labelAt = [&h](int x, int y) {
      return x < 0 || y < 0 || x >= h.tones.width || y >= h.tones.height
                 ? 0
                 : h.tones.labels[y * h.tones.width + x];
    };
    double length[kToneCount + 1] = {}, area[kToneCount + 1] = {};
    for (const uint8_t label : h.tones.labels) {
      area[label] += 1;
    }
    int outside = 0, onLines = 0, sample = 0;
    alongStrokes(h.strokes, [&](LinePoint p, double piece) {
      const int x = static_cast<int>(p.x), y = static_cast<int>(p.y);
      length[labelAt(x, y)] += piece;
      outside += !(labelAt(x, y) || labelAt(x - 1, y) || labelAt(x + 1, y) || labelAt(x, y - 1) ||
                   labelAt(x, y + 1));
      // A pixel apart is enough to catch a stroke crossing a line.
      for (const Polyline& line : ++sample % 4 ? std::vector<Polyline>{} : h.lines) {
        for (size_t i = 0; i + 1 < line.points.size(); ++i) {
          // Half the lines' width from their middle: out of their ink.
          onLines += toSegment(p, line.points[i], line.points[i + 1]) < 2.5;
        }
      }
    });
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(onLines, 0);
    // Labels count up from the turned-away tone: the bright tone's is the highest.
    double darker = INFINITY;
    for (int label = 1; label <= kToneCount; ++label) {
      if (area[label] > 0.03 * (h.tones.labels.size() - area[0])) {
        EXPECT_LT(length[label] / area[label] + 0.02, darker) << "tone label " << label;
        darker = length[label] / area[label];
      }
    }
  }
}

TEST(SurfaceStrokes, FollowCylindersRoundUprightOrLying) {
  constexpr float kRadius = 0.3f;
  for (const bool lying : {false, true}) {
    SCOPED_TRACE(lying ? "lying" : "upright");
    // Lying: turned a quarter about z, its axis along x.
    const auto toModel = [lying](Vec3 v) { return lying ? Vec3{-v.y, v.x, v.z} : v; };
    const auto toCylinder = [lying](Vec3 v) { return lying ? Vec3{v.y, -v.x, v.z} : v; };
    PolyMesh mesh = cylinder(kRadius, 0.9f, 128, 32, true);
    for (auto& p : mesh.positions) {
      const Vec3 turned = toModel({p[0], p[1], p[2]});
      p = {turned.x, turned.y, turned.z};
    }
    const ModelPtr model(modelOfMesh(mesh));
    SnapOptions options;
    options.modelPath = "cylinder.poly";
    const Hatched h = hatch(*model, options);
    Vec3 eye{}, up{}, forward{};
    drawStateOf(options).camera.eyePosition(eye);
    drawStateOf(options).camera.computeAxes(up, forward);
    const Vec3 right = cross(forward, up);
    // Where a point of the model lands in the picture (90 degrees across, y down).
    const auto project = [&](const Vec3& p) {
      const Vec3 d = p - eye;
      return LinePoint{256.0f * (1 + dot(d, right) / dot(d, forward)),
                       256.0f * (1 - dot(d, up) / dot(d, forward))};
    };
    double along = 0, total = 0;
    for (const Polyline& s : h.strokes) {
      for (size_t i = 0; i + 1 < s.points.size(); ++i) {
        const LinePoint a = s.points[i], b = s.points[i + 1];
        const float u = (a.x + b.x) / 512 - 1, v = 1 - (a.y + b.y) / 512;
        // The nearer crossing with the cylinder's side, and the circle's direction there in the picture.
        const Vec3 e = toCylinder(eye), r = toCylinder(forward + u * right + v * up);
        const float qa = r.x * r.x + r.z * r.z, qb = 2 * (e.x * r.x + e.z * r.z);
        const float qc = e.x * e.x + e.z * e.z - kRadius * kRadius;
        const Vec3 hit = e + (-qb - std::sqrt(std::max(0.0f, qb * qb - 4 * qa * qc))) / (2 * qa) * r;
        const LinePoint from = project(toModel(hit));
        const LinePoint to = project(toModel(hit + Vec3{-0.01f * hit.z, 0, 0.01f * hit.x}));
        const double piece = std::hypot(b.x - a.x, b.y - a.y);
        const double sine = std::abs((to.x - from.x) * (b.y - a.y) - (to.y - from.y) * (b.x - a.x)) /
                            (std::hypot(to.x - from.x, to.y - from.y) * piece);
        along += sine < std::sin(20 * M_PI / 180) ? piece : 0;
        total += piece;
      }
    }
    // Upright, the circles are also what the field falls back to where the curvature says little; lying,
    // the fallback runs along the axis, and only the curvature turns the strokes round.
    EXPECT_GT(along, (lying ? 0.6 : 0.8) * total);
  }
}

TEST(SurfaceStrokes, ThePngDrawsTheSameStrokes) {
  SnapOptions options;
  options.modelPath = "data/tpot-unit.poly";
  options.cameraYaw = 30, options.cameraPitch = 20;
  const ModelPtr model(loadModel(options.modelPath.c_str()));
  const Hatched h = hatch(*model, options);
  options.width = options.height = 512;
  options.hatching = options.strokesAlongSurface = true;
  options.shading = Shading::Smooth;
  const RgbImage picture = snapshotOf(options);
  ASSERT_FALSE(picture.empty());
  double inked = 0, total = 0;
  alongStrokes(h.strokes, [&](LinePoint p, double piece) {
    inked += *picture.at(static_cast<int>(p.x), static_cast<int>(p.y)) < 64 ? piece : 0;
    total += piece;
  });
  EXPECT_GT(inked, 0.95 * total);
}

// The hatching layer of an SVG as nprsnap writes it, one polyline a subpath (M x yL x y x y ...).
std::vector<std::vector<LinePoint>> hatchingOf(const std::string& svg) {
  std::vector<std::vector<LinePoint>> strokes;
  const size_t layer = svg.find("<g id=\"hatching\""), d = svg.find(" d=\"", layer);
  if (layer == std::string::npos || d == std::string::npos) {
    ADD_FAILURE() << "no hatching";
    return strokes;
  }
  const char* at = svg.c_str() + d + 4;
  while (*at != '"') {
    if (*at == 'M') {
      strokes.emplace_back();
    }
    char* end = nullptr;
    const float x = std::strtof(at + 1, &end), y = std::strtof(end, &end);
    strokes.back().push_back({x, y});
    at = end;
  }
  return strokes;
}

TEST(SurfaceStrokes, ThePenTravelsNoFurtherThanByNearestEndsAndDrawsNoDots) {
  const std::string path = tempPath("hatched.svg").string();
  int status = -1;
  const std::string arguments =
      " data/bunny-unit.poly --yaw 30 --pitch 20 --distance 0.8 --hatching --hatching-space surface "
      "--shading smooth --layers hatching -o ";
  runCommand(NPRSNAP_BINARY + arguments + path, &status);
  ASSERT_EQ(status, 0);
  std::vector<std::vector<LinePoint>> strokes = hatchingOf(readFile(path));
  std::filesystem::remove(path);
  ASSERT_GT(strokes.size(), 100u);
  double inOrder = 0, greedy = 0;
  size_t dots = 0;
  LinePoint pen{0, 0};
  for (const auto& s : strokes) {
    inOrder += std::hypot(s.front().x - pen.x, s.front().y - pen.y);
    pen = s.back();
    double length = 0;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
      length += std::hypot(s[i + 1].x - s[i].x, s[i + 1].y - s[i].y);
    }
    dots += length < 3;
  }
  EXPECT_LE(dots, strokes.size() / 100) << "strokes under 3 pixels";
  pen = {0, 0};
  while (!strokes.empty()) {
    size_t best = 0;
    bool reversed = false;
    double nearest = INFINITY;
    for (size_t i = 0; i < strokes.size(); ++i) {
      for (const bool back : {false, true}) {
        const LinePoint end = back ? strokes[i].back() : strokes[i].front();
        if (const double d = std::hypot(end.x - pen.x, end.y - pen.y); d < nearest) {
          nearest = d, best = i, reversed = back;
        }
      }
    }
    greedy += nearest;
    pen = reversed ? strokes[best].front() : strokes[best].back();
    strokes.erase(strokes.begin() + static_cast<std::ptrdiff_t>(best));
  }
  // Coordinates of two decimals may turn a near tie the other way.
  EXPECT_LE(inOrder, greedy * 1.01);
}

TEST(SmoothShading, BandsFallWhereTheSpheresOwnNormalsPutThem) {
  SnapOptions options;
  options.modelPath = "data/sphere-unit.poly";
  options.width = options.height = 256;
  // From further off, the light is far enough for its fall-off to tell in every lit band.
  options.cameraYaw = 30, options.cameraPitch = 20, options.cameraDistance = 1.6f;
  options.lightYawOffset = 70, options.lightPitchOffset = 20;
  const DrawState state = drawStateOf(options);
  Vec3 eye{}, up{}, forward{};
  state.camera.eyePosition(eye);
  state.camera.computeAxes(up, forward);
  const Vec3 right = cross(forward, up);
  const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
  double matched[2] = {};
  for (const Shading shading : {Shading::Flat, Shading::Smooth}) {
    options.shading = shading;
    const RgbImage picture = snapshotOf(options);
    ASSERT_FALSE(picture.empty());
    int counted = 0;
    for (int y = 0; y < 256; ++y) {
      for (int x = 0; x < 256; ++x) {
        // Where the ray meets the sphere of radius 0.5 that the model's vertices lie on, its normal is
        // radial.
        const Vec3 ray = forward + ((x + 0.5f) / 128 - 1) * right + (1 - (y + 0.5f) / 128) * up;
        const float b = dot(eye, ray), a = dot(ray, ray), disc = b * b - a * (dot(eye, eye) - 0.25f);
        const uint8_t* p = picture.at(x, y);
        if (disc < 0.01f || std::max({p[0], p[1], p[2]}) < 64) {
          continue;  // off the sphere, near its rim, or on the outline
        }
        const Vec3 hit = eye + ((-b - std::sqrt(disc)) / a) * ray;
        const Tone& tone = toneOfBand(bandOfIntensity(std::max(
            0.0, -static_cast<double>(dot(1.0f / lengthOf(hit - light) * (hit - light), 2.0f * hit)) *
                     std::min(1.0f, 1.0f / dot(hit - light, hit - light)))));
        const bool turnedAway = dot(hit - light, hit) >= 0;
        const Tone& want = turnedAway ? toneOfBand(kTurnedAway) : tone;
        ++counted;
        matched[shading == Shading::Smooth] +=
            std::abs(p[0] - want.r * 255) < 3 && std::abs(p[2] - want.b * 255) < 3;
      }
    }
    matched[shading == Shading::Smooth] /= counted;
  }
  // Smooth bands miss only a few pixels along their edges; one tone a face misses by its facets.
  EXPECT_LT(1 - matched[1], 0.005);
  EXPECT_GT(1 - matched[0], 4 * (1 - matched[1])) << "flat shading would do as well";
}

}  // namespace

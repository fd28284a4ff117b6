// Writes data/penny3-unit.poly: a coin with a raised rim, a faceted five-pointed star standing out of one
// face and a raised cross on the other, centred with its largest side 1, wound counter-clockwise as seen
// from outside, and turned so that the start-up eye sees the star face and a little of the edge.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "mesh_ops.h"
#include "poly_mesh.h"
#include "tool_arguments.h"

namespace {

using Point = std::array<double, 2>;

constexpr double kDegree = std::numbers::pi / 180;

// Heights above the coin's middle plane, for a coin of radius 1: the flat field, the rim and the reliefs.
constexpr double kField = 0.06;
constexpr double kRim = kField + 0.05;
constexpr double kBorder = kField + 0.02;
// Steep enough that the star's facets fall into three tones under the start-up light, the field into one.
constexpr double kStarApex = kField + 0.13;
constexpr double kCrossTop = kField + 0.035;

// The angles every ring is sampled at: a fine even spread that includes the corners of both reliefs, so
// that each corner gets a vertex and each facet of the star is exactly flat.
constexpr int kEvenSteps = 120;

// The heads face turned towards the start-up eye (a half turn), then a little towards the light on the
// left, so that the edge shows on the right. Tipped further towards the light, the field would straddle
// two tone bands and break up into slivers along the thin field triangles.
constexpr double kTurnAboutY = 155;

// The star-shaped polygon's distance from the centre along the ray at angle (radians). The polygon must be
// star-shaped about the origin, so every ray meets its outline once.
double polygonRadius(const std::vector<Point>& polygon, double angle) {
  const Point ray{std::cos(angle), std::sin(angle)};
  double nearest = 0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    const Point& a = polygon[i];
    const Point& b = polygon[(i + 1) % polygon.size()];
    const Point edge{b[0] - a[0], b[1] - a[1]};
    // Solve t * ray = a + s * edge for t (distance along the ray) and s in [0, 1].
    const double det = ray[0] * -edge[1] + edge[0] * ray[1];
    if (std::abs(det) < 1e-12) {
      continue;
    }
    const double t = (a[0] * -edge[1] + edge[0] * a[1]) / det;
    const double s = (ray[0] * a[1] - ray[1] * a[0]) / det;
    if (t > 0 && s >= -1e-9 && s <= 1 + 1e-9 && (nearest == 0 || t < nearest)) {
      nearest = t;
    }
  }
  return nearest;
}

std::vector<Point> starOutline() {
  constexpr double kOuter = 0.55, kInner = 0.24;
  std::vector<Point> star;
  for (int corner = 0; corner < 10; ++corner) {
    const double angle = (90 + 36 * corner) * kDegree;
    const double radius = corner % 2 == 0 ? kOuter : kInner;
    star.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  return star;
}

// A cross with arms along the axes; the arms' corners lie at 15 degrees off the axes, on the even spread.
std::vector<Point> crossOutline() {
  constexpr double kArm = 0.55;
  const double half = kArm * std::tan(15 * kDegree);
  std::vector<Point> cross;
  for (int arm = 0; arm < 4; ++arm) {
    const double c = std::cos(arm * 90 * kDegree), s = std::sin(arm * 90 * kDegree);
    for (const Point& p : {Point{kArm, -half}, Point{kArm, half}, Point{half, half}}) {
      cross.push_back({p[0] * c - p[1] * s, p[0] * s + p[1] * c});
    }
  }
  return cross;
}

std::vector<double> sampleAngles(const std::vector<std::vector<Point>>& outlines) {
  std::vector<double> angles;
  for (int step = 0; step < kEvenSteps; ++step) {
    angles.push_back(2 * std::numbers::pi * step / kEvenSteps);
  }
  for (const auto& outline : outlines) {
    for (const Point& corner : outline) {
      const double angle = std::atan2(corner[1], corner[0]);
      angles.push_back(angle < 0 ? angle + 2 * std::numbers::pi : angle);
    }
  }
  std::sort(angles.begin(), angles.end());
  std::vector<double> distinct;
  for (double angle : angles) {
    if (distinct.empty() || angle - distinct.back() > 1e-6) {
      distinct.push_back(angle);
    }
  }
  return distinct;
}

// One closed curve around the axis: at each sample angle, a radius and a height.
struct Ring {
  std::vector<double> radius;
  double height;
};

Ring circle(const std::vector<double>& angles, double radius, double height) {
  return {std::vector<double>(angles.size(), radius), height};
}

// The outline scaled by scale, or the blend weight of the way from it to the circle of radius circleRadius.
Ring outlineRing(const std::vector<double>& angles, const std::vector<Point>& outline, double scale,
                 double height, double circleRadius = 0, double towardsCircle = 0) {
  Ring ring{{}, height};
  for (double angle : angles) {
    const double r = polygonRadius(outline, angle) * scale;
    ring.radius.push_back(r + (circleRadius - r) * towardsCircle);
  }
  return ring;
}

// One face of the coin from its relief outward to the edge, at heights above the middle plane.
std::vector<Ring> faceRings(const std::vector<double>& angles, const std::vector<Ring>& relief,
                            const std::vector<Point>& outline) {
  std::vector<Ring> rings = relief;
  // Even steps across the field keep its triangles from growing long and thin near the relief's notches,
  // where the fall-off of the light would split them into slivers of two tones.
  for (double towardsCircle : {0.25, 0.5, 0.75}) {
    rings.push_back(outlineRing(angles, outline, 1, kField, 0.68, towardsCircle));
  }
  for (const auto& [radius, height] : std::initializer_list<std::pair<double, double>>{{0.68, kField},
                                                                                       {0.70, kBorder},
                                                                                       {0.73, kBorder},
                                                                                       {0.75, kField},
                                                                                       {0.86, kField},
                                                                                       {0.90, kRim},
                                                                                       {0.97, kRim},
                                                                                       {1.0, kRim - 0.02}}) {
    rings.push_back(circle(angles, radius, height));
  }
  return rings;
}

// Joins neighbouring rings with two triangles per angle step, counter-clockwise seen from outside when
// the first face has +z outside and the angles increase counter-clockwise about +z. A ring of radius 0
// is the pole of a fan; joinVertices removes the triangles it collapses.
PolyMesh loft(const std::vector<double>& angles, const std::vector<std::array<double, 3>>& ringsAsXyz,
              size_t ringCount) {
  PolyMesh mesh;
  for (const auto& p : ringsAsXyz) {
    mesh.positions.push_back({static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
  }
  const int n = static_cast<int>(angles.size());
  for (int ring = 0; ring + 1 < static_cast<int>(ringCount); ++ring) {
    for (int k = 0; k < n; ++k) {
      const int a = ring * n + k, b = ring * n + (k + 1) % n;
      const int c = a + n, d = b + n;
      mesh.faces.push_back({a, c, d});
      mesh.faces.push_back({a, d, b});
    }
  }
  return mesh;
}

PolyMesh coin() {
  const std::vector<Point> star = starOutline();
  const std::vector<Point> cross = crossOutline();
  const std::vector<double> angles = sampleAngles({star, cross});

  // Heads: a pyramid star, its apex in the middle and its feet on the field.
  const std::vector<Ring> heads = faceRings(
      angles, {outlineRing(angles, star, 0, kStarApex), outlineRing(angles, star, 1, kField)}, star);
  // Tails: a flat-topped cross with bevelled sides.
  const std::vector<Ring> tails =
      faceRings(angles,
                {outlineRing(angles, cross, 0, kCrossTop), outlineRing(angles, cross, 0.8, kCrossTop),
                 outlineRing(angles, cross, 1, kField)},
                cross);

  // From the heads pole out to the edge, across the edge, and in to the tails pole, mirrored below.
  std::vector<std::array<double, 3>> points;
  auto addRing = [&](const Ring& ring, double side) {
    for (size_t k = 0; k < angles.size(); ++k) {
      points.push_back(
          {ring.radius[k] * std::cos(angles[k]), ring.radius[k] * std::sin(angles[k]), side * ring.height});
    }
  };
  for (const Ring& ring : heads) {
    addRing(ring, 1);
  }
  for (auto ring = tails.rbegin(); ring != tails.rend(); ++ring) {
    addRing(*ring, -1);
  }
  PolyMesh mesh = loft(angles, points, heads.size() + tails.size());
  joinVertices(mesh);
  return mesh;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = "data/penny3-unit.poly";
  CLI::App app(
      "Writes the coin of the viewer's key 4: a raised rim, a faceted star on one face, a cross on the "
      "other.",
      "make_penny");
  app.add_option("OUTPUT", path, "the model file to write")->capture_default_str();
  if (const int status = parseToolArguments(app, argc, argv); status >= 0) {
    return status;
  }
  PolyMesh mesh = coin();
  turnAboutY(mesh, kTurnAboutY);
  fitUnitBox(mesh);
  orientFaces(mesh, Winding::CounterClockwise);
  computeNormals(mesh);
  std::string error;
  if (!writePoly(path, mesh, error, kDataDecimals)) {
    std::fprintf(stderr, "make_penny: cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

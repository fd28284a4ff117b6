// The surface library on shapes whose answers are known: normals split where the faces turn sharply, the
// curvature of spheres and cylinders, a derivative of nothing where the curvature is constant.
#include <gmock/gmock.h>

#include <cmath>

#include "mesh_import.h"
#include "shapes.h"
#include "support.h"
#include "surface.h"

namespace {

ModelPtr modelOf(const PolyMesh& mesh) {
  return ModelPtr(modelOfMesh(mesh));
}

PolyMesh sphere(float radius, int levels) {
  PolyMesh mesh = subdivideOnSphere(icosahedron(), levels);
  transform(mesh, radius, {0.0f, 0.0f, 0.0f});
  return mesh;
}

// Every corner's normal against the one expected at its position: the largest angle between them, in degrees.
template <typename Expected>
double worstNormal(Surface& surface, Expected&& expected) {
  EXPECT_TRUE(surface.needNormals());
  double worst = 0.0;
  for (int f = 0; f < surface.faceCount(); ++f) {
    for (int k = 0; k < 3; ++k) {
      const Vec3 want = expected(f, surface.positions()[static_cast<size_t>(surface.corners(f)[k])]);
      const double cosine = dot(surface.cornerNormal(f, k), want) / lengthOf(want);
      worst = std::max(worst, std::acos(std::clamp(cosine, -1.0, 1.0)) * 180.0 / M_PI);
    }
  }
  return worst;
}

TEST(Surface, NormalsSplitWhereFacesTurnByTheSplitAngle) {
  // The icosahedron's faces meet at 41.8 degrees: faceted at the default angle, one smooth normal a vertex
  // at 45.
  const ModelPtr icosahedron = modelOf(::icosahedron());
  const auto faceNormal = [](const Surface& s) {
    return [&s](int f, const Vec3&) { return s.faceNormals()[static_cast<size_t>(f)]; };
  };
  const auto radial = [](int, const Vec3& p) { return p; };
  Surface faceted(*icosahedron);
  EXPECT_LT(worstNormal(faceted, faceNormal(faceted)), 1e-3);
  Surface smooth(*icosahedron, {45.0f, 0.0f});
  EXPECT_LT(worstNormal(smooth, radial), 1e-3);
  EXPECT_EQ(smooth.groupNormals().size(), 12u);
  // A closed cylinder: each rim vertex has a fan on the side (radial) and one on its cap (along the axis).
  const ModelPtr can = modelOf(cylinder(0.5f, 1.0f, 32, 4, true));
  Surface canSurface(*can);
  EXPECT_LT(worstNormal(canSurface,
                        [&](int f, const Vec3& p) {
                          const Vec3& n = canSurface.faceNormals()[static_cast<size_t>(f)];
                          return std::abs(n.y) > 0.99f ? Vec3{0.0f, n.y, 0.0f} : Vec3{p.x, 0.0f, p.z};
                        }),
            1e-3);
  // Joined by position: a cube with one vertex record per face corner has a cube's vertices and edges.
  for (const char* path : {"tests/models/cube.poly", "tests/models/cube-split-corners.poly"}) {
    const ModelPtr cube(loadModel(path));
    ASSERT_TRUE(cube);
    Surface cubeSurface(*cube);
    EXPECT_EQ(cubeSurface.vertexCount(), 8) << path;
    EXPECT_EQ(cubeSurface.edges().size(), 18u) << path;
    EXPECT_LT(worstNormal(cubeSurface, faceNormal(cubeSurface)), 1e-3) << path;
  }
}

// A cylinder about y with its rings twisted round by a radian per unit of height, so that its faces' sides
// run aslant, then its axis turned to (sin 30 cos 20, cos 30, sin 30 sin 20): no face or vertex frame lines
// up with the principal directions.
PolyMesh tilted(PolyMesh mesh) {
  const float a = 30.0f * kRadiansPerDegree, b = 20.0f * kRadiansPerDegree;
  for (auto& p : mesh.positions) {
    p = {p[0] * std::cos(p[1]) + p[2] * std::sin(p[1]), p[1], -p[0] * std::sin(p[1]) + p[2] * std::cos(p[1])};
    const float x = p[0] * std::cos(a) + p[1] * std::sin(a), y = -p[0] * std::sin(a) + p[1] * std::cos(a);
    p = {x * std::cos(b) - p[2] * std::sin(b), y, x * std::sin(b) + p[2] * std::cos(b)};
  }
  return mesh;
}

TEST(Surface, CurvatureOfSpheresAndCylinders) {
  struct Case {
    const char* name;
    PolyMesh mesh;
    float radius;
    Vec3 axis;  // of a cylinder; zero for a sphere
    float height;
  };
  const float a = 30.0f * kRadiansPerDegree, b = 20.0f * kRadiansPerDegree;
  const Case cases[] = {
      {"sphere of radius 0.5", sphere(0.5f, 5), 0.5f, {0, 0, 0}, 0},
      {"sphere of radius 4", sphere(4.0f, 5), 4.0f, {0, 0, 0}, 0},
      {"cylinder of radius 0.5", cylinder(0.5f, 1.0f, 160, 60, false), 0.5f, {0, 1, 0}, 1.0f},
      {"cylinder of radius 0.05", cylinder(0.05f, 0.2f, 120, 80, false), 0.05f, {0, 1, 0}, 0.2f},
      {"cylinder turned askew",
       tilted(cylinder(0.5f, 1.0f, 160, 60, false)),
       0.5f,
       {std::sin(a) * std::cos(b), std::cos(a), std::sin(a) * std::sin(b)},
       1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ModelPtr model = modelOf(c.mesh);
    Surface surface(*model);
    ASSERT_TRUE(surface.needCurvatureDerivatives());
    const float k = 1.0f / c.radius;
    int measured = 0;
    float meanDerivative = 0;
    for (int v = 0; v < surface.vertexCount(); ++v) {
      // The cylinder's open rims have half a neighbourhood, which the normals next to them show.
      const bool cylinder = c.height > 0;
      if (cylinder && std::abs(dot(surface.positions()[static_cast<size_t>(v)], c.axis)) > 0.45f * c.height) {
        continue;
      }
      ++measured;
      const PrincipalCurvature& pc = surface.curvatures()[static_cast<size_t>(v)];
      ASSERT_NEAR(pc.k1, k, 0.03f * k) << "at vertex " << v;
      ASSERT_NEAR(pc.k2, cylinder ? 0.0f : k, 0.03f * k) << "at vertex " << v;
      if (cylinder) {
        ASSERT_LT(std::abs(dot(pc.direction1, c.axis)), 0.05f) << "the greatest curvature runs around";
        ASSERT_GT(std::abs(dot(pc.direction2, c.axis)), 0.99f) << "none along the axis";
      }
      for (const float d : surface.curvatureDerivatives()[static_cast<size_t>(v)]) {
        meanDerivative += std::abs(d) / 4.0f;
      }
    }
    EXPECT_GT(measured, 1000);
    // Constant curvature changes nowhere: what the derivative's fit makes of the mesh's unevenness is small.
    EXPECT_LT(meanDerivative / measured, 0.1f * k * k);
  }
}

// A sheet y = a sin(w x) bends across its ridges by about a w^2 sin(w x) (its slope is small), and that
// curvature changes along x by a w^3 cos(w x).
TEST(Surface, CurvatureAndItsDerivativeAcrossASineSheet) {
  const int ridges = 2;
  const float a = 0.01f, w = 2.0f * static_cast<float>(M_PI) * ridges;
  const ModelPtr model = modelOf(corrugatedSheet(ridges, a, 400, 20));
  Surface surface(*model);
  ASSERT_TRUE(surface.needCurvatureDerivatives());
  int measured = 0;
  for (int v = 0; v < surface.vertexCount(); ++v) {
    const Vec3& p = surface.positions()[static_cast<size_t>(v)];
    // Away from the borders, and from where the curvature passes through 0 and has no direction of its own.
    if (std::abs(p.x) > 0.45f || std::abs(p.z) > 0.45f || std::abs(std::sin(w * p.x)) < 0.5f) {
      continue;
    }
    ++measured;
    const PrincipalCurvature& pc = surface.curvatures()[static_cast<size_t>(v)];
    ASSERT_NEAR(pc.k1, a * w * w * std::sin(w * p.x), 0.05f * a * w * w) << "at x " << p.x;
    ASSERT_NEAR(pc.k2, 0.0f, 0.05f * a * w * w) << "at x " << p.x;
    // C(e1, e1, e1) turns sign with e1, which runs along x one way or the other.
    const float alongX = pc.direction1.x > 0.0f ? 1.0f : -1.0f;
    ASSERT_NEAR(alongX * surface.curvatureDerivatives()[static_cast<size_t>(v)][0],
                a * w * w * w * std::cos(w * p.x), 0.1f * a * w * w * w)
        << "at x " << p.x;
  }
  EXPECT_GT(measured, 1000);
}

// A sphere whose vertices stray from it by up to 0.2% of its radius: smoothed over a radius of a few edges,
// its curvature comes out near 1/r again, as the noise alone would not let it.
TEST(Surface, SmoothingQuietsANoisySurface) {
  PolyMesh mesh = sphere(0.5f, 5);
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    const float stray = 1.0f + 0.002f * static_cast<float>((i * 2654435761u) % 1000) / 500.0f - 0.002f;
    for (float& x : mesh.positions[i]) {
      x *= stray;
    }
  }
  const ModelPtr model = modelOf(mesh);
  double error[2] = {0.0, 0.0};
  for (const int smoothed : {0, 1}) {
    Surface surface(*model, {kDefaultSplitDegrees, smoothed ? 0.1f : 0.0f});
    ASSERT_TRUE(surface.needCurvatures());
    for (const PrincipalCurvature& pc : surface.curvatures()) {
      error[smoothed] += (std::abs(pc.k1 - 2.0f) + std::abs(pc.k2 - 2.0f)) / surface.vertexCount();
    }
  }
  EXPECT_GT(error[0], 0.5);
  EXPECT_LT(error[1], 0.1);
}

}  // namespace

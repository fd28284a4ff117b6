// The hatching direction per vertex: principal directions where they mean something, weighed by how much
// more the surface bends one way than the other, and smoothed as lines (sign-free) over the mesh.
#include "direction_field.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "parallel.h"

namespace {

// Passes of smoothing over the one-ring, enough for a strong direction to carry a dozen rings around it.
constexpr int kSmoothingPasses = 96;
// The curvature, times the model's size, at which a bend counts for half: a cylinder a third of the model
// wide (6.7) holds to its circles at 0.8 of its weight, one as wide as the model (2) at 0.6.
constexpr float kFlatCurvature = 1.5f;
// What a vertex whose curvature says nothing still weighs, so that the fallback holds where nothing is
// strong.
constexpr float kWeakest = 0.1f;
// How much a vertex holds to its own direction, against a ring of neighbours as strong as itself: little,
// so that the field runs smooth over several rings and the streamlines along it run long.
constexpr float kAnchor = 0.02f;
// Below this sine between the normal and the vertical, circles about the vertical give way to the x axis:
// only right at the pole of a dome, or on a face that looks straight up.
constexpr float kSteep = 0.05f;
// The curvature is averaged over 6 % of the model's size, which quiets a scan's noise, but over a radius
// within which all vertices together have at most this many neighbours: a fine mesh's take a few seconds
// of the processor at most.
constexpr float kSmoothingShare = 0.06f;
constexpr double kSmoothingNeighbours = 16e6;

Vec3 unitOr(const Vec3& v, const Vec3& otherwise) {
  const float length = lengthOf(v);
  return length > 1e-20f && std::isfinite(length) ? (1.0f / length) * v : otherwise;
}

Vec3 acrossNormal(const Vec3& v, const Vec3& normal) {
  return v - dot(v, normal) * normal;
}

// v or -v, whichever points along to.
Vec3 aligned(const Vec3& v, const Vec3& to) {
  return dot(v, to) < 0.0f ? -v : v;
}

// Circles about the vertical axis, turning into the x axis where the surface looks up or down.
Vec3 fallbackDirection(const Vec3& normal) {
  const Vec3 around = cross(normal, Vec3{0.0f, 1.0f, 0.0f});
  const float sine = lengthOf(around);
  Vec3 direction = around;
  if (!(sine >= kSteep)) {
    const Vec3 x = acrossNormal({1.0f, 0.0f, 0.0f}, normal);
    direction += ((kSteep - std::min(sine, kSteep)) / kSteep) * aligned(x, around);
  }
  return unitOr(direction, {1.0f, 0.0f, 0.0f});
}

// The largest side of the box around the points, 1 for no points or no extent.
template <typename Points>
float sizeOf(const Points& points, size_t count) {
  Vec3 low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
  for (size_t i = 0; i < count; ++i) {
    const Vec3 p{points[i].x, points[i].y, points[i].z};
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  const float size = std::max({high.x - low.x, high.y - low.y, high.z - low.z});
  return size > 0.0f && std::isfinite(size) ? size : 1.0f;
}

// Each vertex's own direction, and how much it should hold to it.
void measuredDirections(const Surface& surface, std::vector<Vec3>& anchors, std::vector<float>& weights) {
  const float size = sizeOf(surface.positions(), surface.positions().size());
  parallelFor(anchors.size(), [&](size_t begin, size_t end, int) {
    for (size_t v = begin; v < end; ++v) {
      const Vec3& normal = surface.vertexNormals()[v];
      const PrincipalCurvature& c = surface.curvatures()[v];
      const Vec3 fallback = fallbackDirection(normal);
      // How much more the surface bends one way than the other (0 umbilic, 1 a cylinder or a saddle), squared
      // so that only a clear difference counts, times how much it bends at all.
      const float k1 = std::abs(c.k1), k2 = std::abs(c.k2);
      const float ratio = std::abs(c.k1 - c.k2) / (k1 + k2), bend = std::max(k1, k2) * size;
      float strength = ratio * ratio * bend / (bend + kFlatCurvature);
      const Vec3 principal = unitOr(acrossNormal(c.direction1, normal), fallback);
      if (!std::isfinite(strength)) {
        strength = 0.0f;
      }
      anchors[v] = unitOr(strength * principal + (1.0f - strength) * aligned(fallback, principal), fallback);
      weights[v] = kWeakest + strength;
    }
  });
}

}  // namespace

float hatchSmoothingRadius(const Model& model) {
  double area = 0.0;
  const ModelVertex* v = model.vertices;
  for (int f = 0; f < model.faceCount; ++f) {
    const int* index = model.faces[f].vertexIndex;
    const Vec3 p0{v[index[0]].x, v[index[0]].y, v[index[0]].z};
    const Vec3 n = cross(Vec3{v[index[1]].x, v[index[1]].y, v[index[1]].z} - p0,
                         Vec3{v[index[2]].x, v[index[2]].y, v[index[2]].z} - p0);
    const double twice = lengthOf(n);
    area += std::isfinite(twice) ? 0.5 * twice : 0.0;
  }
  // A closed mesh has about half as many vertices as faces, spread over its area: within radius r each has
  // about pi r^2 F / 2A others, and all of them together pi r^2 F^2 / 4A.
  const double faces = std::max(model.faceCount, 1);
  const double budget = 2.0 / faces * std::sqrt(area * kSmoothingNeighbours / std::numbers::pi);
  return static_cast<float>(std::min(
      budget, double{kSmoothingShare} * sizeOf(v, static_cast<size_t>(std::max(model.vertexCount, 0)))));
}

bool hatchDirections(Surface& surface, std::vector<Vec3>& directions) {
  if (!surface.needCurvatures()) {
    return false;
  }
  try {
    const size_t count = static_cast<size_t>(surface.vertexCount());
    std::vector<Vec3> anchors(count), next(count);
    std::vector<float> weights(count);
    measuredDirections(surface, anchors, weights);
    directions = anchors;
    for (int pass = 0; pass < kSmoothingPasses; ++pass) {
      parallelFor(count, [&](size_t begin, size_t end, int) {
        for (size_t v = begin; v < end; ++v) {
          const Vec3& here = directions[v];
          const IndexRange at = surface.cornersAt(static_cast<int>(v));
          // The vertex's own direction weighs as much as a ring of neighbours as strong as itself.
          Vec3 sum = (kAnchor * static_cast<float>(at.size()) * weights[v]) * aligned(anchors[v], here);
          for (const int corner : at) {
            const int* c = surface.corners(corner / 3);
            for (int k = 1; k < 3; ++k) {
              const size_t other = static_cast<size_t>(c[(corner % 3 + k) % 3]);
              sum += weights[other] * aligned(directions[other], here);
            }
          }
          next[v] = unitOr(acrossNormal(sum, surface.vertexNormals()[v]), here);
        }
      });
      directions.swap(next);
    }
  } catch (const std::bad_alloc&) {
    directions.clear();
    return false;
  }
  return true;
}

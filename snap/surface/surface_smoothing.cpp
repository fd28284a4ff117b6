// Normals and curvature averaged over a radius: each vertex takes the Gaussian-weighted mean of the vertices
// near it that the mesh connects it to, for scans whose noise would otherwise show in every line.
#include <cmath>
#include <vector>

#include "curvature_frames.h"
#include "parallel.h"
#include "surface.h"

namespace {

// However large the radius, a vertex averages at most this many others: no radius makes the pass quadratic.
constexpr size_t kMostNeighbours = 4096;

// What one thread needs to find the vertices near one vertex: a mark per vertex, and the ones found.
struct Neighbourhood {
  std::vector<int> mark;
  std::vector<int> found;
};

// Calls visit(other, weight) for the vertex itself and those the mesh connects to it within radius,
// nearest in steps first: weight is the Gaussian of the distance (sigma half the radius) times the other's
// area.
template <typename Visit>
void forEachNear(const Surface& surface, int vertex, Neighbourhood& near, Visit&& visit) {
  const float radius = surface.options().smoothingRadius;
  const float spread = 2.0f * (0.5f * radius) * (0.5f * radius);
  const std::vector<Vec3>& positions = surface.positions();
  const Vec3& centre = positions[static_cast<size_t>(vertex)];
  near.found.clear();
  near.found.push_back(vertex);
  near.mark[static_cast<size_t>(vertex)] = vertex;
  for (size_t next = 0; next < near.found.size(); ++next) {
    const int v = near.found[next];
    const Vec3 d = positions[static_cast<size_t>(v)] - centre;
    visit(v, std::exp(-dot(d, d) / spread) * surface.vertexAreas()[static_cast<size_t>(v)]);
    for (const int corner : surface.cornersAt(v)) {
      const int* c = surface.corners(corner / 3);
      for (int k = 1; k < 3 && near.found.size() < kMostNeighbours; ++k) {
        const int other = c[(corner % 3 + k) % 3];
        const Vec3 e = positions[static_cast<size_t>(other)] - centre;
        if (near.mark[static_cast<size_t>(other)] != vertex && dot(e, e) <= radius * radius) {
          near.mark[static_cast<size_t>(other)] = vertex;
          near.found.push_back(other);
        }
      }
    }
  }
}

std::vector<Neighbourhood> neighbourhoods(size_t vertexCount) {
  std::vector<Neighbourhood> near(static_cast<size_t>(parallelThreads()));
  for (Neighbourhood& n : near) {
    n.mark.assign(vertexCount, -1);
    n.found.reserve(kMostNeighbours);
  }
  return near;
}

}  // namespace

void Surface::smoothNormals(const std::vector<int>& groupsAt) {
  std::vector<Neighbourhood> near = neighbourhoods(positions_.size());
  std::vector<Vec3> smoothed(positions_.size());
  parallelFor(positions_.size(), [&](size_t begin, size_t end, int thread) {
    for (size_t v = begin; v < end; ++v) {
      Vec3 sum{0.0f, 0.0f, 0.0f};
      forEachNear(
          *this, static_cast<int>(v), near[static_cast<size_t>(thread)],
          [&](int other, float weight) { sum += weight * vertexNormals_[static_cast<size_t>(other)]; });
      const float length = lengthOf(sum);
      smoothed[v] = length > 0.0f ? (1.0f / length) * sum : vertexNormals_[v];
    }
  });
  vertexNormals_ = std::move(smoothed);
  // A vertex with one fan has one normal for all its corners: the smoothed one. Where fans meet at a sharp
  // edge each keeps its own, so the edge stays sharp.
  parallelFor(positions_.size(), [&](size_t begin, size_t end, int) {
    for (size_t v = begin; v < end; ++v) {
      const IndexRange at = cornersAt(static_cast<int>(v));
      if (groupsAt[v] == 1 && at.size()) {
        groupNormals_[static_cast<size_t>(cornerGroup_[static_cast<size_t>(at.first[0])])] =
            vertexNormals_[v];
      }
    }
  });
}

void Surface::smoothCurvatures() {
  std::vector<Neighbourhood> near = neighbourhoods(positions_.size());
  std::vector<PrincipalCurvature> smoothed(curvatures_.size());
  parallelFor(positions_.size(), [&](size_t begin, size_t end, int thread) {
    for (size_t v = begin; v < end; ++v) {
      const PrincipalCurvature& here = curvatures_[v];
      smoothed[v] = here;
      if (cornersAt(static_cast<int>(v)).size() == 0) {
        continue;
      }
      double sum[3] = {0.0, 0.0, 0.0}, weights = 0.0;
      forEachNear(
          *this, static_cast<int>(v), near[static_cast<size_t>(thread)], [&](int other, float weight) {
            const PrincipalCurvature& there = curvatures_[static_cast<size_t>(other)];
            const SecondForm form = projectForm(there.direction1, there.direction2,
                                                {there.k1, 0.0f, there.k2}, here.direction1, here.direction2);
            for (int i = 0; i < 3; ++i) {
              sum[i] += double{weight} * form[i];
            }
            weights += weight;
          });
      if (weights > 0.0) {
        const SecondForm form{static_cast<float>(sum[0] / weights), static_cast<float>(sum[1] / weights),
                              static_cast<float>(sum[2] / weights)};
        smoothed[v] = principalOf(here.direction1, here.direction2, form, vertexNormals_[v]);
      }
    }
  });
  curvatures_ = std::move(smoothed);
}

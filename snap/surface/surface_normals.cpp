// Normals of the joined mesh: angle-weighted at each vertex, and split into fans at the sharp edges.
#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "parallel.h"
#include "surface.h"

namespace {

// The angle of a face at its corner p between the sides to q and r.
float cornerAngle(const Vec3& p, const Vec3& q, const Vec3& r) {
  const Vec3 a = q - p, b = r - p;
  return std::atan2(lengthOf(cross(a, b)), dot(a, b));
}

// Unit length, or fallback where v has none.
Vec3 unitOr(Vec3 v, const Vec3& fallback) {
  const float length = lengthOf(v);
  return length > 0.0f && std::isfinite(length) ? (1.0f / length) * v : fallback;
}

// Union-find over one vertex's corners, by their place in its list.
int rootOf(std::vector<int>& parent, int i) {
  while (parent[static_cast<size_t>(i)] != i) {
    i = parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
  }
  return i;
}

}  // namespace

bool Surface::needNormals() {
  if (normalsMade_) {
    return true;
  }
  if (!ok_) {
    return false;
  }
  try {
    std::vector<float> cornerAngles;
    findSplits(cornerAngles);
    std::vector<int> groupsAt;
    groupCorners(cornerAngles, groupsAt);
    if (options_.smoothingRadius > 0.0f) {
      needAreas();
      smoothNormals(groupsAt);
    }
    normalsMade_ = true;
  } catch (const std::bad_alloc&) {
    vertexNormals_ = {};
    split_ = {};
    cornerGroup_ = {};
    groupNormals_ = {};
  }
  return normalsMade_;
}

// The sharp edges, and every corner's angle.
void Surface::findSplits(std::vector<float>& cornerAngles) {
  const double cosLimit = std::cos(double{options_.splitDegrees} * (std::numbers::pi / 180.0));
  split_.resize(edges_.size());
  parallelFor(edges_.size(), [&](size_t begin, size_t end, int) {
    for (size_t e = begin; e < end; ++e) {
      const SurfaceEdge& edge = edges_[e];
      bool sharp = edge.sides != 2 || edge.sameWay;
      if (!sharp) {
        const Vec3 &n0 = faceNormals_[static_cast<size_t>(edge.face[0])],
                   &n1 = faceNormals_[static_cast<size_t>(edge.face[1])];
        // As the crease finder judges an edge, with the same margin at exactly the limit.
        const double cosine = double{n0.x} * n1.x + double{n0.y} * n1.y + double{n0.z} * n1.z;
        sharp = cosine <= cosLimit + 1e-9;
      }
      split_[e] = sharp;
    }
  });
  const size_t faceCount = flat_.size();
  cornerAngles.resize(3 * faceCount);
  parallelFor(faceCount, [&](size_t begin, size_t end, int) {
    for (size_t f = begin; f < end; ++f) {
      const int* c = corners(static_cast<int>(f));
      for (int k = 0; k < 3; ++k) {
        cornerAngles[3 * f + k] = flat_[f] ? 0.0f
                                           : cornerAngle(positions_[static_cast<size_t>(c[k])],
                                                         positions_[static_cast<size_t>(c[(k + 1) % 3])],
                                                         positions_[static_cast<size_t>(c[(k + 2) % 3])]);
      }
    }
  });
}

// The vertex normals, and the corners around each vertex joined into fans across the edges that do not split:
// each fan one normal group. groupsAt gets the number of fans at each vertex.
void Surface::groupCorners(const std::vector<float>& cornerAngles, std::vector<int>& groupsAt) {
  const size_t vertexCount = positions_.size();
  vertexNormals_.resize(vertexCount);
  cornerGroup_.assign(3 * flat_.size(), 0);
  groupsAt.assign(vertexCount + 1, 0);
  size_t mostCorners = 0;
  for (size_t v = 0; v < vertexCount; ++v) {
    mostCorners = std::max(mostCorners, cornersAt(static_cast<int>(v)).size());
  }
  std::vector<std::vector<int>> parents(static_cast<size_t>(parallelThreads()),
                                        std::vector<int>(mostCorners));

  parallelFor(vertexCount, [&](size_t begin, size_t end, int thread) {
    std::vector<int>& parent = parents[static_cast<size_t>(thread)];
    for (size_t v = begin; v < end; ++v) {
      const IndexRange at = cornersAt(static_cast<int>(v));
      Vec3 sum{0.0f, 0.0f, 0.0f};
      for (size_t i = 0; i < at.size(); ++i) {
        parent[i] = static_cast<int>(i);
        const int corner = at.first[i];
        sum += cornerAngles[static_cast<size_t>(corner)] * faceNormals_[static_cast<size_t>(corner / 3)];
      }
      vertexNormals_[v] =
          at.size() ? unitOr(sum, faceNormals_[static_cast<size_t>(at.first[0] / 3)]) : Vec3{0, 0, 0};
      for (size_t i = 0; i < at.size(); ++i) {
        const int face = at.first[i] / 3, k = at.first[i] % 3;
        // The two sides of the face that meet at this vertex.
        for (const int side : {k, (k + 2) % 3}) {
          const int e = edgeOfSide(face, side);
          if (e == kNoEdge || split_[static_cast<size_t>(e)]) {
            continue;
          }
          const SurfaceEdge& edge = edges_[static_cast<size_t>(e)];
          const int other = edge.face[0] == face ? edge.face[1] : edge.face[0];
          // The list is in ascending order, so the other face's corner is found by bisection: a vertex shared
          // by a great many faces costs n log n.
          const int* found = std::lower_bound(at.first, at.last, 3 * other);
          if (found != at.last && *found / 3 == other) {
            // The lower place becomes the root, so that each fan's root is its first corner.
            const int a = rootOf(parent, static_cast<int>(i)),
                      b = rootOf(parent, static_cast<int>(found - at.first));
            parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
          }
        }
      }
      // Each fan numbered in the order its first corner comes; the numbers made global below.
      int groups = 0;
      for (size_t i = 0; i < at.size(); ++i) {
        const size_t root = static_cast<size_t>(rootOf(parent, static_cast<int>(i)));
        int& group = cornerGroup_[static_cast<size_t>(at.first[i])];
        group = root == i ? groups++ : cornerGroup_[static_cast<size_t>(at.first[root])];
      }
      groupsAt[v] = groups;
    }
  });

  // Each vertex's fans numbered after those of the vertices before it.
  std::vector<int> firstGroup(vertexCount + 1, 0);
  for (size_t v = 0; v < vertexCount; ++v) {
    firstGroup[v + 1] = firstGroup[v] + groupsAt[v];
  }
  groupNormals_.assign(static_cast<size_t>(firstGroup[vertexCount]), Vec3{0.0f, 0.0f, 0.0f});
  parallelFor(vertexCount, [&](size_t begin, size_t end, int) {
    for (size_t v = begin; v < end; ++v) {
      const IndexRange at = cornersAt(static_cast<int>(v));
      for (const int corner : at) {
        int& group = cornerGroup_[static_cast<size_t>(corner)];
        group += firstGroup[v];
        groupNormals_[static_cast<size_t>(group)] +=
            cornerAngles[static_cast<size_t>(corner)] * faceNormals_[static_cast<size_t>(corner / 3)];
      }
      for (const int corner : at) {
        Vec3& normal = groupNormals_[static_cast<size_t>(cornerGroup_[static_cast<size_t>(corner)])];
        normal = unitOr(normal, faceNormals_[static_cast<size_t>(corner / 3)]);
      }
    }
  });
}

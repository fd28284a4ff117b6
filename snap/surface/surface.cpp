// The joined mesh and its adjacency: vertices joined by position, face normals, edges filed at their lower
// corner, the corners at each vertex.
#include "surface.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "crease_edges.h"
#include "parallel.h"

namespace {

// The unit normal of a face, in double precision as the crease finder takes it, so that only a face of no
// area comes out without one (false).
bool unitNormal(const Vec3& p0, const Vec3& p1, const Vec3& p2, Vec3& normal) {
  const double ax = double{p1.x} - p0.x, ay = double{p1.y} - p0.y, az = double{p1.z} - p0.z;
  const double bx = double{p2.x} - p0.x, by = double{p2.y} - p0.y, bz = double{p2.z} - p0.z;
  const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(length > 0.0) || !std::isfinite(length)) {
    return false;
  }
  normal = {static_cast<float>(nx / length), static_cast<float>(ny / length),
            static_cast<float>(nz / length)};
  return true;
}

// One side of a face, filed under the lower of its two vertices.
struct Side {
  int upper;  // the other vertex, the higher
  int side;   // 3 x face + k: the side from corner k to k + 1
  bool operator<(const Side& other) const {
    return upper != other.upper ? upper < other.upper : side < other.side;
  }
};

}  // namespace

Surface::Surface(const Model& model, const SurfaceOptions& options) : model_(model), options_(options) {
  if (model.faceCount > INT_MAX / 3 || model.vertexCount < 0 || model.faceCount < 0) {
    return;
  }
  try {
    ok_ = build();
  } catch (const std::bad_alloc&) {
    ok_ = false;
  }
  if (!ok_) {
    // Nothing half made is kept.
    joined_ = {};
    positions_ = {};
    faceCorners_ = {};
    flat_ = {};
    faceNormals_ = {};
    edges_ = {};
    edgeOfSide_ = {};
    cornerStarts_ = {};
    cornerList_ = {};
  }
}

Surface::~Surface() = default;

bool Surface::build() {
  const size_t vertexCount = static_cast<size_t>(model_.vertexCount);
  const size_t faceCount = static_cast<size_t>(model_.faceCount);
  joined_.resize(vertexCount);
  if (!joinVerticesByPosition(model_, joined_.data())) {
    return false;
  }
  // The first vertex at each position stands for all: numbered in order, the others take its number.
  int next = 0;
  for (size_t i = 0; i < vertexCount; ++i) {
    const size_t first = static_cast<size_t>(joined_[i]);
    if (first == i) {
      const ModelVertex& v = model_.vertices[i];
      positions_.push_back({v.x, v.y, v.z});
      joined_[i] = next++;
    } else {
      joined_[i] = joined_[first];
    }
  }

  faceCorners_.resize(3 * faceCount);
  flat_.resize(faceCount);
  faceNormals_.resize(faceCount);
  parallelFor(faceCount, [this](size_t begin, size_t end, int) {
    for (size_t f = begin; f < end; ++f) {
      int* c = &faceCorners_[3 * f];
      for (int k = 0; k < 3; ++k) {
        c[k] = joined_[static_cast<size_t>(model_.faces[f].vertexIndex[k])];
      }
      Vec3& n = faceNormals_[f];
      const bool apart = c[0] != c[1] && c[1] != c[2] && c[2] != c[0];
      const Vec3 &p0 = positions_[static_cast<size_t>(c[0])], &p1 = positions_[static_cast<size_t>(c[1])],
                 &p2 = positions_[static_cast<size_t>(c[2])];
      flat_[f] = !(apart && unitNormal(p0, p1, p2, n));
      if (flat_[f]) {
        n = {0.0f, 0.0f, 0.0f};
      }
    }
  });

  // The sides counted at their lower vertex, then filed there (a counting sort); the sides of one edge come
  // together once each vertex's few are sorted by the other vertex.
  const size_t joinedCount = positions_.size();
  std::vector<int> starts(joinedCount + 1, 0);
  auto forEachSide = [&](auto&& visit) {
    for (size_t f = 0; f < faceCount; ++f) {
      if (flat_[f]) {
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        const int a = faceCorners_[3 * f + k], b = faceCorners_[3 * f + (k + 1) % 3];
        visit(std::min(a, b), std::max(a, b), static_cast<int>(3 * f + k));
      }
    }
  };
  forEachSide([&](int lower, int, int) { ++starts[static_cast<size_t>(lower) + 1]; });
  for (size_t v = 0; v < joinedCount; ++v) {
    starts[v + 1] += starts[v];
  }
  std::vector<Side> sides(static_cast<size_t>(starts[joinedCount]));
  std::vector<int> fill(starts.begin(), starts.end() - 1);
  forEachSide([&](int lower, int upper, int side) {
    sides[static_cast<size_t>(fill[static_cast<size_t>(lower)]++)] = {upper, side};
  });

  edgeOfSide_.assign(3 * faceCount, kNoEdge);
  edges_.reserve(sides.size() / 2 + 1);
  for (size_t v = 0; v < joinedCount; ++v) {
    Side* begin = sides.data() + starts[v];
    Side* end = sides.data() + starts[v + 1];
    std::sort(begin, end);
    for (Side* group = begin; group != end;) {
      Side* after = group + 1;
      while (after != end && after->upper == group->upper) {
        ++after;
      }
      SurfaceEdge edge{{static_cast<int>(v), group->upper}, {group->side / 3, kNoFace}, 1, false};
      if (after - group == 2) {
        edge.face[1] = group[1].side / 3;
        edge.sides = 2;
        edge.sameWay = faceCorners_[static_cast<size_t>(group[0].side)] ==
                       faceCorners_[static_cast<size_t>(group[1].side)];
      } else if (after - group > 2) {
        edge.sides = 3;
      }
      for (Side* s = group; s != after; ++s) {
        edgeOfSide_[static_cast<size_t>(s->side)] = static_cast<int>(edges_.size());
      }
      edges_.push_back(edge);
      group = after;
    }
  }

  // The corners at each vertex, likewise: counted, then filed in ascending order.
  cornerStarts_.assign(joinedCount + 1, 0);
  for (size_t c = 0; c < 3 * faceCount; ++c) {
    if (!flat_[c / 3]) {
      ++cornerStarts_[static_cast<size_t>(faceCorners_[c]) + 1];
    }
  }
  for (size_t v = 0; v < joinedCount; ++v) {
    cornerStarts_[v + 1] += cornerStarts_[v];
  }
  cornerList_.resize(static_cast<size_t>(cornerStarts_[joinedCount]));
  fill.assign(cornerStarts_.begin(), cornerStarts_.end() - 1);
  for (size_t c = 0; c < 3 * faceCount; ++c) {
    if (!flat_[c / 3]) {
      cornerList_[static_cast<size_t>(fill[static_cast<size_t>(faceCorners_[c])]++)] = static_cast<int>(c);
    }
  }
  return true;
}

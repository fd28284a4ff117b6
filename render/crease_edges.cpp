// Finding crease and border edges: corners joined by position, the edges bucketed at their lower corner.
#include "crease_edges.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numbers>
#include <utility>

namespace {

template <typename T>
std::unique_ptr<T[]> allocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// The bits of a coordinate, with -0 taken as +0 so that the two meet.
uint32_t keyOf(float value) {
  if (value == 0.0f) {
    value = 0.0f;
  }
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct PositionKey {
  uint32_t x, y, z;
  bool operator==(const PositionKey&) const = default;
};

PositionKey keyOf(const ModelVertex& v) {
  return {keyOf(v.x), keyOf(v.y), keyOf(v.z)};
}

// Writes for every vertex the first vertex at its position. Sorted rather than hashed: no choice of
// positions can make it slow.
bool joinByPosition(const Model& model, int* first) {
  const size_t count = static_cast<size_t>(model.vertexCount);
  const auto order = allocate<std::pair<PositionKey, int>>(count);
  if (!order) {
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    order[i] = {keyOf(model.vertices[i]), static_cast<int>(i)};
  }
  // By position, and at one position by vertex index, so the first of a run is the first vertex there.
  std::sort(order.get(), order.get() + count, [](const auto& a, const auto& b) {
    const uint64_t aXY = uint64_t{a.first.x} << 32 | a.first.y, bXY = uint64_t{b.first.x} << 32 | b.first.y;
    if (aXY != bXY) {
      return aXY < bXY;
    }
    return (uint64_t{a.first.z} << 32 | static_cast<uint32_t>(a.second)) <
           (uint64_t{b.first.z} << 32 | static_cast<uint32_t>(b.second));
  });
  for (size_t i = 0; i < count; ++i) {
    const bool samePosition = i > 0 && order[i].first == order[i - 1].first;
    first[order[i].second] = samePosition ? first[order[i - 1].second] : order[i].second;
  }
  return true;
}

struct Normal {
  double x, y, z;
};

bool hasNoDirection(const Normal& n) {
  return std::isnan(n.x);
}

// The unit normal of a face whose corners are at distinct positions, in double precision so that only a
// face of no area comes out without one (not a number).
Normal unitNormal(const Model& model, const int* corner, const int* first) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  const int c0 = first[corner[0]], c1 = first[corner[1]], c2 = first[corner[2]];
  if (c0 == c1 || c1 == c2 || c2 == c0) {
    return {kNone, kNone, kNone};
  }
  const ModelVertex &p0 = model.vertices[c0], &p1 = model.vertices[c1], &p2 = model.vertices[c2];
  const double ax = double{p1.x} - p0.x, ay = double{p1.y} - p0.y, az = double{p1.z} - p0.z;
  const double bx = double{p2.x} - p0.x, by = double{p2.y} - p0.y, bz = double{p2.z} - p0.z;
  const Normal n{ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
  const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (!(length > 0.0) || !std::isfinite(length)) {
    return {kNone, kNone, kNone};
  }
  return {n.x / length, n.y / length, n.z / length};
}

// One side of an edge: the face's edge from corner k to k + 1, filed under the edge's lower corner.
struct HalfEdge {
  int upper;     // the edge's other corner (first vertex at its position), the larger index
  int faceEdge;  // 3 x face + k

  bool operator<(const HalfEdge& other) const {
    return upper != other.upper ? upper < other.upper : faceEdge < other.faceEdge;
  }
};

class EdgeFinder {
 public:
  EdgeFinder(const Model& model, double cosLimit) : model_(model), cosLimit_(cosLimit) {}

  bool run(CreaseEdges& edges) {
    const size_t faceCount = static_cast<size_t>(model_.faceCount);
    const size_t vertexCount = static_cast<size_t>(model_.vertexCount);
    first_ = allocate<int>(vertexCount);
    normals_ = allocate<Normal>(faceCount);
    masks_ = allocate<uint8_t>(faceCount);
    starts_ = allocate<int>(vertexCount + 1);
    if (!first_ || !normals_ || !masks_ || !starts_ || !joinByPosition(model_, first_.get())) {
      return false;
    }
    for (size_t f = 0; f < faceCount; ++f) {
      normals_[f] = unitNormal(model_, model_.faces[f].vertexIndex, first_.get());
      masks_[f] = 0;
    }
    if (!fileHalfEdges()) {
      return false;
    }
    for (size_t v = 0; v < vertexCount; ++v) {
      HalfEdge* begin = halfEdges_.get() + starts_[v];
      HalfEdge* end = halfEdges_.get() + starts_[v + 1];
      // Sorted by the other corner, the sides of one edge stand together; a sort, not a search per
      // side, so that a corner shared by a great many faces costs n log n.
      std::sort(begin, end);
      for (HalfEdge* group = begin; group != end;) {
        HalfEdge* next = group + 1;
        while (next != end && next->upper == group->upper) {
          ++next;
        }
        judge(group, next, static_cast<int>(v));
        group = next;
      }
    }
    return collect(edges);
  }

 private:
  int corner(int faceEdge, int step) const {
    return first_[model_.faces[faceEdge / 3].vertexIndex[(faceEdge % 3 + step) % 3]];
  }

  // Counts the sides of the edges at each lower corner, then files them there: a counting sort.
  bool fileHalfEdges() {
    const size_t vertexCount = static_cast<size_t>(model_.vertexCount);
    std::fill_n(starts_.get(), vertexCount + 1, 0);
    int total = 0;
    forEachSide([&](int lower, int, int) {
      ++starts_[lower + 1];
      ++total;
    });
    halfEdges_ = allocate<HalfEdge>(static_cast<size_t>(total));
    if (!halfEdges_) {
      return false;
    }
    for (size_t v = 0; v < vertexCount; ++v) {
      starts_[v + 1] += starts_[v];
    }
    const auto next = allocate<int>(vertexCount);
    if (!next) {
      return false;
    }
    std::copy_n(starts_.get(), vertexCount, next.get());
    forEachSide([&](int lower, int upper, int faceEdge) { halfEdges_[next[lower]++] = {upper, faceEdge}; });
    return true;
  }

  template <typename Visit>
  void forEachSide(Visit&& visit) const {
    for (int f = 0; f < model_.faceCount; ++f) {
      if (hasNoDirection(normals_[f])) {
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        const int a = corner(3 * f + k, 0), b = corner(3 * f + k, 1);
        visit(std::min(a, b), std::max(a, b), 3 * f + k);
      }
    }
  }

  // Decides whether the edge whose sides are [begin, end) is drawn, and marks it in its faces if so.
  void judge(const HalfEdge* begin, const HalfEdge* end, int lower) {
    const auto sides = end - begin;
    if (sides == 1) {
      ++borders_;
    } else if (sides >= 3) {
      ++junctions_;
    } else {
      const Normal& n0 = normals_[begin[0].faceEdge / 3];
      const Normal& n1 = normals_[begin[1].faceEdge / 3];
      // Faces wound alike run along their shared edge in opposite directions; when both run the same
      // way one of them is flipped, and its normal is turned back before the angle is taken.
      const bool sameWay = (corner(begin[0].faceEdge, 0) == lower) == (corner(begin[1].faceEdge, 0) == lower);
      const double cosine = (sameWay ? -1.0 : 1.0) * (n0.x * n1.x + n0.y * n1.y + n0.z * n1.z);
      // The margin lets faces at exactly the limit through despite the normals' last bits: 0 degrees
      // takes coplanar faces, 180 faces folded flat onto each other.
      if (!(cosine <= cosLimit_ + 1e-9)) {
        return;
      }
      ++creases_;
    }
    for (const HalfEdge* side = begin; side != end; ++side) {
      masks_[side->faceEdge / 3] |= static_cast<uint8_t>(1u << (side->faceEdge % 3));
    }
  }

  bool collect(CreaseEdges& edges) {
    int marked = 0;
    for (int f = 0; f < model_.faceCount; ++f) {
      marked += masks_[f] != 0;
    }
    edges.faces = allocate<CreaseFace>(static_cast<size_t>(marked));
    if (!edges.faces) {
      return false;
    }
    edges.faceCount = 0;
    for (int f = 0; f < model_.faceCount; ++f) {
      if (masks_[f] != 0) {
        edges.faces[edges.faceCount++] = {f, masks_[f]};
      }
    }
    edges.creases = creases_;
    edges.borders = borders_;
    edges.junctions = junctions_;
    return true;
  }

  const Model& model_;
  const double cosLimit_;
  std::unique_ptr<int[]> first_;  // per vertex, the first vertex at its position
  std::unique_ptr<Normal[]> normals_;
  std::unique_ptr<uint8_t[]> masks_;
  std::unique_ptr<int[]> starts_;  // per lower corner, where its sides begin in halfEdges_
  std::unique_ptr<HalfEdge[]> halfEdges_;
  int creases_ = 0, borders_ = 0, junctions_ = 0;
};

}  // namespace

bool findCreaseEdges(const Model& model, float creaseDegrees, CreaseEdges& edges) {
  edges = CreaseEdges{};
  if (model.faceCount <= 0 || model.vertexCount <= 0) {
    return true;
  }
  // Every side of an edge is numbered 3 x face + corner in an int.
  if (model.faceCount > INT_MAX / 3) {
    return false;
  }
  EdgeFinder finder(model, std::cos(double{creaseDegrees} * (std::numbers::pi / 180.0)));
  if (!finder.run(edges)) {
    edges = CreaseEdges{};
    return false;
  }
  return true;
}

bool joinVerticesByPosition(const Model& model, int* first) {
  return model.vertexCount <= 0 || joinByPosition(model, first);
}

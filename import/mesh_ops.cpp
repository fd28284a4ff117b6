// Mesh maths the asset tools share. Sums run in double so that large meshes judge their winding reliably.
#include "mesh_ops.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

using Vec = std::array<double, 3>;

Vec toVec(const std::array<float, 3>& p) {
  return {p[0], p[1], p[2]};
}
Vec sub(const Vec& a, const Vec& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
double length(const Vec& a) {
  return std::sqrt(dot(a, a));
}

// Twice the face's area, along its right-hand normal.
Vec areaNormal(const PolyMesh& mesh, const std::array<int, 3>& face) {
  const Vec a = toVec(mesh.positions[static_cast<size_t>(face[0])]);
  const Vec b = toVec(mesh.positions[static_cast<size_t>(face[1])]);
  const Vec c = toVec(mesh.positions[static_cast<size_t>(face[2])]);
  return cross(sub(b, a), sub(c, a));
}

struct SurfaceMeasure {
  Vec centre{0, 0, 0};
  double area = 0;
};

SurfaceMeasure measureSurface(const PolyMesh& mesh) {
  SurfaceMeasure measure;
  for (const auto& face : mesh.faces) {
    const double area = length(areaNormal(mesh, face)) / 2;
    for (int corner : face) {
      const Vec p = toVec(mesh.positions[static_cast<size_t>(corner)]);
      for (size_t axis = 0; axis < 3; ++axis) {
        measure.centre[axis] += p[axis] * area / 3;
      }
    }
    measure.area += area;
  }
  if (measure.area > 0) {
    for (double& value : measure.centre) {
      value /= measure.area;
    }
  }
  return measure;
}

double signedVolumeAbout(const PolyMesh& mesh, const Vec& centre) {
  double volume = 0;
  for (const auto& face : mesh.faces) {
    const Vec a = sub(toVec(mesh.positions[static_cast<size_t>(face[0])]), centre);
    const Vec b = sub(toVec(mesh.positions[static_cast<size_t>(face[1])]), centre);
    const Vec c = sub(toVec(mesh.positions[static_cast<size_t>(face[2])]), centre);
    volume += dot(a, cross(b, c));
  }
  return volume;
}

// Applies a linear map given by its rows to positions and, where present, normals.
void applyLinear(PolyMesh& mesh, const std::array<Vec, 3>& rows) {
  auto map = [&](std::array<float, 3>& v) {
    const Vec p = toVec(v);
    for (size_t axis = 0; axis < 3; ++axis) {
      v[axis] = static_cast<float>(dot(rows[axis], p));
    }
  };
  for (auto& p : mesh.positions) {
    map(p);
  }
  for (auto& n : mesh.normals) {
    map(n);
  }
}

}  // namespace

Bounds boundsOf(const PolyMesh& mesh) {
  if (mesh.positions.empty()) {
    return {{0, 0, 0}, {0, 0, 0}};
  }
  Bounds box{mesh.positions[0], mesh.positions[0]};
  for (const auto& p : mesh.positions) {
    for (size_t axis = 0; axis < 3; ++axis) {
      box.min[axis] = std::min(box.min[axis], p[axis]);
      box.max[axis] = std::max(box.max[axis], p[axis]);
    }
  }
  return box;
}

namespace {

using Bits = std::array<uint32_t, 3>;

// A position's coordinates as bits, +0 added so that -0 and 0 are one.
Bits bitsOf(const std::array<float, 3>& p) {
  return {std::bit_cast<uint32_t>(p[0] + 0.0f), std::bit_cast<uint32_t>(p[1] + 0.0f),
          std::bit_cast<uint32_t>(p[2] + 0.0f)};
}

bool sameBits(const std::array<float, 3>& p, const Bits& bits) {
  return bitsOf(p) == bits;
}

size_t hashOf(const Bits& bits) {
  uint64_t hash = (bits[0] * 0x9E3779B97F4A7C15ull) ^ (bits[1] * 0xC2B2AE3D27D4EB4Full) ^
                  (bits[2] * 0x165667B19E3779F9ull);
  return static_cast<size_t>(hash ^ (hash >> 31));
}

// A table of open addressing keyed by positions' bits, kept at most half full: each slot holds the index of
// a position in a list that the caller owns and passes to each call (a tree of a million positions costs
// more in allocations and page faults than the rest of an import).
class PositionTable {
 public:
  explicit PositionTable(size_t expected) {
    size_t capacity = 1024;
    while (capacity < 2 * expected) {
      capacity *= 2;
    }
    slots_.assign(capacity, -1);
  }

  // The index in list of a position with p's bits; when there is none, list.size(), after p is added to the
  // end of list.
  int find(const std::array<float, 3>& p, std::vector<std::array<float, 3>>& list) {
    const Bits bits = bitsOf(p);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hashOf(bits) & mask;; slot = (slot + 1) & mask) {
      const int index = slots_[slot];
      if (index < 0) {
        slots_[slot] = static_cast<int>(list.size());
        list.push_back(p);
        if (2 * list.size() > slots_.size()) {
          grow(list);
        }
        return static_cast<int>(list.size() - 1);
      }
      if (sameBits(list[static_cast<size_t>(index)], bits)) {
        return index;
      }
    }
  }

  // The same for the position list[i], where every position before it is in the table already: i itself
  // when none of them has its bits, and the table takes it.
  int first(size_t i, const std::vector<std::array<float, 3>>& list) {
    const Bits bits = bitsOf(list[i]);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hashOf(bits) & mask;; slot = (slot + 1) & mask) {
      const int index = slots_[slot];
      if (index < 0) {
        slots_[slot] = static_cast<int>(i);
        return static_cast<int>(i);
      }
      if (sameBits(list[static_cast<size_t>(index)], bits)) {
        return index;
      }
    }
  }

 private:
  void grow(const std::vector<std::array<float, 3>>& list) {
    slots_.assign(2 * slots_.size(), -1);
    const size_t mask = slots_.size() - 1;
    for (size_t index = 0; index < list.size(); ++index) {
      size_t slot = hashOf(bitsOf(list[index])) & mask;
      while (slots_[slot] >= 0) {
        slot = (slot + 1) & mask;
      }
      slots_[slot] = static_cast<int>(index);
    }
  }

  std::vector<int> slots_;
};

// Three corners a face, each face's its own, in order: the vertex list of STL and other triangle soups.
bool isSoup(const PolyMesh& mesh) {
  if (mesh.positions.size() != 3 * mesh.faces.size()) {
    return false;
  }
  for (size_t f = 0; f < mesh.faces.size(); ++f) {
    const int first = static_cast<int>(3 * f);
    if (mesh.faces[f] != std::array<int, 3>{first, first + 1, first + 2}) {
      return false;
    }
  }
  return true;
}

// Keeps the faces whose three corners are apart.
void keepApart(const std::array<int, 3>& corners, std::vector<std::array<int, 3>>& faces) {
  if (corners[0] != corners[1] && corners[1] != corners[2] && corners[2] != corners[0]) {
    faces.push_back(corners);
  }
}

// mesh as faces, whose corners index source, and only the positions of source that they use, renumbered in
// their order in source.
void keepUsed(PolyMesh& mesh, std::vector<std::array<int, 3>> faces,
              const std::vector<std::array<float, 3>>& source) {
  std::vector<int> used(source.size(), -1);
  for (const auto& face : faces) {
    for (int corner : face) {
      used[static_cast<size_t>(corner)] = 0;
    }
  }
  std::vector<std::array<float, 3>> positions;
  for (size_t i = 0; i < used.size(); ++i) {
    if (used[i] == 0) {
      used[i] = static_cast<int>(positions.size());
      positions.push_back(source[i]);
    }
  }
  for (auto& face : faces) {
    for (int& corner : face) {
      corner = used[static_cast<size_t>(corner)];
    }
  }
  mesh.positions = std::move(positions);
  mesh.faces = std::move(faces);
  mesh.normals.clear();
}

}  // namespace

void joinVertices(PolyMesh& mesh) {
  const size_t count = mesh.positions.size();
  std::vector<std::array<int, 3>> faces;
  faces.reserve(mesh.faces.size());
  if (isSoup(mesh)) {
    // A soup's corners are its vertex list in order, so its distinct positions are numbered as its faces are
    // walked, in order of first appearance; it has about six corners a position.
    PositionTable table(count / 6);
    std::vector<std::array<float, 3>> distinct;
    distinct.reserve(count / 6);
    // Neighbouring faces in a file mostly share corners: a corner of the face before is looked up there,
    // in the cache, instead of in the table, which waits on memory.
    std::array<Bits, 3> before{};
    std::array<int, 3> beforeIndex{-1, -1, -1};
    for (size_t corner = 0; corner < count; corner += 3) {
      std::array<Bits, 3> bits;
      std::array<int, 3> index;
      for (size_t k = 0; k < 3; ++k) {
        const std::array<float, 3>& p = mesh.positions[corner + k];
        bits[k] = bitsOf(p);
        index[k] = -1;
        for (size_t j = 0; j < 3 && index[k] < 0; ++j) {
          if (beforeIndex[j] >= 0 && bits[k] == before[j]) {
            index[k] = beforeIndex[j];
          }
        }
        if (index[k] < 0) {
          index[k] = table.find(p, distinct);
        }
      }
      keepApart(index, faces);
      before = bits;
      beforeIndex = index;
    }
    keepUsed(mesh, std::move(faces), distinct);
    return;
  }
  // Each vertex stands for the first vertex at its position.
  PositionTable table(count);
  std::vector<int> first(count);
  for (size_t i = 0; i < count; ++i) {
    first[i] = table.first(i, mesh.positions);
  }
  for (const auto& face : mesh.faces) {
    keepApart({first[static_cast<size_t>(face[0])], first[static_cast<size_t>(face[1])],
               first[static_cast<size_t>(face[2])]},
              faces);
  }
  keepUsed(mesh, std::move(faces), mesh.positions);
}

double signedVolume(const PolyMesh& mesh) {
  return signedVolumeAbout(mesh, measureSurface(mesh).centre);
}

std::optional<Winding> windingOf(const PolyMesh& mesh) {
  const SurfaceMeasure surface = measureSurface(mesh);
  const double volume = signedVolumeAbout(mesh, surface.centre);
  // Scale-free: a sphere gives about 0.56, a flat mesh only rounding noise.
  if (surface.area <= 0 || std::abs(volume) <= 1e-6 * std::pow(surface.area, 1.5)) {
    return std::nullopt;
  }
  return volume > 0 ? Winding::CounterClockwise : Winding::Clockwise;
}

void flipFaces(PolyMesh& mesh) {
  for (auto& face : mesh.faces) {
    std::swap(face[1], face[2]);
  }
}

bool orientFaces(PolyMesh& mesh, Winding wanted) {
  const std::optional<Winding> current = windingOf(mesh);
  if (!current) {
    return false;
  }
  if (*current != wanted) {
    flipFaces(mesh);
  }
  return true;
}

void turnUpAxis(PolyMesh& mesh, Axis up) {
  switch (up) {
    case Axis::X:
      // A quarter turn about z: x goes to y, y to -x.
      applyLinear(mesh, {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}});
      break;
    case Axis::Z:
      // A quarter turn about x: z goes to y, y to -z.
      applyLinear(mesh, {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}});
      break;
    case Axis::Y:
      break;
  }
}

void turnAboutY(PolyMesh& mesh, double degrees) {
  const double a = degrees * std::numbers::pi / 180;
  const double c = std::cos(a), s = std::sin(a);
  applyLinear(mesh, {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}});
}

void turnAboutX(PolyMesh& mesh, double degrees) {
  const double a = degrees * std::numbers::pi / 180;
  const double c = std::cos(a), s = std::sin(a);
  applyLinear(mesh, {{{1, 0, 0}, {0, c, -s}, {0, s, c}}});
}

void fitUnitBox(PolyMesh& mesh) {
  const Bounds box = boundsOf(mesh);
  double largest = 0;
  Vec centre{};
  for (size_t axis = 0; axis < 3; ++axis) {
    largest = std::max(largest, double(box.max[axis]) - box.min[axis]);
    centre[axis] = (double(box.max[axis]) + box.min[axis]) / 2;
  }
  const double scale = largest > 0 ? 1 / largest : 1;
  for (auto& p : mesh.positions) {
    for (size_t axis = 0; axis < 3; ++axis) {
      p[axis] = static_cast<float>((p[axis] - centre[axis]) * scale);
    }
  }
}

void computeNormals(PolyMesh& mesh) {
  const double outward = windingOf(mesh) == Winding::Clockwise ? -1 : 1;
  std::vector<Vec> sums(mesh.positions.size(), Vec{0, 0, 0});
  for (const auto& face : mesh.faces) {
    const Vec n = areaNormal(mesh, face);
    for (int corner : face) {
      for (size_t axis = 0; axis < 3; ++axis) {
        sums[static_cast<size_t>(corner)][axis] += outward * n[axis];
      }
    }
  }
  const Bounds box = boundsOf(mesh);
  mesh.normals.assign(mesh.positions.size(), {0, 1, 0});
  for (size_t i = 0; i < sums.size(); ++i) {
    Vec n = sums[i];
    if (length(n) <= 0) {
      const auto& p = mesh.positions[i];
      n = {p[0] - (double(box.min[0]) + box.max[0]) / 2, p[1] - (double(box.min[1]) + box.max[1]) / 2,
           p[2] - (double(box.min[2]) + box.max[2]) / 2};
    }
    const double l = length(n);
    if (l > 0) {
      mesh.normals[i] = {static_cast<float>(n[0] / l), static_cast<float>(n[1] / l),
                         static_cast<float>(n[2] / l)};
    }
  }
}

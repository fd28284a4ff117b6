// Mesh maths the asset tools share. Sums run in double so that large meshes judge their winding reliably.
#include "mesh_ops.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
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

size_t hashOf(const Bits& bits) {
  uint64_t hash = (bits[0] * 0x9E3779B97F4A7C15ull) ^ (bits[1] * 0xC2B2AE3D27D4EB4Full) ^
                  (bits[2] * 0x165667B19E3779F9ull);
  return static_cast<size_t>(hash ^ (hash >> 31));
}

// The distinct positions in order of first appearance, each given the next id when first seen: a table of
// open addressing keyed by the coordinates' bits, kept at most half full, whose slots hold ids into the
// compact list of distinct positions (a tree of a million positions costs more in allocations and page
// faults than the rest of an import, and a table sized for every corner of a triangle soup more than the
// join itself).
class PositionIds {
 public:
  explicit PositionIds(size_t expected) {
    size_t capacity = 1024;
    while (capacity < 2 * expected) {
      capacity *= 2;
    }
    slots_.assign(capacity, -1);
    distinct.reserve(expected);
  }

  // The id of p: a new one, distinct.size() before the call, when no position seen before has its bits.
  int idOf(const std::array<float, 3>& p) {
    const Bits bits = bitsOf(p);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hashOf(bits) & mask;; slot = (slot + 1) & mask) {
      const int id = slots_[slot];
      if (id < 0) {
        slots_[slot] = static_cast<int>(distinct.size());
        distinct.push_back(p);
        if (2 * distinct.size() > slots_.size()) {
          grow();
        }
        return static_cast<int>(distinct.size() - 1);
      }
      if (bitsOf(distinct[static_cast<size_t>(id)]) == bits) {
        return id;
      }
    }
  }

  std::vector<std::array<float, 3>> distinct;  // by id, each as its first vertex has it

 private:
  void grow() {
    slots_.assign(2 * slots_.size(), -1);
    const size_t mask = slots_.size() - 1;
    for (size_t id = 0; id < distinct.size(); ++id) {
      size_t slot = hashOf(bitsOf(distinct[id])) & mask;
      while (slots_[slot] >= 0) {
        slot = (slot + 1) & mask;
      }
      slots_[slot] = static_cast<int>(id);
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

}  // namespace

void joinVertices(PolyMesh& mesh) {
  const size_t count = mesh.positions.size();
  // A soup's corners are visited face by face, which is the vertex list's order; a soup has about six
  // corners a position.
  const bool soup = isSoup(mesh);
  PositionIds ids(soup ? count / 6 : count);
  std::vector<std::array<int, 3>> faces;
  faces.reserve(mesh.faces.size());
  const auto keep = [&faces](const std::array<int, 3>& joined) {
    if (joined[0] != joined[1] && joined[1] != joined[2] && joined[2] != joined[0]) {
      faces.push_back(joined);
    }
  };
  if (soup) {
    for (size_t corner = 0; corner < count; corner += 3) {
      keep({ids.idOf(mesh.positions[corner]), ids.idOf(mesh.positions[corner + 1]),
            ids.idOf(mesh.positions[corner + 2])});
    }
  } else {
    std::vector<int> idOfVertex(count);
    for (size_t i = 0; i < count; ++i) {
      idOfVertex[i] = ids.idOf(mesh.positions[i]);
    }
    for (const auto& face : mesh.faces) {
      keep({idOfVertex[static_cast<size_t>(face[0])], idOfVertex[static_cast<size_t>(face[1])],
            idOfVertex[static_cast<size_t>(face[2])]});
    }
  }
  // Renumber the positions still in use, in order of first appearance in the vertex list.
  std::vector<int> used(ids.distinct.size(), -1);
  for (const auto& face : faces) {
    for (int corner : face) {
      used[static_cast<size_t>(corner)] = 0;
    }
  }
  std::vector<std::array<float, 3>> positions;
  for (size_t id = 0; id < used.size(); ++id) {
    if (used[id] == 0) {
      used[id] = static_cast<int>(positions.size());
      positions.push_back(ids.distinct[id]);
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

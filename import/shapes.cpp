// Building the known shapes vertex by vertex.
#include "shapes.h"

#include <cmath>
#include <numbers>

namespace {

std::array<float, 3> unitOf(double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  return {static_cast<float>(x / length), static_cast<float>(y / length), static_cast<float>(z / length)};
}

// The two triangles of the quad a, b, c, d, counter-clockwise in that order.
void addQuad(PolyMesh& mesh, int a, int b, int c, int d) {
  mesh.faces.push_back({a, b, c});
  mesh.faces.push_back({a, c, d});
}

}  // namespace

PolyMesh cylinder(float radius, float height, int around, int along, bool caps) {
  PolyMesh mesh;
  for (int ring = 0; ring <= along; ++ring) {
    const double y = height * (double(ring) / along - 0.5);
    for (int i = 0; i < around; ++i) {
      const double angle = 2.0 * std::numbers::pi * i / around;
      mesh.positions.push_back({static_cast<float>(radius * std::sin(angle)), static_cast<float>(y),
                                static_cast<float>(radius * std::cos(angle))});
      mesh.normals.push_back(unitOf(std::sin(angle), 0.0, std::cos(angle)));
    }
  }
  auto at = [around](int ring, int i) { return ring * around + i % around; };
  for (int ring = 0; ring < along; ++ring) {
    for (int i = 0; i < around; ++i) {
      addQuad(mesh, at(ring, i), at(ring, i + 1), at(ring + 1, i + 1), at(ring + 1, i));
    }
  }
  if (caps) {
    for (const int end : {0, 1}) {
      const int centre = static_cast<int>(mesh.positions.size());
      mesh.positions.push_back({0.0f, height * (end - 0.5f), 0.0f});
      mesh.normals.push_back({0.0f, end ? 1.0f : -1.0f, 0.0f});
      for (int i = 0; i < around; ++i) {
        if (end) {
          mesh.faces.push_back({centre, at(along, i), at(along, i + 1)});
        } else {
          mesh.faces.push_back({centre, at(0, i + 1), at(0, i)});
        }
      }
    }
  }
  return mesh;
}

PolyMesh ellipsoid(float a, float b, float c, int levels) {
  PolyMesh mesh = subdivideOnSphere(icosahedron(), levels);
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    auto& p = mesh.positions[i];
    // The outward normal of x^2/a^2 + y^2/b^2 + z^2/c^2 = 1 at the stretched point.
    mesh.normals[i] = unitOf(double{p[0]} / a, double{p[1]} / b, double{p[2]} / c);
    p = {p[0] * a, p[1] * b, p[2] * c};
  }
  return mesh;
}

PolyMesh corrugatedSheet(int ridges, float amplitude, int columns, int rows) {
  PolyMesh mesh;
  const double wave = 2.0 * std::numbers::pi * ridges;
  for (int row = 0; row <= rows; ++row) {
    for (int column = 0; column <= columns; ++column) {
      const double x = double(column) / columns - 0.5, z = double(row) / rows - 0.5;
      mesh.positions.push_back(
          {static_cast<float>(x), static_cast<float>(amplitude * std::sin(wave * x)), static_cast<float>(z)});
      mesh.normals.push_back(unitOf(-amplitude * wave * std::cos(wave * x), 1.0, 0.0));
    }
  }
  auto at = [columns](int row, int column) { return row * (columns + 1) + column; };
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      // Seen from above (+y), x to the right and z towards the eye runs counter-clockwise.
      addQuad(mesh, at(row, column), at(row + 1, column), at(row + 1, column + 1), at(row, column + 1));
    }
  }
  return mesh;
}

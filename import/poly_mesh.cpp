// Writing ".poly" files and the sphere meshes the generators share.
#include "poly_mesh.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <string_view>
#include <utility>

#include "output_file.h"

namespace {

std::array<float, 3> unit(std::array<double, 3> v) {
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {static_cast<float>(v[0] / length), static_cast<float>(v[1] / length), static_cast<float>(v[2] / length)};
}

// Prints -0 as 0 so that mirrored meshes and regenerated files compare byte for byte: adding +0 turns -0
// into +0 and leaves every other float as it is. With decimals, a negative number that rounds to 0 is
// printed without its sign too. The buffer holds FLT_MAX's 39 digits with sign, point and the decimals,
// which callers keep to a few.
void appendNumber(std::string& text, float value, std::optional<int> decimals) {
  char number[96];
  if (!decimals) {
    const auto end = std::to_chars(number, number + sizeof number, value + 0.0f).ptr;
    text.append(number, end);
    return;
  }
  std::snprintf(number, sizeof number, "%.*f", *decimals, static_cast<double>(value));
  const std::string_view printed = number;
  const bool negativeZero =
      printed.front() == '-' && printed.find_first_not_of("-0.") == std::string_view::npos;
  text += negativeZero ? printed.substr(1) : printed;
}

}  // namespace

std::string polyText(const PolyMesh& mesh, std::optional<int> decimals) {
  std::string text = "vertices: " + std::to_string(mesh.positions.size()) +
                     "\nfaces: " + std::to_string(mesh.faces.size()) + "\n";
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    text += "v";
    for (const auto* numbers : {&mesh.positions[i], &mesh.normals[i]}) {
      for (float value : *numbers) {
        text += ' ';
        appendNumber(text, value, decimals);
      }
    }
    text += '\n';
  }
  for (const auto& face : mesh.faces) {
    text += "f " + std::to_string(face[0] + 1) + " " + std::to_string(face[1] + 1) + " " +
            std::to_string(face[2] + 1) + "\n";
  }
  return text;
}

bool writePoly(const std::string& path, const PolyMesh& mesh, std::string& error,
               std::optional<int> decimals) {
  return writeOutputFile(path, polyText(mesh, decimals), error);
}

PolyMesh icosahedron() {
  const double t = (1.0 + std::sqrt(5.0)) / 2.0;
  const std::array<std::array<double, 3>, 12> corners{{{-1, t, 0},
                                                       {1, t, 0},
                                                       {-1, -t, 0},
                                                       {1, -t, 0},
                                                       {0, -1, t},
                                                       {0, 1, t},
                                                       {0, -1, -t},
                                                       {0, 1, -t},
                                                       {t, 0, -1},
                                                       {t, 0, 1},
                                                       {-t, 0, -1},
                                                       {-t, 0, 1}}};
  PolyMesh mesh;
  for (const auto& c : corners) {
    mesh.positions.push_back(unit(c));
    mesh.normals.push_back(unit(c));
  }
  mesh.faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                {3, 8, 9},  {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  return mesh;
}

PolyMesh subdivideOnSphere(const PolyMesh& mesh, int levels) {
  PolyMesh current = mesh;
  for (int level = 0; level < levels; ++level) {
    PolyMesh next;
    next.positions = current.positions;
    next.normals = current.normals;
    std::map<std::pair<int, int>, int> midpoints;
    auto midpoint = [&](int a, int b) {
      const auto key = std::minmax(a, b);
      if (auto found = midpoints.find(key); found != midpoints.end()) {
        return found->second;
      }
      const auto& pa = current.positions[static_cast<size_t>(a)];
      const auto& pb = current.positions[static_cast<size_t>(b)];
      const auto p = unit({double(pa[0]) + pb[0], double(pa[1]) + pb[1], double(pa[2]) + pb[2]});
      next.positions.push_back(p);
      next.normals.push_back(p);
      const int index = static_cast<int>(next.positions.size()) - 1;
      midpoints.emplace(key, index);
      return index;
    };
    for (const auto& f : current.faces) {
      const int ab = midpoint(f[0], f[1]), bc = midpoint(f[1], f[2]), ca = midpoint(f[2], f[0]);
      next.faces.push_back({f[0], ab, ca});
      next.faces.push_back({f[1], bc, ab});
      next.faces.push_back({f[2], ca, bc});
      next.faces.push_back({ab, bc, ca});
    }
    current = std::move(next);
  }
  return current;
}

void transform(PolyMesh& mesh, float scale, std::array<float, 3> offset) {
  for (auto& p : mesh.positions) {
    for (int axis = 0; axis < 3; ++axis) {
      p[static_cast<size_t>(axis)] = p[static_cast<size_t>(axis)] * scale + offset[static_cast<size_t>(axis)];
    }
  }
}

// Making the large sphere: 800 slices by 400 stacks, wound counter-clockwise as seen from outside.
#include "large_sphere.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "output_file.h"
#include "poly_mesh.h"

namespace {

constexpr int kSlices = 800;
constexpr int kStacks = 400;

PolyMesh latitudeLongitudeSphere() {
  PolyMesh mesh;
  auto add = [&mesh](double x, double y, double z) {
    const std::array<float, 3> normal{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    mesh.normals.push_back(normal);
    mesh.positions.push_back({normal[0] * 0.5f, normal[1] * 0.5f, normal[2] * 0.5f});
  };
  add(0, 1, 0);
  for (int stack = 1; stack < kStacks; ++stack) {
    const double theta = M_PI * stack / kStacks;
    for (int slice = 0; slice < kSlices; ++slice) {
      const double phi = 2 * M_PI * slice / kSlices;
      add(std::sin(theta) * std::sin(phi), std::cos(theta), std::sin(theta) * std::cos(phi));
    }
  }
  add(0, -1, 0);
  const int bottom = static_cast<int>(mesh.positions.size()) - 1;
  auto ring = [](int stack, int slice) { return 1 + (stack - 1) * kSlices + slice % kSlices; };
  for (int slice = 0; slice < kSlices; ++slice) {
    mesh.faces.push_back({0, ring(1, slice), ring(1, slice + 1)});
  }
  for (int stack = 1; stack < kStacks - 1; ++stack) {
    for (int slice = 0; slice < kSlices; ++slice) {
      mesh.faces.push_back({ring(stack, slice), ring(stack + 1, slice), ring(stack + 1, slice + 1)});
      mesh.faces.push_back({ring(stack, slice), ring(stack + 1, slice + 1), ring(stack, slice + 1)});
    }
  }
  for (int slice = 0; slice < kSlices; ++slice) {
    mesh.faces.push_back({bottom, ring(kStacks - 1, slice + 1), ring(kStacks - 1, slice)});
  }
  return mesh;
}

// The OBJ twin of a ".poly" file, converted from its text so that every number is the same string.
bool writeObjFromPoly(const std::string& polyPath, const std::string& objPath) {
  FILE* in = std::fopen(polyPath.c_str(), "rb");
  if (!in) {
    return false;
  }
  std::string obj;
  char line[256];
  while (std::fgets(line, sizeof line, in)) {
    char p[6][32];
    int a, b, c;
    if (std::sscanf(line, "v %31s %31s %31s %31s %31s %31s", p[0], p[1], p[2], p[3], p[4], p[5]) == 6) {
      obj += std::string("v ") + p[0] + " " + p[1] + " " + p[2] + "\nvn " + p[3] + " " + p[4] + " " + p[5] +
             "\n";
    } else if (std::sscanf(line, "f %d %d %d", &a, &b, &c) == 3) {
      obj += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
    }
  }
  std::fclose(in);
  std::string error;
  return writeOutputFile(objPath, obj, error);
}

}  // namespace

LargeSphereFiles largeSphereFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(folder, error);
  LargeSphereFiles files{folder + "/large-sphere.poly", folder + "/large-sphere.obj",
                         2 * kSlices * (kStacks - 1)};
  if (fs::exists(files.poly) && fs::exists(files.obj)) {
    return files;
  }
  std::string writeError;
  if (!writePoly(files.poly, latitudeLongitudeSphere(), writeError, kDataDecimals) ||
      !writeObjFromPoly(files.poly, files.obj)) {
    files.poly.clear();
  }
  return files;
}

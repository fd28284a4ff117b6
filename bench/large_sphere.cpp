// The benchmarks' spheres, wound counter-clockwise as seen from outside: the large one (800 slices by 400
// stacks) as files, the bumpy one in memory.
#include "large_sphere.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "mesh_import.h"
#include "output_file.h"
#include "poly_mesh.h"

namespace {

constexpr int kSlices = 800;
constexpr int kStacks = 400;

// slices x stacks, its radius 0.5 rising and falling by bump (a fraction) in 12 waves each way.
PolyMesh latitudeLongitudeSphere(int slices = kSlices, int stacks = kStacks, double bump = 0) {
  PolyMesh mesh;
  auto add = [&mesh, bump](double theta, double phi) {
    const double x = std::sin(theta) * std::sin(phi), y = std::cos(theta), z = std::sin(theta) * std::cos(phi);
    const std::array<float, 3> normal{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    const float radius = static_cast<float>(0.5 * (1 + bump * std::sin(12 * theta) * std::sin(12 * phi)));
    mesh.normals.push_back(normal);
    mesh.positions.push_back({normal[0] * radius, normal[1] * radius, normal[2] * radius});
  };
  add(0, 0);
  for (int stack = 1; stack < stacks; ++stack) {
    for (int slice = 0; slice < slices; ++slice) {
      add(M_PI * stack / stacks, 2 * M_PI * slice / slices);
    }
  }
  add(M_PI, 0);
  const int bottom = static_cast<int>(mesh.positions.size()) - 1;
  auto ring = [slices](int stack, int slice) { return 1 + (stack - 1) * slices + slice % slices; };
  for (int slice = 0; slice < slices; ++slice) {
    mesh.faces.push_back({0, ring(1, slice), ring(1, slice + 1)});
  }
  for (int stack = 1; stack < stacks - 1; ++stack) {
    for (int slice = 0; slice < slices; ++slice) {
      mesh.faces.push_back({ring(stack, slice), ring(stack + 1, slice), ring(stack + 1, slice + 1)});
      mesh.faces.push_back({ring(stack, slice), ring(stack + 1, slice + 1), ring(stack, slice + 1)});
    }
  }
  for (int slice = 0; slice < slices; ++slice) {
    mesh.faces.push_back({bottom, ring(stacks - 1, slice + 1), ring(stacks - 1, slice)});
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

Model* bumpySphere() {
  return modelOfMesh(latitudeLongitudeSphere(1250, 801, 0.04));
}

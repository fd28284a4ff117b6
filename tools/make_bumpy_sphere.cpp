// Writes a bumpy sphere for trying lines on: a latitude-longitude sphere of 400 slices by 250 stacks
// (199,200 faces) whose radius rises and falls by 6% in a pattern of bumps, in the unit box, wound
// counter-clockwise as seen from outside. make_bumpy_sphere [OUTPUT [SLICES [STACKS]]]
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "poly_mesh.h"
#include "tool_arguments.h"

namespace {

constexpr double kBumpHeight = 0.06;

// The radius in the direction of polar angle theta and heading phi: bumps fifteen around and eleven from pole
// to pole, and a slower swell across them so that no two are alike.
double radiusAt(double theta, double phi) {
  const double bumps = std::sin(15.0 * phi) * std::sin(11.0 * theta);
  const double swell = std::sin(3.0 * phi + 1.0) * std::cos(4.0 * theta);
  return 1.0 + kBumpHeight * (0.7 * bumps + 0.3 * swell);
}

PolyMesh bumpySphere(int slices, int stacks) {
  PolyMesh mesh;
  const double scale = 0.5 / (1.0 + kBumpHeight);
  auto add = [&](double theta, double phi) {
    const double r = radiusAt(theta, phi) * scale;
    const double x = std::sin(theta) * std::sin(phi), y = std::cos(theta),
                 z = std::sin(theta) * std::cos(phi);
    // The sphere's own normal: the tools fill the further numbers, which nothing draws.
    mesh.normals.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
    mesh.positions.push_back(
        {static_cast<float>(r * x), static_cast<float>(r * y), static_cast<float>(r * z)});
  };
  add(0.0, 0.0);
  for (int stack = 1; stack < stacks; ++stack) {
    for (int slice = 0; slice < slices; ++slice) {
      add(std::numbers::pi * stack / stacks, 2.0 * std::numbers::pi * slice / slices);
    }
  }
  add(std::numbers::pi, 0.0);
  const int bottom = static_cast<int>(mesh.positions.size()) - 1;
  auto at = [slices](int stack, int slice) { return 1 + (stack - 1) * slices + slice % slices; };
  for (int slice = 0; slice < slices; ++slice) {
    mesh.faces.push_back({0, at(1, slice), at(1, slice + 1)});
    mesh.faces.push_back({bottom, at(stacks - 1, slice + 1), at(stacks - 1, slice)});
    for (int stack = 1; stack < stacks - 1; ++stack) {
      mesh.faces.push_back({at(stack, slice), at(stack + 1, slice), at(stack + 1, slice + 1)});
      mesh.faces.push_back({at(stack, slice), at(stack + 1, slice + 1), at(stack, slice + 1)});
    }
  }
  return mesh;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = "bumpy-sphere.poly";
  int slices = 400, stacks = 250;
  CLI::App app("Writes a latitude-longitude sphere with bumps, for trying lines on.", "make_bumpy_sphere");
  app.add_option("OUTPUT", path, "the model file to write")->capture_default_str();
  app.add_option("SLICES", slices, "segments around")->check(CLI::Range(3, 10000))->capture_default_str();
  app.add_option("STACKS", stacks, "segments from pole to pole")
      ->check(CLI::Range(2, 10000))
      ->capture_default_str();
  if (const int status = parseToolArguments(app, argc, argv); status >= 0) {
    return status;
  }
  std::string error;
  if (!writePoly(path, bumpySphere(slices, stacks), error)) {
    std::fprintf(stderr, "make_bumpy_sphere: cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

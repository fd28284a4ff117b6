// Writes data/sphere-unit.poly: a sphere of radius 0.5 about the origin, a four times subdivided
// icosahedron (5120 faces), wound counter-clockwise as seen from outside.
#include <cstdio>
#include <string>

#include "poly_mesh.h"

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "data/sphere-unit.poly";
  PolyMesh sphere = subdivideOnSphere(icosahedron(), 4);
  transform(sphere, 0.5f, {0.0f, 0.0f, 0.0f});
  std::string error;
  if (!writePoly(path, sphere, error, kDataDecimals)) {
    std::fprintf(stderr, "make_sphere: cannot write %s: %s\n", path, error.c_str());
    return 1;
  }
  return 0;
}

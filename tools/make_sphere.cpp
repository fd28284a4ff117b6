// Writes data/sphere-unit.poly: a sphere of radius 0.5 about the origin, a four times subdivided
// icosahedron (5120 faces), wound counter-clockwise as seen from outside.
#include <cstdio>
#include <string>

#include "poly_mesh.h"
#include "tool_arguments.h"

int main(int argc, char** argv) {
  std::string path = "data/sphere-unit.poly";
  CLI::App app("Writes the sphere of the viewer's key 1: a four times subdivided icosahedron of radius 0.5.",
               "make_sphere");
  app.add_option("OUTPUT", path, "the model file to write")->capture_default_str();
  if (const int status = parseToolArguments(app, argc, argv); status >= 0) {
    return status;
  }
  PolyMesh sphere = subdivideOnSphere(icosahedron(), 4);
  transform(sphere, 0.5f, {0.0f, 0.0f, 0.0f});
  std::string error;
  if (!writePoly(path, sphere, error, kDataDecimals)) {
    std::fprintf(stderr, "make_sphere: cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

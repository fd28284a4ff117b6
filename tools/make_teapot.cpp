// Writes data/tpot-unit.poly: the teapot, tessellated from its bicubic Bezier patches (z up in the patch
// data), turned y up, centred with its largest side 1 and wound clockwise as seen from outside.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bezier_patches.h"
#include "mesh_ops.h"
#include "poly_mesh.h"
#include "tool_arguments.h"

namespace {

// 10 by 10 cells a patch: 32 patches give about six thousand triangles, enough for a smooth outline and
// tone bands without coarse steps.
constexpr int kSteps = 10;
// For the start-up eye: nearly in profile with the spout to the right of the picture and the handle in
// the light, turned a little further so that the opening of the handle shows.
constexpr double kTurnAboutY = -165;

}  // namespace

int main(int argc, char** argv) {
  std::string patchPath = "tools/data/teapot-patches.txt";
  std::string path = "data/tpot-unit.poly";
  CLI::App app(
      "Writes the teapot of the viewer's key 3, tessellated from its Bezier patches, wound clockwise.",
      "make_teapot");
  app.add_option("PATCHES", patchPath, "the patch file to read")->capture_default_str();
  app.add_option("OUTPUT", path, "the model file to write")->capture_default_str();
  if (const int status = parseToolArguments(app, argc, argv); status >= 0) {
    return status;
  }
  std::ifstream in(patchPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::optional<BezierPatchSet> patches = parseBezierPatches(text.str());
  if (!in || !patches) {
    std::fprintf(stderr, "make_teapot: cannot read patches from %s\n", patchPath.c_str());
    return 1;
  }
  PolyMesh mesh = tessellatePatches(*patches, kSteps);
  // Seams are sampled with Bernstein weights of exactly 0 and 1, so neighbouring patches give equal
  // positions there, and the rows that collapse into one point at the lid top and the bottom are equal too:
  // joining equal positions welds both, and drops the triangles squeezed to nothing at those points.
  joinVertices(mesh);
  turnUpAxis(mesh, Axis::Z);
  turnAboutY(mesh, kTurnAboutY);
  fitUnitBox(mesh);
  orientFaces(mesh, Winding::Clockwise);
  computeNormals(mesh);
  std::string error;
  if (!writePoly(path, mesh, error, kDataDecimals)) {
    std::fprintf(stderr, "make_teapot: cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

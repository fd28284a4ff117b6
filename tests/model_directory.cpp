// Stand-in models written by the test itself, next to copies of the source tree's sphere and images.
#include "model_directory.h"

#include <unistd.h>

#include <string>
#include <utility>

#include "poly_mesh.h"

namespace {

const char* const kSlotFiles[] = {"sphere-unit.poly", "icos-unit.poly", "tpot-unit.poly", "penny3-unit.poly",
                                  "bunny-unit.poly"};

void reverseWinding(PolyMesh& mesh) {
  for (auto& face : mesh.faces) {
    std::swap(face[1], face[2]);
  }
}

PolyMesh standIn(int slot) {
  PolyMesh mesh = icosahedron();
  switch (slot) {
    case 1:
      transform(mesh, 0.5f, {0.0f, 0.0f, 0.0f});
      break;
    case 2:
      mesh = subdivideOnSphere(mesh, 1);
      transform(mesh, 0.35f, {0.25f, 0.0f, 0.0f});
      reverseWinding(mesh);
      break;
    case 3:
      // A bar along x, so that turning the view changes its outline.
      for (auto& p : mesh.positions) {
        p = {p[0] * 0.6f, p[1] * 0.2f, p[2] * 0.2f};
      }
      break;
    default:
      transform(mesh, 0.3f, {0.0f, 0.25f, 0.0f});
      reverseWinding(mesh);
      break;
  }
  return mesh;
}

}  // namespace

ModelDirectory::ModelDirectory(std::initializer_list<int> slots) {
  static int counter = 0;
  path_ = std::filesystem::temp_directory_path() /
          ("nprview-models-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  const std::filesystem::path data = path_ / "data";
  std::filesystem::create_directories(data);
  const std::filesystem::path source = std::filesystem::path(NPRVIEW_SOURCE_DIR) / "data";
  for (const char* name : {"sphere-unit.poly", "xhatch1.bmp", "xhatch2.bmp", "xhatch3.bmp", "xhatch4.bmp"}) {
    if (std::filesystem::exists(source / name)) {
      std::filesystem::copy_file(source / name, data / name);
    }
  }
  for (int slot : slots) {
    writePoly((data / kSlotFiles[slot]).string(), standIn(slot));
  }
}

ModelDirectory::~ModelDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

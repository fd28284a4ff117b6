// Fuzzes the whole contained import, assimp included, as nprsnap runs it: every input is refused or gives a
// model the viewer's parser accepts, within the import's time limit and memory bound (which follows the
// input's own bytes). Contained failures of assimp (crash, hang, runaway memory) are counted and, with
// NPRVIEW_FUZZ_FINDINGS=DIR, kept in DIR.
#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "contained.h"
#include "mesh_import.h"
#include "model.h"

namespace {

// The importer assimp picks depends on the name; choose it the way a user's file would be named.
const char* extensionFor(std::string_view bytes) {
  const struct {
    std::string_view start;
    const char* extension;
  } kStarts[] = {{"ply", ".ply"}, {"OFF", ".off"},  {"COFF", ".off"},
                 {"{", ".gltf"},  {"glTF", ".glb"}, {"solid", ".stl"}};
  for (const auto& [start, extension] : kStarts) {
    if (bytes.starts_with(start)) {
      return extension;
    }
  }
  return bytes.find("\nf ") != std::string_view::npos || bytes.starts_with("v ") ? ".obj" : ".stl";
}

struct Outcomes {
  long accepted = 0, refused = 0, crashed = 0, slow = 0, large = 0;
  ~Outcomes() {
    std::fprintf(stderr,
                 "mesh_import_fuzzer: %ld accepted, %ld refused; contained: %ld crashed, %ld too long, %ld "
                 "too large\n",
                 accepted, refused, crashed, slow, large);
  }
} g_outcomes;

// A folder of its own for the input, with nothing beside it that it could name.
struct Folder {
  std::string path;
  Folder() {
    char name[] = "/tmp/nprview-import-fuzz-XXXXXX";
    path = mkdtemp(name) ? name : "/tmp";
  }
  ~Folder() { rmdir(path.c_str()); }
} g_folder;

size_t ownResidentBytes() {
  long pages = 0, resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm && std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
    resident = 0;
  }
  if (statm) {
    std::fclose(statm);
  }
  return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

void keepFinding(const std::string& path, std::string_view bytes, long number) {
  if (const char* folder = std::getenv("NPRVIEW_FUZZ_FINDINGS")) {
    std::ofstream(std::string(folder) + "/finding-" + std::to_string(getpid()) + "-" +
                      std::to_string(number) + path.substr(path.rfind('.')),
                  std::ios::binary)
        << bytes;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = g_folder.path + "/model" + extensionFor(bytes);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  PolyMesh mesh;
  std::string error;
  const bool imported = importMesh(path, {true, Winding::CounterClockwise, Axis::Y, 0.0}, mesh, error);
  std::remove(path.c_str());

  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  const size_t bound = importLimitsFor(size).memoryBytes + ownResidentBytes() + (32u << 20);
  if (static_cast<size_t>(children.ru_maxrss) * 1024 > bound) {
    std::fprintf(stderr, "the importer grew to %ld KiB, over the bound\n", children.ru_maxrss);
    std::abort();
  }
  if (imported) {
    Model* model = modelOfMesh(mesh);
    if (!model) {
      std::fprintf(stderr, "an imported mesh of %zu vertices gives no model\n", mesh.positions.size());
      std::abort();
    }
    freeModel(model);
    ++g_outcomes.accepted;
  } else if (error.starts_with("the importer crashed")) {
    keepFinding(path, bytes, ++g_outcomes.crashed);
  } else if (error.starts_with("importing it takes too long")) {
    keepFinding(path, bytes, ++g_outcomes.slow);
  } else if (error.starts_with("importing it needs more")) {
    keepFinding(path, bytes, ++g_outcomes.large);
  } else {
    ++g_outcomes.refused;
  }
  return 0;
}

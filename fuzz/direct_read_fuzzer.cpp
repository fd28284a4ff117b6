// Fuzzes the import's direct readers against assimp on the same bytes: every binary PLY or STL file they
// take must come out of both the same, to the last bit, or be refused by both for the same reason. Bytes
// that do not start as a PLY file are cut to a binary STL file of as many triangles as they hold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "direct_read_check.h"

namespace {

struct Folder {
  std::string path;
  long taken = 0, declined = 0;
  Folder() {
    char name[] = "/tmp/nprview-direct-fuzz-XXXXXX";
    path = mkdtemp(name) ? name : "/tmp";
  }
  ~Folder() {
    std::fprintf(stderr, "direct_read_fuzzer: %ld taken by the direct readers, %ld left to assimp\n", taken,
                 declined);
    for (const char* name : {"/model.ply", "/model.stl"}) {
      unlink((path + name).c_str());
    }
    rmdir(path.c_str());
  }
} g_folder;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool ply = bytes.starts_with("ply");
  if (!ply && size >= 84) {
    const std::uint32_t triangles = static_cast<std::uint32_t>((size - 84) / 50);
    bytes.resize(84 + 50 * size_t{triangles});
    std::memcpy(bytes.data() + 80, &triangles, sizeof triangles);
  }
  bool taken = false;
  const std::string difference =
      directReadDifference(g_folder.path, ply ? "model.ply" : "model.stl", bytes, &taken);
  if (!difference.empty()) {
    std::fprintf(stderr, "the direct readers and assimp differ: %s\n", difference.c_str());
    std::abort();
  }
  ++(taken ? g_folder.taken : g_folder.declined);
  return 0;
}

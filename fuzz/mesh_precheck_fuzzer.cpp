// Fuzzes the import's pre-check: whatever the bytes, it answers without reading out of bounds, and a
// refusal always comes with its reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mesh_precheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string reason;
  if (!precheckMesh(std::string_view(reinterpret_cast<const char*>(data), size), reason) && reason.empty()) {
    std::abort();
  }
  return 0;
}

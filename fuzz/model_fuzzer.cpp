// Fuzzes the model parser alone: whatever the bytes, it returns a model whose every index is valid, or
// refuses, and never reads or writes out of bounds (the sanitizers watch that).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const PolyParse parsed = parsePoly(std::string_view(reinterpret_cast<const char*>(data), size));
  if ((parsed.model != nullptr) != (parsed.status == PolyStatus::Ok)) {
    std::fprintf(stderr, "status and model disagree\n");
    std::abort();
  }
  if (const Model* model = parsed.model) {
    for (int i = 0; i < model->faceCount; ++i) {
      for (const int index : model->faces[i].vertexIndex) {
        if (index < 0 || index >= model->vertexCount) {
          std::fprintf(stderr, "face %d names vertex %d of %d\n", i, index, model->vertexCount);
          std::abort();
        }
      }
    }
  }
  freeModel(parsed.model);
  return 0;
}

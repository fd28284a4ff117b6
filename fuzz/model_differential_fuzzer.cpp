// Fuzzes the fast model parser against the stream-extraction reference: any difference in outcome, counts
// or the bits of any number aborts with the input saved by libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model.h"
#include "poly_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const PolyParse fast = parsePoly(text);
  const PolyParse reference = referenceParsePoly(text);
  const std::string difference = modelDifference(fast.model, reference.model);
  if (!difference.empty() || fast.status != reference.status) {
    std::fprintf(stderr, "parsePoly and the reference differ: %s\n", difference.c_str());
    std::abort();
  }
  freeModel(fast.model);
  freeModel(reference.model);
  return 0;
}

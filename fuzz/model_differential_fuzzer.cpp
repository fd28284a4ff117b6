// Fuzzes the fast model parser against the stream-extraction reference, and the parser fed in chunks or
// split into pieces parsed on threads against the whole: any difference in outcome, counts or the bits
// of any number aborts with the input saved by libFuzzer.
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
  // Streamed in chunks of 1 to 13 bytes, the text must give the same as whole.
  const PolyParse streamed = parsePolyInChunks(text, 1 + size % 13);
  // Split at 2 to 6 lines, the same again.
  const PolyParse split = parsePolyInPieces(text, 2 + size % 5);
  const std::string difference = modelDifference(fast.model, reference.model);
  const std::string streamedDifference = modelDifference(streamed.model, fast.model);
  const std::string splitDifference = modelDifference(split.model, fast.model);
  if (!difference.empty() || fast.status != reference.status || !streamedDifference.empty() ||
      !splitDifference.empty()) {
    std::fprintf(stderr, "parsePoly and the reference differ: %s; in chunks: %s; in pieces: %s\n",
                 difference.c_str(), streamedDifference.c_str(), splitDifference.c_str());
    std::abort();
  }
  freeModel(fast.model);
  freeModel(reference.model);
  freeModel(streamed.model);
  freeModel(split.model);
  return 0;
}

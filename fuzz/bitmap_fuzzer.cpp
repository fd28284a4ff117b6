// Fuzzes the BMP decoder: whatever the bytes, nothing is read or written out of bounds (the sanitizers
// watch), an image decoded whole has a buffer of width x height x 4 bytes that the file's pixel data filled,
// and a refused size leaves no buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bitmap.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

uint32_t u32(const uint8_t* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The decoder allocates the whole image before it reads a pixel: up to 4 GiB for a file of 54 bytes, whose
  // allocation costs up to a tenth of a second under AddressSanitizer. Images above a mebibyte are left alone
  // (sizes too large for 32 bits, which allocate nothing, are still decoded) and kept out of the corpus.
  const uint64_t bytes = size < 26 ? 0 : uint64_t{u32(data + 18)} * u32(data + 22) * 4;
  if (bytes > (1u << 20) && bytes <= UINT32_MAX) {
    return -1;
  }
  BitmapImage image{0, 0, nullptr};
  const BmpDecode result = decodeBmp(data, size, image);
  const size_t pixelCount = size_t{image.width} * image.height;
  if (result.status == BmpStatus::Ok && pixelCount != 0) {
    if (!image.pixels || size < 54 + 3 * pixelCount) {
      fail("more pixels decoded than the file holds");
    }
    // Every byte is read, so an undersized buffer shows as an overflow; every alpha is opaque.
    for (size_t i = 0; i < pixelCount; ++i) {
      if (image.pixels[4 * i + 3] != 255) {
        fail("a pixel is not opaque");
      }
    }
  } else if (result.status == BmpStatus::TooLarge && image.pixels) {
    fail("a refused size still has a buffer");
  }
  std::free(image.pixels);
  return 0;
}

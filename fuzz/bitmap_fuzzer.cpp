// Fuzzes the BMP decoder: whatever the bytes, nothing is read or written out of bounds (the sanitizers
// watch), an image decoded whole has a buffer of width x height x 4 bytes that the file's pixel data
// filled, and a refused one leaves null or a buffer for the caller to free.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bitmap.h"

namespace {

// The 54 header bytes and 3 bytes per pixel at the least.
constexpr size_t kHeaderBytes = 54;

// The decoder allocates the whole image before it reads a pixel, as the format's loader does: up to 4 GiB
// for a file of 54 bytes. Such an image decodes like a small one, but under AddressSanitizer its allocation
// and release cost up to a tenth of a second, so the harness leaves images above a mebibyte alone (sizes
// too large for 32 bits, which allocate nothing, are still decoded).
constexpr uint64_t kLargestDecodedBytes = 1u << 20;

uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

bool allocatesHugely(const uint8_t* data, size_t size) {
  if (size < 26) {
    return false;
  }
  const uint64_t bytes = uint64_t{u32(data + 18)} * u32(data + 22) * 4;
  return bytes > kLargestDecodedBytes && bytes <= UINT32_MAX;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (allocatesHugely(data, size)) {
    return -1;  // not worth keeping in the corpus either
  }
  BitmapImage image{0, 0, nullptr};
  const BmpDecode result = decodeBmp(data, size, image);
  if (result.status == BmpStatus::Ok) {
    const size_t pixelCount = static_cast<size_t>(image.width) * image.height;
    if (pixelCount != 0 && !image.pixels) {
      fail("an image decoded whole has no pixels");
    }
    if (pixelCount != 0 && size < kHeaderBytes + 3 * pixelCount) {
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

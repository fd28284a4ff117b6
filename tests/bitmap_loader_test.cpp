// The BMP loader: what it reads, what it refuses, the lines it prints and the record it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "asan.h"
#include "bitmap_support.h"
#include "temp_path.h"

namespace {

struct Header {
  uint32_t width, height;
  uint16_t planes = 1, bits = 24;
  uint32_t offBits = 54;
};

// A BMP with a 40-byte info header followed by data, cut short to size bytes when asked.
Bytes bmp(const Header& h, const Bytes& data = {}, size_t size = SIZE_MAX) {
  Bytes b(54 + data.size(), 0);
  std::copy(data.begin(), data.end(), b.begin() + 54);
  const auto put = [&b](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    }
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, static_cast<uint32_t>(b.size()), 4);
  put(10, h.offBits, 4);
  put(14, 40, 4);
  put(18, h.width, 4);
  put(22, h.height, 4);
  put(26, h.planes, 2);
  put(28, h.bits, 2);
  b.resize(std::min(size, b.size()));
  return b;
}

// 0, 1, 2, ... as blue, green, red bytes of consecutive pixels.
Bytes counting(size_t count) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) {
    b[i] = static_cast<unsigned char>(i);
  }
  return b;
}

Bytes join(Bytes a, const Bytes& b) {
  a.resize(a.size() + b.size());
  std::copy(b.begin(), b.end(), a.end() - static_cast<std::ptrdiff_t>(b.size()));
  return a;
}

std::string sizes(const std::string& width, const std::string& height) {
  return "Width of @: " + width + "\nHeight of @: " + height + "\n";
}

TEST(BitmapLoader, PrintsTheLinesAndLeavesTheRecordOfEachOutcome) {
  enum Pixels { Kept, Null, New };
  struct Case {
    const char* name;
    std::optional<Bytes> file;  // none: the file does not exist
    int result;
    std::string printed;     // @ stands for the path
    uint32_t width, height;  // 7 and 9 are the record's values before the load
    Pixels pixels;
  };
  const Bytes fourByTwo = bmp({4, 2}, counting(24));
  const std::string readError = "Error reading image data from @.\n";
  const std::string noMemory = "Error allocating memory for color-corrected image data";
  const uint32_t minus2 = static_cast<uint32_t>(-2);
  const Case cases[] = {
      {"missing", std::nullopt, 0, "File Not Found : @\n", 7, 9, Kept},
      {"complete", fourByTwo, 1, sizes("4", "2"), 4, 2, New},
      // No pixels: nothing to read, however many empty rows.
      {"zero-width", bmp({0, 2147483647}), 1, sizes("0", "2147483647"), 0, 2147483647, New},
      {"bits32", bmp({4, 2, 1, 32}, counting(32)), 0, sizes("4", "2") + "Bpp from @ is not 24: 32\n", 4, 2,
       Kept},
      {"planes2", bmp({4, 2, 2, 24}, counting(24)), 0, sizes("4", "2") + "Planes from @ is not 1: 2\n", 4, 2,
       Kept},
      {"cut-in-pixels", bmp({4, 2}, counting(24), 54 + 14), 0, sizes("4", "2") + readError, 4, 2, New},
      {"cut-after-bits", bmp({4, 2}, {}, 40), 0, sizes("4", "2") + readError, 4, 2, New},
      // The header ends before a field the loader acts on: no value is made up for it.
      {"cut-before-bits", bmp({4, 2}, {}, 29), 0, sizes("4", "2") + readError, 4, 2, Kept},
      {"cut-before-height", bmp({4, 2}, {}, 25), 0, "Width of @: 4\n" + readError, 4, 9, Kept},
      {"cut-before-width", bmp({4, 2}, {}, 21), 0, readError, 7, 9, Kept},
      // Sizes whose buffer would not fit in 32 bits, a negative (top-down) height among them.
      {"too-large", bmp({65536, 16384}), 0, sizes("65536", "16384") + noMemory, 65536, 16384, Null},
      {"negative-height", bmp({4, minus2}, counting(24)), 0, sizes("4", "4294967294") + noMemory, 4, minus2,
       Null},
      {"negative-height-no-width", bmp({0, minus2}), 0, sizes("0", "4294967294") + noMemory, 0, minus2, Null},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = tempPath(std::string("bmp-") + c.name).string();
    if (c.file) {
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.file->data()), static_cast<std::streamsize>(c.file->size()));
    }
    // A buffer the loader must leave alone when it refuses before allocating.
    unsigned char* earlier = static_cast<unsigned char*>(std::malloc(1));
    BitmapImage image{7, 9, earlier};
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    const int result = loadBitmap(path.c_str(), image);
    std::fflush(stdout);
    const std::string printed = testing::internal::GetCapturedStdout();

    std::string expected = c.printed;
    for (size_t at; (at = expected.find('@')) != std::string::npos;) {
      expected.replace(at, 1, path);
    }
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.pixels == earlier, c.pixels == Kept);
    EXPECT_EQ(image.pixels == nullptr, c.pixels == Null);
    if (image.pixels != earlier) {
      std::free(earlier);
    }
    std::free(image.pixels);
    std::filesystem::remove(path);
  }
}

// Blue and red swap places, rows keep the file's order (bottom row first), row fill and pixel data past
// byte 54 are honoured, files written by ImageMagick read right, and a cut file keeps what it converted.
TEST(BitmapLoader, DecodesPixelsWhereTheFilePutsThem) {
  const Bytes padded = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xee, 0xee, 0xee, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  const Bytes paddedRgba = {3,  2,  1,  255, 6,  5,  4,  255, 9,  8,  7,  255,
                            13, 12, 11, 255, 16, 15, 14, 255, 19, 18, 17, 255};
  const Bytes oneRow = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Bytes oneRowRgba = {3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255};
  // ImageMagick's BMP3 writer (40-byte header, rows padded) and default writer (124-byte header, pixels
  // at byte 138): bottom row 10 20 30, 200 100 50, 1 2 3 (40 50 60), top row red, green, blue (7 8 9).
  const Bytes magick3 = {10,  20, 30, 255, 200, 100, 50, 255, 1, 2, 3,   255,
                         255, 0,  0,  255, 0,   255, 0,  255, 0, 0, 255, 255};
  const Bytes magick4 = {10,  20, 30, 255, 200, 100, 50, 255, 1, 2, 3,   255, 40, 50, 60, 255,
                         255, 0,  0,  255, 0,   255, 0,  255, 0, 0, 255, 255, 7,  8,  9,  255};
  const Bytes fourByTwo = {10, 20, 30, 3,  4,  5,  6,  7,  8,  9,  10, 11,  // the bottom row
                           12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
  const Bytes fourByTwoRgba = {30, 20, 10, 255, 5,  4,  3,  255, 8,  7,  6,  255, 11, 10, 9,  255,  // bottom
                               14, 13, 12, 255, 17, 16, 15, 255, 20, 19, 18, 255, 23, 22, 21, 255};
  struct Case {
    const char* name;
    Bytes file;
    BmpStatus status;
    Bytes rgba;  // the whole image, or for a cut file the pixels converted before the cut
  };
  const Case cases[] = {
      {"4x2", bmp({4, 2}, fourByTwo), BmpStatus::Ok, fourByTwoRgba},
      {"cut short", bmp({4, 2}, fourByTwo, 54 + 3 * 5 + 2), BmpStatus::PixelDataCut,
       Bytes(fourByTwoRgba.begin(), fourByTwoRgba.begin() + 4 * 5)},
      {"row fill", bmp({3, 2}, join(padded, {0xee, 0xee, 0xee})), BmpStatus::Ok, paddedRgba},
      // The fill after the last row is not needed.
      {"no fill after the last row", bmp({3, 2}, padded), BmpStatus::Ok, paddedRgba},
      {"data at byte 70", bmp({4, 1, 1, 24, 70}, join(Bytes(16, 0xee), oneRow)), BmpStatus::Ok, oneRowRgba},
      // An offset inside the header (0 where a writer left it unset) means the data follows it.
      {"offset left at 0", bmp({4, 1, 1, 24, 0}, oneRow), BmpStatus::Ok, oneRowRgba},
      {"magick padded rows", readBytes("tests/data/rgb-3x2-padded-rows.bmp"), BmpStatus::Ok, magick3},
      {"magick v5 header", readBytes("tests/data/rgb-3x2-v5-header-offset-138.bmp"), BmpStatus::Ok, magick3},
      {"magick plain", readBytes("tests/data/rgb-4x2-plain.bmp"), BmpStatus::Ok, magick4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DecodedBmp decoded(c.file);
    ASSERT_EQ(decoded.status, c.status);
    ASSERT_NE(decoded.image.pixels, nullptr);
    EXPECT_EQ(c.status == BmpStatus::Ok ? decoded.rgba() : decoded.rgba(0, c.rgba.size()), c.rgba);
#ifdef NPRVIEW_ASAN
    // Exactly 4 bytes per pixel, no more.
    EXPECT_EQ(__sanitizer_get_allocated_size(decoded.image.pixels),
              size_t{decoded.image.width} * decoded.image.height * 4);
#endif
  }
}

}  // namespace

// The BMP loader: what it reads, what it refuses, the lines it prints and the record it leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bitmap.h"

#if defined(__SANITIZE_ADDRESS__)
#define NPRVIEW_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NPRVIEW_ASAN 1
#endif
#endif
#ifdef NPRVIEW_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, v);
  put16(b, at + 2, v >> 16);
}

struct Header {
  uint32_t width, height;
  uint16_t planes = 1;
  uint16_t bits = 24;
  uint32_t offBits = 54;
};

// A BMP with a 40-byte info header followed by data, taken as given.
Bytes bmp(const Header& h, const Bytes& data = {}) {
  Bytes b(54 + data.size(), 0);
  std::copy(data.begin(), data.end(), b.begin() + 54);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<uint32_t>(54 + data.size()));
  put32(b, 10, h.offBits);
  put32(b, 14, 40);
  put32(b, 18, h.width);
  put32(b, 22, h.height);
  put16(b, 26, h.planes);
  put16(b, 28, h.bits);
  return b;
}

Bytes cut(Bytes b, size_t size) {
  b.resize(size);
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

// A record owning its buffer, defined before the load as the texture set defines its own.
struct Image {
  BitmapImage record{0, 0, nullptr};
  ~Image() { std::free(record.pixels); }
  Bytes rgba(size_t from, size_t count) const {
    return Bytes(record.pixels + from, record.pixels + from + count);
  }
};

std::string writeTemp(const std::string& name, const Bytes& bytes) {
  const auto path = std::filesystem::temp_directory_path() / ("nprview-bmp-" + name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

// Runs loadBitmap and returns what it printed; printf's buffer is flushed on both sides of the capture.
std::string loadCapturing(const std::string& path, BitmapImage& image, int& result) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  result = loadBitmap(path.c_str(), image);
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

std::string sizeLines(const std::string& path, const std::string& width, const std::string& height) {
  return "Width of " + path + ": " + width + "\nHeight of " + path + ": " + height + "\n";
}

TEST(BitmapLoader, PrintsTheDocumentedLinesForEachOutcome) {
  // Lines after the size lines, with @ standing for the path.
  struct Case {
    const char* name;
    Bytes file;
    int result;
    const char* width;  // null when the width line must not appear
    const char* height;
    std::string last;
    bool allocates;  // pixels holds a new buffer afterwards
  };
  const Bytes fourByTwo = bmp({4, 2}, counting(24));
  const Case cases[] = {
      {"complete", fourByTwo, 1, "4", "2", "", true},
      // No pixels: nothing to read, however many empty rows.
      {"zero-width", bmp({0, 2147483647}), 1, "0", "2147483647", "", true},
      {"bits32", bmp({4, 2, 1, 32}, counting(32)), 0, "4", "2", "Bpp from @ is not 24: 32\n", false},
      {"planes2", bmp({4, 2, 2, 24}, counting(24)), 0, "4", "2", "Planes from @ is not 1: 2\n", false},
      {"cut-in-pixels", cut(fourByTwo, 54 + 14), 0, "4", "2", "Error reading image data from @.\n", true},
      {"cut-after-bits", cut(fourByTwo, 40), 0, "4", "2", "Error reading image data from @.\n", true},
      // The header ends before a field the loader acts on: no value is made up for it.
      {"cut-before-bits", cut(fourByTwo, 29), 0, "4", "2", "Error reading image data from @.\n", false},
      {"cut-before-height", cut(fourByTwo, 25), 0, "4", nullptr, "Error reading image data from @.\n", false},
      {"cut-before-width", cut(fourByTwo, 21), 0, nullptr, nullptr, "Error reading image data from @.\n",
       false},
      {"empty", {}, 0, nullptr, nullptr, "Error reading image data from @.\n", false},
      // Sizes whose buffer would not fit in 32 bits, a negative (top-down) height among them.
      {"too-large", bmp({65536, 16384}), 0, "65536", "16384",
       "Error allocating memory for color-corrected image data", false},
      {"negative-height", bmp({4, static_cast<uint32_t>(-2)}, counting(24)), 0, "4", "4294967294",
       "Error allocating memory for color-corrected image data", false},
      {"negative-height-no-width", bmp({0, static_cast<uint32_t>(-2)}), 0, "0", "4294967294",
       "Error allocating memory for color-corrected image data", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = writeTemp(c.name, c.file);
    Image image;
    // A buffer the loader must leave alone when it refuses before allocating.
    unsigned char* earlier = static_cast<unsigned char*>(std::malloc(1));
    image.record = {7, 9, earlier};
    int result = -1;
    const std::string output = loadCapturing(path, image.record, result);

    std::string expected;
    if (c.width) {
      expected += "Width of " + path + ": " + c.width + "\n";
    }
    if (c.height) {
      expected += "Height of " + path + ": " + c.height + "\n";
    }
    std::string last = c.last;
    if (const size_t at = last.find('@'); at != std::string::npos) {
      last.replace(at, 1, path);
    }
    EXPECT_EQ(output, expected + last);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(image.record.width, c.width ? std::stoul(c.width) : 7u);
    EXPECT_EQ(image.record.height, c.height ? std::stoul(c.height) : 9u);
    const bool refusedAtAllocation = c.last.starts_with("Error allocating");
    if (c.allocates) {
      EXPECT_NE(image.record.pixels, nullptr);
      EXPECT_NE(image.record.pixels, earlier);
      std::free(earlier);
    } else if (refusedAtAllocation) {
      EXPECT_EQ(image.record.pixels, nullptr);
      std::free(earlier);
    } else {
      EXPECT_EQ(image.record.pixels, earlier);
    }
    std::filesystem::remove(path);
  }
}

TEST(BitmapLoader, MissingFilePrintsNotFoundAndLeavesTheRecord) {
  BitmapImage image{7, 9, nullptr};
  int result = -1;
  EXPECT_EQ(loadCapturing("no/such/file.bmp", image, result), "File Not Found : no/such/file.bmp\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(image.width, 7u);
  EXPECT_EQ(image.height, 9u);
  EXPECT_EQ(image.pixels, nullptr);
}

TEST(BitmapLoader, SwapsBlueAndRedAndKeepsTheStoredRowOrder) {
  // 4 by 2: the first stored row is the bottom of the picture and comes first in pixels too.
  Bytes data = counting(24);
  data[0] = 10;
  data[1] = 20;
  data[2] = 30;
  const Bytes file = bmp({4, 2}, data);
  Image image;
  const BmpDecode result = decodeBmp(file.data(), file.size(), image.record);
  ASSERT_EQ(result.status, BmpStatus::Ok);
  EXPECT_EQ(image.rgba(0, 8), (Bytes{30, 20, 10, 255, 5, 4, 3, 255}));
  EXPECT_EQ(image.rgba(12, 4), (Bytes{11, 10, 9, 255}));
  EXPECT_EQ(image.rgba(16, 16), (Bytes{14, 13, 12, 255, 17, 16, 15, 255, 20, 19, 18, 255, 23, 22, 21, 255}));
}

TEST(BitmapLoader, CutShortKeepsTheBufferConvertedUpToTheMissingPixel) {
  const Bytes file = cut(bmp({4, 2}, counting(24)), 54 + 3 * 5 + 2);
  Image image;
  const BmpDecode result = decodeBmp(file.data(), file.size(), image.record);
  EXPECT_EQ(result.status, BmpStatus::PixelDataCut);
  ASSERT_NE(image.record.pixels, nullptr);
  EXPECT_EQ(image.rgba(4 * 4, 4), (Bytes{14, 13, 12, 255}));
}

TEST(BitmapLoader, BufferHoldsExactlyFourBytesPerPixel) {
  for (auto [width, height] : {std::pair{4u, 2u}, {3u, 5u}, {1u, 1u}, {256u, 256u}}) {
    const Bytes file = bmp({width, height}, Bytes(((width * 3 + 3) / 4 * 4) * height, 0x5a));
    Image image;
    ASSERT_EQ(decodeBmp(file.data(), file.size(), image.record).status, BmpStatus::Ok);
    const size_t expected = static_cast<size_t>(width) * height * 4;
#ifdef NPRVIEW_ASAN
    EXPECT_EQ(__sanitizer_get_allocated_size(image.record.pixels), expected);
#else
    EXPECT_GE(malloc_usable_size(image.record.pixels), expected);
#endif
    EXPECT_EQ(image.rgba(expected - 4, 4), (Bytes{0x5a, 0x5a, 0x5a, 255}));
  }
}

// Rows padded to 4 bytes and pixel data past byte 54 are read where the file puts them.
TEST(BitmapLoader, HonoursRowFillAndPixelDataOffset) {
  const Bytes fill = {0xee, 0xee, 0xee};
  Bytes padded = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xee, 0xee, 0xee, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  Bytes paddedToTheEnd = padded;
  paddedToTheEnd.insert(paddedToTheEnd.end(), fill.begin(), fill.end());
  Bytes offset(16, 0xee);
  offset.insert(offset.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  struct Case {
    const char* name;
    Bytes file;
    Bytes last;  // the last pixel, RGBA
  };
  const Case cases[] = {
      {"row fill", bmp({3, 2}, paddedToTheEnd), {19, 18, 17, 255}},
      // The fill after the last row is not needed.
      {"no fill after the last row", bmp({3, 2}, padded), {19, 18, 17, 255}},
      {"data at byte 70", bmp({4, 1, 1, 24, 70}, offset), {12, 11, 10, 255}},
      // An offset inside the header (0 where a writer left it unset) means the data follows it.
      {"offset left at 0",
       bmp({4, 1, 1, 24, 0}, Bytes(offset.begin() + 16, offset.end())),
       {12, 11, 10, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image image;
    ASSERT_EQ(decodeBmp(c.file.data(), c.file.size(), image.record).status, BmpStatus::Ok);
    EXPECT_EQ(image.rgba(0, 4), (Bytes{3, 2, 1, 255}));
    const size_t size = static_cast<size_t>(image.record.width) * image.record.height * 4;
    EXPECT_EQ(image.rgba(size - 4, 4), c.last);
  }
}

// Files written by ImageMagick: its BMP3 writer (40-byte header, rows padded to 4 bytes) and its default
// writer (124-byte header, pixels at byte 138). The picture's top row is red, green, blue (and 7, 8, 9),
// the bottom row 10 20 30, 200 100 50, 1 2 3 (and 40 50 60).
TEST(BitmapLoader, ReadsFilesWrittenByImageMagick) {
  const Bytes bottom3 = {10, 20, 30, 255, 200, 100, 50, 255, 1, 2, 3, 255};
  const Bytes top3 = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255};
  struct Case {
    const char* file;
    Bytes pixels;
  };
  Bytes three = bottom3;
  three.insert(three.end(), top3.begin(), top3.end());
  Bytes four = bottom3;
  four.insert(four.end(), {40, 50, 60, 255});
  four.insert(four.end(), top3.begin(), top3.end());
  four.insert(four.end(), {7, 8, 9, 255});
  const Case cases[] = {
      {"tests/data/rgb-3x2-padded-rows.bmp", three},
      {"tests/data/rgb-3x2-v5-header-offset-138.bmp", three},
      {"tests/data/rgb-4x2-plain.bmp", four},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Image image;
    int result = -1;
    const std::string output = loadCapturing(c.file, image.record, result);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(output, sizeLines(c.file, std::to_string(c.pixels.size() / 8), "2"));
    EXPECT_EQ(image.rgba(0, c.pixels.size()), c.pixels);
  }
}

}  // namespace

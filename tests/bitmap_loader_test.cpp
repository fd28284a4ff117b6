// The BMP loader: what it reads, what it refuses, the lines it prints and the record it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <tuple>

#include "bitmap.h"
#include "support.h"

namespace {

using Bytes = std::string;

// A BMP with a 40-byte info header followed by data, cut short to size bytes when asked.
Bytes bmp(uint32_t width, uint32_t height, const Bytes& data = {}, size_t size = SIZE_MAX,
          uint32_t planes = 1, uint32_t bits = 24, uint32_t offBits = 54) {
  Bytes b = "BM" + Bytes(52, '\0') + data;
  const auto put = [&b](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      b[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
  };
  for (auto [at, value, bytes] : {std::tuple{2, uint32_t(b.size()), 4},
                                  {10, offBits, 4},
                                  {14, 40u, 4},
                                  {18, width, 4},
                                  {22, height, 4},
                                  {26, planes, 2},
                                  {28, bits, 2}}) {
    put(static_cast<size_t>(at), value, bytes);
  }
  return b.substr(0, size);
}

// 0, 1, 2, ... as blue, green, red bytes of consecutive pixels.
Bytes counting(size_t count) {
  Bytes b(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    b[i] = static_cast<char>(i);
  }
  return b;
}

std::string sizes(const std::string& width, const std::string& height) {
  return "Width of @: " + width + "\nHeight of @: " + height + "\n";
}

// Blue and red swap places, rows keep the file's order (bottom row first), row fill and pixel data past byte
// 54 are honoured, files written by ImageMagick read right, and a file holding fewer pixels than it claims
// gets no room made for them.
TEST(BitmapLoader, ReadsWhereTheFilePutsThePixelsAndPrintsTheLinesOfEachOutcome) {
  using namespace std::string_literals;
  enum Pixels { Kept, Null, New };
  struct Case {
    const char* name;
    std::optional<Bytes> file;  // none: the file does not exist
    int result;
    std::string printed;     // @ stands for the path
    uint32_t width, height;  // 7 and 9 are the record's values before the load
    Pixels pixels;
    Bytes rgba = {};  // the pixels converted
    uint32_t maxSide = kAnySide;
    size_t holeTo = 0;  // the file is made this long by a hole after its bytes
  };
  const Bytes padded = "\1\2\3\4\5\6\7\10\11\xee\xee\xee\13\14\15\16\17\20\21\22\23"s;
  const Bytes paddedRgba = "\3\2\1\xff\6\5\4\xff\11\10\7\xff\15\14\13\xff\20\17\16\xff\23\22\21\xff"s;
  const Bytes oneRow = "\1\2\3\4\5\6\7\10\11\12\13\14"s;
  const Bytes oneRowRgba = "\3\2\1\xff\6\5\4\xff\11\10\7\xff\14\13\12\xff"s;
  // ImageMagick's BMP3 writer (40-byte header, rows padded) and default writer (124-byte header, pixels
  // at byte 138): bottom row 10 20 30, 200 100 50, 1 2 3 (40 50 60), top row red, green, blue (7 8 9).
  const Bytes magick3 = "\12\24\36\xff\310\144\62\xff\1\2\3\xff\xff\0\0\xff\0\xff\0\xff\0\0\xff\xff"s;
  const Bytes magick4 =
      "\12\24\36\xff\310\144\62\xff\1\2\3\xff\50\62\74\xff\xff\0\0\xff\0\xff\0\xff\0\0\xff\xff\7\10\11\xff"s;
  const std::string readError = "Error reading image data from @.\n";
  const std::string noMemory = "Error allocating memory for color-corrected image data";
  const uint32_t minus2 = static_cast<uint32_t>(-2);
  const Case cases[] = {
      {"missing", std::nullopt, 0, "File Not Found : @\n", 7, 9, Kept},
      // No pixels: nothing to read, however many empty rows.
      {"zero-width", bmp(0, 2147483647), 1, sizes("0", "2147483647"), 0, 2147483647, New},
      {"bits32", bmp(4, 2, counting(32), SIZE_MAX, 1, 32), 0, sizes("4", "2") + "Bpp from @ is not 24: 32\n",
       4, 2, Kept},
      {"planes2", bmp(4, 2, counting(24), SIZE_MAX, 2), 0, sizes("4", "2") + "Planes from @ is not 1: 2\n", 4,
       2, Kept},
      // Pixels the file does not hold are not made room for: a header's claim costs its writer nothing.
      {"cut-in-pixels", bmp(4, 2, counting(24), 54 + 14), 0, sizes("4", "2") + readError, 4, 2, Null},
      {"cut-after-bits", bmp(4, 2, {}, 40), 0, sizes("4", "2") + readError, 4, 2, Null},
      {"claims-more-than-file", bmp(32767, 32767, counting(4042)), 0, sizes("32767", "32767") + readError,
       32767, 32767, Null},
      {"pixels-in-a-hole",
       bmp(1024, 1024),
       0,
       sizes("1024", "1024") + readError,
       1024,
       1024,
       Null,
       {},
       kAnySide,
       54 + 1024 * 1024 * 3},
      // The header ends before a field the loader acts on: no value is made up for it.
      {"cut-before-bits", bmp(4, 2, {}, 29), 0, sizes("4", "2") + readError, 4, 2, Kept},
      {"cut-before-height", bmp(4, 2, {}, 25), 0, "Width of @: 4\n" + readError, 4, 9, Kept},
      {"cut-before-width", bmp(4, 2, {}, 21), 0, readError, 7, 9, Kept},
      // Sizes whose buffer would not fit in 32 bits, a negative (top-down) height among them.
      {"too-large", bmp(65536, 16384), 0, sizes("65536", "16384") + noMemory, 65536, 16384, Null},
      {"negative-height", bmp(4, minus2, counting(24)), 0, sizes("4", "4294967294") + noMemory, 4, minus2,
       Null},
      // A side beyond what the GL can make a texture of.
      {"taller-than-limit", bmp(1, 3, counting(12)), 0, sizes("1", "3") + noMemory, 1, 3, Null, {}, 2},
      {"row-fill", bmp(3, 2, padded + "\xee\xee\xee"s), 1, sizes("3", "2"), 3, 2, New, paddedRgba},
      // The fill after the last row is not needed.
      {"no-fill-after-the-last-row", bmp(3, 2, padded), 1, sizes("3", "2"), 3, 2, New, paddedRgba},
      {"data-at-byte-70", bmp(4, 1, Bytes(16, '\xee') + oneRow, SIZE_MAX, 1, 24, 70), 1, sizes("4", "1"), 4,
       1, New, oneRowRgba},
      // An offset inside the header (0 where a writer left it unset) means the data follows it.
      {"offset-left-at-0", bmp(4, 1, oneRow, SIZE_MAX, 1, 24, 0), 1, sizes("4", "1"), 4, 1, New, oneRowRgba},
      {"magick-padded-rows", readFile("tests/data/rgb-3x2-padded-rows.bmp"), 1, sizes("3", "2"), 3, 2, New,
       magick3},
      {"magick-v5-header", readFile("tests/data/rgb-3x2-v5-header-offset-138.bmp"), 1, sizes("3", "2"), 3, 2,
       New, magick3},
      {"magick-plain", readFile("tests/data/rgb-4x2-plain.bmp"), 1, sizes("4", "2"), 4, 2, New, magick4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = tempPath(std::string("bmp-") + c.name).string();
    if (c.file) {
      std::ofstream(path, std::ios::binary) << *c.file;
    }
    if (c.holeTo > 0) {
      std::filesystem::resize_file(path, c.holeTo);
    }
    // A buffer the loader must leave alone when it refuses before allocating.
    unsigned char* earlier = static_cast<unsigned char*>(std::malloc(1));
    BitmapImage image{7, 9, earlier};
    int result = -1;
    const std::string printed = captureStdout([&] { result = loadBitmap(path.c_str(), image, c.maxSide); });

    std::string expected = c.printed;
    for (size_t at; (at = expected.find('@')) != std::string::npos;) {
      expected.replace(at, 1, path);
    }
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(std::tie(result, image.width, image.height), std::tie(c.result, c.width, c.height));
    EXPECT_EQ(image.pixels == earlier ? Kept : image.pixels ? New : Null, c.pixels);
    if (image.pixels && image.pixels != earlier) {
      EXPECT_EQ(Bytes(reinterpret_cast<const char*>(image.pixels), c.rgba.size()), c.rgba);
      EXPECT_TRUE(!result || c.rgba.empty() || size_t{image.width} * image.height * 4 == c.rgba.size());
    }
    std::free(image.pixels != earlier ? earlier : nullptr);
    std::free(image.pixels);
    std::filesystem::remove(path);
  }
}

}  // namespace

// The shipped hatching images: loadable, nested from light to dense like a tonal art map, and seamless
// when tiled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "bitmap.h"
#include "support.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int kSize = 256;

class HatchingImages : public testing::Test {
 protected:
  void SetUp() override {
    for (int level = 1; level <= 4; ++level) {
      const std::string file = readFile("data/xhatch" + std::to_string(level) + ".bmp");
      BitmapImage image{0, 0, nullptr};
      const BmpDecode result =
          decodeBmp(reinterpret_cast<const unsigned char*>(file.data()), file.size(), image);
      const bool whole = result.status == BmpStatus::Ok && image.width == kSize && image.height == kSize;
      if (whole) {
        images.emplace_back(image.pixels, image.pixels + kSize * kSize * 4);
      }
      std::free(image.pixels);
      ASSERT_TRUE(whole) << "xhatch" << level << " is not a 256 by 256 24-bit BMP";
    }
  }
  std::vector<Bytes> images;
};
TEST_F(HatchingImages, EachDarkerImageKeepsEveryStrokeOfTheLighterOnes) {
  for (size_t level = 1; level < 4; ++level) {
    const Bytes &lighter = images[level - 1], &darker = images[level];
    long added = 0;
    for (size_t i = 0; i < lighter.size(); ++i) {
      ASSERT_LE(darker[i], lighter[i]) << "xhatch" << level + 1 << " byte " << i;
      added += lighter[i] - darker[i];
    }
    // And adds enough of its own to read as a darker tone: at least 5% of the paper's brightness.
    EXPECT_GT(added, 255L * static_cast<long>(lighter.size() / 4 * 3) / 20) << "xhatch" << level + 1;
  }
}

// Mean difference in grey between column (or row) i and the one before it, the edge wrapping around.
double step(const Bytes& image, bool columns, int i) {
  const auto grey = [&image](int x, int y) {
    const size_t at = static_cast<size_t>((((y + kSize) % kSize) * kSize + (x + kSize) % kSize) * 4);
    return image[at] + image[at + 1] + image[at + 2];
  };
  long sum = 0;
  for (int j = 0; j < kSize; ++j) {
    sum += columns ? std::abs(grey(i, j) - grey(i - 1, j)) : std::abs(grey(j, i) - grey(j, i - 1));
  }
  return static_cast<double>(sum) / kSize;
}

// Across the edge a pixel's neighbour is the one on the opposite side. If the strokes did not wrap, those
// pairs would be no more alike than any two columns; wrapped, they are as alike as neighbours inside.
TEST_F(HatchingImages, TileWithoutASeam) {
  for (size_t level = 0; level < images.size(); ++level) {
    for (bool columns : {true, false}) {
      SCOPED_TRACE("xhatch" + std::to_string(level + 1) + (columns ? " columns" : " rows"));
      double mean = 0, most = 0;
      for (int i = 1; i < kSize; ++i) {
        mean += step(images[level], columns, i) / (kSize - 1);
        most = std::max(most, step(images[level], columns, i));
      }
      EXPECT_LE(step(images[level], columns, 0), most);
      EXPECT_LT(step(images[level], columns, 0), 1.5 * mean);
    }
  }
}

}  // namespace

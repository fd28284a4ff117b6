// The shipped hatching images: loadable, nested from light to dense, and seamless when tiled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bitmap.h"

namespace {

constexpr int kSize = 256;

struct Rgba {
  std::vector<unsigned char> pixels;
  int at(int x, int y, int channel) const {
    x = (x + kSize) % kSize;
    y = (y + kSize) % kSize;
    return pixels[static_cast<size_t>((y * kSize + x) * 4 + channel)];
  }
  int grey(int x, int y) const { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2); }
};

Rgba load(int level) {
  const std::string path = "data/xhatch" + std::to_string(level) + ".bmp";
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  BitmapImage image{0, 0, nullptr};
  Rgba rgba;
  const BmpDecode result = decodeBmp(file.data(), file.size(), image);
  if (result.status == BmpStatus::Ok && image.width == kSize && image.height == kSize) {
    rgba.pixels.assign(image.pixels, image.pixels + kSize * kSize * 4);
  }
  std::free(image.pixels);
  return rgba;
}

class HatchingImages : public testing::Test {
 protected:
  void SetUp() override {
    for (int level = 1; level <= 4; ++level) {
      images.push_back(load(level));
      ASSERT_FALSE(images.back().pixels.empty()) << "xhatch" << level << " is not a 256 by 256 24-bit BMP";
    }
  }
  std::vector<Rgba> images;
};

TEST_F(HatchingImages, EachDarkerImageKeepsEveryStrokeOfTheLighterOnes) {
  for (int level = 1; level < 4; ++level) {
    const Rgba& lighter = images[static_cast<size_t>(level - 1)];
    const Rgba& darker = images[static_cast<size_t>(level)];
    long added = 0;
    for (size_t i = 0; i < lighter.pixels.size(); ++i) {
      ASSERT_LE(darker.pixels[i], lighter.pixels[i]) << "xhatch" << level + 1 << " byte " << i;
      added += lighter.pixels[i] - darker.pixels[i];
    }
    // And adds enough of its own to read as a darker tone: at least 5% of the paper's brightness.
    EXPECT_GT(added, 255L * static_cast<long>(lighter.pixels.size() / 4 * 3) / 20) << "xhatch" << level + 1;
  }
}

// Across the edge a pixel's neighbour is the one on the opposite side. If the strokes did not wrap, those
// pairs would be no more alike than any two columns; wrapped, they are as alike as neighbours inside.
TEST_F(HatchingImages, TileWithoutASeam) {
  for (size_t level = 0; level < images.size(); ++level) {
    const Rgba& image = images[level];
    auto columnStep = [&](int x) {
      long sum = 0;
      for (int y = 0; y < kSize; ++y) {
        sum += std::abs(image.grey(x, y) - image.grey(x - 1, y));
      }
      return static_cast<double>(sum) / kSize;
    };
    auto rowStep = [&](int y) {
      long sum = 0;
      for (int x = 0; x < kSize; ++x) {
        sum += std::abs(image.grey(x, y) - image.grey(x, y - 1));
      }
      return static_cast<double>(sum) / kSize;
    };
    double columnMean = 0, rowMean = 0, columnMax = 0, rowMax = 0;
    for (int i = 1; i < kSize; ++i) {
      columnMean += columnStep(i) / (kSize - 1);
      rowMean += rowStep(i) / (kSize - 1);
      columnMax = std::max(columnMax, columnStep(i));
      rowMax = std::max(rowMax, rowStep(i));
    }
    SCOPED_TRACE("xhatch" + std::to_string(level + 1));
    EXPECT_LE(columnStep(0), columnMax);
    EXPECT_LE(rowStep(0), rowMax);
    EXPECT_LT(columnStep(0), 1.5 * columnMean);
    EXPECT_LT(rowStep(0), 1.5 * rowMean);
  }
}

}  // namespace

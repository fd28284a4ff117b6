// The shipped hatching images at every size: loadable, as bright as their tone asks, nested from light to
// dense, and seamless when tiled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bitmap.h"
#include "support.h"

namespace {

// The viewer's images and the smaller levels that keep strokes on the surface, with the mean brightness
// each tone is made for, lightest first. Every size must keep the tone, or the shading would jump as the
// model nears or recedes.
const int kSizes[] = {512, 256, 128, 64, 32};
const double kMeanBrightness[4] = {0.95, 0.87, 0.74, 0.53};

std::string pathOf(int tone, int size) {
  const std::string name = "data/xhatch" + std::to_string(tone);
  return size == 512 ? name + ".bmp" : name + "-" + std::to_string(size) + ".bmp";
}

using Bytes = std::vector<unsigned char>;

class HatchingImages : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    for (int tone = 1; tone <= 4; ++tone) {
      const std::string file = readFile(pathOf(tone, size));
      BitmapImage image{0, 0, nullptr};
      const bool whole =
          decodeBmp(reinterpret_cast<const unsigned char*>(file.data()), file.size(), image).status ==
              BmpStatus::Ok &&
          image.width == static_cast<unsigned>(size) && image.height == static_cast<unsigned>(size);
      if (whole) {
        images.emplace_back(image.pixels, image.pixels + size * size * 4);
      }
      std::free(image.pixels);
      ASSERT_TRUE(whole) << pathOf(tone, size) << " is not a " << size << " by " << size << " 24-bit BMP";
    }
  }
  const int size = GetParam();
  std::vector<Bytes> images;
};

TEST_P(HatchingImages, EachToneHasItsMeanBrightness) {
  for (int tone = 0; tone < 4; ++tone) {
    double sum = 0;
    for (size_t i = 0; i < images[tone].size(); i += 4) {
      sum += images[tone][i] + images[tone][i + 1] + images[tone][i + 2];
    }
    EXPECT_NEAR(sum / (static_cast<double>(images[tone].size()) / 4 * 3 * 255), kMeanBrightness[tone], 0.02)
        << pathOf(tone + 1, size);
  }
}

TEST_P(HatchingImages, EachDarkerImageKeepsEveryStrokeOfTheLighterOnes) {
  for (size_t level = 1; level < 4; ++level) {
    const Bytes &lighter = images[level - 1], &darker = images[level];
    for (size_t i = 0; i < lighter.size(); ++i) {
      ASSERT_LE(darker[i], lighter[i]) << pathOf(static_cast<int>(level) + 1, size) << " byte " << i;
    }
  }
}

// Mean difference in grey between column (or row) i and the one before it, the edge wrapping around.
double step(const Bytes& image, int size, bool columns, int i) {
  const auto grey = [&](int x, int y) {
    const size_t at = static_cast<size_t>((((y + size) % size) * size + (x + size) % size) * 4);
    return image[at] + image[at + 1] + image[at + 2];
  };
  long sum = 0;
  for (int j = 0; j < size; ++j) {
    sum += columns ? std::abs(grey(i, j) - grey(i - 1, j)) : std::abs(grey(j, i) - grey(j, i - 1));
  }
  return static_cast<double>(sum) / size;
}

// Across the edge a pixel's neighbour is the one on the opposite side. If the strokes did not wrap, those
// pairs would be no more alike than any two columns; wrapped, they are as alike as neighbours inside.
TEST_P(HatchingImages, TileWithoutASeam) {
  for (size_t level = 0; level < images.size(); ++level) {
    for (bool columns : {true, false}) {
      SCOPED_TRACE(pathOf(static_cast<int>(level) + 1, size) + (columns ? " columns" : " rows"));
      double mean = 0, most = 0;
      for (int i = 1; i < size; ++i) {
        mean += step(images[level], size, columns, i) / (size - 1);
        most = std::max(most, step(images[level], size, columns, i));
      }
      EXPECT_LE(step(images[level], size, columns, 0), most);
      EXPECT_LT(step(images[level], size, columns, 0), 1.5 * mean);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySize, HatchingImages, testing::ValuesIn(kSizes),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

}  // namespace

// The shipped hatching images at every size: loadable, as bright as their tone asks, nested from light to
// dense, and seamless when tiled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
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

class HatchingImages : public testing::TestWithParam<int> {};

// Each darker image keeps every stroke of the lighter ones. Across the edge a pixel's neighbour is the one on
// the opposite side: if the strokes did not wrap, those pairs would be no more alike than any two columns;
// wrapped, they are as alike as neighbours inside.
TEST_P(HatchingImages, KeepTheirToneNestFromLightToDenseAndTileWithoutASeam) {
  const int size = GetParam();
  Bytes lighter;
  for (int tone = 0; tone < 4; ++tone) {
    SCOPED_TRACE(pathOf(tone + 1, size));
    const std::string file = readFile(pathOf(tone + 1, size));
    BitmapImage decoded{0, 0, nullptr};
    const bool whole =
        decodeBmp(reinterpret_cast<const unsigned char*>(file.data()), file.size(), decoded).status ==
            BmpStatus::Ok &&
        decoded.width == static_cast<unsigned>(size) && decoded.height == static_cast<unsigned>(size);
    const Bytes image = whole ? Bytes(decoded.pixels, decoded.pixels + size * size * 4) : Bytes();
    std::free(decoded.pixels);
    ASSERT_TRUE(whole) << "not a " << size << " by " << size << " 24-bit BMP";
    double sum = 0;
    for (size_t i = 0; i < image.size(); i += 4) {
      sum += image[i] + image[i + 1] + image[i + 2];
    }
    EXPECT_NEAR(sum / (static_cast<double>(image.size()) / 4 * 3 * 255), kMeanBrightness[tone], 0.02);
    EXPECT_TRUE(lighter.empty() ||
                std::equal(image.begin(), image.end(), lighter.begin(), std::less_equal<>()));
    lighter = image;
    for (bool columns : {true, false}) {
      double mean = 0, most = 0;
      for (int i = 1; i < size; ++i) {
        mean += step(image, size, columns, i) / (size - 1);
        most = std::max(most, step(image, size, columns, i));
      }
      EXPECT_LE(step(image, size, columns, 0), most) << (columns ? "columns" : "rows");
      EXPECT_LT(step(image, size, columns, 0), 1.5 * mean) << (columns ? "columns" : "rows");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySize, HatchingImages, testing::ValuesIn(kSizes),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

}  // namespace

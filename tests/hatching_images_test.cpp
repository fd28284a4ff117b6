// The shipped hatching images: loadable, and nested from light to dense like a tonal art map.
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
      const BmpDecode result = decodeBmp(reinterpret_cast<const unsigned char*>(file.data()), file.size(), image);
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

}  // namespace

// The baseline comparison itself: where the slack ends, and pictures of another size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "picture.h"

namespace {

RgbImage filled(int width, int height, uint8_t value) {
  return {width, height,
          std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, value)};
}

TEST(PictureCompare, CountsPixelsWithAnyChannelBeyondTheSlack) {
  const RgbImage expected = filled(4, 2, 100);
  struct Case {
    int channel;  // 0, 1 or 2
    int delta;
    int64_t differing;
  };
  for (const Case& c : {Case{0, 8, 0}, Case{1, -8, 0}, Case{2, 9, 1}, Case{0, -9, 1}, Case{1, 155, 1}}) {
    RgbImage actual = expected;
    actual.rgb[3 * 5 + c.channel] = static_cast<uint8_t>(100 + c.delta);
    const PictureDifference difference = comparePictures(actual, expected, 8);
    EXPECT_TRUE(difference.sameSize);
    EXPECT_EQ(difference.differing, c.differing) << c.channel << " " << c.delta;
    EXPECT_EQ(difference.largest, std::abs(c.delta));
  }
}

TEST(PictureCompare, ADifferentSizeNeverMatches) {
  EXPECT_FALSE(comparePictures(filled(4, 2, 0), filled(2, 4, 0), 255).sameSize);
  EXPECT_FALSE(comparePictures(filled(4, 2, 0), RgbImage{}, 255).sameSize);
}

TEST(PictureCompare, DifferencePictureMarksExactlyTheDifferingPixelsRed) {
  const RgbImage expected = filled(3, 1, 200);
  RgbImage actual = expected;
  actual.rgb[4] = 0;
  const RgbImage difference = differencePicture(actual, expected, 8);
  for (int x = 0; x < 3; ++x) {
    const uint8_t* p = difference.at(x, 0);
    const bool red = p[0] == 255 && p[1] == 0 && p[2] == 0;
    EXPECT_EQ(red, x == 1) << x;
  }
}

}  // namespace

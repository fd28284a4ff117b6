// The depth tiles the culled frames hold faces against: never shallower than a pixel they cover, exact where
// the region is one tile or at most 24 pixels on a side.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "hidden_faces.h"

namespace {

TEST(DepthTiles, AreAtLeastAsDeepAsEveryPixelTheyCover) {
  std::mt19937 random(7);
  for (const auto& [width, height, rising] : {std::tuple{1, 1, false},
                                              {8, 8, false},
                                              {7, 13, false},
                                              {64, 40, false},
                                              {301, 203, false},
                                              {301, 203, true},
                                              {1000, 9, true},
                                              {50, 300, true}}) {
    // Random, or rising to the right and upwards, so that the deepest pixel of a region is at its edges.
    std::vector<uint32_t> depth(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < depth.size(); ++i) {
      depth[i] = rising ? static_cast<uint32_t>(i % width * 4096 + i / width * 8 + random() % 8) : random();
    }
    DepthTiles tiles;
    ASSERT_TRUE(tiles.reset(width, height));
    // In two bands, as the frames read them.
    const int split = std::min(height, 8);
    tiles.addRows(0, split, depth.data());
    tiles.addRows(split, height - split, depth.data() + static_cast<size_t>(split) * width);
    tiles.finish();
    for (int trial = 0; trial < 200; ++trial) {
      int x0 = static_cast<int>(random() % width), x1 = static_cast<int>(random() % width);
      int y0 = static_cast<int>(random() % height), y1 = static_cast<int>(random() % height);
      if (trial % 3 == 1) {  // one tile, whole or cut by the picture's edge
        x0 = x0 / 8 * 8, y0 = y0 / 8 * 8, x1 = std::min(x0 + 7, width - 1), y1 = std::min(y0 + 7, height - 1);
      } else if (trial % 3 == 2) {  // small
        x1 = std::min(x0 + static_cast<int>(random() % 24), width - 1);
        y1 = std::min(y0 + static_cast<int>(random() % 24), height - 1);
      }
      std::tie(x0, x1) = std::minmax(x0, x1);
      std::tie(y0, y1) = std::minmax(y0, y1);
      uint32_t deepest = 0;
      for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
          deepest = std::max(deepest, depth[static_cast<size_t>(y) * width + x]);
        }
      }
      const double expected = deepest / 4294967295.0, found = tiles.deepest(x0, y0, x1, y1);
      EXPECT_GE(found, expected) << width << "x" << height << " [" << x0 << ", " << x1 << "] x [" << y0
                                 << ", " << y1 << "]";
      if (trial % 3 || (x1 - x0 < 24 && y1 - y0 < 24)) {
        EXPECT_EQ(found, expected) << width << "x" << height << " [" << x0 << ", " << x1 << "] x [" << y0
                                   << ", " << y1 << "]";
      }
    }
  }
}

}  // namespace

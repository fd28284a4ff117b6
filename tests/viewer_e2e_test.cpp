// The real program under the test's X server: its window, its first frame, resizing, and failing start-up.
#include <gtest/gtest.h>

#include <filesystem>

#include "temp_path.h"
#include "viewer_process.h"

namespace {

const Rgb kTones[] = {{166, 166, 38}, {217, 217, 128}, {255, 255, 255}, {128, 128, 0}};

bool isTone(const Rgb& p) {
  for (const Rgb& tone : kTones) {
    if (near(p, tone)) {
      return true;
    }
  }
  return false;
}

TEST(ViewerEndToEnd, FirstFrameShowsTheTonedOutlinedSphere) {
  ViewerProcess viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  const Image shot = viewer.screenshot();
  ASSERT_EQ(shot.width, 768);
  ASSERT_EQ(shot.height, 768);
  // Every start-up line is out while the viewer runs, the image loader's printf lines included.
  std::string startUp = "Loading Models...\n";
  for (int i = 1; i <= 4; ++i) {
    const std::string path = "data/xhatch" + std::to_string(i) + ".bmp";
    startUp += "Width of " + path + ": 512\nHeight of " + path + ": 512\n";
  }
  EXPECT_EQ(viewer.output(), startUp);

  for (auto [x, y] : {std::pair{0, 0}, {767, 0}, {0, 767}, {767, 767}}) {
    EXPECT_TRUE(near(shot.at(x, y), kBackground)) << x << "," << y;
  }
  int toned = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const Rgb p = shot.at(x, y);
      ASSERT_TRUE(near(p, kBackground) || near(p, kBlack) || isTone(p))
          << "pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
      toned += isTone(p);
    }
  }
  // A sphere of radius 0.5 seen from 1 unit away fills a good part of the 90-degree view.
  EXPECT_GT(toned, 768 * 768 / 4);
  // The silhouette: a black line of the default 5 pixels across the middle row, and there elsewhere.
  EXPECT_NEAR(outlineWidthOnRow(shot, 384), 5, 1);
  for (int y : {300, 450}) {
    EXPECT_GE(outlineWidthOnRow(shot, y), 3) << "row " << y;
  }
  const Extent e = foregroundExtent(shot);
  EXPECT_NEAR(e.right - e.left, e.bottom - e.top, 3);
}

TEST(ViewerEndToEnd, ResizedWindowStaysFilledWithAStretchedPicture) {
  ViewerProcess viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  viewer.xdotool("windowsize --sync %w 1000 500");
  const Image shot = viewer.screenshot();
  ASSERT_EQ(shot.width, 1000);
  ASSERT_EQ(shot.height, 500);
  EXPECT_TRUE(near(shot.at(999, 499), kBackground));
  // The aspect ratio of the projection stays 1, so the round sphere becomes an ellipse twice as wide.
  const Extent e = foregroundExtent(shot);
  const double ratio = double(e.right - e.left) / double(e.bottom - e.top);
  EXPECT_NEAR(ratio, 2.0, 0.05);
  EXPECT_NEAR((e.left + e.right) / 2.0, 500, 3);
}

TEST(ViewerEndToEnd, MissingModelPrintsBothLinesAndExitsWithStatusOne) {
  const auto empty = tempPath("no-data");
  std::filesystem::create_directories(empty);
  ViewerProcess viewer(empty.string());
  EXPECT_EQ(viewer.waitForExit(), 1);
  EXPECT_EQ(viewer.output(),
            "Loading Models...\n"
            "Error: Could not load model \"data/sphere-unit.poly\"\n"
            "Error! Could not open model. Exiting.\n");
}

TEST(ViewerEndToEnd, EscapeExitsWithStatusZero) {
  ViewerProcess viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  viewer.key("Escape");
  EXPECT_EQ(viewer.waitForExit(), 0);
}

}  // namespace

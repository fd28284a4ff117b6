// The shipped models as the real program shows them from the start-up camera: each loads on its key,
// fills a good part of the view and turns a side to the eye and the light that shows several tones.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "viewer_process.h"

namespace {

const Rgb kTones[] = {{166, 166, 38}, {217, 217, 128}, {255, 255, 255}, {128, 128, 0}};

struct ModelView {
  int width = 0, height = 0;  // of everything that is not background, in pixels
  int centreX = 0, centreY = 0;
  int modelPixels = 0;
  std::map<int, int> pixelsPerTone;
};

ModelView measure(const Image& shot) {
  ModelView view;
  int left = shot.width, right = -1, top = shot.height, bottom = -1;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const Rgb p = shot.at(x, y);
      if (near(p, kBackground)) {
        continue;
      }
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
      ++view.modelPixels;
      for (int tone = 0; tone < 4; ++tone) {
        if (near(p, kTones[tone])) {
          ++view.pixelsPerTone[tone];
        }
      }
    }
  }
  view.width = right - left + 1;
  view.height = bottom - top + 1;
  view.centreX = (left + right) / 2;
  view.centreY = (top + bottom) / 2;
  return view;
}

TEST(ModelViews, EachModelFillsTheStartUpViewWithSeveralTones) {
  ViewerProcess viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  for (const char* key : {"2", "3", "4", "5"}) {
    viewer.key(key);
    const Image shot = viewer.screenshot();
    ASSERT_EQ(shot.width, 768) << "key " << key;
    const ModelView view = measure(shot);
    // Largest side 1, seen from 1 away with a 90-degree field of view: about half the window.
    EXPECT_GT(std::max(view.width, view.height), 768 * 2 / 5) << "key " << key;
    EXPECT_LT(std::max(view.width, view.height), 768 * 4 / 5) << "key " << key;
    EXPECT_NEAR(view.centreX, 384, 768 / 10) << "key " << key;
    // The eye looks at (0, 0.1, 0), so a model centred at the origin sits a little low; the bunny's
    // nearer, lower half pulls it lower still.
    EXPECT_NEAR(view.centreY, 384, 768 / 6) << "key " << key;
    int visibleTones = 0;
    for (const auto& [tone, pixels] : view.pixelsPerTone) {
      visibleTones += pixels > view.modelPixels / 50;
    }
    EXPECT_GE(visibleTones, 3) << "key " << key;
  }
  std::string expected = "Loading Models...\n";
  // The renderer's construction reads the hatching images.
  for (int image = 1; image <= 4; ++image) {
    const std::string path = "data/xhatch" + std::to_string(image) + ".bmp";
    expected += "Width of " + path + ": 512\nHeight of " + path + ": 512\n";
  }
  for (int model = 0; model < 4; ++model) {
    expected += "Loading model. Please wait...\n";
  }
  EXPECT_EQ(viewer.output(), expected);
}

}  // namespace

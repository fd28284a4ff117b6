// The real program with hatching switched on: pencil strokes on the faces, denser on darker tones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "viewer_process.h"

namespace {

// The flat tones with hatching off, lightest first; hatching shows xhatch1 to xhatch4 in their place.
const Rgb kTones[] = {{255, 255, 255}, {217, 217, 128}, {166, 166, 38}, {128, 128, 0}};
constexpr int kToneCount = 4;

int toneAt(const Image& image, int x, int y) {
  for (int i = 0; i < kToneCount; ++i) {
    if (near(image.at(x, y), kTones[i])) {
      return i;
    }
  }
  return -1;
}

// A pixel well inside a region of one tone: its whole neighbourhood has that tone.
int interiorTone(const Image& image, int x, int y, int radius) {
  const int tone = toneAt(image, x, y);
  if (tone < 0 || x < radius || y < radius || x >= image.width - radius || y >= image.height - radius) {
    return -1;
  }
  for (int dy = -radius; dy <= radius; dy += radius) {
    for (int dx = -radius; dx <= radius; dx += radius) {
      if (toneAt(image, x + dx, y + dy) != tone) {
        return -1;
      }
    }
  }
  return tone;
}

struct Region {
  long pixels = 0;
  long dark = 0;    // graphite, clearly below the paper
  long light = 0;   // bare paper between the strokes
  long tinted = 0;  // yellowish like the flat tones rather than the grey of graphite on paper
  double brightness = 0;
};

TEST(HatchingEndToEnd, TKeyDrawsPencilStrokesDenserOnDarkerTones) {
  ViewerProcess viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  // Swing the light towards the eye (yaw offset about 20 degrees, pitch about 22) so that every tone
  // covers a good part of the sphere.
  viewer.xdotool("mousemove --window %w 50 50 mousedown 1 mousemove --window %w 650 250 mouseup 1");
  const Image tones = viewer.screenshot();
  viewer.key("t");
  const Image hatched = viewer.screenshot();
  ASSERT_EQ(tones.width, hatched.width);
  ASSERT_EQ(tones.height, hatched.height);

  Region regions[kToneCount];
  for (int y = 0; y < tones.height; ++y) {
    for (int x = 0; x < tones.width; ++x) {
      const int tone = interiorTone(tones, x, y, 4);
      if (tone < 0) {
        continue;
      }
      const Rgb p = hatched.at(x, y);
      const int level = (p[0] + p[1] + p[2]) / 3;
      Region& r = regions[tone];
      ++r.pixels;
      r.dark += level < 200;
      r.light += level > 235;
      r.tinted += std::abs(p[0] - p[2]) > 16;
      r.brightness += level;
    }
  }
  for (int i = 0; i < kToneCount; ++i) {
    Region& r = regions[i];
    SCOPED_TRACE("xhatch" + std::to_string(i + 1));
    ASSERT_GT(r.pixels, 3000);
    r.brightness /= static_cast<double>(r.pixels);
    // Strokes: both graphite and paper show inside every region, and no flat colour is left.
    EXPECT_GT(r.dark, r.pixels / 100);
    EXPECT_GT(r.light, r.pixels / 100);
    EXPECT_LT(r.tinted, r.pixels / 100);
    if (i > 0) {
      EXPECT_LT(r.brightness, regions[i - 1].brightness - 8) << "darker tones get denser hatching";
      EXPECT_GT(r.dark * regions[i - 1].pixels, regions[i - 1].dark * r.pixels);
    }
  }

  viewer.key("Escape");
  EXPECT_EQ(viewer.waitForExit(), 0);
  std::string lines = "Loading Models...\n";
  for (int i = 1; i <= 4; ++i) {
    const std::string path = "data/xhatch" + std::to_string(i) + ".bmp";
    lines += "Width of " + path + ": 512\nHeight of " + path + ": 512\n";
  }
  EXPECT_EQ(viewer.output(), lines);
}

}  // namespace

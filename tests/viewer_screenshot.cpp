// Starts the real viewer on the current X server, waits until its window shows the start-up view (as
// nprsnap draws it) and writes the window's pixels to a PNG: docs/first-frame.png comes from here
// (scripts/make-gallery.sh). With --hatching it then swings the light towards the eye, presses T, waits for
// the picture to change each time and keeps the 480 by 480 pixels centred on the sphere: docs/hatching.png.
#include <algorithm>
#include <cstdio>

#include "png_file.h"
#include "viewer_driver.h"

namespace {

// The side by side square centred on what is not background, kept inside the shot.
RgbImage around(const RgbImage& shot, int side) {
  int left = shot.width, right = 0, top = shot.height, bottom = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (shot.at(x, y)[2] != 153) {
        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
        bottom = std::max(bottom, y);
      }
    }
  }
  RgbImage crop{side, side, {}};
  left = std::clamp((left + right - side) / 2, 0, shot.width - side);
  top = std::clamp((top + bottom - side) / 2, 0, shot.height - side);
  for (int y = 0; y < side; ++y) {
    crop.rgb.insert(crop.rgb.end(), shot.at(left, top + y), shot.at(left, top + y) + side * 3);
  }
  return crop;
}

}  // namespace

int main(int argc, char** argv) {
  const bool hatching = argc == 3 && std::string(argv[1]) == "--hatching";
  if (argc != 2 && !hatching) {
    std::fprintf(
        stderr,
        "usage: viewer_screenshot [--hatching] OUT.png (with DISPLAY set, from the repository root)\n");
    return 2;
  }
  Viewer viewer;
  testing::AssertionResult shown =
      viewer.waitForWindow() ? viewer.waitForPicture(snapPicture("data/sphere-unit.poly"), "first-frame")
                             : testing::AssertionFailure() << "the viewer's window did not appear";
  // The light about 20 degrees off the eye in yaw and 22 in pitch, so that every tone shows.
  for (const char* step : {"mousemove --window %w 50 50 mousedown 1 mousemove --window %w 650 250 mouseup 1",
                           "key --window %w t"}) {
    if (hatching && shown) {
      const RgbImage before = viewer.grab();
      viewer.xdotool(step);
      shown = viewer.waitForChange(before);
    }
  }
  const RgbImage shot = viewer.grab();
  std::string error;
  if (!shown ||
      !writePng(argv[argc - 1],
                hatching && shot.width >= 480 && shot.height >= 480 ? around(shot, 480) : shot, error)) {
    std::fprintf(stderr, "viewer_screenshot: %s%s\n", shown ? "" : shown.message(), error.c_str());
    return 1;
  }
  return 0;
}

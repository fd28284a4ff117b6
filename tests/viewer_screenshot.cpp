// Starts the real viewer on the current X server, waits for its first frame and writes the window's
// pixels to a PNG: docs/first-frame.png comes from here (scripts/make-gallery.sh). With --hatching it first
// swings the light towards the eye and presses T, and keeps the 480 by 480 pixels centred on the sphere:
// docs/hatching.png.
#include <algorithm>
#include <cstdio>
#include <string>

#include "png_file.h"
#include "viewer_process.h"

namespace {

// The side by side square centred on what is not background, kept inside the shot.
RgbImage around(const Image& shot, int side) {
  RgbImage crop{side, side, {}};
  const Extent extent = foregroundExtent(shot);
  const int left = std::clamp((extent.left + extent.right - side) / 2, 0, shot.width - side);
  const int top = std::clamp((extent.top + extent.bottom - side) / 2, 0, shot.height - side);
  for (int y = 0; y < side; ++y) {
    const auto row = shot.rgb.begin() + (static_cast<long>(top + y) * shot.width + left) * 3;
    crop.rgb.insert(crop.rgb.end(), row, row + side * 3);
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
  const char* out = argv[argc - 1];
  ViewerProcess viewer;
  if (!viewer.waitForWindow()) {
    std::fprintf(stderr, "viewer_screenshot: the viewer's window did not appear\n");
    return 1;
  }
  if (hatching) {
    // The light about 20 degrees off the eye in yaw and 22 in pitch, so that every tone shows.
    viewer.xdotool("mousemove --window %w 50 50 mousedown 1 mousemove --window %w 650 250 mouseup 1");
    viewer.screenshot();
    viewer.key("t");
  }
  const Image shot = viewer.screenshot();
  std::string error;
  const RgbImage picture = hatching && shot.width >= 480 && shot.height >= 480
                               ? around(shot, 480)
                               : RgbImage{shot.width, shot.height, shot.rgb};
  if (shot.empty() || !writePng(out, picture, error)) {
    std::fprintf(stderr, "viewer_screenshot: cannot write %s: %s\n", out, error.c_str());
    return 1;
  }
  return 0;
}

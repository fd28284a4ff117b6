// Starts the real viewer on the current X server, waits for its first frame and writes the window's
// pixels to a PNG: docs/first-frame.png comes from here (scripts/make-gallery.sh).
#include <cstdio>
#include <string>

#include "png_file.h"
#include "viewer_process.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: viewer_screenshot OUT.png (with DISPLAY set, from the repository root)\n");
    return 2;
  }
  ViewerProcess viewer;
  if (!viewer.waitForWindow()) {
    std::fprintf(stderr, "viewer_screenshot: the viewer's window did not appear\n");
    return 1;
  }
  const Image shot = viewer.screenshot();
  std::string error;
  if (shot.empty() || !writePng(argv[1], {shot.width, shot.height, shot.rgb}, error)) {
    std::fprintf(stderr, "viewer_screenshot: cannot write %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}

// Starts the real viewer on the current X server, waits until its window shows the start-up view (as
// nprsnap draws it) and writes the window's pixels to a PNG: docs/first-frame.png comes from here
// (scripts/make-gallery.sh).
#include <cstdio>

#include "png_file.h"
#include "viewer_driver.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: viewer_screenshot OUT.png (with DISPLAY set, from the repository root)\n");
    return 2;
  }
  Viewer viewer;
  const testing::AssertionResult shown =
      viewer.waitForWindow() ? viewer.waitForPicture(snapPicture("data/sphere-unit.poly"), "first-frame")
                             : testing::AssertionFailure() << "the viewer's window did not appear";
  std::string error;
  if (!shown || !writePng(argv[1], viewer.grab(), error)) {
    std::fprintf(stderr, "viewer_screenshot: %s%s\n", shown ? "" : shown.message(), error.c_str());
    return 1;
  }
  return 0;
}

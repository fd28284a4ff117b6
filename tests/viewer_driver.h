// The real nprview program under the test's X server: started, driven with xdotool, read back from its
// window.
#pragma once

#include <string>

#include "support.h"

class Viewer {
 public:
  // Starts the viewer (program) in the given working directory, its standard output going to a file.
  explicit Viewer(const std::string& workingDirectory = NPRVIEW_SOURCE_DIR,
                  const std::string& program = NPRVIEW_BINARY);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  // Waits for the window titled "NPR Rendering" and moves it to the screen's top left, where nothing clips
  // it; false when none appeared within the timeout.
  bool waitForWindow(int timeoutSeconds = 30);

  // Runs xdotool with the arguments, %w standing for the window; true when xdotool succeeded.
  bool xdotool(const std::string& arguments);

  // The window's client area as it is now.
  RgbImage grab() const;

  // Waits until the window shows exactly expected. On timeout it fails, saving the last grab as NAME-*.png.
  testing::AssertionResult waitForPicture(const RgbImage& expected, const std::string& name,
                                          int timeoutSeconds = 30);

  // Waits until the window's picture is no longer before.
  testing::AssertionResult waitForChange(const RgbImage& before, int timeoutSeconds = 30);

  // Waits for the process to end and returns its exit status (-1 on timeout or a signal).
  int waitForExit(int timeoutSeconds = 30);
  bool running();
  std::string output() const;

 private:
  int pid_ = -1;
  int exitStatus_ = -1;
  std::string window_;
  std::string outputPath_;
};

// nprsnap's picture of a model with the given options; empty when nprsnap failed.
RgbImage snapPicture(const std::string& arguments);

// What the viewer writes at start-up: the loading line and the bitmap loader's size lines.
std::string startUpLines();

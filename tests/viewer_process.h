// The real nprview program under the test's X server, driven with xdotool and read back by screenshots.
#pragma once

#include <string>

#include "image.h"

// Runs a shell command and returns its standard output; the exit status goes to status when given.
std::string runCommand(const std::string& command, int* status = nullptr);

class ViewerProcess {
 public:
  // Starts the viewer with the given working directory; its standard output goes to a file.
  explicit ViewerProcess(const std::string& workingDirectory = NPRVIEW_SOURCE_DIR);
  ~ViewerProcess();
  ViewerProcess(const ViewerProcess&) = delete;
  ViewerProcess& operator=(const ViewerProcess&) = delete;

  // Finds the window by its title; false if none appeared within the timeout.
  bool waitForWindow(int timeoutSeconds = 30);
  const std::string& window() const { return window_; }

  // A screenshot of the window's client area, taken once the picture has settled.
  Image screenshot();
  // The window's client area as it is now.
  Image grab() const;

  // xdotool arguments aimed at the window, for instance key("plus") or xdotool("mousemove --window %w 10 10").
  void key(const std::string& keys);
  void xdotool(const std::string& arguments);

  // Waits for the process to end and returns its exit status (-1 on timeout or a signal).
  int waitForExit(int timeoutSeconds = 30);
  bool running();
  // The process id while it runs (-1 once it has been reaped).
  int pid() const { return pid_; }
  std::string output() const;

 private:
  int pid_ = -1;
  int exitStatus_ = -1;
  std::string window_;
  std::string outputPath_;
};

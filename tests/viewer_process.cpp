// Starting the viewer, finding its window and talking to it through xdotool and ImageMagick.
#include "viewer_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Reads the window's pixels straight from the X server (no server grab, unlike ImageMagick's import).
Image grabWindow(const std::string& window) {
  Image image;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    return image;
  }
  const Window id = std::stoul(window);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, id, &attributes)) {
    XImage* pixels = XGetImage(display, id, 0, 0, static_cast<unsigned>(attributes.width),
                               static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (pixels) {
      image.width = attributes.width;
      image.height = attributes.height;
      image.rgb.reserve(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
      for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
          const unsigned long p = XGetPixel(pixels, x, y);
          image.rgb.push_back(static_cast<uint8_t>((p & pixels->red_mask) >> 16));
          image.rgb.push_back(static_cast<uint8_t>((p & pixels->green_mask) >> 8));
          image.rgb.push_back(static_cast<uint8_t>(p & pixels->blue_mask));
        }
      }
      XDestroyImage(pixels);
    }
  }
  XCloseDisplay(display);
  return image;
}

}  // namespace

std::string runCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) {
      *status = -1;
    }
    return output;
  }
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    output.append(buffer, n);
  }
  const int result = pclose(pipe);
  if (status) {
    *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  }
  return output;
}

ViewerProcess::ViewerProcess(const std::string& workingDirectory) {
  static int counter = 0;
  outputPath_ = "/tmp/nprview-e2e-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".out";
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || dup2(out, STDOUT_FILENO) < 0 || chdir(workingDirectory.c_str()) != 0) {
      _exit(127);
    }
    execl(NPRVIEW_BINARY, NPRVIEW_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
}

ViewerProcess::~ViewerProcess() {
  if (pid_ > 0 && running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::remove(outputPath_.c_str());
}

bool ViewerProcess::waitForWindow(int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (std::chrono::steady_clock::now() < deadline && running()) {
    std::string found = runCommand("xdotool search --onlyvisible --pid " + std::to_string(pid_) +
                                   " --name '^NPR Rendering$' 2>/dev/null");
    if (!found.empty()) {
      window_ = found.substr(0, found.find('\n'));
      // Without a window manager the window may hang off the screen's edge, where screenshots clip it.
      xdotool("windowmove --sync %w 0 0");
      // Let the first frame reach the screen.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

Image ViewerProcess::screenshot() {
  // Two equal shots in a row mean every posted redisplay has been drawn.
  Image previous;
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Image image = grabWindow(window_);
    if (!image.empty() && image.width == previous.width && image.height == previous.height &&
        image.rgb == previous.rgb) {
      return image;
    }
    previous = std::move(image);
  }
  return previous;
}

Image ViewerProcess::grab() const {
  return grabWindow(window_);
}

void ViewerProcess::key(const std::string& keys) { xdotool("key --window %w " + keys); }

void ViewerProcess::xdotool(const std::string& arguments) {
  std::string command = arguments;
  for (size_t at = command.find("%w"); at != std::string::npos; at = command.find("%w")) {
    command.replace(at, 2, window_);
  }
  runCommand("xdotool " + command + " 2>/dev/null");
}

bool ViewerProcess::running() {
  if (pid_ <= 0) {
    return false;
  }
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return false;
  }
  return true;
}

int ViewerProcess::waitForExit(int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return exitStatus_;
}

std::string ViewerProcess::output() const {
  std::ifstream in(outputPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starting the viewer, finding its window and reading its pixels straight from the X server.
#include "viewer_driver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "png_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// Polls done() every 50 ms until it holds or the time is up.
template <typename Done>
bool pollUntil(int timeoutSeconds, Done done) {
  const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
  while (!done()) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace

Viewer::Viewer(const std::string& workingDirectory, const std::string& program) {
  static int counter = 0;
  outputPath_ = tempPath("viewer-" + std::to_string(counter++) + ".out").string();
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || dup2(out, STDOUT_FILENO) < 0 || chdir(workingDirectory.c_str()) != 0) {
      _exit(127);
    }
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

Viewer::~Viewer() {
  if (running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::filesystem::remove(outputPath_);
}

bool Viewer::waitForWindow(int timeoutSeconds) {
  const std::string search =
      "xdotool search --onlyvisible --pid " + std::to_string(pid_) + " --name '^NPR Rendering$' 2>/dev/null";
  const bool found = pollUntil(timeoutSeconds, [&] {
    window_ = runCommand(search);
    return !window_.empty() || !running();
  });
  window_ = window_.substr(0, window_.find('\n'));
  return found && !window_.empty() && xdotool("windowmove --sync %w 0 0");
}

bool Viewer::xdotool(const std::string& arguments) {
  std::string command = arguments;
  for (size_t at = command.find("%w"); at != std::string::npos; at = command.find("%w")) {
    command.replace(at, 2, window_);
  }
  int status = -1;
  runCommand("xdotool " + command + " 2>/dev/null", &status);
  return status == 0;
}

RgbImage Viewer::grab() const {
  RgbImage image;
  Display* display = XOpenDisplay(nullptr);
  if (!display || window_.empty()) {
    return image;
  }
  const Window id = std::stoul(window_);
  XWindowAttributes attributes;
  XImage* pixels = nullptr;
  if (XGetWindowAttributes(display, id, &attributes)) {
    pixels = XGetImage(display, id, 0, 0, static_cast<unsigned>(attributes.width),
                       static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  }
  // The 24-bit layout of Xvfb and of the usual display (blue, green, red, pad), read straight from the bytes:
  // grabbed every 50 ms while a test waits, in the sanitizer build too. Any other gives no picture.
  if (pixels && pixels->bits_per_pixel == 32 && pixels->byte_order == LSBFirst &&
      pixels->red_mask == 0xff0000 && pixels->green_mask == 0xff00 && pixels->blue_mask == 0xff) {
    image.width = attributes.width;
    image.height = attributes.height;
    image.rgb.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
    uint8_t* out = image.rgb.data();
    for (int y = 0; y < image.height; ++y) {
      const auto* row =
          reinterpret_cast<const uint8_t*>(pixels->data) + static_cast<ptrdiff_t>(y) * pixels->bytes_per_line;
      for (int x = 0; x < image.width; ++x, out += 3) {
        out[0] = row[4 * x + 2], out[1] = row[4 * x + 1], out[2] = row[4 * x];
      }
    }
  }
  if (pixels) {
    XDestroyImage(pixels);
  }
  XCloseDisplay(display);
  return image;
}

testing::AssertionResult Viewer::waitForPicture(const RgbImage& expected, const std::string& name,
                                                int timeoutSeconds) {
  RgbImage shot;
  if (pollUntil(timeoutSeconds, [&] { return (shot = grab()).rgb == expected.rgb && !shot.empty(); })) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << name << ": the window did not show the expected picture within "
                                     << timeoutSeconds << " s (" << differingPixels(shot, expected, 0)
                                     << " pixels differ, -1: another size); "
                                     << savePictures(name, shot, &expected);
}

testing::AssertionResult Viewer::waitForChange(const RgbImage& before, int timeoutSeconds) {
  if (pollUntil(timeoutSeconds, [&] { return grab().rgb != before.rgb; })) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "the window's picture did not change within " << timeoutSeconds
                                     << " s";
}

bool Viewer::running() {
  int status = 0;
  if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1, pid_ = -1;
  }
  return pid_ > 0;
}

int Viewer::waitForExit(int timeoutSeconds) {
  return pollUntil(timeoutSeconds, [&] { return !running(); }) ? exitStatus_ : -1;
}

std::string Viewer::output() const {
  return readFile(outputPath_);
}

RgbImage snapPicture(const std::string& arguments) {
  const std::string path = tempPath("nprsnap.png").string();
  int status = -1;
  runCommand(std::string(NPRSNAP_BINARY) + " " + arguments + " -o " + path + " >/dev/null", &status);
  RgbImage picture;
  std::string error;
  if (status != 0 || !readPng(path, picture, error)) {
    picture = {};
  }
  std::filesystem::remove(path);
  return picture;
}

std::string startUpLines() {
  return "Loading Models...\n" + hatchImageLines();
}

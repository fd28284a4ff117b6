// The real program driven by keys and mouse under the test's X server, read back from screenshots: what
// each binding visibly does, and a storm of random events that it must survive.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "viewer_process.h"

namespace {

const Rgb kLitTones[] = {{166, 166, 38}, {217, 217, 128}, {255, 255, 255}};

struct Extent {
  int left, right, top, bottom;
  int width() const { return right - left + 1; }
};

Extent foregroundExtent(const Image& image) {
  Extent e{image.width, -1, image.height, -1};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (!near(image.at(x, y), kBackground)) {
        e = {std::min(e.left, x), std::max(e.right, x), std::min(e.top, y), std::max(e.bottom, y)};
      }
    }
  }
  return e;
}

// Pixels that are background in one image and not in the other: how far the silhouettes differ.
int silhouetteDifference(const Image& a, const Image& b) {
  int count = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      count += near(a.at(x, y), kBackground) != near(b.at(x, y), kBackground);
    }
  }
  return count;
}

// The mean column of the pixels in the lit tones.
double litColumn(const Image& image) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      for (const Rgb& tone : kLitTones) {
        if (near(image.at(x, y), tone)) {
          sum += x;
          ++count;
        }
      }
    }
  }
  return count ? sum / count : -1;
}

// Width of the black run where the middle row first leaves the background, from the left.
int outlineOnMiddleRow(const Image& image) {
  const int y = image.height / 2;
  int x = 0;
  while (x < image.width && near(image.at(x, y), kBackground)) {
    ++x;
  }
  int run = 0;
  for (; x < image.width && near(image.at(x, y), kBlack); ++x) {
    ++run;
  }
  return run;
}

int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

constexpr const char* kLoadingLine = "Loading model. Please wait...\n";

// How much a process has worked so far: the processor ticks of all its threads, or -1 while any of them
// is runnable (it may be waiting for a processor rather than for events), or -2 once it is gone.
long workDone(int pid) {
  std::error_code error;
  long ticks = 0;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream stat(task.path() / "stat");
    std::string text;
    std::getline(stat, text);
    if (text.empty()) {
      continue;
    }
    // After the parenthesised command name: the state first, utime and stime 12th and 13th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
      if (i == 1 && field == "R") {
        return -1;
      }
      if (i >= 12) {
        ticks += std::stol(field);
      }
    }
  }
  return error ? -2 : ticks;
}

class InputEndToEnd : public ::testing::Test {
 protected:
  void start() {
    viewer_ = std::make_unique<ViewerProcess>();
    ASSERT_TRUE(viewer_->waitForWindow());
    // The very first frame starts from OpenGL's polygon modes rather than those the passes leave, so a
    // redraw gives the picture that later frames return to.
    viewer_->key("x");
    first_ = settled();
    ASSERT_EQ(first_.width, 768);
  }

  // A screenshot once the viewer has stopped working: after a burst of events it may still be drawing
  // long after two screenshots in a row happened to agree.
  Image settled() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    long before = -3;
    for (long now = workDone(viewer_->pid());
         (now == -1 || now != before) && std::chrono::steady_clock::now() < deadline;
         now = workDone(viewer_->pid())) {
      before = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return viewer_->grab();
  }

  // Sends xdotool commands and returns the settled picture, which must differ from before.
  Image changed(const std::string& commands, const Image& before) {
    viewer_->xdotool(commands);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Image shot = settled();
    while (shot.rgb == before.rgb && std::chrono::steady_clock::now() < deadline) {
      shot = settled();
    }
    EXPECT_NE(shot.rgb, before.rgb) << "no change after " << commands;
    return shot;
  }
  Image keys(const std::string& names, const Image& before) {
    return changed("key --window %w --delay 10 " + names, before);
  }

  // Switches to a model and returns its steady picture. The first frame after a switch may still show
  // polygon modes that the previous model's passes left; the second (after the key x, which only
  // redraws) no longer does.
  Image model(const std::string& key, const Image& before) {
    keys(key, before);
    viewer_->key("x");
    return settled();
  }

  // A drag with the real pointer, in window coordinates (the window sits at the screen's top left).
  static std::string drag(int button, int fromX, int fromY, int toX, int toY) {
    const std::string b = std::to_string(button);
    return "mousemove " + std::to_string(fromX) + " " + std::to_string(fromY) + " mousedown " + b +
           " mousemove " + std::to_string(toX) + " " + std::to_string(toY) + " mouseup " + b;
  }

  void escapeExitsWithZero() {
    viewer_->key("Escape");
    EXPECT_EQ(viewer_->waitForExit(), 0);
  }

  std::unique_ptr<ViewerProcess> viewer_;
  Image first_;
};

TEST_F(InputEndToEnd, ModelKeysSwitchModelsLoadingEachOnce) {
  ASSERT_NO_FATAL_FAILURE(start());
  const std::string names[] = {"1", "2", "3", "4", "5"};
  auto show = [&](int slot, const Image& before) { return model(names[slot], before); };
  Image shots[5] = {first_};
  for (int slot = 1; slot < 5; ++slot) {
    shots[slot] = show(slot, shots[slot - 1]);
    EXPECT_EQ(occurrences(viewer_->output(), kLoadingLine), slot) << "key " << names[slot];
    for (int other = 0; other < slot; ++other) {
      EXPECT_GT(silhouetteDifference(shots[slot], shots[other]), 1000) << slot << " and " << other;
    }
  }
  Image shot = shots[4];
  for (int slot : {0, 2, 1, 3}) {
    shot = show(slot, shot);
    EXPECT_EQ(shot.rgb, shots[slot].rgb) << "key " << names[slot];
  }
  EXPECT_EQ(occurrences(viewer_->output(), kLoadingLine), 4);
  EXPECT_EQ(occurrences(viewer_->output(), "Error"), 0);
  escapeExitsWithZero();
}

TEST_F(InputEndToEnd, PlusAndMinusWidenAndNarrowTheOutlineDownToOne) {
  ASSERT_NO_FATAL_FAILURE(start());
  // The default is 5; = and _ act as + and -.
  const Image six = keys("plus", first_);
  EXPECT_EQ(keys("minus", six).rgb, first_.rgb);
  EXPECT_EQ(keys("equal", first_).rgb, six.rgb);
  EXPECT_EQ(keys("underscore", six).rgb, first_.rgb);
  const Image two = keys("minus minus minus", first_);
  const Image one = keys("minus", two);
  // Presses below 1 do nothing, so a single + after them brings back 2.
  EXPECT_EQ(keys("minus minus underscore plus", one).rgb, two.rgb);

  // The line is centred on the silhouette and the filled front hides its inner half: the visible outline
  // is about half the line width, and the picture grows by about a pixel per press.
  const Image three = keys("plus", two);
  const Image four = keys("plus", three);
  const Image twelve = keys("plus plus plus plus plus plus plus plus", four);
  const std::pair<int, const Image*> widths[] = {{2, &two},    {3, &three}, {4, &four},
                                                 {5, &first_}, {6, &six},   {12, &twelve}};
  for (auto [width, image] : widths) {
    EXPECT_NEAR(outlineOnMiddleRow(*image), width / 2.0, 1.0) << "width " << width;
  }
  EXPECT_NEAR(foregroundExtent(twelve).width() - foregroundExtent(two).width(), 10, 2);
  EXPECT_GE(foregroundExtent(two).width(), foregroundExtent(one).width());
  escapeExitsWithZero();
}

TEST_F(InputEndToEnd, UpAndDownZoomAndShiftDoublesTheStep) {
  ASSERT_NO_FATAL_FAILURE(start());
  const int atOne = foregroundExtent(first_).width();
  const Image nearer = keys("Up Up Up Up", first_);
  const Image nearest = keys("shift+Up shift+Up", nearer);
  EXPECT_GT(foregroundExtent(nearer).width(), atOne + 40);
  EXPECT_GT(foregroundExtent(nearest).width(), foregroundExtent(nearer).width() + 40);
  // Eight plain steps out undo four plain and two Shift steps in.
  const Image back = keys("Down Down Down Down Down Down Down Down", nearest);
  EXPECT_NEAR(foregroundExtent(back).width(), atOne, 1);
  const Image farther = keys("shift+Down shift+Down", back);
  EXPECT_LT(foregroundExtent(farther).width(), atOne - 30);
  escapeExitsWithZero();
}

TEST_F(InputEndToEnd, RightDragTurnsTheViewAndDraggingBackUndoesIt) {
  ASSERT_NO_FATAL_FAILURE(start());
  // The teapot's outline changes as the view turns around it.
  const Image teapot = model("3", first_);
  const Image right = changed(drag(3, 300, 384, 492, 384), teapot);
  EXPECT_GT(silhouetteDifference(teapot, right), 2000);
  // A drag to the left by as much turns back by as much.
  EXPECT_EQ(changed(drag(3, 492, 200, 300, 200), right).rgb, teapot.rgb);
  const Image left = changed(drag(3, 492, 200, 300, 200), teapot);
  EXPECT_GT(silhouetteDifference(left, right), 2000);
  escapeExitsWithZero();
}

TEST_F(InputEndToEnd, LeftDragMovesTheLitSideWhileTheSilhouetteStays) {
  ASSERT_NO_FATAL_FAILURE(start());
  // The light starts 90 degrees to the left of the eye; a drag to the right swings it towards the eye.
  const Image swung = changed(drag(1, 300, 384, 492, 384), first_);
  EXPECT_EQ(silhouetteDifference(first_, swung), 0);
  EXPECT_GT(litColumn(swung), litColumn(first_) + 10);
  EXPECT_EQ(changed(drag(1, 492, 500, 300, 500), swung).rgb, first_.rgb);
  escapeExitsWithZero();
}

TEST_F(InputEndToEnd, BothCasesOfTToggleHatching) {
  ASSERT_NO_FATAL_FAILURE(start());
  const Image hatched = keys("T", first_);
  EXPECT_EQ(silhouetteDifference(first_, hatched), 0);
  EXPECT_EQ(keys("t", hatched).rgb, first_.rgb);
  escapeExitsWithZero();
}

// Key names for xdotool: every byte the keyboard can type but Escape's, the special keys, and modifiers.
std::vector<std::string> stormKeys() {
  std::vector<std::string> names = {"space",
                                    "BackSpace",
                                    "Tab",
                                    "Return",
                                    "Delete",
                                    "KP_Enter",
                                    "ctrl+space",
                                    "ctrl+backslash",
                                    "ctrl+bracketright",
                                    "ctrl+asciicircum",
                                    "ctrl+underscore",
                                    "Up",
                                    "Down",
                                    "Left",
                                    "Right",
                                    "Page_Up",
                                    "Page_Down",
                                    "Home",
                                    "End",
                                    "Insert",
                                    "shift+Up",
                                    "shift+Down",
                                    "ctrl+Up",
                                    "shift+ctrl+Down"};
  char name[16];
  for (int code = 0x21; code <= 0xff; ++code) {
    if (code < 0x7f || code >= 0xa0) {
      std::snprintf(name, sizeof name, "0x%02x", code);
      names.push_back(name);
    }
  }
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    names.push_back(std::string("ctrl+") + letter);
  }
  for (int f = 1; f <= 12; ++f) {
    names.push_back("F" + std::to_string(f));
  }
  return names;
}

// Random xdotool commands: keys, pointer moves far past the window, presses and releases of every
// button, and resizes down to 1 by 1.
std::string stormCommands(std::mt19937& random, const std::vector<std::string>& keyNames, int events) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  std::string commands;
  for (int i = 0; i < events; ++i) {
    const int kind = pick(0, 99);
    if (kind < 40) {
      commands +=
          " key --window %w --delay 0 " + keyNames[static_cast<size_t>(pick(0, int(keyNames.size()) - 1))];
    } else if (kind < 70) {
      commands += " mousemove " + std::to_string(pick(0, 1500)) + " " + std::to_string(pick(0, 1200));
    } else if (kind < 95) {
      commands += std::string(pick(0, 1) ? " mousedown " : " mouseup ") + std::to_string(pick(1, 7));
    } else if (pick(0, 3) == 0) {
      commands += " windowsize %w 1 1";
    } else {
      commands += " windowsize %w " + std::to_string(pick(1, 900)) + " " + std::to_string(pick(1, 900));
    }
  }
  return commands;
}

TEST_F(InputEndToEnd, StormOfRandomEventsLeavesTheViewerAnswering) {
  ASSERT_NO_FATAL_FAILURE(start());
  // Away from the screen's corner, so that the pointer also passes left of and above the window.
  viewer_->xdotool("windowmove --sync %w 200 150");
  std::mt19937 random(4);
  const std::vector<std::string> keyNames = stormKeys();
  for (int chunk = 0; chunk < 12; ++chunk) {
    std::string commands = stormCommands(random, keyNames, 250);
    for (size_t at = commands.find("%w"); at != std::string::npos; at = commands.find("%w")) {
      commands.replace(at, 2, viewer_->window());
    }
    int status = -1;
    const std::string complaints = runCommand("xdotool" + commands + " 2>&1", &status);
    ASSERT_EQ(status, 0) << complaints;
    ASSERT_TRUE(viewer_->running()) << "after chunk " << chunk;
  }
  viewer_->xdotool(
      "mouseup 1 mouseup 2 mouseup 3 mouseup 4 mouseup 5 mouseup 6 mouseup 7 mousemove 1000 1000");
  viewer_->xdotool("windowsize --sync %w 768 768 windowmove --sync %w 0 0");
  const Image after = settled();
  ASSERT_TRUE(viewer_->running());
  ASSERT_EQ(after.width, 768);
  // Still answering: the texture key changes the picture and changes it back. The first of these frames
  // may still show polygon modes left by the storm's last model switch, so the later ones are compared.
  const Image on = keys("T", after);
  const Image off = keys("t", on);
  const Image onAgain = keys("T", off);
  EXPECT_EQ(keys("t", onAgain).rgb, off.rgb);
  EXPECT_EQ(occurrences(viewer_->output(), kLoadingLine), 4);
  EXPECT_EQ(occurrences(viewer_->output(), "Error"), 0);
  escapeExitsWithZero();
}

}  // namespace

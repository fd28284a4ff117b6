// The real program driven by keys and mouse under the test's X server, read back from screenshots: what
// the bindings visibly do, and a storm of random events that it must survive.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "viewer_process.h"

namespace {

// Pixels that are background in one image and not in the other: how far the silhouettes differ.
int silhouetteDifference(const Image& a, const Image& b) {
  int count = 0;
  for (int i = 0; i < a.width * a.height; ++i) {
    count += near(a.at(i % a.width, i / a.width), kBackground) !=
             near(b.at(i % a.width, i / a.width), kBackground);
  }
  return count;
}

// The mean column of the pixels in the lit tones.
double litColumn(const Image& image) {
  double sum = 0, count = 0;
  for (int i = 0; i < image.width * image.height; ++i) {
    for (const Rgb& tone : {Rgb{166, 166, 38}, Rgb{217, 217, 128}, Rgb{255, 255, 255}}) {
      const bool lit = near(image.at(i % image.width, i / image.width), tone);
      sum += lit ? i % image.width : 0;
      count += lit;
    }
  }
  return count ? sum / count : -1;
}

int loadingLines(const std::string& text) {
  int n = 0;
  for (size_t at = 0; (at = text.find("Loading model. Please wait...\n", at)) != std::string::npos; ++at) {
    ++n;
  }
  return n;
}

// How much a process has worked so far: the processor ticks of all its threads, or -1 while any of them
// is runnable (it may be waiting for a processor rather than for events), or -2 once it is gone.
long workDone(int pid) {
  std::error_code error;
  long ticks = 0;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream stat(task.path() / "stat");
    std::string text, field;
    std::getline(stat, text);
    // After the parenthesised command name: the state first, utime and stime 12th and 13th.
    std::istringstream fields(text.empty() ? "" : text.substr(text.rfind(')') + 2));
    for (int i = 1; i <= 13 && fields >> field; ++i) {
      if (i == 1 && field == "R") {
        return -1;
      }
      ticks += i >= 12 ? std::stol(field) : 0;
    }
  }
  return error ? -2 : ticks;
}

class InputEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(viewer_.waitForWindow());
    // The very first frame starts from OpenGL's polygon modes rather than those the passes leave, so a
    // redraw gives the picture that later frames return to.
    viewer_.key("x");
    first_ = settled();
    ASSERT_EQ(first_.width, 768);
  }

  // A screenshot once the viewer has stopped working: after a burst of events it may still be drawing
  // long after two screenshots in a row happened to agree.
  Image settled() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    long before = -3;
    for (long now = workDone(viewer_.pid());
         (now == -1 || now != before) && std::chrono::steady_clock::now() < deadline;
         now = workDone(viewer_.pid())) {
      before = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return viewer_.grab();
  }

  // Sends xdotool commands (or key names) and returns the settled picture, which must differ from before.
  Image changed(const std::string& commands, const Image& before) {
    viewer_.xdotool(commands.find(' ') == 0 ? commands : "key --window %w --delay 10 " + commands);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Image shot = settled();
    while (shot.rgb == before.rgb && std::chrono::steady_clock::now() < deadline) {
      shot = settled();
    }
    EXPECT_NE(shot.rgb, before.rgb) << "no change after " << commands;
    return shot;
  }

  // Switches to a model and returns its steady picture. The first frame after a switch may still show
  // polygon modes that the previous model's passes left; the second (after x, which only redraws) does not.
  Image model(const std::string& key, const Image& before) {
    changed(key, before);
    viewer_.key("x");
    return settled();
  }

  // A drag with the real pointer, in window coordinates (the window sits at the screen's top left).
  static std::string drag(int button, int fromX, int fromY, int toX, int toY) {
    const std::string b = std::to_string(button);
    return " mousemove " + std::to_string(fromX) + " " + std::to_string(fromY) + " mousedown " + b +
           " mousemove " + std::to_string(toX) + " " + std::to_string(toY) + " mouseup " + b;
  }

  ViewerProcess viewer_;
  Image first_;
};

TEST_F(InputEndToEnd, ModelKeysSwitchModelsLoadingEachOnce) {
  Image shots[5] = {first_};
  for (int slot = 1; slot < 5; ++slot) {
    shots[slot] = model(std::to_string(slot + 1), shots[slot - 1]);
    EXPECT_EQ(loadingLines(viewer_.output()), slot);
    for (int other = 0; other < slot; ++other) {
      EXPECT_GT(silhouetteDifference(shots[slot], shots[other]), 1000) << slot << " and " << other;
    }
  }
  Image shot = shots[4];
  for (int slot : {0, 2, 1, 3}) {
    shot = model(std::to_string(slot + 1), shot);
    EXPECT_EQ(shot.rgb, shots[slot].rgb) << "key " << slot + 1;
  }
  EXPECT_EQ(loadingLines(viewer_.output()), 4);
}

// The visible outline is as wide as the line, centred on the silhouette: the picture grows by about a pixel
// per press.
TEST_F(InputEndToEnd, PlusWidensTheOutlineAndMinusNarrowsItDownToOne) {
  const Image two = changed("minus minus minus", first_);
  const Image one = changed("minus", two);
  // Presses below 1 do nothing, so a single + after them brings back 2.
  EXPECT_EQ(changed("minus minus plus", one).rgb, two.rgb);
  const Image twelve = changed("plus plus plus plus plus plus plus plus plus plus", two);
  EXPECT_NEAR(outlineWidthOnRow(two, 384), 2, 1);
  EXPECT_NEAR(outlineWidthOnRow(twelve, 384), 12, 1);
  EXPECT_NEAR(foregroundExtent(twelve).width() - foregroundExtent(two).width(), 10, 2);
}

TEST_F(InputEndToEnd, UpAndDownZoomTheSphere) {
  const int atOne = foregroundExtent(first_).width();
  const Image nearer = changed("shift+Up shift+Up", first_);
  EXPECT_GT(foregroundExtent(nearer).width(), atOne + 40);
  const Image back = changed("Down Down Down Down", nearer);
  EXPECT_NEAR(foregroundExtent(back).width(), atOne, 1);
}

TEST_F(InputEndToEnd, RightDragTurnsTheViewAndDraggingBackUndoesIt) {
  // The teapot's outline changes as the view turns around it.
  const Image teapot = model("3", first_);
  const Image right = changed(drag(3, 300, 384, 492, 384), teapot);
  EXPECT_GT(silhouetteDifference(teapot, right), 2000);
  EXPECT_EQ(changed(drag(3, 492, 200, 300, 200), right).rgb, teapot.rgb);
}

TEST_F(InputEndToEnd, LeftDragMovesTheLitSideWhileTheSilhouetteStays) {
  // The light starts 90 degrees to the left of the eye; a drag to the right swings it towards the eye.
  const Image swung = changed(drag(1, 300, 384, 492, 384), first_);
  EXPECT_EQ(silhouetteDifference(first_, swung), 0);
  EXPECT_GT(litColumn(swung), litColumn(first_) + 10);
  EXPECT_EQ(changed(drag(1, 492, 500, 300, 500), swung).rgb, first_.rgb);
}

// Random keys (every byte but Escape's, special keys, modifiers), pointer moves far past the window,
// presses and releases of every button, and resizes down to 1 by 1.
TEST_F(InputEndToEnd, StormOfRandomEventsLeavesTheViewerAnswering) {
  std::vector<std::string> keys;
  std::istringstream special(
      "space BackSpace Tab Return Delete KP_Enter ctrl+space ctrl+backslash ctrl+bracketright "
      "ctrl+asciicircum ctrl+underscore Up Down Left Right Page_Up Page_Down Home End Insert shift+Up "
      "shift+Down ctrl+Up shift+ctrl+Down F1 F5 F12");
  for (std::string name; special >> name;) {
    keys.push_back(name);
  }
  // The bytes from 0x7f to 0x9f cannot be typed; the control letters take their turn.
  for (int code = 0x21; code <= 0xff; ++code) {
    keys.push_back(code < 0x7f || code >= 0xa0
                       ? "0x" + std::string{"0123456789abcdef"[code / 16], "0123456789abcdef"[code % 16]}
                       : "ctrl+" + std::string(1, char('a' + code % 26)));
  }
  // Away from the screen's corner, so that the pointer also passes left of and above the window.
  viewer_.xdotool("windowmove --sync %w 200 150");
  std::mt19937 random(4);
  auto pick = [&](int low, int high) {
    return std::to_string(std::uniform_int_distribution(low, high)(random));
  };
  for (int chunk = 0; chunk < 12; ++chunk) {
    std::string commands;
    for (int i = 0; i < 250; ++i) {
      const int kind = std::stoi(pick(0, 99));
      commands += kind < 40 ? " key --window " + viewer_.window() + " --delay 0 " +
                                  keys[std::stoul(pick(0, int(keys.size()) - 1))]
                  : kind < 70 ? " mousemove " + pick(0, 1500) + " " + pick(0, 1200)
                  : kind < 95 ? (kind % 2 ? " mousedown " : " mouseup ") + pick(1, 7)
                  : kind < 97 ? " windowsize " + viewer_.window() + " 1 1"
                              : " windowsize " + viewer_.window() + " " + pick(1, 900) + " " + pick(1, 900);
    }
    int status = -1;
    const std::string complaints = runCommand("xdotool" + commands + " 2>&1", &status);
    ASSERT_EQ(status, 0) << complaints;
    ASSERT_TRUE(viewer_.running()) << "after chunk " << chunk;
  }
  viewer_.xdotool(
      "mouseup 1 mouseup 2 mouseup 3 mouseup 4 mouseup 5 mouseup 6 mouseup 7 mousemove 1000 1000");
  viewer_.xdotool("windowsize --sync %w 768 768 windowmove --sync %w 0 0");
  const Image after = settled();
  ASSERT_EQ(after.width, 768);
  // Still answering: the texture key changes the picture and changes it back. The first of these frames
  // may still show polygon modes left by the storm's last model switch, so the later ones are compared.
  const Image off = changed("t", changed("T", after));
  EXPECT_EQ(changed("t", changed("T", off)).rgb, off.rgb);
  EXPECT_EQ(loadingLines(viewer_.output()), 4);
  EXPECT_EQ(viewer_.output().find("Error"), std::string::npos);
  viewer_.key("Escape");
  EXPECT_EQ(viewer_.waitForExit(), 0);
}

}  // namespace

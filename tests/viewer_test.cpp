// The real viewer under Xvfb, driven with xdotool: each row is what the user does and the picture the window
// must come to show, drawn by nprsnap from the same state. The two must agree to the pixel, which holds
// because both draw with the same Mesa driver (llvmpipe: the window through Xvfb's GLX, nprsnap through
// EGL); on another driver pair only the look, not every pixel, could be expected to match.
#include <gmock/gmock.h>

#include <charconv>
#include <random>

#include "viewer_driver.h"

namespace {

const std::string kLoading = "Loading model. Please wait...\n";
// A step that waits until the window's picture differs from the one before the last command.
const std::string kChanged = "(changed)";

// The shortest decimal that reads back as exactly this float, so that nprsnap gets the viewer's value.
std::string exact(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The distance after ups presses of Up (-0.025 each), then the given steps, in floats as the viewer adds.
std::string distanceAfter(int ups, std::initializer_list<float> steps = {}) {
  float distance = 1.0f;
  for (int i = 0; i < ups; ++i) {
    distance -= 0.025f;
  }
  for (float step : steps) {
    distance += step;
  }
  return exact(distance);
}

struct Row {
  const char* name;
  std::vector<std::string> steps;  // xdotool commands, %w the window
  std::string snap;                // nprsnap's arguments for the picture the window must reach
  std::string console;             // what the viewer writes after its start-up lines
};

// Every row but the first ends on a picture other than the start-up one, which the window shows before any
// key is read, so that a key that does nothing cannot pass.
const Row kRows[] = {
    {"start-up", {}, "data/sphere-unit.poly", ""},
    {"icosahedron", {"key --window %w 2"}, "data/icos-unit.poly", kLoading},
    // The first frame after a switch to the other winding still has the sphere's inner side in fill mode;
    // once it is drawn, x (a key without a binding) asks for the frame every later redisplay repeats, which
    // nprsnap draws. (Sent together, the two keys would make one frame.)
    {"teapot", {"key --window %w 3", kChanged, "key --window %w x"}, "data/tpot-unit.poly", kLoading},
    {"penny, loaded once", {"key --window %w 4 1 4"}, "data/penny3-unit.poly", kLoading},
    {"bunny hatched by capital T",
     {"key --window %w 5", kChanged, "key --window %w x T"},
     "data/bunny-unit.poly --hatching",
     kLoading},
    {"hatching on, off and on", {"key --window %w t T t"}, "data/sphere-unit.poly --hatching", ""},
    // Six narrowings stop at 1, then _ stays there and + and = widen by one each.
    {"outline",
     {"key --window %w minus minus minus minus minus minus underscore plus equal"},
     "data/sphere-unit.poly --outline 3",
     ""},
    // Forty Up presses reach the target and more go past it: the view comes from the other side.
    {"zoom",
     {"key --window %w --repeat 42 Up", "key --window %w shift+Up Down"},
     "data/sphere-unit.poly --distance " + distanceAfter(42, {-0.05f, 0.025f}),
     ""},
    // A right drag of a quarter of the window to the right and an eighth down turns the camera by 90/4 and
    // 90/8 degrees; a left drag an eighth to the left and a sixteenth down swings the light.
    {"drags, closer, wider, hatched",
     {"key --window %w t plus plus Up Up Up Up", "mousemove --window %w 384 384 mousedown 3",
      "mousemove --window %w 576 480 mouseup 3 mousedown 1", "mousemove --window %w 480 528 mouseup 1"},
     "data/sphere-unit.poly --hatching --outline 7 --distance " + distanceAfter(4) +
         " --yaw -22.5 --pitch -11.25 --light-yaw 101.25 --light-pitch 39.375",
     ""},
    // A left press during a right drag makes the rest of it swing the light; a middle drag swings it too.
    {"left press during a right drag, then middle",
     {"mousemove --window %w 100 100 mousedown 3", "mousemove --window %w 292 100 mousedown 1",
      "mousemove --window %w 484 292 mouseup 1 mousedown 2",
      "mousemove --window %w 676 292 mouseup 2 mouseup 3"},
     "data/sphere-unit.poly --yaw -22.5 --light-yaw 45 --light-pitch 22.5",
     ""},
    // The projection keeps its aspect ratio of 1, so a wide window stretches the picture, as nprsnap does.
    {"resized", {"windowsize --sync %w 1000 500"}, "data/sphere-unit.poly --size 1000x500", ""},
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

// The row's name with every character but letters and digits made a '_', for file and test names.
std::string plainName(const Row& row) {
  std::string name = row.name;
  for (char& c : name) {
    c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

class ViewerRows : public testing::TestWithParam<Row> {};

TEST_P(ViewerRows, WindowReachesNprsnapsPicture) {
  const Row& row = GetParam();
  const RgbImage expected = snapPicture(row.snap);
  ASSERT_FALSE(expected.empty()) << "nprsnap " << row.snap;
  static const RgbImage startUp = snapPicture("data/sphere-unit.poly");
  Viewer viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  ASSERT_TRUE(viewer.waitForPicture(startUp, "viewer-" + plainName(row) + "-start"));
  RgbImage before;
  for (const std::string& step : row.steps) {
    if (step == kChanged) {
      ASSERT_TRUE(viewer.waitForChange(before)) << "after " << step;
    } else {
      before = viewer.grab();
      ASSERT_TRUE(viewer.xdotool(step)) << step;
    }
  }
  EXPECT_TRUE(viewer.waitForPicture(expected, "viewer-" + plainName(row)));
  EXPECT_EQ(viewer.output(), startUpLines() + row.console);
  // Its window is gone before the key's release can reach it, so xdotool's status says nothing here.
  viewer.xdotool("key --window %w Escape");
  EXPECT_EQ(viewer.waitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Viewer, ViewerRows, testing::ValuesIn(kRows),
                         [](const auto& info) { return plainName(info.param); });

// A model file that cannot be loaded, at start-up or on its key, ends the viewer with status 1. The viewer is
// a copy outside the build tree, which looks for its data nowhere but in the working directory.
TEST(ViewerStartUp, WithoutAModelFileItSaysSoAndExitsWithStatusOne) {
  const std::string exiting = "Error! Could not open model. Exiting.\n";
  const struct {
    std::vector<const char*> files;  // copied into the working directory
    std::string console;
  } cases[] = {
      {{}, "Loading Models...\nError: Could not load model \"data/sphere-unit.poly\"\n" + exiting},
      {{"data/sphere-unit.poly", "data/xhatch1.bmp", "data/xhatch2.bmp", "data/xhatch3.bmp",
        "data/xhatch4.bmp"},
       startUpLines() + kLoading + "Error: Could not load model \"data/tpot-unit.poly\"\n" + exiting},
  };
  for (const auto& c : cases) {
    const auto folder = tempPath("start-up");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "data");
    for (const char* file : c.files) {
      std::filesystem::copy_file(file, folder / file);
    }
    std::filesystem::copy_file(NPRVIEW_BINARY, folder / "nprview");
    Viewer viewer(folder.string(), (folder / "nprview").string());
    if (!c.files.empty()) {
      ASSERT_TRUE(viewer.waitForWindow());
      viewer.xdotool("key --window %w 3");
    }
    EXPECT_EQ(viewer.waitForExit(), 1);
    EXPECT_EQ(viewer.output(), c.console);
    std::filesystem::remove_all(folder);
  }
}

// Random keys (every byte but Escape's, special keys, modifiers), pointer moves far past the window, presses
// and releases of every button, and resizes down to 1 by 1; then Escape must still end it with status 0.
TEST(ViewerStorm, RandomEventsLeaveItAnswering) {
  std::vector<std::string> keys = {"space", "BackSpace", "Tab",      "Return",     "Delete",  "Up", "Down",
                                   "Left",  "Page_Up",   "shift+Up", "shift+Down", "ctrl+Up", "F1"};
  // The bytes from 0x7f to 0x9f cannot be typed; control letters take their turn.
  for (int code = 0x21; code <= 0xff; ++code) {
    char name[16];
    std::snprintf(name, sizeof name, code < 0x7f || code >= 0xa0 ? "0x%02x" : "ctrl+%c",
                  code < 0x7f || code >= 0xa0 ? code : 'a' + code % 26);
    keys.push_back(name);
  }
  Viewer viewer;
  ASSERT_TRUE(viewer.waitForWindow());
  // Away from the screen's corner, so that the pointer also passes left of and above the window.
  ASSERT_TRUE(viewer.xdotool("windowmove --sync %w 200 150"));
  std::mt19937 random(4);
  auto pick = [&](int low, int high) {
    return std::to_string(std::uniform_int_distribution(low, high)(random));
  };
  for (int chunk = 0; chunk < 8; ++chunk) {
    std::string commands;
    for (int i = 0; i < 250; ++i) {
      const int kind = std::stoi(pick(0, 99));
      commands += kind < 40 ? " key --window %w --delay 0 " + keys[std::stoul(pick(0, int(keys.size()) - 1))]
                  : kind < 70 ? " mousemove " + pick(0, 1500) + " " + pick(0, 1200)
                  : kind < 95 ? (kind % 2 ? " mousedown " : " mouseup ") + pick(1, 7)
                  : kind < 97 ? " windowsize %w 1 1"
                              : " windowsize %w " + pick(1, 900) + " " + pick(1, 900);
    }
    ASSERT_TRUE(viewer.xdotool(commands)) << "chunk " << chunk;
    ASSERT_TRUE(viewer.running()) << "after chunk " << chunk;
  }
  viewer.xdotool("mouseup 1 mouseup 2 mouseup 3 key --window %w Escape");
  EXPECT_EQ(viewer.waitForExit(60), 0);
  EXPECT_THAT(viewer.output(), testing::Not(testing::HasSubstr("Error")));
}

}  // namespace

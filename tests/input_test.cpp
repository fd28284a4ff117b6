// The input callbacks in this process, with a real GLUT window: what each key, button and drag changes,
// that each asks for a redisplay, and the two ways out.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "callbacks.h"
#include "viewer_process.h"
#include "viewer_state.h"

namespace {

int g_displays = 0;
int g_specialKeys = 0;

bool pumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    glutMainLoopEvent();
    if (done()) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

class Input : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!window_.empty()) {
      return;
    }
    int argc = 1;
    char name[] = "input_test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowSize(64, 64);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    const std::string title = "nprview input test " + std::to_string(getpid());
    glutCreateWindow(title.c_str());
    glutDisplayFunc([] { ++g_displays; });
    // GLUT itself calls onSpecialKey here, so that glutGetModifiers() reports the event's modifiers.
    glutSpecialFunc([](int key, int x, int y) {
      ++g_specialKeys;
      onSpecialKey(key, x, y);
    });
    pumpUntil([] { return g_displays > 0; });
    window_ = runCommand("xdotool search --name '^" + title + "$'");
    window_ = window_.substr(0, window_.find('\n'));
  }

  // The start-up state, with no model but the sphere's slot asked for.
  void SetUp() override {
    ASSERT_FALSE(window_.empty());
    g_windowWidth = g_windowHeight = 768;
    g_dragScale = 90.0f;
    g_outlineWidth = 5;
    g_dragMode = kLightDrag;
    g_lastMouseX = g_lastMouseY = 0;
    g_camera = Camera{};
    setStartUpView();
    g_currentModel = 0;
    g_texturesEnabled = false;
    glDisable(GL_TEXTURE_2D);
    for (int slot = 1; slot < kModelSlots; ++slot) {
      freeModel(g_models[slot]);
      g_models[slot] = nullptr;
    }
    // Whatever is still pending (an earlier redisplay, an expose) is drawn now, not counted later.
    for (int quiet = 0, displays = g_displays; quiet < 20; ++quiet) {
      glutMainLoopEvent();
      quiet = g_displays != displays ? 0 : quiet;
      displays = g_displays;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Whether the last callback posted a redisplay: GLUT draws on its next turn only if one is pending.
  static bool redisplayed() {
    const int before = g_displays;
    glutMainLoopEvent();
    return g_displays > before;
  }

  // A special key (an xdotool name, such as "shift+Up") sent through the X server and dispatched by GLUT.
  static void pressSpecial(const std::string& key, int times = 1) {
    const int target = g_specialKeys + times, displays = g_displays;
    std::string keys;
    for (int i = 0; i < times; ++i) {
      keys += " " + key;
    }
    runCommand("xdotool key --window " + window_ + " --delay 0" + keys);
    ASSERT_TRUE(pumpUntil([&] { return g_specialKeys >= target && g_displays > displays; })) << keys;
  }

  // Each step of it must ask for a redisplay.
  static void drag(int button, int fromX, int fromY, int toX, int toY) {
    onMouseButton(button, GLUT_DOWN, fromX, fromY);
    EXPECT_TRUE(redisplayed()) << "press of " << button;
    onMouseMotion(toX, toY);
    EXPECT_TRUE(redisplayed()) << "motion";
    onMouseButton(button, GLUT_UP, toX, toY);
    EXPECT_TRUE(redisplayed()) << "release of " << button;
  }

  static inline std::string window_;
};

using InputDeathTest = Input;

// Keys typed from the start-up state (width 5, sphere, no textures), with slots 2 to 5 already filled.
TEST_F(Input, KeysChangeOnlyWhatTheirRowSaysAndRedisplay) {
  struct Case {
    std::string keys;
    int width, model;
    bool textures;
  };
  const Case cases[] = {{"+", 6, 0, false},
                        {"=", 6, 0, false},
                        {"-", 4, 0, false},
                        {"_", 4, 0, false},
                        {"-----", 1, 0, false},
                        {"-_-__+", 2, 0, false},
                        {"++++++++++", 15, 0, false},
                        {"T", 5, 0, true},
                        {"t", 5, 0, true},
                        {"tT", 5, 0, false},
                        {"3", 5, 2, false},
                        {"51", 5, 0, false},
                        {"46", 5, 3, false},
                        {"0x A\x7f\xc4\xff", 5, 0, false}};
  for (const Case& c : cases) {
    SetUp();
    for (int slot = 1; slot < kModelSlots; ++slot) {
      g_models[slot] =
          parsePoly("vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3").model;
    }
    testing::internal::CaptureStdout();
    for (char key : c.keys) {
      onKeyboard(static_cast<unsigned char>(key), 10, 20);
      EXPECT_TRUE(redisplayed()) << "key " << int(static_cast<unsigned char>(key));
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.keys;
    EXPECT_EQ(g_outlineWidth, c.width) << c.keys;
    EXPECT_EQ(g_currentModel, c.model) << c.keys;
    EXPECT_EQ(g_texturesEnabled, c.textures) << c.keys;
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), c.textures ? GL_TRUE : GL_FALSE) << c.keys;
  }
}

TEST_F(Input, ModelKeysLoadEachSlotOnceFromItsFile) {
  testing::internal::CaptureStdout();
  for (unsigned char key : {'2', '2', '3', '4', '5', '1', '5', '3', '2'}) {
    const int slot = key - '1';
    const Model* before = g_models[slot];
    onKeyboard(key, 0, 0);
    EXPECT_EQ(g_currentModel, slot);
    if (slot > 0 && !before) {
      Model* reference = loadModel(kModelPaths[slot]);
      ASSERT_TRUE(g_models[slot] && reference);
      EXPECT_EQ(g_models[slot]->faceCount, reference->faceCount) << kModelPaths[slot];
      freeModel(reference);
    } else {
      EXPECT_EQ(g_models[slot], before) << "key " << key;
    }
  }
  const std::string line = "Loading model. Please wait...\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), line + line + line + line);
}

TEST_F(Input, UpAndDownZoomByAStepThatOnlyShiftDoubles) {
  const std::pair<const char*, float> cases[] = {
      {"Up", -0.025f},      {"Down", 0.025f},           {"shift+Up", -0.05f}, {"shift+Down", 0.05f},
      {"ctrl+Up", -0.025f}, {"shift+ctrl+Down", 0.05f}, {"Left", 0.0f},       {"shift+Prior", 0.0f}};
  for (auto [keys, change] : cases) {
    g_camera.distance = 1.0f;
    pressSpecial(keys);
    EXPECT_FLOAT_EQ(g_camera.distance, 1.0f + change) << keys;
  }
  EXPECT_EQ(g_camera.yaw, 0.0f);
  EXPECT_EQ(g_camera.pitch, 0.0f);
}

TEST_F(Input, FortyUpPressesReachTheTargetAndMoreGoPastIt) {
  pressSpecial("Up", 40);
  EXPECT_NEAR(g_camera.distance, 0.0f, 1e-5f);
  pressSpecial("Up", 2);
  EXPECT_NEAR(g_camera.distance, -0.05f, 1e-5f);
}

// Each drag starts from the start-up angles: camera yaw and pitch 0, light offsets 90 and 45.
TEST_F(Input, DragsTurnBySignedDistanceOverWindowSize) {
  struct Case {
    const char* what;
    int button, width, height, fromX, fromY, toX, toY;
    float cameraYaw, cameraPitch, lightYaw, lightPitch;  // changes
  };
  const int kRight = GLUT_RIGHT_BUTTON, kLeft = GLUT_LEFT_BUTTON;
  const Case cases[] = {
      {"right drag right", kRight, 768, 768, 0, 10, 768, 10, -90, 0, 0, 0},
      {"right drag left", kRight, 768, 768, 768, 10, 0, 10, 90, 0, 0, 0},
      {"right drag up", kRight, 768, 768, 5, 768, 5, 0, 0, 90, 0, 0},
      {"left drag down", kLeft, 768, 768, 7, 0, 7, 768, 0, 0, 0, -90},
      {"left drag left, quarter", kLeft, 768, 768, 492, 3, 300, 3, 0, 0, 22.5f, 0},
      {"right drag in a wide window", kRight, 400, 100, 400, 100, 0, 0, 90, 90, 0, 0},
      {"left drag beyond the window", kLeft, 200, 200, 100, 100, -300, 500, 0, 0, 180, -180},
      // A window reported as zero pixels counts as one, so the angles stay finite.
      {"right drag after 0 by 0", kRight, 0, 0, 10, 10, 13, 12, -270, -180, 0, 0},
      {"middle drag", GLUT_MIDDLE_BUTTON, 768, 768, 0, 0, 192, 0, 0, 0, -22.5f, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    onReshape(c.width, c.height);
    EXPECT_TRUE(redisplayed());
    drag(c.button, c.fromX, c.fromY, c.toX, c.toY);
    EXPECT_FLOAT_EQ(g_camera.yaw, c.cameraYaw) << c.what;
    EXPECT_FLOAT_EQ(g_camera.pitch, c.cameraPitch) << c.what;
    EXPECT_FLOAT_EQ(g_lightYawOffset, 90.0f + c.lightYaw) << c.what;
    EXPECT_FLOAT_EQ(g_lightPitchOffset, 45.0f + c.lightPitch) << c.what;
    EXPECT_EQ(g_dragMode, kLightDrag) << c.what;
  }
}

// The left press records its position before its own motion step, so it moves nothing; from then on the
// right drag moves the light. The middle button records nothing: its drag goes on from the last position.
TEST_F(Input, LeftPressDuringARightDragTurnsTheRestIntoALightDrag) {
  onMouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
  onMouseMotion(292, 100);
  onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 400, 100);
  EXPECT_EQ(g_lightYawOffset, 90.0f);
  onMouseMotion(592, 292);
  onMouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 592, 292);
  onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 10, 10);
  onMouseMotion(784, 292);
  onMouseButton(GLUT_RIGHT_BUTTON, GLUT_UP, 784, 292);
  EXPECT_EQ(g_dragMode, kLightDrag);
  EXPECT_FLOAT_EQ(g_camera.yaw, -22.5f);
  EXPECT_EQ(g_camera.pitch, 0.0f);
  EXPECT_FLOAT_EQ(g_lightYawOffset, 45.0f);
  EXPECT_FLOAT_EQ(g_lightPitchOffset, 22.5f);
}

// Standard output joins standard error, which is what a death test can match.
TEST_F(InputDeathTest, EscapeEndsWithStatusZeroAndAMissingModelFileWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(onKeyboard(27, 0, 0), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        std::filesystem::current_path("/");
        dup2(STDERR_FILENO, STDOUT_FILENO);
        onKeyboard('3', 0, 0);
      },
      testing::ExitedWithCode(1),
      "Loading model\\. Please wait\\.\\.\\.\n"
      "Error: Could not load model \"data/tpot-unit\\.poly\"\n"
      "Error! Could not open model\\. Exiting\\.\n");
}

}  // namespace

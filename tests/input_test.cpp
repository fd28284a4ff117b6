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
#include "viewer_state.h"

// Last: Xlib's macros (None, Bool) clash with names in GoogleTest.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

int g_displays = 0;
int g_specialKeys = 0;

void countDisplay() {
  ++g_displays;
}

// GLUT itself calls onSpecialKey here, so that glutGetModifiers() reports the event's modifiers.
void countSpecialKey(int key, int x, int y) {
  ++g_specialKeys;
  onSpecialKey(key, x, y);
}

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

Window findWindow(Display* display, const std::string& title) {
  Window root = 0, parent = 0, found = 0;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name) {
      found = title == name ? children[i] : 0;
      XFree(name);
    }
  }
  XFree(children);
  return found;
}

class Input : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (window_) {
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
    glutDisplayFunc(countDisplay);
    glutSpecialFunc(countSpecialKey);
    display_ = XOpenDisplay(nullptr);
    pumpUntil([] { return g_displays > 0; });
    window_ = findWindow(display_, title);
  }

  // The start-up state, with no model but the sphere's slot asked for.
  void SetUp() override {
    ASSERT_NE(window_, 0u);
    g_windowWidth = 768;
    g_windowHeight = 768;
    g_dragScale = 90.0f;
    g_outlineWidth = 5;
    g_dragMode = kLightDrag;
    g_lastMouseX = 0;
    g_lastMouseY = 0;
    g_camera = Camera{};
    resetView();
    g_currentModel = 0;
    g_texturesEnabled = false;
    glDisable(GL_TEXTURE_2D);
    for (int slot = 1; slot < kModelSlots; ++slot) {
      freeModel(g_models[slot]);
      g_models[slot] = nullptr;
    }
    // Whatever is still pending (an earlier test's redisplay, an expose from a window that went away) is
    // drawn now, not counted later.
    int displays = g_displays;
    for (int quiet = 0; quiet < 20; ++quiet) {
      glutMainLoopEvent();
      if (g_displays != displays) {
        displays = g_displays;
        quiet = 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Whether the last callback posted a redisplay: GLUT draws on its next turn only if one is pending.
  static bool redisplayed() {
    const int before = g_displays;
    glutMainLoopEvent();
    return g_displays > before;
  }

  // A key press through the X server, dispatched by GLUT to onSpecialKey.
  static void pressSpecial(KeySym key, unsigned modifiers = 0, int times = 1) {
    const int target = g_specialKeys + times;
    for (int i = 0; i < times; ++i) {
      XKeyEvent event{};
      event.type = KeyPress;
      event.display = display_;
      event.window = window_;
      event.root = DefaultRootWindow(display_);
      event.time = CurrentTime;
      event.same_screen = True;
      event.keycode = XKeysymToKeycode(display_, key);
      event.state = modifiers;
      XSendEvent(display_, window_, True, KeyPressMask, reinterpret_cast<XEvent*>(&event));
    }
    XFlush(display_);
    const int displays = g_displays;
    ASSERT_TRUE(pumpUntil([&] { return g_specialKeys >= target && g_displays > displays; }));
  }

  static void drag(int button, int fromX, int fromY, int toX, int toY) {
    onMouseButton(button, GLUT_DOWN, fromX, fromY);
    onMouseMotion(toX, toY);
    onMouseButton(button, GLUT_UP, toX, toY);
  }

  static inline Display* display_ = nullptr;
  static inline Window window_ = 0;
};

using InputDeathTest = Input;

Model* tinyModel() {
  return parsePoly("vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3").model;
}

TEST_F(Input, EveryKeyByteChangesOnlyWhatItsRowSaysAndRedisplays) {
  for (int slot = 1; slot < kModelSlots; ++slot) {
    g_models[slot] = tinyModel();
  }
  EXPECT_FALSE(redisplayed());
  testing::internal::CaptureStdout();
  for (int byte = 0; byte < 256; ++byte) {
    if (byte == 27) {
      continue;
    }
    g_outlineWidth = 5;
    g_currentModel = 0;
    g_texturesEnabled = false;
    glDisable(GL_TEXTURE_2D);
    int width = 5, model = 0;
    bool textures = false;
    switch (byte) {
      case '+':
      case '=':
        width = 6;
        break;
      case '-':
      case '_':
        width = 4;
        break;
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
        model = byte - '1';
        break;
      case 't':
      case 'T':
        textures = true;
        break;
    }
    onKeyboard(static_cast<unsigned char>(byte), 10, 20);
    EXPECT_EQ(g_outlineWidth, width) << "key " << byte;
    EXPECT_EQ(g_currentModel, model) << "key " << byte;
    EXPECT_EQ(g_texturesEnabled, textures) << "key " << byte;
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), textures ? GL_TRUE : GL_FALSE) << "key " << byte;
    EXPECT_TRUE(redisplayed()) << "key " << byte;
  }
  // With every slot but the sphere's filled here and the sphere's left empty, no key loads anything.
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g_camera.distance, 1.0f);
  EXPECT_EQ(g_dragMode, kLightDrag);
}

TEST_F(Input, OutlineWidthStopsAtOneAndHasNoUpperLimit) {
  struct Step {
    const char* keys;
    int width;
  };
  const Step steps[] = {{"----", 1}, {"-", 1}, {"_", 1}, {"+", 2}, {"=", 3}, {"_", 2}, {"+++++", 7}};
  for (const Step& step : steps) {
    for (const char* key = step.keys; *key; ++key) {
      onKeyboard(static_cast<unsigned char>(*key), 0, 0);
    }
    EXPECT_EQ(g_outlineWidth, step.width) << "after " << step.keys;
  }
  for (int i = 0; i < 1000; ++i) {
    onKeyboard('+', 0, 0);
  }
  EXPECT_EQ(g_outlineWidth, 1007);
}

TEST_F(Input, BothCasesOfTToggleTextures) {
  for (unsigned char key : {'T', 't', 'T', 'T', 't'}) {
    const bool before = g_texturesEnabled;
    onKeyboard(key, 0, 0);
    EXPECT_NE(g_texturesEnabled, before) << key;
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), g_texturesEnabled ? GL_TRUE : GL_FALSE) << key;
  }
}

TEST_F(Input, ModelKeysLoadEachSlotOnceFromItsFile) {
  testing::internal::CaptureStdout();
  onKeyboard('2', 0, 0);
  const Model* first = g_models[1];
  onKeyboard('2', 0, 0);
  const std::string twice = testing::internal::GetCapturedStdout();
  EXPECT_EQ(twice, "Loading model. Please wait...\n");
  EXPECT_EQ(g_models[1], first);
  EXPECT_EQ(g_currentModel, 1);

  onKeyboard('1', 0, 0);
  EXPECT_EQ(g_currentModel, 0);

  testing::internal::CaptureStdout();
  for (unsigned char key : {'3', '4', '5', '3', '4', '5', '2'}) {
    const int slot = key - '1';
    onKeyboard(key, 0, 0);
    EXPECT_EQ(g_currentModel, slot);
    ASSERT_NE(g_models[slot], nullptr);
    Model* reference = loadModel(kModelPaths[slot]);
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(g_models[slot]->faceCount, reference->faceCount) << kModelPaths[slot];
    EXPECT_EQ(g_models[slot]->vertices[0].x, reference->vertices[0].x) << kModelPaths[slot];
    EXPECT_EQ(g_models[slot]->vertices[0].y, reference->vertices[0].y) << kModelPaths[slot];
    freeModel(reference);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Loading model. Please wait...\n"
            "Loading model. Please wait...\n"
            "Loading model. Please wait...\n");
}

TEST_F(Input, ZoomStepsDependOnShiftOnly) {
  struct Case {
    KeySym key;
    unsigned modifiers;
    float change;
  };
  const Case cases[] = {
      {XK_Up, 0, -0.025f},
      {XK_Down, 0, 0.025f},
      {XK_Up, ShiftMask, -0.05f},
      {XK_Down, ShiftMask, 0.05f},
      {XK_Up, ControlMask, -0.025f},
      {XK_Up, ShiftMask | ControlMask, -0.05f},
      {XK_Left, 0, 0.0f},
      {XK_Right, ShiftMask, 0.0f},
      {XK_Page_Up, 0, 0.0f},
      {XK_Home, 0, 0.0f},
      {XK_F1, 0, 0.0f},
  };
  for (const Case& c : cases) {
    g_camera.distance = 1.0f;
    pressSpecial(c.key, c.modifiers);
    EXPECT_FLOAT_EQ(g_camera.distance, 1.0f + c.change) << XKeysymToString(c.key) << " " << c.modifiers;
  }
  EXPECT_EQ(g_camera.yaw, 0.0f);
  EXPECT_EQ(g_camera.pitch, 0.0f);
}

TEST_F(Input, FortyUpPressesReachTheTargetAndMoreGoPastIt) {
  pressSpecial(XK_Up, 0, 40);
  EXPECT_NEAR(g_camera.distance, 0.0f, 1e-5f);
  pressSpecial(XK_Up, 0, 2);
  EXPECT_NEAR(g_camera.distance, -0.05f, 1e-5f);
}

TEST_F(Input, DragAcrossTheWholeWindowTurnsByTheScaleBothWays) {
  struct Case {
    const char* what;
    int button;
    int width, height;
    int fromX, fromY, toX, toY;
    float cameraYaw, cameraPitch, lightYaw, lightPitch;  // changes
  };
  const Case cases[] = {
      {"right drag right", GLUT_RIGHT_BUTTON, 768, 768, 0, 10, 768, 10, -90, 0, 0, 0},
      {"right drag left", GLUT_RIGHT_BUTTON, 768, 768, 768, 10, 0, 10, 90, 0, 0, 0},
      {"right drag down", GLUT_RIGHT_BUTTON, 768, 768, 5, 0, 5, 768, 0, -90, 0, 0},
      {"right drag up", GLUT_RIGHT_BUTTON, 768, 768, 5, 768, 5, 0, 0, 90, 0, 0},
      {"left drag down", GLUT_LEFT_BUTTON, 768, 768, 7, 0, 7, 768, 0, 0, 0, -90},
      {"left drag up", GLUT_LEFT_BUTTON, 768, 768, 7, 768, 7, 0, 0, 0, 0, 90},
      {"left drag left", GLUT_LEFT_BUTTON, 768, 768, 768, 3, 0, 3, 0, 0, 90, 0},
      {"left drag right, quarter", GLUT_LEFT_BUTTON, 768, 768, 300, 3, 492, 3, 0, 0, -22.5f, 0},
      {"right drag in a wide window", GLUT_RIGHT_BUTTON, 400, 100, 400, 100, 0, 0, 90, 90, 0, 0},
      {"left drag beyond the window", GLUT_LEFT_BUTTON, 200, 200, 100, 100, -300, 500, 0, 0, 180, -180},
  };
  for (const Case& c : cases) {
    SetUp();
    onReshape(c.width, c.height);
    drag(c.button, c.fromX, c.fromY, c.toX, c.toY);
    EXPECT_FLOAT_EQ(g_camera.yaw, c.cameraYaw) << c.what;
    EXPECT_FLOAT_EQ(g_camera.pitch, c.cameraPitch) << c.what;
    EXPECT_FLOAT_EQ(g_lightYawOffset, 90.0f + c.lightYaw) << c.what;
    EXPECT_FLOAT_EQ(g_lightPitchOffset, 45.0f + c.lightPitch) << c.what;
    EXPECT_EQ(g_dragMode, kLightDrag) << c.what;
  }
}

TEST_F(Input, EveryButtonEventAndDragStepRedisplays) {
  for (int button : {GLUT_LEFT_BUTTON, GLUT_MIDDLE_BUTTON, GLUT_RIGHT_BUTTON, 3, 4, 7}) {
    for (int state : {GLUT_DOWN, GLUT_UP}) {
      onMouseButton(button, state, 50, 60);
      EXPECT_TRUE(redisplayed()) << button << " " << state;
    }
    onMouseMotion(70, 80);
    EXPECT_TRUE(redisplayed()) << button;
  }
  onReshape(100, 100);
  EXPECT_TRUE(redisplayed());
}

TEST_F(Input, LeftPressStillsThePointerAndOtherButtonsRecordNothing) {
  onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 300);
  EXPECT_EQ(g_lightYawOffset, 90.0f);
  EXPECT_EQ(g_lightPitchOffset, 45.0f);
  EXPECT_EQ(g_lastMouseX, 200);
  EXPECT_EQ(g_lastMouseY, 300);
  onMouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 200, 300);

  // The middle button records no position: its drag is measured from the left press.
  onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 600, 600);
  EXPECT_EQ(g_dragMode, kLightDrag);
  EXPECT_EQ(g_lastMouseX, 200);
  onMouseMotion(200 + 768, 300);
  EXPECT_FLOAT_EQ(g_lightYawOffset, 0.0f);
  EXPECT_EQ(g_camera.yaw, 0.0f);
}

TEST_F(Input, LeftPressDuringARightDragTurnsTheRestIntoALightDrag) {
  onMouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
  EXPECT_EQ(g_dragMode, kCameraDrag);
  onMouseMotion(292, 100);
  EXPECT_FLOAT_EQ(g_camera.yaw, -22.5f);
  onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 292, 100);
  EXPECT_EQ(g_dragMode, kLightDrag);
  EXPECT_EQ(g_lightYawOffset, 90.0f);
  onMouseMotion(484, 292);
  EXPECT_FLOAT_EQ(g_camera.yaw, -22.5f);
  EXPECT_EQ(g_camera.pitch, 0.0f);
  EXPECT_FLOAT_EQ(g_lightYawOffset, 67.5f);
  EXPECT_FLOAT_EQ(g_lightPitchOffset, 22.5f);
  onMouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 484, 292);
  onMouseMotion(676, 292);
  EXPECT_FLOAT_EQ(g_lightYawOffset, 45.0f);
  onMouseButton(GLUT_RIGHT_BUTTON, GLUT_UP, 676, 292);
  EXPECT_EQ(g_dragMode, kLightDrag);
  EXPECT_FLOAT_EQ(g_camera.yaw, -22.5f);
}

TEST_F(Input, ReshapeKeepsBothSizesAtLeastOne) {
  struct Case {
    int width, height;
    int storedWidth, storedHeight;
    GLint viewport[4];
  };
  const Case cases[] = {{0, 0, 1, 1, {0, 0, 0, 1}},
                        {1, 1, 1, 1, {0, 0, 1, 1}},
                        {500, 0, 500, 1, {0, 0, 500, 1}},
                        {0, 300, 1, 300, {0, 0, 0, 300}},
                        {1024, 512, 1024, 512, {0, 0, 1024, 512}}};
  for (const Case& c : cases) {
    onReshape(c.width, c.height);
    EXPECT_EQ(g_windowWidth, c.storedWidth) << c.width << "x" << c.height;
    EXPECT_EQ(g_windowHeight, c.storedHeight) << c.width << "x" << c.height;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(viewport[i], c.viewport[i]) << c.width << "x" << c.height << " viewport " << i;
    }
  }
}

TEST_F(Input, DragsAfterAZeroSizedWindowStayFinite) {
  onReshape(0, 0);
  drag(GLUT_RIGHT_BUTTON, 10, 10, 13, 12);
  drag(GLUT_LEFT_BUTTON, 10, 10, 8, 9);
  EXPECT_FLOAT_EQ(g_camera.yaw, -270.0f);
  EXPECT_FLOAT_EQ(g_camera.pitch, -180.0f);
  EXPECT_FLOAT_EQ(g_lightYawOffset, 90.0f + 180.0f);
  EXPECT_FLOAT_EQ(g_lightPitchOffset, 45.0f + 90.0f);
  onReshape(768, 768);
  drag(GLUT_RIGHT_BUTTON, 0, 0, 768, 0);
  EXPECT_FLOAT_EQ(g_camera.yaw, -360.0f);
}

TEST_F(InputDeathTest, EscapeEndsTheProcessWithStatusZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(onKeyboard(27, 0, 0), testing::ExitedWithCode(0), "");
}

TEST_F(InputDeathTest, MissingModelFileEndsTheProcessWithStatusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Standard output joins standard error, which is what a death test can match.
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

// The drag callbacks in this process, with a real GLUT window: the angles a drag turns by, to the last float,
// in windows the viewer test does not make. What keys and drags do on screen is the viewer test's business.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "callbacks.h"
#include "viewer_state.h"

namespace {

class Input : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    int argc = 1;
    char name[] = "input_test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowSize(64, 64);
    glutCreateWindow("nprview input test");
    glutDisplayFunc([] {});
  }

  // The start-up state.
  void SetUp() override {
    g_windowWidth = g_windowHeight = 768;
    g_dragMode = kLightDrag;
    g_lastMouseX = g_lastMouseY = 0;
    g_camera = Camera{};
    setStartUpView();
  }

  static void drag(int button, int fromX, int fromY, int toX, int toY) {
    onMouseButton(button, GLUT_DOWN, fromX, fromY);
    onMouseMotion(toX, toY);
    onMouseButton(button, GLUT_UP, toX, toY);
  }
};

// Each drag starts from the start-up angles: camera yaw and pitch 0, light offsets 90 and 45.
TEST_F(Input, DragsTurnBySignedDistanceOverWindowSize) {
  struct Case {
    const char* what;
    int button, width, height, fromX, fromY, toX, toY;
    float cameraYaw, cameraPitch, lightYaw, lightPitch;  // changes
  };
  const int kRight = GLUT_RIGHT_BUTTON, kLeft = GLUT_LEFT_BUTTON;
  const Case cases[] = {
      {"right drag in a wide window", kRight, 400, 100, 400, 100, 0, 0, 90, 90, 0, 0},
      {"left drag beyond the window", kLeft, 200, 200, 100, 100, -300, 500, 0, 0, 180, -180},
      // A window reported as zero pixels counts as one, so the angles stay finite.
      {"right drag after 0 by 0", kRight, 0, 0, 10, 10, 13, 12, -270, -180, 0, 0},
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

}  // namespace

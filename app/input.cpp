// Keyboard and mouse: each event changes the viewer state and asks for a redisplay.
#include <GL/freeglut.h>

#include <cctype>
#include <cstdlib>
#include <iostream>

#include "callbacks.h"
#include "viewer_state.h"

namespace {

constexpr unsigned char kEscape = 27;
constexpr float kZoomStep = 0.025f;
constexpr float kShiftZoomStep = 0.05f;

// Loads a slot on first use, announcing the wait, then shows it.
void showModel(int slot) {
  if (!g_models[slot]) {
    std::cout << "Loading model. Please wait..." << std::endl;
    loadSlotOrExit(slot);
  }
  g_currentModel = slot;
}

void toggleTextures() {
  g_texturesEnabled = !g_texturesEnabled;
  if (g_texturesEnabled) {
    glEnable(GL_TEXTURE_2D);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

}  // namespace

void onKeyboard(unsigned char key, int, int) {
  switch (std::tolower(key)) {
    case kEscape:
      std::exit(0);
    case '+':
    case '=':
      ++g_outlineWidth;
      break;
    case '-':
    case '_':
      g_outlineWidth = g_outlineWidth - 1 < 1 ? 1 : g_outlineWidth - 1;
      break;
    case '1':
      // The sphere's slot is filled at start-up.
      g_currentModel = 0;
      break;
    case '2':
    case '3':
    case '4':
    case '5':
      showModel(key - '1');
      break;
    case 't':
      toggleTextures();
      break;
    default:
      break;
  }
  glutPostRedisplay();
}

void onSpecialKey(int key, int, int) {
  const float step = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) ? kShiftZoomStep : kZoomStep;
  if (key == GLUT_KEY_UP) {
    g_camera.distance -= step;
  } else if (key == GLUT_KEY_DOWN) {
    g_camera.distance += step;
  }
  glutPostRedisplay();
}

void onMouseButton(int button, int state, int x, int y) {
  if (button == GLUT_RIGHT_BUTTON) {
    if (state == GLUT_DOWN) {
      g_dragMode = kCameraDrag;
      g_lastMouseX = x;
      g_lastMouseY = y;
    } else if (state == GLUT_UP) {
      g_dragMode = kLightDrag;
    }
  } else if (button == GLUT_LEFT_BUTTON) {
    if (state == GLUT_DOWN) {
      g_dragMode = kLightDrag;
      g_lastMouseX = x;
      g_lastMouseY = y;
      onMouseMotion(x, y);
    } else if (state == GLUT_UP) {
      g_dragMode = kLightDrag;
    }
  }
  glutPostRedisplay();
}

void onMouseMotion(int x, int y) {
  float* yaw = nullptr;
  float* pitch = nullptr;
  if (g_dragMode == kCameraDrag) {
    yaw = &g_camera.yaw;
    pitch = &g_camera.pitch;
  } else if (g_dragMode == kLightDrag) {
    yaw = &g_lightYawOffset;
    pitch = &g_lightPitchOffset;
  }
  if (yaw) {
    // Signed steps: a drag to the left turns the other way from one to the right.
    const float fx = static_cast<float>(x - g_lastMouseX) / static_cast<float>(g_windowWidth);
    const float fy = static_cast<float>(y - g_lastMouseY) / static_cast<float>(g_windowHeight);
    g_lastMouseX = x;
    g_lastMouseY = y;
    *yaw -= g_dragScale * fx;
    *pitch -= g_dragScale * fy;
  }
  glutPostRedisplay();
}

// Definitions and initial values of the viewer's state.
#include "viewer_state.h"

int g_windowWidth = kStartUpWindowSide;
int g_windowHeight = kStartUpWindowSide;
float g_dragScale = 90.0f;
int g_outlineWidth = kStartUpState.outlineWidth;
int g_dragMode = kLightDrag;
int g_lastMouseX = 0;
int g_lastMouseY = 0;
float g_lightYawOffset = kStartUpState.lightYawOffset;
float g_lightPitchOffset = kStartUpState.lightPitchOffset;
Model* g_models[kModelSlots] = {};
int g_currentModel = 0;
HatchRenderer* g_renderer = nullptr;
bool g_texturesEnabled = kStartUpState.texturesEnabled;
Camera g_camera{};

DrawState currentDrawState() {
  return {g_camera,       g_lightYawOffset, g_lightPitchOffset, isReversedWinding(g_currentModel),
          g_outlineWidth, g_texturesEnabled};
}

void setStartUpView() {
  const Camera& start = kStartUpState.camera;
  g_camera.distance = start.distance;
  g_camera.mode = start.mode;
  g_camera.pitch = start.pitch;
  g_camera.position = start.position;
  g_lightYawOffset = kStartUpState.lightYawOffset;
  g_lightPitchOffset = kStartUpState.lightPitchOffset;
}

// Definitions and initial values of the viewer's state.
#include "viewer_state.h"

const char* const kModelPaths[kModelSlots] = {"data/sphere-unit.poly", "data/icos-unit.poly", "data/tpot-unit.poly",
                                              "data/penny3-unit.poly", "data/bunny-unit.poly"};

int g_windowWidth = 768;
int g_windowHeight = 768;
float g_dragScale = 90.0f;
int g_outlineWidth = 5;
int g_dragMode = kLightDrag;
int g_lastMouseX = 0;
int g_lastMouseY = 0;
float g_lightYawOffset = 90.0f;
float g_lightPitchOffset = 45.0f;
Model* g_models[kModelSlots] = {};
int g_currentModel = 0;
HatchRenderer* g_renderer = nullptr;
bool g_texturesEnabled = false;
Camera g_camera{};

bool isReversedWinding(int slot) { return slot == 2 || slot == 4; }

DrawState currentDrawState() {
  return {g_camera,       g_lightYawOffset,  g_lightPitchOffset, isReversedWinding(g_currentModel),
          g_outlineWidth, g_texturesEnabled};
}

void setStartUpView() {
  g_camera.distance = 1.0f;
  g_camera.mode = Orbit;
  g_camera.pitch = 0.0f;
  g_camera.position = {0.0f, 0.1f, 0.0f};
  g_lightYawOffset = 90.0f;
  g_lightPitchOffset = 45.0f;
}

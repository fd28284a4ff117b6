// The viewer's state: process-wide, created before the window and alive until the process ends.
#pragma once

#include "camera.h"
#include "hatch_renderer.h"
#include "model.h"
#include "model_catalogue.h"

// Drag modes: the light drag (also the resting mode) and the camera drag.
constexpr int kLightDrag = 0;
constexpr int kCameraDrag = 2;

extern int g_windowWidth;   // client width, at least 1 after the first reshape
extern int g_windowHeight;  // client height, at least 1 after the first reshape
extern float g_dragScale;   // degrees turned by a drag across the whole window
extern int g_outlineWidth;  // silhouette width in pixels, at least 1
extern int g_dragMode;      // kLightDrag or kCameraDrag
extern int g_lastMouseX;
extern int g_lastMouseY;
extern float g_lightYawOffset;    // degrees, relative to the camera's yaw
extern float g_lightPitchOffset;  // degrees, relative to the camera's pitch
extern Model* g_models[kModelSlots];
extern int g_currentModel;
extern HatchRenderer* g_renderer;
extern bool g_texturesEnabled;
extern Camera g_camera;

// The state the renderer reads for the current model.
DrawState currentDrawState();

// Puts the camera at its start-up orbit (its yaw starts at 0 from static initialisation) and the light at
// its start-up offsets.
void setStartUpView();

// One frame of the viewer, shared by the window and anything else that draws as it does.
#pragma once

#include "hatch_renderer.h"

// Clears colour and depth, turns the depth test on, sets black, the fixed projection (90 degrees,
// aspect 1, near 0.01, far 10) and the camera's view on the identity modelview matrix.
void beginFrame(const Camera& camera);

// Sets the fixed projection and the camera's view, as beginFrame does, without clearing or drawing.
void setFrameMatrices(const Camera& camera);

// Faces a program drawing pictures queues before it waits for the GL driver: Mesa's software renderer
// otherwise queues scenes for as long as its threads lag behind, which a deep stack of large faces makes
// gigabytes (2.5 GB for 4 million).
constexpr int kFacesBetweenFinishes = 1 << 18;

// Counts faces just drawn into queued and waits for the driver (glFinish) once they reach
// kFacesBetweenFinishes.
void paceDrawing(int& queued, int faces);

// Begins the frame, then draws the fill pass and the outline pass of model. Does not swap buffers.
void drawFrame(HatchRenderer& renderer, const Model* model, const DrawState& state);

// The window's grey-blue background, red, green and blue.
constexpr float kBackgroundColour[3] = {0.45f, 0.5f, 0.6f};

// The GL state that stays fixed for the whole run: the grey-blue background, alpha blending and flat
// shading. Lighting and texturing stay off; colours come from the renderer.
void setFixedGlState();

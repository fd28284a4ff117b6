// The frame: clear, projection, view and the renderer's two passes.
#include "frame.h"

#include <GL/glu.h>

void beginFrame(const Camera& camera) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glColor3f(0.0f, 0.0f, 0.0f);
  setFrameMatrices(camera);
}

void setFrameMatrices(const Camera& camera) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The aspect ratio stays 1 whatever the window's shape: a wide window stretches the picture.
  gluPerspective(90.0, 1.0, 0.01, 10.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  camera.applyView();
}

void paceDrawing(int& queued, int faces) {
  queued += faces;
  if (queued >= kFacesBetweenFinishes) {
    glFinish();
    queued = 0;
  }
}

void drawFrame(HatchRenderer& renderer, const Model* model, const DrawState& state) {
  beginFrame(state.camera);
  // The renderer alternates its pass on every call: fill, then outline.
  renderer.draw(model, state);
  renderer.draw(model, state);
}

void setFixedGlState() {
  glClearColor(kBackgroundColour[0], kBackgroundColour[1], kBackgroundColour[2], 1.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glShadeModel(GL_FLAT);
}

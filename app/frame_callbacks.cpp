// The frame and window callbacks, and their registration.
#include <GL/freeglut.h>

#include <cstdlib>
#include <iostream>

#include "callbacks.h"
#include "data_files.h"
#include "frame.h"
#include "viewer_state.h"

void onDisplay() {
  drawFrame(*g_renderer, g_models[g_currentModel], currentDrawState());
  glutSwapBuffers();
}

void onReshape(int width, int height) {
  // Drags divide by the window's size, so neither may be stored as zero.
  g_windowWidth = width > 1 ? width : 1;
  g_windowHeight = height > 1 ? height : 1;
  glViewport(0, 0, width, g_windowHeight);
  glutPostRedisplay();
}

void installCallbacks() {
  glutDisplayFunc(onDisplay);
  glutReshapeFunc(onReshape);
  glutKeyboardFunc(onKeyboard);
  glutSpecialFunc(onSpecialKey);
  glutMotionFunc(onMouseMotion);
  glutMouseFunc(onMouseButton);
}

void loadSlotOrExit(int slot) {
  g_models[slot] = loadModel(dataFilePath(kModelPaths[slot]).c_str());
  if (!g_models[slot]) {
    std::cout << "Error! Could not open model. Exiting." << std::endl;
    std::exit(1);
  }
}

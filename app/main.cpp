// nprview: a cartoon-and-pencil mesh viewer. Start-up, then the GLUT main loop.
#include <GL/freeglut.h>

#include <iostream>

#include "callbacks.h"
#include "frame.h"
#include "viewer_state.h"

int main(int argc, char** argv) {
  // Standard output is the console; GLUT ends the process through the ordinary exit path.
  glutInit(&argc, argv);
  glutInitWindowSize(g_windowWidth, g_windowHeight);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
  glutCreateWindow("NPR Rendering");
  installCallbacks();

  resetView();
  setFixedGlState();

  std::cout << "Loading Models..." << std::endl;
  loadSlotOrExit(0);
  g_currentModel = 0;

  // Loads the hatching images, so it needs the window's GL context.
  g_renderer = new HatchRenderer();

  glutMainLoop();
  return 0;
}

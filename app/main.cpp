// nprview: a cartoon-and-pencil mesh viewer. Start-up, then the GLUT main loop.
#include <GL/freeglut.h>

#include <cstdio>
#include <iostream>

#include "callbacks.h"
#include "frame.h"
#include "viewer_state.h"

int main(int argc, char** argv) {
  // Standard output is the console. Line-buffered even when it is a pipe or a file, so every progress and
  // error line is out as soon as it is written, whoever writes it, and none is lost if the process is killed.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // GLUT ends the process through the ordinary exit path.
  glutInit(&argc, argv);
  glutInitWindowSize(g_windowWidth, g_windowHeight);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
  glutCreateWindow("NPR Rendering");
  installCallbacks();

  setStartUpView();
  setFixedGlState();

  std::cout << "Loading Models..." << std::endl;
  loadSlotOrExit(0);
  g_currentModel = 0;

  // Loads the hatching images, so it needs the window's GL context.
  g_renderer = new HatchRenderer();

  glutMainLoop();
  return 0;
}

// The GLUT callbacks: they translate window events into changes of the viewer state.
#pragma once

void onDisplay();
void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);
void onSpecialKey(int key, int x, int y);
void onMouseButton(int button, int state, int x, int y);
void onMouseMotion(int x, int y);

// Registers the six callbacks with the current window: display, reshape, keyboard, special keys,
// motion, mouse. No idle, timer or passive-motion callback: the picture changes only on a redisplay.
void installCallbacks();

// Loads the model of slot into g_models; on failure writes the exit line and ends the process with
// status 1 (the loader has written its own line first).
void loadSlotOrExit(int slot);

// The viewer's start-up and display callback, with an offscreen surface in place of the window.
#include "snapshot.h"

#include "frame.h"
#include "offscreen_context.h"

bool renderSnapshot(const SnapOptions& options, const Model& model, RgbImage& picture, std::string& error) {
  DrawState state = drawStateOf(options);
  // Found once per model, as a program that shows it would do when loading it.
  CreaseEdges creases;
  if (options.creaseDegrees) {
    if (!findCreaseEdges(model, *options.creaseDegrees, creases)) {
      error = "not enough memory to find the model's crease edges";
      return false;
    }
    state.creaseEdges = &creases;
  }
  OffscreenContext context(options.width, options.height);
  if (!context.ok()) {
    error = "no offscreen OpenGL context: " + context.error();
    return false;
  }
  setFixedGlState();
  HatchRenderer renderer;
  if (options.hatching) {
    // What the T key does besides setting the flag the renderer reads.
    glEnable(GL_TEXTURE_2D);
  }
  // The viewer has drawn at least one frame by the time anyone sees its window, and every pass leaves
  // GL state (the inner side's line mode) that the next frame starts from. The second frame is the one
  // every later redisplay repeats.
  drawFrame(renderer, &model, state);
  drawFrame(renderer, &model, state);
  picture = context.readImage();
  return true;
}

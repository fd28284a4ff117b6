// The viewer's start-up and display callback, with an offscreen surface in place of the window.
#include "snapshot.h"

#include <algorithm>
#include <climits>

#include "array_drawer.h"
#include "frame.h"
#include "hatch_textures.h"

namespace {

// The hatching images that did not reach their textures, named as the renderer loads them: a texture
// without an image has no width.
std::string missingHatchImages(const HatchRenderer& renderer) {
  std::string missing;
  for (int i = 0; i < 4; ++i) {
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, renderer.textures[i]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    if (width == 0) {
      missing += (missing.empty() ? "" : ", ") + std::string(kHatchImagePaths[i]);
    }
  }
  // As the renderer's construction leaves it.
  glBindTexture(GL_TEXTURE_2D, 0);
  return missing;
}

}  // namespace

Snapshotter::Snapshotter(const SnapOptions& options, const Model& model)
    : context_(options.width * options.samples, options.height * options.samples),
      model_(model),
      samples_(options.samples) {
  if (!context_.ok()) {
    failure_ = context_.tooLarge() ? Failure::TooLarge : Failure::NoContext;
    error_ = context_.tooLarge()
                 ? "--size " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                       " with --samples " + std::to_string(samples_) + ": " + context_.error()
                 : "no offscreen OpenGL context: " + context_.error();
    return;
  }
  // Found once per model, as a program that shows it would do when loading it.
  if (options.creaseDegrees) {
    withCreases_ = true;
    if (!findCreaseEdges(model, *options.creaseDegrees, creases_)) {
      failure_ = Failure::NoMemory;
      error_ = "not enough memory to find the model's crease edges";
      return;
    }
  }
  setFixedGlState();
  renderer_ = std::make_unique<HatchRenderer>();
  drawer_ = std::make_unique<ArrayDrawer>(*renderer_, model_);
  if (options.hatching) {
    // The viewer goes on with white faces; a picture asked for in hatching is no use so.
    const std::string missing = missingHatchImages(*renderer_);
    if (!missing.empty()) {
      failure_ = Failure::HatchingMissing;
      error_ =
          "no hatching: " + missing + " did not load (run nprsnap where data/ holds the hatching images)";
      return;
    }
    // What the T key does besides setting the flag the renderer reads.
    glEnable(GL_TEXTURE_2D);
  }
}

Snapshotter::~Snapshotter() = default;

RgbImage Snapshotter::draw(const DrawState& state) {
  DrawState scaled = state;
  scaled.creaseEdges = withCreases_ ? &creases_ : nullptr;
  scaled.outlineWidth =
      static_cast<int>(std::min<long long>(static_cast<long long>(state.outlineWidth) * samples_, INT_MAX));
  // The viewer has drawn at least one frame by the time anyone sees its window, and every pass leaves
  // GL state (the inner side's line mode) that the next frame starts from. The second frame is the one
  // every later redisplay repeats, whatever the view: its state is set before the first frame here.
  HatchRenderer::enterRedrawState(state.reversedWinding);
  drawFrame(*drawer_, scaled);
  return context_.readImage(samples_);
}

bool renderSnapshot(const SnapOptions& options, const Model& model, RgbImage& picture, std::string& error) {
  Snapshotter snapshotter(options, model);
  if (snapshotter.failure() != Snapshotter::Failure::None) {
    error = snapshotter.error();
    return false;
  }
  picture = snapshotter.draw(drawStateOf(options));
  return true;
}

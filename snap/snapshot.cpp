// The viewer's start-up and display callback, with an offscreen surface in place of the window.
#include "snapshot.h"

#include <algorithm>
#include <climits>
#include <new>

#include "array_drawer.h"
#include "data_files.h"
#include "frame.h"
#include "hatch_textures.h"
#include "strokes.h"

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
      missing += (missing.empty() ? "" : ", ") + dataFilePath(kHatchImagePaths[i]);
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
      lines_(options.lines),
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
  if (lines_ == LineMode::Contour) {
    finder_.reset(new (std::nothrow) VisibleLineFinder(model, withCreases_ ? &creases_ : nullptr));
    if (!finder_ || !finder_->ok()) {
      failure_ = Failure::NoMemory;
      error_ = "not enough memory to find the model's edges";
      return;
    }
  }
  setFixedGlState();
  if (options.background) {
    const Background& background = *options.background;
    glClearColor(background.red, background.green, background.blue, background.alpha);
    transparent_ = background.transparent();
  }
  // Flat tones need no hatching image: none is read then, whatever lies at its path.
  renderer_ = std::make_unique<HatchRenderer>(options.hatching);
  drawer_ = std::make_unique<ArrayDrawer>(*renderer_, model_);
  if (options.hatching) {
    // The viewer goes on with white faces; a picture asked for in hatching is no use so.
    const std::string missing = missingHatchImages(*renderer_);
    if (!missing.empty()) {
      failure_ = Failure::HatchingMissing;
      error_ = "no hatching: " + missing +
               " did not load (read from data/ in the working directory, else from the installed data)";
      return;
    }
    // What the T key does besides setting the flag the renderer reads.
    glEnable(GL_TEXTURE_2D);
  }
}

Snapshotter::~Snapshotter() = default;

namespace {

DrawState scaledState(const DrawState& state, const CreaseEdges* creases, int samples) {
  DrawState scaled = state;
  scaled.creaseEdges = creases;
  scaled.outlineWidth =
      static_cast<int>(std::min<long long>(static_cast<long long>(state.outlineWidth) * samples, INT_MAX));
  return scaled;
}

}  // namespace

RgbImage Snapshotter::draw(const DrawState& state) {
  const DrawState scaled = scaledState(state, withCreases_ ? &creases_ : nullptr, samples_);
  if (lines_ == LineMode::Contour) {
    drawFillPass(scaled);
    drawStrokes(linesOfFillPass(state.camera), static_cast<float>(scaled.outlineWidth), context_.width(),
                context_.height());
    return context_.readImage(samples_, transparent_);
  }
  // The viewer has drawn at least one frame by the time anyone sees its window, and every pass leaves
  // GL state (the inner side's line mode) that the next frame starts from. The second frame is the one
  // every later redisplay repeats, whatever the view: its state is set before each frame here.
  HatchRenderer::enterRedrawState(scaled.reversedWinding);
  drawFrame(*drawer_, scaled);
  return context_.readImage(samples_, transparent_);
}

void Snapshotter::drawFillPass(const DrawState& scaled) {
  HatchRenderer::enterRedrawState(scaled.reversedWinding);
  drawer_->drawFrame(scaled, false);
  // The lines take the outline pass's place: the next frame starts with a fill pass again.
  renderer_->nextPass = 0;
}

std::vector<Polyline> Snapshotter::linesOfFillPass(const Camera& camera) {
  if (!finder_) {
    finder_.reset(new (std::nothrow) VisibleLineFinder(model_, withCreases_ ? &creases_ : nullptr));
  }
  if (!finder_ || !finder_->ok()) {
    return {};
  }
  LineView view;
  glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
  view.width = context_.width();
  view.height = context_.height();
  camera.eyePosition(view.eye);
  const size_t pixels = static_cast<size_t>(view.width) * static_cast<size_t>(view.height);
  const std::unique_ptr<float[]> depth(new (std::nothrow) float[pixels]);
  if (!depth) {
    return {};
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, view.width, view.height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.get());
  return finder_->find(view, depth.get());
}

std::vector<Polyline> Snapshotter::visibleLines(const DrawState& state) {
  drawFillPass(scaledState(state, withCreases_ ? &creases_ : nullptr, samples_));
  std::vector<Polyline> lines = linesOfFillPass(state.camera);
  const float scale = 1.0f / static_cast<float>(samples_);
  for (Polyline& line : lines) {
    for (LinePoint& point : line.points) {
      point.x *= scale;
      point.y *= scale;
    }
  }
  return lines;
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

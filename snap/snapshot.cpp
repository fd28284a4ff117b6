// The viewer's start-up and display callback, with an offscreen surface in place of the window.
#include "snapshot.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "array_drawer.h"
#include "data_files.h"
#include "direction_field.h"
#include "frame.h"
#include "hatch_textures.h"
#include "output_format.h"
#include "strokes.h"
#include "surface_hatching.h"
#include "tone.h"
#include "tone_labels.h"

namespace {

// The hatching's field is worked out on at most this many pixels (a 2048 x 2048 picture); a larger picture's
// strokes are traced on a smaller one and scaled up, in proportion to their width and spacing.
constexpr double kMostFieldPixels = 4.0 * 1024 * 1024;

void scalePoints(std::vector<Polyline>& lines, float sx, float sy) {
  for (Polyline& line : lines) {
    for (LinePoint& point : line.points) {
      point.x *= sx;
      point.y *= sy;
    }
  }
}

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
      hiddenLines_(options.hiddenLines),
      suggestiveThreshold_(options.suggestiveThreshold.value_or(kDefaultSuggestiveThreshold)),
      smoothing_(options.smoothing),
      samples_(options.samples),
      width_(options.width),
      height_(options.height),
      shading_(options.shading) {
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
    creaseDegrees_ = *options.creaseDegrees;
    if (!findCreaseEdges(model, *options.creaseDegrees, creases_)) {
      failure_ = Failure::NoMemory;
      error_ = "not enough memory to find the model's crease edges";
      return;
    }
  }
  if ((lines_ != LineMode::Outline || hiddenLines_) && !makeLineFinder()) {
    failure_ = Failure::NoMemory;
    error_ = "not enough memory to find the model's edges";
    return;
  }
  setFixedGlState();
  if (options.background) {
    const Background& background = *options.background;
    glClearColor(background.red, background.green, background.blue, background.alpha);
    transparent_ = background.transparent();
  }
  // Flat tones need no hatching image, nor do vectors or strokes along the surface, whose strokes are drawn
  // as such: none is read then, whatever lies at its path.
  strokesAlongSurface_ = options.hatching && options.strokesAlongSurface;
  const bool hatchImages =
      options.hatching && !strokesAlongSurface_ && !outputFormatEntry(runFormat(options)).vector;
  renderer_ = std::make_unique<HatchRenderer>(hatchImages);
  drawer_ = std::make_unique<ArrayDrawer>(*renderer_, model_);
  if (hatchImages) {
    // The viewer goes on with white faces; a picture asked for in hatching is no use so.
    const std::string missing = missingHatchImages(*renderer_);
    if (!missing.empty()) {
      failure_ = Failure::HatchingMissing;
      error_ =
          "no hatching: " + missing +
          " did not load (read from data/ in the working directory, else from the installed data, or from a "
          "build tree the source tree's)";
      return;
    }
    // What the T key does besides setting the flag the renderer reads.
    glEnable(GL_TEXTURE_2D);
  }
  if (shading_ == Shading::Smooth || strokesAlongSurface_) {
    // The normals split where the lines show creases, so that a crease drawn is a crease shaded. Strokes
    // along the surface follow it smoothed, their tones too: the fill under them is plain paper.
    SurfaceOptions surfaceOptions{options.creaseDegrees.value_or(kDefaultSplitDegrees), 0.0f};
    if (strokesAlongSurface_) {
      surfaceOptions.smoothingRadius = hatchSmoothingRadius(model);
    }
    fillSurface_.reset(new (std::nothrow) Surface(model, surfaceOptions));
    if (!fillSurface_ || !fillSurface_->ok() || !fillSurface_->needNormals()) {
      failure_ = Failure::NoMemory;
      error_ = "not enough memory for the model's surface";
      return;
    }
    fill_ = std::make_unique<FillShader>(*fillSurface_);
    if (!fill_->ok()) {
      failure_ = fill_->outOfMemory() ? Failure::NoMemory : Failure::NoShader;
      error_ = fill_->error();
    }
  }
}

double hatchStrokeWidth(int width, int height) {
  return std::max(1.0, std::max(width, height) / double{kStartUpWindowSide});
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

// The colour the lines are drawn in: the palette's, else the viewer's black.
Colour lineColourOf(const DrawState& state) {
  return state.palette ? state.palette->line : viewerPalette().line;
}

}  // namespace

RgbImage Snapshotter::draw(const DrawState& state) {
  if (fill_) {
    return drawShaded(state);
  }
  const DrawState scaled = scaledState(state, withCreases_ ? &creases_ : nullptr, samples_);
  if (lines_ != LineMode::Outline) {
    drawFillPass(scaled);
    drawLines(linesOfFillPass(scaled), static_cast<float>(scaled.outlineWidth), context_.width(),
              context_.height(), lineColourOf(state));
    return context_.readImage(samples_, transparent_);
  }
  // The viewer has drawn at least one frame by the time anyone sees its window, and every pass leaves
  // GL state (the inner side's line mode) that the next frame starts from. The second frame is the one
  // every later redisplay repeats, whatever the view: its state is set before each frame here.
  HatchRenderer::enterRedrawState(scaled.reversedWinding);
  if (!hiddenLines_) {
    drawFrame(*drawer_, scaled);
    return context_.readImage(samples_, transparent_);
  }
  // The hidden lines go between the fill pass, whose depth tells what is hidden, and the outline pass.
  beginFrame(scaled.camera);
  drawer_->draw(scaled);
  std::vector<Polyline> lines = linesOfFillPass(scaled);
  std::erase_if(lines, [](const Polyline& line) { return !line.hidden; });
  drawLines(lines, static_cast<float>(scaled.outlineWidth), context_.width(), context_.height(),
            lineColourOf(state));
  drawer_->draw(scaled);
  return context_.readImage(samples_, transparent_);
}

void Snapshotter::drawFillPass(const DrawState& scaled) {
  HatchRenderer::enterRedrawState(scaled.reversedWinding);
  drawer_->drawFrame(scaled, false);
  // The lines take the outline pass's place: the next frame starts with a fill pass again.
  renderer_->nextPass = 0;
}

bool Snapshotter::makeLineFinder() {
  if (finder_) {
    return finder_->ok();
  }
  // The edges drawn as creases are the ones where the normals split.
  const SurfaceOptions surfaceOptions{withCreases_ ? creaseDegrees_ : kDefaultSplitDegrees, smoothing_};
  Surface* surface = fillSurface_.get();
  // Smooth tones with the lines' own splits and smoothing share the fill's surface.
  if (!surface || surface->options().splitDegrees != surfaceOptions.splitDegrees ||
      surface->options().smoothingRadius != surfaceOptions.smoothingRadius) {
    surface_.reset(new (std::nothrow) Surface(model_, surfaceOptions));
    surface = surface_.get();
  }
  if (!surface || !surface->ok()) {
    return false;
  }
  finder_.reset(new (std::nothrow) VisibleLineFinder(*surface, withCreases_ ? &creases_ : nullptr));
  return finder_ && finder_->ok();
}

std::vector<Polyline> Snapshotter::linesOfFillPass(const DrawState& scaled) {
  if (!makeLineFinder()) {
    return {};
  }
  LineView view;
  glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
  view.width = context_.width();
  view.height = context_.height();
  scaled.camera.eyePosition(view.eye);
  view.reversedWinding = scaled.reversedWinding;
  const size_t pixels = static_cast<size_t>(view.width) * static_cast<size_t>(view.height);
  const std::unique_ptr<float[]> depth(new (std::nothrow) float[pixels]);
  if (!depth) {
    return {};
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, view.width, view.height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.get());
  LineRequest request;
  request.hidden = hiddenLines_;
  request.suggestive = lines_ == LineMode::Suggestive;
  request.suggestiveThreshold = suggestiveThreshold_;
  request.lineWidth = scaled.outlineWidth;
  return finder_->find(view, depth.get(), request);
}

std::vector<Polyline> Snapshotter::visibleLines(const DrawState& state) {
  const DrawState scaled = scaledState(state, withCreases_ ? &creases_ : nullptr, samples_);
  drawFillPass(scaled);
  std::vector<Polyline> lines = linesOfFillPass(scaled);
  const float scale = 1.0f / static_cast<float>(samples_);
  scalePoints(lines, scale, scale);
  return lines;
}

void Snapshotter::drawShadedFill(const DrawState& scaled) {
  renderer_->beginPass(scaled);
  FillShader::Look look = FillShader::Look::Colours;
  if (scaled.texturesEnabled) {
    look = strokesAlongSurface_                            ? FillShader::Look::Paper
           : scaled.hatchingSpace == HatchingSpace::Object ? FillShader::Look::ObjectTextures
                                                           : FillShader::Look::EyeTextures;
  }
  if (!fill_->draw(scaled, look, renderer_->texturesIn(scaled.hatchingSpace))) {
    // No memory for the object space's coordinates: the renderer's own tones, a face at a time.
    renderer_->nextPass = 0;
    drawer_->draw(scaled);
  }
}

RgbImage Snapshotter::drawShaded(const DrawState& state) {
  const DrawState scaled = scaledState(state, withCreases_ ? &creases_ : nullptr, samples_);
  const float samples = static_cast<float>(samples_);
  std::vector<Polyline> strokes, lines;
  const bool stroked = strokesAlongSurface_ && state.texturesEnabled;
  if (stroked) {
    lines = visibleLines(state);
    if (!surfaceStrokes(state, lines, strokes, error_)) {
      return {};
    }
    scalePoints(strokes, samples, samples);
    scalePoints(lines, samples, samples);
  }
  HatchRenderer::enterRedrawState(scaled.reversedWinding);
  beginFrame(scaled.camera);
  drawShadedFill(scaled);
  // The hatching stays black, whatever the lines' colour.
  drawLines(strokes, static_cast<float>(hatchStrokeWidth(width_, height_)) * samples, context_.width(),
            context_.height(), Colour{0.0f, 0.0f, 0.0f});
  // The strokes are drawn without the depth test and leave the fill pass's depth for the lines.
  if (!stroked && (lines_ != LineMode::Outline || hiddenLines_)) {
    lines = linesOfFillPass(scaled);
  }
  if (lines_ != LineMode::Outline) {
    drawLines(lines, static_cast<float>(scaled.outlineWidth), context_.width(), context_.height(),
              lineColourOf(state));
    renderer_->nextPass = 0;
  } else {
    std::erase_if(lines, [](const Polyline& line) { return !line.hidden; });
    drawLines(lines, static_cast<float>(scaled.outlineWidth), context_.width(), context_.height(),
              lineColourOf(state));
    drawer_->draw(scaled);
  }
  return context_.readImage(samples_, transparent_);
}

bool Snapshotter::surfaceStrokes(const DrawState& state, const std::vector<Polyline>& lines,
                                 std::vector<Polyline>& strokes, std::string& error, double strokeWidth) {
  if (directions_.empty() && !hatchDirections(*fillSurface_, directions_)) {
    error = "not enough memory for the hatching's directions";
    return false;
  }
  const double pixels = static_cast<double>(width_) * height_;
  const double scale = std::min(1.0, std::sqrt(kMostFieldPixels / pixels));
  const int width = std::max(1, static_cast<int>(std::lround(width_ * scale)));
  const int height = std::max(1, static_cast<int>(std::lround(height_ * scale)));
  const float sx = static_cast<float>(width) / static_cast<float>(width_);
  const float sy = static_cast<float>(height) / static_cast<float>(height_);
  FacePicture faces;
  LineView view;
  try {
    if (!drawFacePicture(model_, state, width, height, faces, view, error)) {
      return false;
    }
    // Kept off the lines the eye sees, not off those behind the surface.
    std::vector<Polyline> near = lines;
    std::erase_if(near, [](const Polyline& line) { return line.hidden; });
    scalePoints(near, sx, sy);
    const HatchLight light{lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset),
                           state.reversedWinding, shading_ == Shading::Smooth};
    const double pen = strokeWidth > 0.0 ? strokeWidth : hatchStrokeWidth(width_, height_);
    const SurfaceHatchingStyle style{pen * scale, state.outlineWidth * scale};
    if (!hatchSurface(*fillSurface_, directions_, faces, view, light, near, style, strokes)) {
      error = "not enough memory to trace the hatching";
      return false;
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory to trace the hatching";
    return false;
  }
  scalePoints(strokes, 1.0f / sx, 1.0f / sy);
  return true;
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

// The viewer's frame drawn offscreen, once or many times in one GL context.
#pragma once

#include <memory>
#include <string>

#include "array_drawer.h"
#include "crease_edges.h"
#include "fill_shader.h"
#include "hatch_renderer.h"
#include "model.h"
#include "offscreen_context.h"
#include "rgb_image.h"
#include "snap_options.h"
#include "surface.h"
#include "visible_lines.h"

// The width of hatching strokes in a width x height picture: as wide, for its size, as at the viewer's
// window, and never under a pixel.
double hatchStrokeWidth(int width, int height);

class Snapshotter {
 public:
  enum class Failure {
    None,
    TooLarge,         // the size times the samples is more than the GL driver draws
    NoContext,        // no offscreen GL context could be made
    HatchingMissing,  // hatching was asked for and a hatching image did not load
    NoMemory,         // no memory for the model's crease edges or its surface
    NoShader,         // smooth shading or strokes along the surface were asked for and GL has no program
  };

  // Sets up GL as the viewer's start-up does, on an offscreen surface of options' size times its samples
  // in each direction, and makes the renderer (which loads the hatching images, as the viewer's does, when
  // options ask for hatching drawn from its images: not for an SVG, whose hatching is strokes, nor for
  // strokes along the surface). Finds model's crease edges when options ask for them, and its surface and the
  // fill program for smooth shading or strokes along the surface. model must outlive the Snapshotter.
  Snapshotter(const SnapOptions& options, const Model& model);
  ~Snapshotter();

  Failure failure() const { return failure_; }
  const std::string& error() const { return error_; }  // one line, when failure() is not None

  // Draws the model as the window shows it in state, the outline state.outlineWidth pixels wide in the
  // picture (with options' --lines contour or suggestive, the lines as strokes of that width in its place),
  // with options' --hidden-lines the hidden lines under the rest, and returns the picture at options' size,
  // top row first: each pixel the average of its samples x samples block, with alpha when options'
  // background is transparent. With smooth shading the fill pass takes its tones per pixel; with strokes
  // along the surface (and hatching) it is the paper's white, with the strokes of surfaceStrokes drawn over
  // it. Needs failure() None. Empty, with error() saying why, when the strokes find no memory.
  RgbImage draw(const DrawState& state);

  // The lines of the model that the eye sees in state (contours; creases and borders when options ask for
  // creases; suggestive contours with --lines suggestive), chained, in the coordinates of the picture at
  // options' size; with --hidden-lines their hidden parts after them, marked hidden. Draws the fill pass to
  // find what hides them. Needs failure() None; empty when memory runs out.
  std::vector<Polyline> visibleLines(const DrawState& state);

  // The fill program that draws smooth tones, for the vector picture's tone labels; null for flat shading.
  FillShader* smoothShading() { return shading_ == Shading::Smooth ? fill_.get() : nullptr; }

  // The hatching of state as strokes along the surface (hatchSurface), in the coordinates of the picture at
  // options' size, kept off lines (visibleLines of the same state; hidden ones do not count), spaced for
  // strokes strokeWidth wide (hatchStrokeWidth for 0). Needs failure() None and options asking for strokes
  // along the surface. Returns false, with error (one line), when memory runs out or the face picture cannot
  // be drawn.
  bool surfaceStrokes(const DrawState& state, const std::vector<Polyline>& lines,
                      std::vector<Polyline>& strokes, std::string& error, double strokeWidth = 0.0);

 private:
  OffscreenContext context_;
  std::unique_ptr<HatchRenderer> renderer_;
  std::unique_ptr<ArrayDrawer> drawer_;
  // Draws the fill pass of state, already scaled, as the viewer's later frames draw it.
  void drawFillPass(const DrawState& scaled);
  // The lines of the fill pass of scaled just drawn, in the coordinates of the surface, not of the picture.
  std::vector<Polyline> linesOfFillPass(const DrawState& scaled);
  // The model's surface and its line finder, made once; false when memory ran out.
  bool makeLineFinder();
  // draw with the fill program: smooth tones, or paper under strokes along the surface.
  RgbImage drawShaded(const DrawState& state);
  void drawShadedFill(const DrawState& scaled);

  const Model& model_;
  CreaseEdges creases_;
  LineMode lines_;
  bool hiddenLines_;
  float suggestiveThreshold_;
  float smoothing_;
  // Made only for smooth shading or strokes along the surface, split at the crease angle; for strokes
  // along the surface smoothed, unlike the lines' surface. Declared before the line finder and the fill
  // shader, which may refer to it.
  std::unique_ptr<Surface> fillSurface_;
  // Made when lines are first asked for, and kept for every view, unless the fill's surface is the same.
  std::unique_ptr<Surface> surface_;
  std::unique_ptr<VisibleLineFinder> finder_;
  bool withCreases_ = false;
  float creaseDegrees_ = 0.0f;
  int samples_;
  bool transparent_ = false;  // the picture has alpha, 0 where nothing is drawn
  int width_, height_;        // the picture's size, before samples
  Shading shading_;
  bool strokesAlongSurface_ = false;  // the hatching is strokes along the surface
  std::unique_ptr<FillShader> fill_;
  std::vector<Vec3> directions_;  // the hatching's direction field, made for the first strokes
  Failure failure_ = Failure::None;
  std::string error_;
};

// One picture of model for options, in its own GL context. Returns false and fills error when the
// Snapshotter fails.
bool renderSnapshot(const SnapOptions& options, const Model& model, RgbImage& picture, std::string& error);

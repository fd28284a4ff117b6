// The viewer's frame drawn offscreen, once or many times in one GL context.
#pragma once

#include <memory>
#include <string>

#include "array_drawer.h"
#include "crease_edges.h"
#include "hatch_renderer.h"
#include "model.h"
#include "offscreen_context.h"
#include "rgb_image.h"
#include "snap_options.h"

class Snapshotter {
 public:
  enum class Failure {
    None,
    TooLarge,         // the size times the samples is more than the GL driver draws
    NoContext,        // no offscreen GL context could be made
    HatchingMissing,  // hatching was asked for and a hatching image did not load
    NoMemory,         // no memory for the model's crease edges
  };

  // Sets up GL as the viewer's start-up does, on an offscreen surface of options' size times its samples
  // in each direction, and makes the renderer (which loads the hatching images, as the viewer's does).
  // Finds model's crease edges when options ask for them. model must outlive the Snapshotter.
  Snapshotter(const SnapOptions& options, const Model& model);
  ~Snapshotter();

  Failure failure() const { return failure_; }
  const std::string& error() const { return error_; }  // one line, when failure() is not None

  // Draws the model as the window shows it in state, the outline state.outlineWidth pixels wide in the
  // picture, and returns the picture at options' size, top row first: each pixel the average of its
  // samples x samples block. Needs failure() None.
  RgbImage draw(const DrawState& state);

 private:
  OffscreenContext context_;
  std::unique_ptr<HatchRenderer> renderer_;
  std::unique_ptr<ArrayDrawer> drawer_;
  const Model& model_;
  CreaseEdges creases_;
  bool withCreases_ = false;
  int samples_;
  Failure failure_ = Failure::None;
  std::string error_;
};

// One picture of model for options, in its own GL context. Returns false and fills error when the
// Snapshotter fails.
bool renderSnapshot(const SnapOptions& options, const Model& model, RgbImage& picture, std::string& error);

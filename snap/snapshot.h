// One frame of the viewer, drawn offscreen.
#pragma once

#include <string>

#include "model.h"
#include "rgb_image.h"
#include "snap_options.h"

// Draws model as the viewer's window shows it in the state that options describe, at options' size,
// into picture (top row first). Makes its own GL context and renderer, as the viewer does at start-up.
// Returns false and fills error when no offscreen GL context can be had, or no memory for the creases.
bool renderSnapshot(const SnapOptions& options, const Model& model, RgbImage& picture, std::string& error);

// The view as a vector picture: the tone labels GL draws, traced into regions, hatched, with the visible
// lines on top, written as an SVG document.
#pragma once

#include <string>

#include "snap_options.h"
#include "snapshot.h"
#include "svg_writer.h"

// The layers options ask for (--layers), all of them when it is not given.
SvgLayers svgLayersOf(const SnapOptions& options);

// The SVG document of model as snapshotter draws it in state at options' size, with the layers options ask
// for. Needs snapshotter.failure() None. Returns false and fills error (one line) when the labels cannot
// be drawn or traced.
bool drawSvg(Snapshotter& snapshotter, const Model& model, const SnapOptions& options, const DrawState& state,
             std::string& svg, std::string& error);

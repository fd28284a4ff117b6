// The SVG 1.1 document of a vector picture: four top-level groups, each an Inkscape layer, in drawing
// order. Pure: text in memory, no files.
#pragma once

#include <string>
#include <vector>

#include "hatching.h"
#include "tone_regions.h"
#include "visible_lines.h"

struct SvgColour {
  float r, g, b;  // 0 to 1, as GL takes them
};

struct ToneFill {
  SvgColour colour;
  ToneRegion region;
};

// What the picture holds, in the picture's pixels (origin top-left, y down).
struct VectorPicture {
  int width = 0;
  int height = 0;
  SvgColour background{0, 0, 0};
  bool clearBackground = false;  // the background layer stays empty
  std::vector<ToneFill> tones;  // drawn in order, later ones over earlier ones
  bool hatched = false;         // the picture has a hatching layer, however empty
  std::vector<Polyline> hatching;  // open strokes, in the order the pen draws them
  double hatchWidth = 1.0;
  std::vector<Polyline> lines;
  double lineWidth = 1.0;
};

// The layers, by their group ids: "background", "tones", "hatching", "lines".
constexpr const char* kSvgLayerNames[] = {"background", "tones", "hatching", "lines"};

// Which layers a document holds; a picture that is not hatched has no hatching layer in any case.
struct SvgLayers {
  bool background = true;
  bool tones = true;
  bool hatching = true;
  bool lines = true;
};

// The document: width, height and viewBox in pixels; the background as one rect and each tone region as
// one filled path (even-odd), those two layers filled and never stroked; the hatching as one path of open
// strokes, each line as a path of its own with round caps and joins. Coordinates carry at most two decimals.
std::string svgDocument(const VectorPicture& picture, const SvgLayers& layers);

// The SVG 1.1 document of a vector picture: up to six top-level groups, each an Inkscape layer, in drawing
// order. Pure: text in memory, no files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hatching.h"
#include "tone_regions.h"
#include "visible_lines.h"

struct SvgColour {
  float r, g, b;  // 0 to 1, as GL takes them
};

// Paper for the document, in one unit ("mm", "cm" or "in"): the picture is fitted inside the margin and
// centred. A width of 0 means no paper: the document is sized in the picture's pixels.
struct SvgPage {
  double width = 0;
  double height = 0;
  double margin = 0;
  std::string unit = "mm";
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
  std::vector<ToneFill> tones;     // drawn in order, later ones over earlier ones
  bool hatched = false;            // the picture has a hatching layer, however empty
  std::vector<Polyline> hatching;  // open strokes, in the order the pen draws them
  double hatchWidth = 1.0;
  bool withHidden = false;       // the picture has a layer of hidden lines, however empty
  std::vector<Polyline> hidden;  // drawn dashed and grey
  std::vector<Polyline> lines;
  bool withSuggestive = false;  // the picture has a layer of suggestive contours, however empty
  std::vector<Polyline> suggestive;
  double lineWidth = 1.0;  // of lines; hidden and suggestive lines are thinner, as visible_lines.h says
  SvgColour lineColour{0, 0, 0};  // the lines' and the suggestive contours'; the hatching stays black
  SvgPage page;
  // Set: the stroke width of the lines and the hatching, in pixels, for a pen, written to the precision a pen
  // needs (four decimals).
  std::optional<double> penWidth;
};

// The layers, by their group ids, in the order they are drawn. Each is labelled with its place in this list
// and its name ("4 hidden"), so that plotting software that numbers layers by the number in a label (vpype,
// AxiDraw) numbers each the same whichever of the others a document leaves out.
constexpr const char* kSvgLayerNames[] = {"background", "tones", "hatching", "hidden", "lines", "suggestive"};

// Which layers a document holds; a picture that is not hatched has no hatching layer in any case, nor one
// without hidden lines or suggestive contours a layer of them.
struct SvgLayers {
  bool background = true;
  bool tones = true;
  bool hatching = true;
  bool hidden = true;
  bool lines = true;
  bool suggestive = true;
};

// The millimetres in one unit: 1 for "mm", 10 for "cm", 25.4 for "in"; 0 for anything else.
double millimetresPerUnit(std::string_view unit);

// How many of the picture's pixels of width x height one millimetre of paper spans: with page's paper as the
// fit inside its margin gives them, each side above 0 and the margin leaving room; without, CSS's 96 per
// inch, as readers take a document sized in pixels.
double pixelsPerMillimetre(int width, int height, const SvgPage& page);

// The document: width, height and viewBox in pixels, or on paper width and height in its unit and the
// viewBox the whole page in pixels around the picture; the background as one rect and each tone region as
// one filled path (even-odd), those two layers filled and never stroked; the hatching as one path of open
// strokes, each line as a path of its own with round caps and joins (the hidden ones with a dash pattern).
// Coordinates carry at most two decimals.
std::string svgDocument(const VectorPicture& picture, const SvgLayers& layers);

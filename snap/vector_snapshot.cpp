// Assembling the vector picture: GL for the labels only, the rest pure.
#include "vector_snapshot.h"

#include <algorithm>
#include <new>

#include "frame.h"
#include "hatching.h"
#include "pen_order.h"
#include "tone.h"
#include "tone_labels.h"

namespace {

// Regions are flattened this close for clipping; far under what a stroke's width shows.
constexpr double kFlatness = 0.05;

// Each tone's own part of the surface, hatched in its own way. Label k's stacked region less label k + 1's.
bool hatchTones(const std::vector<ToneRegion>& regions, double strokeWidth, std::vector<Polyline>& strokes) {
  std::vector<std::vector<Polygon>> layers;
  for (const ToneRegion& region : regions) {
    layers.push_back(flattenRegion(region, kFlatness));
  }
  std::vector<Polygon> own;
  std::vector<Stroke> toneStrokes;
  for (size_t k = 0; k < layers.size(); ++k) {
    if (!regionDifference(layers[k], k + 1 < layers.size() ? layers[k + 1] : std::vector<Polygon>{}, own) ||
        !hatchRegion(own, kHatchTones[textureIndexOfLabel(regions[k].label)], strokeWidth, toneStrokes)) {
      return false;
    }
    for (const Stroke& stroke : toneStrokes) {
      strokes.push_back({LineKind::Contour,
                         false,
                         false,
                         {{static_cast<float>(stroke.from.x), static_cast<float>(stroke.from.y)},
                          {static_cast<float>(stroke.to.x), static_cast<float>(stroke.to.y)}}});
    }
  }
  return true;
}

// As drawSvg, but memory running out throws.
bool assembleSvg(Snapshotter& snapshotter, const Model& model, const SnapOptions& options,
                 const DrawState& state, std::string& svg, std::string& error) {
  VectorPicture picture;
  picture.width = options.width;
  picture.height = options.height;
  picture.background = {kBackgroundColour[0], kBackgroundColour[1], kBackgroundColour[2]};
  if (options.background) {
    // As for a PNG: another colour, or nothing behind the model.
    picture.background = {options.background->red, options.background->green, options.background->blue};
    picture.clearBackground = options.background->transparent();
  }
  picture.lineWidth = state.outlineWidth;
  const Palette palette = options.palette.value_or(viewerPalette());
  picture.lineColour = {palette.line.r, palette.line.g, palette.line.b};
  picture.page = options.page.value_or(SvgPage{});
  if (options.penMillimetres) {
    picture.penWidth =
        *options.penMillimetres * pixelsPerMillimetre(options.width, options.height, picture.page);
  }
  const SvgLayers layers = svgLayersOf(options);
  const bool stroked = state.texturesEnabled && options.strokesAlongSurface && layers.hatching;
  picture.withHidden = options.hiddenLines;
  picture.withSuggestive = options.lines == LineMode::Suggestive;
  const bool withLines = layers.lines || (layers.hidden && picture.withHidden) ||
                         (layers.suggestive && picture.withSuggestive);
  // Strokes along the surface keep off the lines, whether or not the document holds them.
  std::vector<Polyline> lines;
  if (withLines || stroked) {
    lines = snapshotter.visibleLines(state);
  }

  if (layers.tones || (layers.hatching && state.texturesEnabled)) {
    const int scale = labelScale(options.width, options.height,
                                 outerFaceFragments(model, state, options.width, options.height));
    LabelPicture labels;
    std::vector<ToneRegion> regions;
    if (!drawToneLabels(model, state, options.width, options.height, scale, labels, error,
                        snapshotter.smoothShading())) {
      return false;
    }
    if (!traceToneRegions(labels, scale, regions)) {
      error = "not enough memory to trace the tones";
      return false;
    }
    if (state.texturesEnabled) {
      // Hatching goes on paper: the whole surface in white, which the first label's region covers.
      picture.hatched = true;
      // Strokes as wide, for their size, as at the viewer's window, or spaced for the pen that draws them,
      // but never more than four times as close: a hair-thin pen on a large page would ask for millions.
      const double standard = hatchStrokeWidth(options.width, options.height);
      picture.hatchWidth = picture.penWidth ? std::max(*picture.penWidth, standard / 4) : standard;
      if (stroked) {
        if (!snapshotter.surfaceStrokes(state, lines, picture.hatching, error, picture.hatchWidth)) {
          return false;
        }
      } else if (layers.hatching && !hatchTones(regions, picture.hatchWidth, picture.hatching)) {
        error = "not enough memory to clip the hatching";
        return false;
      }
      orderForPen(picture.hatching);
      picture.tones.push_back({{1.0f, 1.0f, 1.0f}, std::move(regions[0])});
    } else {
      for (ToneRegion& region : regions) {
        const Colour& tone = palette.tones[textureIndexOfLabel(region.label)];
        picture.tones.push_back({{tone.r, tone.g, tone.b}, std::move(region)});
      }
    }
  }
  if (withLines) {
    for (Polyline& line : lines) {
      (line.hidden                         ? picture.hidden
       : line.kind == LineKind::Suggestive ? picture.suggestive
                                           : picture.lines)
          .push_back(std::move(line));
    }
    // Each layer is drawn on its own, with its own pen.
    for (std::vector<Polyline>* layer : {&picture.hidden, &picture.lines, &picture.suggestive}) {
      orderForPen(*layer);
    }
  }
  svg = svgDocument(picture, layers);
  return true;
}

}  // namespace

SvgLayers svgLayersOf(const SnapOptions& options) {
  if (options.layers.empty()) {
    return {};
  }
  const auto has = [&options](std::string_view name) {
    return std::find(options.layers.begin(), options.layers.end(), name) != options.layers.end();
  };
  return {has(kSvgLayerNames[0]), has(kSvgLayerNames[1]), has(kSvgLayerNames[2]),
          has(kSvgLayerNames[3]), has(kSvgLayerNames[4]), has(kSvgLayerNames[5])};
}

bool drawSvg(Snapshotter& snapshotter, const Model& model, const SnapOptions& options, const DrawState& state,
             std::string& svg, std::string& error) {
  // The labels, the regions and the document of a large picture take hundreds of megabytes.
  try {
    return assembleSvg(snapshotter, model, options, state, svg, error);
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the vector picture";
    return false;
  }
}

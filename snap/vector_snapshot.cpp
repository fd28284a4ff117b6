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

// The tone the renderer shows for a hatching texture, found from its bands so the colours stay stated once.
const Tone& toneOfTexture(int textureIndex) {
  for (int band = kTurnedAway; band < kBandCount; ++band) {
    if (toneOfBand(band).texture == textureIndex) {
      return toneOfBand(band);
    }
  }
  return toneOfBand(kTurnedAway);
}

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
                         {{static_cast<float>(stroke.from.x), static_cast<float>(stroke.from.y)},
                          {static_cast<float>(stroke.to.x), static_cast<float>(stroke.to.y)}}});
    }
  }
  return true;
}

// As drawSvg, but memory running out throws.
bool assembleSvg(Snapshotter& snapshotter, const Model& model, const SnapOptions& options, const DrawState& state,
                 std::string& svg, std::string& error) {
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
  const SvgLayers layers = svgLayersOf(options);
  const bool stroked = state.texturesEnabled && options.strokesAlongSurface && layers.hatching;
  // Strokes along the surface keep off the lines, whether or not the document holds them.
  std::vector<Polyline> lines;
  if (layers.lines || stroked) {
    lines = snapshotter.visibleLines(state);
  }

  if (layers.tones || (layers.hatching && state.texturesEnabled)) {
    const int scale = labelScale(options.width, options.height);
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
      // Strokes as wide, for their size, as at the viewer's window.
      picture.hatchWidth = hatchStrokeWidth(options.width, options.height);
      if (stroked) {
        if (!snapshotter.surfaceStrokes(state, lines, picture.hatching, error)) {
          return false;
        }
        orderForPen(picture.hatching);
      } else if (layers.hatching && !hatchTones(regions, picture.hatchWidth, picture.hatching)) {
        error = "not enough memory to clip the hatching";
        return false;
      }
      picture.tones.push_back({{1.0f, 1.0f, 1.0f}, std::move(regions[0])});
    } else {
      for (ToneRegion& region : regions) {
        const Tone& tone = toneOfTexture(textureIndexOfLabel(region.label));
        picture.tones.push_back({{tone.r, tone.g, tone.b}, std::move(region)});
      }
    }
  }
  if (layers.lines) {
    picture.lines = std::move(lines);
    orderForPen(picture.lines);
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
  return {has(kSvgLayerNames[0]), has(kSvgLayerNames[1]), has(kSvgLayerNames[2]), has(kSvgLayerNames[3])};
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

// The surface's tones as filled regions: a picture of tone labels (one flat label per tone, drawn a few
// times larger than the picture) traced into smooth closed curves with potrace. Pure, no GL.
#pragma once

#include <cstdint>
#include <vector>

// The four tones, in the order of the renderer's hatching textures: bright, middle, dark, turned away.
constexpr int kToneCount = 4;

// Labels stack: the region of label k holds every pixel whose label is k or more, so that drawing them in
// order, 1 first, shows each pixel in its own label's fill and leaves no gap where two regions meet. The
// turned-away tone, the commonest outer one, lies at the bottom. 0 is no surface.
constexpr uint8_t toneLabel(int textureIndex) {
  return static_cast<uint8_t>(kToneCount - textureIndex);
}
constexpr int textureIndexOfLabel(int label) {
  return kToneCount - label;
}

struct LabelPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> labels;  // width x height, top row first; 0 or a toneLabel
};

// A point of the output picture, in pixels: origin top-left, y down.
struct VectorPoint {
  double x;
  double y;
};

// A piece of a closed curve from the end of the previous one: a cubic Bezier through two control points,
// or (corner) a straight line to the corner c2 and on to end.
struct CurveSegment {
  bool corner;
  VectorPoint c1, c2, end;
};

// Starts and ends at the last segment's end.
struct ClosedCurve {
  std::vector<CurveSegment> segments;
};

// A region of one label, filled by the even-odd rule: holes are curves inside others.
struct ToneRegion {
  int label = 0;
  std::vector<ClosedCurve> curves;
};

// Traces, for each label 1 to kToneCount in turn, the pixels whose label is that or more, shrunk by
// labelsPerPixel (the side of a picture pixel in label pixels) into the picture's coordinates. A label no
// pixel reaches gets a region without curves. Returns false, regions empty, when potrace runs out of memory.
bool traceToneRegions(const LabelPicture& picture, int labelsPerPixel, std::vector<ToneRegion>& regions);

using Polygon = std::vector<VectorPoint>;

// The region's curves as polygons, each curve flattened to within about tolerance pixels.
std::vector<Polygon> flattenRegion(const ToneRegion& region, double tolerance);

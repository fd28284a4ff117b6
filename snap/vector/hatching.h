// Pencil hatching a pen can draw: for each tone, families of parallel strokes fixed to the view, clipped to
// that tone's regions with Clipper. Pure, no GL.
#pragma once

#include <vector>

#include "tone_regions.h"

// One straight pen stroke.
struct Stroke {
  VectorPoint from;
  VectorPoint to;
};

// How a tone is hatched, in the renderer's texture order (bright first): the share of the area that the
// strokes ink, and in how many directions. Darker tones take more directions and closer spacing.
struct HatchTone {
  double ink;
  int directions;
};
constexpr HatchTone kHatchTones[kToneCount] = {{0.05, 1}, {0.13, 2}, {0.26, 3}, {0.47, 4}};

// The gap between neighbouring strokes of one direction that inks tone's share of the area with strokes
// strokeWidth wide, directions laid over each other.
double hatchSpacing(const HatchTone& tone, double strokeWidth);

// The strokes that hatch the area inside polygons (even-odd) in tone, strokeWidth wide, on lines at
// multiples of their spacing from the picture's origin, so that neighbouring regions of one tone continue
// each other's strokes and a moving model slides under them; strokes shorter than their width (dots) are
// left out. Ordered for a pen: direction by direction, line by line, each line drawn the other way from the
// one before. Returns false, strokes empty, when Clipper fails (out of memory).
bool hatchRegion(const std::vector<Polygon>& polygons, const HatchTone& tone, double strokeWidth,
                 std::vector<Stroke>& strokes);

// The area inside one but not the other (even-odd each): a tone's own part of its stacked layer, the
// layer above taken away. Returns false when Clipper fails.
bool regionDifference(const std::vector<Polygon>& from, const std::vector<Polygon>& away,
                      std::vector<Polygon>& result);

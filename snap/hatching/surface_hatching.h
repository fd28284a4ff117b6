// Hatching that follows a surface in one view: evenly spaced strokes along its direction field, nested by
// tone (a darker tone adds strokes between and across those of the lighter ones), kept off the lines.
// Pure, no GL.
#pragma once

#include <vector>

#include "picture_field.h"
#include "surface.h"
#include "visible_lines.h"

// In the face picture's pixels.
struct SurfaceHatchingStyle {
  double strokeWidth = 1.0;  // the pen's
  double lineWidth = 0.0;    // the lines' that the strokes keep off
};

// The strokes that hatch what faces shows of surface in view, lit by light: for every tone a share of the
// area inked close to the hatching images' (about 5, 13, 26 and 47 % from bright to turned away), in
// families of streamlines along and across the direction field from hatchDirections. The strokes of a
// lighter tone run on unbroken through the darker ones, whose further strokes lie between and across them.
// Each stops where the surface or its tone ends, where the field turns or fades, near another stroke of its
// family, and half a stroke width clear of lines (each lineWidth wide); none is shorter than a sixteenth of
// the picture's larger side, but for those across a narrow part of the surface. Needs surface's normals
// (needNormals). Returns false, strokes empty, when memory ran out.
bool hatchSurface(const Surface& surface, const std::vector<Vec3>& directions, const FacePicture& faces,
                  const LineView& view, const HatchLight& light, const std::vector<Polyline>& lines,
                  const SurfaceHatchingStyle& style, std::vector<Polyline>& strokes);

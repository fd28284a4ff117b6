// Lines drawn as strokes of a given width with round joins and caps, from triangles only (GL 1.1).
#pragma once

#include <vector>

#include "tone.h"
#include "visible_lines.h"

// Draws lines in colour over the picture, no depth test, each point of them in picture coordinates of the
// viewport width x height (origin top-left, y down), the strokes width pixels wide: a quad along every
// segment and a disc at every point. Leaves the GL state as it found it.
void drawStrokes(const std::vector<Polyline>& lines, float width, int viewportWidth, int viewportHeight,
                 const Colour& colour);

// Lines drawn as strokes of a given width with round joins and caps, from triangles only (GL 1.1).
#pragma once

#include <vector>

#include "tone.h"
#include "visible_lines.h"

// Draws lines over the picture, no depth test, each point of them in picture coordinates of the viewport
// width x height (origin top-left, y down): first the hidden ones, dashed and grey, then the others in
// colour, the contours, creases and borders width pixels wide and the suggestive contours thinner (as
// visible_lines.h says), each stroke a quad along every segment, a disc at each end of an open line, and at
// every other point the wedge of a disc that the quads leave open where the line turns. Leaves the GL state
// as it found it.
void drawLines(const std::vector<Polyline>& lines, float width, int viewportWidth, int viewportHeight,
               const Colour& colour);

// Streamlines joined end to end where one stopped just short of where another goes on: the same line of
// hatching, broken where the field converged or a seed fell. Pure, no GL.
#pragma once

#include <cstdint>
#include <vector>

#include "visible_lines.h"

// A streamline as traced, with the spacing and the lightest tone of its pass.
struct TracedStroke {
  std::vector<LinePoint> points;  // at least two
  double separation;
  int lightestTone;
};

// What lies between two ends to be joined: passable(x, y, tone) says whether a stroke may run through the
// point (x, y) of the picture if it runs through tones from tone on.
struct GapRule {
  const std::vector<uint8_t>* clear;  // per pixel, 1 off the lines
  const std::vector<int8_t>* tones;   // per pixel, its tone (texture index), or kNoTone
  int width;
  int height;
};

// The strokes, those whose ends face each other joined into one: ends less than about half the finer
// stroke's separation apart, each end's direction pointing at the other and the two strokes going on in
// one direction, every point between them passable by gap's rule for both strokes' tones. Nearest ends are
// joined first, no end twice, and no chain closes on itself. Memory running out throws std::bad_alloc.
std::vector<std::vector<LinePoint>> joinFacingEnds(const std::vector<TracedStroke>& strokes,
                                                   const GapRule& gap);

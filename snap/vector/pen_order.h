// The order a pen plotter draws strokes in: little travel with the pen up, in time near-linear in their
// number.
#pragma once

#include <vector>

#include "hatching.h"
#include "visible_lines.h"

// Reorders lines for a pen that starts at the picture's origin. First each next line is the one with an end
// (a closed line: a point) nearest where the pen stands, turned round where its far end is the nearer, a
// closed one started at that point; the order given is kept instead when its travel is the shorter. Then
// 2-opt moves (a run of lines drawn in reverse order, each turned round) are made while they shorten the
// travel, within a budget of work proportional to the number of lines. Last, an open line that starts
// exactly where the one before it, of the same kind and open too, ends is joined to it. Lines without
// points are dropped; the rest keep their points in the same cyclic order. The pen-up travel (penTravel) is
// never longer than the greedy order's nor the given order's. About n log n in the number of lines, linear
// in their points.
void orderForPen(std::vector<Polyline>& lines);

// The same for straight strokes, which are turned round and reordered but never joined.
void orderForPen(std::vector<Stroke>& strokes);

// How far the pen travels up drawing lines in their order from the origin: from there to the first point,
// then from each line's last point (a closed line's first) to the next one's first.
double penTravel(const std::vector<Polyline>& lines);

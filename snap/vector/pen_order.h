// The order a pen plotter draws polylines in: each next one the nearest to where the pen stands.
#pragma once

#include <vector>

#include "visible_lines.h"

// Reorders lines so that each comes next when its nearer end is the closest to where the last one ended: an
// open line may be turned round, a closed one starts at its point nearest the pen. The first is the one
// nearest the picture's origin, or for up to 100 lines the one that gives the shortest travel. Lines
// without points are dropped; the rest keep their points in the same cyclic order. Quadratic in the
// number of lines (cubic up to 100).
void orderForPen(std::vector<Polyline>& lines);

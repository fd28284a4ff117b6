// The directions hatching strokes follow over a surface: per vertex, a line in its tangent plane. Pure, no
// GL.
#pragma once

#include <vector>

#include "surface.h"

// Per vertex of surface, a unit vector in its tangent plane, meaning a line (its sign says nothing): the
// principal direction of greatest curvature where the surface bends more one way than the other; where it
// is flat or bends alike every way (umbilic), the circles about the model's vertical (y) axis, or the x
// axis on faces that look up or down; then smoothed over the mesh, so that strong directions carry into
// the weak ones around them. Needs and makes the surface's curvatures. Returns false when memory ran out.
bool hatchDirections(Surface& surface, std::vector<Vec3>& directions);

// The smoothing radius (SurfaceOptions::smoothingRadius) of the surface the hatching is traced on: 6 % of
// model's size, which quiets a scan's noisy curvature, less on a mesh so fine that its vertices would
// together have more than about 16 million neighbours within it.
float hatchSmoothingRadius(const Model& model);

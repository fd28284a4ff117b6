// Shapes whose curvature is known, for measuring and testing what is drawn from a surface: a cylinder, an
// ellipsoid and a corrugated sheet, each wound counter-clockwise as seen from outside (from above for the
// sheet).
#pragma once

#include "poly_mesh.h"

// A cylinder about the y axis, centred at the origin: around segments round, along rings of quads up its
// side, each quad split in two; with caps, a fan closes each end. Needs around >= 3, along >= 1.
PolyMesh cylinder(float radius, float height, int around, int along, bool caps);

// The sphere subdivided levels times from the icosahedron, stretched to semi-axes a, b, c along x, y, z.
PolyMesh ellipsoid(float a, float b, float c, int levels);

// The square [-0.5, 0.5] x [-0.5, 0.5] of the x-z plane raised to y = amplitude sin(2 pi ridges x): ridges
// along z, as many as ridges across; columns x rows quads, each split in two. Needs columns, rows >= 1.
PolyMesh corrugatedSheet(int ridges, float amplitude, int columns, int rows);

// The hard edges of a mesh, found once: creases between faces that meet at a sharp angle and the border
// of an open surface, for drawing as lines beside the silhouette. Pure, no GL.
#pragma once

#include <cstdint>
#include <memory>

#include "model.h"

// A face with one or more of its edges to draw. Bit k of edgeMask stands for the edge from corner k to
// corner k + 1 (corner 2 to corner 0 for bit 2), the edge whose GL edge flag is given with corner k.
struct CreaseFace {
  int face;  // index into Model::faces
  uint8_t edgeMask;
};

struct CreaseEdges {
  std::unique_ptr<CreaseFace[]> faces;  // faceCount entries in ascending face order
  int faceCount = 0;
  // How many distinct edges of each kind are drawn. An edge shared by two faces appears in both faces' masks.
  int creases = 0;    // two faces whose normals differ by at least the angle
  int borders = 0;    // one face only
  int junctions = 0;  // three faces or more: sheets meeting, a fin or a doubled face
};

// Finds the edges of model to draw for creaseDegrees (0 draws every edge, 180 only folds flat onto
// themselves). Two faces share an edge when its two corners have the same positions, whether or not they
// are the same vertex records (-0 and +0 count as equal), so meshes with split corners get the same edges.
// The angle of two faces is measured as if they were wound alike, so one flipped face makes no lines.
// Faces of no area (two corners at one position, three in a row, or a position that is not finite)
// belong to no edge: they show nothing when drawn and would have no direction to compare.
// Returns false, with edges empty, when memory runs out or the model has more than INT_MAX / 3 faces.
// At worst n log n in the size of the model: it sorts the corners by position and the edges around each
// corner, and otherwise goes over the faces a few times.
bool findCreaseEdges(const Model& model, float creaseDegrees, CreaseEdges& edges);

// Writes for every vertex of model the first vertex (lowest index) at its position, into first
// (vertexCount entries), with -0 and +0 taken as equal: how the crease finder decides that faces meet.
// Returns false when memory runs out.
bool joinVerticesByPosition(const Model& model, int* first);

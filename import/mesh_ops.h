// Mesh maths the asset tools share: joining vertices, judging and setting the winding, turning and fitting.
#pragma once

#include <array>
#include <optional>

#include "poly_mesh.h"

enum class Winding { Clockwise, CounterClockwise };

struct Bounds {
  std::array<float, 3> min;
  std::array<float, 3> max;
};

// The axis-aligned box around all positions; all zeros for a mesh without positions.
Bounds boundsOf(const PolyMesh& mesh);

// Joins vertices at equal positions (0 and -0 count as equal), then drops the faces that collapse to a
// line or point and the vertices no face uses. Keeps the first vertex of each position, in order of first
// appearance, so the result is deterministic. Normals are dropped; compute them again afterwards.
void joinVertices(PolyMesh& mesh);

// Six times the volume the faces enclose, taken about the area-weighted centre of the surface: positive
// when the faces are wound counter-clockwise as seen from outside. Also meaningful for a mesh with holes,
// and near zero for a flat one, whose centre lies in its plane.
double signedVolume(const PolyMesh& mesh);

// The winding the mesh has as seen from outside, or none when it encloses no volume worth the name (a flat
// or empty mesh), where inside and outside cannot be told apart.
std::optional<Winding> windingOf(const PolyMesh& mesh);

// Reverses the corner order of every face.
void flipFaces(PolyMesh& mesh);

// Flips the faces when their winding is not the wanted one. Returns false, leaving the mesh as it is, when
// the winding cannot be judged (see windingOf).
bool orientFaces(PolyMesh& mesh, Winding wanted);

enum class Axis { X, Y, Z };

// Turns the mesh rigidly (no mirroring, so the winding is kept) so that the given axis points along +y.
// Exact: coordinates are only swapped and negated.
void turnUpAxis(PolyMesh& mesh, Axis up);

// Turns the mesh about the y or x axis by the given angle, right-handed.
void turnAboutY(PolyMesh& mesh, double degrees);
void turnAboutX(PolyMesh& mesh, double degrees);

// Moves the centre of the bounding box to the origin and scales the largest side of the box to 1.
// A mesh whose box has no extent is only moved.
void fitUnitBox(PolyMesh& mesh);

// Sets every vertex normal to the area-weighted mean of its faces' normals, pointing outward as judged by
// windingOf (for a flat mesh, along the right-hand normal of the given winding). A vertex whose faces
// cancel out gets the direction from the box centre, or +y when it sits at the centre.
void computeNormals(PolyMesh& mesh);

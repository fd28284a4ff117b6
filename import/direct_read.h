// Binary PLY and binary STL files read straight into the arrays, for the layouts where that gives exactly
// what assimp gives; every other file is left to assimp.
#pragma once

#include <string>
#include <string_view>

#include "poly_mesh.h"

// Reads bytes, the whole of the pre-checked file at path (see precheckMesh), into mesh when the direct
// readers take it, and then mesh (normals empty) is what readTriangles gives for the same file: the same
// positions in the same order, the same faces. They take:
// - a binary STL file named *.stl (any case): 84 bytes, then 50 for each of the at least one triangles
//   they declare, not starting with a Unicode byte order mark (which assimp would convert first);
// - a binary PLY file named *.ply (any case), with "ply" and its format on its first two lines, whose
//   elements are "vertex" (single values, among them one float each named x, y and z) and then "face" (a
//   list "vertex_indices" or "vertex_index" of 32-bit integers, and nothing else), both with instances,
//   every list of 3 vertices that exist; anything after the elements is ignored, as assimp ignores it.
// False, mesh emptied, for any other file.
bool readDirectly(const std::string& path, std::string_view bytes, PolyMesh& mesh);

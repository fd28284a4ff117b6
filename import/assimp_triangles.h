// The assimp edge: every triangle of a mesh file, read in this process. Untrusted; see contained.h.
#pragma once

#include <string>

#include "poly_mesh.h"

// Appends every triangle of every mesh in the file to mesh, in world space, each part's vertices as
// assimp gives them (not yet joined, no normals). Points and lines are skipped. False with assimp's
// reason, in one line, when it cannot read the file.
bool readTriangles(const std::string& path, PolyMesh& mesh, std::string& error);

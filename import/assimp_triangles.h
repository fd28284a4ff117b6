// The assimp edge: every triangle of a mesh file, read in this process. Untrusted; see contained.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "poly_mesh.h"

// A model file open for the import, and what the import may read besides it.
struct ModelSource {
  std::string path;  // as the user named it; assimp tells formats apart by its extension
  int fd = -1;       // open on the model file
  // Served in place of the file's first `replaced` bytes: a rewrite of a header assimp would misread.
  std::string start;
  std::uint64_t replaced = 0;
};

// Sets what source serves in place of the start of bytes, the model's whole file: where a binary PLY
// file's first element byte is a line feed after an end_header line ended by a bare line feed, assimp's
// reader would take that byte for part of the line end, so one more line feed is served there.
void prepareSource(std::string_view bytes, ModelSource& source);

// Appends every triangle of every mesh in the model to mesh, in world space, each part's vertices as
// assimp gives them (not yet joined, no normals). Points and lines are skipped. Every file assimp opens
// goes through a ModelFileSystem. False with one line of reason when it cannot read the model, when it
// names a file it may not read, or when a coordinate in it is not a finite number (checked before any
// processing step, which could merge or drop such a vertex).
bool readTriangles(const ModelSource& source, PolyMesh& mesh, std::string& error);

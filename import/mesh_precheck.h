// Checks a mesh file's bytes before assimp sees them. Assimp allocates what a header declares before it
// reads the elements, spins on some broken headers and quietly mends bad indices; this finds those cases.
#pragma once

#include <string>
#include <string_view>

// True when bytes raise none of these: a PLY file whose header is cut short or malformed, or whose
// elements cannot fit in the bytes after it; an OFF file declaring more vertices or faces than it holds,
// or a face without corners or whose corners are missing or name no vertex; a binary STL file whose triangle
// count only matches its size by overflowing. Other files pass. Tells formats apart by content, not by name.
// Else false with one line of reason. Reads nothing beyond bytes; linear in their size.
bool precheckMesh(std::string_view bytes, std::string& reason);

// Where the elements of a binary PLY file start, just after its end_header line; 0 when bytes do not start
// with a well-formed binary PLY header. Reads only the header.
size_t binaryPlyBody(std::string_view bytes);

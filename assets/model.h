// Triangle meshes read from ".poly" model files.
#pragma once

#include <cstddef>
#include <string_view>

struct ModelVertex {
  float x, y, z;
  // The fourth to sixth numbers of a vertex record; kept, never drawn.
  float extra[3];
};

struct ModelFace {
  // Zero-based positions in Model::vertices, in the file's (winding) order.
  int vertexIndex[3];
};

struct Model {
  ModelVertex* vertices;  // vertexCount elements, owned
  ModelFace* faces;       // faceCount elements, owned
  int vertexCount;
  int faceCount;
};

enum class PolyStatus { Ok, NotExpectedFormat };

struct PolyParse {
  Model* model;  // non-null exactly when status is Ok; the caller owns it
  PolyStatus status;
};

// Parses the text of a model file. Succeeds only for a file that holds exactly the declared numbers of
// vertex and face records, every number well formed and every face number in 1..vertexCount, so every
// slot of a returned model is filled and every index is valid. Never throws; allocation failure, a
// negative count or a count the text cannot hold is reported as NotExpectedFormat.
PolyParse parsePoly(std::string_view text);

// Fills buffer with up to size bytes of a model file's text and returns how many; 0 at its end (or on an
// error).
using PolyChunkReader = size_t (*)(void* source, char* buffer, size_t size);

// parsePoly for text that arrives in chunks (a pipe, a device). Reads only as far as the text is accepted,
// into a fixed 64 KiB buffer; the arrays grow with the records read, never past the declared counts. Gives
// what parsePoly gives for the whole text, except that a number longer than the buffer is refused.
PolyParse parsePolyChunks(PolyChunkReader read, void* source);

// parsePoly with the records after the header split at line starts into up to parts pieces (fewer where
// the text has fewer lines), each parsed on a thread of its own: the same result as parsePoly, which it
// falls back on where a piece fails (a record that spans the split, or text not of the expected format).
PolyParse parsePolyInPieces(std::string_view text, size_t parts);

// Reads and parses the file at path: a regular file read whole where it starts with the header, has no holes
// and fits in a quarter of the memory; anything else through parsePolyChunks.
// Returns a new Model, or null after writing one error line to standard output (could not load / not of
// expected format). A file cut short while it is read is parsed as far as it was read.
Model* loadModel(const char* path);

// loadModel with a file read whole parsed by parsePolyInPieces on up to threads threads, at most one a
// megabyte of text, for programs that may start threads (nprsnap); the viewer loads on its one thread.
Model* loadModelInParallel(const char* path, size_t threads);

// The cores the system has online, at least 1.
size_t processorCount();

// Releases the vertex array, the face array, then the record. Null is ignored.
void freeModel(Model* model);

// The plain model reader the fast loader is held to: formatted stream extraction, token by token.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "model.h"

// Reads a model the way loadModel documents, with `>> std::string` for tokens, `>> int` and `>> float` for
// numbers, and the same refusals, each decided from the stream's state: a number that leaves failbit set,
// a negative count, records fewer or more than declared, a face number outside 1..vertexCount, a token of
// 80 characters or more. The result is NotExpectedFormat with a null model, or Ok with a new Model.
PolyParse referenceReadPoly(std::istream& in);

// The same over text in memory.
PolyParse referenceParsePoly(std::string_view text);

// parsePolyChunks fed chunk bytes of text at a time, so that tokens and numbers straddle its reads.
PolyParse parsePolyInChunks(std::string_view text, size_t chunk);

// loadModel with a std::ifstream: the same console lines, the same result.
Model* referenceLoadModel(const char* path);

// Empty when a and b are both null, or hold the same counts and the same bytes in both arrays (so -0.0 and
// 0.0 differ, and so do two NaNs of different bits); otherwise a short account of the first difference.
std::string modelDifference(const Model* a, const Model* b);

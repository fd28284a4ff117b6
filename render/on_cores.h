// Work on every core: a range split into consecutive pieces, each done on a thread of its own.
#pragma once

#include <cstddef>

// At most this many pieces, whatever the machine.
constexpr size_t kMaxCorePieces = 16;

// How many pieces a range of count items is worth splitting into: one a core, and fewer where a piece
// would hold less than leastPerPiece items (a thread costs about as much to start as some work to do).
size_t piecesFor(size_t count, size_t leastPerPiece);

// Calls work(piece, begin, end) for each of pieces consecutive pieces of [0, count), the first on this
// thread and the others each on a thread of its own (in order on this thread, where one cannot start),
// and returns when every piece is done. pieces is 1 to kMaxCorePieces.
template <class Work>
void onCores(size_t count, size_t pieces, Work&& work);

namespace on_cores_detail {
using PieceFunction = void (*)(void* work, size_t piece, size_t begin, size_t end);
void run(size_t count, size_t pieces, PieceFunction function, void* work);
}  // namespace on_cores_detail

template <class Work>
void onCores(size_t count, size_t pieces, Work&& work) {
  on_cores_detail::run(
      count, pieces,
      [](void* w, size_t piece, size_t begin, size_t end) { (*static_cast<Work*>(w))(piece, begin, end); },
      &work);
}

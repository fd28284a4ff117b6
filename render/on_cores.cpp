// Pieces of work on threads of their own: POSIX threads, whose failure to start is a status, not an
// exception.
#include "on_cores.h"

#include <pthread.h>

#include <algorithm>

#include "model.h"

namespace {

struct Piece {
  on_cores_detail::PieceFunction function;
  void* work;
  size_t index, begin, end;
};

void* runPiece(void* argument) {
  const Piece& piece = *static_cast<const Piece*>(argument);
  piece.function(piece.work, piece.index, piece.begin, piece.end);
  return nullptr;
}

}  // namespace

size_t piecesFor(size_t count, size_t leastPerPiece) {
  const size_t worth = count / std::max<size_t>(leastPerPiece, 1);
  return std::clamp<size_t>(std::min(processorCount(), worth), 1, kMaxCorePieces);
}

void on_cores_detail::run(size_t count, size_t pieces, PieceFunction function, void* work) {
  pieces = std::clamp<size_t>(pieces, 1, kMaxCorePieces);
  Piece piece[kMaxCorePieces];
  pthread_t threads[kMaxCorePieces];
  bool started[kMaxCorePieces] = {};
  for (size_t i = 0; i < pieces; ++i) {
    piece[i] = {function, work, i, count / pieces * i + std::min(i, count % pieces),
                count / pieces * (i + 1) + std::min(i + 1, count % pieces)};
  }
  for (size_t i = 1; i < pieces; ++i) {
    started[i] = pthread_create(&threads[i], nullptr, runPiece, &piece[i]) == 0;
  }
  runPiece(&piece[0]);
  for (size_t i = 1; i < pieces; ++i) {
    if (started[i]) {
      pthread_join(threads[i], nullptr);
    } else {
      runPiece(&piece[i]);
    }
  }
}

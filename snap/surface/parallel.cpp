// Threads for the surface's passes: one range a core, started and joined per pass.
#include "parallel.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "model.h"

namespace {

// Fewer items than this a thread are not worth starting one for.
constexpr size_t kLeastPerThread = 2048;

}  // namespace

int parallelThreads() {
  return static_cast<int>(std::clamp<size_t>(processorCount(), 1, 64));
}

void parallelFor(size_t count, const std::function<void(size_t, size_t, int)>& work) {
  const size_t threads =
      std::clamp<size_t>(count / kLeastPerThread, 1, static_cast<size_t>(parallelThreads()));
  const size_t step = (count + threads - 1) / threads;
  std::vector<std::thread> started;
  for (size_t t = 1; t < threads; ++t) {
    const size_t begin = t * step, end = std::min(count, begin + step);
    try {
      started.reserve(threads);
      started.emplace_back(work, begin, end, static_cast<int>(t));
    } catch (const std::system_error&) {
      // No thread to be had: the range runs here, before the first, with the first one's number.
      work(begin, end, 0);
    } catch (const std::bad_alloc&) {
      work(begin, end, 0);
    }
  }
  work(0, std::min(step, count), 0);
  for (std::thread& thread : started) {
    thread.join();
  }
}

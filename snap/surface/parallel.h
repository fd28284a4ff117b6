// The surface's passes over faces and vertices spread over every core.
#pragma once

#include <cstddef>
#include <functional>

// How many threads parallelFor runs on: the cores online, at least 1.
int parallelThreads();

// Calls work(begin, end, thread) on consecutive ranges that together cover [0, count), each on one of up
// to parallelThreads() threads (the calling one among them; thread is its number, from 0), and returns
// when all are done. work must not throw. Runs everything on the calling thread when count is small or no
// thread can be started.
void parallelFor(size_t count, const std::function<void(size_t, size_t, int)>& work);

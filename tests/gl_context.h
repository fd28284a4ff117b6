// A real offscreen GL context for tests: Mesa through EGL, no window system needed.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstddef>
#include <vector>

#include "offscreen_context.h"

class GlContext : public OffscreenContext {
 public:
  using OffscreenContext::OffscreenContext;

  // The colour buffer as RGB bytes, bottom row first.
  std::vector<unsigned char> readPixels() const;
  std::array<unsigned char, 3> pixel(int x, int y) const;
};

// A real offscreen GL context for tests: Mesa through EGL, no window system needed.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstddef>
#include <vector>

class GlContext {
 public:
  // Creates a compatibility-profile context with an RGBA8 + depth pbuffer of the given size and makes it
  // current. ok() says whether that worked.
  GlContext(int width, int height);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  bool ok() const { return ok_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // The colour buffer as RGB bytes, bottom row first.
  std::vector<unsigned char> readPixels() const;
  std::array<unsigned char, 3> pixel(int x, int y) const;

 private:
  void* display_ = nullptr;
  void* surface_ = nullptr;
  void* context_ = nullptr;
  int width_, height_;
  bool ok_ = false;
};

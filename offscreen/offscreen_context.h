// A desktop OpenGL context that draws into an offscreen EGL surface: no window system, no X server.
#pragma once

#include <string>

#include "rgb_image.h"

// Makes two renderbuffers of the given size, colour (RGBA8) and depth (24 bits), and attaches them to the
// framebuffer bound now; their names go to renderbuffers, for the caller to delete. Leaves no renderbuffer
// bound.
void attachColourAndDepth(unsigned (&renderbuffers)[2], int width, int height);

class OffscreenContext {
 public:
  // Creates a compatibility-profile context, makes it current with an RGBA8 + 24-bit depth framebuffer of
  // the given size bound, and sets the viewport to all of it. ok() says whether that worked, error() why not;
  // tooLarge() that the size is beyond what the GL driver draws.
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  bool tooLarge() const { return tooLarge_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Waits for drawing to finish and returns the colour buffer, top row first, each blockSide x blockSide
  // block of it averaged into one pixel (rounded to nearest). Empty unless blockSide divides both sides.
  // withAlpha also returns the alpha channel, each block's colour then the average weighted by alpha.
  RgbImage readImage(int blockSide = 1, bool withAlpha = false) const;

 private:
  void fail(const char* what);
  bool createFramebuffer();

  void* display_ = nullptr;
  void* surface_ = nullptr;
  void* context_ = nullptr;
  unsigned framebuffer_ = 0;
  unsigned renderbuffers_[2] = {0, 0};
  int width_, height_;
  bool ok_ = false;
  bool tooLarge_ = false;
  std::string error_;
};

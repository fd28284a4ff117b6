// A desktop OpenGL context that draws into an offscreen EGL surface: no window system, no X server.
#pragma once

#include <string>

#include "rgb_image.h"

class OffscreenContext {
 public:
  // Creates a compatibility-profile context with an RGBA8 + 24-bit depth pbuffer of the given size, makes
  // it current and sets the viewport to the whole surface. ok() says whether that worked, error() why not.
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Waits for drawing to finish and returns the colour buffer, top row first.
  RgbImage readImage() const;

 private:
  void fail(const char* what);

  void* display_ = nullptr;
  void* surface_ = nullptr;
  void* context_ = nullptr;
  int width_, height_;
  bool ok_ = false;
  std::string error_;
};

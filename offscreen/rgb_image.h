// An 8-bit RGB picture in memory, with or without alpha, the form in which offscreen frames are read back
// and PNG files read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width x height x 3 bytes, top row first
  // Empty for an opaque picture; else its opacity, width x height bytes, top row first, rgb then holding
  // each pixel's colour as it is without the opacity applied. Initialised, so that a picture built as
  // {width, height, rgb} is complete.
  std::vector<uint8_t> alpha{};

  bool empty() const { return rgb.empty(); }
  // The first of the three bytes of pixel (x, y), y counted from the top.
  const uint8_t* at(int x, int y) const {
    return rgb.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  }
};

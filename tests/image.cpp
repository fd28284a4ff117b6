// Pixel access, colour comparison and the shared measurements of screenshots.
#include "image.h"

#include <algorithm>
#include <cstdlib>

Rgb Image::at(int x, int y) const {
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool near(const Rgb& actual, const Rgb& expected, int slack) {
  for (size_t i = 0; i < 3; ++i) {
    if (std::abs(int(actual[i]) - int(expected[i])) > slack) {
      return false;
    }
  }
  return true;
}

Extent foregroundExtent(const Image& image) {
  Extent e{image.width, -1, image.height, -1};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (!near(image.at(x, y), kBackground)) {
        e = {std::min(e.left, x), std::max(e.right, x), std::min(e.top, y), std::max(e.bottom, y)};
      }
    }
  }
  return e;
}

int outlineWidthOnRow(const Image& image, int y) {
  int x = 0;
  while (x < image.width && near(image.at(x, y), kBackground)) {
    ++x;
  }
  int run = 0;
  for (; x < image.width && near(image.at(x, y), kBlack); ++x) {
    ++run;
  }
  return run;
}

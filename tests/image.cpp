// Pixel access and colour comparison for screenshots.
#include "image.h"

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

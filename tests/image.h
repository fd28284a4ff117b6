// RGB images read back from the real program's window, and the few measurements the tests make on them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Rgb = std::array<uint8_t, 3>;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top row first

  Rgb at(int x, int y) const;
  bool empty() const { return rgb.empty(); }
};

// True when every channel is within slack of the colour.
bool near(const Rgb& actual, const Rgb& expected, int slack = 1);

constexpr Rgb kBackground{115, 128, 153};
constexpr Rgb kBlack{0, 0, 0};

// The horizontal and vertical extent of everything that is not background.
struct Extent {
  int left, right, top, bottom;
  int width() const { return right - left + 1; }
};
Extent foregroundExtent(const Image& image);

// Width of the black run that starts where row y first leaves the background, scanning from the left.
int outlineWidthOnRow(const Image& image, int y);

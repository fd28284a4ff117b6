// BMP files in tests: their bytes, and their pixels decoded without the loader's console lines.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bitmap.h"

using Bytes = std::vector<unsigned char>;

inline Bytes readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A decoded image owning its buffer; the record is defined before the decode, as the texture set does.
struct DecodedBmp {
  BitmapImage image{0, 0, nullptr};
  BmpStatus status;
  explicit DecodedBmp(const Bytes& file) : status(decodeBmp(file.data(), file.size(), image).status) {}
  ~DecodedBmp() { std::free(image.pixels); }
  DecodedBmp(const DecodedBmp&) = delete;
  DecodedBmp& operator=(const DecodedBmp&) = delete;
  Bytes rgba(size_t from, size_t count) const {
    return Bytes(image.pixels + from, image.pixels + from + count);
  }
  // Every pixel as RGBA, bottom row first; empty unless the whole image was read.
  Bytes rgba() const {
    return status == BmpStatus::Ok ? rgba(0, size_t{image.width} * image.height * 4) : Bytes{};
  }
};

// Reading PPM screenshots.
#include "image.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

bool readHeaderNumber(FILE* file, int& value) {
  int c = std::fgetc(file);
  while (c == '#' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
    if (c == '#') {
      while (c != '\n' && c != EOF) {
        c = std::fgetc(file);
      }
    }
    c = std::fgetc(file);
  }
  if (c < '0' || c > '9') {
    return false;
  }
  value = 0;
  while (c >= '0' && c <= '9') {
    value = value * 10 + (c - '0');
    c = std::fgetc(file);
  }
  return true;  // the single whitespace after the number has been consumed
}

}  // namespace

Rgb Image::at(int x, int y) const {
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

Image readPpm(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  Image image;
  int maxValue = 0;
  if (!file || std::fgetc(file.get()) != 'P' || std::fgetc(file.get()) != '6' ||
      !readHeaderNumber(file.get(), image.width) || !readHeaderNumber(file.get(), image.height) ||
      !readHeaderNumber(file.get(), maxValue) || (maxValue != 255 && maxValue != 65535)) {
    return {};
  }
  const size_t samples = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
  // ImageMagick writes 16-bit samples (most significant byte first); keep the high byte.
  const size_t bytesPerSample = maxValue == 255 ? 1 : 2;
  std::vector<uint8_t> raw(samples * bytesPerSample);
  if (std::fread(raw.data(), 1, raw.size(), file.get()) != raw.size()) {
    return {};
  }
  image.rgb.resize(samples);
  for (size_t i = 0; i < samples; ++i) {
    image.rgb[i] = raw[i * bytesPerSample];
  }
  return image;
}

bool near(const Rgb& actual, const Rgb& expected, int slack) {
  for (size_t i = 0; i < 3; ++i) {
    if (std::abs(int(actual[i]) - int(expected[i])) > slack) {
      return false;
    }
  }
  return true;
}

// PNG reading and writing with libpng's simplified interface, which reports errors without longjmp
// reaching our frames; the file is written with writeOutputFile.
#include "png_file.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "output_file.h"

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
  const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  if (image.width <= 0 || image.height <= 0 || image.rgb.size() != pixels * 3 ||
      (!image.alpha.empty() && image.alpha.size() != pixels)) {
    error = "image is empty or its size does not match its pixels";
    return false;
  }
  // libpng takes the channels of a pixel side by side.
  std::vector<uint8_t> rgba;
  if (!image.alpha.empty()) {
    rgba.resize(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
      std::copy_n(&image.rgb[i * 3], 3, &rgba[i * 4]);
      rgba[i * 4 + 3] = image.alpha[i];
    }
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = rgba.empty() ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
  // Encoded whole in memory first, so the file is written only once there is a picture to put in it. The
  // buffer is libpng's own bound on the encoded size, so one pass always fits.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
  std::string encoded(size, '\0');
  if (!png_image_write_to_memory(&png, encoded.data(), &size, 0,
                                 rgba.empty() ? image.rgb.data() : rgba.data(), 0, nullptr)) {
    error = png.message;
    return false;
  }
  encoded.resize(size);
  return writeOutputFile(path, encoded, error);
}

bool readPng(const std::string& path, RgbImage& image, std::string& error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    error = png.message;
    return false;
  }
  const bool withAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  RgbImage read;
  read.width = static_cast<int>(png.width);
  read.height = static_cast<int>(png.height);
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    error = png.message;
    png_image_free(&png);
    return false;
  }
  if (withAlpha) {
    const size_t count = pixels.size() / 4;
    read.rgb.resize(count * 3);
    read.alpha.resize(count);
    for (size_t i = 0; i < count; ++i) {
      std::copy_n(&pixels[i * 4], 3, &read.rgb[i * 3]);
      read.alpha[i] = pixels[i * 4 + 3];
    }
  } else {
    read.rgb = std::move(pixels);
  }
  image = std::move(read);
  return true;
}

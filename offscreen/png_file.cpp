// PNG reading and writing with libpng's simplified interface, which reports errors without longjmp
// reaching our frames; the file is written with writeOutputFile.
#include "png_file.h"

#include <png.h>

#include <cstring>
#include <utility>

#include "output_file.h"

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
  const size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
  if (image.width <= 0 || image.height <= 0 || image.rgb.size() != expected) {
    error = "image is empty or its size does not match its pixels";
    return false;
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  // Encoded whole in memory first, so the file is written only once there is a picture to put in it. The
  // buffer is libpng's own bound on the encoded size, so one pass always fits.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
  std::string encoded(size, '\0');
  if (!png_image_write_to_memory(&png, encoded.data(), &size, 0, image.rgb.data(), 0, nullptr)) {
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
  png.format = PNG_FORMAT_RGB;
  RgbImage read;
  read.width = static_cast<int>(png.width);
  read.height = static_cast<int>(png.height);
  read.rgb.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, read.rgb.data(), 0, nullptr)) {
    error = png.message;
    png_image_free(&png);
    return false;
  }
  image = std::move(read);
  return true;
}

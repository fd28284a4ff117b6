// PNG reading and writing with libpng's simplified interface, which reports errors without longjmp
// reaching our frames; the file is written through an OutputFile as libpng encodes it.
#include "png_file.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "output_file.h"

namespace {

// Where the stream libpng writes to hands its bytes: a failure stays in the file, which reports it.
ssize_t writeToOutput(void* file, const char* bytes, size_t size) {
  return static_cast<OutputFile*>(file)->write(std::string_view(bytes, size)) ? static_cast<ssize_t>(size)
                                                                              : 0;
}

}  // namespace

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
  OutputFile file;
  if (!file.open(path)) {
    error = file.error();
    return false;
  }
  // Encoded row by row into a stream buffer, so memory holds the picture and a little more, never a
  // worst-case encoding of it.
  cookie_io_functions_t functions{};
  functions.write = writeToOutput;
  std::FILE* stream = ::fopencookie(&file, "w", functions);
  if (!stream) {
    error = "no memory for a stream buffer";
    return false;
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = rgba.empty() ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
  const bool encoded =
      png_image_write_to_stdio(&png, stream, 0, rgba.empty() ? image.rgb.data() : rgba.data(), 0, nullptr);
  const bool flushed = std::fclose(stream) == 0;
  if (encoded && flushed && file.commit()) {
    return true;
  }
  // The file's own reason (a full disk, a closed pipe) says more than libpng's report of it.
  error = !file.error().empty() ? file.error()
          : !encoded            ? std::string(png.message)
                                : "cannot flush the stream";
  return false;
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

// PNG reading and writing with libpng's simplified interface, which reports errors without longjmp
// reaching our frames; the file is written through an OutputFile as libpng encodes it.
#include "png_file.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "output_file.h"

namespace {

// Where the stream libpng writes to hands its bytes: a failure stays in the file, which reports it.
ssize_t writeToOutput(void* file, const char* bytes, size_t size) {
  return static_cast<OutputFile*>(file)->write(std::string_view(bytes, size)) ? static_cast<ssize_t>(size)
                                                                              : 0;
}

}  // namespace

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
  const size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
  if (image.width <= 0 || image.height <= 0 || image.rgb.size() != expected) {
    error = "image is empty or its size does not match its pixels";
    return false;
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
  png.format = PNG_FORMAT_RGB;
  const bool encoded = png_image_write_to_stdio(&png, stream, 0, image.rgb.data(), 0, nullptr);
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

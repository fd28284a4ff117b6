// The hatching texture set: the four images are read first, then handed to GL and released.
#include "hatch_textures.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bitmap.h"
#include "data_files.h"

const char* const kHatchImagePaths[4] = {"data/xhatch1.bmp", "data/xhatch2.bmp", "data/xhatch3.bmp",
                                         "data/xhatch4.bmp"};

namespace {

// The largest side of a hatching image this GL context takes for a texture: a larger image is refused
// before it is read.
uint32_t textureSideLimit() {
  GLint limit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  return std::min<uint32_t>(kMaxHatchImageSide, limit > 0 ? static_cast<uint32_t>(limit) : kAnySide);
}

// The image at half the size, each pixel the rounded mean of the two by two it covers. Returns an image
// without pixels when image is 1 texel wide or high, or when the buffer cannot be had.
BitmapImage halved(const BitmapImage& image) {
  BitmapImage half{image.width / 2, image.height / 2, nullptr};
  if (half.width == 0 || half.height == 0) {
    return {0, 0, nullptr};
  }
  half.pixels = static_cast<unsigned char*>(std::malloc(size_t{half.width} * half.height * 4));
  if (!half.pixels) {
    return {0, 0, nullptr};
  }
  const size_t row = size_t{image.width} * 4;
  for (uint32_t y = 0; y < half.height; ++y) {
    for (uint32_t x = 0; x < half.width; ++x) {
      const unsigned char* from = image.pixels + 2 * y * row + 2 * x * 4;
      unsigned char* to = half.pixels + (size_t{y} * half.width + x) * 4;
      for (int c = 0; c < 4; ++c) {
        to[c] =
            static_cast<unsigned char>((from[c] + from[c + 4] + from[row + c] + from[row + c + 4] + 2) / 4);
      }
    }
  }
  return half;
}

// Uploads every level of texture index to the bound texture, down to 1 by 1; nothing when level 0 is
// missing. Each image is released once GL has its copy.
void uploadMipChain(int index) {
  const uint32_t sideLimit = textureSideLimit();
  BitmapImage image{0, 0, nullptr};
  for (int level = 0;; ++level) {
    const uint32_t side = static_cast<uint32_t>(kHatchImageSize >> level);
    BitmapImage next{0, 0, nullptr};
    if (level < kHatchDrawnLevels) {
      const std::string path = dataFilePath(hatchLevelPath(index, level));
      if (!loadBitmap(path.c_str(), next, sideLimit) || next.width != side || next.height != side) {
        std::free(next.pixels);
        next = {0, 0, nullptr};
      }
    }
    if (!next.pixels && level > 0 && image.pixels) {
      next = halved(image);
    }
    std::free(image.pixels);
    image = next;
    if (!image.pixels) {
      return;
    }
    glTexImage2D(GL_TEXTURE_2D, level, 3, static_cast<GLsizei>(image.width),
                 static_cast<GLsizei>(image.height), 0, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels);
    if (side == 1) {
      std::free(image.pixels);
      return;
    }
  }
}

}  // namespace

void createHatchTextures(GLuint names[4]) {
  // Defined before each load: a file that cannot be opened leaves the record as it is, and the release
  // below frees whatever pixels holds.
  BitmapImage images[4] = {};
  int loaded[4];
  const uint32_t sideLimit = textureSideLimit();
  for (int i = 0; i < 4; ++i) {
    loaded[i] = loadBitmap(dataFilePath(kHatchImagePaths[i]).c_str(), images[i], sideLimit);
  }

  glGenTextures(4, names);
  for (int i = 0; i < 4; ++i) {
    glBindTexture(GL_TEXTURE_2D, names[i]);
    // After a failed load the record may hold sizes from the file with no pixels, so only a complete image
    // reaches GL; the others stay without an image and show white.
    if (loaded[i]) {
      glTexImage2D(GL_TEXTURE_2D, 0, 3, static_cast<GLsizei>(images[i].width),
                   static_cast<GLsizei>(images[i].height), 0, GL_RGBA, GL_UNSIGNED_BYTE, images[i].pixels);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
  }

  for (BitmapImage& image : images) {
    std::free(image.pixels);
  }
}

std::string hatchLevelPath(int index, int level) {
  const std::string path = kHatchImagePaths[index];
  if (level == 0) {
    return path;
  }
  return path.substr(0, path.size() - 4) + "-" + std::to_string(kHatchImageSize >> level) + ".bmp";
}

void createSurfaceHatchTextures(GLuint names[4]) {
  glGenTextures(4, names);
  for (int i = 0; i < 4; ++i) {
    glBindTexture(GL_TEXTURE_2D, names[i]);
    uploadMipChain(i);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, -0.5f);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}

// The hatching texture set: the four images are read first, then handed to GL and released.
#include "hatch_textures.h"

#include <cstdlib>

#include "bitmap.h"

const char* const kHatchImagePaths[4] = {"data/xhatch1.bmp", "data/xhatch2.bmp", "data/xhatch3.bmp",
                                         "data/xhatch4.bmp"};

void createHatchTextures(GLuint names[4]) {
  // Defined before each load: a file that cannot be opened leaves the record as it is, and the release
  // below frees whatever pixels holds.
  BitmapImage images[4] = {};
  int loaded[4];
  for (int i = 0; i < 4; ++i) {
    loaded[i] = loadBitmap(kHatchImagePaths[i], images[i]);
  }

  glGenTextures(4, names);
  for (int i = 0; i < 4; ++i) {
    glBindTexture(GL_TEXTURE_2D, names[i]);
    // After a failed load the record may hold sizes from the file with no pixels, or a buffer only partly
    // read, so only a complete image reaches GL; the others stay without an image and show white.
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

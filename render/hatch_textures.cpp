// The hatching texture set. Images come later; for now the four names exist without images.
#include "hatch_textures.h"

void createHatchTextures(GLuint names[4]) {
  glGenTextures(4, names);
  glBindTexture(GL_TEXTURE_2D, 0);
}

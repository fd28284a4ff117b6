// Reading the test context's pixels in GL's own order, bottom row first.
#include "gl_context.h"

std::vector<unsigned char> GlContext::readPixels() const {
  std::vector<unsigned char> rgb(static_cast<size_t>(width()) * static_cast<size_t>(height()) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width(), height(), GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

std::array<unsigned char, 3> GlContext::pixel(int x, int y) const {
  std::array<unsigned char, 3> rgb{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

// EGL set-up that works on Mesa without a display (surfaceless platform) and on a GPU driver's EGL
// (device platform, else the default display). The picture is drawn into a framebuffer object: EGL
// pbuffers are held to a smaller size (4096 on Mesa) than the GL driver can draw.
#include "offscreen_context.h"

#define GL_GLEXT_PROTOTYPES
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool hasExtension(const char* extensions, const char* name) {
  if (!extensions) {
    return false;
  }
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(extensions, name); at; at = std::strstr(at + 1, name)) {
    const bool starts = at == extensions || at[-1] == ' ';
    const bool ends = at[length] == ' ' || at[length] == '\0';
    if (starts && ends) {
      return true;
    }
  }
  return false;
}

// The displays to try, best first. Mesa's surfaceless platform needs neither X nor a GPU; a driver without
// it usually offers its devices; the default display is the last resort.
std::vector<EGLDisplay> candidateDisplays() {
  std::vector<EGLDisplay> displays;
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay && hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    displays.push_back(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
  }
  auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  if (getPlatformDisplay && queryDevices && hasExtension(clientExtensions, "EGL_EXT_platform_device")) {
    EGLDeviceEXT devices[8];
    EGLint count = 0;
    if (queryDevices(8, devices, &count)) {
      for (EGLint i = 0; i < count; ++i) {
        displays.push_back(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr));
      }
    }
  }
  displays.push_back(eglGetDisplay(EGL_DEFAULT_DISPLAY));
  return displays;
}

bool hasGlExtension(const char* name) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const auto* extension =
        reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
    if (extension && std::strcmp(extension, name) == 0) {
      return true;
    }
  }
  return false;
}

// Averages each blockSide x blockSide block of the RGBA strip (width pixels wide, blockSide rows) into
// one pixel of rgb and alpha, weighting each colour by its alpha: a block half covered by the model takes
// the model's colour at half opacity, not a colour darkened by the empty pixels' black. sums holds four
// zeroed counters per block.
void averagePremultiplied(const uint8_t* strip, int width, int blockSide, std::vector<uint32_t>& sums,
                          uint8_t* rgb, uint8_t* alpha) {
  const size_t side = static_cast<size_t>(blockSide);
  for (size_t y = 0; y < side; ++y) {
    const uint8_t* in = strip + y * static_cast<size_t>(width) * 4;
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
      uint32_t* sum = &sums[x / side * 4];
      const uint32_t a = in[x * 4 + 3];
      sum[0] += in[x * 4] * a;
      sum[1] += in[x * 4 + 1] * a;
      sum[2] += in[x * 4 + 2] * a;
      sum[3] += a;
    }
  }
  const uint32_t count = static_cast<uint32_t>(side * side);
  for (size_t block = 0; block < sums.size() / 4; ++block) {
    const uint32_t* sum = &sums[block * 4];
    for (size_t c = 0; c < 3; ++c) {
      rgb[block * 3 + c] = static_cast<uint8_t>(sum[3] == 0 ? 0 : (sum[c] + sum[3] / 2) / sum[3]);
    }
    alpha[block] = static_cast<uint8_t>((sum[3] + count / 2) / count);
  }
}

}  // namespace

OffscreenContext::OffscreenContext(int width, int height) : width_(width), height_(height) {
  if (width <= 0 || height <= 0) {
    fail("the surface needs a positive width and height");
    return;
  }
  EGLDisplay display = EGL_NO_DISPLAY;
  for (EGLDisplay candidate : candidateDisplays()) {
    if (candidate != EGL_NO_DISPLAY && eglInitialize(candidate, nullptr, nullptr)) {
      display = candidate;
      break;
    }
  }
  if (display == EGL_NO_DISPLAY) {
    fail("no EGL display could be opened");
    return;
  }
  display_ = display;
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_ALPHA_SIZE,
                                     8,
                                     EGL_DEPTH_SIZE,
                                     24,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
    fail("EGL offers no RGBA8 + depth pbuffer config for desktop OpenGL");
    return;
  }
  // Only to make the context current on drivers without surfaceless contexts; nothing is drawn into it.
  const EGLint surfaceAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
  if (surface_ == EGL_NO_SURFACE) {
    fail("the pbuffer surface could not be created");
    return;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    fail("EGL does not offer desktop OpenGL");
    return;
  }
  // No attributes: the default is a compatibility context, which the immediate-mode renderer needs.
  context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context_ == EGL_NO_CONTEXT) {
    fail("the OpenGL context could not be created");
    return;
  }
  if (!eglMakeCurrent(display, surface_, surface_, context_)) {
    fail("the OpenGL context could not be made current");
    return;
  }
  ok_ = createFramebuffer();
  if (ok_) {
    glViewport(0, 0, width, height);
  }
}

void attachColourAndDepth(unsigned (&renderbuffers)[2], int width, int height) {
  glGenRenderbuffers(2, renderbuffers);
  const GLenum formats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT24};
  const GLenum attachments[2] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
  for (int i = 0; i < 2; ++i) {
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[i]);
    glRenderbufferStorage(GL_RENDERBUFFER, formats[i], width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachments[i], GL_RENDERBUFFER, renderbuffers[i]);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

bool OffscreenContext::createFramebuffer() {
  GLint viewport[2] = {0, 0};
  GLint renderbuffer = 0;
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
  const int maxWidth = std::min(viewport[0], renderbuffer);
  const int maxHeight = std::min(viewport[1], renderbuffer);
  if (width_ > maxWidth || height_ > maxHeight) {
    tooLarge_ = true;
    error_ = "the GL driver draws at most " + std::to_string(maxWidth) + "x" + std::to_string(maxHeight) +
             ", not " + std::to_string(width_) + "x" + std::to_string(height_);
    return false;
  }
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  // Mesa stores a window's rows top first and rasterises into it that way, which moves the odd edge or
  // texture-sample pixel; the same order here gives the window's pixels exactly.
  if (hasGlExtension("GL_MESA_framebuffer_flip_y")) {
    glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
  }
  attachColourAndDepth(renderbuffers_, width_, height_);
  // Out of memory shows here for a size the driver allows but cannot hold.
  const GLenum error = glGetError();
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (error != GL_NO_ERROR || status != GL_FRAMEBUFFER_COMPLETE) {
    char code[64];
    std::snprintf(code, sizeof code, " (GL error 0x%04X, status 0x%04X)", error, status);
    error_ =
        "no " + std::to_string(width_) + "x" + std::to_string(height_) + " framebuffer could be made" + code;
    return false;
  }
  return true;
}

OffscreenContext::~OffscreenContext() {
  if (!display_) {
    return;
  }
  if (framebuffer_) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteRenderbuffers(2, renderbuffers_);
  }
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_ != EGL_NO_CONTEXT) {
    eglDestroyContext(display_, context_);
  }
  if (surface_ != EGL_NO_SURFACE) {
    eglDestroySurface(display_, surface_);
  }
  eglTerminate(display_);
}

void OffscreenContext::fail(const char* what) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
  error_ = std::string(what) + " (EGL error " + code + ")";
}

RgbImage OffscreenContext::readImage(int blockSide, bool withAlpha) const {
  RgbImage image;
  if (!ok_ || blockSide < 1 || width_ % blockSide != 0 || height_ % blockSide != 0) {
    return image;
  }
  image.width = width_ / blockSide;
  image.height = height_ / blockSide;
  const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  image.rgb.resize(pixels * 3);
  if (withAlpha) {
    image.alpha.resize(pixels);
  }
  // One row of blocks at a time, so a large surface never has a second copy in memory.
  const size_t channels = withAlpha ? 4 : 3;
  const size_t rowBytes = static_cast<size_t>(width_) * channels;
  std::vector<uint8_t> strip(rowBytes * static_cast<size_t>(blockSide));
  std::vector<uint32_t> sums(static_cast<size_t>(image.width) * channels);
  const uint32_t count = static_cast<uint32_t>(blockSide) * static_cast<uint32_t>(blockSide);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  for (int row = 0; row < image.height; ++row) {
    // GL counts rows from the bottom; pictures are stored from the top.
    glReadPixels(0, (image.height - 1 - row) * blockSide, width_, blockSide, withAlpha ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, strip.data());
    std::fill(sums.begin(), sums.end(), 0u);
    const size_t firstPixel = static_cast<size_t>(row) * static_cast<size_t>(image.width);
    if (withAlpha) {
      averagePremultiplied(strip.data(), width_, blockSide, sums, image.rgb.data() + firstPixel * 3,
                           image.alpha.data() + firstPixel);
      continue;
    }
    for (int y = 0; y < blockSide; ++y) {
      const uint8_t* in = strip.data() + static_cast<size_t>(y) * rowBytes;
      for (size_t x = 0; x < static_cast<size_t>(width_); ++x) {
        uint32_t* sum = &sums[x / static_cast<size_t>(blockSide) * 3];
        sum[0] += in[x * 3];
        sum[1] += in[x * 3 + 1];
        sum[2] += in[x * 3 + 2];
      }
    }
    uint8_t* out = image.rgb.data() + firstPixel * 3;
    for (size_t i = 0; i < sums.size(); ++i) {
      out[i] = static_cast<uint8_t>((sums[i] + count / 2) / count);
    }
  }
  return image;
}

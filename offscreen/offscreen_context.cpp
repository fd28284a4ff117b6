// EGL set-up that works on Mesa without a display (surfaceless platform) and on a GPU driver's EGL
// (device platform, else the default display), always with a pbuffer surface.
#include "offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

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
  EGLint maxWidth = 0;
  EGLint maxHeight = 0;
  eglGetConfigAttrib(display, config, EGL_MAX_PBUFFER_WIDTH, &maxWidth);
  eglGetConfigAttrib(display, config, EGL_MAX_PBUFFER_HEIGHT, &maxHeight);
  if ((maxWidth > 0 && width > maxWidth) || (maxHeight > 0 && height > maxHeight)) {
    error_ = "the size exceeds EGL's largest pbuffer, " + std::to_string(maxWidth) + "x" +
             std::to_string(maxHeight);
    return;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
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
  glViewport(0, 0, width, height);
  ok_ = true;
}

OffscreenContext::~OffscreenContext() {
  if (!display_) {
    return;
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

RgbImage OffscreenContext::readImage() const {
  RgbImage image;
  if (!ok_) {
    return image;
  }
  image.width = width_;
  image.height = height_;
  const size_t rowBytes = static_cast<size_t>(width_) * 3;
  std::vector<uint8_t> bottomUp(rowBytes * static_cast<size_t>(height_));
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  // GL counts rows from the bottom; pictures are stored from the top.
  image.rgb.resize(bottomUp.size());
  for (int y = 0; y < height_; ++y) {
    std::memcpy(image.rgb.data() + static_cast<size_t>(y) * rowBytes,
                bottomUp.data() + static_cast<size_t>(height_ - 1 - y) * rowBytes, rowBytes);
  }
  return image;
}

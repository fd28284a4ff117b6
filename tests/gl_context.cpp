// EGL on Mesa's surfaceless platform: a pbuffer and a desktop GL compatibility context.
#include "gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

GlContext::GlContext(int width, int height) : width_(width), height_(height) {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    return;
  }
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
    return;
  }
  display_ = display;
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                     EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                     EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
    return;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
  if (surface_ == EGL_NO_SURFACE || !eglBindAPI(EGL_OPENGL_API)) {
    return;
  }
  context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context_ == EGL_NO_CONTEXT) {
    return;
  }
  ok_ = eglMakeCurrent(display, surface_, surface_, context_) == EGL_TRUE;
  glViewport(0, 0, width, height);
}

GlContext::~GlContext() {
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

std::vector<unsigned char> GlContext::readPixels() const {
  std::vector<unsigned char> rgb(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

std::array<unsigned char, 3> GlContext::pixel(int x, int y) const {
  std::array<unsigned char, 3> rgb{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

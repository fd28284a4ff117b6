// The label passes: the fill pass's faces in flat labels (their tones or numbers) instead of colours.
// Before any GL header: the framebuffer functions are declared only then.
#define GL_GLEXT_PROTOTYPES
#include "tone_labels.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "frame.h"
#include "offscreen_context.h"
#include "tone.h"

namespace {

constexpr long long kMaxLabelPixels = 16LL << 20;
// The label pass's fill at most, counted as each outer face's area: a deep stack of large faces costs as
// much as this at the picture's own size, and its regions are no finer at four times it.
constexpr double kMaxLabelFragments = 256.0 * (1 << 20);
constexpr int kPreferredScale = 4;

// A framebuffer with colour and depth of its own, bound while it lives; the one bound before comes back.
class LabelFramebuffer {
 public:
  LabelFramebuffer(int width, int height) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    attachColourAndDepth(renderbuffers_, width, height);
    complete_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  ~LabelFramebuffer() {
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous_));
    glDeleteRenderbuffers(2, renderbuffers_);
    glDeleteFramebuffers(1, &framebuffer_);
  }
  LabelFramebuffer(const LabelFramebuffer&) = delete;
  LabelFramebuffer& operator=(const LabelFramebuffer&) = delete;
  bool complete() const { return complete_; }

 private:
  GLint previous_ = 0;
  GLuint framebuffer_ = 0;
  GLuint renderbuffers_[2] = {0, 0};
  bool complete_ = false;
};

// The fixed state of every label pass: nothing blended, dithered or textured, so each pixel holds its
// label exactly; the outer side filled, the inner side culled. The fill pass draws the inner side in lines
// only, so through an opening the picture shows what lies behind; culled here, the inner side leaves that
// to the labels behind it.
void enterLabelState(bool reversedWinding) {
  glDisable(GL_BLEND);
  glDisable(GL_DITHER);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_CULL_FACE);
  glCullFace(reversedWinding ? GL_FRONT : GL_BACK);
}

void drawLabels(const Model& model, const DrawState& state) {
  const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
  int queued = 0;
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < model.faceCount; ++i) {
    if (queued == kFacesBetweenFinishes - 1) {
      glEnd();
      paceDrawing(queued, 1);
      glBegin(GL_TRIANGLES);
    } else {
      ++queued;
    }
    const int* index = model.faces[i].vertexIndex;
    const ModelVertex& v0 = model.vertices[index[0]];
    const ModelVertex& v1 = model.vertices[index[1]];
    const ModelVertex& v2 = model.vertices[index[2]];
    const int band =
        faceBand({v0.x, v0.y, v0.z}, {v1.x, v1.y, v1.z}, {v2.x, v2.y, v2.z}, light, state.reversedWinding);
    glColor3ub(toneLabel(toneOfBand(band).texture), 0, 0);
    glVertex3fv(&v0.x);
    glVertex3fv(&v1.x);
    glVertex3fv(&v2.x);
  }
  glEnd();
}

// Each face in its number plus one, 0 being no face: four bytes hold any int face count.
void drawFaceNumbers(const Model& model) {
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < model.faceCount; ++i) {
    const uint32_t number = static_cast<uint32_t>(i) + 1;
    glColor4ub(static_cast<GLubyte>(number), static_cast<GLubyte>(number >> 8),
               static_cast<GLubyte>(number >> 16), static_cast<GLubyte>(number >> 24));
    const int* index = model.faces[i].vertexIndex;
    for (int k = 0; k < 3; ++k) {
      glVertex3fv(&model.vertices[index[k]].x);
    }
  }
  glEnd();
}

// Draws with draw into a framebuffer of its own at width x height, cleared to 0, in state's view and the
// label state, and reads format back into pixels (GL's rows, bottom first); view gets the matrices.
template <typename Draw>
bool drawAndRead(const DrawState& state, int width, int height, GLenum format, void* pixels, LineView* view,
                 std::string& error, Draw&& draw) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  {
    LabelFramebuffer framebuffer(width, height);
    if (!framebuffer.complete()) {
      glPopClientAttrib();
      glPopAttrib();
      error = "no framebuffer of " + std::to_string(width) + "x" + std::to_string(height) + " for the labels";
      return false;
    }
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    beginFrame(state.camera);
    if (view) {
      glGetFloatv(GL_MODELVIEW_MATRIX, view->modelview);
      glGetFloatv(GL_PROJECTION_MATRIX, view->projection);
      view->width = width;
      view->height = height;
      state.camera.eyePosition(view->eye);
    }
    enterLabelState(state.reversedWinding);
    draw();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
  }
  glPopClientAttrib();
  glPopAttrib();
  return true;
}

// GL's rows come bottom first.
template <typename T>
void flipRows(std::vector<T>& pixels, int width, int height) {
  for (int y = 0; y < height / 2; ++y) {
    std::swap_ranges(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width,
                     pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * width,
                     pixels.begin() + static_cast<std::ptrdiff_t>(height - 1 - y) * width);
  }
}

}  // namespace

int labelScale(int width, int height, double outerFragments) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  const long long pixels = static_cast<long long>(width) * height;
  int scale = kPreferredScale;
  while (scale > 1 &&
         (pixels * scale * scale > kMaxLabelPixels || outerFragments * scale * scale > kMaxLabelFragments ||
          static_cast<long long>(width) * scale > largest ||
          static_cast<long long>(height) * scale > largest)) {
    --scale;
  }
  return scale;
}

double outerFaceFragments(const Model& model, const DrawState& state, int width, int height) {
  float modelview[16], projection[16];
  glPushAttrib(GL_TRANSFORM_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  setFrameMatrices(state.camera);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();
  // Each corner in window pixels, or not at all where it lies behind the eye.
  struct Corner {
    double x, y;
    bool inFront;
  };
  std::vector<Corner> corners(static_cast<size_t>(std::max(model.vertexCount, 0)));
  for (size_t i = 0; i < corners.size(); ++i) {
    const float* v = &model.vertices[i].x;
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r) {
      eye[r] = modelview[r] * v[0] + modelview[4 + r] * v[1] + modelview[8 + r] * v[2] + modelview[12 + r];
    }
    for (int r = 0; r < 4; ++r) {
      clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
                projection[12 + r] * eye[3];
    }
    corners[i] = {(clip[0] / clip[3] + 1.0) * 0.5 * width, (clip[1] / clip[3] + 1.0) * 0.5 * height,
                  clip[3] > 0.0};
  }
  const double picture = static_cast<double>(width) * height;
  const double outer = state.reversedWinding ? -1.0 : 1.0;
  double fragments = 0.0;
  for (int f = 0; f < model.faceCount; ++f) {
    const int* index = model.faces[f].vertexIndex;
    const Corner &a = corners[static_cast<size_t>(index[0])], &b = corners[static_cast<size_t>(index[1])],
                 &c = corners[static_cast<size_t>(index[2])];
    if (!a.inFront || !b.inFront || !c.inFront) {
      fragments += picture;
      continue;
    }
    const double twiceArea = outer * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
    fragments += std::min(std::max(twiceArea * 0.5, 0.0), picture);
  }
  return fragments;
}

bool drawToneLabels(const Model& model, const DrawState& state, int width, int height, int scale,
                    LabelPicture& picture, std::string& error, FillShader* smooth) {
  const int w = width * scale, h = height * scale;
  std::vector<uint8_t> labels(static_cast<size_t>(w) * static_cast<size_t>(h));
  const bool drawn = drawAndRead(state, w, h, GL_RED, labels.data(), nullptr, error, [&] {
    if (!smooth || !smooth->draw(state, FillShader::Look::Labels)) {
      drawLabels(model, state);
    }
  });
  if (!drawn) {
    return false;
  }
  flipRows(labels, w, h);
  picture = {w, h, std::move(labels)};
  return true;
}

bool drawFacePicture(const Model& model, const DrawState& state, int width, int height, FacePicture& faces,
                     LineView& view, std::string& error) {
  std::vector<int32_t> numbers(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (!drawAndRead(state, width, height, GL_RGBA, numbers.data(), &view, error,
                   [&model] { drawFaceNumbers(model); })) {
    return false;
  }
  flipRows(numbers, width, height);
  for (int32_t& number : numbers) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&number);
    number = static_cast<int32_t>(
        (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24) - 1);
  }
  faces = {width, height, std::move(numbers)};
  return true;
}

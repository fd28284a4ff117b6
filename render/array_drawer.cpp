// Drawing the renderer's passes from buffer objects, in the order and with the state of its immediate mode.
// Buffer objects are declared only with the extension prototypes, before the first GL header.
#define GL_GLEXT_PROTOTYPES
#include "array_drawer.h"

#include <GL/glext.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "frame.h"
#include "surface_coords.h"
#include "tone.h"

namespace {

// Faces drawn by one call at most, so that a count of indices always fits in a GLsizei, and so that the
// driver is waited for between calls (paceDrawing).
constexpr int kFacesPerCall = kFacesBetweenFinishes;

Vec3 position(const ModelVertex& v) {
  return {v.x, v.y, v.z};
}

// False, with what was made freed, when an array finds no memory.
template <class T>
bool allocate(std::unique_ptr<T[]>& array, size_t count) {
  array.reset(new (std::nothrow) T[count]);
  return array != nullptr;
}

}  // namespace

ArrayDrawer::ArrayDrawer(HatchRenderer& renderer, const Model& model) : renderer_(renderer), model_(model) {}

ArrayDrawer::~ArrayDrawer() {
  if (buffersMade_) {
    glDeleteBuffers(2, buffers_);
  }
}

// The vertices as they are, six floats each, of which the position is drawn; the faces' indices as they
// are, three to a face.
bool ArrayDrawer::makeBuffers() {
  if (buffersTried_) {
    return buffersMade_;
  }
  buffersTried_ = true;
  // Errors left by earlier calls, so that only this upload's count; a lost context repeats its error.
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glGenBuffers(2, buffers_);
  glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(ModelVertex)) * model_.vertexCount,
               model_.vertices, GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(ModelFace)) * model_.faceCount,
               model_.faces, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  buffersMade_ = glGetError() == GL_NO_ERROR;
  if (!buffersMade_) {
    glDeleteBuffers(2, buffers_);
  }
  return buffersMade_;
}

// The tone of every face from the light of state, as the immediate fill pass works it out.
bool ArrayDrawer::findTones(const DrawState& state) {
  const size_t faceCount = static_cast<size_t>(std::max(model_.faceCount, 0));
  if (!faceTones_ && !allocate(faceTones_, faceCount)) {
    return false;
  }
  const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
  const ModelVertex* vertices = model_.vertices;
  for (size_t i = 0; i < faceCount; ++i) {
    const int* index = model_.faces[i].vertexIndex;
    const Tone& tone = toneOfBand(faceBand(position(vertices[index[0]]), position(vertices[index[1]]),
                                           position(vertices[index[2]]), light, state.reversedWinding));
    tones_[tone.texture] = &tone;
    faceTones_[i] = static_cast<uint8_t>(tone.texture);
  }
  return true;
}

// The crease faces' corners one after another, so that each corner carries its own edge flag.
bool ArrayDrawer::makeCreaseArrays(const CreaseEdges& edges) {
  if (creaseEdges_ == &edges) {
    return true;
  }
  creaseEdges_ = nullptr;
  const size_t corners = 3 * static_cast<size_t>(edges.faceCount);
  if (!allocate(creaseCorners_, 3 * corners) || !allocate(creaseFlags_, corners)) {
    return false;
  }
  for (size_t i = 0; i < static_cast<size_t>(edges.faceCount); ++i) {
    const int* index = model_.faces[edges.faces[i].face].vertexIndex;
    for (size_t k = 0; k < 3; ++k) {
      const ModelVertex& v = model_.vertices[index[k]];
      std::copy_n(&v.x, 3, &creaseCorners_[9 * i + 3 * k]);
      creaseFlags_[3 * i + k] = (edges.faces[i].edgeMask >> k & 1) ? GL_TRUE : GL_FALSE;
    }
  }
  creaseEdges_ = &edges;
  return true;
}

bool ArrayDrawer::makeSurfaceArrays() {
  if (surfaceCorners_) {
    return true;
  }
  if (!allocate(surfaceCorners_, 15 * static_cast<size_t>(std::max(model_.faceCount, 0)))) {
    return false;
  }
  float* corner = surfaceCorners_.get();
  for (int i = 0; i < model_.faceCount; ++i) {
    const int* index = model_.faces[i].vertexIndex;
    const Vec3 p[3] = {position(model_.vertices[index[0]]), position(model_.vertices[index[1]]),
                       position(model_.vertices[index[2]])};
    const ProjectionAxis axis = projectionAxis(faceNormal(p[0], p[1], p[2]));
    for (const Vec3& v : p) {
      const TexCoord c = surfaceTexCoord(v, axis);
      *corner++ = v.x;
      *corner++ = v.y;
      *corner++ = v.z;
      *corner++ = c.s;
      *corner++ = c.t;
    }
  }
  return true;
}

// Faces first to first + count - 1: from the face buffer, or as the corners of the surface's arrays.
void ArrayDrawer::drawFaces(int first, int count, bool onSurface) const {
  for (int done = 0; done < count; done += kFacesPerCall) {
    const int faces = std::min(kFacesPerCall, count - done);
    if (onSurface) {
      glDrawArrays(GL_TRIANGLES, 3 * (first + done), 3 * faces);
      paceDrawing(queuedFaces_, faces);
      continue;
    }
    const auto offset = static_cast<uintptr_t>(first + done) * sizeof(ModelFace);
    glDrawElements(GL_TRIANGLES, 3 * faces, GL_UNSIGNED_INT, reinterpret_cast<const void*>(offset));
    paceDrawing(queuedFaces_, faces);
  }
}

// Each run of faces of one tone with that tone's colour or texture, set as the immediate fill pass sets it
// before each of the run's faces.
void ArrayDrawer::drawToneRuns(const DrawState& state, const uint8_t* tones, int first, int count,
                               bool onSurface) const {
  const GLuint* hatching = renderer_.texturesIn(state.hatchingSpace);
  const int last = first + count;
  for (int start = first, end = first; start < last; start = end) {
    const uint8_t key = tones[static_cast<size_t>(start)];
    end = start + 1;
    while (end < last && tones[static_cast<size_t>(end)] == key) {
      ++end;
    }
    const Tone& tone = *tones_[key];
    if (state.texturesEnabled) {
      glColor3f(1.0f, 1.0f, 1.0f);
      glBindTexture(GL_TEXTURE_2D, hatching[tone.texture]);
    } else {
      const Colour colour =
          state.palette ? state.palette->tones[tone.texture] : Colour{tone.r, tone.g, tone.b};
      glColor3f(colour.r, colour.g, colour.b);
    }
    drawFaces(start, end - start, onSurface);
  }
}

void ArrayDrawer::drawCreaseEdges(bool reversedWinding, int width) const {
  beginCreaseEdges(reversedWinding, width);
  glVertexPointer(3, GL_FLOAT, 0, creaseCorners_.get());
  glEdgeFlagPointer(0, creaseFlags_.get());
  glEnableClientState(GL_EDGE_FLAG_ARRAY);
  for (int done = 0; done < creaseEdges_->faceCount; done += kFacesPerCall) {
    glDrawArrays(GL_TRIANGLES, 3 * done, 3 * std::min(kFacesPerCall, creaseEdges_->faceCount - done));
  }
  glDisableClientState(GL_EDGE_FLAG_ARRAY);
  endCreaseEdges(reversedWinding);
}

void ArrayDrawer::pointAtSurfaceCorners() const {
  constexpr GLsizei kStride = 5 * sizeof(float);
  glVertexPointer(3, GL_FLOAT, kStride, surfaceCorners_.get());
  glTexCoordPointer(2, GL_FLOAT, kStride, surfaceCorners_.get() + 3);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void ArrayDrawer::draw(const DrawState& state) {
  const bool fill = renderer_.nextPass == 0;
  const bool onSurface = fill && state.hatchingSpace == HatchingSpace::Object;
  const bool ready = makeBuffers() && (onSurface ? makeSurfaceArrays() : true) &&
                     (fill ? findTones(state) : !state.creaseEdges || makeCreaseArrays(*state.creaseEdges));
  if (!ready) {
    renderer_.draw(&model_, state);
    return;
  }
  renderer_.beginPass(state);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (onSurface) {
    pointAtSurfaceCorners();
    drawToneRuns(state, faceTones_.get(), 0, model_.faceCount, true);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  } else {
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
    glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), nullptr);
    if (fill) {
      drawToneRuns(state, faceTones_.get(), 0, model_.faceCount, false);
    } else {
      drawFaces(0, model_.faceCount, false);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
  if (!fill && state.creaseEdges) {
    drawCreaseEdges(state.reversedWinding, state.outlineWidth);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
}

void drawFrame(ArrayDrawer& drawer, const DrawState& state) {
  drawer.drawFrame(state, true);
}

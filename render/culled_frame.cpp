// nprsnap's frames without the faces that cannot show. Most faces of a large closed mesh lie behind its front
// surface, and Mesa spends most of a frame on them: the fill pass draws every inner face as three lines, the
// outline pass as three wide ones. So the outer faces are drawn to depth first and that depth read back in
// 8x8 tiles; a face whose every fragment in a pass would lie behind it (hidden_faces.h) is left out of that
// pass. Why no pixel changes:
// - With GL_LESS a fragment passes only in front of everything drawn before it at its pixel, and one that
//   fails writes nothing, neither colour nor depth.
// - Every fragment of the fill pass is opaque (a colour, or white times a texture without alpha, the source
//   alpha 1), and blending with source alpha 1 replaces what is there. So a pixel ends up with the colour and
//   the depth of the first fragment of least depth there, whatever else is drawn before or after it, and a
//   fragment deeper than that least depth can go without changing either. The outer faces' depth is never
//   nearer than that least depth, their fragments being among the pass's: what lies behind it lies deeper.
// - The outline pass starts from the fill pass's depth, which it only lowers, and whatever fails against the
//   fill pass's depth fails later too. Its left-out faces change neither colour nor depth, so the crease
//   lines drawn after them find what they always found.
// - The faces kept stay in their order, and ties in depth go as before: a left-out face never ties, its
//   fragments lying strictly behind with room for rounding.
#define GL_GLEXT_PROTOTYPES
#include "array_drawer.h"

#include <GL/glext.h>

#include <algorithm>
#include <new>

#include "frame.h"
#include "hidden_faces.h"
#include "on_cores.h"
#include "tone.h"

namespace {

// Fewer faces than this a core are judged about as fast as a thread starts.
constexpr size_t kLeastFacesPerPiece = 20000;
// Faces are left out only of a model with at least a face for this many pixels of the frame.
constexpr size_t kPixelsPerFace = 64;
// Depth is read back in bands of about this many pixels, the tiles taking each band in turn.
constexpr size_t kBandPixels = 1 << 20;

Vec3 position(const ModelVertex& v) {
  return {v.x, v.y, v.z};
}

template <class T>
bool reserve(std::unique_ptr<T[]>& array, size_t& capacity, size_t count) {
  if (count <= capacity) {
    return true;
  }
  array.reset(new (std::nothrow) T[count]);
  capacity = array ? count : 0;
  return array != nullptr;
}

}  // namespace

struct ArrayDrawer::Culling {
  FaceCuller culler;
  DepthTiles tiles;
  std::unique_ptr<uint32_t[]> band;
  size_t bandCapacity = 0;
  // Each face's judgement: the passes it may show in.
  std::unique_ptr<uint8_t[]> shows;
  size_t showCapacity = 0;
  // The tone (texture index) of each face the fill pass draws, in the fill list's order.
  std::unique_ptr<uint8_t[]> tones;
  size_t toneCapacity = 0;
  // The faces each pass draws, three indices each, in their order: the fill pass's and the outline pass's;
  // how many each buffer has room for, and how many it holds this frame.
  GLuint lists[2] = {0, 0};
  bool listsMade = false;
  size_t listCapacity[2] = {0, 0};
  size_t listed[2] = {0, 0};
  size_t pieces = 1;
};

void ArrayDrawer::CullingDeleter::operator()(Culling* culling) const {
  if (culling->listsMade) {
    glDeleteBuffers(2, culling->lists);
  }
  delete culling;
}

void ArrayDrawer::drawFrame(const DrawState& state, bool withOutline) {
  beginFrame(state.camera);
  const bool creasesReady = !withOutline || !state.creaseEdges || makeCreaseArrays(*state.creaseEdges);
  const size_t faceCount = static_cast<size_t>(std::max(model_.faceCount, 0));
  shown_ = {faceCount, faceCount};
  if (renderer_.nextPass != 0 || !creasesReady || !findShownFaces(state)) {
    draw(state);
    if (withOutline) {
      draw(state);
    }
    return;
  }
  drawShownFaces(state, withOutline);
}

// The outer faces' depth, the tiles read from it, then the depth cleared again and the lists of the faces
// each pass draws. False, with the frame as beginFrame left it, for a model of too few faces for the frame
// and when memory runs out.
bool ArrayDrawer::findShownFaces(const DrawState& state) {
  FaceView view;
  glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
  glGetIntegerv(GL_VIEWPORT, view.viewport);
  glGetFloatv(GL_DEPTH_RANGE, view.depthRange);
  // Reading back the depth costs a few milliseconds a picture, which only enough faces make up for.
  const size_t faceCount = static_cast<size_t>(std::max(model_.faceCount, 0));
  const size_t pixels = static_cast<size_t>(std::max(view.viewport[2], 0)) * std::max(view.viewport[3], 0);
  if (faceCount == 0 || faceCount < pixels / kPixelsPerFace) {
    return false;
  }
  if (!culling_) {
    culling_.reset(new (std::nothrow) Culling);
  }
  const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
  if (!culling_ || !makeBuffers() || (onSurface && !makeSurfaceArrays()) ||
      !reserve(culling_->shows, culling_->showCapacity, faceCount)) {
    return false;
  }
  Culling& c = *culling_;
  if (!c.listsMade) {
    glGenBuffers(2, c.lists);
    c.listsMade = true;
  }
  c.pieces = piecesFor(faceCount, kLeastFacesPerPiece);
  if (!c.culler.place(model_, view, c.pieces)) {
    return false;
  }
  drawOuterDepth(state.reversedWinding);
  const bool listed = readDepthTiles(c.tiles, c.band, c.bandCapacity) && listShownFaces(state);
  // The fill pass starts from a cleared depth buffer, as it would have without this.
  glClear(GL_DEPTH_BUFFER_BIT);
  return listed;
}

// Only depth, of the faces whose outer side is in view, from the state of the fill pass that follows (the
// same positions), the rest of the state left as it was.
void ArrayDrawer::drawOuterDepth(bool reversedWinding) const {
  GLboolean colourMask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
  GLint cullFace = GL_BACK;
  glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
  const GLboolean culling = glIsEnabled(GL_CULL_FACE), textured = glIsEnabled(GL_TEXTURE_2D);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glCullFace(reversedWinding ? GL_FRONT : GL_BACK);
  glPolygonMode(reversedWinding ? GL_BACK : GL_FRONT, GL_FILL);
  glEnableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
  glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), nullptr);
  drawFaces(0, model_.faceCount, false);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
  glCullFace(static_cast<GLenum>(cullFace));
  if (!culling) {
    glDisable(GL_CULL_FACE);
  }
  if (textured) {
    glEnable(GL_TEXTURE_2D);
  }
}

bool readDepthTiles(DepthTiles& tiles, std::unique_ptr<uint32_t[]>& band, size_t& bandCapacity) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int width = viewport[2], height = viewport[3];
  const size_t rowPixels = static_cast<size_t>(std::max(width, 1));
  const int bandRows = static_cast<int>(std::max<size_t>(1, kBandPixels / rowPixels / DepthTiles::kTileSide) *
                                        DepthTiles::kTileSide);
  if (width < 1 || height < 1 || !reserve(band, bandCapacity, rowPixels * static_cast<size_t>(bandRows)) ||
      !tiles.reset(width, height)) {
    return false;
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for (int y = 0; y < height; y += bandRows) {
    const int rows = std::min(bandRows, height - y);
    glReadPixels(viewport[0], viewport[1] + y, width, rows, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, band.get());
    tiles.addRows(y, rows, band.get());
  }
  tiles.finish();
  return glGetError() == GL_NO_ERROR;
}

// Judges every face on every core, then lists the faces each pass draws, in their order, each piece of the
// faces from where the pieces before it end, with the fill pass's tones beside them.
bool ArrayDrawer::listShownFaces(const DrawState& state) {
  Culling& c = *culling_;
  const size_t faceCount = static_cast<size_t>(std::max(model_.faceCount, 0));
  const bool reversed = state.reversedWinding;
  const PassReach fill{1.0, 0.0};
  const PassReach outline{std::max(1.0, static_cast<double>(state.outlineWidth)), 1.0};
  // Where each piece's faces start in each list.
  size_t start[2][kMaxCorePieces + 1] = {};
  onCores(faceCount, c.pieces, [&](size_t piece, size_t begin, size_t end) {
    size_t counts[2] = {0, 0};
    for (size_t i = begin; i < end; ++i) {
      const unsigned shows = c.culler.judge(static_cast<int>(i), reversed, fill, outline, c.tiles);
      c.shows[i] = static_cast<uint8_t>(shows);
      counts[0] += (shows & FaceCuller::kInFill) != 0;
      counts[1] += (shows & FaceCuller::kInOutline) != 0;
    }
    start[0][piece + 1] = counts[0];
    start[1][piece + 1] = counts[1];
  });
  for (int list = 0; list < 2; ++list) {
    for (size_t piece = 0; piece < c.pieces; ++piece) {
      start[list][piece + 1] += start[list][piece];
    }
    c.listed[list] = start[list][c.pieces];
  }
  GLuint* lists[2] = {nullptr, nullptr};
  bool ok = reserve(c.tones, c.toneCapacity, c.listed[0]) && mapLists(lists);
  const Tone* seen[kMaxCorePieces][4] = {};
  if (ok) {
    const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
    const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
    onCores(faceCount, c.pieces, [&](size_t piece, size_t begin, size_t end) {
      GLuint* fillList = lists[0] + 3 * start[0][piece];
      GLuint* outlineList = lists[1] + 3 * start[1][piece];
      uint8_t* tones = c.tones.get() + start[0][piece];
      // Kept here until the piece is done: the pieces' tables share cache lines.
      const Tone* seenHere[4] = {};
      for (size_t i = begin; i < end; ++i) {
        const int* index = model_.faces[i].vertexIndex;
        if (c.shows[i] & FaceCuller::kInOutline) {
          outlineList = std::copy_n(index, 3, outlineList);
        }
        if (c.shows[i] & FaceCuller::kInFill) {
          const ModelVertex* v = model_.vertices;
          const Tone& tone = toneOfBand(
              faceBand(position(v[index[0]]), position(v[index[1]]), position(v[index[2]]), light, reversed));
          seenHere[tone.texture] = &tone;
          *tones++ = static_cast<uint8_t>(tone.texture);
          // The surface's corners lie three a face, one after another.
          for (GLuint k = 0; k < 3; ++k) {
            *fillList++ = onSurface ? static_cast<GLuint>(3 * i) + k : static_cast<GLuint>(index[k]);
          }
        }
      }
      std::copy_n(seenHere, 4, seen[piece]);
    });
  }
  ok = unmapLists(lists) && ok;
  for (const auto& tones : seen) {
    for (int texture = 0; texture < 4; ++texture) {
      tones_[texture] = tones[texture] ? tones[texture] : tones_[texture];
    }
  }
  return ok;
}

// Each list's buffer, made larger where it has too little room (by a quarter more, so that a turntable's
// frames seldom make it again), mapped for writing. False when GL has no memory for it.
bool ArrayDrawer::mapLists(GLuint* (&lists)[2]) {
  Culling& c = *culling_;
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  for (int list = 0; list < 2; ++list) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[list]);
    if (c.listed[list] > c.listCapacity[list]) {
      c.listCapacity[list] = c.listed[list] + c.listed[list] / 4;
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(ModelFace) * c.listCapacity[list]),
                   nullptr, GL_STREAM_DRAW);
      if (glGetError() != GL_NO_ERROR) {
        c.listCapacity[list] = 0;
        return false;
      }
    }
    if (c.listed[list] > 0) {
      lists[list] = static_cast<GLuint*>(
          glMapBufferRange(GL_ELEMENT_ARRAY_BUFFER, 0,
                           static_cast<GLsizeiptr>(sizeof(ModelFace) * c.listed[list]), GL_MAP_WRITE_BIT));
      if (!lists[list]) {
        return false;
      }
    }
  }
  return true;
}

bool ArrayDrawer::unmapLists(GLuint* (&lists)[2]) {
  bool ok = true;
  for (int list = 0; list < 2; ++list) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, culling_->lists[list]);
    if (lists[list] && glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER) != GL_TRUE) {
      ok = false;
    }
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return ok;
}

// The two passes as draw draws them, each from its list of the faces that may show.
void ArrayDrawer::drawShownFaces(const DrawState& state, bool withOutline) {
  const Culling& c = *culling_;
  shown_ = {c.listed[0], c.listed[1]};
  const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
  renderer_.beginPass(state);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (onSurface) {
    pointAtSurfaceCorners();
  } else {
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), nullptr);
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[0]);
  drawToneRuns(state, c.tones.get(), 0, static_cast<int>(c.listed[0]), false);
  if (onSurface) {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), nullptr);
  }
  if (withOutline) {
    renderer_.beginPass(state);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[1]);
    drawFaces(0, static_cast<int>(c.listed[1]), false);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (withOutline && state.creaseEdges) {
    drawCreaseEdges(state.reversedWinding, state.outlineWidth);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
}

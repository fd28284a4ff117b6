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
//   fragment deeper than that least depth can go without changing either. The outer faces' depth is at least
//   that least depth, since they are among the pass's fragments: a fragment behind it is such a fragment.
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
  // The tone (texture index) of each face the fill pass draws, in the fill list's order.
  std::unique_ptr<uint8_t[]> tones;
  size_t toneCapacity = 0;
  // The faces each pass draws, as three indices each: the fill pass's, then the outline pass's. Each piece of
  // the faces lists its own from the list's entry of its first face on.
  GLuint lists[2] = {0, 0};
  bool listsMade = false;
  size_t pieces = 1;
  size_t begin[kMaxCorePieces] = {};
  size_t shown[2][kMaxCorePieces] = {};
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
// each pass draws. False, with the frame as beginFrame left it, when memory runs out.
bool ArrayDrawer::findShownFaces(const DrawState& state) {
  if (model_.faceCount <= 0) {
    return false;
  }
  if (!culling_) {
    culling_.reset(new (std::nothrow) Culling);
  }
  const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
  const size_t faceCount = static_cast<size_t>(std::max(model_.faceCount, 0));
  if (!culling_ || !makeBuffers() || (onSurface && !makeSurfaceArrays()) ||
      !reserve(culling_->tones, culling_->toneCapacity, faceCount)) {
    return false;
  }
  Culling& c = *culling_;
  if (!c.listsMade) {
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glGenBuffers(2, c.lists);
    for (const GLuint list : c.lists) {
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, list);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(ModelFace) * faceCount), nullptr,
                   GL_STREAM_DRAW);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    c.listsMade = glGetError() == GL_NO_ERROR;
    if (!c.listsMade) {
      glDeleteBuffers(2, c.lists);
      return false;
    }
  }
  FaceView view;
  glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
  glGetIntegerv(GL_VIEWPORT, view.viewport);
  glGetFloatv(GL_DEPTH_RANGE, view.depthRange);
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
  const int bandRows = static_cast<int>(
      std::max<size_t>(1, kBandPixels / rowPixels / DepthTiles::kTileSide) * DepthTiles::kTileSide);
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

// Judges every face on every core, each piece of the faces writing the faces it keeps, in order, into the
// lists from the entry of its first face on, and the fill pass's tones beside them.
bool ArrayDrawer::listShownFaces(const DrawState& state) {
  Culling& c = *culling_;
  const size_t faceCount = static_cast<size_t>(std::max(model_.faceCount, 0));
  GLuint* lists[2] = {nullptr, nullptr};
  for (int i = 0; i < 2; ++i) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[i]);
    lists[i] = static_cast<GLuint*>(glMapBufferRange(
        GL_ELEMENT_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(sizeof(ModelFace) * faceCount), GL_MAP_WRITE_BIT));
  }
  bool ok = lists[0] && lists[1];
  const Tone* seen[kMaxCorePieces][4] = {};
  if (ok) {
    const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
    const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
    const bool reversed = state.reversedWinding;
    const PassReach fill{1.0, 0.0};
    const PassReach outline{std::max(1.0, static_cast<double>(state.outlineWidth)), 1.0};
    onCores(faceCount, c.pieces, [&](size_t piece, size_t begin, size_t end) {
      GLuint* fillList = lists[0] + 3 * begin;
      GLuint* outlineList = lists[1] + 3 * begin;
      uint8_t* tones = c.tones.get() + begin;
      size_t filled = 0, outlined = 0;
      // Kept here until the piece is done: the pieces' tables share cache lines.
      const Tone* seenHere[4] = {};
      for (size_t i = begin; i < end; ++i) {
        const int* index = model_.faces[i].vertexIndex;
        const unsigned shows = c.culler.judge(static_cast<int>(i), reversed, fill, outline, c.tiles);
        const bool inFill = shows & FaceCuller::kInFill, inOutline = shows & FaceCuller::kInOutline;
        if (inOutline) {
          std::copy_n(index, 3, outlineList + 3 * outlined++);
        }
        if (inFill) {
          const ModelVertex* v = model_.vertices;
          const Tone& tone = toneOfBand(faceBand(position(v[index[0]]), position(v[index[1]]),
                                                 position(v[index[2]]), light, reversed));
          seenHere[tone.texture] = &tone;
          tones[filled] = static_cast<uint8_t>(tone.texture);
          // The surface's corners lie three a face, one after another.
          for (GLuint k = 0; k < 3; ++k) {
            fillList[3 * filled + k] = onSurface ? static_cast<GLuint>(3 * i) + k : static_cast<GLuint>(index[k]);
          }
          ++filled;
        }
      }
      std::copy_n(seenHere, 4, seen[piece]);
      c.begin[piece] = begin;
      c.shown[0][piece] = filled;
      c.shown[1][piece] = outlined;
    });
  }
  for (int i = 0; i < 2; ++i) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[i]);
    if (lists[i] && glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER) != GL_TRUE) {
      ok = false;
    }
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  for (const auto& tones : seen) {
    for (int texture = 0; texture < 4; ++texture) {
      tones_[texture] = tones[texture] ? tones[texture] : tones_[texture];
    }
  }
  return ok;
}

// The two passes as draw draws them, each from its list of the faces that may show.
void ArrayDrawer::drawShownFaces(const DrawState& state, bool withOutline) {
  const Culling& c = *culling_;
  shown_ = {0, 0};
  for (size_t piece = 0; piece < c.pieces; ++piece) {
    shown_.fill += c.shown[0][piece];
    shown_.outline += c.shown[1][piece];
  }
  const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
  renderer_.beginPass(state);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (onSurface) {
    constexpr GLsizei kStride = 5 * sizeof(float);
    glVertexPointer(3, GL_FLOAT, kStride, surfaceCorners_.get());
    glTexCoordPointer(2, GL_FLOAT, kStride, surfaceCorners_.get() + 3);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  } else {
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), nullptr);
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[0]);
  for (size_t piece = 0; piece < c.pieces; ++piece) {
    drawToneRuns(state, c.tones.get(), static_cast<int>(c.begin[piece]), static_cast<int>(c.shown[0][piece]),
                 false);
  }
  if (onSurface) {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), nullptr);
  }
  if (withOutline) {
    renderer_.beginPass(state);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.lists[1]);
    for (size_t piece = 0; piece < c.pieces; ++piece) {
      drawFaces(static_cast<int>(c.begin[piece]), static_cast<int>(c.shown[1][piece]), false);
    }
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (withOutline && state.creaseEdges) {
    drawCreaseEdges(state.reversedWinding, state.outlineWidth);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
}

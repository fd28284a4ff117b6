// The renderer's passes drawn from buffer objects, for programs that draw pictures rather than a window
// (nprsnap): the same pixels as HatchRenderer::draw, with a few GL calls a pass instead of several a face.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>

#include "hatch_renderer.h"
#include "hidden_faces.h"
#include "tone.h"

class ArrayDrawer {
 public:
  // Draws model with renderer's passes and textures; both must outlive the drawer. Needs a current GL
  // context with buffer objects (GL 1.5), the one it is destroyed in; the model is copied into buffers on
  // the first draw.
  ArrayDrawer(HatchRenderer& renderer, const Model& model);
  ~ArrayDrawer();
  ArrayDrawer(const ArrayDrawer&) = delete;
  ArrayDrawer& operator=(const ArrayDrawer&) = delete;

  // Draws what renderer.draw(&model, state) draws, pixel for pixel, and flips the pass the same way: the
  // faces in their order, each run of faces of one tone in one call. A model whose buffers or tables find
  // no memory is drawn by renderer.draw itself. The crease edges of
  // state are copied on the first outline pass that has them, and taken to stay as they are.
  void draw(const DrawState& state);

  // A whole frame: beginFrame, then the fill pass and, with withOutline, the outline pass, the same pixels as
  // draw twice gives, but each pass without the faces that cannot show in it. The outer faces are drawn to
  // depth first; a face every fragment of which would lie behind that depth fails the depth test everywhere
  // and is left out (culled_frame.cpp says why no pixel changes). Draws as draw does where nextPass is not the
  // fill pass, the model has less than a face for 64 pixels of the frame, or memory runs out.
  void drawFrame(const DrawState& state, bool withOutline);

  // How many faces the last drawFrame gave its fill pass and its outline pass: all of them where it could not
  // leave any out.
  struct ShownFaces {
    size_t fill, outline;
  };
  ShownFaces shownFaces() const { return shown_; }

 private:
  struct Culling;
  struct CullingDeleter {
    void operator()(Culling* culling) const;
  };

  bool makeBuffers();
  bool findTones(const DrawState& state);
  bool makeCreaseArrays(const CreaseEdges& edges);
  bool makeSurfaceArrays();
  void drawFaces(int first, int count, bool onSurface) const;
  // The vertex and texture-coordinate arrays at surfaceCorners_, the texture coordinates' enabled.
  void pointAtSurfaceCorners() const;
  // The entries first to first + count - 1 of the bound faces in runs of one tone, tones[i] the texture index
  // of entry i's tone.
  void drawToneRuns(const DrawState& state, const uint8_t* tones, int first, int count, bool onSurface) const;
  void drawCreaseEdges(bool reversedWinding, int width) const;
  // The culled frame's steps (culled_frame.cpp).
  bool findShownFaces(const DrawState& state);
  void drawOuterDepth(bool reversedWinding) const;
  bool listShownFaces(const DrawState& state);
  bool mapLists(GLuint* (&lists)[2]);
  bool unmapLists(GLuint* (&lists)[2]);
  void drawShownFaces(const DrawState& state, bool withOutline);

  HatchRenderer& renderer_;
  const Model& model_;
  GLuint buffers_[2] = {0, 0};  // vertices, faces
  bool buffersTried_ = false;
  bool buffersMade_ = false;
  // Per face of the last fill pass, the texture index of its tone, which tells the tones apart.
  std::unique_ptr<uint8_t[]> faceTones_;
  const Tone* tones_[4] = {};  // the tone of each texture index
  // The crease faces' corners, and the edge flag that goes with each.
  const CreaseEdges* creaseEdges_ = nullptr;
  std::unique_ptr<float[]> creaseCorners_;
  std::unique_ptr<GLboolean[]> creaseFlags_;
  // For hatching on the surface, each face's corners one after another, each as x, y, z, s, t: a corner's
  // texture coordinate depends on its face.
  std::unique_ptr<float[]> surfaceCorners_;
  mutable int queuedFaces_ = 0;  // drawn since the driver was last waited for
  // What the culled frames keep from one frame to the next: room, and the buffer of the faces they draw.
  std::unique_ptr<Culling, CullingDeleter> culling_;
  ShownFaces shown_ = {0, 0};
};

// Reads the depth of the viewport's pixels into tiles, reset to the viewport's size, in bands of rows, band
// holding one band (kept between calls). False when memory runs out or GL fails.
bool readDepthTiles(DepthTiles& tiles, std::unique_ptr<uint32_t[]>& band, size_t& bandCapacity);

// beginFrame, then the fill pass and the outline pass through drawer, without the faces that cannot show.
// Does not swap buffers.
void drawFrame(ArrayDrawer& drawer, const DrawState& state);

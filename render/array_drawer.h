// The renderer's passes drawn from buffer objects, for programs that draw pictures rather than a window
// (nprsnap): the same pixels as HatchRenderer::draw, with a few GL calls a pass instead of several a face.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>

#include "hatch_renderer.h"
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

 private:
  bool makeBuffers();
  bool findTones(const DrawState& state);
  bool makeCreaseArrays(const CreaseEdges& edges);
  bool makeSurfaceArrays();
  void drawFaces(int first, int count, bool onSurface) const;
  void drawToneRuns(const DrawState& state, bool onSurface) const;
  void drawCreaseEdges(bool reversedWinding, int width) const;

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
};

// beginFrame, then the fill pass and the outline pass through drawer. Does not swap buffers.
void drawFrame(ArrayDrawer& drawer, const DrawState& state);

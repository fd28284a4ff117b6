// The two-pass tone-and-outline renderer: a fill pass of flat tones or hatching, then a silhouette pass,
// optionally with the model's crease and border edges.
#pragma once

#include <GL/gl.h>

#include "camera.h"
#include "crease_edges.h"
#include "model.h"
#include "tone.h"

// Where the hatching is fixed: to the view (the viewer's look, one repeat per unit of eye space) or to
// the model's surface (a cube projection of its own coordinates, one repeat per unit, mipmapped so that the
// strokes keep their width and spacing in pixels at any distance).
enum class HatchingSpace { Eye, Object };

// What a pass reads of the viewer's state.
struct DrawState {
  Camera camera;
  float lightYawOffset;    // degrees added to the camera's yaw to place the light
  float lightPitchOffset;  // degrees added to the camera's pitch
  bool reversedWinding;    // the model is wound clockwise as seen from outside
  int outlineWidth;        // silhouette width in pixels
  bool texturesEnabled;    // hatching textures replace the tone colours
  HatchingSpace hatchingSpace = HatchingSpace::Eye;
  // Edges of the drawn model to trace in the outline pass, found for it by findCreaseEdges; null for none,
  // as in the viewer.
  const CreaseEdges* creaseEdges = nullptr;
  // Colours for the tones and the lines in place of the viewer's; null for the viewer's.
  const Palette* palette = nullptr;
};

// The GL state in which the outline pass draws the crease edges as the flagged edges of their faces in line
// mode, and back to the outline pass's.
void beginCreaseEdges(bool reversedWinding, int width);
void endCreaseEdges(bool reversedWinding);

class HatchRenderer {
 public:
  // Needs a current GL context; starts at the fill pass and creates the hatching textures.
  HatchRenderer();
  // The same, but with withHatchImages false no hatching image is read and the four textures stay 0: for
  // a program that draws flat tones only.
  explicit HatchRenderer(bool withHatchImages);

  // Draws one pass of model and flips nextPass: the fill pass when nextPass is 0, the outline pass when
  // it is 1. Needs the projection and view set and the depth test on; model is never null and holds
  // only valid indices.
  // The state a pass leaves is where the next one starts. The fill pass leaves line width 1, culling off,
  // the outer side filled and the line offset off. The outline pass leaves black (with a palette its line
  // colour, and no texture bound), the outline's line width,
  // the outer side culled, the inner side in line mode and the line offset on (slope factor -1), which the
  // next fill pass turns off again. Both leave eye-linear texture coordinates enabled, but for a fill pass
  // in object space, which leaves them off; its first with textures on makes the surface textures. The
  // crease edges, drawn last in the outline pass, leave that state as they found it.
  void draw(const Model* model, const DrawState& state);

  // The start of draw, for drawers that draw the same faces another way (array_drawer.h): sets the pass's
  // GL state, texture generation and, for hatching on the surface, its textures, and flips nextPass. True
  // for a fill pass.
  bool beginPass(const DrawState& state);

  // Sets the one piece of GL state in which a frame differs from the frames after it: the inner side in the
  // line mode that every outline pass leaves. A program that draws a single frame draws with it what the
  // viewer's window shows from its second frame on.
  static void enterRedrawState(bool reversedWinding);

  // The four hatching textures of a fill pass in space: textures, or the surface's (made by the first fill
  // pass that needs them).
  const GLuint* texturesIn(HatchingSpace space) const {
    return space == HatchingSpace::Object ? surfaceTextures_ : textures;
  }

  GLuint textures[4];
  int nextPass;

 private:
  void beginFillOnSurface(bool texturesEnabled);
  void beginFillPass(bool reversedWinding);
  void beginOutlinePass(bool reversedWinding, int outlineWidth);

  // The mipmapped textures of hatching in object space; all 0 until first needed.
  GLuint surfaceTextures_[4] = {0, 0, 0, 0};
};

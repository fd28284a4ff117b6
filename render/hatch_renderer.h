// The two-pass tone-and-outline renderer: a fill pass of flat tones or hatching, then a silhouette pass.
#pragma once

#include <GL/gl.h>

#include "camera.h"
#include "model.h"

// What a pass reads of the viewer's state.
struct DrawState {
  Camera camera;
  float lightYawOffset;    // degrees added to the camera's yaw to place the light
  float lightPitchOffset;  // degrees added to the camera's pitch
  bool reversedWinding;    // the model is wound clockwise as seen from outside
  int outlineWidth;        // silhouette width in pixels
  bool texturesEnabled;    // hatching textures replace the tone colours
};

class HatchRenderer {
 public:
  // Needs a current GL context; starts at the fill pass and creates the hatching textures.
  HatchRenderer();

  // Draws one pass of model and flips nextPass: the fill pass when nextPass is 0, the outline pass when
  // it is 1. Needs the projection and view set and the depth test on; model is never null and holds
  // only valid indices.
  // The state a pass leaves is where the next one starts. The fill pass leaves line width 1, culling off,
  // the outer side filled and the line offset off. The outline pass leaves black, the outline's line width,
  // the outer side culled, the inner side in line mode and the line offset on (slope factor -1), which the
  // next fill pass turns off again. Both leave eye-linear texture coordinates enabled.
  void draw(const Model* model, const DrawState& state);

  GLuint textures[4];
  int nextPass;

 private:
  void beginFillPass(bool reversedWinding);
  void beginOutlinePass(bool reversedWinding, int outlineWidth);
};

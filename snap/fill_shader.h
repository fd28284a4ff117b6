// The fill pass drawn by a small GLSL program from the surface's corner normals: tones taken per pixel from
// the normals interpolated across each face (smooth shading), shown as colours, tone labels or hatching
// textures, or the paper's white under strokes.
#pragma once

#include <GL/gl.h>

#include <memory>
#include <string>

#include "hatch_renderer.h"
#include "surface.h"

class FillShader {
 public:
  enum class Look {
    Colours,         // the tones' colours
    Labels,          // each tone's label (toneLabel) in red, for the vector picture's regions
    EyeTextures,     // each tone's hatching texture, eye-linear as the renderer's eye space
    ObjectTextures,  // each tone's hatching texture on the cube projection of the renderer's object space
    Paper,           // white, whatever the tone
  };

  // Compiles the program and copies every face's corners (positions and split normals) into arrays of its
  // own. Needs a current GL context with GLSL 1.20 (GL 2.1), the one it is destroyed in, and surface's
  // normals (needNormals); surface and its model must outlive it. ok() says whether that worked, error()
  // why not.
  explicit FillShader(const Surface& surface);
  ~FillShader();
  FillShader(const FillShader&) = delete;
  FillShader& operator=(const FillShader&) = delete;

  bool ok() const { return ok_; }
  bool outOfMemory() const { return outOfMemory_; }  // what ok() false means, when not a failed program
  const std::string& error() const { return error_; }

  // Draws the model's faces in their order, in the GL state the caller has set for a fill pass, each pixel
  // in look: its tone from state's light and winding, with the light's angle taken from the interpolated
  // normal and its fall-off from the pixel's own point, banded as the renderer bands a face's. textures,
  // the four hatching textures in the renderer's order, are needed for the texture looks only. Leaves the
  // program, the texture units and the arrays as it found them. Needs ok(). Returns false, nothing drawn,
  // when memory for the object space's texture coordinates ran out.
  bool draw(const DrawState& state, Look look, const GLuint* textures = nullptr);

 private:
  bool makeTexCoords();

  const Surface& surface_;
  GLuint program_ = 0;
  std::unique_ptr<float[]> corners_;    // per corner of every face: x, y, z, then the normal
  std::unique_ptr<float[]> texCoords_;  // per corner: the cube projection's s, t; made when first needed
  bool ok_ = false;
  bool outOfMemory_ = false;
  std::string error_;
};

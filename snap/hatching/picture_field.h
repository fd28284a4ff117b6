// One view of a surface as its hatching sees it: per pixel of a picture of face indices, the tone and the
// directions of the strokes there, projected into the picture. Pure, no GL.
#pragma once

#include <cstdint>
#include <vector>

#include "surface.h"
#include "visible_lines.h"

// Which face each pixel shows, as GL draws them in the view: the outer side only, depth-tested.
struct FacePicture {
  int width = 0;
  int height = 0;
  std::vector<int32_t> faces;  // width x height, top row first: the face at the pixel's centre, or kNoFace
};

// How the surface is lit: as the renderer lights it.
struct HatchLight {
  Vec3 position;         // the light, in model coordinates
  bool reversedWinding;  // the model is wound clockwise as seen from outside
  bool smooth;           // tones from the corner normals interpolated across each face, not one per face
};

constexpr int8_t kNoTone = -1;

// Per pixel of a face picture.
struct PictureField {
  int width = 0;
  int height = 0;
  // The hatching texture index of the pixel's tone (0 bright to 3 turned away), kNoTone where no face is.
  std::vector<int8_t> tones;
  // Two directions per pixel as lines in the picture: along the direction field and across it (the
  // normal times it), each as the doubled angle (cos 2a, sin 2a) of its angle a from the picture's x axis,
  // which averages with its neighbours whatever way each points; (0, 0) where it points at the eye or no
  // face is.
  std::vector<float> along;
  std::vector<float> across;
};

// The tone of a point p with unit normal n lit from light, as the smooth fill pass shows it: the renderer's
// bands of the light's angle and fall-off taken at p itself. The fill pass's shader says the same in GLSL.
int smoothToneAt(const Vec3& p, const Vec3& n, const Vec3& light, bool reversedWinding);

// The field of faces seen in view (the matrices GL drew faces with, its viewport faces' size), lit by light,
// directions from hatchDirections for surface. Needs surface's normals (needNormals). Memory running out
// throws std::bad_alloc.
PictureField pictureField(const Surface& surface, const std::vector<Vec3>& directions,
                          const FacePicture& faces, const LineView& view, const HatchLight& light);

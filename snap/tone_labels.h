// The pictures of labels that the vector pictures are made from: GL draws the fill pass with one flat label
// per tone (or per face) into a framebuffer of its own and reads it back.
#pragma once

#include <string>

#include "fill_shader.h"
#include "hatch_renderer.h"
#include "model.h"
#include "picture_field.h"
#include "tone_regions.h"

// How many label pixels a picture pixel's side spans for a width x height picture whose outer faces cover
// outerFragments pixels (outerFaceFragments): 4, less for pictures so large that the labels would pass about
// 16 million pixels or the GL driver's largest framebuffer, or faces stacked so deep that drawing them would
// pass about 256 million fragments. Needs a current GL context.
int labelScale(int width, int height, double outerFragments);

// The pixels the label pass fills drawing model's outer faces in state at width x height: each outer face's
// area in the picture, at most the picture's, and the whole picture for a face reaching behind the eye.
// Linear in the model's size; needs a current GL context, whose state it leaves as it found it.
double outerFaceFragments(const Model& model, const DrawState& state, int width, int height);

// Draws model in state with each face in its tone's label (toneLabel of its hatching texture), the outer
// side only, depth-tested, into picture at width x height times scale, top row first. Needs a current GL
// context; leaves its state and framebuffer as it found them. Returns false and fills error (one line)
// when the framebuffer cannot be made. With smooth (null for none), the labels are its smooth tones, taken
// per label pixel.
bool drawToneLabels(const Model& model, const DrawState& state, int width, int height, int scale,
                    LabelPicture& picture, std::string& error, FillShader* smooth = nullptr);

// Draws model in state at width x height as drawToneLabels does, each face in its own number, into faces,
// top row first, and the view it drew in (its matrices, viewport and eye) into view. The same needs and
// failures.
bool drawFacePicture(const Model& model, const DrawState& state, int width, int height, FacePicture& faces,
                     LineView& view, std::string& error);

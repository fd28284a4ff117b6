// Texture coordinates fixed to a model's surface: a cube projection of its own coordinates. Pure maths.
#pragma once

#include "vec3.h"

// The axis plane a face is projected on: the one its normal faces most.
enum class ProjectionAxis { X, Y, Z };

struct TexCoord {
  float s, t;
};

// The axis of the largest component of normal, by magnitude; ties go to X before Y before Z, and a normal
// that is not a number (a face without area) gets Z.
ProjectionAxis projectionAxis(const Vec3& normal);

// Where p lies on the hatching, one repeat per unit of model space: the two coordinates of p across axis,
// with t along y on the side planes so that level strokes stay level on an upright model.
TexCoord surfaceTexCoord(const Vec3& p, ProjectionAxis axis);

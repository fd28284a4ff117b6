// The cube projection behind hatching that stays on the surface.
#include "surface_coords.h"

ProjectionAxis projectionAxis(const Vec3& normal) {
  const float x = normal.x < 0.0f ? -normal.x : normal.x;
  const float y = normal.y < 0.0f ? -normal.y : normal.y;
  const float z = normal.z < 0.0f ? -normal.z : normal.z;
  if (x >= y && x >= z) {
    return ProjectionAxis::X;
  }
  return y >= z ? ProjectionAxis::Y : ProjectionAxis::Z;
}

TexCoord surfaceTexCoord(const Vec3& p, ProjectionAxis axis) {
  switch (axis) {
    case ProjectionAxis::X:
      return {p.z, p.y};
    case ProjectionAxis::Y:
      return {p.x, p.z};
    case ProjectionAxis::Z:
      break;
  }
  return {p.x, p.y};
}

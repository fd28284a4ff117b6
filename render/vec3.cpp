// The orbit direction and normalisation shared by the camera, the light and the tones.
#include "vec3.h"

#include <cmath>

Vec3 orbitDirection(float pitchDegrees, float yawDegrees) {
  const float p = pitchDegrees * kRadiansPerDegree;
  const float y = yawDegrees * kRadiansPerDegree;
  const float sinP = std::sin(p), cosP = std::cos(p);
  const float sinY = std::sin(y), cosY = std::cos(y);
  return {sinY * cosP, sinP, -cosY * cosP};
}

float normalize(Vec3& v) {
  const float lengthSquared = v.x * v.x + v.y * v.y + v.z * v.z;
  const float length = std::sqrt(lengthSquared);
  const float inverse = 1.0f / length;
  v.x *= inverse;
  v.y *= inverse;
  v.z *= inverse;
  return 1.0f / inverse;
}

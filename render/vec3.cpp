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

Vec3 faceNormal(const Vec3& p0, const Vec3& p1, const Vec3& p2) {
  const Vec3 a{p0.x - p2.x, p0.y - p2.y, p0.z - p2.z};
  const Vec3 b{p1.x - p2.x, p1.y - p2.y, p1.z - p2.z};
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Three single-precision floats, the only vector type the program needs.
#pragma once

#include <cmath>

struct Vec3 {
  float x, y, z;
};

constexpr Vec3 operator+(const Vec3& a, const Vec3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vec3 operator-(const Vec3& a, const Vec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr Vec3 operator-(const Vec3& a) {
  return {-a.x, -a.y, -a.z};
}
constexpr Vec3 operator*(float s, const Vec3& a) {
  return {s * a.x, s * a.y, s * a.z};
}
constexpr Vec3& operator+=(Vec3& a, const Vec3& b) {
  return a = a + b;
}
constexpr Vec3& operator-=(Vec3& a, const Vec3& b) {
  return a = a - b;
}
constexpr float dot(const Vec3& a, const Vec3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float lengthOf(const Vec3& a) {
  return std::sqrt(dot(a, a));
}

// Degrees to radians by the program's one constant, in single precision.
constexpr float kRadiansPerDegree = 0.017453292f;

// The unit direction from an orbit's centre towards a point at the given elevation and heading:
// (sin y cos p, sin p, -cos y cos p). Pitch 0, yaw 0 gives (0, 0, -1).
Vec3 orbitDirection(float pitchDegrees, float yawDegrees);

// Scales v in place to unit length and returns its former length. A zero vector becomes not-a-number
// in every component and 0 is returned.
float normalize(Vec3& v);

// The normal of the triangle p0, p1, p2, (p0 - p2) x (p1 - p2), not normalised: outwards for a face wound
// counter-clockwise as seen from outside.
Vec3 faceNormal(const Vec3& p0, const Vec3& p1, const Vec3& p2);

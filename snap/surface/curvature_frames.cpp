// Moving curvature tensors between tangent frames, and their principal directions.
#include "curvature_frames.h"

#include <utility>

void rotateFrame(const Vec3& u, const Vec3& v, const Vec3& normal, Vec3& turnedU, Vec3& turnedV) {
  turnedU = u;
  turnedV = v;
  const Vec3 oldNormal = cross(u, v);
  const float cosine = dot(oldNormal, normal);
  if (cosine <= -1.0f) {
    // Turned right round: about any axis in the plane, u here.
    turnedV = -v;
    return;
  }
  // The rotation that takes oldNormal to normal, applied to vectors across oldNormal.
  const Vec3 across = normal - cosine * oldNormal;
  const Vec3 shift = (1.0f / (1.0f + cosine)) * (oldNormal + normal);
  turnedU -= dot(turnedU, across) * shift;
  turnedV -= dot(turnedV, across) * shift;
}

SecondForm projectForm(const Vec3& oldU, const Vec3& oldV, const SecondForm& form, const Vec3& newU,
                       const Vec3& newV) {
  Vec3 u, v;
  rotateFrame(newU, newV, cross(oldU, oldV), u, v);
  const float u1 = dot(u, oldU), v1 = dot(u, oldV), u2 = dot(v, oldU), v2 = dot(v, oldV);
  return {form[0] * u1 * u1 + form[1] * (2.0f * u1 * v1) + form[2] * v1 * v1,
          form[0] * u1 * u2 + form[1] * (u1 * v2 + u2 * v1) + form[2] * v1 * v2,
          form[0] * u2 * u2 + form[1] * (2.0f * u2 * v2) + form[2] * v2 * v2};
}

CurvatureDerivative projectDerivative(const Vec3& oldU, const Vec3& oldV, const CurvatureDerivative& c,
                                      const Vec3& newU, const Vec3& newV) {
  Vec3 u, v;
  rotateFrame(newU, newV, cross(oldU, oldV), u, v);
  const float u1 = dot(u, oldU), v1 = dot(u, oldV), u2 = dot(v, oldU), v2 = dot(v, oldV);
  return {
      c[0] * u1 * u1 * u1 + c[1] * 3.0f * u1 * u1 * v1 + c[2] * 3.0f * u1 * v1 * v1 + c[3] * v1 * v1 * v1,
      c[0] * u1 * u1 * u2 + c[1] * (u1 * u1 * v2 + 2.0f * u2 * u1 * v1) +
          c[2] * (u2 * v1 * v1 + 2.0f * u1 * v1 * v2) + c[3] * v1 * v1 * v2,
      c[0] * u1 * u2 * u2 + c[1] * (u2 * u2 * v1 + 2.0f * u1 * u2 * v2) +
          c[2] * (u1 * v2 * v2 + 2.0f * u2 * v2 * v1) + c[3] * v1 * v2 * v2,
      c[0] * u2 * u2 * u2 + c[1] * 3.0f * u2 * u2 * v2 + c[2] * 3.0f * u2 * v2 * v2 + c[3] * v2 * v2 * v2};
}

PrincipalCurvature principalOf(const Vec3& u, const Vec3& v, const SecondForm& form, const Vec3& normal) {
  Vec3 ru, rv;
  rotateFrame(u, v, normal, ru, rv);
  const float ku = form[0], kuv = form[1], kv = form[2];
  float c = 1.0f, s = 0.0f, t = 0.0f;
  if (kuv != 0.0f) {
    // The Jacobi rotation that clears the mixed term.
    const float h = 0.5f * (kv - ku) / kuv;
    t = h < 0.0f ? 1.0f / (h - std::sqrt(1.0f + h * h)) : 1.0f / (h + std::sqrt(1.0f + h * h));
    c = 1.0f / std::sqrt(1.0f + t * t);
    s = t * c;
  }
  PrincipalCurvature result;
  result.k1 = ku - t * kuv;
  result.k2 = kv + t * kuv;
  if (std::abs(result.k1) >= std::abs(result.k2)) {
    result.direction1 = c * ru - s * rv;
  } else {
    std::swap(result.k1, result.k2);
    result.direction1 = s * ru + c * rv;
  }
  result.direction2 = cross(normal, result.direction1);
  return result;
}

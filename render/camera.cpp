// Orbit and free camera maths, and the one GL call that applies it.
#include "camera.h"

#include <GL/glu.h>

#include <cmath>

void Camera::computeAxes(Vec3& up, Vec3& forward) const {
  if (mode != Free && mode != Orbit) {
    return;
  }
  const float p = pitch * kRadiansPerDegree;
  const float y = yaw * kRadiansPerDegree;
  const float sinP = std::sin(p), cosP = std::cos(p);
  const float sinY = std::sin(y), cosY = std::cos(y);
  // Perpendicular to the orbit direction at every pitch, so the view never degenerates at the poles.
  up = {-sinP * sinY, cosP, sinP * cosY};
  if (mode == Free) {
    forward = {cosP * sinY, sinP, -cosP * cosY};
  } else {
    forward = {-cosP * sinY, -sinP, cosP * cosY};
  }
}

void Camera::eyePosition(Vec3& eye) const {
  if (mode == Free) {
    eye = position;
  } else if (mode == Orbit) {
    const Vec3 o = orbitDirection(pitch, yaw);
    eye = {position.x + distance * o.x, position.y + distance * o.y, position.z + distance * o.z};
  }
}

void Camera::applyView() const {
  Vec3 up{}, forward{};
  if (mode == Free) {
    computeAxes(up, forward);
    gluLookAt(position.x, position.y, position.z, position.x + forward.x, position.y + forward.y,
              position.z + forward.z, up.x, up.y, up.z);
  } else if (mode == Orbit) {
    computeAxes(up, forward);
    Vec3 eye{};
    eyePosition(eye);
    gluLookAt(eye.x, eye.y, eye.z, position.x, position.y, position.z, up.x, up.y, up.z);
  }
}

// The view camera: an orbit around a target, or a free eye looking along pitch and yaw.
#pragma once

#include "vec3.h"

enum CameraMode { Free = 0, Orbit = 1 };

struct Camera {
  int mode;        // a CameraMode; any other value sets no view
  Vec3 position;   // Orbit: the target looked at. Free: the eye
  float pitch;     // degrees, never wrapped or clamped
  float yaw;       // degrees
  float distance;  // Orbit: the eye's distance from the target; may be zero or negative

  // Writes the unit up and viewing directions. Leaves both untouched for an unknown mode.
  void computeAxes(Vec3& up, Vec3& forward) const;
  // Writes the eye point. Leaves it untouched for an unknown mode.
  void eyePosition(Vec3& eye) const;
  // Multiplies the view onto the current GL matrix with one gluLookAt; nothing for an unknown mode.
  void applyView() const;
};

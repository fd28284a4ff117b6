// The orbit camera and the light that rides with it: pure maths, checked to the float.
#include <gmock/gmock.h>

#include "camera.h"
#include "tone.h"

namespace {

using testing::FloatNear;

MATCHER_P(VecNear, expected, "") {
  return std::abs(arg.x - expected.x) < 1e-4f && std::abs(arg.y - expected.y) < 1e-4f &&
         std::abs(arg.z - expected.z) < 1e-4f;
}

TEST(Camera, OrbitPlacesEyeOnTheSphereAndLooksAtTheTarget) {
  struct Case {
    float pitch, yaw, distance;
    Vec3 eye, up, forward;
  };
  const Case cases[] = {
      // The start-up view: eye in front of the target, looking along +z.
      {0, 0, 1, {0, 0.1f, -1}, {0, 1, 0}, {0, 0, 1}},
      {0, 90, 1, {1, 0.1f, 0}, {0, 1, 0}, {-1, 0, 0}},
      // Straight above the target, and on over the pole: upside down, never flipped.
      {90, 0, 1, {0, 1.1f, 0}, {0, 0, 1}, {0, -1, 0}},
      {180, 0, 1, {0, 0.1f, 1}, {0, -1, 0}, {0, 0, -1}},
      {45, 90, 2, {1.41421f, 1.51421f, 0}, {-0.70711f, 0.70711f, 0}, {-0.70711f, -0.70711f, 0}},
      // A negative distance puts the eye behind the target, still looking the same way.
      {0, 0, -1, {0, 0.1f, 1}, {0, 1, 0}, {0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pitch " << c.pitch << " yaw " << c.yaw << " distance " << c.distance);
    const Camera camera{Orbit, {0.0f, 0.1f, 0.0f}, c.pitch, c.yaw, c.distance};
    Vec3 eye{}, up{}, forward{};
    camera.eyePosition(eye);
    camera.computeAxes(up, forward);
    EXPECT_THAT(eye, VecNear(c.eye));
    EXPECT_THAT(up, VecNear(c.up));
    EXPECT_THAT(forward, VecNear(c.forward));
  }
}

// The light stands on the camera's orbit sphere, offset in yaw and pitch from the eye, whatever the mode.
TEST(Light, RidesOnTheCamerasOrbitAtItsOffsets) {
  struct Case {
    Camera camera;
    float yawOffset, pitchOffset;
    Vec3 light;
  };
  const Case cases[] = {
      {{Orbit, {0, 0.1f, 0}, 0, 0, 1}, 90, 45, {0.70711f, 0.80711f, 0}},
      {{Free, {0, 0.1f, 0}, 0, -90, 1}, 90, 0, {0, 0.1f, -1}},
      {{Orbit, {0, 0.1f, 0}, 30, 0, 1}, 90, 45, {0.25882f, 1.06593f, 0}},
      {{Orbit, {1, 0.1f, 0}, 0, 0, 2}, 0, 0, {1, 0.1f, -2}},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(lightPosition(c.camera, c.yawOffset, c.pitchOffset), VecNear(c.light))
        << "pitch " << c.camera.pitch << " yaw " << c.camera.yaw;
  }
}

}  // namespace

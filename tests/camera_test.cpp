// The orbit and free camera: eye, up and viewing direction across the angles that matter.
#include <gtest/gtest.h>

#include <cmath>

#include "camera.h"

namespace {

void expectVec(const Vec3& actual, Vec3 expected, const char* what) {
  EXPECT_NEAR(actual.x, expected.x, 1e-6f) << what;
  EXPECT_NEAR(actual.y, expected.y, 1e-6f) << what;
  EXPECT_NEAR(actual.z, expected.z, 1e-6f) << what;
}

Camera startupCamera() { return Camera{Orbit, {0.0f, 0.1f, 0.0f}, 0.0f, 0.0f, 1.0f}; }

struct OrbitCase {
  float pitch, yaw, distance;
  Vec3 eye, up, forward;
};

TEST(Camera, OrbitPlacesEyeOnTheSphereAndLooksAtTheTarget) {
  const OrbitCase cases[] = {
      // The start-up view: eye in front of the target, looking along +z.
      {0, 0, 1, {0, 0.1f, -1}, {0, 1, 0}, {0, 0, 1}},
      {0, 90, 1, {1, 0.1f, 0}, {0, 1, 0}, {-1, 0, 0}},
      // Straight above the target, and on over the pole: upside down, never flipped.
      {90, 0, 1, {0, 1.1f, 0}, {0, 0, 1}, {0, -1, 0}},
      {180, 0, 1, {0, 0.1f, 1}, {0, -1, 0}, {0, 0, -1}},
      // A negative distance puts the eye behind the target, still looking at it.
      {0, 0, -1, {0, 0.1f, 1}, {0, 1, 0}, {0, 0, 1}},
      {0, 0, 2.5f, {0, 0.1f, -2.5f}, {0, 1, 0}, {0, 0, 1}},
  };
  for (const OrbitCase& c : cases) {
    Camera camera = startupCamera();
    camera.pitch = c.pitch;
    camera.yaw = c.yaw;
    camera.distance = c.distance;
    Vec3 eye{}, up{}, forward{};
    camera.eyePosition(eye);
    camera.computeAxes(up, forward);
    SCOPED_TRACE(testing::Message() << "pitch " << c.pitch << " yaw " << c.yaw << " distance " << c.distance);
    expectVec(eye, c.eye, "eye");
    expectVec(up, c.up, "up");
    expectVec(forward, c.forward, "forward");
  }
}

TEST(Camera, UpStaysPerpendicularToTheViewAtEveryAngle) {
  for (float pitch = -720; pitch <= 720; pitch += 37.5f) {
    for (float yaw = -400; yaw <= 400; yaw += 41) {
      Camera camera = startupCamera();
      camera.pitch = pitch;
      camera.yaw = yaw;
      Vec3 up{}, forward{};
      camera.computeAxes(up, forward);
      EXPECT_NEAR(up.x * forward.x + up.y * forward.y + up.z * forward.z, 0.0f, 1e-6f);
      EXPECT_NEAR(up.x * up.x + up.y * up.y + up.z * up.z, 1.0f, 1e-6f);
    }
  }
}

TEST(Camera, FreeModeLooksFromPositionAlongPitchAndYaw) {
  Camera camera{Free, {0.0f, 0.1f, 0.0f}, 0.0f, 0.0f, 7.0f};
  Vec3 eye{}, up{}, forward{};
  camera.eyePosition(eye);
  camera.computeAxes(up, forward);
  expectVec(eye, {0, 0.1f, 0}, "eye");
  expectVec(forward, {0, 0, -1}, "forward");
  expectVec(up, {0, 1, 0}, "up");
  camera.pitch = 90;
  camera.computeAxes(up, forward);
  expectVec(forward, {0, 1, 0}, "forward lifted");
}

TEST(Camera, UnknownModeLeavesOutputsUntouched) {
  Camera camera = startupCamera();
  camera.mode = 7;
  Vec3 eye{9, 9, 9}, up{8, 8, 8}, forward{7, 7, 7};
  camera.eyePosition(eye);
  camera.computeAxes(up, forward);
  expectVec(eye, {9, 9, 9}, "eye");
  expectVec(up, {8, 8, 8}, "up");
  expectVec(forward, {7, 7, 7}, "forward");
}

TEST(Camera, OrbitDirectionFollowsTheDocumentedAxes) {
  expectVec(orbitDirection(0, 0), {0, 0, -1}, "pitch 0 yaw 0");
  expectVec(orbitDirection(0, 90), {1, 0, 0}, "yaw 90");
  expectVec(orbitDirection(90, 0), {0, 1, 0}, "pitch 90");
}

TEST(Normalize, ScalesToUnitLengthAndReturnsFormerLength) {
  Vec3 v{3, 0, 4};
  EXPECT_FLOAT_EQ(normalize(v), 5.0f);
  expectVec(v, {0.6f, 0, 0.8f}, "unit");
  Vec3 zero{0, 0, 0};
  EXPECT_EQ(normalize(zero), 0.0f);
  EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

}  // namespace

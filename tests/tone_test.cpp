// Which tone band each face gets from the light.
#include <gtest/gtest.h>

#include <cmath>

#include "tone.h"

namespace {


// A triangle in the plane z = 0 whose reference point (two thirds from the midpoint of p0-p1 towards p2)
// is the origin; counter-clockwise seen from +z, so its outer normal is +z.
struct Triangle {
  Vec3 p0, p1, p2;
};
Triangle facingPlusZ(float size = 0.125f) {
  return {{-size, -size, 0}, {3 * size, -size, 0}, {-size / 2, size / 2, 0}};
}
Triangle reversed(const Triangle& t) { return {t.p1, t.p0, t.p2}; }

int band(const Triangle& t, Vec3 light, bool reversedWinding = false) {
  return faceBand(t.p0, t.p1, t.p2, light, reversedWinding);
}

TEST(Tone, IntensityFallsOffWithTheSquareOfTheDistanceAndCapsAtOne) {
  const Triangle t = facingPlusZ();
  // Straight in front of the face: intensity is 1 / distance squared, never above 1.
  EXPECT_EQ(band(t, {0, 0, 0.5f}), 15);  // capped at 1: band 16 clamped to 15
  EXPECT_EQ(band(t, {0, 0, 1.0f}), 15);
  EXPECT_EQ(band(t, {0, 0, 2.0f}), 4);  // 0.25
  EXPECT_EQ(band(t, {0, 0, 1000.0f}), 0);
}

TEST(Tone, BandEdgesFallOnSixteenths) {
  EXPECT_EQ(bandOfIntensity(0.25), 4);
  EXPECT_EQ(bandOfIntensity(0.4375), 7);
  EXPECT_EQ(bandOfIntensity(std::nextafter(0.4375, 0.0)), 6);
  EXPECT_EQ(bandOfIntensity(0.875), 14);
  EXPECT_EQ(bandOfIntensity(std::nextafter(0.875, 0.0)), 13);
  EXPECT_EQ(bandOfIntensity(1.0), 15);
  EXPECT_EQ(bandOfIntensity(1e-9), 0);
}

TEST(Tone, FacesNotLookingAtTheLightAreTurnedAway) {
  const Triangle t = facingPlusZ();
  EXPECT_EQ(band(t, {0, 0, -1}), kTurnedAway);
  // Edge-on: facing exactly 0.
  EXPECT_EQ(band(t, {1, 0, 0}), kTurnedAway);
  // Zero area: the normal is not a number.
  const Triangle flat{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
  EXPECT_EQ(band(flat, {0, 0, 1}), kTurnedAway);
  // The light on the reference point: the direction to it is not a number.
  EXPECT_EQ(band(t, {0, 0, 0}), kTurnedAway);
}

TEST(Tone, ReversedWindingGivesTheSameBands) {
  const Triangle t = facingPlusZ(0.05f);
  for (Vec3 light : {Vec3{0, 0, 2}, Vec3{0.3f, -0.2f, 1.1f}, Vec3{0, 0, -1}, Vec3{2, 1, 0.5f}}) {
    EXPECT_EQ(band(reversed(t), light, true), band(t, light, false));
  }
  // The same triangle taken as the other winding faces the other way.
  EXPECT_EQ(band(reversed(t), {0, 0, 2}, false), kTurnedAway);
}

TEST(Tone, ReferencePointIsNotTheCentroid) {
  // Reference point at the origin, centroid at (0.0625, -0.0625, 0). Lit from 2 units along the normal
  // through the reference point the intensity is exactly 0.25 (band 4); the same light over the centroid
  // would reach the reference point at a slant, with less.
  const Triangle t = facingPlusZ();
  EXPECT_EQ(band(t, {0, 0, 2.0f}), 4);
  EXPECT_EQ(band(t, {0.0625f, -0.0625f, 2.0f}), 3);
}

}  // namespace

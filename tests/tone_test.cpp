// Which tone band each face gets from the light.
#include <gtest/gtest.h>

#include <cmath>

#include "tone.h"

namespace {

// A triangle in the plane z = 0 whose reference point (two thirds from the midpoint of p0-p1 towards p2) is
// the origin and whose centroid is (0.0625, -0.0625, 0); counter-clockwise seen from +z.
constexpr Vec3 kP0{-0.125f, -0.125f, 0}, kP1{0.375f, -0.125f, 0}, kP2{-0.0625f, 0.0625f, 0};

TEST(Tone, FacesGetTheBandOfTheirIntensity) {
  const struct {
    const char* what;
    Vec3 light;
    bool reversed;  // the triangle wound the other way and drawn as reversed
    int band;
  } cases[] = {
      // Straight in front: intensity 1 / distance squared, never above 1, 1 itself in the top band.
      {"half a unit in front", {0, 0, 0.5f}, false, 15},
      {"one unit in front", {0, 0, 1}, false, 15},
      {"two units in front", {0, 0, 2}, false, 4},
      {"two units in front, reversed", {0, 0, 2}, true, 4},
      {"far in front", {0, 0, 1000}, false, 0},
      // The reference point is not the centroid: over the centroid the light reaches it at a slant.
      {"over the centroid", {0.0625f, -0.0625f, 2}, false, 3},
      {"at a slant", {0.3f, -0.2f, 1.1f}, false, 11},
      {"at a slant, reversed", {0.3f, -0.2f, 1.1f}, true, 11},
      {"behind", {0, 0, -1}, false, kTurnedAway},
      {"behind, reversed", {0, 0, -1}, true, kTurnedAway},
      {"edge-on", {1, 0, 0}, false, kTurnedAway},
      // The direction to the light is not a number.
      {"on the reference point", {0, 0, 0}, false, kTurnedAway},
  };
  for (const auto& c : cases) {
    const int band =
        c.reversed ? faceBand(kP1, kP0, kP2, c.light, true) : faceBand(kP0, kP1, kP2, c.light, false);
    EXPECT_EQ(band, c.band) << c.what;
  }
  // Zero area: the normal is not a number.
  EXPECT_EQ(faceBand({0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {0, 0, 1}, false), kTurnedAway);
  // Taken as the other winding, the triangle faces the other way.
  EXPECT_EQ(faceBand(kP1, kP0, kP2, {0, 0, 2}, false), kTurnedAway);
}

TEST(Tone, BandEdgesFallOnSixteenths) {
  for (auto [intensity, band] : {std::pair{0.25, 4},
                                 {0.4375, 7},
                                 {std::nextafter(0.4375, 0.0), 6},
                                 {0.875, 14},
                                 {std::nextafter(0.875, 0.0), 13},
                                 {1.0, 15},
                                 {1e-9, 0}}) {
    EXPECT_EQ(bandOfIntensity(intensity), band) << intensity;
  }
}

}  // namespace

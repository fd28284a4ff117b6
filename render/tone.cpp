// Light placement and per-face tones, computed step by step in single precision.
#include "tone.h"

#include <cmath>
#include <initializer_list>

namespace {

constexpr Tone kDark{0.65f, 0.65f, 0.15f, 2};
constexpr Tone kMiddle{0.85f, 0.85f, 0.5f, 1};
constexpr Tone kBright{1.0f, 1.0f, 1.0f, 0};
constexpr Tone kAway{0.5f, 0.5f, 0.0f, 3};

// Intensity below 7/16 is dark, below 14/16 middle, the rest bright.
constexpr int kFirstMiddleBand = 7;
constexpr int kFirstBrightBand = 14;

}  // namespace

Vec3 lightPosition(const Camera& camera, float lightYawOffset, float lightPitchOffset) {
  const Vec3 dir = orbitDirection(lightPitchOffset + camera.pitch, lightYawOffset + camera.yaw);
  return {camera.position.x + camera.distance * dir.x, camera.position.y + camera.distance * dir.y,
          camera.position.z + camera.distance * dir.z};
}

int faceBand(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& light, bool reversedWinding) {
  Vec3 n = faceNormal(p0, p1, p2);
  normalize(n);

  // Two thirds of the way from the midpoint of p0-p1 towards p2; not the centroid, but the tones have
  // always been measured from here.
  constexpr float kThird = 1.0f / 3.0f, kTwoThirds = 2.0f / 3.0f;
  const Vec3 r{(p0.x + p1.x) * 0.5f * kThird + p2.x * kTwoThirds,
               (p0.y + p1.y) * 0.5f * kThird + p2.y * kTwoThirds,
               (p0.z + p1.z) * 0.5f * kThird + p2.z * kTwoThirds};

  Vec3 d{r.x - light.x, r.y - light.y, r.z - light.z};
  // Inverse-square fall-off, never brighter than at distance 1.
  float attenuation = 1.0f / (d.x * d.x + d.y * d.y + d.z * d.z);
  if (attenuation > 1.0f) {
    attenuation = 1.0f;
  }
  normalize(d);
  float facing = d.x * n.x + d.y * n.y + d.z * n.z;
  if (reversedWinding) {
    facing = -facing;
  }
  // Written so that a facing that is not a number also counts as turned away.
  if (!(facing < 0.0f)) {
    return kTurnedAway;
  }
  return bandOfIntensity(-static_cast<double>(facing) * static_cast<double>(attenuation));
}

int bandOfIntensity(double intensity) {
  const int band = static_cast<int>(kBandCount * intensity);
  return band > kBandCount - 1 ? kBandCount - 1 : band;
}

Palette viewerPalette() {
  Palette palette{};
  for (const Tone* tone : {&kBright, &kMiddle, &kDark, &kAway}) {
    palette.tones[tone->texture] = {tone->r, tone->g, tone->b};
  }
  palette.line = {0.0f, 0.0f, 0.0f};
  return palette;
}

const Tone& toneOfBand(int band) {
  if (band == kTurnedAway) {
    return kAway;
  }
  if (band < kFirstMiddleBand) {
    return kDark;
  }
  return band < kFirstBrightBand ? kMiddle : kBright;
}

// Where the light stands and which tone a face gets from it: pure maths, no GL.
#pragma once

#include "camera.h"

// A face's tone band: 0..15 for a face whose outer side looks towards the light, kTurnedAway otherwise
// (including degenerate faces, whose facing is not a number).
constexpr int kTurnedAway = -1;
constexpr int kBandCount = 16;

struct Tone {
  float r, g, b;
  int texture;  // index into the renderer's four hatching textures
};

// The light rides on the camera's orbit sphere, offset in yaw and pitch from the eye. The camera's mode
// is not consulted.
Vec3 lightPosition(const Camera& camera, float lightYawOffset, float lightPitchOffset);

// The band of the triangle p0, p1, p2 lit from light. For reversed winding (clockwise seen from
// outside) the facing is negated, so either winding of a mesh gets the same bands.
int faceBand(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& light, bool reversedWinding);

// The band of a lit face's intensity in (0, 1]: 16 x intensity truncated, 1 itself in the top band.
int bandOfIntensity(double intensity);

// The colour and texture of a band from faceBand.
const Tone& toneOfBand(int band);

// A colour, each channel from 0 to 1, as GL takes it.
struct Colour {
  float r, g, b;
  bool operator==(const Colour&) const = default;
};

// Colours to draw a picture in instead of the viewer's: each tone's, by texture index from the bright tone
// (0) to the turned-away one (3), and the lines'.
struct Palette {
  Colour tones[4];
  Colour line;
};

// The viewer's own: the colours of the tone table above, and black lines.
Palette viewerPalette();

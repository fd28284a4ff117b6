// Writes the four pencil-hatching images xhatch1.bmp (lightest) to xhatch4.bmp (densest) into a folder:
//   make_hatching [folder]     (default "data")
// The set is nested like a tonal art map: each image holds every stroke of the lighter ones and adds its
// own, so a tone change on the model reads as strokes added. Strokes wrap around the edges, so each image
// tiles without a seam. Only +, -, *, / and sqrt shape a pixel and the random numbers come from our own
// xorshift, so the same command writes the same bytes wherever IEEE floats behave as IEEE floats.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output_file.h"

namespace {

constexpr int kSize = 256;

// xorshift64*: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  // Uniform in [0, 1), from the top 24 bits, exactly representable as a float.
  float unit() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
  float range(float low, float high) { return low + (high - low) * unit(); }

 private:
  uint64_t state_;
};

float smoothstep(float edge0, float edge1, float x) {
  const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

int wrap(int i) {
  return ((i % kSize) + kSize) % kSize;
}

// Paper tooth: value noise on two periodic lattices, so it tiles like the strokes. Graphite catches on
// the high spots, which gives the strokes their grain.
class Paper {
 public:
  explicit Paper(Random& random) : grain_(kSize * kSize) {
    const std::vector<float> fine = lattice(random, 128);
    const std::vector<float> coarse = lattice(random, 32);
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        grain_[y * kSize + x] = 0.6f * sample(fine, 128, x, y) + 0.4f * sample(coarse, 32, x, y);
      }
    }
  }
  float at(int x, int y) const { return grain_[wrap(y) * kSize + wrap(x)]; }

 private:
  static std::vector<float> lattice(Random& random, int cells) {
    std::vector<float> values(static_cast<size_t>(cells * cells));
    for (float& v : values) {
      v = random.unit();
    }
    return values;
  }
  static float sample(const std::vector<float>& values, int cells, int x, int y) {
    const float step = static_cast<float>(kSize / cells);
    const float fx = (static_cast<float>(x) + 0.5f) / step - 0.5f;
    const float fy = (static_cast<float>(y) + 0.5f) / step - 0.5f;
    const int x0 = static_cast<int>(fx + cells) - cells;
    const int y0 = static_cast<int>(fy + cells) - cells;
    const float tx = smoothstep(0.0f, 1.0f, fx - static_cast<float>(x0));
    const float ty = smoothstep(0.0f, 1.0f, fy - static_cast<float>(y0));
    auto v = [&](int i, int j) {
      return values[((j % cells + cells) % cells) * cells + (i % cells + cells) % cells];
    };
    const float bottom = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * tx;
    const float top = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * tx;
    return bottom + (top - bottom) * ty;
  }
  std::vector<float> grain_;
};

// How much light the graphite lets through at each pixel, 1 on bare paper; bottom row first.
using Canvas = std::vector<float>;

struct Stroke {
  float cx, cy;  // middle of the stroke
  float ux, uy;  // unit direction
  float length;
  float width;     // of the line's core, in pixels
  float bend;      // sideways bow at the middle, in pixels
  float pressure;  // darkness at full pressure, 0 to 1
  float fade;      // how much lighter the end is than the start, 0 to 1
};

// Lays one stroke on the canvas, wrapping around the edges. Each covered pixel lets through a share
// (1 - darkness) of what it did, so strokes only ever darken and a darker image keeps every lighter
// one's strokes.
void draw(Canvas& canvas, const Paper& paper, const Stroke& s) {
  const float nx = -s.uy;
  const float ny = s.ux;
  const float half = 0.5f * s.length;
  const float reach = half + s.width + std::max(s.bend, -s.bend) + 2.0f;
  const int left = static_cast<int>(s.cx - reach) - 1;
  const int right = static_cast<int>(s.cx + reach) + 1;
  const int bottom = static_cast<int>(s.cy - reach) - 1;
  const int top = static_cast<int>(s.cy + reach) + 1;
  for (int y = bottom; y <= top; ++y) {
    for (int x = left; x <= right; ++x) {
      const float dx = static_cast<float>(x) + 0.5f - s.cx;
      const float dy = static_cast<float>(y) + 0.5f - s.cy;
      const float along = dx * s.ux + dy * s.uy;
      if (along < -half || along > half) {
        continue;
      }
      const float t = along / half;  // -1 at the start, 1 at the end
      const float across = dx * nx + dy * ny - s.bend * (1.0f - t * t);
      const float distance = std::max(across, -across);
      // Box-filtered edge: full cover inside the core, a one-pixel ramp outside it.
      const float cover = std::clamp(0.5f * s.width + 0.5f - distance, 0.0f, 1.0f);
      if (cover <= 0.0f) {
        continue;
      }
      // The pencil lands and lifts off gently and presses less towards the end.
      const float taper = smoothstep(0.0f, 0.3f, 1.0f - t) * smoothstep(0.0f, 0.15f, 1.0f + t);
      const float press = s.pressure * taper * (1.0f - s.fade * 0.5f * (t + 1.0f));
      const float darkness = cover * press * (0.45f + 0.55f * paper.at(x, y));
      float& light = canvas[static_cast<size_t>(wrap(y) * kSize + wrap(x))];
      light *= 1.0f - darkness;
    }
  }
}

// A family of parallel hatching tracks along the integer direction (a, b). Such a line closes on itself
// around the tile, so strokes along a track meet their own start and the spacing between tracks holds
// across the edges.
struct Hatching {
  int a, b;
  int tracks;   // tracks around the tile
  float phase;  // where the first track lies, as a share of the track spacing
  float minLength, maxLength;
  float minGap, maxGap;
  float minWidth, maxWidth;
  float minPressure, maxPressure;
};

void hatch(Canvas& canvas, const Paper& paper, Random& random, const Hatching& h) {
  const float norm = std::sqrt(static_cast<float>(h.a * h.a + h.b * h.b));
  const float ux = static_cast<float>(h.a) / norm;
  const float uy = static_cast<float>(h.b) / norm;
  const float trackLength = static_cast<float>(kSize) * norm;
  // Tracks are the lines b*x - a*y = c; c runs over [0, kSize) and a step of 1 in c moves 1/norm pixels.
  const float spacing = static_cast<float>(kSize) / static_cast<float>(h.tracks);
  for (int k = 0; k < h.tracks; ++k) {
    const float c = (static_cast<float>(k) + h.phase) * spacing;
    const float ox = c * static_cast<float>(h.b) / (norm * norm);
    const float oy = -c * static_cast<float>(h.a) / (norm * norm);
    const float start = random.range(0.0f, trackLength);
    float at = 0.0f;
    while (true) {
      const float length = random.range(h.minLength, h.maxLength);
      if (at + length > trackLength - h.minGap) {
        break;
      }
      // Each stroke strays a little from its track in place and in angle, as a hand does.
      const float drift = random.range(-1.0f, 1.0f);
      const float turn = random.range(-0.035f, 0.035f);
      float sx = ux - turn * uy;
      float sy = uy + turn * ux;
      const float sn = std::sqrt(sx * sx + sy * sy);
      sx /= sn;
      sy /= sn;
      const float middle = start + at + 0.5f * length;
      Stroke s{};
      s.cx = ox + middle * ux - drift * uy;
      s.cy = oy + middle * uy + drift * ux;
      // Keep the middle on the tile; the drawing wraps the rest.
      s.cx -= static_cast<float>(kSize) * static_cast<float>(static_cast<int>(s.cx / kSize + 64.0f) - 64);
      s.cy -= static_cast<float>(kSize) * static_cast<float>(static_cast<int>(s.cy / kSize + 64.0f) - 64);
      s.ux = sx;
      s.uy = sy;
      s.length = length;
      s.width = random.range(h.minWidth, h.maxWidth);
      s.bend = random.range(-1.2f, 1.2f);
      s.pressure = random.range(h.minPressure, h.maxPressure);
      s.fade = random.range(0.1f, 0.5f);
      draw(canvas, paper, s);
      at += length + random.range(h.minGap, h.maxGap);
    }
  }
}

// A 24-bit BMP with the 40-byte info header: rows bottom first, BGR, no fill (256 * 3 is a multiple of 4).
bool writeBmp(const std::string& path, const Canvas& canvas, std::string& error) {
  constexpr uint32_t kDataBytes = kSize * kSize * 3;
  std::string bytes(54 + kDataBytes, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  auto put32 = [&](size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) {
      bytes[at + i] = static_cast<char>(v >> (8 * i));
    }
  };
  put32(2, 54 + kDataBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, kSize);
  put32(22, kSize);
  bytes[26] = 1;
  bytes[28] = 24;
  put32(34, kDataBytes);
  put32(38, 2835);  // 72 dots per inch
  put32(42, 2835);

  // Graphite is a cool dark grey: where the canvas lets no light through the pixel takes this colour.
  constexpr float kGraphite[3] = {0.16f, 0.17f, 0.20f};  // red, green, blue
  char* data = bytes.data() + 54;
  for (size_t i = 0; i < canvas.size(); ++i) {
    const float light = canvas[i];
    for (int c = 0; c < 3; ++c) {
      // BMP stores blue first.
      const float ink = kGraphite[2 - c];
      const float value = 255.0f * (ink + (1.0f - ink) * light);
      data[i * 3 + static_cast<size_t>(c)] = static_cast<char>(static_cast<unsigned char>(value + 0.5f));
    }
  }
  return writeOutputFile(path, bytes, error);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "data";
  Random random(0x5EED0F9E4C11ULL);
  const Paper paper(random);
  Canvas canvas(kSize * kSize, 1.0f);

  // What each image adds to the one before: sparse strokes up to the right; more of them between those;
  // crossing strokes down to the right; then more of both diagonals and a third, horizontal direction,
  // each heavier than the last. Fields: direction, tracks, phase, length, gap, width and pressure ranges.
  const std::vector<std::vector<Hatching>> levels = {
      {{1, 1, 32, 0.0f, 40.0f, 80.0f, 8.0f, 30.0f, 0.8f, 1.2f, 0.8f, 1.0f}},
      {{1, 1, 32, 0.5f, 40.0f, 80.0f, 2.0f, 8.0f, 1.0f, 1.5f, 0.9f, 1.0f}},
      {{1, -1, 32, 0.25f, 40.0f, 80.0f, 3.0f, 10.0f, 1.0f, 1.5f, 0.9f, 1.0f},
       {1, -1, 32, 0.75f, 40.0f, 80.0f, 3.0f, 10.0f, 1.0f, 1.5f, 0.9f, 1.0f}},
      {{1, 1, 32, 0.25f, 30.0f, 70.0f, 2.0f, 8.0f, 1.1f, 1.7f, 0.9f, 1.0f},
       {1, -1, 32, 0.0f, 30.0f, 70.0f, 2.0f, 8.0f, 1.1f, 1.7f, 0.9f, 1.0f},
       {1, 0, 48, 0.0f, 30.0f, 70.0f, 2.0f, 8.0f, 1.1f, 1.7f, 0.9f, 1.0f},
       {1, 0, 48, 0.5f, 30.0f, 70.0f, 2.0f, 8.0f, 1.1f, 1.7f, 0.9f, 1.0f}},
  };
  for (size_t level = 0; level < levels.size(); ++level) {
    for (const Hatching& h : levels[level]) {
      hatch(canvas, paper, random, h);
    }
    const std::string path = folder + "/xhatch" + std::to_string(level + 1) + ".bmp";
    std::string error;
    if (!writeBmp(path, canvas, error)) {
      std::fprintf(stderr, "make_hatching: cannot write %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
  }
  return 0;
}

// Writes the pencil-hatching images into a folder:
//   make_hatching [folder]     (default "data")
// xhatch1.bmp (lightest) to xhatch4.bmp (densest) are 512 by 512; xhatchL-N.bmp are the same four tones
// at N = 256, 128, 64 and 32, the mip levels of textures that stay on a model's surface.
// The set is nested like a tonal art map, in tone and in size: each tone holds every stroke of the lighter
// ones and adds its own, and each size holds every stroke of the smaller ones, drawn as wide in texels, plus
// as many again in between. So a tone change on the model reads as strokes added, and a stroke's width and
// the strokes' density stay the same in pixels whichever level is shown. Strokes wrap around the edges, so
// each image tiles without a seam. Only +, -, *, / and sqrt shape a pixel and the random numbers come from
// our own xorshift, so the same command writes the same bytes wherever IEEE floats behave as IEEE floats.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output_file.h"
#include "tool_arguments.h"

namespace {

// The size of the viewer's images; the layouts below are given in its texels.
constexpr int kFullSize = 512;
constexpr int kSmallestSize = 32;

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

// splitmix64's finaliser: a well-spread, never-zero seed for each track, so that a track's strokes are
// the same whichever sizes are drawn before it.
uint64_t seedOf(uint64_t family, uint64_t track) {
  uint64_t z = family * 0x9E3779B97F4A7C15ULL + track + 1;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return (z ^ (z >> 31)) | 1;
}

float smoothstep(float edge0, float edge1, float x) {
  const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

int wrap(int i, int size) {
  return ((i % size) + size) % size;
}

// Paper tooth: value noise on two periodic lattices, so it tiles like the strokes. Graphite catches on
// the high spots, which gives the strokes their grain. The cells keep their size in texels at every size.
class Paper {
 public:
  Paper(Random& random, int size) : size_(size), grain_(static_cast<size_t>(size * size)) {
    const int fineCells = size / 2;
    const int coarseCells = size / 8;
    const std::vector<float> fine = lattice(random, fineCells);
    const std::vector<float> coarse = lattice(random, coarseCells);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        grain_[static_cast<size_t>(y * size + x)] =
            0.6f * sample(fine, fineCells, x, y) + 0.4f * sample(coarse, coarseCells, x, y);
      }
    }
  }
  float at(int x, int y) const {
    return grain_[static_cast<size_t>(wrap(y, size_) * size_ + wrap(x, size_))];
  }

 private:
  static std::vector<float> lattice(Random& random, int cells) {
    std::vector<float> values(static_cast<size_t>(cells * cells));
    for (float& v : values) {
      v = random.unit();
    }
    return values;
  }
  float sample(const std::vector<float>& values, int cells, int x, int y) const {
    const float step = static_cast<float>(size_ / cells);
    const float fx = (static_cast<float>(x) + 0.5f) / step - 0.5f;
    const float fy = (static_cast<float>(y) + 0.5f) / step - 0.5f;
    const int x0 = static_cast<int>(fx + static_cast<float>(cells)) - cells;
    const int y0 = static_cast<int>(fy + static_cast<float>(cells)) - cells;
    const float tx = smoothstep(0.0f, 1.0f, fx - static_cast<float>(x0));
    const float ty = smoothstep(0.0f, 1.0f, fy - static_cast<float>(y0));
    auto v = [&](int i, int j) {
      return values[static_cast<size_t>(wrap(j, cells) * cells + wrap(i, cells))];
    };
    const float bottom = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * tx;
    const float top = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * tx;
    return bottom + (top - bottom) * ty;
  }
  int size_;
  std::vector<float> grain_;
};

// How much light the graphite lets through at each texel, 1 on bare paper; bottom row first.
struct Canvas {
  int size;
  std::vector<float> light;
};

struct Stroke {
  float cx, cy;    // middle of the stroke, in texels
  float ux, uy;    // unit direction
  float length;    // in texels
  float width;     // of the line's core, in texels
  float bend;      // sideways bow at the middle, in texels
  float pressure;  // darkness at full pressure, 0 to 1
  float fade;      // how much lighter the end is than the start, 0 to 1
};

// Lays one stroke on the canvas, wrapping around the edges. Each covered texel lets through a share
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
      // Box-filtered edge: full cover inside the core, a one-texel ramp outside it.
      const float cover = std::clamp(0.5f * s.width + 0.5f - distance, 0.0f, 1.0f);
      if (cover <= 0.0f) {
        continue;
      }
      // The pencil lands and lifts off gently and presses less towards the end.
      const float taper = smoothstep(0.0f, 0.3f, 1.0f - t) * smoothstep(0.0f, 0.15f, 1.0f + t);
      const float press = s.pressure * taper * (1.0f - s.fade * 0.5f * (t + 1.0f));
      const float darkness = cover * press * (0.45f + 0.55f * paper.at(x, y));
      float& light =
          canvas.light[static_cast<size_t>(wrap(y, canvas.size) * canvas.size + wrap(x, canvas.size))];
      light *= 1.0f - darkness;
    }
  }
}

// A family of parallel hatching tracks along the integer direction (a, b). Such a line closes on itself
// around the tile, so strokes along a track meet their own start and the spacing between tracks holds
// across the edges. Lengths and gaps are in texels of the full size and scale with the image, so a
// stroke covers the same part of the tile at every size; widths, drift and bow are in texels at every
// size, which keeps a stroke as thin on screen whichever level is shown.
struct Hatching {
  int a, b;
  int tracks;   // tracks around the full-size tile; a multiple of kFullSize / kSmallestSize
  float phase;  // where the first track lies, as a share of the track spacing
  float minLength, maxLength;
  float minGap, maxGap;
  float minWidth, maxWidth;
  float minPressure, maxPressure;
};

// Draws the family's tracks that an image of canvas.size texels holds: every (kFullSize / size)-th, so
// that a smaller image's tracks are among a larger one's and the tracks stay as far apart in texels.
void hatch(Canvas& canvas, const Paper& paper, uint64_t family, const Hatching& h) {
  const float size = static_cast<float>(canvas.size);
  const float norm = std::sqrt(static_cast<float>(h.a * h.a + h.b * h.b));
  const float ux = static_cast<float>(h.a) / norm;
  const float uy = static_cast<float>(h.b) / norm;
  // A track runs once around the tile: norm tile widths long. Everything along it is in tile widths.
  const float full = static_cast<float>(kFullSize);
  const float trackLength = norm;
  const float minGap = h.minGap / full;
  for (int k = 0; k < h.tracks; k += kFullSize / canvas.size) {
    Random random(seedOf(family, static_cast<uint64_t>(k)));
    // Tracks are the lines b*x - a*y = c with c in [0, 1) tile widths.
    const float c = (static_cast<float>(k) + h.phase) / static_cast<float>(h.tracks);
    const float ox = c * static_cast<float>(h.b) / (norm * norm);
    const float oy = -c * static_cast<float>(h.a) / (norm * norm);
    const float start = random.range(0.0f, trackLength);
    float at = 0.0f;
    while (true) {
      const float length = random.range(h.minLength, h.maxLength) / full;
      if (at + length > trackLength - minGap) {
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
      s.cx = (ox + middle * ux) * size - drift * uy;
      s.cy = (oy + middle * uy) * size + drift * ux;
      // Keep the middle on the tile; the drawing wraps the rest.
      s.cx -= size * static_cast<float>(static_cast<int>(s.cx / size + 64.0f) - 64);
      s.cy -= size * static_cast<float>(static_cast<int>(s.cy / size + 64.0f) - 64);
      s.ux = sx;
      s.uy = sy;
      s.length = length * size;
      s.width = random.range(h.minWidth, h.maxWidth);
      s.bend = random.range(-1.2f, 1.2f);
      s.pressure = random.range(h.minPressure, h.maxPressure);
      s.fade = random.range(0.1f, 0.5f);
      draw(canvas, paper, s);
      at += length + random.range(h.minGap, h.maxGap) / full;
    }
  }
}

// A 24-bit BMP with the 40-byte info header: rows bottom first, BGR, no fill (size * 3 is a multiple of 4).
// Written whole or not at all (writeOutputFile). Returns the system's reason on failure, empty on success.
std::string writeBmp(const std::string& path, const Canvas& canvas) {
  const uint32_t side = static_cast<uint32_t>(canvas.size);
  const uint32_t dataBytes = side * side * 3;
  std::string bytes(54 + dataBytes, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  auto put32 = [&](size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) {
      bytes[at + i] = static_cast<char>(v >> (8 * i));
    }
  };
  put32(2, 54 + dataBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, side);
  put32(22, side);
  bytes[26] = 1;
  bytes[28] = 24;
  put32(34, dataBytes);
  put32(38, 2835);  // 72 dots per inch
  put32(42, 2835);

  // Graphite is a cool dark grey: where the canvas lets no light through the texel takes this colour.
  constexpr float kGraphite[3] = {0.16f, 0.17f, 0.20f};  // red, green, blue
  char* data = bytes.data() + 54;
  for (size_t i = 0; i < canvas.light.size(); ++i) {
    const float light = canvas.light[i];
    for (int c = 0; c < 3; ++c) {
      // BMP stores blue first.
      const float ink = kGraphite[2 - c];
      const float value = 255.0f * (ink + (1.0f - ink) * light);
      data[i * 3 + static_cast<size_t>(c)] = static_cast<char>(static_cast<unsigned char>(value + 0.5f));
    }
  }
  std::string error;
  return writeOutputFile(path, bytes, error) ? std::string() : error;
}

std::string imageName(int tone, int size) {
  const std::string name = "xhatch" + std::to_string(tone);
  return size == kFullSize ? name + ".bmp" : name + "-" + std::to_string(size) + ".bmp";
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "data";
  CLI::App app(
      "Writes the four hatching images xhatch1.bmp (lightest) to xhatch4.bmp (densest) and their smaller "
      "levels xhatchN-SIZE.bmp.",
      "make_hatching");
  app.add_option("FOLDER", folder, "the folder to write them into")->capture_default_str();
  if (const int status = parseToolArguments(app, argc, argv); status >= 0) {
    return status;
  }

  // What each tone adds to the one before: sparse strokes up to the right; more of them between those;
  // crossing strokes down to the right; then more of both diagonals and a third, horizontal direction,
  // each heavier than the last. Fields: direction, tracks, phase, length, gap, width and pressure ranges.
  const std::vector<std::vector<Hatching>> tones = {
      {{1, 1, 64, 0.0f, 80.0f, 160.0f, 16.0f, 60.0f, 1.0f, 1.6f, 0.62f, 0.82f}},
      {{1, 1, 64, 0.5f, 80.0f, 160.0f, 9.0f, 28.0f, 1.1f, 1.8f, 0.85f, 1.0f}},
      {{1, -1, 64, 0.25f, 80.0f, 160.0f, 16.0f, 42.0f, 1.1f, 1.8f, 0.9f, 1.0f},
       {1, -1, 64, 0.75f, 80.0f, 160.0f, 16.0f, 42.0f, 1.1f, 1.8f, 0.9f, 1.0f}},
      {{1, 1, 64, 0.25f, 60.0f, 140.0f, 13.0f, 36.0f, 1.2f, 2.0f, 0.9f, 1.0f},
       {1, -1, 64, 0.0f, 60.0f, 140.0f, 13.0f, 36.0f, 1.2f, 2.0f, 0.9f, 1.0f},
       {1, 0, 96, 0.0f, 60.0f, 140.0f, 13.0f, 36.0f, 1.2f, 2.0f, 0.9f, 1.0f},
       {1, 0, 96, 0.5f, 60.0f, 140.0f, 13.0f, 36.0f, 1.2f, 2.0f, 0.9f, 1.0f}},
  };
  for (int size = kFullSize; size >= kSmallestSize; size /= 2) {
    Random paperRandom(0x5EED0F9E4C11ULL + static_cast<uint64_t>(size));
    const Paper paper(paperRandom, size);
    Canvas canvas{size, std::vector<float>(static_cast<size_t>(size * size), 1.0f)};
    uint64_t family = 0;
    for (size_t tone = 0; tone < tones.size(); ++tone) {
      for (const Hatching& h : tones[tone]) {
        hatch(canvas, paper, ++family, h);
      }
      const std::string path = folder + "/" + imageName(static_cast<int>(tone) + 1, size);
      const std::string error = writeBmp(path, canvas);
      if (!error.empty()) {
        std::fprintf(stderr, "make_hatching: cannot write %s: %s\n", path.c_str(), error.c_str());
        return 1;
      }
    }
  }
  return 0;
}

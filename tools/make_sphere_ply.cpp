// Writes a latitude-longitude sphere of a given number of faces as a binary PLY, smooth or with bumps, for
// measuring how large meshes load and draw (scripts/bench-peers.sh):
//   make_sphere_ply FACES OUTPUT.ply [BUMP]
// FACES is even: the sphere has FACES / 2 quads, split in two, in rings of slices around the poles' fans.
// BUMP (default 0) is the height of the bumps, a fraction of the radius 0.5.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "output_file.h"
#include "tool_arguments.h"

namespace {

// slices x (stacks - 1) = quads, with about twice as many slices as stacks, as a globe has.
bool chooseGrid(int64_t quads, int64_t& slices, int64_t& stacks) {
  slices = 0;
  const auto ideal = static_cast<int64_t>(std::sqrt(2.0 * static_cast<double>(quads)));
  for (int64_t offset = 0; offset <= ideal && slices == 0; ++offset) {
    for (const int64_t candidate : {ideal + offset, ideal - offset}) {
      if (candidate >= 3 && quads % candidate == 0 && quads / candidate >= 1) {
        slices = candidate;
        break;
      }
    }
  }
  stacks = slices ? quads / slices + 1 : 0;
  return slices != 0;
}

template <class T>
void append(std::string& bytes, T value) {
  char raw[sizeof value];
  std::memcpy(raw, &value, sizeof value);
  bytes.append(raw, sizeof value);
}

}  // namespace

int main(int argc, char** argv) {
  int64_t faces = 0;
  std::string path;
  double bump = 0;
  CLI::App app(
      "Writes a latitude-longitude sphere as a binary PLY, for measuring how large meshes load and draw.",
      "make_sphere_ply");
  app.add_option("FACES", faces, "how many triangles: an even number")
      ->required()
      ->check(CLI::Range(int64_t{6}, int64_t{200'000'000}))
      ->check(CLI::Validator(
          [](std::string& text) {
            return text.empty() || (text.back() - '0') % 2 != 0 ? text + " is odd" : "";
          },
          ""));
  app.add_option("OUTPUT", path, "the PLY file to write")->required();
  app.add_option("BUMP", bump, "the height of the bumps, a fraction of the radius 0.5")
      ->check(CLI::Range(-1.0, 1.0))
      ->capture_default_str();
  if (const int status = parseToolArguments(app, argc, argv); status >= 0) {
    return status;
  }
  // Each pole's fan holds slices faces, each ring between two stacks 2 x slices.
  int64_t slices = 0, stacks = 0;
  if (!chooseGrid(faces / 2, slices, stacks)) {
    std::fprintf(stderr, "make_sphere_ply: no grid of %lld faces\n", static_cast<long long>(faces));
    return 2;
  }
  const int64_t vertices = 2 + (stacks - 1) * slices;
  std::string bytes = "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(vertices) +
                      "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                      std::to_string(faces) + "\nproperty list uchar int vertex_indices\nend_header\n";
  bytes.reserve(bytes.size() + static_cast<size_t>(vertices * 12 + faces * 13));
  auto vertex = [&](double theta, double phi) {
    const double r = 0.5 * (1 + bump * std::sin(12 * theta) * std::sin(12 * phi));
    append(bytes, static_cast<float>(r * std::sin(theta) * std::sin(phi)));
    append(bytes, static_cast<float>(r * std::cos(theta)));
    append(bytes, static_cast<float>(r * std::sin(theta) * std::cos(phi)));
  };
  vertex(0, 0);
  for (int64_t stack = 1; stack < stacks; ++stack) {
    for (int64_t slice = 0; slice < slices; ++slice) {
      vertex(M_PI * static_cast<double>(stack) / static_cast<double>(stacks),
             2 * M_PI * static_cast<double>(slice) / static_cast<double>(slices));
    }
  }
  vertex(M_PI, 0);
  const auto bottom = static_cast<int32_t>(vertices - 1);
  auto ring = [&](int64_t stack, int64_t slice) {
    return static_cast<int32_t>(1 + (stack - 1) * slices + slice % slices);
  };
  auto face = [&](int32_t a, int32_t b, int32_t c) {
    append(bytes, uint8_t{3});
    append(bytes, a);
    append(bytes, b);
    append(bytes, c);
  };
  // Counter-clockwise as seen from outside.
  for (int64_t slice = 0; slice < slices; ++slice) {
    face(0, ring(1, slice), ring(1, slice + 1));
  }
  for (int64_t stack = 1; stack < stacks - 1; ++stack) {
    for (int64_t slice = 0; slice < slices; ++slice) {
      face(ring(stack, slice), ring(stack + 1, slice), ring(stack + 1, slice + 1));
      face(ring(stack, slice), ring(stack + 1, slice + 1), ring(stack, slice + 1));
    }
  }
  for (int64_t slice = 0; slice < slices; ++slice) {
    face(bottom, ring(stacks - 1, slice + 1), ring(stacks - 1, slice));
  }
  std::string error;
  if (!writeOutputFile(path, bytes, error)) {
    std::fprintf(stderr, "make_sphere_ply: cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

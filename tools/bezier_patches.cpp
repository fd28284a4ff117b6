// Reading and tessellating bicubic Bezier patch sets.
#include "bezier_patches.h"

#include <charconv>
#include <string>

namespace {

// Splits text into whitespace-separated words, skipping '#' comment lines.
std::vector<std::string_view> wordsOf(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  bool lineStart = true;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '\n') {
      lineStart = true;
      ++at;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++at;
    } else if (c == '#' && lineStart) {
      at = text.find('\n', at);
      at = at == std::string_view::npos ? text.size() : at;
    } else {
      const size_t end = text.find_first_of(" \t\r\n", at);
      const size_t stop = end == std::string_view::npos ? text.size() : end;
      words.push_back(text.substr(at, stop - at));
      at = stop;
      lineStart = false;
    }
  }
  return words;
}

template <typename Number>
bool parseNumber(std::string_view word, Number& value) {
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  return error == std::errc() && end == word.data() + word.size();
}

// The four cubic Bernstein weights at t.
std::array<double, 4> bernstein(double t) {
  const double s = 1 - t;
  return {s * s * s, 3 * t * s * s, 3 * t * t * s, t * t * t};
}

std::array<float, 3> evaluate(const BezierPatchSet& set, const std::array<int, 16>& patch, double u,
                              double v) {
  const auto bu = bernstein(u), bv = bernstein(v);
  std::array<double, 3> p{0, 0, 0};
  for (size_t row = 0; row < 4; ++row) {
    for (size_t column = 0; column < 4; ++column) {
      const auto& control = set.points[static_cast<size_t>(patch[row * 4 + column])];
      for (size_t axis = 0; axis < 3; ++axis) {
        p[axis] += bu[row] * bv[column] * control[axis];
      }
    }
  }
  return {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
}

}  // namespace

std::optional<BezierPatchSet> parseBezierPatches(std::string_view text) {
  const std::vector<std::string_view> words = wordsOf(text);
  size_t at = 0;
  auto next = [&]() { return at < words.size() ? words[at++] : std::string_view(); };
  BezierPatchSet set;
  size_t patchCount = 0;
  if (next() != "patches" || !parseNumber(next(), patchCount) || patchCount > words.size()) {
    return std::nullopt;
  }
  set.patches.resize(patchCount);
  for (auto& patch : set.patches) {
    for (int& index : patch) {
      if (!parseNumber(next(), index) || index < 0) {
        return std::nullopt;
      }
    }
  }
  size_t pointCount = 0;
  if (next() != "points" || !parseNumber(next(), pointCount) || pointCount > words.size()) {
    return std::nullopt;
  }
  set.points.resize(pointCount);
  for (auto& point : set.points) {
    for (double& value : point) {
      if (!parseNumber(next(), value)) {
        return std::nullopt;
      }
    }
  }
  if (at != words.size()) {
    return std::nullopt;
  }
  for (const auto& patch : set.patches) {
    for (int index : patch) {
      if (static_cast<size_t>(index) >= pointCount) {
        return std::nullopt;
      }
    }
  }
  return set;
}

PolyMesh tessellatePatches(const BezierPatchSet& set, int steps) {
  PolyMesh mesh;
  const int side = steps + 1;
  for (const auto& patch : set.patches) {
    const int base = static_cast<int>(mesh.positions.size());
    for (int i = 0; i <= steps; ++i) {
      for (int j = 0; j <= steps; ++j) {
        mesh.positions.push_back(evaluate(set, patch, double(i) / steps, double(j) / steps));
      }
    }
    for (int i = 0; i < steps; ++i) {
      for (int j = 0; j < steps; ++j) {
        const int a = base + i * side + j, b = a + 1, c = a + side, d = c + 1;
        mesh.faces.push_back({a, c, d});
        mesh.faces.push_back({a, d, b});
      }
    }
  }
  return mesh;
}

// Streamlines grown from seeds beside those already kept, each step a midpoint (second-order Runge-Kutta)
// step along the field, their samples filed in a grid to find what lies near.
#include "streamlines.h"

#include <algorithm>
#include <cmath>

namespace {

// A streamline stops this close to another, in separations: the closest two ever come, so that neighbours
// keep their spacing within a factor of two.
constexpr double kTestRatio = 0.5;
// A seed needs this much room, in separations: its own line, a separation away, must not refuse it.
constexpr double kSeedRoom = 0.9;
// Below this length of the averaged doubled angle its neighbours disagree: a singularity, or an edge where
// the field jumps.
constexpr double kFaintest = 0.5;
// A step turning by more than this (cosine of 20 degrees) means the field jumps: the stroke ends.
constexpr double kLeastTurnCosine = 0.94;
// The step, in pixels, at most; less for closely spaced streamlines.
constexpr double kLongestStep = 0.5;

}  // namespace

StreamlineTracer::StreamlineTracer(const LineField& field) : field_(field) {}

bool StreamlineTracer::lineAt(double x, double y, Direction& direction) const {
  // Bilinear between the four pixel centres around (x, y), clamped at the picture's edges.
  const double u = x - 0.5, v = y - 0.5;
  const int i = static_cast<int>(std::floor(u)), j = static_cast<int>(std::floor(v));
  const double fu = u - i, fv = v - j;
  double c = 0.0, s = 0.0;
  for (int dj = 0; dj < 2; ++dj) {
    for (int di = 0; di < 2; ++di) {
      const int pi = std::clamp(i + di, 0, field_.width - 1), pj = std::clamp(j + dj, 0, field_.height - 1);
      const double weight = (di ? fu : 1.0 - fu) * (dj ? fv : 1.0 - fv);
      const float* d = field_.doubled + 2 * (static_cast<size_t>(pj) * static_cast<size_t>(field_.width) +
                                             static_cast<size_t>(pi));
      c += weight * d[0];
      s += weight * d[1];
    }
  }
  const double length = std::hypot(c, s);
  if (!(length >= kFaintest)) {
    return false;
  }
  // The half angle of (c, s): the line itself, pointing either way.
  c /= length;
  direction = {std::sqrt(std::max(0.0, 0.5 * (1.0 + c))),
               std::copysign(std::sqrt(std::max(0.0, 0.5 * (1.0 - c))), s)};
  return true;
}

PassPixel StreamlineTracer::passAt(double x, double y) const {
  if (!(x >= 0.0 && y >= 0.0 && x < field_.width && y < field_.height)) {
    return kEdge;
  }
  return static_cast<PassPixel>(
      (*pass_)[static_cast<size_t>(y) * static_cast<size_t>(field_.width) + static_cast<size_t>(x)]);
}

bool StreamlineTracer::crowded(double x, double y, double radius, int line, int index) const {
  // Its own samples count only from further along than a straight line could come back within radius.
  const int ownGap = static_cast<int>(std::ceil(1.6 * radius / step_)) + 1;
  const int reach = static_cast<int>(std::ceil(radius / cell_));
  const int column = static_cast<int>(x / cell_), row = static_cast<int>(y / cell_);
  for (int r = std::max(0, row - reach); r <= std::min(rows_ - 1, row + reach); ++r) {
    for (int c = std::max(0, column - reach); c <= std::min(columns_ - 1, column + reach); ++c) {
      for (const Sample& s :
           cells_[static_cast<size_t>(r) * static_cast<size_t>(columns_) + static_cast<size_t>(c)]) {
        if (s.line == line && std::abs(s.index - index) <= ownGap) {
          continue;
        }
        if ((s.x - x) * (s.x - x) + (s.y - y) * (s.y - y) < radius * radius) {
          return true;
        }
      }
    }
  }
  return false;
}

void StreamlineTracer::insert(const Sample& sample) {
  const int column = std::clamp(static_cast<int>(sample.x / cell_), 0, columns_ - 1);
  const int row = std::clamp(static_cast<int>(sample.y / cell_), 0, rows_ - 1);
  cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)].push_back(
      sample);
}

void StreamlineTracer::removeLine(int line, const std::vector<LinePoint>& points) {
  for (const LinePoint& p : points) {
    const int column = std::clamp(static_cast<int>(p.x / cell_), 0, columns_ - 1);
    const int row = std::clamp(static_cast<int>(p.y / cell_), 0, rows_ - 1);
    std::erase_if(
        cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)],
        [line](const Sample& s) { return s.line == line; });
  }
}

void StreamlineTracer::rebuildGrid(double cellSide) {
  cell_ = cellSide;
  columns_ = static_cast<int>(std::ceil(field_.width / cell_)) + 1;
  rows_ = static_cast<int>(std::ceil(field_.height / cell_)) + 1;
  cells_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), {});
  for (size_t line = 0; line < lines_.size(); ++line) {
    for (size_t i = 0; i < lines_[line].size(); ++i) {
      insert({lines_[line][i].x, lines_[line][i].y, static_cast<int>(line), static_cast<int>(i)});
    }
  }
}

std::vector<LinePoint> StreamlineTracer::half(double x, double y, Direction start, int line, int sign,
                                              bool& edge) {
  std::vector<LinePoint> points;
  edge = false;
  Direction previous = start;
  // However the field winds, no stroke runs longer than a few times round the picture.
  const long long most = static_cast<long long>(4.0 * (field_.width + field_.height) / step_);
  const auto along = [](Direction d, Direction to) {
    return d.x * to.x + d.y * to.y < 0.0 ? Direction{-d.x, -d.y} : d;
  };
  for (long long n = 1; n <= most; ++n) {
    Direction first, middle;
    if (!lineAt(x, y, first)) {
      break;
    }
    first = along(first, previous);
    if (!lineAt(x + 0.5 * step_ * first.x, y + 0.5 * step_ * first.y, middle)) {
      break;
    }
    middle = along(middle, first);
    if (middle.x * previous.x + middle.y * previous.y < kLeastTurnCosine) {
      break;
    }
    const double nx = x + step_ * middle.x, ny = y + step_ * middle.y;
    const int index = sign * static_cast<int>(n);
    const PassPixel next = passAt(nx, ny);
    if (next != kInside) {
      edge = next == kEdge;
      break;
    }
    if (crowded(nx, ny, kTestRatio * separation_, line, index)) {
      break;
    }
    points.push_back({static_cast<float>(nx), static_cast<float>(ny)});
    insert({static_cast<float>(nx), static_cast<float>(ny), line, index});
    x = nx, y = ny, previous = middle;
  }
  return points;
}

bool StreamlineTracer::traceFrom(double x, double y) {
  Direction direction;
  if (passAt(x, y) != kInside || !lineAt(x, y, direction) || crowded(x, y, kSeedRoom * separation_, -1, 0)) {
    return false;
  }
  const int line = static_cast<int>(lines_.size());
  insert({static_cast<float>(x), static_cast<float>(y), line, 0});
  bool forwardEdge = false, backwardEdge = false;
  const std::vector<LinePoint> forward = half(x, y, direction, line, 1, forwardEdge);
  std::vector<LinePoint> points = half(x, y, {-direction.x, -direction.y}, line, -1, backwardEdge);
  std::reverse(points.begin(), points.end());
  points.push_back({static_cast<float>(x), static_cast<float>(y)});
  points.insert(points.end(), forward.begin(), forward.end());
  const double length = static_cast<double>(points.size() - 1) * step_;
  if (length < (forwardEdge && backwardEdge ? minSpan_ : minLength_)) {
    removeLine(line, points);
    return false;
  }
  lines_.push_back(std::move(points));
  return true;
}

void StreamlineTracer::seedBeside(size_t line) {
  // Copied: lines_ grows as seeds take.
  const std::vector<LinePoint> points = lines_[line];
  const size_t every = std::max<size_t>(1, static_cast<size_t>(separation_ / (3.0 * step_)));
  for (size_t i = 0; i < points.size(); i += every) {
    const LinePoint& a = points[i == 0 ? 0 : i - 1];
    const LinePoint& b = points[std::min(points.size() - 1, i + 1)];
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    if (!(length > 0.0)) {
      continue;
    }
    for (const double side : {1.0, -1.0}) {
      traceFrom(points[i].x - side * separation_ * dy / length,
                points[i].y + side * separation_ * dx / length);
    }
  }
}

void StreamlineTracer::trace(const std::vector<uint8_t>& pass, double separation, double minLength,
                             double minSpan) {
  if (field_.width <= 0 || field_.height <= 0 || !(separation > 0.0)) {
    return;
  }
  pass_ = &pass;
  separation_ = separation;
  minLength_ = minLength;
  minSpan_ = minSpan;
  step_ = std::min(kLongestStep, 0.2 * separation);
  rebuildGrid(kTestRatio * separation);
  // Oldest first: each streamline's neighbours are seeded before theirs, so the pass spreads out from the
  // streamlines there are like a wave.
  size_t next = 0;
  const auto seedFromQueue = [&] {
    for (; next < lines_.size(); ++next) {
      seedBeside(next);
    }
  };
  seedFromQueue();
  for (double y = 0.5 * separation; y < field_.height; y += separation) {
    for (double x = 0.5 * separation; x < field_.width; x += separation) {
      if (traceFrom(x, y)) {
        seedFromQueue();
      }
    }
  }
  pass_ = nullptr;
}

// Placing the vertices as GL does, bounding where and how near each face's fragments can fall, and the depth
// tiles they are held against.
#include "hidden_faces.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "on_cores.h"

namespace {

// GL works in single precision: each of its roundings is off by at most this, relative.
constexpr double kRounding = 1.0 / (1 << 24);
// Roundings allowed for in a window position or depth: GL's matrix product, its transform of a vertex, the
// division by w and the viewport (about eight in all), twice over.
constexpr double kRoundings = 16;
// What a rounded depth is allowed to be out by besides: the depth buffer's 24 bits hold a depth to 2^-24.
constexpr double kDepthMargin = 1.0 / (1 << 16);
// A vertex this close to a plane of the view volume (a fraction of w) may be clipped by GL: its faces are
// drawn whatever the depth says.
constexpr double kClipMargin = 1.0 / (1 << 12);
// Bounds of slopes from single-precision positions, widened once more.
constexpr double kSlopeSafety = 1.25;
// The fill of a face reaches past its edges by the 1/256 pixel to which GL snaps the corners, and a little.
constexpr double kFillReach = 1.0 / 64;

constexpr uint32_t kFarthest = 0xffffffffu;
// The squares kept from each pixel: sides 1 (the pixel itself), 2, 4 and 8.
constexpr int kSquareSides = 4;

// How far GL's positions, each out by up to xy pixels, and its roundings may move twice the area of a face
// with edges (ex, ey) and (fx, fy) from one corner.
double areaError(double xy, double ex, double ey, double fx, double fy) {
  return 2 * xy * (std::fabs(ex) + std::fabs(ey) + std::fabs(fx) + std::fabs(fy)) + 8 * xy * xy +
         4 * kRounding * (std::fabs(ex * fy) + std::fabs(ey * fx));
}

int clampTo(double value, int last) {
  return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(last)));
}

}  // namespace

bool DepthTiles::reset(int width, int height) {
  width_ = width;
  height_ = height;
  levelCount_ = 0;
  size_t total = 0;
  int columns = (width + kTileSide - 1) / kTileSide, rows = (height + kTileSide - 1) / kTileSide;
  for (;;) {
    levels_[levelCount_++] = {nullptr, columns, rows};
    total += static_cast<size_t>(columns) * static_cast<size_t>(rows);
    if (columns == 1 && rows == 1) {
      break;
    }
    columns = (columns + 1) / 2;
    rows = (rows + 1) / 2;
  }
  if (total > capacity_) {
    cells_.reset(new (std::nothrow) uint32_t[total]);
    capacity_ = cells_ ? total : 0;
    if (!cells_) {
      return false;
    }
  }
  uint32_t* cells = cells_.get();
  for (int i = 0; i < levelCount_; ++i) {
    levels_[i].cells = cells;
    cells += static_cast<size_t>(levels_[i].columns) * static_cast<size_t>(levels_[i].rows);
  }
  std::fill_n(levels_[0].cells,
              static_cast<size_t>(levels_[0].columns) * static_cast<size_t>(levels_[0].rows), 0u);
  // Without the squares the tiles still answer, less closely.
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  exact_ = pixels <= kExactPixels;
  if (exact_ && kSquareSides * pixels > squareCapacity_) {
    squares_.reset(new (std::nothrow) uint32_t[kSquareSides * pixels]);
    squareCapacity_ = squares_ ? kSquareSides * pixels : 0;
    exact_ = squares_ != nullptr;
  }
  return true;
}

void DepthTiles::addRows(int y, int rows, const uint32_t* depths) {
  if (exact_) {
    std::copy_n(depths, static_cast<size_t>(rows) * static_cast<size_t>(width_),
                squares_.get() + static_cast<size_t>(y) * static_cast<size_t>(width_));
  }
  const Level& tiles = levels_[0];
  const int wholeTiles = width_ / kTileSide;
  for (int row = 0; row < rows; ++row) {
    uint32_t* cells =
        tiles.cells + static_cast<size_t>((y + row) / kTileSide) * static_cast<size_t>(tiles.columns);
    const uint32_t* depth = depths + static_cast<size_t>(row) * static_cast<size_t>(width_);
    for (int column = 0; column < wholeTiles; ++column) {
      uint32_t deepest = cells[column];
      for (int i = 0; i < kTileSide; ++i) {
        deepest = std::max(deepest, depth[column * kTileSide + i]);
      }
      cells[column] = deepest;
    }
    for (int x = wholeTiles * kTileSide; x < width_; ++x) {
      cells[wholeTiles] = std::max(cells[wholeTiles], depth[x]);
    }
  }
}

void DepthTiles::finish() {
  const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  for (int level = 1; exact_ && level < kSquareSides; ++level) {
    // Each square the deepest of four of half its side, those past the picture's edge moved back inside it.
    const uint32_t* half = squares_.get() + (level - 1) * pixels;
    uint32_t* square = squares_.get() + level * pixels;
    const int step = 1 << (level - 1);
    for (int y = 0; y < height_; ++y) {
      const uint32_t* row = half + static_cast<size_t>(y) * width_;
      const uint32_t* above = half + static_cast<size_t>(std::min(y + step, height_ - 1)) * width_;
      uint32_t* out = square + static_cast<size_t>(y) * width_;
      for (int x = 0; x < width_; ++x) {
        const int right = std::min(x + step, width_ - 1);
        out[x] = std::max(std::max(row[x], row[right]), std::max(above[x], above[right]));
      }
    }
  }
  for (int i = 1; i < levelCount_; ++i) {
    const Level& below = levels_[i - 1];
    const Level& level = levels_[i];
    for (int row = 0; row < level.rows; ++row) {
      for (int column = 0; column < level.columns; ++column) {
        uint32_t deepest = 0;
        for (int r = 2 * row; r < std::min(2 * row + 2, below.rows); ++r) {
          for (int c = 2 * column; c < std::min(2 * column + 2, below.columns); ++c) {
            deepest = std::max(deepest,
                               below.cells[static_cast<size_t>(r) * static_cast<size_t>(below.columns) + c]);
          }
        }
        level.cells[static_cast<size_t>(row) * static_cast<size_t>(level.columns) + column] = deepest;
      }
    }
  }
}

double DepthTiles::deepest(int x0, int y0, int x1, int y1) const {
  const int across = x1 - x0 + 1, up = y1 - y0 + 1;
  if (exact_ && across <= 3 * kTileSide && up <= 3 * kTileSide) {
    // Squares as large as fit, the last of each row and column moved back to end at the region's edge.
    int level = 0;
    while (level + 1 < kSquareSides && 2 << level <= std::min(across, up)) {
      ++level;
    }
    const int side = 1 << level;
    const uint32_t* squares = squares_.get() + static_cast<size_t>(level) * width_ * height_;
    uint32_t deepest = 0;
    for (int y = y0;; y += side) {
      const int top = std::min(y, y1 - side + 1);
      for (int x = x0;; x += side) {
        const int left = std::min(x, x1 - side + 1);
        deepest = std::max(deepest, squares[static_cast<size_t>(top) * width_ + left]);
        if (left == x1 - side + 1) {
          break;
        }
      }
      if (top == y1 - side + 1) {
        break;
      }
    }
    return deepest / static_cast<double>(kFarthest);
  }
  int c0 = x0 / kTileSide, c1 = x1 / kTileSide, r0 = y0 / kTileSide, r1 = y1 / kTileSide;
  int level = 0;
  while (level + 1 < levelCount_ && (c1 - c0 >= 4 || r1 - r0 >= 4)) {
    ++level;
    c0 /= 2, c1 /= 2, r0 /= 2, r1 /= 2;
  }
  const Level& cells = levels_[level];
  uint32_t deepest = 0;
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) {
      deepest =
          std::max(deepest, cells.cells[static_cast<size_t>(r) * static_cast<size_t>(cells.columns) + c]);
    }
  }
  return deepest / static_cast<double>(kFarthest);
}

bool FaceCuller::place(const Model& model, const FaceView& view, size_t pieces) {
  const size_t count = static_cast<size_t>(std::max(model.vertexCount, 0));
  if (count > capacity_) {
    vertices_.reset(new (std::nothrow) WindowVertex[count]);
    capacity_ = vertices_ ? count : 0;
    if (!vertices_) {
      return false;
    }
  }
  faces_ = model.faces;
  std::copy_n(view.viewport, 4, viewport_);
  // The product of the matrices as GL applies it, and the product of their magnitudes, which bounds the
  // terms GL's roundings are relative to whichever way it multiplies.
  double clip[16], magnitude[16];
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) {
      double sum = 0, size = 0;
      for (int k = 0; k < 4; ++k) {
        sum += static_cast<double>(view.projection[k * 4 + row]) * view.modelview[column * 4 + k];
        size += std::fabs(static_cast<double>(view.projection[k * 4 + row]) * view.modelview[column * 4 + k]);
      }
      clip[column * 4 + row] = sum;
      magnitude[column * 4 + row] = size;
    }
  }
  const double halfWidth = view.viewport[2] * 0.5, halfHeight = view.viewport[3] * 0.5;
  const double left = view.viewport[0] + halfWidth, bottom = view.viewport[1] + halfHeight;
  const double near = view.depthRange[0], halfDepth = (view.depthRange[1] - view.depthRange[0]) * 0.5;
  const double inside = 1.0 - kClipMargin;
  double largest[kMaxCorePieces][3] = {};
  WindowVertex* window = vertices_.get();
  const ModelVertex* vertices = model.vertices;
  onCores(count, pieces, [&](size_t piece, size_t begin, size_t end) {
    double* most = largest[piece];
    for (size_t i = begin; i < end; ++i) {
      const double v[3] = {vertices[i].x, vertices[i].y, vertices[i].z};
      double c[4];
      for (int row = 0; row < 4; ++row) {
        c[row] = clip[row] * v[0] + clip[4 + row] * v[1] + clip[8 + row] * v[2] + clip[12 + row];
      }
      for (int axis = 0; axis < 3; ++axis) {
        most[axis] = std::max(most[axis], std::fabs(v[axis]));
      }
      const double bound = c[3] * inside;
      if (!(c[3] > 0 && std::fabs(c[0]) <= bound && std::fabs(c[1]) <= bound && std::fabs(c[2]) <= bound)) {
        window[i] = {0, 0, 0, -1};
        continue;
      }
      const double w = 1.0 / c[3];
      window[i] = {static_cast<float>(left + halfWidth * c[0] * w),
                   static_cast<float>(bottom + halfHeight * c[1] * w),
                   static_cast<float>(near + halfDepth * (c[2] * w + 1.0)), static_cast<float>(w)};
    }
  });
  // The largest term of each clip coordinate, over every vertex the model could have.
  double vertexSize[3] = {};
  for (size_t piece = 0; piece < kMaxCorePieces; ++piece) {
    for (int axis = 0; axis < 3; ++axis) {
      vertexSize[axis] = std::max(vertexSize[axis], largest[piece][axis]);
    }
  }
  double term[4];
  for (int row = 0; row < 4; ++row) {
    term[row] = magnitude[row] * vertexSize[0] + magnitude[4 + row] * vertexSize[1] +
                magnitude[8 + row] * vertexSize[2] + magnitude[12 + row];
  }
  const double error = kRoundings * kRounding;
  xyPerW_ = error * std::max(halfWidth * (term[0] + term[3]), halfHeight * (term[1] + term[3]));
  zPerW_ = error * std::fabs(halfDepth) * (term[2] + term[3]);
  extent_ = std::abs(view.viewport[0]) + std::abs(view.viewport[1]) + 2 * (halfWidth + halfHeight);
  xyAtAll_ = error * extent_;
  zAtAll_ = error * (1 + std::fabs(view.depthRange[0]) + std::fabs(view.depthRange[1]));
  return true;
}

bool FaceCuller::bounds(int face, Bounds& b) const {
  const int* index = faces_[face].vertexIndex;
  const WindowVertex& p = vertices_[index[0]];
  const WindowVertex& q = vertices_[index[1]];
  const WindowVertex& r = vertices_[index[2]];
  if (!(p.inverseW > 0 && q.inverseW > 0 && r.inverseW > 0)) {
    return false;
  }
  const double inverseW = std::max({p.inverseW, q.inverseW, r.inverseW});
  b.slack = xyPerW_ * inverseW + xyAtAll_;
  b.depthSlack = zPerW_ * inverseW + zAtAll_;
  // The winding, from the edges to the third corner as GL takes them, where the area stands well clear of
  // how far GL's positions may move it.
  const double ex = p.x - r.x, ey = p.y - r.y, fx = q.x - r.x, fy = q.y - r.y;
  const double area = ex * fy - ey * fx;
  if (!(std::fabs(area) > 4 * areaError(b.slack, ex, ey, fx, fy))) {
    return false;
  }
  b.counterClockwise = area > 0;
  b.nearest = std::min({p.z, q.z, r.z}) - b.depthSlack;
  b.x0 = std::min({p.x, q.x, r.x});
  b.x1 = std::max({p.x, q.x, r.x});
  b.y0 = std::min({p.y, q.y, r.y});
  b.y1 = std::max({p.y, q.y, r.y});
  b.slope = b.edgeSlope = -1;
  b.corners[0] = &p;
  b.corners[1] = &q;
  b.corners[2] = &r;
  return true;
}

void FaceCuller::findSlopes(Bounds& b) const {
  const WindowVertex &p = *b.corners[0], &q = *b.corners[1], &r = *b.corners[2];
  const double xy = b.slack, z = b.depthSlack;
  // The polygon offset's slope as GL works it out, and how far GL's positions may move it.
  const double ex = p.x - r.x, ey = p.y - r.y, ez = p.z - r.z;
  const double fx = q.x - r.x, fy = q.y - r.y, fz = q.z - r.z;
  const double area = std::fabs(ex * fy - ey * fx) - areaError(xy, ex, ey, fx, fy);
  const double a = ey * fz - ez * fy, c = ez * fx - ex * fz;
  const double spans = std::fabs(ex) + std::fabs(ey) + std::fabs(fx) + std::fabs(fy);
  const double slopeError =
      2 * xy * (std::fabs(ez) + std::fabs(fz)) + 2 * z * spans + 8 * xy * z +
      4 * kRounding * (std::fabs(ey * fz) + std::fabs(ez * fy) + std::fabs(ez * fx) + std::fabs(ex * fz));
  b.slope = kSlopeSafety * (std::max(std::fabs(a), std::fabs(c)) + slopeError) / area;
  // A line's depth runs along its major axis only, and on past its ends where GL widens it. An edge too short
  // to say how steep GL takes it is taken as steep as can be.
  double edgeSlope = 0;
  for (const auto& [u, v] : {std::pair{&p, &q}, std::pair{&q, &r}, std::pair{&r, &p}}) {
    const double major = std::max(std::fabs(u->x - v->x), std::fabs(u->y - v->y));
    edgeSlope =
        major > 4 * xy ? std::max(edgeSlope, (std::fabs(u->z - v->z) + 2 * z) / (major - 2 * xy)) : HUGE_VAL;
  }
  b.edgeSlope = kSlopeSafety * edgeSlope;
}

bool FaceCuller::mayShow(Bounds& b, const PassReach& pass, const DepthTiles& tiles) const {
  // Fragments within half the line's width of an edge, whichever way GL widens it, and 2 pixels more.
  const double run = pass.lineWidth * 0.5 + 2;
  const double reach = run + b.slack;
  const int right = tiles.width() - 1, top = tiles.height() - 1;
  const double x0 = std::floor(b.x0 - reach) - viewport_[0], x1 = std::floor(b.x1 + reach) - viewport_[0];
  const double y0 = std::floor(b.y0 - reach) - viewport_[1], y1 = std::floor(b.y1 + reach) - viewport_[1];
  const double behind =
      tiles.deepest(clampTo(x0, right), clampTo(y0, top), clampTo(x1, right), clampTo(y1, top));
  // Most faces that show do so with their corners alone.
  if (!(b.nearest - kDepthMargin > behind)) {
    return true;
  }
  if (b.slope < 0) {
    findSlopes(b);
  }
  // GL interpolates depth from a plane through the window's origin: its roundings grow with the slope there.
  const double interpolation = 8 * kRounding * (1 + std::max(b.slope, b.edgeSlope) * extent_);
  const double nearest = b.nearest - (pass.offsetFactor + kFillReach) * b.slope - b.edgeSlope * run -
                         interpolation - kDepthMargin;
  return !(nearest > behind);
}

unsigned FaceCuller::judge(int face, bool reversedWinding, const PassReach& fill, const PassReach& outline,
                           const DepthTiles& tiles) const {
  Bounds b;
  if (!bounds(face, b)) {
    return kInFill | kInOutline;
  }
  // A face the outline pass leaves out the fill pass leaves out too, its reach being smaller.
  if (b.counterClockwise == reversedWinding) {
    return mayShow(b, outline, tiles) ? kInOutline | (mayShow(b, fill, tiles) ? kInFill : 0u) : 0u;
  }
  return mayShow(b, fill, tiles) ? kInFill : 0u;
}

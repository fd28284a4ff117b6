// Each pixel's ray met with the face the picture shows there: the point seen, its normal, tone and stroke
// directions, the directions carried into the picture by the derivative of the projection at that point.
#include "picture_field.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "parallel.h"
#include "tone.h"

namespace {

using Matrix = std::array<double, 16>;  // column-major, as GL keeps matrices

struct Point {
  double x, y, z;
};

Point operator-(const Point& a, const Point& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Point operator+(const Point& a, const Point& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Point operator*(double s, const Point& a) {
  return {s * a.x, s * a.y, s * a.z};
}
double dotOf(const Point& a, const Point& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Point crossOf(const Point& a, const Point& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Point pointOf(const Vec3& v) {
  return {v.x, v.y, v.z};
}

Matrix product(const float* a, const float* b) {
  Matrix m{};
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) {
      for (int k = 0; k < 4; ++k) {
        m[static_cast<size_t>(column * 4 + row)] += double{a[k * 4 + row]} * b[column * 4 + k];
      }
    }
  }
  return m;
}

// Gauss-Jordan with partial pivoting; false for a singular matrix.
bool invert(Matrix m, Matrix& inverse) {
  inverse = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const auto at = [](Matrix& a, int row, int column) -> double& {
    return a[static_cast<size_t>(column * 4 + row)];
  };
  for (int column = 0; column < 4; ++column) {
    int pivot = column;
    for (int row = column + 1; row < 4; ++row) {
      if (std::abs(at(m, row, column)) > std::abs(at(m, pivot, column))) {
        pivot = row;
      }
    }
    if (!(std::abs(at(m, pivot, column)) > 1e-300)) {
      return false;
    }
    for (int k = 0; k < 4; ++k) {
      std::swap(at(m, column, k), at(m, pivot, k));
      std::swap(at(inverse, column, k), at(inverse, pivot, k));
    }
    const double scale = 1.0 / at(m, column, column);
    for (int k = 0; k < 4; ++k) {
      at(m, column, k) *= scale;
      at(inverse, column, k) *= scale;
    }
    for (int row = 0; row < 4; ++row) {
      const double factor = at(m, row, column);
      if (row != column && factor != 0.0) {
        for (int k = 0; k < 4; ++k) {
          at(m, row, k) -= factor * at(m, column, k);
          at(inverse, row, k) -= factor * at(inverse, column, k);
        }
      }
    }
  }
  return true;
}

std::array<double, 4> apply(const Matrix& m, const Point& p, double w) {
  std::array<double, 4> r{};
  for (int row = 0; row < 4; ++row) {
    r[static_cast<size_t>(row)] = m[static_cast<size_t>(row)] * p.x + m[static_cast<size_t>(4 + row)] * p.y +
                                  m[static_cast<size_t>(8 + row)] * p.z +
                                  m[static_cast<size_t>(12 + row)] * w;
  }
  return r;
}

struct Projection {
  Matrix clip;       // projection times modelview
  Matrix unproject;  // its inverse
  int width, height;
};

// The line along (dx, dy) as a doubled angle; nothing for a direction that vanishes.
void storeLine(float* doubled, double dx, double dy) {
  const double square = dx * dx + dy * dy;
  if (!(square > 1e-18) || !std::isfinite(square)) {
    doubled[0] = doubled[1] = 0.0f;
    return;
  }
  doubled[0] = static_cast<float>((dx * dx - dy * dy) / square);
  doubled[1] = static_cast<float>(2.0 * dx * dy / square);
}

// Where direction at p goes in the picture: the derivative of the perspective division, then the viewport's
// scale, y down.
void storeProjected(const Projection& view, const Point& p, const Point& direction, float* doubled) {
  const std::array<double, 4> c = apply(view.clip, p, 1.0), d = apply(view.clip, direction, 0.0);
  const double dx = (d[0] * c[3] - c[0] * d[3]) / (c[3] * c[3]);
  const double dy = (d[1] * c[3] - c[1] * d[3]) / (c[3] * c[3]);
  storeLine(doubled, 0.5 * view.width * dx, -0.5 * view.height * dy);
}

Vec3 aligned(const Vec3& v, const Vec3& to) {
  return dot(v, to) < 0.0f ? -v : v;
}

void fillPixel(const Surface& surface, const std::vector<Vec3>& directions, const Projection& view,
               const HatchLight& light, int x, int y, int face, PictureField& field) {
  const size_t pixel = static_cast<size_t>(y) * static_cast<size_t>(field.width) + static_cast<size_t>(x);
  const int* c = surface.corners(face);
  const Point p0 = pointOf(surface.positions()[static_cast<size_t>(c[0])]);
  const Point p1 = pointOf(surface.positions()[static_cast<size_t>(c[1])]);
  const Point p2 = pointOf(surface.positions()[static_cast<size_t>(c[2])]);
  // The pixel centre's ray, from the near plane to the far one, met with the face's plane.
  const double nx = 2.0 * (x + 0.5) / view.width - 1.0, ny = 1.0 - 2.0 * (y + 0.5) / view.height;
  const std::array<double, 4> a = apply(view.unproject, {nx, ny, -1.0}, 1.0);
  const std::array<double, 4> b = apply(view.unproject, {nx, ny, 1.0}, 1.0);
  const Point near{a[0] / a[3], a[1] / a[3], a[2] / a[3]}, far{b[0] / b[3], b[1] / b[3], b[2] / b[3]};
  const Point plane = crossOf(p1 - p0, p2 - p0);
  const double across = dotOf(plane, far - near), square = dotOf(plane, plane);
  double w[3] = {1.0 / 3, 1.0 / 3, 1.0 / 3};
  Point p = (1.0 / 3) * (p0 + p1 + p2);
  if (std::abs(across) > 1e-12 * std::sqrt(square)) {
    p = near + (dotOf(plane, p0 - near) / across) * (far - near);
    // Barycentric weights, kept inside the face where rounding puts the centre a hair outside it.
    w[0] = std::max(0.0, dotOf(plane, crossOf(p1 - p, p2 - p)) / square);
    w[1] = std::max(0.0, dotOf(plane, crossOf(p2 - p, p0 - p)) / square);
    w[2] = std::max(0.0, 1.0 - w[0] - w[1]);
    const double sum = w[0] + w[1] + w[2];
    for (double& weight : w) {
      weight /= sum;
    }
  }
  const Vec3 at{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
  Vec3 normal = surface.faceNormals()[static_cast<size_t>(face)];
  if (light.smooth) {
    normal = Vec3{0.0f, 0.0f, 0.0f};
    for (int k = 0; k < 3; ++k) {
      normal += static_cast<float>(w[k]) * surface.cornerNormal(face, k);
    }
    normalize(normal);
    field.tones[pixel] = static_cast<int8_t>(smoothToneAt(at, normal, light.position, light.reversedWinding));
  } else {
    const int* v = surface.model().faces[face].vertexIndex;
    const ModelVertex* m = surface.model().vertices;
    const int band = faceBand({m[v[0]].x, m[v[0]].y, m[v[0]].z}, {m[v[1]].x, m[v[1]].y, m[v[1]].z},
                              {m[v[2]].x, m[v[2]].y, m[v[2]].z}, light.position, light.reversedWinding);
    field.tones[pixel] = static_cast<int8_t>(toneOfBand(band).texture);
  }
  const Vec3& first = directions[static_cast<size_t>(c[0])];
  Vec3 direction = static_cast<float>(w[0]) * first;
  for (int k = 1; k < 3; ++k) {
    direction += static_cast<float>(w[k]) * aligned(directions[static_cast<size_t>(c[k])], first);
  }
  direction -= dot(direction, normal) * normal;
  storeProjected(view, p, pointOf(direction), &field.along[2 * pixel]);
  storeProjected(view, p, pointOf(cross(normal, direction)), &field.across[2 * pixel]);
}

}  // namespace

int smoothToneAt(const Vec3& p, const Vec3& n, const Vec3& light, bool reversedWinding) {
  Vec3 d = p - light;
  // Inverse-square fall-off, never brighter than at distance 1, as for a face.
  const float attenuation = std::min(1.0f / dot(d, d), 1.0f);
  normalize(d);
  const float facing = reversedWinding ? -dot(d, n) : dot(d, n);
  if (!(facing < 0.0f)) {
    return toneOfBand(kTurnedAway).texture;
  }
  return toneOfBand(bandOfIntensity(-static_cast<double>(facing) * attenuation)).texture;
}

PictureField pictureField(const Surface& surface, const std::vector<Vec3>& directions,
                          const FacePicture& faces, const LineView& view, const HatchLight& light) {
  PictureField field;
  field.width = faces.width;
  field.height = faces.height;
  const size_t pixels = static_cast<size_t>(faces.width) * static_cast<size_t>(faces.height);
  field.tones.assign(pixels, kNoTone);
  field.along.assign(2 * pixels, 0.0f);
  field.across.assign(2 * pixels, 0.0f);
  Projection projection{product(view.projection, view.modelview), {}, faces.width, faces.height};
  if (!invert(projection.clip, projection.unproject)) {
    return field;
  }
  const size_t width = static_cast<size_t>(faces.width);
  parallelFor(pixels, [&](size_t begin, size_t end, int) {
    for (size_t pixel = begin; pixel < end; ++pixel) {
      const int face = faces.faces[pixel];
      if (face >= 0 && face < surface.faceCount() && !surface.isFlat(face)) {
        fillPixel(surface, directions, projection, light, static_cast<int>(pixel % width),
                  static_cast<int>(pixel / width), face, field);
      }
    }
  });
  return field;
}

// Strokes as triangles: wide GL lines are cut square across their major axis and come out thinner on a
// slant, and smooth points are not round on every driver.
#include "strokes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct Direction {
  float x, y;
};

void drawDisc(const LinePoint& centre, float radius, const std::vector<Direction>& circle) {
  glBegin(GL_TRIANGLE_FAN);
  glVertex2f(centre.x, centre.y);
  for (const Direction& d : circle) {
    glVertex2f(centre.x + radius * d.x, centre.y + radius * d.y);
  }
  glEnd();
}

void drawSegment(const LinePoint& a, const LinePoint& b, float radius) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float length = std::hypot(dx, dy);
  if (!(length > 0.0f)) {
    return;
  }
  const float nx = -dy / length * radius, ny = dx / length * radius;
  glBegin(GL_TRIANGLE_STRIP);
  glVertex2f(a.x + nx, a.y + ny);
  glVertex2f(a.x - nx, a.y - ny);
  glVertex2f(b.x + nx, b.y + ny);
  glVertex2f(b.x - nx, b.y - ny);
  glEnd();
}

}  // namespace

void drawStrokes(const std::vector<Polyline>& lines, float width, int viewportWidth, int viewportHeight,
                 const Colour& colour) {
  glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColor3f(colour.r, colour.g, colour.b);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, viewportWidth, viewportHeight, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  const float radius = width * 0.5f;
  // Sides enough that the disc strays from a circle by well under a tenth of a pixel.
  const int sides =
      std::clamp(static_cast<int>(std::ceil(std::numbers::pi * std::sqrt(radius * 10.0f))), 8, 256);
  std::vector<Direction> circle;
  for (int i = 0; i <= sides; ++i) {
    const double angle = 2.0 * std::numbers::pi * i / sides;
    circle.push_back({static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))});
  }
  for (const Polyline& line : lines) {
    const size_t count = line.points.size();
    for (size_t i = 0; i < count; ++i) {
      drawDisc(line.points[i], radius, circle);
      if (i + 1 < count || (line.closed && count > 2)) {
        drawSegment(line.points[i], line.points[(i + 1) % count], radius);
      }
    }
  }

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

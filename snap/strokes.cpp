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

// The dashes of a line, dash pixels long with gaps of gap pixels, starting with a dash.
std::vector<Polyline> dashesOf(const Polyline& line, float dash, float gap) {
  std::vector<Polyline> dashes;
  const size_t count = line.points.size();
  const size_t segments = line.closed ? count : count - 1;
  float along = 0.0f;  // how far into the current dash or gap
  bool inDash = true;
  Polyline current;
  current.points.push_back(line.points[0]);
  for (size_t i = 0; i < segments; ++i) {
    LinePoint a = line.points[i];
    const LinePoint& b = line.points[(i + 1) % count];
    float left = std::hypot(b.x - a.x, b.y - a.y);
    while (left > 0.0f) {
      const float step = std::min(left, (inDash ? dash : gap) - along);
      const float t = step / left;
      a = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
      left -= step;
      along += step;
      if (inDash) {
        current.points.push_back(a);
      }
      if (along >= (inDash ? dash : gap)) {
        if (inDash) {
          dashes.push_back(std::move(current));
        }
        current.points.assign(1, a);
        inDash = !inDash;
        along = 0.0f;
      }
    }
  }
  if (inDash && current.points.size() > 1) {
    dashes.push_back(std::move(current));
  }
  return dashes;
}

void drawStrokes(const std::vector<Polyline>& lines, float width, const std::vector<Direction>& unitCircle) {
  const float radius = width * 0.5f;
  for (const Polyline& line : lines) {
    const size_t count = line.points.size();
    for (size_t i = 0; i < count; ++i) {
      drawDisc(line.points[i], radius, unitCircle);
      if (i + 1 < count || (line.closed && count > 2)) {
        drawSegment(line.points[i], line.points[(i + 1) % count], radius);
      }
    }
  }
}

// Sides enough that a disc of this width strays from a circle by well under a tenth of a pixel.
std::vector<Direction> circleFor(float width) {
  const int sides =
      std::clamp(static_cast<int>(std::ceil(std::numbers::pi * std::sqrt(width * 5.0f))), 8, 256);
  std::vector<Direction> circle;
  for (int i = 0; i <= sides; ++i) {
    const double angle = 2.0 * std::numbers::pi * i / sides;
    circle.push_back({static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))});
  }
  return circle;
}

}  // namespace

void drawLines(const std::vector<Polyline>& lines, float width, int viewportWidth, int viewportHeight) {
  glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, viewportWidth, viewportHeight, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  std::vector<Polyline> hidden, plain, suggestive;
  const float hiddenWidth = std::max(1.0f, width * kHiddenWidth);
  for (const Polyline& line : lines) {
    if (line.points.size() < 2) {
      continue;
    }
    if (line.hidden) {
      const std::vector<Polyline> dashes =
          dashesOf(line, kHiddenDash * hiddenWidth, kHiddenGap * hiddenWidth);
      hidden.insert(hidden.end(), dashes.begin(), dashes.end());
    } else {
      (line.kind == LineKind::Suggestive ? suggestive : plain).push_back(line);
    }
  }
  glColor3f(kHiddenGrey, kHiddenGrey, kHiddenGrey);
  drawStrokes(hidden, hiddenWidth, circleFor(hiddenWidth));
  glColor3f(0.0f, 0.0f, 0.0f);
  drawStrokes(plain, width, circleFor(width));
  const float suggestiveWidth = std::max(1.0f, width * kSuggestiveWidth);
  drawStrokes(suggestive, suggestiveWidth, circleFor(suggestiveWidth));

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

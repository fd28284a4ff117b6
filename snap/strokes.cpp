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

// The part of a round join the two segments' quads leave open: the points within radius of corner whose
// nearest point on the line is the corner itself, on the outer side of the turn from direction in to
// direction out, an arc as long as the turn. A line that goes straight on needs none; one that turns back
// needs the half disc ahead of the corner.
void drawJoin(const LinePoint& corner, Direction in, Direction out, float radius, int sides) {
  const double from = std::atan2(in.y, in.x),
               turn = std::remainder(std::atan2(out.y, out.x) - from, 2.0 * std::numbers::pi);
  if (turn == 0.0) {
    return;
  }
  const double start = turn > 0.0 ? from - std::numbers::pi / 2 : from + turn + std::numbers::pi / 2;
  const int steps =
      std::max(1, static_cast<int>(std::ceil(std::abs(turn) * sides / (2.0 * std::numbers::pi))));
  glBegin(GL_TRIANGLE_FAN);
  glVertex2f(corner.x, corner.y);
  for (int k = 0; k <= steps; ++k) {
    const double angle = start + std::abs(turn) * k / steps;
    glVertex2f(corner.x + radius * static_cast<float>(std::cos(angle)),
               corner.y + radius * static_cast<float>(std::sin(angle)));
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

Direction direction(const LinePoint& from, const LinePoint& to) {
  return {to.x - from.x, to.y - from.y};
}

// One line: the quads of its segments, round joins where it turns, round caps at the ends of an open one.
// The joins cover only what the quads leave open, so a wide stroke costs about its area, not a disc a point.
void drawLine(const Polyline& line, float radius, int sides, const std::vector<Direction>& circle) {
  const size_t count = line.points.size();
  const bool closed = line.closed && count > 2;
  for (size_t i = 0; i < count; ++i) {
    const LinePoint& p = line.points[i];
    const bool end = !closed && (i == 0 || i + 1 == count);
    const Direction in = direction(line.points[(i + count - 1) % count], p);
    const Direction out = direction(p, line.points[(i + 1) % count]);
    if (end || (in.x == 0.0f && in.y == 0.0f) || (out.x == 0.0f && out.y == 0.0f)) {
      drawDisc(p, radius, circle);
    } else {
      drawJoin(p, in, out, radius, sides);
    }
    if (i + 1 < count || closed) {
      drawSegment(p, line.points[(i + 1) % count], radius);
    }
  }
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

// Sides enough that a disc of this width strays from a circle by well under a tenth of a pixel.
int sidesFor(float width) {
  return std::clamp(static_cast<int>(std::ceil(std::numbers::pi * std::sqrt(width * 5.0f))), 8, 256);
}

void drawStrokes(const std::vector<Polyline>& lines, float width) {
  const int sides = sidesFor(width);
  std::vector<Direction> circle;
  for (int i = 0; i <= sides; ++i) {
    const double angle = 2.0 * std::numbers::pi * i / sides;
    circle.push_back({static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))});
  }
  for (const Polyline& line : lines) {
    drawLine(line, width * 0.5f, sides, circle);
  }
}

}  // namespace

void drawLines(const std::vector<Polyline>& lines, float width, int viewportWidth, int viewportHeight,
               const Colour& colour) {
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
  drawStrokes(hidden, hiddenWidth);
  glColor3f(colour.r, colour.g, colour.b);
  drawStrokes(plain, width);
  const float suggestiveWidth = std::max(1.0f, width * kSuggestiveWidth);
  drawStrokes(suggestive, suggestiveWidth);

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

// Crease and border lines in a real Mesa context: every chosen edge in view is black, hidden ones are not.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "frame.h"
#include "gl_context.h"
#include "hatch_renderer.h"

namespace {

constexpr int kSize = 256;

struct ModelDeleter {
  void operator()(Model* m) const { freeModel(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

DrawState viewFrom(float yaw, float pitch) {
  return {{Orbit, {0.0f, 0.1f, 0.0f}, pitch, yaw, 1.0f}, 90.0f, 45.0f, false, 5, false};
}

ModelPtr clockwiseCopy(const Model& m) {
  ModelPtr copy(
      new Model{new ModelVertex[m.vertexCount], new ModelFace[m.faceCount], m.vertexCount, m.faceCount});
  std::copy_n(m.vertices, m.vertexCount, copy->vertices);
  for (int i = 0; i < m.faceCount; ++i) {
    const int* f = m.faces[i].vertexIndex;
    copy->faces[i] = {{f[1], f[0], f[2]}};
  }
  return copy;
}

Vec3 at(const Model& m, int vertex) {
  return {m.vertices[vertex].x, m.vertices[vertex].y, m.vertices[vertex].z};
}

// An edge of the mesh, what the finder made of it, and whether the eye sees one of its faces' outer sides.
struct MeshEdge {
  Vec3 a, b;
  bool drawn = false;
  bool inView = false;
};

std::ostream& operator<<(std::ostream& out, const MeshEdge& e) {
  return out << "edge (" << e.a.x << " " << e.a.y << " " << e.a.z << ")-(" << e.b.x << " " << e.b.y << " "
             << e.b.z << ")";
}

// Every edge of a mesh wound counter-clockwise from outside, keyed by its two vertex indices.
std::vector<MeshEdge> meshEdges(const Model& m, const CreaseEdges& creases, const Vec3& eye) {
  std::map<std::pair<int, int>, MeshEdge> edges;
  std::vector<uint8_t> masks(static_cast<size_t>(m.faceCount));
  for (int i = 0; i < creases.faceCount; ++i) {
    masks[static_cast<size_t>(creases.faces[i].face)] = creases.faces[i].edgeMask;
  }
  for (int f = 0; f < m.faceCount; ++f) {
    const int* c = m.faces[f].vertexIndex;
    const Vec3 p0 = at(m, c[0]), p1 = at(m, c[1]), p2 = at(m, c[2]);
    const Vec3 u{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z}, v{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
    const Vec3 n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const bool facesEye = n.x * (eye.x - p0.x) + n.y * (eye.y - p0.y) + n.z * (eye.z - p0.z) > 0;
    for (int k = 0; k < 3; ++k) {
      MeshEdge& e = edges[std::minmax(c[k], c[(k + 1) % 3])];
      e.a = at(m, c[k]);
      e.b = at(m, c[(k + 1) % 3]);
      e.drawn = e.drawn || (masks[static_cast<size_t>(f)] >> k & 1);
      e.inView = e.inView || facesEye;
    }
  }
  std::vector<MeshEdge> list;
  for (const auto& [key, edge] : edges) {
    list.push_back(edge);
  }
  return list;
}

// A line in the window.
struct Segment {
  std::array<double, 3> a, b;

  double distanceTo(const std::array<double, 3>& p) const {
    const double dx = b[0] - a[0], dy = b[1] - a[1];
    const double t = std::clamp(((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy);
  }
};

class Creases : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
    renderer = std::make_unique<HatchRenderer>();
  }

  // Two frames, as nprsnap draws, keeping the pixels and the matrices of the second.
  void draw(const Model* model, const DrawState& state) {
    drawFrame(*renderer, model, state);
    drawFrame(*renderer, model, state);
    pixels = context.readPixels();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
  }
  // Where a point between a and b lands in the window, and its depth there.
  std::array<double, 3> project(const Vec3& a, const Vec3& b, double t) const {
    double x = 0, y = 0, z = 0;
    gluProject(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z), modelview, projection,
               viewport, &x, &y, &z);
    return {x, y, z};
  }
  static bool inWindow(const std::array<double, 3>& p) {
    return p[0] >= 0 && p[0] < kSize && p[1] >= 0 && p[1] < kSize;
  }
  static size_t indexOf(const std::array<double, 3>& p) {
    const int x = std::clamp(static_cast<int>(p[0]), 0, kSize - 1);
    const int y = std::clamp(static_cast<int>(p[1]), 0, kSize - 1);
    return static_cast<size_t>(y) * kSize + static_cast<size_t>(x);
  }
  // The nearest face's depth at every pixel, from the model's faces alone, both sides filled.
  void drawDepths(const Model& m, const Camera& camera) {
    beginFrame(camera);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < m.faceCount; ++f) {
      for (int corner : m.faces[f].vertexIndex) {
        glVertex3fv(&m.vertices[corner].x);
      }
    }
    glEnd();
    depths.resize(static_cast<size_t>(kSize) * kSize);
    glReadPixels(0, 0, kSize, kSize, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
  }
  // Whether no face stands in front of the point: the depths around it (a steep face's depth changes
  // fast from pixel to pixel) reach back to it, within a hundredth of a unit at the model's distance.
  bool unhidden(const std::array<double, 3>& p) const {
    float farthest = 0;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        farthest = std::max(farthest, depths[indexOf({p[0] + dx, p[1] + dy, 0})]);
      }
    }
    return p[2] <= farthest + 1e-4;
  }
  bool black(const std::array<double, 3>& p) const { return black(p, pixels); }
  static bool black(const std::array<double, 3>& p, const std::vector<unsigned char>& picture) {
    const size_t i = indexOf(p) * 3;
    return picture[i] <= 1 && picture[i + 1] <= 1 && picture[i + 2] <= 1;
  }
  GlContext context{kSize, kSize};
  std::unique_ptr<HatchRenderer> renderer;
  std::vector<unsigned char> pixels;
  std::vector<float> depths;
  GLdouble modelview[16], projection[16];
  GLint viewport[4];
};

TEST_F(Creases, EveryChosenEdgeInViewIsBlackAndNoOtherEdgeIs) {
  struct Case {
    const char* path;
    float yaw, pitch;
    int drawnEdges;
  };
  const Case cases[] = {
      {"data/icos-unit.poly", 0.0f, 0.0f, 30},                     // the start view: every edge
      {"tests/models/cube.poly", 30.0f, 25.0f, 12},                // its twelve edges, not the diagonals
      {"tests/models/open-square.poly", 20.0f, 15.0f, 8},          // the border, not the inner edges
      {"tests/models/square-before-cube.poly", 20.0f, 15.0f, 20},  // the square hides some of the cube's
      {"data/penny3-unit.poly", 30.0f, 20.0f, 2222},               // nothing of the far side shows through
  };
  for (const Case& c : cases) {
    const ModelPtr model(loadModel(c.path));
    ASSERT_TRUE(model) << c.path;
    const ModelPtr clockwise = clockwiseCopy(*model);
    CreaseEdges creases;
    ASSERT_TRUE(findCreaseEdges(*model, 30.0f, creases));
    DrawState state = viewFrom(c.yaw, c.pitch);
    Vec3 eye;
    state.camera.eyePosition(eye);
    const std::vector<MeshEdge> edges = meshEdges(*model, creases, eye);
    EXPECT_EQ(std::count_if(edges.begin(), edges.end(), [](const MeshEdge& e) { return e.drawn; }),
              c.drawnEdges)
        << c.path;
    for (const bool reversed : {false, true}) {
      const Model* drawn = reversed ? clockwise.get() : model.get();
      CreaseEdges drawnCreases;
      ASSERT_TRUE(findCreaseEdges(*drawn, 30.0f, drawnCreases));
      state.reversedWinding = reversed;
      drawDepths(*drawn, state.camera);
      state.creaseEdges = nullptr;
      draw(drawn, state);
      const std::vector<unsigned char> plain = pixels;
      state.creaseEdges = &drawnCreases;
      draw(drawn, state);
      // Where the lines may be: the chosen edges, where they are not hidden.
      std::vector<Segment> lines;
      for (const MeshEdge& e : edges) {
        if (e.inView && e.drawn && unhidden(project(e.a, e.b, 0.5))) {
          lines.push_back({project(e.a, e.b, 0), project(e.a, e.b, 1)});
        }
      }
      for (const MeshEdge& e : edges) {
        for (double t : {0.25, 0.5, 0.75}) {
          const auto p = project(e.a, e.b, t);
          const bool seen = e.inView && inWindow(p) && unhidden(p);
          if (e.drawn && seen) {
            EXPECT_TRUE(black(p)) << c.path << (reversed ? " reversed" : "") << ", " << e << " at " << t;
          } else if (black(p) && !black(p, plain)) {
            // Hidden or not chosen: not blackened unless a chosen line in view passes near.
            EXPECT_TRUE(
                std::any_of(lines.begin(), lines.end(),
                            [&](const Segment& line) { return line.distanceTo(p) < state.outlineWidth; }))
                << c.path << (reversed ? " reversed" : "") << ", " << e << " at " << t
                << (seen ? " not chosen" : " hidden");
          }
        }
      }
    }
  }
}

TEST_F(Creases, LinesAreAsWideAsTheOutlineWhicheverWayTheirFacesTurn) {
  struct Case {
    const char* path;
    float yaw, pitch;
    Vec3 a, b;  // an edge in view
  };
  const Case cases[] = {
      // The cube's nearest upright edge seen square on: both faces turn away from it alike.
      {"tests/models/cube.poly", 45.0f, 0.0f, {0.25f, -0.25f, -0.25f}, {0.25f, 0.25f, -0.25f}},
      // Borders of a tilted square where the square comes towards the eye from the edge.
      {"tests/models/open-square.poly", 20.0f, 15.0f, {-0.3f, -0.2f, 0.0f}, {0.3f, -0.2f, 0.0f}},
      {"tests/models/open-square.poly", 20.0f, 15.0f, {0.3f, -0.2f, 0.0f}, {0.3f, 0.4f, 0.0f}},
  };
  for (const Case& c : cases) {
    const ModelPtr model(loadModel(c.path));
    ASSERT_TRUE(model) << c.path;
    CreaseEdges creases;
    ASSERT_TRUE(findCreaseEdges(*model, 30.0f, creases));
    for (const int width : {1, 3, 5, 9}) {
      DrawState state = viewFrom(c.yaw, c.pitch);
      state.outlineWidth = width;
      state.creaseEdges = &creases;
      draw(model.get(), state);
      // A wide line covers `width` pixels across its minor axis.
      const auto a = project(c.a, c.b, 0), b = project(c.a, c.b, 1), middle = project(c.a, c.b, 0.5);
      const bool xMajor = std::abs(b[0] - a[0]) > std::abs(b[1] - a[1]);
      int run = 0;
      for (int step = -20; step <= 20; ++step) {
        run += black({middle[0] + (xMajor ? 0 : step), middle[1] + (xMajor ? step : 0), 0});
      }
      EXPECT_NEAR(run, width, 1) << c.path << " at yaw " << c.yaw << ", width " << width;
    }
  }
}

TEST_F(Creases, NoEdgesChangeNothingAndTheStateIsAsWithout) {
  const ModelPtr sphere(loadModel("data/sphere-unit.poly"));
  ASSERT_TRUE(sphere);
  CreaseEdges none;
  ASSERT_TRUE(findCreaseEdges(*sphere, 30.0f, none));
  ASSERT_EQ(none.faceCount, 0);
  // Its last face's last edge is not drawn, so its edge flag is left off.
  const ModelPtr square(loadModel("tests/models/open-square.poly"));
  ASSERT_TRUE(square);
  CreaseEdges border;
  ASSERT_TRUE(findCreaseEdges(*square, 30.0f, border));
  for (const bool reversed : {false, true}) {
    DrawState state = viewFrom(0.0f, 0.0f);
    state.reversedWinding = reversed;
    draw(sphere.get(), state);
    const auto plain = pixels;
    state.creaseEdges = &none;
    draw(sphere.get(), state);
    EXPECT_EQ(pixels, plain) << "the 5,120-face sphere has no edge of 30 degrees";

    // After a pass that drew lines, the next frame starts from the same state as without them.
    state.creaseEdges = &border;
    renderer->nextPass = 1;
    renderer->draw(square.get(), state);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], reversed ? GL_LINE : GL_FILL);
    EXPECT_EQ(modes[1], reversed ? GL_FILL : GL_LINE);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint culled = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &culled);
    EXPECT_EQ(culled, reversed ? GL_BACK : GL_FRONT);
    GLfloat factor = 0;
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
    EXPECT_EQ(factor, -1.0f) << "the outline's offset";
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_LINE));
    GLboolean flag = GL_FALSE;
    glGetBooleanv(GL_EDGE_FLAG, &flag);
    EXPECT_EQ(flag, GL_TRUE);
  }
}

}  // namespace

// Crease lines in a real Mesa context: every chosen edge in view is black and as wide as the outline, for
// either winding, and the outline pass leaves GL as it would without them.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "frame.h"
#include "gl_context.h"
#include "model_catalogue.h"

namespace {

struct ModelDeleter {
  void operator()(Model* m) const { freeModel(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

ModelPtr clockwiseCopy(const Model& m) {
  ModelPtr copy(
      new Model{new ModelVertex[m.vertexCount], new ModelFace[m.faceCount], m.vertexCount, m.faceCount});
  std::copy_n(m.vertices, m.vertexCount, copy->vertices);
  std::transform(m.faces, m.faces + m.faceCount, copy->faces, [](const ModelFace& f) {
    return ModelFace{{f.vertexIndex[1], f.vertexIndex[0], f.vertexIndex[2]}};
  });
  return copy;
}

class Creases : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
    renderer = std::make_unique<HatchRenderer>();
  }
  // Two frames, as nprsnap draws, with model's edges at 30 degrees or without them.
  void draw(const Model& model, float yaw, float pitch, int width, bool reversed, bool creases = true) {
    ASSERT_TRUE(findCreaseEdges(model, 30.0f, edges));
    DrawState state = kStartUpState;
    state.camera.yaw = yaw, state.camera.pitch = pitch, state.outlineWidth = width;
    state.reversedWinding = reversed;
    state.creaseEdges = creases ? &edges : nullptr;
    drawFrame(*renderer, &model, state);
    drawFrame(*renderer, &model, state);
  }
  std::array<double, 2> window(const ModelVertex& v) const {
    GLdouble modelview[16], projection[16], x, y, z;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(v.x, v.y, v.z, modelview, projection, viewport, &x, &y, &z);
    return {x, y};
  }
  bool black(double x, double y) const {
    const auto p = context.pixel(static_cast<int>(x), static_cast<int>(y));
    return p[0] <= 1 && p[1] <= 1 && p[2] <= 1;
  }
  // Black pixels across the middle of a-b along its minor axis, where a wide line covers its width.
  int runAcross(const ModelVertex& a, const ModelVertex& b) const {
    const auto p = window(a), q = window(b);
    const bool xMajor = std::abs(q[0] - p[0]) > std::abs(q[1] - p[1]);
    int run = 0;
    for (int step = -20; step <= 20; ++step) {
      run += black((p[0] + q[0]) / 2 + (xMajor ? 0 : step), (p[1] + q[1]) / 2 + (xMajor ? step : 0));
    }
    return run;
  }

  GlContext context{256, 256};
  std::unique_ptr<HatchRenderer> renderer;
  CreaseEdges edges;
};

TEST_F(Creases, EveryChosenEdgeOfAFaceInViewIsBlack) {
  struct Case {
    const char* path;
    float yaw, pitch;
  };
  for (const Case& c : {Case{"data/icos-unit.poly", 0, 0}, Case{"tests/models/cube.poly", 30, 25},
                        Case{"tests/models/open-square.poly", 20, 15}}) {
    const ModelPtr model(loadModel(c.path));
    ASSERT_TRUE(model) << c.path;
    for (const bool reversed : {false, true}) {
      const ModelPtr clockwise = clockwiseCopy(*model);
      const Model& drawn = reversed ? *clockwise : *model;
      draw(drawn, c.yaw, c.pitch, 5, reversed);
      int checked = 0;
      for (int i = 0; i < edges.faceCount; ++i) {
        const int* corner = drawn.faces[edges.faces[i].face].vertexIndex;
        std::array<std::array<double, 2>, 3> p;
        std::transform(corner, corner + 3, p.begin(), [&](int v) { return window(drawn.vertices[v]); });
        // Counter-clockwise in the window is GL's front; the outer side of a reversed model is its back.
        const double area =
            (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[2][0] - p[0][0]) * (p[1][1] - p[0][1]);
        const bool outerInView = (area > 0) != reversed;
        for (int k = 0; k < 3; ++k) {
          if (outerInView && (edges.faces[i].edgeMask >> k & 1)) {
            ++checked;
            EXPECT_TRUE(black((p[k][0] + p[(k + 1) % 3][0]) / 2, (p[k][1] + p[(k + 1) % 3][1]) / 2))
                << c.path << (reversed ? " reversed" : "") << ", face " << edges.faces[i].face << " edge "
                << k;
          }
        }
      }
      EXPECT_GE(checked, 8) << c.path;
    }
  }
}

TEST_F(Creases, LinesAreAsWideAsTheOutlineWhicheverWayTheirFacesTurn) {
  struct Case {
    const char* path;
    float yaw, pitch;
    int a, b;  // an edge in view, by its vertices
  };
  // The cube's nearest upright edge seen square on, both faces turning away alike; two borders of a tilted
  // square where the square comes towards the eye from the edge.
  for (const Case& c :
       {Case{"tests/models/cube.poly", 45, 0, 1, 3}, Case{"tests/models/open-square.poly", 20, 15, 0, 2},
        Case{"tests/models/open-square.poly", 20, 15, 2, 8}}) {
    const ModelPtr model(loadModel(c.path));
    ASSERT_TRUE(model) << c.path;
    for (const int width : {1, 3, 5, 9}) {
      draw(*model, c.yaw, c.pitch, width, false);
      EXPECT_NEAR(runAcross(model->vertices[c.a], model->vertices[c.b]), width, 1)
          << c.path << ", width " << width;
    }
  }
}

TEST_F(Creases, OutlinePassLeavesTheStateItWouldWithoutThem) {
  // The square's last face ends on an edge not drawn, so its edge flag is left off.
  const ModelPtr square(loadModel("tests/models/open-square.poly"));
  ASSERT_TRUE(square);
  auto passState = [] {
    std::vector<GLfloat> values;
    for (const GLenum name : {GL_POLYGON_MODE, GL_CULL_FACE_MODE, GL_POLYGON_OFFSET_FACTOR,
                              GL_POLYGON_OFFSET_UNITS, GL_LINE_WIDTH, GL_EDGE_FLAG, GL_CURRENT_COLOR}) {
      GLfloat value[4] = {0, 0, 0, 0};
      glGetFloatv(name, value);
      values.insert(values.end(), value, value + 4);
    }
    for (const GLenum name : {GL_CULL_FACE, GL_POLYGON_OFFSET_LINE, GL_DEPTH_TEST}) {
      values.push_back(glIsEnabled(name));
    }
    return values;
  };
  for (const bool reversed : {false, true}) {
    draw(*square, 20, 15, 5, reversed, false);
    const auto without = passState();
    draw(*square, 20, 15, 5, reversed);
    EXPECT_EQ(passState(), without) << (reversed ? "reversed" : "");
  }
}

}  // namespace

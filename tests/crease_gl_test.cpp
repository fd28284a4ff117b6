// Crease lines in a real Mesa context: every chosen edge in view is black, and the outline pass leaves GL as
// it would without them. Their width and what hides them are in the crease pictures.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "frame.h"
#include "model_catalogue.h"
#include "offscreen_context.h"

namespace {

class Creases : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
    renderer = std::make_unique<HatchRenderer>();
  }
  void TearDown() override { freeModel(model); }
  // Two frames of the model at path, as nprsnap draws them, with its edges at 30 degrees or without.
  void draw(const char* path, float yaw, float pitch, int width, bool reversed = false, bool creases = true) {
    freeModel(model);
    model = loadModel(path);
    ASSERT_TRUE(model && findCreaseEdges(*model, 30.0f, edges)) << path;
    DrawState state = kStartUpState;
    state.camera.yaw = yaw, state.camera.pitch = pitch, state.outlineWidth = width;
    state.reversedWinding = reversed, state.creaseEdges = creases ? &edges : nullptr;
    drawFrame(*renderer, model, state);
    drawFrame(*renderer, model, state);
  }
  // Where corner k of face f lands in the window.
  std::array<double, 2> window(int f, int k) const {
    const ModelVertex& v = model->vertices[model->faces[f].vertexIndex[k % 3]];
    GLdouble modelview[16], projection[16], x, y, z;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(v.x, v.y, v.z, modelview, projection, viewport, &x, &y, &z);
    return {x, y};
  }
  bool black(double x, double y) const {
    unsigned char p[3] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(static_cast<int>(x), static_cast<int>(y), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return p[0] <= 1 && p[1] <= 1 && p[2] <= 1;
  }

  OffscreenContext context{256, 256};
  std::unique_ptr<HatchRenderer> renderer;
  Model* model = nullptr;
  CreaseEdges edges;
};

TEST_F(Creases, EveryChosenEdgeOfAFaceInViewIsBlack) {
  struct Case {
    const char* path;
    float yaw, pitch;
  };
  for (const Case& c : {Case{"data/icos-unit.poly", 0, 0}, Case{"tests/models/cube.poly", 30, 25},
                        Case{"tests/models/open-square.poly", 20, 15}}) {
    draw(c.path, c.yaw, c.pitch, 5);
    int checked = 0;
    for (int i = 0; i < edges.faceCount; ++i) {
      const int f = edges.faces[i].face;
      const auto p0 = window(f, 0), p1 = window(f, 1), p2 = window(f, 2);
      // Counter-clockwise in the window: the outer side is in view.
      const bool inView = (p1[0] - p0[0]) * (p2[1] - p0[1]) > (p2[0] - p0[0]) * (p1[1] - p0[1]);
      for (int k = 0; k < 3; ++k) {
        if (inView && (edges.faces[i].edgeMask >> k & 1)) {
          const auto a = window(f, k), b = window(f, k + 1);
          EXPECT_TRUE(black((a[0] + b[0]) / 2, (a[1] + b[1]) / 2))
              << c.path << ", face " << f << " edge " << k;
          ++checked;
        }
      }
    }
    EXPECT_GE(checked, 8) << c.path;
  }
}

TEST_F(Creases, OutlinePassLeavesTheStateItWouldWithoutThem) {
  auto passState = [] {
    std::vector<GLfloat> values(16);
    const GLenum names[] = {GL_POLYGON_MODE, GL_CULL_FACE_MODE, GL_POLYGON_OFFSET_FACTOR, GL_EDGE_FLAG};
    for (int i = 0; i < 4; ++i) {
      glGetFloatv(names[i], &values[4 * i]);
    }
    return values;
  };
  for (const bool reversed : {false, true}) {
    // The square's last face ends on an edge that is not drawn, so its edge flag is left off.
    draw("tests/models/open-square.poly", 20, 15, 5, reversed, false);
    const auto without = passState();
    draw("tests/models/open-square.poly", 20, 15, 5, reversed);
    EXPECT_EQ(passState(), without) << (reversed ? "reversed" : "");
  }
}

}  // namespace

// The renderer in a real Mesa context: the GL state each pass leaves and the pixels it draws.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "frame.h"
#include "gl_context.h"
#include "hatch_renderer.h"
#include "model_catalogue.h"
#include "tone.h"

namespace {

constexpr int kSize = 256;

struct ModelDeleter {
  void operator()(Model* m) const { freeModel(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

ModelPtr loadShipped(const char* path) { return ModelPtr(loadModel(path)); }

// The same mesh with every face's winding reversed.
ModelPtr reversedCopy(const Model& m) {
  std::string text = "vertices: " + std::to_string(m.vertexCount) + " faces: " + std::to_string(m.faceCount);
  ModelPtr copy(parsePoly(text + [&] {
                  std::string records;
                  for (int i = 0; i < m.vertexCount; ++i) {
                    records += " v " + std::to_string(m.vertices[i].x) + " " + std::to_string(m.vertices[i].y) + " " +
                               std::to_string(m.vertices[i].z) + " 0 0 0";
                  }
                  for (int i = 0; i < m.faceCount; ++i) {
                    const int* f = m.faces[i].vertexIndex;
                    records += " f " + std::to_string(f[1] + 1) + " " + std::to_string(f[0] + 1) + " " +
                               std::to_string(f[2] + 1);
                  }
                  return records;
                }())
                    .model);
  return copy;
}

GLint getInt(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}
std::pair<GLint, GLint> polygonModes() {
  GLint modes[2] = {0, 0};
  glGetIntegerv(GL_POLYGON_MODE, modes);
  return {modes[0], modes[1]};
}
float lineWidth() {
  GLfloat width = 0;
  glGetFloatv(GL_LINE_WIDTH, &width);
  return width;
}

bool isBlack(std::array<unsigned char, 3> p) { return p[0] <= 1 && p[1] <= 1 && p[2] <= 1; }
bool isBackground(std::array<unsigned char, 3> p) {
  return std::abs(p[0] - 115) <= 1 && std::abs(p[1] - 128) <= 1 && std::abs(p[2] - 153) <= 1;
}

class RendererGl : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
    renderer = std::make_unique<HatchRenderer>();
  }
  GlContext context{kSize, kSize};
  std::unique_ptr<HatchRenderer> renderer;
  ModelPtr sphere = loadShipped("data/sphere-unit.poly");
};

TEST_F(RendererGl, ConstructionStartsAtTheFillPassWithFourTextureNames) {
  EXPECT_EQ(renderer->nextPass, 0);
  EXPECT_EQ(getInt(GL_TEXTURE_BINDING_2D), 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(renderer->textures[i], 0u);
    for (int j = 0; j < i; ++j) {
      EXPECT_NE(renderer->textures[i], renderer->textures[j]);
    }
  }
}

TEST_F(RendererGl, PassesAlternateAndLeaveTheirState) {
  ModelPtr empty(parsePoly("vertices: 0 faces: 0").model);
  ASSERT_TRUE(empty);
  for (const Model* model : {sphere.get(), empty.get()}) {
    renderer->nextPass = 0;
    DrawState state = kStartUpState;
    state.outlineWidth = 3;
    // Fill, outline, fill: the pass follows the count of calls.
    renderer->draw(model, state);
    EXPECT_EQ(renderer->nextPass, 1);
    EXPECT_EQ(lineWidth(), 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(polygonModes().first, GL_FILL);

    renderer->draw(model, state);
    EXPECT_EQ(renderer->nextPass, 0);
    EXPECT_EQ(lineWidth(), 3.0f);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(getInt(GL_CULL_FACE_MODE), GL_FRONT);
    EXPECT_EQ(polygonModes(), std::make_pair(GLint(GL_FILL), GLint(GL_LINE)));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2], 0.0f);

    // The back side keeps the line mode into the next fill pass.
    renderer->draw(model, state);
    EXPECT_EQ(renderer->nextPass, 1);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(polygonModes(), std::make_pair(GLint(GL_FILL), GLint(GL_LINE)));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_EYE_LINEAR);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  }
}

TEST_F(RendererGl, ReversedWindingSwapsTheSides) {
  DrawState state = kStartUpState;
  state.reversedWinding = true;
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  renderer->draw(sphere.get(), state);
  EXPECT_EQ(polygonModes(), std::make_pair(GLint(GL_LINE), GLint(GL_FILL)));
  renderer->draw(sphere.get(), state);
  EXPECT_EQ(getInt(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_EQ(polygonModes().first, GL_LINE);
}

TEST_F(RendererGl, FirstFrameShowsOnlyToneColoursOutlineAndBackground) {
  drawFrame(*renderer, sphere.get(), kStartUpState);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_TRUE(isBackground(context.pixel(0, 0)));
  EXPECT_TRUE(isBackground(context.pixel(kSize - 1, kSize - 1)));
  const std::array<unsigned char, 3> tones[] = {{166, 166, 38}, {217, 217, 128}, {255, 255, 255}, {128, 128, 0}};
  const auto pixels = context.readPixels();
  int toned = 0;
  for (size_t i = 0; i < pixels.size(); i += 3) {
    const std::array<unsigned char, 3> p{pixels[i], pixels[i + 1], pixels[i + 2]};
    bool known = isBackground(p) || isBlack(p);
    for (const auto& tone : tones) {
      if (std::abs(p[0] - tone[0]) <= 1 && std::abs(p[1] - tone[1]) <= 1 && std::abs(p[2] - tone[2]) <= 1) {
        known = true;
        ++toned;
      }
    }
    ASSERT_TRUE(known) << "pixel " << i / 3 << ": " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
  }
  EXPECT_GT(toned, kSize * kSize / 5);
  // The light stands up and to the left in the picture, so the top left is lit and the far side dark.
  EXPECT_EQ(context.pixel(kSize / 2, kSize / 2), (std::array<unsigned char, 3>{128, 128, 0}));
}

TEST_F(RendererGl, ReversedModelInAReversedSlotLooksTheSame) {
  // The second frame of each starts from the polygon modes the first one left.
  drawFrame(*renderer, sphere.get(), kStartUpState);
  drawFrame(*renderer, sphere.get(), kStartUpState);
  const auto forward = context.readPixels();
  ModelPtr clockwise = reversedCopy(*sphere);
  ASSERT_TRUE(clockwise);
  DrawState state = kStartUpState;
  state.reversedWinding = true;
  drawFrame(*renderer, clockwise.get(), state);
  drawFrame(*renderer, clockwise.get(), state);
  const auto reversed = context.readPixels();
  size_t differing = 0;
  for (size_t i = 0; i < forward.size(); ++i) {
    differing += std::abs(forward[i] - reversed[i]) > 1;
  }
  EXPECT_LE(differing, forward.size() / 1000);
}

TEST_F(RendererGl, TexturesReplaceColoursWithTheBandsTexture) {
  // One triangle facing the light from 2 units: band 4, the dark tone, texture index 2.
  ModelPtr triangle(parsePoly("vertices: 3 faces: 1 v -0.125 -0.125 0 0 0 0 v 0.375 -0.125 0 0 0 0 "
                              "v -0.0625 0.0625 0 0 0 0 f 1 2 3")
                        .model);
  ASSERT_TRUE(triangle);
  DrawState state = kStartUpState;
  state.camera = {Orbit, {0.0f, 0.0f, 0.0f}, 0.0f, 180.0f, 2.0f};
  state.lightYawOffset = 0.0f;
  state.lightPitchOffset = 0.0f;
  state.texturesEnabled = true;
  renderer->nextPass = 0;
  renderer->draw(triangle.get(), state);
  EXPECT_EQ(getInt(GL_TEXTURE_BINDING_2D), GLint(renderer->textures[2]));
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0] + colour[1] + colour[2], 3.0f);

  state.texturesEnabled = false;
  glBindTexture(GL_TEXTURE_2D, 0);
  renderer->nextPass = 0;
  renderer->draw(triangle.get(), state);
  EXPECT_EQ(getInt(GL_TEXTURE_BINDING_2D), 0);
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0], 0.65f);
  EXPECT_EQ(colour[2], 0.15f);
}

}  // namespace

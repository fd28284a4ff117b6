// Hatching on the surface in a real Mesa context: the coordinates GL receives stay with the model as the
// camera orbits, and the mipmapped textures are made only once a surface-hatched frame needs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "frame.h"
#include "hatch_textures.h"
#include "model_catalogue.h"
#include "offscreen_context.h"
#include "support.h"

namespace {

DrawState hatchedAt(float yaw, HatchingSpace space, bool textures = true) {
  DrawState state = kStartUpState;
  state.camera.yaw = yaw;
  state.texturesEnabled = textures;
  state.hatchingSpace = space;
  return state;
}

class SurfaceHatchingGl : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok() && icosahedron) << "no EGL context or no icosahedron";
    setFixedGlState();
    // Texture coordinates are generated only with texturing on, as the T key leaves it.
    glEnable(GL_TEXTURE_2D);
  }
  // The texture coordinates (s, t) of every corner of the fill pass, in order, as GL's feedback reports them.
  std::vector<GLfloat> fillPassTexCoords(const DrawState& state) {
    HatchRenderer renderer;
    std::vector<GLfloat> buffer(20 * (2 + 3 * 11));
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    beginFrame(state.camera);
    renderer.draw(icosahedron.get(), state);
    buffer.resize(static_cast<size_t>(glRenderMode(GL_RENDER)));
    // Per triangle: the polygon token, the count 3, then per corner x y z, r g b a, s t r q.
    std::vector<GLfloat> coords;
    for (size_t i = 0; i + 2 + 3 * 11 <= buffer.size(); i += 2 + 3 * 11) {
      for (size_t corner = i + 2; corner < i + 2 + 3 * 11; corner += 11) {
        coords.insert(coords.end(), {buffer[corner + 7], buffer[corner + 8]});
      }
    }
    return coords;
  }
  OffscreenContext context{256, 256};
  const ModelPtr icosahedron{loadModel("data/icos-unit.poly")};
};

// Two frames of a turntable, 25 degrees apart: on the surface each corner keeps its texel; fixed to the
// view, none does.
TEST_F(SurfaceHatchingGl, ACornerKeepsItsTexelAcrossTurntableFramesOnlyOnTheSurface) {
  for (const HatchingSpace space : {HatchingSpace::Object, HatchingSpace::Eye}) {
    const std::vector<GLfloat> before = fillPassTexCoords(hatchedAt(0, space));
    const std::vector<GLfloat> after = fillPassTexCoords(hatchedAt(25, space));
    ASSERT_EQ(before.size(), size_t{20 * 3 * 2});
    ASSERT_EQ(after.size(), before.size());
    int kept = 0;
    for (size_t i = 0; i < before.size(); i += 2) {
      kept += before[i] == after[i] && before[i + 1] == after[i + 1];
    }
    EXPECT_EQ(kept, space == HatchingSpace::Object ? 60 : 0);
  }
}

// Eye-space frames, and surface frames in flat tones, read no image; the first surface-hatched frame reads
// every drawn level and makes textures with the whole chain of levels down to 1 by 1.
TEST_F(SurfaceHatchingGl, MipmappedTexturesAreMadeOnlyWhenASurfaceHatchedFrameNeedsThem) {
  HatchRenderer renderer;
  const auto printedBy = [&](const DrawState& state) {
    return captureStdout([&] { drawFrame(renderer, icosahedron.get(), state); });
  };
  EXPECT_EQ(printedBy(hatchedAt(0, HatchingSpace::Eye)), "");
  EXPECT_EQ(printedBy(hatchedAt(0, HatchingSpace::Object, false)), "");
  std::string lines;
  for (int i = 0; i < 4; ++i) {
    for (int level = 0; level < kHatchDrawnLevels; ++level) {
      const std::string path = hatchLevelPath(i, level), side = std::to_string(kHatchImageSize >> level);
      lines += "Width of " + path + ": " + side + "\nHeight of " + path + ": " + side + "\n";
    }
  }
  EXPECT_EQ(printedBy(hatchedAt(0, HatchingSpace::Object)), lines);
  EXPECT_EQ(printedBy(hatchedAt(0, HatchingSpace::Object)), "") << "made once";

  // The fill pass leaves its last face's texture bound: one of the surface textures.
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
  for (int level = 0; (kHatchImageSize >> level) > 0; ++level) {
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, kHatchImageSize >> level) << "level " << level;
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace

// Hatching on the surface in a real Mesa context: the coordinates GL receives stay with the model as the
// camera orbits, and the mipmapped textures exist only once a surface-hatched frame asks for them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bitmap_support.h"
#include "frame.h"
#include "gl_context.h"
#include "hatch_renderer.h"
#include "hatch_textures.h"

namespace {

struct ModelDeleter {
  void operator()(Model* m) const { freeModel(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

DrawState stateAt(float yaw, HatchingSpace space, bool textures) {
  DrawState state{{Orbit, {0.0f, 0.1f, 0.0f}, 0.0f, yaw, 1.0f}, 90.0f, 45.0f, false, 5, textures};
  state.hatchingSpace = space;
  return state;
}

// One corner as GL's feedback mode reports it: window position and texture coordinate.
struct Corner {
  float x, y, s, t;
};

// The corners of every triangle the fill pass sends, in order, after texture-coordinate generation (which
// GL applies only with texturing on, as the T key leaves it).
std::vector<Corner> fillPassCorners(const Model& model, const DrawState& state) {
  HatchRenderer renderer;
  glEnable(GL_TEXTURE_2D);
  std::vector<GLfloat> buffer(static_cast<size_t>(model.faceCount) * 40 + 64);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  beginFrame(state.camera);
  renderer.draw(&model, state);
  const GLint used = glRenderMode(GL_RENDER);
  std::vector<Corner> corners;
  // Each polygon: its token, its corner count, then per corner x y z, r g b a, s t r q.
  for (GLint i = 0; i + 1 < used;) {
    EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN);
    const int count = static_cast<int>(buffer[i + 1]);
    EXPECT_EQ(count, 3);
    for (int c = 0; c < count; ++c) {
      const GLfloat* v = &buffer[i + 2 + 11 * c];
      corners.push_back({v[0], v[1], v[7], v[8]});
    }
    i += 2 + 11 * count;
  }
  return corners;
}

class SurfaceHatchingGl : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
    ASSERT_TRUE(icosahedron);
  }
  GlContext context{256, 256};
  ModelPtr icosahedron{loadModel("data/icos-unit.poly")};
};

// Two frames of a turntable, 25 degrees apart: every corner moves on screen, and on the surface keeps
// the texel it had, while hatching fixed to the view slides under it.
TEST_F(SurfaceHatchingGl, ACornerKeepsItsTexelAcrossTurntableFramesOnlyOnTheSurface) {
  for (const HatchingSpace space : {HatchingSpace::Object, HatchingSpace::Eye}) {
    SCOPED_TRACE(space == HatchingSpace::Object ? "object space" : "eye space");
    const std::vector<Corner> before = fillPassCorners(*icosahedron, stateAt(0.0f, space, true));
    const std::vector<Corner> after = fillPassCorners(*icosahedron, stateAt(25.0f, space, true));
    ASSERT_EQ(before.size(), size_t{60});
    ASSERT_EQ(after.size(), before.size());
    int kept = 0;
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_TRUE(before[i].x != after[i].x || before[i].y != after[i].y) << "corner " << i;
      kept += before[i].s == after[i].s && before[i].t == after[i].t;
    }
    EXPECT_EQ(kept, space == HatchingSpace::Object ? 60 : 0);
  }
}

// Reads what a call prints to standard output.
template <typename Call>
std::string printed(Call call) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  call();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

GLint levelInt(int level, GLenum name) {
  GLint value = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}

Bytes levelRgba(int level) {
  Bytes rgba(static_cast<size_t>(levelInt(level, GL_TEXTURE_WIDTH) * levelInt(level, GL_TEXTURE_HEIGHT)) * 4);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

// The viewer's construction and frames read the four images and nothing more; the first surface-hatched
// frame with textures on reads every level and makes complete mipmapped textures.
TEST_F(SurfaceHatchingGl, MipmappedTexturesAreMadeOnlyWhenASurfaceHatchedFrameNeedsThem) {
  std::unique_ptr<HatchRenderer> renderer;
  printed([&] { renderer = std::make_unique<HatchRenderer>(); });
  glEnable(GL_TEXTURE_2D);
  const auto frame = [&](HatchingSpace space, bool textures) {
    return printed([&] { drawFrame(*renderer, icosahedron.get(), stateAt(0.0f, space, textures)); });
  };
  EXPECT_EQ(frame(HatchingSpace::Eye, true), "");
  EXPECT_EQ(frame(HatchingSpace::Object, false), "");
  GLuint highest = 0;
  for (GLuint name : renderer->textures) {
    highest = std::max(highest, name);
  }
  EXPECT_FALSE(glIsTexture(highest + 1)) << "a texture beyond the viewer's four exists";

  std::string lines;
  for (int i = 0; i < 4; ++i) {
    for (int level = 0; level < kHatchDrawnLevels; ++level) {
      const std::string path = hatchLevelPath(i, level), side = std::to_string(kHatchImageSize >> level);
      lines += "Width of " + path + ": " + side + "\nHeight of " + path + ": " + side + "\n";
    }
  }
  EXPECT_EQ(frame(HatchingSpace::Object, true), lines);
  EXPECT_EQ(frame(HatchingSpace::Object, true), "") << "made once";

  // The fill pass leaves its last face's texture bound: one of the surface textures.
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  for (GLuint name : renderer->textures) {
    EXPECT_NE(static_cast<GLuint>(bound), name);
  }
  GLint filter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(filter, GL_LINEAR_MIPMAP_LINEAR);
  // Every level down to 1 by 1: the drawn ones hold their images, the rest are filtered from the last.
  for (int level = 0; (kHatchImageSize >> level) > 0; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    EXPECT_EQ(levelInt(level, GL_TEXTURE_WIDTH), kHatchImageSize >> level);
    EXPECT_EQ(levelInt(level, GL_TEXTURE_INTERNAL_FORMAT), 3);
  }
  int index = -1;
  for (int i = 0; i < 4; ++i) {
    const Bytes image = DecodedBmp(readBytes(hatchLevelPath(i, 1))).rgba();
    index = levelRgba(1) == image ? i : index;
  }
  ASSERT_GE(index, 0) << "level 1 holds none of the 256-texel images";
  EXPECT_TRUE(levelRgba(kHatchDrawnLevels - 1) ==
              DecodedBmp(readBytes(hatchLevelPath(index, kHatchDrawnLevels - 1))).rgba());
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace

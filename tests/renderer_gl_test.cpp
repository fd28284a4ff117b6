// The renderer and its texture set in a real Mesa context (EGL, no window): what the baseline pictures
// cannot show.
#include <gtest/gtest.h>

#include <memory>

#include "bitmap.h"
#include "frame.h"
#include "hatch_textures.h"
#include "offscreen_context.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
constexpr int kSize = 256;
const DrawState kStartUp{{Orbit, {0.0f, 0.1f, 0.0f}, 0.0f, 0.0f, 1.0f}, 90.0f, 45.0f, false, 5, false};

class RendererGl : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << context.error();
    setFixedGlState();
  }

  // The frame every redisplay repeats: the second, which starts from the polygon modes the first left.
  RgbImage frame(const Model& model, const DrawState& state) {
    std::unique_ptr<HatchRenderer> renderer;
    captureStdout([&] { renderer = std::make_unique<HatchRenderer>(); });
    drawFrame(*renderer, &model, state);
    drawFrame(*renderer, &model, state);
    return context.readImage();
  }

  // The texture's level 0 as RGBA, bottom row first; empty when it has no image.
  static std::string textureRgba(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::string rgba(static_cast<size_t>(width * height) * 4, '\0');
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return rgba;
  }

  // The image file as the texture must hold it.
  static std::string imageRgba(const std::string& path) {
    BitmapImage image{0, 0, nullptr};
    captureStdout([&] { loadBitmap(path.c_str(), image); });
    std::string rgba(reinterpret_cast<const char*>(image.pixels), size_t{image.width} * image.height * 4);
    std::free(image.pixels);
    return rgba;
  }

  OffscreenContext context{kSize, kSize};
  const ModelPtr sphere{loadModel("data/sphere-unit.poly")};
};

// Texture i shows image i, lightest first. A missing image, or one cut short (its buffer only partly read
// must not reach GL), leaves only its own texture without an image, and the construction goes on.
TEST_F(RendererGl, EachTextureHoldsItsImageAndABrokenImageLeavesItsTextureEmpty) {
  const fs::path home = fs::current_path(), folder = tempPath("hatch-images");
  const std::string broken = kHatchImagePaths[1];
  for (const char* damage : {"none", "missing", "cut short"}) {
    SCOPED_TRACE(damage);
    fs::remove_all(folder);
    fs::create_directories(folder / "data");
    for (const char* path : kHatchImagePaths) {
      fs::copy_file(home / path, folder / path);
    }
    if (damage == std::string("missing")) {
      fs::remove(folder / broken);
    } else if (damage == std::string("cut short")) {
      fs::resize_file(folder / broken, fs::file_size(folder / broken) / 2);
    }
    fs::current_path(folder);
    std::unique_ptr<HatchRenderer> renderer;
    captureStdout([&] { renderer = std::make_unique<HatchRenderer>(); });
    fs::current_path(home);
    for (int i = 0; i < 4; ++i) {
      const bool empty = i == 1 && damage != std::string("none");
      EXPECT_TRUE(textureRgba(renderer->textures[i]) == (empty ? "" : imageRgba(kHatchImagePaths[i]))) << i;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  }
  fs::remove_all(folder);
}

}  // namespace

// The hatching texture set in a real Mesa context: what each texture holds, and a missing or cut image.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "asan.h"
#include "bitmap_support.h"
#include "frame.h"
#include "gl_context.h"
#include "hatch_renderer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 128;
// Lightest first: the order of the renderer's textures.
const char* const kImages[4] = {"data/xhatch1.bmp", "data/xhatch2.bmp", "data/xhatch3.bmp",
                                "data/xhatch4.bmp"};

Bytes imageRgba(const char* path) {
  return DecodedBmp(readBytes(path)).rgba();
}

// The texture's level 0 as RGBA, bottom row first; empty when it has no image.
Bytes textureRgba(GLuint name) {
  glBindTexture(GL_TEXTURE_2D, name);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  Bytes rgba(static_cast<size_t>(width * height) * 4);
  if (!rgba.empty()) {
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return rgba;
}

std::string sizeLines(const std::string& path) {
  return "Width of " + path + ": 512\nHeight of " + path + ": 512\n";
}

// Constructs a renderer and returns what the construction printed.
std::string constructCapturing(std::unique_ptr<HatchRenderer>& renderer) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  renderer = std::make_unique<HatchRenderer>();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

class HatchTextures : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
  }
  GlContext context{kSize, kSize};
};

TEST_F(HatchTextures, EachTextureHoldsItsImageInPathOrder) {
  std::unique_ptr<HatchRenderer> renderer;
  EXPECT_EQ(constructCapturing(renderer),
            sizeLines(kImages[0]) + sizeLines(kImages[1]) + sizeLines(kImages[2]) + sizeLines(kImages[3]));
#ifdef NPRVIEW_ASAN
  // No image buffer outlives the construction: one still allocated is now out of every pointer's reach.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
  // Names, the bound name and nextPass are checked with the renderer's construction.
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(kImages[i]);
    const Bytes image = imageRgba(kImages[i]);
    ASSERT_EQ(image.size(), size_t{512 * 512 * 4});
    EXPECT_TRUE(textureRgba(renderer->textures[i]) == image);
    glBindTexture(GL_TEXTURE_2D, renderer->textures[i]);
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
    EXPECT_EQ(value, 3);
    for (auto [name, expected] : {std::pair{GL_TEXTURE_MIN_FILTER, GL_LINEAR},
                                  {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                  {GL_TEXTURE_WRAP_S, GL_REPEAT},
                                  {GL_TEXTURE_WRAP_T, GL_REPEAT}}) {
      glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
      EXPECT_EQ(value, expected) << name;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Runs each test in a folder whose data/ lacks xhatch2.bmp.
class MissingHatchImage : public HatchTextures {
 protected:
  void SetUp() override {
    HatchTextures::SetUp();
    fs::create_directories(folder / "data");
    for (int i : {0, 2, 3}) {
      fs::copy_file(fs::path(NPRVIEW_SOURCE_DIR) / kImages[i], folder / kImages[i]);
    }
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(home);
    fs::remove_all(folder);
  }
  const fs::path home = fs::current_path();
  const fs::path folder = fs::temp_directory_path() / ("nprview-missing-hatch-" + std::to_string(getpid()));
};

// Missing, or cut short (a buffer only partly read must not reach GL as an image): the construction goes
// on and only that texture is left without an image.
TEST_F(MissingHatchImage, ConstructionGoesOnAndTheOtherThreeCarryTheirImages) {
  for (bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut short" : "missing");
    if (cut) {
      const fs::path source = fs::path(NPRVIEW_SOURCE_DIR) / kImages[1];
      fs::copy_file(source, kImages[1]);
      fs::resize_file(kImages[1], fs::file_size(source) / 2);
    }
    const std::string broken =
        cut ? sizeLines(kImages[1]) + "Error reading image data from data/xhatch2.bmp.\n"
            : "File Not Found : data/xhatch2.bmp\n";
    std::unique_ptr<HatchRenderer> renderer;
    EXPECT_EQ(constructCapturing(renderer),
              sizeLines(kImages[0]) + broken + sizeLines(kImages[2]) + sizeLines(kImages[3]));
    EXPECT_EQ(renderer->nextPass, 0);
    // Nothing is left enabled or bound that would change the tone colours.
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_TRUE(bound == 0 && !glIsEnabled(GL_TEXTURE_2D));
    for (int i : {0, 2, 3}) {
      EXPECT_TRUE(textureRgba(renderer->textures[i]) == imageRgba(kImages[i])) << i;
    }
    EXPECT_TRUE(textureRgba(renderer->textures[1]).empty());
    EXPECT_NE(renderer->textures[1], 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  }
}

}  // namespace

// The hatching texture set in a real Mesa context: what each texture holds, and a missing image.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bitmap.h"
#include "frame.h"
#include "gl_context.h"
#include "hatch_renderer.h"

#if defined(__SANITIZE_ADDRESS__)
#define NPRVIEW_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NPRVIEW_ASAN 1
#endif
#endif
#ifdef NPRVIEW_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

struct ModelDeleter {
  void operator()(Model* m) const { freeModel(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

constexpr int kSize = 128;
constexpr int kImageSize = 256;
// Lightest first: the order of the renderer's textures.
const char* const kImages[4] = {"data/xhatch1.bmp", "data/xhatch2.bmp", "data/xhatch3.bmp",
                                "data/xhatch4.bmp"};

// An image of data/ as RGB, bottom row first, decoded without going through the console.
Bytes imageRgb(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  BitmapImage image{0, 0, nullptr};
  Bytes rgb;
  if (decodeBmp(file.data(), file.size(), image).status == BmpStatus::Ok) {
    for (size_t i = 0; i < static_cast<size_t>(image.width) * image.height; ++i) {
      rgb.insert(rgb.end(), image.pixels + 4 * i, image.pixels + 4 * i + 3);
    }
  }
  std::free(image.pixels);
  return rgb;
}

GLint levelParameter(GLenum name) {
  GLint value = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
  return value;
}
GLint parameter(GLenum name) {
  GLint value = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

// The texture's level 0 as RGB, bottom row first; empty when it has no image.
Bytes textureRgb(GLuint name) {
  glBindTexture(GL_TEXTURE_2D, name);
  Bytes rgb(static_cast<size_t>(levelParameter(GL_TEXTURE_WIDTH) * levelParameter(GL_TEXTURE_HEIGHT)) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!rgb.empty()) {
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return rgb;
}

std::string sizeLines(const std::string& path) {
  return "Width of " + path + ": 256\nHeight of " + path + ": 256\n";
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
  const std::string output = constructCapturing(renderer);
  std::string expected;
  for (const char* path : kImages) {
    expected += sizeLines(path);
  }
  EXPECT_EQ(output, expected);
  EXPECT_EQ(renderer->nextPass, 0);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(kImages[i]);
    const Bytes image = imageRgb(kImages[i]);
    ASSERT_EQ(image.size(), size_t{kImageSize * kImageSize * 3});
    EXPECT_TRUE(textureRgb(renderer->textures[i]) == image);
    glBindTexture(GL_TEXTURE_2D, renderer->textures[i]);
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), kImageSize);
    EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), kImageSize);
    EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), 3);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(HatchTextures, NoImageBufferOutlivesConstruction) {
#ifdef NPRVIEW_ASAN
  std::unique_ptr<HatchRenderer> renderer;
  constructCapturing(renderer);
  // Any of the four buffers still allocated is now out of every pointer's reach.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#else
  GTEST_SKIP() << "needs LeakSanitizer (the sanitizer build)";
#endif
}

// Pixels of the picture that are neither the background, black, nor white.
int markedPixels(const GlContext& context) {
  const Bytes pixels = context.readPixels();
  int marked = 0;
  for (size_t i = 0; i < pixels.size(); i += 3) {
    const int r = pixels[i], g = pixels[i + 1], b = pixels[i + 2];
    const bool background = std::abs(r - 115) <= 1 && std::abs(g - 128) <= 1 && std::abs(b - 153) <= 1;
    const bool grey = r == g && g == b && (r == 0 || r == 255);
    marked += !background && !grey;
  }
  return marked;
}

class MissingHatchImage : public HatchTextures {
 protected:
  void SetUp() override {
    HatchTextures::SetUp();
    fs::create_directories(folder / "data");
    for (const char* path : {"data/xhatch1.bmp", "data/xhatch3.bmp", "data/xhatch4.bmp"}) {
      fs::copy_file(fs::path(NPRVIEW_SOURCE_DIR) / path, folder / path, fs::copy_options::overwrite_existing);
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

TEST_F(MissingHatchImage, ConstructionGoesOnAndTheOtherThreeCarryTheirImages) {
  std::unique_ptr<HatchRenderer> renderer;
  const std::string output = constructCapturing(renderer);
  EXPECT_EQ(output, sizeLines("data/xhatch1.bmp") + "File Not Found : data/xhatch2.bmp\n" +
                        sizeLines("data/xhatch3.bmp") + sizeLines("data/xhatch4.bmp"));
  EXPECT_EQ(renderer->nextPass, 0);
  for (int i : {0, 2, 3}) {
    EXPECT_TRUE(textureRgb(renderer->textures[i]) == imageRgb(kImages[i])) << i;
  }
  EXPECT_TRUE(textureRgb(renderer->textures[1]).empty());
  EXPECT_NE(renderer->textures[1], 0u);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A file cut short leaves a buffer only partly read: it must not reach GL as an image.
TEST_F(MissingHatchImage, ImageCutShortLeavesItsTextureWithoutAnImage) {
  const fs::path source = fs::path(NPRVIEW_SOURCE_DIR) / "data/xhatch2.bmp";
  fs::copy_file(source, "data/xhatch2.bmp");
  fs::resize_file("data/xhatch2.bmp", fs::file_size(source) / 2);
  std::unique_ptr<HatchRenderer> renderer;
  const std::string output = constructCapturing(renderer);
  EXPECT_EQ(output, sizeLines("data/xhatch1.bmp") + sizeLines("data/xhatch2.bmp") +
                        "Error reading image data from data/xhatch2.bmp.\n" + sizeLines("data/xhatch3.bmp") +
                        sizeLines("data/xhatch4.bmp"));
  EXPECT_TRUE(textureRgb(renderer->textures[1]).empty());
  EXPECT_FALSE(textureRgb(renderer->textures[3]).empty());
}

TEST_F(MissingHatchImage, FacesOfTheMissingTextureShowWhiteAndColoursAreUnaffected) {
  std::unique_ptr<HatchRenderer> missing;
  constructCapturing(missing);
  fs::current_path(home);
  std::unique_ptr<HatchRenderer> complete;
  constructCapturing(complete);

  // One triangle facing the light from 1.2 units: intensity 1/1.44, band 11, texture index 1.
  ModelPtr triangle(parsePoly("vertices: 3 faces: 1 v -0.125 -0.125 0 0 0 0 v 0.375 -0.125 0 0 0 0 "
                              "v -0.0625 0.0625 0 0 0 0 f 1 2 3")
                        .model);
  ASSERT_TRUE(triangle);
  DrawState state{{Orbit, {0.0f, 0.0f, 0.0f}, 0.0f, 180.0f, 1.2f}, 0.0f, 0.0f, false, 1, true};
  glEnable(GL_TEXTURE_2D);
  drawFrame(*complete, triangle.get(), state);
  EXPECT_GT(markedPixels(context), 50) << "the stroked texture shows grey";
  drawFrame(*missing, triangle.get(), state);
  EXPECT_EQ(markedPixels(context), 0) << "a texture without an image shows the white colour";

  glDisable(GL_TEXTURE_2D);
  state.texturesEnabled = false;
  drawFrame(*complete, triangle.get(), state);
  const Bytes colours = context.readPixels();
  drawFrame(*missing, triangle.get(), state);
  EXPECT_TRUE(context.readPixels() == colours);
  EXPECT_EQ(context.pixel(kSize / 2, kSize / 2), (std::array<unsigned char, 3>{217, 217, 128}));
}

}  // namespace

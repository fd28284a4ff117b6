// The renderer in a real Mesa context: the silhouette as wide as asked, the texture set with a broken image,
// the surface textures made when first needed, the GL state crease lines leave, and nprsnap's arrays
// against the immediate mode. The baseline pictures show the rest, back faces hidden behind the front among
// it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "array_drawer.h"
#include "frame.h"
#include "hatch_renderer.h"
#include "hatch_textures.h"
#include "model_catalogue.h"
#include "offscreen_context.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 512;

// The same mesh with every face's corner order reversed.
ModelPtr clockwiseCopy(const Model& m) {
  Model* copy =
      new Model{new ModelVertex[m.vertexCount], new ModelFace[m.faceCount], m.vertexCount, m.faceCount};
  std::copy_n(m.vertices, m.vertexCount, copy->vertices);
  for (int i = 0; i < m.faceCount; ++i) {
    const int* f = m.faces[i].vertexIndex;
    copy->faces[i] = {{f[1], f[0], f[2]}};
  }
  return ModelPtr(copy);
}

// The faces of m whose corners all lie below height: a closed mesh opened into a cup.
ModelPtr cutAbove(const Model& m, float height) {
  Model* cup = new Model{new ModelVertex[m.vertexCount], new ModelFace[m.faceCount], m.vertexCount, 0};
  std::copy_n(m.vertices, m.vertexCount, cup->vertices);
  for (int i = 0; i < m.faceCount; ++i) {
    const int* f = m.faces[i].vertexIndex;
    if (std::max({m.vertices[f[0]].y, m.vertices[f[1]].y, m.vertices[f[2]].y}) < height) {
      cup->faces[cup->faceCount++] = m.faces[i];
    }
  }
  return ModelPtr(cup);
}

// A square of 64 x 64 cells turned to the start-up eye and, behind it and a few pixels inside its edge, a small
// face turned away: hidden, but its wide lines reach out past the square's edge.
ModelPtr faceBehindSquareEdge() {
  constexpr int kCells = 64, kRow = kCells + 1;
  Model* m = new Model{new ModelVertex[kRow * kRow + 3], new ModelFace[2 * kCells * kCells + 1], kRow * kRow + 3,
                       2 * kCells * kCells + 1};
  for (int i = 0; i < kRow * kRow; ++i) {
    m->vertices[i] = {-0.3f + 0.6f * static_cast<float>(i / kRow) / kCells,
                      -0.2f + 0.6f * static_cast<float>(i % kRow) / kCells, 0, {0, 0, -1}};
  }
  for (int i = 0; i < kCells * kCells; ++i) {
    const int a = i / kCells * kRow + i % kCells;
    m->faces[2 * i] = {{a, a + 1, a + kRow + 1}};
    m->faces[2 * i + 1] = {{a, a + kRow + 1, a + kRow}};
  }
  const int v = kRow * kRow;
  m->vertices[v] = {0.3f, 0.08f, 0.2f, {0, 0, 1}};
  m->vertices[v + 1] = {0.32f, 0.1f, 0.2f, {0, 0, 1}};
  m->vertices[v + 2] = {0.3f, 0.12f, 0.2f, {0, 0, 1}};
  m->faces[2 * kCells * kCells] = {{v, v + 1, v + 2}};
  return ModelPtr(m);
}

class RendererGl : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context.ok()) << "no EGL context";
    setFixedGlState();
    captureStdout([&] { renderer = std::make_unique<HatchRenderer>(); });
  }

  // Draws two frames (the second starts from the polygon modes the first left, as every later frame does)
  // and keeps the pixels.
  void draw(const Model* model, const DrawState& state) {
    glDisable(GL_TEXTURE_2D);
    if (state.texturesEnabled) {
      glEnable(GL_TEXTURE_2D);
    }
    drawFrame(*renderer, model, state);
    drawFrame(*renderer, model, state);
    picture = context.readImage();
  }
  // y counted from the bottom, as GL does.
  const uint8_t* at(int x, int y) const { return picture.at(x, kSize - 1 - y); }
  bool black(int x, int y) const {
    const uint8_t* p = at(x, y);
    return p[0] <= 1 && p[1] <= 1 && p[2] <= 1;
  }
  bool background(int x, int y) const {
    const uint8_t* p = at(x, y);
    return std::abs(p[0] - 115) <= 1 && std::abs(p[1] - 128) <= 1 && std::abs(p[2] - 153) <= 1;
  }
  // The black run met first on the way in from (x, y) in steps of (dx, dy), past the background.
  int runFrom(int x, int y, int dx, int dy) const {
    while (x >= 0 && x < kSize && y >= 0 && y < kSize && background(x, y)) {
      x += dx, y += dy;
    }
    int run = 0;
    for (; x >= 0 && x < kSize && y >= 0 && y < kSize && black(x, y); x += dx, y += dy) {
      ++run;
    }
    return run;
  }
  OffscreenContext context{kSize, kSize};
  std::unique_ptr<HatchRenderer> renderer;
  RgbImage picture;
};

TEST_F(RendererGl, VisibleSilhouetteIsAsWideAsTheLineForEitherWindingAndWithHatching) {
  ModelPtr sphere(loadModel("data/sphere-unit.poly"));
  ASSERT_TRUE(sphere);
  ModelPtr clockwise = clockwiseCopy(*sphere);
  for (const bool reversed : {false, true}) {
    for (const bool hatching : {false, true}) {
      for (const int width : {1, 2, 5, 12}) {
        DrawState state = kStartUpState;
        state.outlineWidth = width;
        state.reversedWinding = reversed;
        state.texturesEnabled = hatching;
        draw(reversed ? clockwise.get() : sphere.get(), state);
        const std::string what = "width " + std::to_string(width) + (reversed ? ", reversed" : "") +
                                 (hatching ? ", hatching" : "");
        EXPECT_NEAR(runFrom(0, kSize / 2, 1, 0), width, 1) << what << ", left";
        EXPECT_NEAR(runFrom(kSize - 1, kSize / 2, -1, 0), width, 1) << what << ", right";
        // Where the silhouette runs at 45 degrees a wide line covers `width` pixels across its major axis,
        // so a diagonal walk crosses about half as many.
        EXPECT_NEAR(runFrom(0, 0, 1, 1), (width + 1) / 2, 1) << what << ", diagonal";
      }
    }
  }
}

// nprsnap's arrays, one frame from the state the viewer's frames leave, against the viewer's immediate mode
// after two frames: the same pixels exactly, where faces of other tones meet and where lines tie in depth.
TEST_F(RendererGl, ArraysDrawTheImmediatePixelsExactly) {
  const std::pair<const char*, bool> models[] = {{kModelPaths[0], false},
                                                 {kModelPaths[2], true},
                                                 {kModelPaths[3], false},
                                                 {kModelPaths[4], true},
                                                 {"tests/models/open-square.poly", false}};
  for (const auto& [path, reversed] : models) {
    ModelPtr model(loadModel(path));
    ASSERT_TRUE(model) << path;
    CreaseEdges creases;
    ASSERT_TRUE(findCreaseEdges(*model, 30.0f, creases));
    ArrayDrawer drawer(*renderer, *model);
    for (const int view : {0, 1, 2, 3}) {
      DrawState state = kStartUpState;
      state.reversedWinding = reversed;
      state.texturesEnabled = view == 1 || view == 3;
      state.hatchingSpace = view == 3 ? HatchingSpace::Object : HatchingSpace::Eye;
      state.creaseEdges = view == 2 ? &creases : nullptr;
      state.camera.yaw = 70.0f * view;
      state.camera.pitch = 25.0f * view - 20.0f;
      draw(model.get(), state);
      const RgbImage immediate = picture;
      glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      HatchRenderer::enterRedrawState(reversed);
      drawFrame(drawer, state);
      EXPECT_EQ(differingPixels(context.readImage(), immediate, 0), 0) << path << ", view " << view;
    }
  }
}

// nprsnap's frames without the faces that cannot show against frames of every face, on a bumpy sphere whose
// inner faces lie close behind its outer ones: outside, inside, across the near plane, wound the other way,
// opened into a cup, with the options that change how far a face reaches, and the fill pass alone, as the
// contour lines draw it; and a small face whose wide lines reach out past the edge of the square that hides
// it. The same pixels exactly, and faces left out.
TEST_F(RendererGl, CulledFramesDrawTheSamePixelsAsFramesOfEveryFace) {
  const fs::path path = tempPath("bumpy.poly");
  runCommand(std::string(NPRVIEW_TOOLS_DIR) + "/make_bumpy_sphere " + path.string() + " 200 125");
  const ModelPtr bumpy(loadModel(path.c_str())), behindEdge = faceBehindSquareEdge();
  fs::remove(path);
  ASSERT_TRUE(bumpy);
  const ModelPtr cup = cutAbove(*bumpy, 0.2f), clockwise = clockwiseCopy(*bumpy);
  CreaseEdges creases;
  ASSERT_TRUE(findCreaseEdges(*cup, 30.0f, creases));
  constexpr HatchingSpace kEye = HatchingSpace::Eye, kSurface = HatchingSpace::Object;
  const struct {
    const char* what;
    const Model* model;
    float yaw, pitch, distance;
    int width;
    bool hatching;
    HatchingSpace space;
    bool withOutline = true;
  } rows[] = {{"start-up view", bumpy.get(), 0, 0, 1, 5, false, kEye},
              {"hatching, wide", bumpy.get(), 30, 20, 1, 12, true, kEye},
              {"inside", bumpy.get(), 40, 10, 0.1f, 3, false, kEye},
              {"across the near plane", bumpy.get(), 200, -30, 0.47f, 5, true, kSurface},
              {"reversed", clockwise.get(), 100, -30, 1.2f, 5, false, kEye},
              {"cup, widest", cup.get(), 0, 60, 1, 40, false, kEye},
              {"cup, on the surface, creases", cup.get(), 150, 45, 0.8f, 5, true, kSurface},
              {"cup, the fill pass alone", cup.get(), 20, 50, 1, 5, false, kEye, false},
              {"wide lines past the edge", behindEdge.get(), 0, 0, 1, 40, false, kEye}};
  for (const auto& row : rows) {
    DrawState state = kStartUpState;
    state.camera.yaw = row.yaw, state.camera.pitch = row.pitch, state.camera.distance = row.distance;
    state.reversedWinding = row.model == clockwise.get();
    state.outlineWidth = row.width;
    state.texturesEnabled = row.hatching, state.hatchingSpace = row.space;
    state.creaseEdges = row.model == cup.get() && row.hatching ? &creases : nullptr;
    row.hatching ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
    ArrayDrawer drawer(*renderer, *row.model);
    HatchRenderer::enterRedrawState(state.reversedWinding);
    beginFrame(state.camera);
    drawer.draw(state);
    row.withOutline ? drawer.draw(state) : void(renderer->nextPass = 0);
    const RgbImage everyFace = context.readImage();
    HatchRenderer::enterRedrawState(state.reversedWinding);
    drawer.drawFrame(state, row.withOutline);
    renderer->nextPass = 0;
    EXPECT_EQ(differingPixels(context.readImage(), everyFace, 0), 0) << row.what;
    // From outside, most of a closed mesh lies behind its front.
    if (row.distance >= 1 && (row.model == bumpy.get() || row.model == clockwise.get())) {
      const ArrayDrawer::ShownFaces shown = drawer.shownFaces();
      const auto faces = static_cast<size_t>(row.model->faceCount);
      EXPECT_LT(shown.fill, faces * 3 / 4) << row.what;
      EXPECT_LT(shown.outline, faces / 2) << row.what;
    }
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// An image cut short (its buffer only partly read must not reach GL) leaves only its own texture without an
// image, and the construction goes on.
TEST_F(RendererGl, ABrokenImageLeavesOnlyItsTextureEmpty) {
  const fs::path home = fs::current_path(), folder = tempPath("hatch-images");
  fs::create_directories(folder / "data");
  for (const char* path : kHatchImagePaths) {
    fs::copy_file(home / path, folder / path);
  }
  fs::resize_file(folder / kHatchImagePaths[1], fs::file_size(folder / kHatchImagePaths[1]) / 2);
  fs::current_path(folder);
  captureStdout([&] { renderer = std::make_unique<HatchRenderer>(); });
  fs::current_path(home);
  fs::remove_all(folder);
  for (int i = 0; i < 4; ++i) {
    glBindTexture(GL_TEXTURE_2D, renderer->textures[i]);
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, i == 1 ? 0 : kHatchImageSize) << i;
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Eye-space frames, and surface frames in flat tones, read no image; the first surface-hatched frame reads
// every drawn level and makes textures with the whole chain of levels down to 1 by 1.
TEST_F(RendererGl, MipmappedTexturesAreMadeOnlyWhenASurfaceHatchedFrameNeedsThem) {
  const ModelPtr icosahedron(loadModel(kModelPaths[1]));
  glEnable(GL_TEXTURE_2D);
  const auto printedBy = [&](HatchingSpace space, bool textures) {
    DrawState state = kStartUpState;
    state.texturesEnabled = textures, state.hatchingSpace = space;
    return captureStdout([&] { drawFrame(*renderer, icosahedron.get(), state); });
  };
  EXPECT_EQ(printedBy(HatchingSpace::Eye, true), "");
  EXPECT_EQ(printedBy(HatchingSpace::Object, false), "");
  std::string lines;
  for (int i = 0; i < 4; ++i) {
    for (int level = 0; level < kHatchDrawnLevels; ++level) {
      const std::string path = hatchLevelPath(i, level), side = std::to_string(kHatchImageSize >> level);
      lines += "Width of " + path + ": " + side + "\nHeight of " + path + ": " + side + "\n";
    }
  }
  EXPECT_EQ(printedBy(HatchingSpace::Object, true), lines);
  EXPECT_EQ(printedBy(HatchingSpace::Object, true), "") << "made once";
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

// The square's last face ends on an edge that is not drawn, so its edge flag is left off.
TEST_F(RendererGl, CreaseLinesLeaveTheStateTheOutlinePassWouldWithoutThem) {
  const ModelPtr square(loadModel("tests/models/open-square.poly"));
  CreaseEdges edges;
  ASSERT_TRUE(square && findCreaseEdges(*square, 30.0f, edges));
  const auto stateAfter = [&](const DrawState& state) {
    drawFrame(*renderer, square.get(), state);
    std::vector<GLfloat> values(16);
    const GLenum names[] = {GL_POLYGON_MODE, GL_CULL_FACE_MODE, GL_POLYGON_OFFSET_FACTOR, GL_EDGE_FLAG};
    for (int i = 0; i < 4; ++i) {
      glGetFloatv(names[i], &values[4 * i]);
    }
    return values;
  };
  for (const bool reversed : {false, true}) {
    DrawState state = kStartUpState;
    state.camera.yaw = 20, state.camera.pitch = 15, state.reversedWinding = reversed;
    const auto without = stateAfter(state);
    state.creaseEdges = &edges;
    EXPECT_EQ(stateAfter(state), without) << (reversed ? "reversed" : "");
  }
}

}  // namespace

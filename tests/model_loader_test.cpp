// The model file format: what loads, what is refused, and what the loader writes.
#include <gtest/gtest.h>

#include <cmath>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "temp_path.h"
#include "model.h"

namespace {

const char* const kTriangle =
    "vertices: 3\nfaces: 1\n"
    "v 0 0 0 0 0 1\nv 1 0 0 0 0 1\nv 0 1 0 0 0 1\n"
    "f 1 2 3\n";

struct Parsed {
  Model* model;
  explicit Parsed(std::string_view text) : model(parsePoly(text).model) {}
  ~Parsed() { freeModel(model); }
};

std::string writeTemp(const std::string& name, const std::string& content) {
  const auto path = tempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

std::string loadAndCapture(const char* path, Model** result) {
  testing::internal::CaptureStdout();
  *result = loadModel(path);
  return testing::internal::GetCapturedStdout();
}

TEST(ModelLoader, LoadsMinimalTriangle) {
  Parsed p(kTriangle);
  ASSERT_NE(p.model, nullptr);
  EXPECT_EQ(p.model->vertexCount, 3);
  EXPECT_EQ(p.model->faceCount, 1);
  EXPECT_EQ(p.model->vertices[1].x, 1.0f);
  EXPECT_EQ(p.model->vertices[2].y, 1.0f);
  EXPECT_EQ(p.model->vertices[0].extra[2], 1.0f);
  EXPECT_EQ(p.model->faces[0].vertexIndex[0], 0);
  EXPECT_EQ(p.model->faces[0].vertexIndex[1], 1);
  EXPECT_EQ(p.model->faces[0].vertexIndex[2], 2);
}

TEST(ModelLoader, AcceptsEveryWrittenFormOfAWellFormedFile) {
  const char* const accepted[] = {
      "VERTICES: 3 FACES: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3",
      "Vertices:\t3\r\nFaces:\v1\f v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3\n",
      // Faces may come before the vertices they name; record tokens are judged by their first letter.
      "vertices: 3 faces: 1 face 1 2 3 vertex 0 0 0 0 0 1 vn 1 0 0 0 0 1 v 0 1 0 0 0 1",
      // Numbers end where they cannot go on, with or without whitespace; signs and exponents.
      "vertices: 3 faces: 1 v 0-0+0 0 0 1 v 1.0e0 0. .0 0 0 1 v +0 1E0 -0 0 0 1f 1 2 3",
      "vertices: +3 faces: +1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f +1 2 03",
  };
  for (const char* text : accepted) {
    Parsed p(text);
    ASSERT_NE(p.model, nullptr) << text;
    EXPECT_EQ(p.model->vertices[1].x, 1.0f) << text;
    EXPECT_EQ(p.model->vertices[2].y, 1.0f) << text;
    EXPECT_EQ(p.model->faces[0].vertexIndex[2], 2) << text;
  }
}

TEST(ModelLoader, EmptyModelHasZeroCounts) {
  Parsed p("vertices: 0 faces: 0");
  ASSERT_NE(p.model, nullptr);
  EXPECT_EQ(p.model->vertexCount, 0);
  EXPECT_EQ(p.model->faceCount, 0);
}

TEST(ModelLoader, KeepsTinyValuesAsExtractionDoes) {
  Parsed p("vertices: 1 faces: 0 v 1e-50 -1e-40 1e-45 0 0 0");
  ASSERT_NE(p.model, nullptr);
  EXPECT_EQ(p.model->vertices[0].x, 0.0f);
  EXPECT_EQ(p.model->vertices[0].y, -1e-40f);
  EXPECT_GT(p.model->vertices[0].z, 0.0f);
}

TEST(ModelLoader, RefusesMalformedFiles) {
  const std::string longToken(80, 'v');
  const std::string refused[] = {
      "",
      "   \n\t",
      "vertices 3 faces: 1",
      "vertices:3 faces: 1",
      "vertices: x faces: 0",
      "vertices: 0 faces: x",
      "vertices: 0 faces:",
      "vertices: 0 fces: 0",
      "vertices: -1 faces: 0",
      "vertices: 0 faces: -1",
      "vertices: 2147483648 faces: 0",
      "vertices: 3000000000 faces: 0",
      // More declared than the text could possibly hold: refused before allocating.
      "vertices: 2147483647 faces: 2147483647",
      "vertices: 1000 faces: 0 v 0 0 0 0 0 0",
      // Fewer records than declared.
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 f 1 2 3",
      "vertices: 3 faces: 2 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3",
      // More records than declared.
      "vertices: 2 faces: 0 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1",
      "vertices: 3 faces: 0 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3",
      // Face numbers outside 1..V.
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 0 2 3",
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 4",
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 -2 3",
      // Unknown record tokens, and a seventh or fourth number.
      "vertices: 1 faces: 0 V 0 0 0 0 0 1",
      "vertices: 1 faces: 0 # 0 0 0 0 0 1",
      "vertices: 1 faces: 0 v 0 0 0 0 0 1 7",
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3 4",
      // Numbers that fail to convert, anywhere.
      "vertices: 1 faces: 0 v 0 0 0 0 0 x",
      "vertices: 1 faces: 0 v 0 0 0 0 0 1e",
      "vertices: 1 faces: 0 v 0 0 0 0 0 .",
      "vertices: 1 faces: 0 v 0 0 0 0 0 inf",
      "vertices: 1 faces: 0 v 0 0 0 0 0 nan",
      "vertices: 1 faces: 0 v 0 0 0 0 0 0x1p3",
      "vertices: 1 faces: 0 v 0 0 0 0 0 1e39",
      "vertices: 1 faces: 0 v 0 0 0 0 0 -4e38",
      "vertices: 1 faces: 0 v 0 0 0 0 0 +-1",
      "vertices: 1 faces: 0 v 0 0 0 0 0",
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 99999999999",
      "vertices: 3 faces: 1 v 0 0 0 0 0 1 v 1 0 0 0 0 1 v 0 1 0 0 0 1 f 1 2 3.5",
      // A token that would not fit the 80-character token buffer.
      "vertices: 1 faces: 0 " + longToken + " 0 0 0 0 0 1",
      std::string("vertices: 1 faces: 0 \0 0 0 0 0 0 1", 35),
  };
  for (const std::string& text : refused) {
    const PolyParse result = parsePoly(text);
    EXPECT_EQ(result.model, nullptr) << '"' << text << '"';
    EXPECT_EQ(result.status, PolyStatus::NotExpectedFormat) << '"' << text << '"';
  }
}

TEST(ModelLoader, AcceptsTokensUpTo79Characters) {
  const std::string token = "v" + std::string(78, 'x');
  Parsed p("vertices: 1 faces: 0 " + token + " 0 0 0 0 0 1");
  EXPECT_NE(p.model, nullptr);
}

TEST(ModelLoader, MissingFileWritesCouldNotLoadLine) {
  Model* model = nullptr;
  const std::string out = loadAndCapture("no/such/dir/model.poly", &model);
  EXPECT_EQ(model, nullptr);
  EXPECT_EQ(out, "Error: Could not load model \"no/such/dir/model.poly\"\n");
}

TEST(ModelLoader, MalformedFileWritesNotOfExpectedFormatLine) {
  for (const char* content : {"", "vertices: 1 faces: 0 V 0 0 0 0 0 1", "vertices: -5 faces: 0"}) {
    const std::string path = writeTemp("malformed.poly", content);
    Model* model = nullptr;
    const std::string out = loadAndCapture(path.c_str(), &model);
    EXPECT_EQ(model, nullptr);
    EXPECT_EQ(out, "Error: Model \"" + path + "\" not of expected format.\n");
    std::filesystem::remove(path);
  }
}

TEST(ModelLoader, DirectoryIsNotOfExpectedFormat) {
  const std::string dir = std::filesystem::temp_directory_path().string();
  Model* model = nullptr;
  const std::string out = loadAndCapture(dir.c_str(), &model);
  EXPECT_EQ(model, nullptr);
  EXPECT_EQ(out, "Error: Model \"" + dir + "\" not of expected format.\n");
}

TEST(ModelLoader, LoadsFileWithoutFinalNewlineAndWritesNothing) {
  std::string text = kTriangle;
  text.pop_back();
  const std::string path = writeTemp("triangle.poly", text);
  Model* model = nullptr;
  const std::string out = loadAndCapture(path.c_str(), &model);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(out, "");
  EXPECT_EQ(model->faces[0].vertexIndex[2], 2);
  freeModel(model);
  std::filesystem::remove(path);
}

TEST(ModelLoader, SameFileLoadsAsIndependentModels) {
  const std::string path = writeTemp("twice.poly", kTriangle);
  Model* a = nullptr;
  Model* b = nullptr;
  loadAndCapture(path.c_str(), &a);
  loadAndCapture(path.c_str(), &b);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->vertices, b->vertices);
  a->vertices[0].x = 5.0f;
  EXPECT_EQ(b->vertices[0].x, 0.0f);
  freeModel(a);
  freeModel(b);
  freeModel(nullptr);
  std::filesystem::remove(path);
}

TEST(ModelLoader, ShippedSphereIsARoundClosedMesh) {
  Model* sphere = loadModel("data/sphere-unit.poly");
  ASSERT_NE(sphere, nullptr);
  EXPECT_GT(sphere->faceCount, 2000);
  for (int i = 0; i < sphere->vertexCount; ++i) {
    const ModelVertex& v = sphere->vertices[i];
    EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 0.5f, 1e-5f);
  }
  // Counter-clockwise seen from outside: the signed volume is positive, 4/3 pi r^3 or a little less.
  double volume = 0;
  for (int i = 0; i < sphere->faceCount; ++i) {
    const int* f = sphere->faces[i].vertexIndex;
    const ModelVertex &a = sphere->vertices[f[0]], &b = sphere->vertices[f[1]], &c = sphere->vertices[f[2]];
    volume += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) / 6.0;
  }
  EXPECT_NEAR(volume, 4.0 / 3.0 * 3.14159265 * 0.125, 0.01);
  freeModel(sphere);
}

}  // namespace

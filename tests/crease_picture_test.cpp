// Pictures with crease and border lines, drawn with nprsnap's code, against baseline pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

#include "picture.h"
#include "snapshot.h"

namespace {

struct CreasePicture {
  const char* name;  // of the baseline
  const char* model;
  float degrees;
  bool hatching;
  float yaw, pitch, distance;
};

void PrintTo(const CreasePicture& c, std::ostream* out) {
  *out << c.name;
}

// Each model once, in tones or hatching, wound either way, from the start-up view or from the side.
constexpr CreasePicture kPictures[] = {
    {"icos-creases30-tones-front", "data/icos-unit.poly", 30, false, 0, 0, 1},
    {"cube-creases30-hatching-side", "tests/models/cube.poly", 30, true, 30, 25, 1},
    {"open-square-creases30-tones-side", "tests/models/open-square.poly", 30, false, 20, 15, 1},
    {"penny3-creases30-tones-side", "data/penny3-unit.poly", 30, false, 30, 20, 1},
    {"bunny-creases45-hatching-front", "data/bunny-unit.poly", 45, true, 0, 0, 1},
    {"tpot-creases30-tones-side", "data/tpot-unit.poly", 30, false, 30, 20, 0.8f},
    // No two faces of the sphere differ by 30 degrees: the same picture as without.
    {"sphere-tones-front-start", "data/sphere-unit.poly", 30, false, 0, 0, 1},
};

struct ModelDeleter {
  void operator()(Model* model) const { freeModel(model); }
};

class CreasePictures : public testing::TestWithParam<CreasePicture> {};

TEST_P(CreasePictures, MatchBaseline) {
  const CreasePicture& c = GetParam();
  const std::unique_ptr<Model, ModelDeleter> model(loadModel(c.model));
  ASSERT_TRUE(model);
  SnapOptions options;
  options.modelPath = c.model;
  options.width = options.height = 256;
  options.creaseDegrees = c.degrees;
  options.hatching = c.hatching;
  options.cameraYaw = c.yaw;
  options.cameraPitch = c.pitch;
  options.cameraDistance = c.distance;
  RgbImage picture;
  std::string error;
  ASSERT_TRUE(renderSnapshot(options, *model, picture, error)) << error;
  EXPECT_TRUE(matchesBaseline(picture, c.name));
}

INSTANTIATE_TEST_SUITE_P(WithCreases, CreasePictures, testing::ValuesIn(kPictures),
                         [](const testing::TestParamInfo<CreasePicture>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace

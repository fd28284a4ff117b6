// Every model in tones and in hatching, from two views and under two lights, against baseline pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "model_catalogue.h"
#include "picture.h"
#include "snapshot.h"

namespace {

constexpr int kSize = 256;

struct View {
  const char* name;
  float yaw, pitch, distance;
};
struct Light {
  const char* name;
  float yawOffset, pitchOffset;
};

// The start-up view and light, a view from above and behind, and a light low on the other side.
constexpr View kFront{"front", kStartUpState.camera.yaw, kStartUpState.camera.pitch,
                      kStartUpState.camera.distance};
constexpr View kAbove{"above", 140.0f, 35.0f, 1.2f};
constexpr Light kStartLight{"start", kStartUpState.lightYawOffset, kStartUpState.lightPitchOffset};
constexpr Light kLowLight{"low", -60.0f, -10.0f};

struct PictureCase {
  std::string name;
  std::string model;
  bool hatching;
  View view;
  Light light;
};

std::vector<PictureCase> pictureCases() {
  std::vector<PictureCase> cases;
  for (const char* path : kModelPaths) {
    // "data/sphere-unit.poly" is "sphere" in the pictures' names.
    const std::string file = std::filesystem::path(path).stem().string();
    const std::string model = file.substr(0, file.find('-'));
    for (bool hatching : {false, true}) {
      // Each view under the start-up light, and the front view under the other light too.
      for (auto [view, light] :
           {std::pair{kFront, kStartLight}, {kFront, kLowLight}, {kAbove, kStartLight}}) {
        cases.push_back({model + "-" + (hatching ? "hatching" : "tones") + "-" + view.name + "-" + light.name,
                         path, hatching, view, light});
      }
    }
  }
  return cases;
}

void PrintTo(const PictureCase& c, std::ostream* out) {
  *out << c.name;
}

struct ModelDeleter {
  void operator()(Model* model) const { freeModel(model); }
};

class Pictures : public testing::TestWithParam<PictureCase> {};

TEST_P(Pictures, MatchBaseline) {
  const PictureCase& c = GetParam();
  const std::unique_ptr<Model, ModelDeleter> model(loadModel(c.model.c_str()));
  ASSERT_TRUE(model);
  SnapOptions options;
  options.modelPath = c.model;
  options.width = kSize;
  options.height = kSize;
  options.hatching = c.hatching;
  options.cameraYaw = c.view.yaw;
  options.cameraPitch = c.view.pitch;
  options.cameraDistance = c.view.distance;
  options.lightYawOffset = c.light.yawOffset;
  options.lightPitchOffset = c.light.pitchOffset;
  RgbImage picture;
  std::string error;
  ASSERT_TRUE(renderSnapshot(options, *model, picture, error)) << error;
  EXPECT_TRUE(matchesBaseline(picture, c.name));
}

INSTANTIATE_TEST_SUITE_P(AllModels, Pictures, testing::ValuesIn(pictureCases()),
                         [](const testing::TestParamInfo<PictureCase>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace

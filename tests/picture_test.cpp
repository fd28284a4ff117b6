// Every model in tones and in hatching, from two views and under two lights, drawn with nprsnap's code and
// compared with its baseline picture (the tolerance is matchesBaseline's).
#include <gtest/gtest.h>

#include <filesystem>

#include "model_catalogue.h"
#include "snapshot.h"
#include "support.h"

namespace {

struct PictureCase {
  std::string name;
  SnapOptions options;
};

void PrintTo(const PictureCase& c, std::ostream* out) {
  *out << c.name;
}

std::vector<PictureCase> pictureCases() {
  // The start-up view and light, a view from above and behind, and a light low on the other side.
  struct View {
    const char* name;
    float yaw, pitch, distance, lightYaw, lightPitch;
  };
  const View views[] = {{"front-start", 0, 0, 1, 90, 45},
                        {"front-low", 0, 0, 1, -60, -10},
                        {"above-start", 140, 35, 1.2f, 90, 45}};
  std::vector<PictureCase> cases;
  for (const char* path : kModelPaths) {
    const std::string model = std::filesystem::path(path).stem().string();
    for (bool hatching : {false, true}) {
      for (const View& v : views) {
        SnapOptions o;
        o.modelPath = path;
        o.width = o.height = 256;
        o.hatching = hatching;
        o.cameraYaw = v.yaw, o.cameraPitch = v.pitch, o.cameraDistance = v.distance;
        o.lightYawOffset = v.lightYaw, o.lightPitchOffset = v.lightPitch;
        cases.push_back(
            {model.substr(0, model.find("-unit")) + (hatching ? "-hatching-" : "-tones-") + v.name, o});
      }
    }
  }
  return cases;
}

class Pictures : public testing::TestWithParam<PictureCase> {};

TEST_P(Pictures, MatchBaseline) {
  const PictureCase& c = GetParam();
  const ModelPtr model(loadModel(c.options.modelPath.c_str()));
  ASSERT_TRUE(model);
  RgbImage picture;
  std::string error;
  captureStdout([&] { ASSERT_TRUE(renderSnapshot(c.options, *model, picture, error)) << error; });
  EXPECT_TRUE(matchesBaseline(picture, c.name));
}

INSTANTIATE_TEST_SUITE_P(AllModels, Pictures, testing::ValuesIn(pictureCases()), [](const auto& info) {
  std::string name = info.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace

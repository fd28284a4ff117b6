// Hatching fixed to the model's surface: pictures against baselines, and strokes that turn with the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "picture.h"
#include "snapshot.h"

namespace {

constexpr int kSize = 256;

struct ModelDeleter {
  void operator()(Model* model) const { freeModel(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

RgbImage snapshot(const Model& model, SnapOptions options) {
  options.width = kSize;
  options.height = kSize;
  options.hatching = true;
  RgbImage picture;
  std::string error;
  EXPECT_TRUE(renderSnapshot(options, model, picture, error)) << error;
  return picture;
}

// Every model hatched on its surface from the start-up view and from above and behind (as the tones and
// eye-space hatching are), and one model near and far, where the strokes must keep their pixel width.
struct SurfaceCase {
  const char* name;
  const char* model;
  float yaw, pitch, distance;
};
const SurfaceCase kSurfaceCases[] = {
    {"sphere-surface-front", "sphere", 0.0f, 0.0f, 1.0f},   {"icos-surface-front", "icos", 0.0f, 0.0f, 1.0f},
    {"tpot-surface-front", "tpot", 0.0f, 0.0f, 1.0f},       {"penny3-surface-front", "penny3", 0.0f, 0.0f, 1.0f},
    {"bunny-surface-front", "bunny", 0.0f, 0.0f, 1.0f},     {"tpot-surface-above", "tpot", 140.0f, 35.0f, 1.2f},
    {"tpot-surface-near", "tpot", 30.0f, 20.0f, 0.6f},      {"tpot-surface-far", "tpot", 30.0f, 20.0f, 3.0f},
};

TEST(SurfaceHatching, PicturesMatchBaselines) {
  for (const SurfaceCase& c : kSurfaceCases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string("data/") + c.model + "-unit.poly";
    const ModelPtr model(loadModel(path.c_str()));
    ASSERT_TRUE(model);
    SnapOptions options;
    options.modelPath = path;
    options.hatchingSpace = HatchingSpace::Object;
    options.cameraYaw = c.yaw;
    options.cameraPitch = c.pitch;
    options.cameraDistance = c.distance;
    EXPECT_TRUE(matchesBaseline(snapshot(*model, options), c.name));
  }
}

// The light rides with the camera, so as the camera orbits the sphere its tones stay where they are on
// screen: hatching fixed to the view then hardly changes, while hatching on the surface turns with it.
TEST(SurfaceHatching, StrokesTurnWithTheSphereOnlyOnTheSurface) {
  const ModelPtr sphere(loadModel("data/sphere-unit.poly"));
  ASSERT_TRUE(sphere);
  for (const HatchingSpace space : {HatchingSpace::Eye, HatchingSpace::Object}) {
    SnapOptions options;
    options.modelPath = "data/sphere-unit.poly";
    options.hatchingSpace = space;
    const RgbImage yaw0 = snapshot(*sphere, options);
    options.cameraYaw = 25.0f;
    const RgbImage yaw25 = snapshot(*sphere, options);
    const double share =
        static_cast<double>(comparePictures(yaw25, yaw0, 8).differing) / static_cast<double>(kSize * kSize);
    if (space == HatchingSpace::Eye) {
      EXPECT_LT(share, 0.05) << "eye space";
    } else {
      EXPECT_GT(share, 0.15) << "object space";
    }
  }
}

}  // namespace

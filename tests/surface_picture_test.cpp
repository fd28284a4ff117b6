// Hatching fixed to the model's surface, drawn by nprsnap's code: pictures against baselines, and strokes
// that turn with the model.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "snapshot.h"
#include "support.h"

namespace {

RgbImage hatched(const std::string& model, HatchingSpace space, float yaw = 0, float pitch = 0,
                 float distance = 1) {
  const std::string path = "data/" + model + "-unit.poly";
  const ModelPtr loaded(loadModel(path.c_str()));
  SnapOptions options;
  options.modelPath = path;
  options.width = options.height = 256;
  options.hatching = true;
  options.hatchingSpace = space;
  options.cameraYaw = yaw;
  options.cameraPitch = pitch;
  options.cameraDistance = distance;
  RgbImage picture;
  std::string error;
  EXPECT_TRUE(loaded && renderSnapshot(options, *loaded, picture, error)) << path << " " << error;
  return picture;
}

// Every model from the start-up view, and the teapot from above and behind, near and far (where the
// mipmaps must keep the strokes' width in pixels).
TEST(SurfaceHatching, PicturesMatchBaselines) {
  for (const char* model : {"sphere", "icos", "tpot", "penny3", "bunny"}) {
    EXPECT_TRUE(
        matchesBaseline(hatched(model, HatchingSpace::Object), model + std::string("-surface-front")));
  }
  EXPECT_TRUE(matchesBaseline(hatched("tpot", HatchingSpace::Object, 140, 35, 1.2f), "tpot-surface-above"));
  EXPECT_TRUE(matchesBaseline(hatched("tpot", HatchingSpace::Object, 30, 20, 0.6f), "tpot-surface-near"));
  EXPECT_TRUE(matchesBaseline(hatched("tpot", HatchingSpace::Object, 30, 20, 3), "tpot-surface-far"));
}

// The light rides with the camera, so as the camera orbits the sphere its tones stay where they are on
// screen: hatching fixed to the view then hardly changes (0.9% of the pixels), while hatching on the
// surface turns with the sphere (22%, most of the sphere).
TEST(SurfaceHatching, StrokesTurnWithTheSphereOnlyOnTheSurface) {
  for (const HatchingSpace space : {HatchingSpace::Eye, HatchingSpace::Object}) {
    const int64_t differing = differingPixels(hatched("sphere", space, 25), hatched("sphere", space), 8);
    EXPECT_TRUE(space == HatchingSpace::Eye ? differing < 256 * 256 / 20 : differing > 256 * 256 * 15 / 100)
        << (space == HatchingSpace::Eye ? "eye" : "object") << " space: " << differing << " pixels differ";
  }
}

}  // namespace

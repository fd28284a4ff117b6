// Every model in tones, in hatching fixed to the view and on its surface, and with crease lines, from several
// views and under two lights, drawn with nprsnap's code and compared with its baseline picture (the tolerance
// is matchesBaseline's).
#include <gtest/gtest.h>

#include <filesystem>

#include "model_catalogue.h"
#include "support.h"

namespace {

struct PictureCase {
  std::string name;  // the baseline's
  SnapOptions options;
};

std::vector<PictureCase> pictureCases() {
  std::vector<PictureCase> cases;
  // The row's options, for the caller to add to; valid until the next row.
  const auto add = [&cases](const std::string& name, const std::string& model, bool hatching, float yaw,
                            float pitch, float distance, float lightYaw = 90, float lightPitch = 45) {
    SnapOptions& o = cases.emplace_back(PictureCase{name, {}}).options;
    o.modelPath = model;
    o.width = o.height = 256;
    o.hatching = hatching;
    o.cameraYaw = yaw, o.cameraPitch = pitch, o.cameraDistance = distance;
    o.lightYawOffset = lightYaw, o.lightPitchOffset = lightPitch;
    return &o;
  };
  constexpr HatchingSpace kSurface = HatchingSpace::Object;
  for (const char* path : kModelPaths) {
    const std::string stem = std::filesystem::path(path).stem().string();
    const std::string model = stem.substr(0, stem.find("-unit"));
    // The start-up view and light, a light low on the other side, and a view from above and behind.
    for (const char* mode : {"-tones-", "-hatching-"}) {
      const bool hatching = mode[1] == 'h';
      add(model + mode + "front-start", path, hatching, 0, 0, 1);
      add(model + mode + "front-low", path, hatching, 0, 0, 1, -60, -10);
      add(model + mode + "above-start", path, hatching, 140, 35, 1.2f);
    }
    add(model + "-surface-front", path, true, 0, 0, 1)->hatchingSpace = kSurface;
  }
  // Near and far, the mipmaps must keep the strokes' width in pixels.
  add("tpot-surface-above", kModelPaths[2], true, 140, 35, 1.2f)->hatchingSpace = kSurface;
  add("tpot-surface-near", kModelPaths[2], true, 30, 20, 0.6f)->hatchingSpace = kSurface;
  add("tpot-surface-far", kModelPaths[2], true, 30, 20, 3)->hatchingSpace = kSurface;
  add("icos-creases30-tones-front", kModelPaths[1], false, 0, 0, 1)->creaseDegrees = 30;
  // The cube's twelve edges, not its diagonals.
  add("cube-creases30-hatching-side", "tests/models/cube.poly", true, 30, 25, 1)->creaseDegrees = 30;
  add("open-square-creases30-tones-side", "tests/models/open-square.poly", false, 20, 15, 1)->creaseDegrees =
      30;
  // The square hides part of the cube's edges; nothing of the coin's far side shows through it.
  add("square-before-cube-creases30-tones-side", "tests/models/square-before-cube.poly", false, 20, 15, 1)
      ->creaseDegrees = 30;
  add("penny3-creases30-tones-side", kModelPaths[3], false, 30, 20, 1)->creaseDegrees = 30;
  add("bunny-creases45-hatching-front", kModelPaths[4], true, 0, 0, 1)->creaseDegrees = 45;
  add("tpot-creases30-tones-side", kModelPaths[2], false, 30, 20, 0.8f)->creaseDegrees = 30;
  return cases;
}

// All in one process: one each would spend most of its time starting.
TEST(Pictures, MatchTheirBaselines) {
  for (const PictureCase& c : pictureCases()) {
    EXPECT_TRUE(matchesBaseline(snapshotOf(c.options), c.name));
  }
}

// The light rides with the camera, so as the camera orbits the sphere its tones stay where they are on
// screen: hatching fixed to the view then hardly changes (0.9% of the pixels), while hatching on the
// surface turns with the sphere (22%, most of the sphere).
TEST(SurfaceHatching, StrokesTurnWithTheSphereOnlyOnTheSurface) {
  for (const HatchingSpace space : {HatchingSpace::Eye, HatchingSpace::Object}) {
    SnapOptions options;
    options.modelPath = kModelPaths[0];
    options.width = options.height = 256;
    options.hatching = true;
    options.hatchingSpace = space;
    const RgbImage front = snapshotOf(options);
    options.cameraYaw = 25;
    const int64_t differing = differingPixels(snapshotOf(options), front, 8);
    EXPECT_TRUE(space == HatchingSpace::Eye ? differing < 256 * 256 / 20 : differing > 256 * 256 * 15 / 100)
        << (space == HatchingSpace::Eye ? "eye" : "object") << " space: " << differing << " pixels differ";
  }
}

}  // namespace

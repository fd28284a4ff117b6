// Pictures with crease and border lines, drawn with nprsnap's code, against baseline pictures.
#include <gtest/gtest.h>

#include <string>

#include "support.h"
#include "snapshot.h"

namespace {

TEST(CreasePictures, MatchBaselines) {
  struct Case {
    const char* baseline;
    const char* model;
    float degrees;
    bool hatching;
    float yaw, pitch, distance;
  };
  const Case cases[] = {
      {"icos-creases30-tones-front", "data/icos-unit.poly", 30, false, 0, 0, 1},
      {"cube-creases30-hatching-side", "tests/models/cube.poly", 30, true, 30, 25, 1},  // not its diagonals
      {"open-square-creases30-tones-side", "tests/models/open-square.poly", 30, false, 20, 15, 1},
      // The square hides part of the cube's edges; nothing of the coin's far side shows through it.
      {"square-before-cube-creases30-tones-side", "tests/models/square-before-cube.poly", 30, false, 20, 15,
       1},
      {"penny3-creases30-tones-side", "data/penny3-unit.poly", 30, false, 30, 20, 1},
      {"bunny-creases45-hatching-front", "data/bunny-unit.poly", 45, true, 0, 0, 1},
      {"tpot-creases30-tones-side", "data/tpot-unit.poly", 30, false, 30, 20, 0.8f},
      // No two faces of the sphere differ by 30 degrees: the picture without lines.
      {"sphere-tones-front-start", "data/sphere-unit.poly", 30, false, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baseline);
    Model* model = loadModel(c.model);
    ASSERT_TRUE(model);
    SnapOptions options;
    options.modelPath = c.model;
    options.width = options.height = 256;
    options.creaseDegrees = c.degrees, options.hatching = c.hatching;
    options.cameraYaw = c.yaw, options.cameraPitch = c.pitch, options.cameraDistance = c.distance;
    RgbImage picture;
    std::string error;
    EXPECT_TRUE(renderSnapshot(options, *model, picture, error)) << error;
    EXPECT_TRUE(matchesBaseline(picture, c.baseline));
    freeModel(model);
  }
}

}  // namespace

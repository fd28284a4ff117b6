// Picture tests: an image compared with its baseline PNG under tests/baselines/ within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "rgb_image.h"

// Mesa's software rasteriser is deterministic, so the slack only has to absorb rounding and edge pixels
// that another Mesa build may place differently. A tone differs from its neighbours by 40 or more per
// channel and hatching by whole strokes, and a missing outline, a changed band or a wrong texture
// touches well over 1% of a 256x256 picture's pixels.
struct PictureTolerance {
  int channelSlack = 8;           // a pixel differs when any channel is further than this from the baseline
  double differingShare = 0.002;  // the share of differing pixels allowed (0.2%: 131 of 256x256)
};

struct PictureDifference {
  bool sameSize = false;
  int64_t differing = 0;  // pixels with a channel beyond the slack
  int largest = 0;        // the largest channel difference seen
};

PictureDifference comparePictures(const RgbImage& actual, const RgbImage& expected, int channelSlack);

// The baseline dimmed to grey, with every differing pixel in red: where to look.
RgbImage differencePicture(const RgbImage& actual, const RgbImage& expected, int channelSlack);

// Compares actual with tests/baselines/NAME.png. On failure writes NAME-actual.png and NAME-diff.png to
// the test output folder (build/test-output) and says so. With NPRVIEW_UPDATE_BASELINES=1 in the
// environment it writes the baseline instead and passes: scripts/update-baselines.sh does that.
testing::AssertionResult matchesBaseline(const RgbImage& actual, const std::string& name,
                                         const PictureTolerance& tolerance = {});

// Where tests leave pictures for people to look at; created on demand.
std::string testOutputPath(const std::string& fileName);

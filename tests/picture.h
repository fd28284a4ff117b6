// Picture tests: an image compared with its baseline PNG under tests/baselines/ within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "rgb_image.h"

// Mesa's software rasteriser draws the same pixels run after run, so the slack only has to absorb rounding
// and the odd edge pixel that another Mesa build may place differently; the tones differ from each other
// by 40 or more in some channel. Measured on the 30 baselines (65 differing pixels allowed in each): the
// middle tone starting one band later fails 24 of them (72 pixels and up), a missing outline all 30 (588
// and up), the dark and middle hatching textures swapped all 15 hatching pictures (1305 and up).
struct PictureTolerance {
  int channelSlack = 8;           // a pixel differs when any channel is further than this from the baseline
  double differingShare = 0.001;  // the share of differing pixels allowed (0.1%: 65 of 256x256)
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

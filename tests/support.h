// What the tests share: the one owner of a loaded Model, scratch paths, captured output, commands, and
// pictures (RgbImage) compared with baselines or with each other.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "model.h"
#include "rgb_image.h"
#include "snapshot.h"

struct ModelDeleter {
  void operator()(Model* model) const { freeModel(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

// Scratch paths; ctest runs tests in parallel processes, so names carry the pid.
std::filesystem::path tempPath(const std::string& name);
std::string readFile(const std::filesystem::path& path);

// What fn writes to standard output, the C library's printf included.
std::string captureStdout(const std::function<void()>& fn);

// Runs a shell command and returns its standard output; the exit status goes to status when given.
std::string runCommand(const std::string& command, int* status = nullptr);

// The picture nprsnap's code draws with these options, the loaders' lines kept off the test's output; a
// model that does not load or a picture that cannot be drawn fails the test and gives an empty picture.
RgbImage snapshotOf(const SnapOptions& options);

// Pixels with a channel further than slack from the other picture's; -1 when the sizes differ.
int64_t differingPixels(const RgbImage& actual, const RgbImage& expected, int slack);

// Writes actual (and expected, with a picture of where they differ) to build/test-output/ as NAME-actual.png,
// NAME-expected.png and NAME-diff.png; returns a sentence saying where.
std::string savePictures(const std::string& name, const RgbImage& actual, const RgbImage* expected);

// Compares actual with tests/baselines/NAME.png. A pixel differs when a channel is more than 8 away; more
// than 0.1% differing pixels fail. Mesa's software rasteriser repeats its pixels run after run, so the slack
// only absorbs rounding and the odd edge pixel another Mesa build places differently, while the tones differ
// by 40 or more. With NPRVIEW_UPDATE_BASELINES=1 it writes the baseline instead
// (scripts/update-baselines.sh).
testing::AssertionResult matchesBaseline(const RgbImage& actual, const std::string& name);

// The bitmap loader's size lines for the four hatching images, as the renderer's construction writes them.
std::string hatchImageLines();

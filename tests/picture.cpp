// Baseline comparison with a per-channel slack and a share of pixels allowed to differ.
#include "picture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "png_file.h"

namespace {

int channelDistance(const uint8_t* a, const uint8_t* b) {
  int largest = 0;
  for (int c = 0; c < 3; ++c) {
    largest = std::max(largest, std::abs(int(a[c]) - int(b[c])));
  }
  return largest;
}

bool updating() {
  const char* value = std::getenv("NPRVIEW_UPDATE_BASELINES");
  return value && std::string(value) == "1";
}

std::string baselinePath(const std::string& name) {
  return std::string(NPRVIEW_SOURCE_DIR) + "/tests/baselines/" + name + ".png";
}

}  // namespace

PictureDifference comparePictures(const RgbImage& actual, const RgbImage& expected, int channelSlack) {
  PictureDifference difference;
  difference.sameSize = actual.width == expected.width && actual.height == expected.height &&
                        actual.rgb.size() == expected.rgb.size();
  if (!difference.sameSize) {
    return difference;
  }
  for (size_t i = 0; i < actual.rgb.size(); i += 3) {
    const int distance = channelDistance(&actual.rgb[i], &expected.rgb[i]);
    difference.largest = std::max(difference.largest, distance);
    difference.differing += distance > channelSlack;
  }
  return difference;
}

RgbImage differencePicture(const RgbImage& actual, const RgbImage& expected, int channelSlack) {
  RgbImage picture = expected;
  if (actual.rgb.size() != expected.rgb.size()) {
    return picture;
  }
  for (size_t i = 0; i < picture.rgb.size(); i += 3) {
    if (channelDistance(&actual.rgb[i], &expected.rgb[i]) > channelSlack) {
      picture.rgb[i] = 255;
      picture.rgb[i + 1] = 0;
      picture.rgb[i + 2] = 0;
    } else {
      const int grey = (expected.rgb[i] + expected.rgb[i + 1] + expected.rgb[i + 2]) / 3;
      std::fill_n(&picture.rgb[i], 3, static_cast<uint8_t>(128 + grey / 4));
    }
  }
  return picture;
}

std::string testOutputPath(const std::string& fileName) {
  std::filesystem::create_directories(NPRVIEW_TEST_OUTPUT_DIR);
  return std::string(NPRVIEW_TEST_OUTPUT_DIR) + "/" + fileName;
}

testing::AssertionResult matchesBaseline(const RgbImage& actual, const std::string& name,
                                         const PictureTolerance& tolerance) {
  std::string error;
  const std::string baseline = baselinePath(name);
  if (updating()) {
    std::filesystem::create_directories(std::filesystem::path(baseline).parent_path());
    if (!writePng(baseline, actual, error)) {
      return testing::AssertionFailure() << "cannot write " << baseline << ": " << error;
    }
    return testing::AssertionSuccess() << "wrote " << baseline;
  }

  RgbImage expected;
  const bool haveBaseline = readPng(baseline, expected, error);
  const PictureDifference difference = comparePictures(actual, expected, tolerance.channelSlack);
  const double allowed = tolerance.differingShare * double(actual.width) * double(actual.height);
  if (haveBaseline && difference.sameSize && double(difference.differing) <= allowed) {
    return testing::AssertionSuccess();
  }

  const std::string actualPath = testOutputPath(name + "-actual.png");
  writePng(actualPath, actual, error);
  testing::AssertionResult failure = testing::AssertionFailure();
  failure << name << ": ";
  if (!haveBaseline) {
    failure << "no baseline " << baseline << " (" << error << ")";
  } else if (!difference.sameSize) {
    failure << "size " << actual.width << "x" << actual.height << " differs from the baseline's "
            << expected.width << "x" << expected.height;
  } else {
    const std::string diffPath = testOutputPath(name + "-diff.png");
    writePng(diffPath, differencePicture(actual, expected, tolerance.channelSlack), error);
    failure << difference.differing << " pixels differ by more than " << tolerance.channelSlack
            << " (largest " << difference.largest << "), " << int64_t(allowed) << " allowed; difference in "
            << diffPath;
  }
  return failure << "; actual picture in " << actualPath
                 << " (scripts/update-baselines.sh accepts it after an intended change)";
}

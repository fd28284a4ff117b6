// The tests' shared helpers.
#include "support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "hatch_textures.h"
#include "png_file.h"

namespace {

int channelDistance(const uint8_t* a, const uint8_t* b) {
  return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// The expected picture dimmed to grey, every differing pixel red.
RgbImage differencePicture(const RgbImage& actual, const RgbImage& expected) {
  RgbImage picture = expected;
  for (size_t i = 0; i < picture.rgb.size() && actual.rgb.size() == expected.rgb.size(); i += 3) {
    const bool differs = channelDistance(&actual.rgb[i], &expected.rgb[i]) > 0;
    const int grey = 128 + (expected.rgb[i] + expected.rgb[i + 1] + expected.rgb[i + 2]) / 12;
    picture.rgb[i] = static_cast<uint8_t>(differs ? 255 : grey);
    picture.rgb[i + 1] = picture.rgb[i + 2] = static_cast<uint8_t>(differs ? 0 : grey);
  }
  return picture;
}

// Where tests leave pictures for people to look at; created on demand.
std::string testOutputPath(const std::string& fileName) {
  std::filesystem::create_directories(NPRVIEW_TEST_OUTPUT_DIR);
  return std::string(NPRVIEW_TEST_OUTPUT_DIR) + "/" + fileName;
}

}  // namespace

std::filesystem::path tempPath(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("nprview-" + std::to_string(getpid()) + "-" + name);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string captureStdout(const std::function<void()>& fn) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  fn();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

std::string runCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  for (size_t n = 0; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    output.append(buffer, n);
  }
  const int result = pipe ? pclose(pipe) : -1;
  if (status) {
    *status = result != -1 && WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  }
  return output;
}

RgbImage snapshotOf(const SnapOptions& options) {
  RgbImage picture;
  captureStdout([&] {
    const ModelPtr model(loadModel(options.modelPath.c_str()));
    std::string error;
    if (!model || !renderSnapshot(options, *model, picture, error)) {
      ADD_FAILURE() << "no picture of " << options.modelPath << ": " << error;
      picture = {};
    }
  });
  return picture;
}

int64_t differingPixels(const RgbImage& actual, const RgbImage& expected, int slack) {
  if (actual.width != expected.width || actual.height != expected.height ||
      actual.rgb.size() != expected.rgb.size()) {
    return -1;
  }
  int64_t differing = 0;
  for (size_t i = 0; i < actual.rgb.size(); i += 3) {
    differing += channelDistance(&actual.rgb[i], &expected.rgb[i]) > slack;
  }
  return differing;
}

std::string savePictures(const std::string& name, const RgbImage& actual, const RgbImage* expected) {
  std::string ignored;
  writePng(testOutputPath(name + "-actual.png"), actual, ignored);
  if (expected) {
    writePng(testOutputPath(name + "-expected.png"), *expected, ignored);
    writePng(testOutputPath(name + "-diff.png"), differencePicture(actual, *expected), ignored);
  }
  return "pictures in " + testOutputPath(name + "-*.png");
}

testing::AssertionResult matchesBaseline(const RgbImage& actual, const std::string& name) {
  const std::string baseline = std::string(NPRVIEW_SOURCE_DIR) + "/tests/baselines/" + name + ".png";
  std::string error;
  const char* update = std::getenv("NPRVIEW_UPDATE_BASELINES");
  if (update && std::string(update) == "1") {
    return writePng(baseline, actual, error) ? testing::AssertionSuccess()
                                             : testing::AssertionFailure() << baseline << ": " << error;
  }
  RgbImage expected;
  if (!readPng(baseline, expected, error)) {
    return testing::AssertionFailure() << "no baseline " << baseline << ": " << error;
  }
  const int64_t differing = differingPixels(actual, expected, 8);
  const int64_t allowed = int64_t{actual.width} * actual.height / 1000;
  if (differing >= 0 && differing <= allowed) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << name << ": " << differing << " pixels differ (-1: another size), "
                                     << allowed << " allowed; " << savePictures(name, actual, &expected)
                                     << " (scripts/update-baselines.sh accepts an intended change)";
}

std::string hatchImageLines() {
  std::string lines;
  for (const char* path : kHatchImagePaths) {
    const std::string side = std::to_string(kHatchImageSize);
    lines += std::string("Width of ") + path + ": " + side + "\nHeight of " + path + ": " + side + "\n";
  }
  return lines;
}

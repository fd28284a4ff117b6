// nprsnap against the real viewer under X: the same state gives the same picture as the window.
#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "picture.h"
#include "png_file.h"
#include "viewer_process.h"

namespace {

// The shortest decimal that reads back as exactly this float, so nprsnap gets the viewer's value.
std::string exact(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

RgbImage pictureOf(const Image& shot) {
  return {shot.width, shot.height, shot.rgb};
}

// A step that waits until the window shows every frame asked for so far.
const char* const kSettle = "settle";

struct ViewerCase {
  const char* name;
  const char* model;
  std::vector<std::string> xdotool;  // what the user does in the window, in order
  std::string snapArguments;         // the same state as nprsnap's options
};

std::vector<ViewerCase> viewerCases() {
  // Four Up presses take 0.025 off the distance four times, in floats as the viewer does.
  float distance = 1.0f;
  for (int i = 0; i < 4; ++i) {
    distance -= 0.025f;
  }
  return {
      {"start-up", "data/sphere-unit.poly", {}, ""},
      // The teapot and the bunny are wound the other way; nprsnap knows them by their file names.
      // The first frame after a switch to the other winding still has the sphere's inner side in fill
      // mode; nprsnap draws what every later redisplay shows, so the viewer is asked for one more.
      {"teapot", "data/tpot-unit.poly", {"key --window %w 3", kSettle, "key --window %w 3"}, ""},
      {"bunny-hatching",
       "data/bunny-unit.poly",
       {"key --window %w 5", kSettle, "key --window %w t"},
       "--hatching"},
      {"hatching-dragged-closer-wider",
       "data/sphere-unit.poly",
       {
           "key --window %w t",
           "key --window %w plus plus",
           "key --window %w Up Up Up Up",
           // A right drag of a quarter of the window to the right and an eighth down turns the camera by
           // 90/4 and 90/8 degrees.
           "mousemove --window %w 384 384",
           "mousedown 3",
           "mousemove --window %w 576 480",
           "mouseup 3",
           // A left drag swings the light: an eighth to the left and a sixteenth down.
           "mousedown 1",
           "mousemove --window %w 480 528",
           "mouseup 1",
       },
       "--hatching --outline 7 --distance " + exact(distance) +
           " --yaw -22.5 --pitch -11.25 --light-yaw 101.25 --light-pitch 39.375"},
  };
}

TEST(SnapMatchesViewer, SameStateGivesTheWindowsPixels) {
  for (const ViewerCase& c : viewerCases()) {
    SCOPED_TRACE(c.name);
    ViewerProcess viewer;
    ASSERT_TRUE(viewer.waitForWindow());
    for (const std::string& step : c.xdotool) {
      if (step == kSettle) {
        viewer.screenshot();
      } else {
        viewer.xdotool(step);
      }
    }
    const RgbImage window = pictureOf(viewer.screenshot());
    ASSERT_EQ(window.width, 768);

    const std::string snapPath = testOutputPath(std::string("viewer-") + c.name + "-nprsnap.png");
    int status = -1;
    runCommand(std::string(NPRSNAP_BINARY) + " " + c.model + " -o " + snapPath + " " + c.snapArguments,
               &status);
    ASSERT_EQ(status, 0);
    RgbImage snap;
    std::string error;
    ASSERT_TRUE(readPng(snapPath, snap, error)) << error;

    const PictureDifference difference = comparePictures(snap, window, 0);
    ASSERT_TRUE(difference.sameSize);
    EXPECT_EQ(difference.differing, 0) << "largest channel difference " << difference.largest;
    if (difference.differing > 0) {
      std::string ignored;
      writePng(testOutputPath(std::string("viewer-") + c.name + "-window.png"), window, ignored);
      writePng(testOutputPath(std::string("viewer-") + c.name + "-diff.png"),
               differencePicture(snap, window, 0), ignored);
    }
  }
}

}  // namespace

// nprsnap's command line: what it accepts, what it refuses, and that its defaults are the viewer's.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model_catalogue.h"
#include "snap_options.h"

namespace {

SnapArguments parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "nprsnap");
  return parseSnapArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(SnapOptions, AcceptsEachOptionInBothSpellings) {
  struct Case {
    std::vector<const char*> arguments;
    std::function<bool(const SnapOptions&)> holds;
  };
  const Case cases[] = {
      {{"m.poly", "-o", "o.png"},
       [](const SnapOptions& o) {
         return o.modelPath == "m.poly" && o.outputPath == "o.png" && !o.creaseDegrees;
       }},
      {{"--output=o.png", "m.poly"}, [](const SnapOptions& o) { return o.outputPath == "o.png"; }},
      {{"m.poly", "-o", "o.png", "--size", "256"},
       [](const SnapOptions& o) { return o.width == 256 && o.height == 256; }},
      {{"m.poly", "-o", "o.png", "--size=640x480"},
       [](const SnapOptions& o) { return o.width == 640 && o.height == 480; }},
      {{"m.poly", "-o", "o.png", "--yaw", "-30.5", "--pitch=12"},
       [](const SnapOptions& o) { return o.cameraYaw == -30.5f && o.cameraPitch == 12.0f; }},
      {{"m.poly", "-o", "o.png", "--distance", "0.75"},
       [](const SnapOptions& o) { return o.cameraDistance == 0.75f; }},
      {{"m.poly", "-o", "o.png", "--light-yaw", "10", "--light-pitch", "-5"},
       [](const SnapOptions& o) { return o.lightYawOffset == 10.0f && o.lightPitchOffset == -5.0f; }},
      {{"m.poly", "-o", "o.png", "--outline", "1"}, [](const SnapOptions& o) { return o.outlineWidth == 1; }},
      {{"m.poly", "-o", "o.png", "--hatching"}, [](const SnapOptions& o) { return o.hatching; }},
      {{"m.poly", "-o", "o.png", "--hatching", "--no-hatching"},
       [](const SnapOptions& o) { return !o.hatching; }},
      {{"m.poly", "-o", "o.png", "--hatching-space", "object"},
       [](const SnapOptions& o) { return o.hatchingSpace == HatchingSpace::Object; }},
      {{"m.poly", "-o", "o.png", "--reversed"},
       [](const SnapOptions& o) { return o.reversedWinding == true; }},
      {{"m.poly", "-o", "o.png", "--no-reversed"},
       [](const SnapOptions& o) { return o.reversedWinding == false; }},
      {{"m.poly", "-o", "o.png", "--no-reversed", "--reversed", "--yaw", "1", "--yaw=2"},
       [](const SnapOptions& o) { return o.reversedWinding == true && o.cameraYaw == 2.0f; }},
      {{"m.poly", "-o", "o.png", "--creases", "30"},
       [](const SnapOptions& o) { return o.creaseDegrees == 30.0f; }},
      {{"m.poly", "-o", "o.png", "--background", "#FF80c0"},
       [](const SnapOptions& o) {
         return o.background->red == 1.0f && o.background->green == 128 / 255.0f &&
                o.background->blue == 192 / 255.0f && o.background->alpha == 1.0f;
       }},
      {{"m.poly", "-o", "o.png", "--background=transparent"},
       [](const SnapOptions& o) { return o.background->transparent(); }},
  };
  for (const Case& c : cases) {
    const SnapArguments result = parse(c.arguments);
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(c.holds(result.options));
  }
}

TEST(SnapOptions, RefusesBadArgumentsWithOneLineSayingWhy) {
  struct Case {
    std::vector<const char*> arguments;
    const char* says;
  };
  const Case cases[] = {
      {{}, "no model file given"},
      {{"m.poly"}, "no output file given"},
      {{"m.poly", "n.poly", "-o", "o.png"}, "not expected: n.poly"},
      {{"m.poly", "-o"}, "--output: 1 required FILE missing"},
      {{"m.poly", "-o", "o.png", "--frobnicate"}, "not expected: --frobnicate"},
      {{"m.poly", "-o", "o.png", "--hatching=yes"}, "hatching was given a disallowed flag override"},
      {{"m.poly", "-o", "o.png", "--yaw", "north"}, "--yaw: wants a number (degrees), not \"north\""},
      {{"m.poly", "-o", "o.png", "--distance", "inf"}, "--distance: wants a number"},
      {{"m.poly", "-o", "o.png", "--light-yaw", "nan"}, "--light-yaw: wants a number"},
      {{"m.poly", "-o", "o.png", "--light-pitch", "0x10"}, "--light-pitch: wants a number"},
      {{"m.poly", "-o", "o.png", "--outline", "0"}, "--outline: wants a whole number from 1 up"},
      {{"m.poly", "-o", "o.png", "--outline", "2.5"}, "--outline: wants a whole number"},
      {{"m.poly", "-o", "o.png", "--size", "0"}, "--size: wants N or WxH"},
      {{"m.poly", "-o", "o.png", "--size", "100x"}, "--size: wants N or WxH"},
      {{"m.poly", "-o", "o.png", "--size", "99999"}, "--size: wants N or WxH"},
      {{"m.poly", "-o", "o.png", "--creases", "-1"},
       "--creases: wants an angle from 0 to 180 degrees, not \"-1\""},
      {{"m.poly", "-o", "o.png", "--creases", "180.5"}, "--creases: wants an angle from 0 to 180"},
      {{"m.poly", "-o", "o.png", "--hatching-space", "Object"},
       "--hatching-space: wants eye or object, not \"Object\""},
      {{"m.poly", "-o", "o.png", "--background", "white"},
       "--background: wants #rrggbb or transparent, not \"white\""},
      {{"m.poly", "-o", "o.png", "--background", "#0x1234"}, "--background: wants #rrggbb"},
  };
  for (const Case& c : cases) {
    const SnapArguments result = parse(c.arguments);
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
    EXPECT_FALSE(result.help);
  }
}

TEST(SnapOptions, HelpWinsOverEverythingElse) {
  EXPECT_TRUE(parse({"--frobnicate", "-h"}).help);
  EXPECT_TRUE(parse({"--help"}).help);
}

TEST(SnapOptions, ReversedWindingFollowsTheViewersSlotsByFileName) {
  for (int slot = 0; slot < kModelSlots; ++slot) {
    EXPECT_EQ(isReversedByName(kModelPaths[slot]), isReversedWinding(slot)) << kModelPaths[slot];
  }
  EXPECT_TRUE(isReversedByName("/elsewhere/bunny-unit.poly"));
  EXPECT_FALSE(isReversedByName("data/bunny-unit.poly.bak"));
  EXPECT_FALSE(isReversedByName("data/my-tpot-unit.poly"));

  SnapOptions options;
  options.modelPath = "data/tpot-unit.poly";
  EXPECT_TRUE(drawStateOf(options).reversedWinding);
  options.reversedWinding = false;
  EXPECT_FALSE(drawStateOf(options).reversedWinding);
  options.modelPath = "data/sphere-unit.poly";
  options.reversedWinding = true;
  EXPECT_TRUE(drawStateOf(options).reversedWinding);
}

}  // namespace

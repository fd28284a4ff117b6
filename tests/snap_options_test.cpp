// nprsnap's command line: what it accepts and what it refuses. That its defaults are the viewer's start-up
// state shows in the viewer test's start-up row.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "snap_options.h"
#include "viewer_state.h"

namespace {

SnapArguments parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "nprsnap");
  return parseSnapArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(SnapOptions, AcceptsEachOptionInBothSpellings) {
  const SnapOptions all =
      parse({"m.poly", "-o", "o.png", "--size=640x480", "--yaw", "-30.5", "--pitch=12", "--distance", "0.75",
             "--light-yaw", "10", "--light-pitch", "-5", "--outline", "1", "--hatching", "--reversed"})
          .options;
  EXPECT_EQ(std::tie(all.modelPath, all.outputPath, all.width, all.height, all.outlineWidth, all.hatching),
            std::make_tuple("m.poly", "o.png", 640, 480, 1, true));
  EXPECT_EQ(
      std::tie(all.cameraYaw, all.cameraPitch, all.cameraDistance, all.lightYawOffset, all.lightPitchOffset),
      std::make_tuple(-30.5f, 12.0f, 0.75f, 10.0f, -5.0f));
  EXPECT_EQ(all.reversedWinding, true);
  const SnapOptions other =
      parse({"--output=o.png", "m.poly", "--size", "256", "--hatching", "--no-hatching", "--no-reversed"})
          .options;
  EXPECT_EQ(std::tie(other.outputPath, other.width, other.height, other.hatching),
            std::make_tuple("o.png", 256, 256, false));
  EXPECT_EQ(other.reversedWinding, false);
}

TEST(SnapOptions, RefusesBadArgumentsWithOneLineSayingWhy) {
  struct Case {
    std::vector<const char*> arguments;
    const char* says;
  };
  const Case cases[] = {
      {{}, "no model file given"},
      {{"m.poly"}, "no output file given"},
      {{"m.poly", "n.poly", "-o", "o.png"}, "one model at a time"},
      {{"m.poly", "-o"}, "\"-o\" needs a value"},
      {{"m.poly", "-o", "o.png", "--frobnicate"}, "unknown option \"--frobnicate\""},
      {{"m.poly", "-o", "o.png", "--hatching=yes"}, "unknown option \"--hatching\""},
      {{"m.poly", "-o", "o.png", "--yaw", "north"}, "--yaw wants a number"},
      {{"m.poly", "-o", "o.png", "--distance", "inf"}, "--distance wants a number"},
      {{"m.poly", "-o", "o.png", "--light-pitch="}, "--light-pitch wants a number"},
      {{"m.poly", "-o", "o.png", "--outline", "0"}, "--outline wants a whole number"},
      {{"m.poly", "-o", "o.png", "--size", "0"}, "--size wants N or WxH"},
      {{"m.poly", "-o", "o.png", "--size", "100x"}, "--size wants N or WxH"},
      {{"m.poly", "-o", "o.png", "--size", "99999"}, "--size wants N or WxH"},
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

// The viewer's slots 3 and 5 are wound the other way; outside it, only the file name can tell.
TEST(SnapOptions, ReversedWindingFollowsTheViewersSlotsByFileName) {
  for (int slot = 0; slot < kModelSlots; ++slot) {
    EXPECT_EQ(isReversedByName(kModelPaths[slot]), isReversedWinding(slot)) << kModelPaths[slot];
  }
  for (const char* other : {"data/bunny-unit.poly.bak", "data/my-tpot-unit.poly"}) {
    EXPECT_FALSE(isReversedByName(other)) << other;
  }
  SnapOptions options;
  options.modelPath = "data/tpot-unit.poly";
  options.reversedWinding = false;
  EXPECT_FALSE(drawStateOf(options).reversedWinding);
}

}  // namespace

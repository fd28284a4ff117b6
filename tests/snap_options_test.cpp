// nprsnap's command line: what it accepts, what it refuses, and that its defaults are the viewer's.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "model_catalogue.h"
#include "snap_options.h"

namespace {

// Parses the words of line as nprsnap's arguments.
SnapArguments parse(const std::string& line) {
  std::istringstream in("nprsnap " + line);
  const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
  std::vector<const char*> arguments;
  for (const std::string& word : words) {
    arguments.push_back(word.c_str());
  }
  return parseSnapArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(SnapOptions, AcceptsEachOptionInBothSpellingsAndKeepsTheLastOfTwo) {
  const SnapArguments none = parse("m.poly -o o.png");
  EXPECT_EQ(none.error, "");
  EXPECT_TRUE(none.options.modelPath == "m.poly" && none.options.outputPath == "o.png" &&
              !none.options.creaseDegrees && !none.options.reversedWinding);
  const SnapArguments all = parse(
      "--output=o%d.png m.poly --size=640x480 --yaw -30.5 --pitch=12 --distance 0.75 --light-yaw 10 "
      "--light-pitch -5 --outline 1 --hatching --hatching-space object --no-reversed --reversed --creases 30 "
      "--turntable 4 --samples=3");
  EXPECT_EQ(all.error, "");
  const SnapOptions& o = all.options;
  EXPECT_TRUE(o.outputPath == "o%d.png" && o.width == 640 && o.height == 480 && o.cameraYaw == -30.5f &&
              o.cameraPitch == 12.0f && o.cameraDistance == 0.75f && o.lightYawOffset == 10.0f &&
              o.lightPitchOffset == -5.0f && o.outlineWidth == 1 && o.hatching &&
              o.hatchingSpace == HatchingSpace::Object && o.reversedWinding == true &&
              o.creaseDegrees == 30.0f && o.turntableFrames == 4 && o.samples == 3);
  const SnapOptions last =
      parse("m.poly -o o.png --size 256 --hatching --no-hatching --reversed --no-reversed --yaw 1 --yaw=2")
          .options;
  EXPECT_TRUE(last.width == 256 && last.height == 256 && !last.hatching && last.reversedWinding == false &&
              last.cameraYaw == 2.0f);
  const SnapOptions coloured = parse("m.poly -o o.png --background #FF80c0").options;
  EXPECT_TRUE(coloured.background && coloured.background->red == 1.0f &&
              coloured.background->green == 128 / 255.0f && coloured.background->blue == 192 / 255.0f &&
              coloured.background->alpha == 1.0f);
  EXPECT_TRUE(parse("m.poly -o o.png --background=transparent").options.background->transparent());
  const SnapOptions drawn = parse("m.poly -o o.png --hatching-space surface --shading smooth").options;
  EXPECT_TRUE(drawn.strokesAlongSurface && drawn.hatchingSpace == HatchingSpace::Eye &&
              drawn.shading == Shading::Smooth);
  EXPECT_FALSE(
      parse("m.poly -o o.png --hatching-space surface --hatching-space eye").options.strokesAlongSurface);
}

TEST(SnapOptions, RefusesBadArgumentsWithOneLineSayingWhy) {
  struct Case {
    std::string arguments;
    const char* says;
  };
  const Case cases[] = {
      {"", "no model file given"},
      {"m.poly", "no output file given"},
      {"m.poly n.poly -o o.png", "not expected: n.poly"},
      {"m.poly -o", "--output: 1 required FILE missing"},
      {"m.poly -o o.png --frobnicate", "not expected: --frobnicate"},
      {"m.poly -o o.png --hatching=yes", "hatching was given a disallowed flag override"},
      {"m.poly -o o.png --yaw north", "--yaw: wants a number (degrees), not \"north\""},
      {"m.poly -o o.png --distance inf", "--distance: wants a number"},
      {"m.poly -o o.png --light-pitch 0x10", "--light-pitch: wants a number"},
      {"m.poly -o o.png --outline 0", "--outline: wants a whole number from 1 up"},
      {"m.poly -o o.png --outline 2.5", "--outline: wants a whole number"},
      {"m.poly -o o.png --size 0", "--size: wants N or WxH"},
      {"m.poly -o o.png --size 99999", "--size: wants N or WxH"},
      {"m.poly -o o.png --creases -1", "--creases: wants an angle from 0 to 180 degrees, not \"-1\""},
      {"m.poly -o o.png --hatching-space Object",
       "--hatching-space: wants eye, object or surface, not \"Object\""},
      {"m.poly -o o.png --shading gouraud", "--shading: gouraud not in {flat,smooth}"},
      {"m.poly -o o.png --background white", "--background: wants #rrggbb or transparent, not \"white\""},
      {"m.poly -o o.png --background #0x1234", "--background: wants #rrggbb"},
  };
  for (const Case& c : cases) {
    const SnapArguments result = parse(c.arguments);
    SCOPED_TRACE(c.arguments);
    EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
    EXPECT_FALSE(result.help);
  }
}

TEST(SnapOptions, HelpWinsOverEverythingElse) {
  EXPECT_TRUE(parse("--frobnicate -h").help);
  EXPECT_TRUE(parse("--help").help);
}

TEST(SnapOptions, ReversedWindingFollowsTheViewersSlotsByFileNameUnlessGiven) {
  for (int slot = 0; slot < kModelSlots; ++slot) {
    EXPECT_EQ(isReversedByName(kModelPaths[slot]), isReversedWinding(slot)) << kModelPaths[slot];
  }
  EXPECT_TRUE(isReversedByName("/elsewhere/bunny-unit.poly"));
  EXPECT_FALSE(isReversedByName("data/bunny-unit.poly.bak"));
  EXPECT_FALSE(isReversedByName("data/my-tpot-unit.poly"));
  SnapOptions options;
  options.modelPath = "data/tpot-unit.poly";
  options.reversedWinding = false;
  EXPECT_FALSE(drawStateOf(options).reversedWinding);
  options.modelPath = "data/sphere-unit.poly";
  options.reversedWinding = true;
  EXPECT_TRUE(drawStateOf(options).reversedWinding);
}

}  // namespace

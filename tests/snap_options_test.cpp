// nprsnap's command line: what it accepts, what it refuses, and that its defaults are the viewer's.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "model_catalogue.h"
#include "output_format.h"
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
      "--turntable 4 --samples=3 --lines suggestive --suggestive-threshold 0.2 --hidden-lines");
  EXPECT_EQ(all.error, "");
  const SnapOptions& o = all.options;
  EXPECT_TRUE(o.outputPath == "o%d.png" && o.width == 640 && o.height == 480 && o.cameraYaw == -30.5f &&
              o.cameraPitch == 12.0f && o.cameraDistance == 0.75f && o.lightYawOffset == 10.0f &&
              o.lightPitchOffset == -5.0f && o.outlineWidth == 1 && o.hatching &&
              o.hatchingSpace == HatchingSpace::Object && o.reversedWinding == true &&
              o.creaseDegrees == 30.0f && o.turntableFrames == 4 && o.samples == 3 &&
              o.lines == LineMode::Suggestive && o.suggestiveThreshold == 0.2f && o.hiddenLines);
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
  // Explicit colours win over the palette's whatever their order.
  const SnapOptions print = parse(
                                "m.poly -o o.svg --line-colour #123 --tones #000000,#111111,#222222,#333333 "
                                "--palette grey --background #808080")
                                .options;
  EXPECT_TRUE(print.palette->line == (Colour{17 / 255.0f, 34 / 255.0f, 51 / 255.0f}) &&
              print.palette->tones[0] == Colour{} && print.palette->tones[3] == (Colour{0.2f, 0.2f, 0.2f}) &&
              print.background->red == 128 / 255.0f);
  EXPECT_EQ(parse("m.poly -o o.gif --fps 25 --turntable 3").options.framesPerSecond, 25);
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
      {"m.poly -o a.jpg",
       "the output a.jpg: its extension names no format nprsnap writes (.png, .svg, .webp or .gif)"},
      {"m.poly -o x.svg --layers=,",
       "--layers: wants a comma-separated list of background, tones, hatching, hidden, "
       "lines and suggestive, not \",\""},
      {"m.poly -o x.svg --layers lines,,tones", "--layers: wants a comma-separated list"},
      {"m.poly -o x.png --layers lines", "--layers picks the layers of an SVG document"},
      {"m.poly -o x.png --outline 769", "--outline 769: wider than the picture, whose larger side is 768"},
      {"m.poly -o x.png --time-limit 0", "--time-limit: wants a number of seconds above 0"},
      {"m.poly -o o.svg --layers hidden", "--layers hidden needs --hidden-lines"},
      {"m.poly -o o.svg --lines contour --layers lines,suggestive",
       "--layers suggestive needs --lines suggestive"},
      {"m.poly -o o.png --suggestive-threshold 0.1", "--suggestive-threshold needs --lines suggestive"},
      {"m.poly -o o.png --lines suggestive --suggestive-threshold -1",
       "wants a number from 0 up, not \"-1\""},
      {"m.poly -o o.png --page A4", "--page sets the paper of an SVG document; the output is not a .svg"},
      {"m.poly -o o.gif --pen 0.3mm", "--pen sets the pen of an SVG document"},
      {"m.poly -o o.svg --page A6", "--page: wants A3, A4, A5 or Letter"},
      {"m.poly -o o.svg --margin 5mm", "--margin is the margin of --page, and no page is given"},
      {"m.poly -o o.svg --page A5 --margin 74mm", "--margin 74mm leaves no room on a 148x210mm page"},
      {"m.poly -o o.svg --page 4x6in --margin 6cm", "--margin 6cm leaves no room on a 4x6in page"},
      {"m.poly -o o.png --palette sepia", "--palette: wants viewer, grey or paper, not \"sepia\""},
      {"m.poly -o o.png --tones #fff,#eee,#ddd", "--tones: wants four colours"},
      {"m.poly -o o%d.png --turntable 2 --fps 10", "--fps sets an animation's frame rate"},
      {"m.poly -o o.webp --fps 0.5", "--fps: wants a number from 1 to 50"},
  };
  for (const Case& c : cases) {
    const SnapArguments result = parse(c.arguments);
    SCOPED_TRACE(c.arguments);
    EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
    EXPECT_FALSE(result.help);
  }
}

// The layers come as one list in one argument, the next argument is the model again, and the last of two
// lists is the one kept.
TEST(SnapOptions, LayersAreOneListInOneArgumentTheLastOneKept) {
  const SnapArguments one = parse("--layers lines,hatching m.poly -o x.svg --hatching");
  EXPECT_EQ(one.error, "");
  EXPECT_EQ(one.options.modelPath, "m.poly");
  EXPECT_EQ(one.options.layers, (std::vector<std::string>{"lines", "hatching"}));
  EXPECT_EQ(parse("m.poly -o x.svg --layers lines --layers=tones").options.layers,
            std::vector<std::string>{"tones"});
}

// A name's format comes from a real extension; names without one, such as a thumbnailer's temporary
// names and descriptors, are PNGs.
TEST(SnapOptions, TheOutputFormatFollowsARealExtension) {
  const std::pair<const char*, std::optional<OutputFormat>> cases[] = {
      {"a.png", OutputFormat::Png},     {"A.SVG", OutputFormat::Svg},
      {".svg", OutputFormat::Svg},      {"turn-%03d.svg", OutputFormat::Svg},
      {"x.svg/out", OutputFormat::Png}, {"/tmp/.gnome_desktop_thumbnail.Xa3Bq9", OutputFormat::Png},
      {"/dev/fd/3", OutputFormat::Png}, {"-", OutputFormat::Png},
      {"a.jpg", std::nullopt},          {"b.Webp", OutputFormat::WebP},
      {"turn.GIF", OutputFormat::Gif},  {"b.tiff", std::nullopt},
  };
  for (const auto& [name, format] : cases) {
    EXPECT_EQ(outputFormatOf(name), format) << name;
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

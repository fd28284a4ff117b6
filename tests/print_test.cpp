// Pictures for print and sharing: SVG pages in real units read as a renderer reads them, colours that reach
// the pixels, and animated turntables decoded frame by frame.
#include <gif_lib.h>
#include <webp/demux.h>

#include <gmock/gmock.h>

#include <regex>
#include <set>

#include "animation_file.h"
#include "png_file.h"
#include "print_options.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

int runSnap(const std::string& arguments) {
  int status = -1;
  runCommand(std::string(NPRSNAP_BINARY) + " " + arguments + " >/dev/null", &status);
  return status;
}

double attribute(const std::string& svg, const std::string& pattern, int group = 1) {
  std::smatch match;
  EXPECT_TRUE(std::regex_search(svg, match, std::regex(pattern))) << pattern;
  return match.empty() ? 0.0 : std::stod(match[group]);
}

// On every page the picture sits centred, as large as the margin lets it, and the pen is as wide on paper as
// asked; without a page the document is in pixels, which readers take at 96 to the inch.
TEST(PrintPages, FitThePictureCentredInsideTheMarginWithThePensWidth) {
  struct Case {
    std::string size, options, width, height;
    double pageWidth, pageHeight;  // millimetres; 0 without a page
    double margin, pen;            // millimetres
  } const cases[] = {
      {"96", "--page A4 --pen 0.3mm", "210mm", "297mm", 210, 297, 10, 0.3},
      {"160x90", "--page a4-landscape --margin 1in --pen 0.5", "297mm", "210mm", 297, 210, 25.4, 0.5},
      {"90x160", "--page 20x15cm --margin 0 --pen 1mm", "20cm", "15cm", 200, 150, 0, 1},
      {"50x40", "--page Letter --margin 0.5in --pen 0.01in", "8.5in", "11in", 215.9, 279.4, 12.7, 0.254},
      {"64", "--pen 0.3mm", "64", "64", 0, 0, 0, 0.3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const fs::path path = tempPath("page.svg");
    ASSERT_EQ(runSnap("data/icos-unit.poly --lines contour --size " + c.size + " " + c.options + " -o " +
                      path.string()),
              0);
    const std::string svg = readFile(path);
    EXPECT_THAT(svg, ::testing::HasSubstr("width=\"" + c.width + "\" height=\"" + c.height + "\""));
    const double pictureWidth = attribute(svg, "<rect width=\"(\\d+)\"");
    const double pictureHeight = attribute(svg, "<rect width=\"\\d+\" height=\"(\\d+)\"");
    const std::string number = "(-?[\\d.]+)";
    const std::string box = "viewBox=\"" + number + " " + number + " " + number + " " + number + "\"";
    const double left = attribute(svg, box, 1), top = attribute(svg, box, 2);
    const double boxWidth = attribute(svg, box, 3), boxHeight = attribute(svg, box, 4);
    // Pixels per millimetre: the viewBox spans the page; without one, 96 to the inch.
    const double scale = c.pageWidth > 0 ? boxWidth / c.pageWidth : 96 / 25.4;
    EXPECT_NEAR(boxHeight / scale, c.pageWidth > 0 ? c.pageHeight : pictureHeight / scale, 0.001);
    // Centred: as much room left as right, above as below; one pair of sides at the margin exactly.
    const double gapX = -left, gapY = -top;
    EXPECT_NEAR(left + boxWidth - pictureWidth, gapX, 0.001);
    EXPECT_NEAR(top + boxHeight - pictureHeight, gapY, 0.001);
    EXPECT_NEAR(std::min(gapX, gapY) / scale, c.margin, 0.001);
    EXPECT_NEAR(attribute(svg, "stroke-width=\"([\\d.]+)\">") / scale, c.pen, 0.0005);
    // Drawn by librsvg at 96 dots to the inch, the page has its size in pixels.
    const fs::path drawn = tempPath("page.png");
    runCommand("rsvg-convert " + path.string() + " -o " + drawn.string());
    RgbImage picture;
    std::string error;
    ASSERT_TRUE(readPng(drawn.string(), picture, error)) << error;
    EXPECT_NEAR(picture.width, c.pageWidth > 0 ? c.pageWidth * 96 / 25.4 : pictureWidth, 1);
    fs::remove(path);
    fs::remove(drawn);
  }
}

// The set of colours in a picture.
std::set<std::array<uint8_t, 3>> coloursOf(const RgbImage& picture) {
  std::set<std::array<uint8_t, 3>> colours;
  for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
    colours.insert({picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]});
  }
  return colours;
}

std::array<uint8_t, 3> bytesOf(const Colour& c) {
  const auto byte = [](float v) { return static_cast<uint8_t>(std::lround(v * 255.0f)); };
  return {byte(c.r), byte(c.g), byte(c.b)};
}

// A palette's colours are the picture's, all of them that the view shows and no others: the tones, the lines
// (not tinted by the hatching texture under them) and the paper; the viewer's palette changes nothing.
TEST(Palettes, ColoursReachThePixels) {
  struct Case {
    std::string palette, tones, line;
    bool hatching;
    LineMode lines;
  } const cases[] = {
      {"grey", "", "", false, LineMode::Outline},
      {"paper", "", "", false, LineMode::Contour},
      {"viewer", "#ffe0e0,#e08080,#a04040,#602020", "#2040c0", false, LineMode::Outline},
      {"grey", "#ffffff,#c0c0c0,#808080,#404040", "#ff0000", true, LineMode::Outline},
      {"paper", "", "#00a000", false, LineMode::Contour},
  };
  SnapOptions plain;
  plain.modelPath = "data/sphere-unit.poly";
  plain.width = plain.height = 96;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.palette + " " + c.tones + " " + c.line);
    PalettePreset preset = *palettePreset(c.palette);
    ASSERT_TRUE(c.tones.empty() || parseToneColours(c.tones, preset.palette));
    ASSERT_TRUE(c.line.empty() || parseColour(c.line, preset.palette.line));
    SnapOptions options = plain;
    options.palette = preset.palette;
    options.hatching = c.hatching;
    options.lines = c.lines;
    const Colour background = preset.background.value_or(Colour{0.45f, 0.5f, 0.6f});
    options.background = Background{background.r, background.g, background.b, 1.0f};
    const std::set<std::array<uint8_t, 3>> shown = coloursOf(snapshotOf(options));
    EXPECT_TRUE(shown.contains(bytesOf(background)) && shown.contains(bytesOf(preset.palette.line)));
    // A pure red line over grey hatching: any red that is not pure is a line the texture has darkened.
    EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](const auto& c) { return c[1] == 0 && c[2] == 0 && c[0] % 255; }));
    if (!c.hatching) {
      std::set<std::array<uint8_t, 3>> allowed{bytesOf(background), bytesOf(preset.palette.line)};
      for (const Colour& tone : preset.palette.tones) {
        allowed.insert(bytesOf(tone));
      }
      // The round ends of contour strokes are blended into what lies under them.
      EXPECT_TRUE(c.lines == LineMode::Contour || std::includes(allowed.begin(), allowed.end(), shown.begin(), shown.end()));
      EXPECT_GE(shown.size(), std::min<size_t>(allowed.size(), 4u));
    }
  }
  // Grey for print: grey tones, from the lightest to the turned-away one.
  const Palette grey = palettePreset("grey")->palette;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(grey.tones[i].r == grey.tones[i].g && grey.tones[i].g == grey.tones[i].b &&
                (i == 0 || grey.tones[i].r < grey.tones[i - 1].r));
  }
  SnapOptions viewer = plain;
  viewer.palette = palettePreset("viewer")->palette;
  EXPECT_EQ(differingPixels(snapshotOf(viewer), snapshotOf(plain), 0), 0);
  // An SVG's fills and lines take the same colours, and a palette's paper unless a background is given.
  const fs::path svg = tempPath("palette.svg");
  ASSERT_EQ(runSnap("data/sphere-unit.poly --size 96 --palette paper --tones '#ffeedd,#ccbbaa,#998877,#665544' "
                    "--line-colour '#2040c0' -o " + svg.string()),
            0);
  const std::string document = readFile(svg);
  std::set<std::string> fills;
  const std::regex fill("fill=\"(#\\w+)\"");
  for (std::sregex_iterator i(document.begin(), document.end(), fill), end; i != end; ++i) {
    fills.insert((*i)[1]);
  }
  EXPECT_THAT(fills, ::testing::IsSubsetOf({"#665544", "#998877", "#ccbbaa", "#ffeedd", "#ffffff"}));
  EXPECT_TRUE(fills.size() >= 3 && fills.contains("#ffffff"));
  EXPECT_THAT(document, ::testing::HasSubstr("stroke=\"#2040c0\""));
  fs::remove(svg);
}

// Every frame of an animation decoded, as RGBA, with its display time in milliseconds.
struct Decoded {
  int width = 0, height = 0, loops = -1;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<int> durations;
};

Decoded decodeWebP(const std::string& bytes) {
  Decoded decoded;
  const WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  WebPAnimInfo info{};
  if (decoder && WebPAnimDecoderGetInfo(decoder, &info)) {
    decoded.width = static_cast<int>(info.canvas_width);
    decoded.height = static_cast<int>(info.canvas_height);
    decoded.loops = static_cast<int>(info.loop_count);
    for (int previous = 0; WebPAnimDecoderHasMoreFrames(decoder);) {
      uint8_t* pixels = nullptr;
      int time = 0;
      WebPAnimDecoderGetNext(decoder, &pixels, &time);
      decoded.frames.emplace_back(pixels, pixels + 4 * decoded.width * decoded.height);
      decoded.durations.push_back(time - previous);
      previous = time;
    }
  }
  WebPAnimDecoderDelete(decoder);
  return decoded;
}

// The GIF's frames as they stand on their own (each covers the whole screen).
Decoded decodeGif(const std::string& path) {
  Decoded decoded;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif && DGifSlurp(gif) == GIF_OK) {
    decoded.width = gif->SWidth;
    decoded.height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& image = gif->SavedImages[i];
      GraphicsControlBlock control{};
      DGifSavedExtensionToGCB(gif, i, &control);
      std::vector<uint8_t> rgba;
      for (int p = 0; p < image.ImageDesc.Width * image.ImageDesc.Height; ++p) {
        const GifColorType& c = image.ImageDesc.ColorMap->Colors[image.RasterBits[p]];
        rgba.insert(rgba.end(), {c.Red, c.Green, c.Blue, uint8_t(image.RasterBits[p] == control.TransparentColor ? 0 : 255)});
      }
      decoded.frames.push_back(rgba);
      decoded.durations.push_back(10 * control.DelayTime);
    }
    // The loop count follows the application extension that comes before the first frame.
    const SavedImage& first = gif->SavedImages[0];
    for (int e = 0; gif->ImageCount > 0 && e + 1 < first.ExtensionBlockCount; ++e) {
      const ExtensionBlock& block = first.ExtensionBlocks[e];
      if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
          std::string_view(reinterpret_cast<const char*>(block.Bytes), 11) == "NETSCAPE2.0") {
        decoded.loops = first.ExtensionBlocks[e + 1].Bytes[1] | first.ExtensionBlocks[e + 1].Bytes[2] << 8;
      }
    }
  }
  DGifCloseFile(gif, &error);
  return decoded;
}

// An animation holds every frame at its size, in order, for the time a frame at that rate takes, and loops
// for ever; flat colours and full transparency come back as they went in.
TEST(Animations, HoldEveryFrameAtItsSizeInOrderAndLoop) {
  const uint8_t colours[][4] = {{200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}, {0, 0, 0, 0}};
  for (const AnimationFormat format : {AnimationFormat::WebP, AnimationFormat::Gif}) {
    const fs::path path = tempPath(format == AnimationFormat::Gif ? "animation.gif" : "animation.webp");
    AnimationFile file;
    ASSERT_TRUE(file.open(path.string(), format, 40, 24, 12.5)) << file.error();
    for (const auto& colour : colours) {
      RgbImage frame{40, 24, {}, std::vector<uint8_t>(40 * 24, colour[3])};
      for (int p = 0; p < 40 * 24; ++p) {
        frame.rgb.insert(frame.rgb.end(), colour, colour + 3);
      }
      ASSERT_TRUE(file.addFrame(frame)) << file.error();
    }
    ASSERT_TRUE(file.commit()) << file.error();
    const Decoded decoded = format == AnimationFormat::Gif ? decodeGif(path.string()) : decodeWebP(readFile(path));
    EXPECT_TRUE(decoded.width == 40 && decoded.height == 24 && decoded.loops == 0)
        << decoded.width << "x" << decoded.height << " loops " << decoded.loops;
    ASSERT_EQ(decoded.frames.size(), std::size(colours));
    EXPECT_THAT(decoded.durations, ::testing::Each(80));
    for (size_t f = 0; f < std::size(colours); ++f) {
      const std::vector<uint8_t> pixel(decoded.frames[f].begin() + 4 * 17, decoded.frames[f].begin() + 4 * 18);
      EXPECT_EQ(pixel[3], colours[f][3]) << f;
      EXPECT_TRUE(colours[f][3] == 0 || std::equal(colours[f], colours[f] + 3, pixel.begin())) << f;
    }
    fs::remove(path);
  }
  // The program's turntable: as many frames as asked, each the PNG of its view.
  const fs::path turn = tempPath("turn.webp"), still = tempPath("turn-2.png");
  ASSERT_EQ(runSnap("data/icos-unit.poly --size 48x32 --turntable 5 --fps 4 -o " + turn.string()), 0);
  ASSERT_EQ(runSnap("data/icos-unit.poly --size 48x32 --yaw 144 -o " + still.string()), 0);
  const Decoded decoded = decodeWebP(readFile(turn));
  ASSERT_EQ(decoded.frames.size(), 5u);
  EXPECT_THAT(decoded.durations, ::testing::Each(250));
  RgbImage expected;
  std::string error;
  ASSERT_TRUE(readPng(still.string(), expected, error)) << error;
  for (size_t p = 0; p < 48 * 32; ++p) {
    ASSERT_TRUE(std::equal(&expected.rgb[3 * p], &expected.rgb[3 * p] + 3, &decoded.frames[2][4 * p])) << p;
  }
  fs::remove(turn);
  fs::remove(still);
}

}  // namespace

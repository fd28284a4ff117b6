// Pictures for print and sharing: SVG pages in real units as renderers read them, colours that reach the
// pixels, and animated turntables decoded frame by frame.
#include <gif_lib.h>
#include <webp/demux.h>

#include <gmock/gmock.h>

#include <regex>
#include <set>

#include "png_file.h"
#include "print_options.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// What nprsnap writes for arguments into a scratch file with extension.
fs::path snap(const std::string& arguments, const std::string& extension) {
  const fs::path out = tempPath("print" + extension);
  int status = -1;
  runCommand(std::string(NPRSNAP_BINARY) + " " + arguments + " -o " + out.string() + " >/dev/null", &status);
  EXPECT_EQ(status, 0) << arguments;
  return out;
}

// The numbers that pattern's groups match first in text.
std::vector<double> numbers(const std::string& text, const std::string& pattern) {
  std::smatch match;
  EXPECT_TRUE(std::regex_search(text, match, std::regex(pattern))) << pattern;
  std::vector<double> values;
  for (size_t i = 1; i < match.size(); ++i) {
    values.push_back(std::stod(match[i]));
  }
  return values;
}

// On every page the picture sits centred, as large as the margin lets it, and the pen is as wide on paper as
// asked; without a page the document is in pixels, which readers take at 96 to the inch. (rsvg-convert and
// Inkscape draw such pages at their size: docs/print.md.)
TEST(PrintPages, FitThePictureCentredInsideTheMarginWithThePensWidth) {
  struct Case {
    std::string size, options, attributes;
    double pageWidth, pageHeight, margin, pen;  // millimetres; no page: 0 wide
  } const cases[] = {
      {"96", "--page A4 --pen 0.3mm", "width=\"210mm\" height=\"297mm\"", 210, 297, 10, 0.3},
      {"160x90", "--page a4-landscape --margin 1in --pen 0.5", "width=\"297mm\" height=\"210mm\"", 297, 210,
       25.4, 0.5},
      {"90x160", "--page 20x15cm --margin 0 --pen 1mm", "width=\"20cm\" height=\"15cm\"", 200, 150, 0, 1},
      {"50x40", "--page Letter --margin 0.5in --pen 0.01in", "width=\"8.5in\" height=\"11in\"", 215.9, 279.4,
       12.7, 0.254},
      {"64", "--pen 0.3mm", "width=\"64\" height=\"64\"", 0, 0, 0, 0.3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const fs::path path =
        snap("data/icos-unit.poly --lines contour --size " + c.size + " " + c.options, ".svg");
    const std::string svg = readFile(path);
    EXPECT_THAT(svg, HasSubstr(c.attributes));
    const std::string n = "(-?[\\d.]+)";
    const std::vector<double> box = numbers(svg, "viewBox=\"" + n + " " + n + " " + n + " " + n + "\"");
    const std::vector<double> picture = numbers(svg, "<rect width=\"(\\d+)\" height=\"(\\d+)\"");
    const std::vector<double> pen = numbers(svg, "stroke-width=\"([\\d.]+)\">");
    ASSERT_TRUE(box.size() == 4 && picture.size() == 2 && pen.size() == 1);
    // Pixels per millimetre: the viewBox spans the page.
    const double scale = c.pageWidth > 0 ? box[2] / c.pageWidth : 96 / 25.4;
    const double gapX = -box[0], gapY = -box[1];
    EXPECT_NEAR(box[0] + box[2] - picture[0], gapX, 0.001);
    EXPECT_NEAR(box[1] + box[3] - picture[1], gapY, 0.001);
    EXPECT_NEAR(box[3] / scale, c.pageWidth > 0 ? c.pageHeight : picture[1] / scale, 0.001);
    EXPECT_NEAR(std::min(gapX, gapY) / scale, c.margin, 0.001);
    EXPECT_NEAR(pen[0] / scale, c.pen, 0.0005);
    fs::remove(path);
  }
}

// A palette's colours are the picture's, all that the view shows and no others: the tones, the lines (not
// tinted by a hatching texture under them) and the paper; the viewer's palette changes nothing.
TEST(Palettes, ColoursReachThePixels) {
  struct Case {
    std::string palette, tones, line;
    bool hatching;
    LineMode lines = LineMode::Outline;
    Shading shading = Shading::Flat;
  } const cases[] = {
      {"grey", "", "", false},
      {"grey", "", "", false, LineMode::Contour, Shading::Smooth},
      {"paper", "", "#00a000", false, LineMode::Contour},
      {"viewer", "#ffe0e0,#e08080,#a04040,#602020", "#2040c0", false},
      {"grey", "", "#ff0000", true},
  };
  SnapOptions plain;
  plain.modelPath = "data/sphere-unit.poly";
  plain.width = plain.height = 96;
  using Bytes = std::array<uint8_t, 3>;
  const auto bytes = [](const Colour& c) {
    return Bytes{uint8_t(std::lround(c.r * 255)), uint8_t(std::lround(c.g * 255)),
                 uint8_t(std::lround(c.b * 255))};
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.palette + " " + c.tones + " " + c.line);
    PalettePreset preset = *palettePreset(c.palette);
    ASSERT_TRUE((c.tones.empty() || parseToneColours(c.tones, preset.palette)) &&
                (c.line.empty() || parseColour(c.line, preset.palette.line)));
    SnapOptions options = plain;
    options.palette = preset.palette;
    options.hatching = c.hatching;
    options.lines = c.lines;
    options.shading = c.shading;
    const Colour paper = preset.background.value_or(Colour{0.45f, 0.5f, 0.6f});
    options.background = Background{paper.r, paper.g, paper.b, 1.0f};
    const RgbImage picture = snapshotOf(options);
    std::set<Bytes> shown, allowed{bytes(paper), bytes(preset.palette.line)};
    for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
      shown.insert({picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]});
    }
    for (const Colour& tone : preset.palette.tones) {
      allowed.insert(bytes(tone));
    }
    EXPECT_TRUE(shown.contains(bytes(paper)) && shown.contains(bytes(preset.palette.line)));
    EXPECT_TRUE(c.hatching || (std::includes(allowed.begin(), allowed.end(), shown.begin(), shown.end()) &&
                               shown.size() >= std::min<size_t>(allowed.size(), 4)));
    // Grey for print is grey throughout. Red that is not pure is a red line darkened by the hatching under
    // it.
    EXPECT_TRUE(
        c.palette != "grey" || c.hatching ||
        std::all_of(shown.begin(), shown.end(), [](const Bytes& b) { return b[0] == b[1] && b[1] == b[2]; }));
    EXPECT_TRUE(std::none_of(shown.begin(), shown.end(),
                             [](const Bytes& b) { return !b[1] && !b[2] && b[0] % 255; }));
  }
  SnapOptions viewer = plain;
  viewer.palette = palettePreset("viewer")->palette;
  EXPECT_EQ(differingPixels(snapshotOf(viewer), snapshotOf(plain), 0), 0);
  // An SVG's fills and lines take the same colours, and a palette's paper unless a background is given.
  const fs::path svg = snap(
      "data/sphere-unit.poly --size 96 --palette paper --line-colour '#2040c0' "
      "--tones '#ffeedd,#ccbbaa,#998877,#665544'",
      ".svg");
  EXPECT_THAT(readFile(svg), ::testing::AllOf(HasSubstr("fill=\"#ffffff\""), HasSubstr("fill=\"#998877\""),
                                              HasSubstr("fill=\"#665544\""), HasSubstr("stroke=\"#2040c0\""),
                                              Not(HasSubstr("fill=\"#808000\"")), Not(HasSubstr("#738099"))));
  fs::remove(svg);
}

// Every frame of an animation decoded as RGBA, with its display time in milliseconds.
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
    for (int previous = 0, time = 0; WebPAnimDecoderHasMoreFrames(decoder); previous = time) {
      uint8_t* pixels = nullptr;
      WebPAnimDecoderGetNext(decoder, &pixels, &time);
      decoded.frames.emplace_back(pixels, pixels + 4 * decoded.width * decoded.height);
      decoded.durations.push_back(time - previous);
    }
  }
  WebPAnimDecoderDelete(decoder);
  return decoded;
}

// Each frame as it stands on its own: nprsnap's cover the whole screen.
Decoded decodeGif(const std::string& path) {
  Decoded decoded;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif && DGifSlurp(gif) == GIF_OK) {
    decoded.width = gif->SWidth;
    decoded.height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
      GraphicsControlBlock control{};
      DGifSavedExtensionToGCB(gif, i, &control);
      decoded.durations.push_back(10 * control.DelayTime);
      std::vector<uint8_t>& rgba = decoded.frames.emplace_back();
      for (int p = 0; p < decoded.width * decoded.height; ++p) {
        const GifByteType index = gif->SavedImages[i].RasterBits[p];
        const GifColorType& c = gif->SavedImages[i].ImageDesc.ColorMap->Colors[index];
        rgba.insert(rgba.end(),
                    {c.Red, c.Green, c.Blue, uint8_t(index == control.TransparentColor ? 0 : 255)});
      }
    }
  }
  DGifCloseFile(gif, &error);
  // The loop count, 0 for ever, follows the application extension NETSCAPE2.0.
  const std::string bytes = readFile(path);
  const size_t loop = bytes.find(std::string("NETSCAPE2.0\3\1", 13));
  decoded.loops = loop == std::string::npos ? -1 : uint8_t(bytes[loop + 13]) | uint8_t(bytes[loop + 14]) << 8;
  return decoded;
}

// A turntable in one animated file holds every frame at its size, in order, each for the time a frame at
// that rate takes, looping for ever; each frame is the PNG of its view, transparency included (flat tones
// need no more than a GIF's palette).
TEST(Animations, HoldEveryFrameAtItsSizeInOrderAndLoop) {
  const std::string turntable = "data/icos-unit.poly --size 48x32 --turntable 5 --background transparent";
  const fs::path pngs = snap(turntable, "-%d.png");
  for (const char* extension : {".webp", ".gif"}) {
    SCOPED_TRACE(extension);
    const fs::path path = snap(turntable + " --fps 12.5", extension);
    const Decoded decoded =
        path.extension() == ".gif" ? decodeGif(path.string()) : decodeWebP(readFile(path));
    EXPECT_TRUE(decoded.width == 48 && decoded.height == 32 && decoded.loops == 0) << decoded.loops;
    ASSERT_EQ(decoded.frames.size(), 5u);
    EXPECT_THAT(decoded.durations, ::testing::Each(80));
    for (size_t f = 0; f < 5; ++f) {
      RgbImage expected;
      std::string error;
      const std::string png = tempPath("print-" + std::to_string(f) + ".png").string();
      ASSERT_TRUE(readPng(png, expected, error)) << error;
      for (size_t p = 0; p < 48 * 32; ++p) {
        const uint8_t* pixel = &decoded.frames[f][4 * p];
        ASSERT_TRUE(pixel[3] == expected.alpha[p] &&
                    (!pixel[3] || std::equal(pixel, pixel + 3, &expected.rgb[3 * p])))
            << "frame " << f << " pixel " << p;
      }
    }
    fs::remove(path);
  }
  for (int f = 0; f < 5; ++f) {
    fs::remove(tempPath("print-" + std::to_string(f) + ".png"));
  }
}

}  // namespace

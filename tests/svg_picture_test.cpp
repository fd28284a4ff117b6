// nprsnap's SVG documents, drawn by librsvg (rsvg-convert) and set against nprsnap's own PNGs of the view.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include "offscreen_context.h"
#include "png_file.h"
#include "snap_options.h"
#include "support.h"
#include "tone_labels.h"
#include "svg_writer.h"

namespace {

std::string nprsnap(const std::string& arguments, const std::string& output) {
  int status = -1;
  runCommand(std::string(NPRSNAP_BINARY) + " " + arguments + " -o " + output + " >/dev/null", &status);
  EXPECT_EQ(status, 0) << arguments;
  return output;
}

// The document nprsnap writes for arguments, checked to be well formed.
std::string svgOf(const std::string& arguments) {
  const std::string path = nprsnap(arguments, tempPath("picture.svg").string());
  int status = -1;
  runCommand("xmllint --noout " + path + " 2>&1", &status);
  EXPECT_EQ(status, 0) << "not well formed: " << arguments;
  const std::string svg = readFile(path);
  std::filesystem::remove(path);
  return svg;
}

// The view both ways: the SVG drawn by rsvg-convert (on white where no layer covers it), then the PNG of the
// same arguments plus pngExtra.
std::pair<RgbImage, RgbImage> draw(const std::string& arguments, const std::string& svgExtra,
                                   const std::string& pngExtra) {
  const std::string svg = nprsnap(arguments + " " + svgExtra, tempPath("picture.svg").string());
  const std::string png = nprsnap(arguments + " " + pngExtra, tempPath("picture.png").string());
  const std::string drawn = tempPath("picture-svg.png").string();
  runCommand("rsvg-convert -b white " + svg + " -o " + drawn);
  std::pair<RgbImage, RgbImage> pictures;
  std::string error;
  EXPECT_TRUE(readPng(drawn, pictures.first, error) && readPng(png, pictures.second, error)) << error;
  for (const std::string& path : {svg, png, drawn}) {
    std::filesystem::remove(path);
  }
  return pictures;
}

// The share of a's pixels that pass in, with no pixel of b that matches it within radius pixels.
double unmatchedShare(const RgbImage& a, const RgbImage& b, int radius, bool (*in)(const uint8_t*),
                      bool (*match)(const uint8_t*, const uint8_t*)) {
  long long counted = 0, unmatched = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (!in(a.at(x, y))) {
        continue;
      }
      ++counted;
      bool found = false;
      for (int v = std::max(0, y - radius); v <= std::min(b.height - 1, y + radius) && !found; ++v) {
        for (int u = std::max(0, x - radius); u <= std::min(b.width - 1, x + radius) && !found; ++u) {
          found = match(a.at(x, y), b.at(u, v));
        }
      }
      unmatched += found ? 0 : 1;
    }
  }
  return counted ? static_cast<double>(unmatched) / static_cast<double>(counted) : 0.0;
}

// The tones are 40 or more apart in some channel; what lies between is an edge.
bool likeColour(const uint8_t* p, const uint8_t* q) {
  return std::abs(p[0] - q[0]) <= 16 && std::abs(p[1] - q[1]) <= 16 && std::abs(p[2] - q[2]) <= 16;
}
// Black, or nearly: darker than any tone.
bool dark(const uint8_t* p) {
  return std::max({p[0], p[1], p[2]}) < 64;
}

// Each way: the whole document against the PNG, like colours within a pixel, but for 1.5% along edges; the
// lines layer alone, its dark pixels within 2 pixels of the PNG's black ones, but for 5%, and the reverse.
TEST(SvgPicture, MatchesThePngWithContourLines) {
  struct Case {
    const char* model;
    std::string arguments, svgExtra;
    bool linesOnly;
  };
  const Case cases[] = {
      {"bunny-unit", "--yaw 30 --pitch 15", "", false},
      {"sphere-unit", "--yaw 30 --pitch 15", "", false},
      {"tpot-unit", "--yaw 30 --pitch 15", "", false},
      {"bunny-unit", "--yaw 30 --pitch 15 --shading smooth", "", false},
      {"tpot-unit", "--yaw 40 --pitch 25 --creases 30", "--layers lines", true},
      {"penny3-unit", "--yaw 40 --pitch 25 --creases 30", "--layers lines", true},
      {"icos-unit", "--yaw 40 --pitch 25 --creases 30", "--layers lines", true},
  };
  const auto any = [](const uint8_t*) { return true; };
  const auto bothDark = [](const uint8_t*, const uint8_t* q) { return dark(q); };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.svgExtra);
    const auto [vector, raster] =
        draw("data/" + std::string(c.model) + ".poly " + c.arguments, c.svgExtra, "--lines contour");
    for (const auto& [a, b] : {std::pair(&vector, &raster), std::pair(&raster, &vector)}) {
      EXPECT_LE(c.linesOnly ? unmatchedShare(*a, *b, 2, dark, bothDark)
                            : unmatchedShare(*a, *b, 1, any, likeColour),
                c.linesOnly ? 0.05 : 0.015);
    }
  }
}

TEST(SvgPicture, LayersComeInOrderAndAModelOutOfViewLeavesThemEmpty) {
  struct Case {
    std::string arguments;
    std::string layers;  // the group ids, in order
    bool empty;          // no path in any layer
  };
  const Case cases[] = {
      {"--hatching", "background tones hatching lines", false},
      {"", "background tones lines", false},
      {"--hatching --layers lines,hatching", "hatching lines", false},
      {"--distance 20 --hatching", "background tones hatching lines", true},
      {"--hidden-lines --lines suggestive", "background tones hidden lines suggestive", false},
      // A convex body has neither hidden contours nor suggestive ones.
      {"--hidden-lines --lines suggestive --layers suggestive,hidden", "hidden suggestive", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string svg = svgOf("data/icos-unit.poly --size 64 " + c.arguments);
    std::string ids;
    // Each layer labelled with its place among all six, whichever are left out.
    const std::regex group("<g id=\"(\\w+)\" inkscape:groupmode=\"layer\" inkscape:label=\"(\\d) \\1\"");
    for (std::sregex_iterator it(svg.begin(), svg.end(), group), end; it != end; ++it) {
      ids += (ids.empty() ? "" : " ") + (*it)[1].str();
      EXPECT_EQ(kSvgLayerNames[std::stoi((*it)[2].str()) - 1], (*it)[1].str());
    }
    EXPECT_EQ(ids, c.layers);
    EXPECT_EQ(svg.find("<path") == std::string::npos, c.empty);
    EXPECT_FALSE(std::regex_search(svg, std::regex("\\.\\d{3}"))) << "more than two decimals";
  }
  // --background as for a PNG: another colour, or nothing behind the model.
  EXPECT_THAT(svgOf("data/icos-unit.poly --size 64 --background '#ff8000'"),
              testing::HasSubstr("<rect width=\"64\" height=\"64\" fill=\"#ff8000\"/>"));
  EXPECT_THAT(svgOf("data/icos-unit.poly --size 64 --background transparent"),
              testing::Not(testing::HasSubstr("<rect")));
}

// The label pass's fill is counted before it is drawn: the sphere's outer faces cover what its labels
// show, once. Faces stacked a thousand times as deep are traced at the picture's own size.
TEST(ToneLabels, ComeAtThePicturesOwnScaleWhenFacesStackDeep) {
  const OffscreenContext context(64, 64);
  const ModelPtr sphere(loadModel("data/sphere-unit.poly"));
  ASSERT_TRUE(context.ok() && sphere);
  const DrawState state = drawStateOf(SnapOptions{});
  LabelPicture labels;
  std::string error;
  ASSERT_TRUE(drawToneLabels(*sphere, state, 256, 256, 1, labels, error)) << error;
  const double shown = static_cast<double>(
      std::count_if(labels.labels.begin(), labels.labels.end(), [](uint8_t label) { return label != 0; }));
  const double counted = outerFaceFragments(*sphere, state, 256, 256);
  EXPECT_NEAR(counted, shown, 0.02 * shown);
  EXPECT_EQ(labelScale(768, 768, counted * 9), 4);
  EXPECT_EQ(labelScale(768, 768, counted * 9 * 1000), 1);
}

}  // namespace

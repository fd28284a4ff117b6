// Writing the SVG text: numbers to two decimals without trailing zeros, paths in short absolute commands.
#include "svg_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

namespace {

// CSS's pixels in an inch, as readers size a document given in pixels.
constexpr double kPixelsPerInch = 96.0;
constexpr double kMillimetresPerInch = 25.4;

// x to at most two decimals (or as many as given), the shortest text that says it: "12", "12.5", "-0.25";
// never "-0".
void appendNumber(std::string& out, double x, int decimals = 2) {
  char text[64];
  const auto [end, status] =
      std::to_chars(text, text + sizeof text, std::isfinite(x) ? x : 0.0, std::chars_format::fixed, decimals);
  if (status != std::errc()) {
    out += '0';
    return;
  }
  const char* last = end;
  while (last[-1] == '0') {
    --last;
  }
  if (last[-1] == '.') {
    --last;
  }
  const char* first = text;
  if (last - first == 2 && first[0] == '-' && first[1] == '0') {
    ++first;
  }
  out.append(first, static_cast<size_t>(last - first));
}

void appendPoint(std::string& out, double x, double y) {
  appendNumber(out, x);
  out += ' ';
  appendNumber(out, y);
}

std::string hexColour(const SvgColour& c) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text = "#";
  for (const float channel : {c.r, c.g, c.b}) {
    // As GL stores a float colour in an 8-bit channel.
    const long value = std::lround(std::clamp(channel, 0.0f, 1.0f) * 255.0f);
    text += kDigits[value >> 4];
    text += kDigits[value & 15];
  }
  return text;
}

// The stroke colour of the lines: black as it has always been written, or the colour asked for.
std::string lineColourText(const SvgColour& c) {
  return c.r == 0.0f && c.g == 0.0f && c.b == 0.0f ? "#000" : hexColour(c);
}

// The width of a layer's strokes: the pen's, to a pen's precision, or the layer's own.
void appendStrokeWidth(std::string& out, const VectorPicture& picture, double layerWidth) {
  if (picture.penWidth) {
    appendNumber(out, *picture.penWidth, 4);
  } else {
    appendNumber(out, layerWidth);
  }
}

// The page's size in its unit, its shortest text: "210mm", "8.5in".
std::string pageLength(double value, const std::string& unit) {
  char text[64];
  const auto [end, status] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, status == std::errc() ? end : text) + unit;
}

// The svg element's size and viewBox: the picture's pixels, or the page with the picture centred inside its
// margin, the viewBox spanning the whole page in the picture's pixels so that the paths stay as they are.
void appendFrame(std::string& out, const VectorPicture& picture) {
  const std::string w = std::to_string(picture.width), h = std::to_string(picture.height);
  const SvgPage& page = picture.page;
  if (page.width <= 0) {
    out += " width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n";
    return;
  }
  const double pixelsPerUnit =
      pixelsPerMillimetre(picture.width, picture.height, page) * millimetresPerUnit(page.unit);
  const double boxWidth = page.width * pixelsPerUnit, boxHeight = page.height * pixelsPerUnit;
  out += " width=\"" + pageLength(page.width, page.unit) + "\" height=\"" +
         pageLength(page.height, page.unit) + "\" viewBox=\"";
  // To a pen's precision: a small picture's pixel spans millimetres of paper.
  for (const double value :
       {(picture.width - boxWidth) / 2, (picture.height - boxHeight) / 2, boxWidth, boxHeight}) {
    appendNumber(out, value, 4);
    out += ' ';
  }
  out.pop_back();
  out += "\">\n";
}

// The group of layer number index of kSvgLayerNames, left open for its attributes.
void openLayer(std::string& out, size_t index) {
  out += "<g id=\"";
  out += kSvgLayerNames[index];
  out += "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
  out += std::to_string(index + 1) + " " + kSvgLayerNames[index];
  out += "\"";
}

void appendRegionPath(std::string& out, const ToneRegion& region) {
  for (const ClosedCurve& curve : region.curves) {
    if (curve.segments.empty()) {
      continue;
    }
    out += 'M';
    appendPoint(out, curve.segments.back().end.x, curve.segments.back().end.y);
    for (const CurveSegment& s : curve.segments) {
      if (s.corner) {
        out += 'L';
        appendPoint(out, s.c2.x, s.c2.y);
        out += ' ';
        appendPoint(out, s.end.x, s.end.y);
      } else {
        out += 'C';
        appendPoint(out, s.c1.x, s.c1.y);
        out += ' ';
        appendPoint(out, s.c2.x, s.c2.y);
        out += ' ';
        appendPoint(out, s.end.x, s.end.y);
      }
    }
    out += 'Z';
  }
}

void appendTones(std::string& out, const VectorPicture& picture) {
  for (const ToneFill& fill : picture.tones) {
    if (fill.region.curves.empty()) {
      continue;
    }
    out += "<path fill=\"" + hexColour(fill.colour) + "\" fill-rule=\"evenodd\" d=\"";
    appendRegionPath(out, fill.region);
    out += "\"/>\n";
  }
}

void appendHatching(std::string& out, const VectorPicture& picture) {
  if (picture.hatching.empty()) {
    return;
  }
  out += "<path fill=\"none\" stroke=\"#000\" stroke-linecap=\"round\" stroke-width=\"";
  appendStrokeWidth(out, picture, picture.hatchWidth);
  out += "\" d=\"";
  for (const Polyline& stroke : picture.hatching) {
    if (stroke.points.size() < 2) {
      continue;
    }
    out += 'M';
    appendPoint(out, stroke.points[0].x, stroke.points[0].y);
    out += 'L';
    for (size_t i = 1; i < stroke.points.size(); ++i) {
      appendPoint(out, stroke.points[i].x, stroke.points[i].y);
      out += i + 1 < stroke.points.size() ? " " : "";
    }
  }
  out += "\"/>\n";
}

void appendLines(std::string& out, const std::vector<Polyline>& lines) {
  for (const Polyline& line : lines) {
    if (line.points.size() < 2) {
      continue;
    }
    out += "<path d=\"M";
    appendPoint(out, line.points[0].x, line.points[0].y);
    out += 'L';
    for (size_t i = 1; i < line.points.size(); ++i) {
      appendPoint(out, line.points[i].x, line.points[i].y);
      out += ' ';
    }
    out.back() = line.closed ? 'Z' : '"';
    out += line.closed ? "\"/>\n" : "/>\n";
  }
}

}  // namespace

double millimetresPerUnit(std::string_view unit) {
  return unit == "mm" ? 1.0 : unit == "cm" ? 10.0 : unit == "in" ? kMillimetresPerInch : 0.0;
}

double pixelsPerMillimetre(int width, int height, const SvgPage& page) {
  if (page.width <= 0) {
    return kPixelsPerInch / kMillimetresPerInch;
  }
  const double unit = millimetresPerUnit(page.unit);
  const double roomWidth = (page.width - 2 * page.margin) * unit,
               roomHeight = (page.height - 2 * page.margin) * unit;
  // The side that fills its room sets the scale; the other has room to spare.
  return std::max(width / roomWidth, height / roomHeight);
}

std::string svgDocument(const VectorPicture& picture, const SvgLayers& layers) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\"";
  appendFrame(out, picture);
  const std::string w = std::to_string(picture.width), h = std::to_string(picture.height);
  // The layers in kSvgLayerNames' order, each written when asked for and held by the picture.
  const bool wanted[] = {layers.background,
                         layers.tones,
                         layers.hatching && picture.hatched,
                         layers.hidden && picture.withHidden,
                         layers.lines,
                         layers.suggestive && picture.withSuggestive};
  for (size_t layer = 0; layer < std::size(kSvgLayerNames); ++layer) {
    if (!wanted[layer]) {
      continue;
    }
    openLayer(out, layer);
    const std::string_view name = kSvgLayerNames[layer];
    if (name == "background") {
      // Fills only: a plotter that draws every stroked outline draws no frame.
      out += " stroke=\"none\">\n";
      if (!picture.clearBackground) {
        out += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"" + hexColour(picture.background) +
               "\"/>\n";
      }
    } else if (name == "tones") {
      out += " stroke=\"none\">\n";
      appendTones(out, picture);
    } else if (name == "hatching") {
      out += ">\n";
      appendHatching(out, picture);
    } else if (name == "hidden") {
      const double width = std::max(1.0, picture.lineWidth * kHiddenWidth);
      out += " fill=\"none\" stroke=\"" + hexColour({kHiddenGrey, kHiddenGrey, kHiddenGrey}) +
             "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" stroke-width=\"";
      appendStrokeWidth(out, picture, width);
      out += "\" stroke-dasharray=\"";
      appendPoint(out, kHiddenDash * width, kHiddenGap * width);
      out += "\">\n";
      appendLines(out, picture.hidden);
    } else {
      const bool suggestive = name == "suggestive";
      out += " fill=\"none\" stroke=\"" + lineColourText(picture.lineColour) +
             "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" stroke-width=\"";
      appendStrokeWidth(out, picture,
                        suggestive ? std::max(1.0, picture.lineWidth * kSuggestiveWidth) : picture.lineWidth);
      out += "\">\n";
      appendLines(out, suggestive ? picture.suggestive : picture.lines);
    }
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

// Writing the SVG text: numbers to two decimals without trailing zeros, paths in short absolute commands.
#include "svg_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// x to at most two decimals, the shortest text that says it: "12", "12.5", "-0.25"; never "-0".
void appendNumber(std::string& out, double x) {
  char text[64];
  const auto [end, status] =
      std::to_chars(text, text + sizeof text, std::isfinite(x) ? x : 0.0, std::chars_format::fixed, 2);
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

void openLayer(std::string& out, const char* id) {
  out += "<g id=\"";
  out += id;
  out += "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
  out += id;
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
  appendNumber(out, picture.hatchWidth);
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

void appendLines(std::string& out, const VectorPicture& picture) {
  for (const Polyline& line : picture.lines) {
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

std::string svgDocument(const VectorPicture& picture, const SvgLayers& layers) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\"";
  const std::string w = std::to_string(picture.width), h = std::to_string(picture.height);
  out += " width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n";
  if (layers.background) {
    // Fills only: a plotter that draws every stroked outline draws no frame.
    openLayer(out, "background");
    out += " stroke=\"none\">\n";
    if (!picture.clearBackground) {
      out += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"" + hexColour(picture.background) + "\"/>\n";
    }
    out += "</g>\n";
  }
  if (layers.tones) {
    openLayer(out, "tones");
    out += " stroke=\"none\">\n";
    appendTones(out, picture);
    out += "</g>\n";
  }
  if (layers.hatching && picture.hatched) {
    openLayer(out, "hatching");
    out += ">\n";
    appendHatching(out, picture);
    out += "</g>\n";
  }
  if (layers.lines) {
    openLayer(out, "lines");
    out += " fill=\"none\" stroke=\"#000\" stroke-linecap=\"round\" stroke-linejoin=\"round\" stroke-width=\"";
    appendNumber(out, picture.lineWidth);
    out += "\">\n";
    appendLines(out, picture);
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

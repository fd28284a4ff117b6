// Reading page sizes, lengths and colours, the named palettes, and the options that take them.
#include "print_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <string>

#include "option_values.h"
#include "snap_options.h"

namespace {

struct NamedPage {
  const char* name;
  double width, height;
  const char* unit;
};

// ISO 216 and US Letter, upright.
constexpr NamedPage kNamedPages[] = {
    {"a3", 297, 420, "mm"}, {"a4", 210, 297, "mm"}, {"a5", 148, 210, "mm"}, {"letter", 8.5, 11, "in"}};

constexpr const char* kUnits[] = {"mm", "cm", "in"};

// The unit text ends in, if any of kUnits, with the number before it.
const char* splitUnit(std::string_view text, std::string_view& number) {
  for (const char* unit : kUnits) {
    if (text.ends_with(unit)) {
      number = text.substr(0, text.size() - 2);
      return unit;
    }
  }
  number = text;
  return nullptr;
}

// The luma of a colour (ITU-R BT.709 weights), as a grey.
Colour greyOf(const Colour& c) {
  const float luma = 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b;
  return {luma, luma, luma};
}

}  // namespace

bool parseLength(std::string_view text, const char* bareUnit, Length& length) {
  std::string_view number;
  const char* unit = splitUnit(text, number);
  if (!unit && !bareUnit) {
    return false;
  }
  double value = 0;
  if (!parseNumber(number, value) || value < 0) {
    return false;
  }
  length = {value, unit ? unit : bareUnit};
  return true;
}

bool parsePage(std::string_view text, SvgPage& page) {
  const std::string lower = lowerCase(text);
  for (const NamedPage& named : kNamedPages) {
    if (lower == named.name || lower == named.name + std::string("-landscape")) {
      const bool landscape = lower != named.name;
      page.width = landscape ? named.height : named.width;
      page.height = landscape ? named.width : named.height;
      page.unit = named.unit;
      return true;
    }
  }
  std::string_view sides;
  const char* unit = splitUnit(lower, sides);
  const size_t x = sides.find('x');
  double width = 0, height = 0;
  if (!unit || x == std::string_view::npos || !parseNumber(sides.substr(0, x), width) ||
      !parseNumber(sides.substr(x + 1), height) || width <= 0 || height <= 0) {
    return false;
  }
  page.width = width;
  page.height = height;
  page.unit = unit;
  return true;
}

bool parseColour(std::string_view text, Colour& colour) {
  if ((text.size() != 7 && text.size() != 4) || text[0] != '#') {
    return false;
  }
  // Each channel one digit, doubled ("#f80" is "#ff8800"), or two.
  const size_t digits = text.size() == 7 ? 2 : 1;
  float channels[3];
  for (size_t i = 0; i < 3; ++i) {
    unsigned value = 0;
    const char* first = text.data() + 1 + digits * i;
    const auto [end, status] = std::from_chars(first, first + digits, value, 16);
    if (status != std::errc() || end != first + digits) {
      return false;
    }
    channels[i] = static_cast<float>(digits == 2 ? value : value * 17) / 255.0f;
  }
  colour = {channels[0], channels[1], channels[2]};
  return true;
}

bool parseToneColours(std::string_view text, Palette& palette) {
  Colour tones[4];
  size_t count = 0;
  for (size_t start = 0; start <= text.size(); ++count) {
    const size_t comma = std::min(text.find(',', start), text.size());
    if (count == 4 || !parseColour(text.substr(start, comma - start), tones[count])) {
      return false;
    }
    start = comma + 1;
  }
  if (count != 4) {
    return false;
  }
  std::copy(std::begin(tones), std::end(tones), palette.tones);
  return true;
}

std::optional<PalettePreset> palettePreset(std::string_view name) {
  const Palette viewer = viewerPalette();
  constexpr Colour kWhite{1.0f, 1.0f, 1.0f};
  if (name == kPaletteNames[0]) {
    return PalettePreset{viewer, std::nullopt};
  }
  if (name == kPaletteNames[1]) {
    Palette grey = viewer;
    for (Colour& tone : grey.tones) {
      tone = greyOf(tone);
    }
    return PalettePreset{grey, kWhite};
  }
  if (name == kPaletteNames[2]) {
    return PalettePreset{{{kWhite, kWhite, kWhite, kWhite}, viewer.line}, kWhite};
  }
  return std::nullopt;
}

void addPrintOptions(CLI::App& app, SnapOptions& o, PrintChoices& choices) {
  addParsed<SvgPage>(
      app, "--page", parsePage, [&o](const SvgPage& page) { o.page = page; },
      "A3, A4, A5 or Letter (-landscape after it for the page on its side) or WxH with mm, cm or in",
      "an SVG's paper: A3, A4, A5 or Letter upright, A4-landscape and so on on its side, or WxH with mm, "
      "cm or in (200x150mm); the picture fitted inside the margin and centred, the document's size in "
      "that unit")
      ->type_name("PAGE");
  addParsed<Length>(
      app, "--margin", [](std::string_view text, Length& length) { return parseLength(text, "mm", length); },
      [&choices](const Length& margin) { choices.margin = margin; }, "a length such as 15, 15mm, 2cm or 1in",
      "the --page margin on every side, millimetres unless a unit (cm, in) follows; 10mm by default")
      ->type_name("LENGTH");
  addParsed<Length>(
      app, "--pen",
      [](std::string_view text, Length& length) {
        return parseLength(text, "mm", length) && length.value > 0;
      },
      [&o](const Length& pen) { o.penMillimetres = pen.value * millimetresPerUnit(pen.unit); },
      "a width above 0 such as 0.3mm",
      "an SVG's lines and hatching drawn as strokes of this width on paper (0.3mm; millimetres unless a "
      "unit follows), the hatching spaced for it; without --page at 96 pixels to the inch")
      ->type_name("WIDTH");
  addParsed<PalettePreset>(
      app, "--palette",
      [](std::string_view text, PalettePreset& preset) {
        const std::optional<PalettePreset> found = palettePreset(text);
        preset = found.value_or(preset);
        return found.has_value();
      },
      [&choices](const PalettePreset& preset) { choices.preset = preset; },
      std::string(kPaletteNames[0]) + ", " + kPaletteNames[1] + " or " + kPaletteNames[2],
      "the colours: viewer, the viewer's (the default); grey, grey tones as light as the viewer's on "
      "white, for print; paper, black lines on white. --tones, --line-colour and --background change a "
      "palette's own")
      ->type_name("NAME");
  addParsed<Palette>(
      app, "--tones", parseToneColours, [&choices](const Palette& tones) { choices.tones = tones; },
      "four colours #rrggbb,#rrggbb,#rrggbb,#rrggbb",
      "the four tones' colours, the lightest (faces towards the light) first, the tone turned away from "
      "it last")
      ->type_name("C1,C2,C3,C4");
  addParsed<Colour>(
      app, "--line-colour", parseColour, [&choices](const Colour& line) { choices.line = line; }, "#rrggbb",
      "the colour of the outline, contours and creases; black by default")
      ->type_name("#rrggbb");
  addParsed<double>(
      app, "--fps",
      [](std::string_view text, double& fps) {
        const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), fps);
        return status == std::errc() && end == text.data() + text.size() && fps >= 1 && fps <= 50;
      },
      [&choices](const double& fps) { choices.fps = fps; }, "a number from 1 to 50",
      "frames a second of an animated .webp or .gif turntable, which loops for ever")
      ->type_name("N")
      ->default_str("12");
}

bool resolvePrintChoices(const PrintChoices& choices, SnapOptions& o, std::string& error) {
  o.framesPerSecond = choices.fps.value_or(o.framesPerSecond);
  if (choices.preset || choices.tones || choices.line) {
    o.palette = choices.preset ? choices.preset->palette : viewerPalette();
    if (choices.tones) {
      std::copy(std::begin(choices.tones->tones), std::end(choices.tones->tones), o.palette->tones);
    }
    o.palette->line = choices.line.value_or(o.palette->line);
    if (!o.background && choices.preset && choices.preset->background) {
      const Colour& paper = *choices.preset->background;
      o.background = Background{paper.r, paper.g, paper.b, 1.0f};
    }
  }
  if (!o.page) {
    error = choices.margin ? "--margin is the margin of --page, and no page is given" : "";
    return error.empty();
  }
  const Length margin = choices.margin.value_or(Length{10, "mm"});
  o.page->margin = margin.value * millimetresPerUnit(margin.unit) / millimetresPerUnit(o.page->unit);
  if (2 * o.page->margin >= std::min(o.page->width, o.page->height)) {
    error = "--margin " + shortest(margin.value) + margin.unit + " leaves no room on a " +
            shortest(o.page->width) + "x" + shortest(o.page->height) + o.page->unit + " page";
    return false;
  }
  return true;
}

// Reading page sizes, lengths and colours, and the named palettes.
#include "print_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

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

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return lower;
}

// A finite number, the whole text.
bool parseNumber(std::string_view text, double& value) {
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  return status == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

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

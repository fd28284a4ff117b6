// nprsnap's options for print, pen plotters and animations: page sizes, lengths with units, colours and the
// named palettes as the options write them, and the options themselves. No GL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "svg_writer.h"
#include "tone.h"

namespace CLI {
class App;
}
struct SnapOptions;

// A length and its unit, one of "mm", "cm" and "in".
struct Length {
  double value = 0;
  std::string unit = "mm";
};

// Reads a length, the whole text: a finite number of at least 0 followed by mm, cm or in ("0.3mm", "1in"), or
// with bareUnit set a number alone, in that unit. False for anything else.
bool parseLength(std::string_view text, const char* bareUnit, Length& length);

// Reads a page: A3, A4, A5 or Letter (in any case) upright, the same followed by "-landscape" turned on its
// side, or WxH with a unit after them ("200x150mm", "8.5x11in"), each side above 0. Fills width, height and
// unit of page (millimetres for the A sizes, inches for Letter); leaves its margin. False for anything else.
bool parsePage(std::string_view text, SvgPage& page);

// Reads "#rrggbb" or "#rgb" in hexadecimal digits of either case. False for anything else.
bool parseColour(std::string_view text, Colour& colour);

// Reads four colours separated by commas, lightest tone first, into palette's tones. False for anything
// else.
bool parseToneColours(std::string_view text, Palette& palette);

// A named palette: its colours, and the background it goes with (unset: the viewer's grey-blue).
struct PalettePreset {
  Palette palette;
  std::optional<Colour> background;
};

// The names of the palettes, as --palette takes them.
constexpr const char* kPaletteNames[] = {"viewer", "grey", "paper"};

// The palette of a name from kPaletteNames: the viewer's own colours; grey tones as light as the viewer's on
// white paper; or white tones on white, black lines only. Unset for any other name.
std::optional<PalettePreset> palettePreset(std::string_view name);

// What those options said, kept until all are read, so that their order does not matter.
struct PrintChoices {
  std::optional<Length> margin;
  std::optional<PalettePreset> preset;
  std::optional<Palette> tones;  // only its tones were given
  std::optional<Colour> line;
  std::optional<double> fps;
};

// Adds --page, --pen, --margin, --palette, --tones, --line-colour and --fps to app: the first two set options
// as they are read, the others choices, each refusal saying what the option wants.
void addPrintOptions(CLI::App& app, SnapOptions& options, PrintChoices& choices);

// Sets options from choices: the palette with explicit colours over its own, its paper as the background
// unless one is given, the page's margin in the page's unit (10 mm by default), the frame rate. Returns false
// and fills error (one line) for a margin without a page or one that leaves no room.
bool resolvePrintChoices(const PrintChoices& choices, SnapOptions& options, std::string& error);

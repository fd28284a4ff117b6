// The formats nprsnap writes, in one table: the extension that names each, and what it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class OutputFormat { Png, Svg, WebP, Gif };

struct OutputFormatEntry {
  std::string_view extension;  // lower case, without the dot
  OutputFormat format;
  std::string_view description;  // for --help: "a PNG picture"
  bool vector;                   // drawn as vectors: no hatching image is read for it
  bool animated;                 // one file holds every frame of a turntable
};

inline constexpr OutputFormatEntry kOutputFormats[] = {
    {"png", OutputFormat::Png, "a PNG picture", false, false},
    {"svg", OutputFormat::Svg, "an SVG document", true, false},
    {"webp", OutputFormat::WebP, "one animated WebP of every frame", false, true},
    {"gif", OutputFormat::Gif, "one animated GIF of every frame", false, true},
};

// What nprsnap writes where a name says nothing: a stream (-, /dev/fd/N) or a name without an extension.
inline constexpr OutputFormat kDefaultOutputFormat = OutputFormat::Png;

// The extension of the last name of path, lower case, without the dot: what follows its last dot when that
// is 1 to 5 letters or digits, as picture formats name themselves (png, jpg, webp); a leading dot counts,
// so ".svg" has one. Empty for a name without one, among them the 6-character random endings of temporary
// names (a thumbnailer's "/tmp/.gnome_desktop_thumbnail.Xa3Bq9") and "/dev/fd/3".
std::string outputExtension(std::string_view path);

// The format path's extension names, in any case; kDefaultOutputFormat for a name without an extension.
// Empty for an extension that names no format of the table ("a.jpg").
std::optional<OutputFormat> outputFormatOf(std::string_view path);

// The entry of format.
const OutputFormatEntry& outputFormatEntry(OutputFormat format);

// The table's extensions for a message: ".png or .svg".
std::string outputExtensionList();

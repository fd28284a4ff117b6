// Parsing nprsnap's arguments into options, with one line of explanation for anything refused.
#include "snap_options.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

const char* const kSnapUsage =
    "Usage: nprsnap MODEL.poly -o OUT.png [options]\n"
    "Draws MODEL as the nprview window shows it, offscreen, and writes the picture as a PNG.\n"
    "Run it where the viewer runs (the repository root): the hatching images are read from data/.\n"
    "\n"
    "  -o, --output FILE      the PNG to write (required)\n"
    "  --size N | WxH         picture size in pixels (default 768x768, the viewer's window)\n"
    "  --yaw DEGREES          camera yaw (default 0)\n"
    "  --pitch DEGREES        camera pitch (default 0)\n"
    "  --distance D           camera distance from its target (default 1)\n"
    "  --light-yaw DEGREES    light yaw, added to the camera's (default 90)\n"
    "  --light-pitch DEGREES  light pitch, added to the camera's (default 45)\n"
    "  --outline PIXELS       silhouette width, at least 1 (default 5)\n"
    "  --hatching             pencil hatching instead of flat tones (the viewer's T key)\n"
    "  --no-hatching          flat tones (the default)\n"
    "  --hatching-space eye|object\n"
    "                         hatching fixed to the view (eye, the viewer's look and the default) or to\n"
    "                         the model's surface, keeping its strokes' width in pixels (object)\n"
    "  --reversed             the mesh is wound clockwise as seen from outside\n"
    "  --no-reversed          the mesh is wound counter-clockwise\n"
    "                         (default: reversed for tpot-unit.poly and bunny-unit.poly, as in the viewer)\n"
    "  -h, --help             this text\n"
    "\n"
    "Exit status: 0 when the PNG is written, 1 when the model, the GL context or the file fails,\n"
    "2 for bad arguments; each failure is one line on standard error.\n";

namespace {

// Larger than any EGL pbuffer offered today; the context reports the driver's own limit.
constexpr int kMaxSide = 16384;

std::string quoted(std::string_view text) {
  std::string result(1, '"');
  result.append(text);
  result.push_back('"');
  return result;
}

bool parseFloat(std::string_view text, float& value) {
  float parsed = 0.0f;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}

bool parseInt(std::string_view text, int low, int high, int& value) {
  int parsed = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (status != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

// "N" for a square picture or "WxH".
bool parseSize(std::string_view text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) {
    if (!parseInt(text, 1, kMaxSide, width)) {
      return false;
    }
    height = width;
    return true;
  }
  return parseInt(text.substr(0, x), 1, kMaxSide, width) && parseInt(text.substr(x + 1), 1, kMaxSide, height);
}

// Applies one option that takes a value; returns the error line, empty when it was accepted.
std::string applyValue(std::string_view name, std::string_view value, SnapOptions& options) {
  if (name == "-o" || name == "--output") {
    if (value.empty()) {
      return "the output file name is empty";
    }
    options.outputPath = value;
    return {};
  }
  if (name == "--size") {
    return parseSize(value, options.width, options.height)
               ? std::string()
               : "--size wants N or WxH with sides from 1 to " + std::to_string(kMaxSide) + ", not " +
                     quoted(value);
  }
  if (name == "--hatching-space") {
    if (value != "eye" && value != "object") {
      return "--hatching-space wants eye or object, not " + quoted(value);
    }
    options.hatchingSpace = value == "eye" ? HatchingSpace::Eye : HatchingSpace::Object;
    return {};
  }
  if (name == "--outline") {
    return parseInt(value, 1, std::numeric_limits<int>::max(), options.outlineWidth)
               ? std::string()
               : "--outline wants a whole number of pixels, at least 1, not " + quoted(value);
  }
  struct FloatOption {
    std::string_view name;
    float SnapOptions::*field;
    const char* unit;
  };
  static const FloatOption kFloats[] = {
      {"--yaw", &SnapOptions::cameraYaw, "degrees"},
      {"--pitch", &SnapOptions::cameraPitch, "degrees"},
      {"--distance", &SnapOptions::cameraDistance, "a distance"},
      {"--light-yaw", &SnapOptions::lightYawOffset, "degrees"},
      {"--light-pitch", &SnapOptions::lightPitchOffset, "degrees"},
  };
  for (const FloatOption& option : kFloats) {
    if (name == option.name) {
      return parseFloat(value, options.*option.field)
                 ? std::string()
                 : std::string(name) + " wants a number (" + option.unit + "), not " + quoted(value);
    }
  }
  return "unknown option " + quoted(name);
}

bool takesValue(std::string_view name) {
  for (std::string_view known : {"-o", "--output", "--size", "--outline", "--hatching-space", "--yaw", "--pitch", "--distance",
                                 "--light-yaw", "--light-pitch"}) {
    if (name == known) {
      return true;
    }
  }
  return false;
}

// Flags without a value; false for anything else.
bool applyFlag(std::string_view name, SnapOptions& options) {
  if (name == "--hatching" || name == "--no-hatching") {
    options.hatching = name == "--hatching";
  } else if (name == "--reversed" || name == "--no-reversed") {
    options.reversedWinding = name == "--reversed";
  } else {
    return false;
  }
  return true;
}

}  // namespace

SnapArguments parseSnapArguments(int argc, const char* const argv[]) {
  SnapArguments result;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      return {SnapOptions{}, true, {}};
    }
  }
  SnapOptions& options = result.options;
  for (int i = 1; i < argc && result.error.empty(); ++i) {
    const std::string_view argument = argv[i];
    if (argument.size() < 2 || argument[0] != '-') {
      if (!options.modelPath.empty()) {
        result.error = "one model at a time: unexpected " + quoted(argument);
      } else if (argument.empty()) {
        result.error = "the model file name is empty";
      } else {
        options.modelPath = argument;
      }
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    if (applyFlag(argument, options)) {
      continue;
    }
    if (!takesValue(name)) {
      result.error = "unknown option " + quoted(name);
    } else if (equals != std::string_view::npos) {
      result.error = applyValue(name, argument.substr(equals + 1), options);
    } else if (i + 1 < argc) {
      result.error = applyValue(name, argv[++i], options);
    } else {
      result.error = quoted(name) + " needs a value";
    }
  }
  if (result.error.empty() && options.modelPath.empty()) {
    result.error = "no model file given";
  } else if (result.error.empty() && options.outputPath.empty()) {
    result.error = "no output file given (-o OUT.png)";
  }
  return result;
}

bool isReversedByName(std::string_view modelPath) {
  const std::string name = std::filesystem::path(modelPath).filename().string();
  return name == "tpot-unit.poly" || name == "bunny-unit.poly";
}

DrawState drawStateOf(const SnapOptions& options) {
  const Camera camera{
      Orbit, {0.0f, 0.1f, 0.0f}, options.cameraPitch, options.cameraYaw, options.cameraDistance};
  const bool reversed = options.reversedWinding.value_or(isReversedByName(options.modelPath));
  return {camera,   options.lightYawOffset, options.lightPitchOffset,
          reversed, options.outlineWidth,   options.hatching, options.hatchingSpace};
}

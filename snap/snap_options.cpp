// nprsnap's command line through CLI11: one table of options, each refusal one line saying why.
#include "snap_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

#include "option_values.h"
#include "output_file.h"
#include "output_format.h"
#include "print_options.h"
#include "svg_writer.h"
#include "turntable.h"

namespace {

// A sanity bound that keeps W x H x samples in range; the GL driver's own limit is checked when the
// context is made.
constexpr int kMaxSide = 16384;
constexpr int kMaxSamples = 8;
constexpr int kMaxFrames = 10000;
// A year: past that a limit means none, and the timer's arithmetic stays in range.
constexpr float kMaxTimeLimit = 365.0f * 24 * 3600;

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

// "transparent", or a colour.
bool parseBackground(std::string_view text, Background& background) {
  if (text == "transparent") {
    background = Background{};
    return true;
  }
  Colour colour;
  if (!parseColour(text, colour)) {
    return false;
  }
  background = {colour.r, colour.g, colour.b, 1.0f};
  return true;
}

bool asks(const std::vector<std::string>& layers, std::string_view name) {
  return std::find(layers.begin(), layers.end(), name) != layers.end();
}

// The file names nprsnap draws with reversed winding, as the viewer draws its slots.
std::string reversedFileNames() {
  std::string names;
  for (int slot = 0; slot < kModelSlots; ++slot) {
    if (isReversedWinding(slot)) {
      const std::string_view path = kModelPaths[slot];
      names += (names.empty() ? "" : " and ") + std::string(path.substr(path.rfind('/') + 1));
    }
  }
  return names;
}

// ".PNG" and ".png" alike: extensions are compared in lower case.
std::string lowerCaseExtension(std::string_view path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return extension;
}

// The layer names for messages: "background, tones, hatching and lines".
std::string layerNames() {
  std::string names;
  for (size_t i = 0; i < std::size(kSvgLayerNames); ++i) {
    names += (i == 0 ? "" : i + 1 == std::size(kSvgLayerNames) ? " and " : ", ");
    names += kSvgLayerNames[i];
  }
  return names;
}

// "lines,hatching": each a layer's name, none empty. Returns false, layers as before, otherwise.
bool parseLayers(std::string_view text, std::vector<std::string>& layers) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= text.size();) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view name = text.substr(start, comma - start);
    if (std::find(std::begin(kSvgLayerNames), std::end(kSvgLayerNames), name) == std::end(kSvgLayerNames)) {
      return false;
    }
    names.emplace_back(name);
    start = comma + 1;
  }
  layers = std::move(names);
  return true;
}

// ".png a PNG picture, .svg an SVG document", from the table of formats.
std::string formatHelp() {
  std::string help;
  for (const OutputFormatEntry& entry : kOutputFormats) {
    help +=
        (help.empty() ? "." : ", .") + std::string(entry.extension) + " " + std::string(entry.description);
  }
  return help;
}

// Every option, once: its spellings, where its value goes, what it accepts and its line of help.
void addOptions(CLI::App& app, SnapOptions& o) {
  app.add_option(
      "MODEL", o.modelPath,
      "the model to draw: a .poly file (or a name without extension) as the viewer loads it, or any mesh "
      "file assimp reads (OBJ, PLY, "
      "STL, glTF, OFF, ...) in the unit box, wound counter-clockwise, as mesh2poly --unit --winding ccw "
      "converts it");
  app.add_option(
         "-o,--output", o.outputPath,
         "the picture to write (required), in the format its extension names, in any case: " + formatHelp() +
             "; any other extension is refused. A name without one (what follows its last dot, when 1 to 5 "
             "letters or digits) is written as a PNG, as are - and /dev/stdout (standard output) and "
             "/dev/fd/N (descriptor N)")
      ->type_name("FILE");
  app.add_option_function<std::string>(
         "--size", [&o](const std::string& text) { parseSize(text, o.width, o.height); },
         "picture size in pixels, the viewer's window by default: sides from 1 to " +
             std::to_string(kMaxSide) +
             ", each times --samples at most the GL driver's largest framebuffer side (16384 with Mesa)")
      ->check(CLI::Validator(
          [](std::string& text) {
            int width, height;
            return parseSize(text, width, height) ? std::string()
                                                  : "wants N or WxH with sides from 1 to " +
                                                        std::to_string(kMaxSide) + ", not " + inQuotes(text);
          },
          ""))
      ->type_name("N|WxH")
      ->default_str(std::to_string(o.width) + "x" + std::to_string(o.height));
  addNumber(app, "--yaw", o.cameraYaw, "degrees", "camera yaw");
  addNumber(app, "--pitch", o.cameraPitch, "degrees", "camera pitch");
  addNumber(app, "--distance", o.cameraDistance, "a distance", "camera distance from its target");
  addNumber(app, "--light-yaw", o.lightYawOffset, "degrees", "light yaw, added to the camera's");
  addNumber(app, "--light-pitch", o.lightPitchOffset, "degrees", "light pitch, added to the camera's");
  addWholeNumber(app, "--outline", o.outlineWidth, 1, std::numeric_limits<int>::max(),
                 "silhouette width in pixels, at most the picture's larger side");
  app.add_flag(
         "--hatching,!--no-hatching", o.hatching,
         "pencil hatching instead of flat tones (the viewer's T key); --no-hatching: flat tones, the default")
      ->disable_flag_override()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option_function<std::string>(
         "--hatching-space",
         [&o](const std::string& text) {
           o.hatchingSpace = text == "object" ? HatchingSpace::Object : HatchingSpace::Eye;
           o.strokesAlongSurface = text == "surface";
         },
         "where the hatching is fixed: eye, to the view, as the viewer has it; object, to the model's "
         "surface, its strokes keeping their width and spacing in pixels at any distance; surface, strokes "
         "traced along the surface's curvature, evenly spaced, denser and crossed where the tone is darker")
      ->check(CLI::Validator(
          [](std::string& text) {
            return text == "eye" || text == "object" || text == "surface"
                       ? std::string()
                       : "wants eye, object or surface, not " + inQuotes(text);
          },
          ""))
      ->type_name("eye|object|surface")
      ->default_str("eye");
  app.add_option_function<std::string>(
         "--shading",
         [&o](const std::string& text) { o.shading = text == "smooth" ? Shading::Smooth : Shading::Flat; },
         "flat: one tone per face, as the viewer has it; smooth: the tone of every pixel from the normals "
         "interpolated across each face (split at the --creases angle, else at 30 degrees), so that the "
         "tones' edges are smooth curves")
      ->check(CLI::IsMember({"flat", "smooth"}).description(""))
      ->type_name("flat|smooth")
      ->default_str("flat");
  app.add_flag_function(
         "--reversed,!--no-reversed", [&o](std::int64_t count) { o.reversedWinding = count > 0; },
         "the mesh is wound clockwise (--no-reversed: counter-clockwise) as seen from outside; by default on "
         "for " +
             reversedFileNames() + ", as the viewer has it")
      ->disable_flag_override()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option_function<std::string>(
         "--up",
         [&o](const std::string& text) { o.up = text == "x"   ? Axis::X
                                                : text == "z" ? Axis::Z
                                                              : Axis::Y; },
         "an imported mesh is turned so that this axis points up, as mesh2poly's --up")
      ->check(CLI::IsMember({"x", "y", "z"}).description(""))
      ->type_name("x|y|z")
      ->default_str("y");
  app.add_option_function<std::string>(
         "--turn", [&o](const std::string& text) { o.turn = parseDouble(text); },
         "then turned about the vertical axis by this many degrees, as mesh2poly's --turn")
      ->check(CLI::Validator(
          [](std::string& text) {
            return std::isfinite(parseDouble(text)) ? std::string()
                                                    : "wants a number (degrees), not " + inQuotes(text);
          },
          ""))
      ->type_name("DEGREES")
      ->default_str("0");
  addWholeNumber(app, "--samples", o.samples, 1, kMaxSamples,
                 "antialiasing: the picture drawn N times larger in each direction, with the outline N times "
                 "wider, each N x N block averaged into one pixel");
  addWholeNumber(
      app, "--turntable", o.turntableFrames, 1, kMaxFrames,
      "N pictures around the model, the camera's yaw stepping by 360/N from --yaw; the output name "
      "takes one integer field for the frame number, 0 first (-o turn-%03d.png), or names one animated "
      ".webp or .gif")
      ->default_str("");
  app.add_option_function<std::string>(
         "--creases",
         [&o](const std::string& text) {
           float degrees = 0.0f;
           if (parseFloat(text, degrees)) {
             o.creaseDegrees = degrees;
           }
         },
         "also black lines, as wide as the outline, on the edges where the faces turn by DEGREES or more "
         "(0 to 180), and on the border of an open mesh; off by default. The lines of --lines contour and "
         "suggestive take the surface as faceted at those edges and smooth elsewhere (at 30 degrees without "
         "it)")
      ->check(CLI::Validator(
          [](std::string& text) {
            float degrees = 0.0f;
            return parseFloat(text, degrees) && degrees >= 0.0f && degrees <= 180.0f
                       ? std::string()
                       : "wants an angle from 0 to 180 degrees, not " + inQuotes(text);
          },
          ""))
      ->type_name("DEGREES");
  app.add_option_function<std::string>(
         "--background",
         [&o](const std::string& text) {
           Background background;
           if (parseBackground(text, background)) {
             o.background = background;
           }
         },
         "what lies behind the model: a colour #rrggbb, or transparent for a picture with an alpha "
         "channel, 0 wherever the model is not; the viewer's grey-blue by default")
      ->check(CLI::Validator(
          [](std::string& text) {
            Background unused;
            return parseBackground(text, unused) ? std::string()
                                                 : "wants #rrggbb or transparent, not " + inQuotes(text);
          },
          ""))
      ->type_name("#rrggbb|transparent");
  app.add_option_function<std::string>(
         "--lines",
         [&o](const std::string& text) {
           o.lines = text == "contour"      ? LineMode::Contour
                     : text == "suggestive" ? LineMode::Suggestive
                                            : LineMode::Outline;
         },
         "outline: the viewer's outline pass; contour: the visible contours of the surface (where its "
         "smoothly "
         "interpolated normal turns across the view, and the mesh's own edges where it is faceted), as wide "
         "as "
         "--outline with round ends (and with --creases its visible creases and borders); suggestive: those "
         "and "
         "the visible suggestive contours, half as wide, where the surface folds away short of a contour")
      ->check(CLI::IsMember({"outline", "contour", "suggestive"}).description(""))
      ->type_name("outline|contour|suggestive")
      ->default_str("outline");
  app.add_flag(
         "--hidden-lines,!--no-hidden-lines", o.hiddenLines,
         "also the hidden parts of the contours, creases and borders, dashed, grey and half as wide, under "
         "the visible lines (in an SVG, the layer hidden); off by default")
      ->disable_flag_override()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  // A number from 0 up, the whole text.
  const auto parseNonNegative = [](std::string_view text, float& value) {
    float read = -1.0f;
    if (!parseFloat(text, read) || read < 0.0f) {
      return false;
    }
    value = read;
    return true;
  };
  addParsed<float>(
      app, "--suggestive-threshold", parseNonNegative,
      [&o](const float& value) { o.suggestiveThreshold = value; }, "a number from 0 up",
      "with --lines suggestive: how fast the surface must fold away from the eye for a suggestive contour to "
      "be kept (its radial curvature's derivative along the view, times the squared distance to the eye and "
      "the tangent of the view's angle to the surface); higher keeps fewer, 0 all")
      ->default_str(shortest(kDefaultSuggestiveThreshold))
      ->type_name("T");
  addNumber(
      app, "--smoothing", o.smoothing, "a distance",
      "for the lines of --lines contour and suggestive: the surface's normals and curvature averaged over "
      "this radius in the model's units (nprsnap shows a model about 1 across), which quiets a scan's "
      "noise; 0, the default, leaves them as the mesh has them")
      ->check(CLI::Validator(
          [parseNonNegative](std::string& text) {
            float unused;
            return parseNonNegative(text, unused) ? std::string()
                                                  : "wants a distance from 0 up, not " + inQuotes(text);
          },
          ""))
      ->type_name("RADIUS");
  app.add_option_function<std::string>(
         "--layers", [&o](const std::string& text) { parseLayers(text, o.layers); },
         "an SVG's layers to write, a comma-separated list of " + layerNames() +
             ", always in that order (hatching with --hatching, hidden with --hidden-lines, suggestive with "
             "--lines suggestive; lines,hatching for a pen plotter); all by default")
      ->check(CLI::Validator(
          [](std::string& text) {
            std::vector<std::string> unused;
            return parseLayers(text, unused)
                       ? std::string()
                       : "wants a comma-separated list of " + layerNames() + ", not " + inQuotes(text);
          },
          ""))
      ->type_name("LIST");
  app.add_option_function<std::string>(
         "--time-limit",
         [&o](const std::string& text) {
           float seconds = 0.0f;
           if (parseFloat(text, seconds)) {
             o.timeLimit = seconds;
           }
         },
         "end the run after this many seconds of wall-clock time, with one line and exit status 1, nothing "
         "written (the frames a turntable finished stay); no limit by default")
      ->check(CLI::Validator(
          [](std::string& text) {
            float seconds = 0.0f;
            return parseFloat(text, seconds) && seconds > 0.0f && seconds <= kMaxTimeLimit
                       ? std::string()
                       : "wants a number of seconds above 0, at most " + shortest(kMaxTimeLimit) + ", not " +
                             inQuotes(text);
          },
          ""))
      ->type_name("SECONDS");
}

constexpr const char* kDescription =
    "Draws MODEL as the nprview window shows it, offscreen, and writes the picture as a PNG, or as an SVG\n"
    "document (tones, hatching and lines as vectors) for an output name ending in .svg, on paper with\n"
    "--page; a turntable goes into one animated file for a name ending in .webp or .gif.\n"
    "For a PNG with hatching, the hatching images are read from data/ in the working directory, as the\n"
    "viewer reads them, else from the data installed with the program (share/nprview/data), else, for a\n"
    "program run from its build tree, from the source tree's data/.";

void describe(CLI::App& app, SnapOptions& options, PrintChoices& choices) {
  // An option given twice keeps its last value, as the flags' on and off spellings do.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.set_version_flag("--version", "nprsnap " NPRVIEW_VERSION, "print the version and exit");
  addOptions(app, options);
  addPrintOptions(app, options, choices);
  app.footer(
      "Values go in the next argument or after '=' (--yaw=-30).\n"
      "Exit status: 0 when the pictures are written; 2 for bad arguments, a size the GL driver cannot draw "
      "or "
      "an\n"
      "output that is the model itself; 1 when the model, the GL context, the hatching images asked for or "
      "the\n"
      "output fails, or the time limit ends the run. Each failure is one line on standard error.");
}

}  // namespace

SnapArguments parseSnapArguments(int argc, const char* const argv[]) {
  SnapArguments result;
  // Help wins over everything else on the line, even arguments that would be refused.
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      result.help = true;
      return result;
    }
  }
  SnapOptions& options = result.options;
  PrintChoices choices;
  try {
    CLI::App app(kDescription, "nprsnap");
    describe(app, options, choices);
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion& version) {
    result.version = version.what();
    return result;
  } catch (const CLI::Error& error) {
    result.error = error.what();
    return result;
  }
  if (options.modelPath.empty()) {
    result.error = "no model file given";
  } else if (options.outputPath.empty()) {
    result.error = "no output file given (-o OUT.png)";
  } else if ((options.up || options.turn) && isPolyFile(options.modelPath)) {
    result.error = "--up and --turn turn imported meshes; a .poly model is drawn as the viewer loads it";
  } else if (FrameNamePattern pattern; options.turntableFrames > 0 && !isAnimationFile(options.outputPath) &&
                                       !parseFrameNamePattern(options.outputPath, pattern, result.error)) {
    result.error = "--output with --turntable: " + result.error;
  } else if (options.outlineWidth > std::max(options.width, options.height)) {
    result.error = "--outline " + std::to_string(options.outlineWidth) +
                   ": wider than the picture, whose larger side is " +
                   std::to_string(std::max(options.width, options.height)) + " pixels";
  } else if (!options.layers.empty() && runFormat(options) != OutputFormat::Svg) {
    result.error = "--layers picks the layers of an SVG document; the output is not a .svg";
  } else if (asks(options.layers, "hatching") && !options.hatching) {
    result.error = "--layers hatching needs --hatching";
  } else if (asks(options.layers, "hidden") && !options.hiddenLines) {
    result.error = "--layers hidden needs --hidden-lines";
  } else if (asks(options.layers, "suggestive") && options.lines != LineMode::Suggestive) {
    result.error = "--layers suggestive needs --lines suggestive";
  } else if (options.suggestiveThreshold && options.lines != LineMode::Suggestive) {
    result.error = "--suggestive-threshold needs --lines suggestive";
  } else if ((options.page || options.penMillimetres) && runFormat(options) != OutputFormat::Svg) {
    result.error = std::string(options.page ? "--page sets the paper" : "--pen sets the pen") +
                   " of an SVG document; the output is not a .svg";
  } else if (choices.fps && !isAnimationFile(options.outputPath)) {
    result.error = "--fps sets an animation's frame rate; the output is not a .webp or .gif";
  } else if (std::string why; !resolvePrintChoices(choices, options, why)) {
    result.error = why;
  }
  // Every name is checked before the first picture is drawn, rather than found wrong after it.
  for (const std::string& name : result.error.empty() ? outputNames(options) : std::vector<std::string>()) {
    if (std::string why; !isNameWithinLimits(name, why)) {
      result.error = "--output \"" + name + "\": " + why;
      break;
    }
    if (!outputFormatOf(name)) {
      result.error = "the output " + name + ": its extension names no format nprsnap writes (" +
                     outputExtensionList() + ")";
      break;
    }
  }
  return result;
}

bool isPolyFile(std::string_view modelPath) {
  const std::string extension = lowerCaseExtension(modelPath);
  return extension == ".poly" || extension.empty();
}

OutputFormat runFormat(const SnapOptions& options) {
  return outputFormatOf(outputNames(options).front()).value_or(kDefaultOutputFormat);
}

bool isAnimationFile(std::string_view outputPath) {
  const std::optional<OutputFormat> format = outputFormatOf(outputPath);
  return format && outputFormatEntry(*format).animated;
}

ImportOptions importOptionsOf(const SnapOptions& options) {
  // The model's vertex normals are never drawn.
  return {true, Winding::CounterClockwise, options.up.value_or(Axis::Y), options.turn.value_or(0.0), false};
}

std::vector<std::string> outputNames(const SnapOptions& options) {
  if (options.turntableFrames <= 0 || isAnimationFile(options.outputPath)) {
    return {options.outputPath};
  }
  FrameNamePattern pattern;
  std::string error;
  parseFrameNamePattern(options.outputPath, pattern, error);
  std::vector<std::string> names;
  for (int frame = 0; frame < options.turntableFrames; ++frame) {
    names.push_back(frameFileName(pattern, frame));
  }
  return names;
}

std::string snapHelp() {
  SnapOptions defaults;
  PrintChoices choices;
  CLI::App app(kDescription, "nprsnap");
  describe(app, defaults, choices);
  return app.help();
}

bool isReversedByName(std::string_view modelPath) {
  return isReversedWinding(slotOfFileName(modelPath));
}

DrawState drawStateOf(const SnapOptions& options) {
  Camera camera = kStartUpState.camera;
  camera.pitch = options.cameraPitch;
  camera.yaw = options.cameraYaw;
  camera.distance = options.cameraDistance;
  const bool reversed = options.reversedWinding.value_or(isReversedByName(options.modelPath));
  DrawState state{
      camera,           options.lightYawOffset, options.lightPitchOffset, reversed, options.outlineWidth,
      options.hatching, options.hatchingSpace};
  state.palette = options.palette ? &*options.palette : nullptr;
  return state;
}

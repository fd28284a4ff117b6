// nprsnap's command line: what to draw, from where, and into which file. Pure, no GL.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mesh_import.h"
#include "model_catalogue.h"
#include "output_format.h"
#include "svg_writer.h"
#include "tone.h"
#include "visible_lines.h"

// What lies behind the model: a colour, each channel from 0 to 1, with alpha 1; or nothing, alpha 0, for
// a picture whose empty pixels are transparent.
struct Background {
  float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
  bool transparent() const { return alpha == 0.0f; }
};
// How the lines are drawn: the viewer's outline pass over the inner faces, the surface's visible contours
// as strokes, or those and its suggestive contours.
enum class LineMode { Outline, Contour, Suggestive };
// How the tones fall: one per face as the viewer has them, or per pixel from the normals interpolated
// across each face, so that the bands' edges are smooth curves.
enum class Shading { Flat, Smooth };

// The viewer's state at start-up, and the size of its window, unless an option says otherwise.
struct SnapOptions {
  std::string modelPath;
  std::string outputPath;
  int width = kStartUpWindowSide;
  int height = kStartUpWindowSide;
  float cameraYaw = kStartUpState.camera.yaw;  // degrees
  float cameraPitch = kStartUpState.camera.pitch;
  float cameraDistance = kStartUpState.camera.distance;
  float lightYawOffset = kStartUpState.lightYawOffset;  // degrees added to the camera's
  float lightPitchOffset = kStartUpState.lightPitchOffset;
  int outlineWidth = kStartUpState.outlineWidth;
  bool hatching = kStartUpState.texturesEnabled;
  HatchingSpace hatchingSpace = kStartUpState.hatchingSpace;
  // --hatching-space surface: strokes traced along the surface take the place of the hatching textures.
  bool strokesAlongSurface = false;
  Shading shading = Shading::Flat;
  std::optional<bool> reversedWinding;  // unset: judged by the model's file name
  std::optional<Axis> up;               // turns an imported mesh so that this axis points up
  std::optional<double> turn;           // then turns it about the vertical, in degrees
  int samples = 1;                      // drawn this many times larger in each direction, then averaged
  int turntableFrames = 0;              // 0: one picture; else this many around the model
  std::optional<float> creaseDegrees;   // set: lines on edges whose faces differ by this much, and borders
  // Unset: the viewer's grey-blue, the picture opaque.
  std::optional<Background> background;
  LineMode lines = LineMode::Outline;
  bool hiddenLines = false;                  // the hidden parts of the lines too, dashed
  std::optional<float> suggestiveThreshold;  // unset: kDefaultSuggestiveThreshold
  float smoothing = 0.0f;  // the radius, in model units, the surface's normals and curvature are averaged over
  std::vector<std::string> layers;           // an SVG's layers to write, by name; empty for all
  std::optional<float> timeLimit;            // seconds of wall-clock time the run may take
  std::optional<SvgPage> page;               // an SVG's paper, its margin included; unset: sized in pixels
  std::optional<double> penMillimetres;      // an SVG's lines and hatching drawn with a pen this wide
  // Colours in place of the viewer's (--palette, with --tones and --line-colour over it); unset: the
  // viewer's.
  std::optional<Palette> palette;
  double framesPerSecond = 12;  // an animation's
};

struct SnapArguments {
  SnapOptions options;
  bool help = false;  // -h or --help was given; nothing else is checked then
  // The line to print when --version was given and nothing before it failed.
  std::string version;
  std::string error;  // empty when the arguments are complete and valid, else one line saying why not
};

// Reads argv[1..argc-1]: one model path, -o/--output, and the options that snapHelp lists, each value
// either the next argument or after "=". Numbers must be finite and whole where counts are asked for; an
// option given twice keeps its last value. The output's extension must name a format nprsnap writes
// (outputFormatOf), and the outline may be no wider than the picture's larger side.
SnapArguments parseSnapArguments(int argc, const char* const argv[]);

// The viewer keys reversed winding on the slot; outside the viewer the file name is what is left to judge
// by: true for a file named as one of the reversed slots' files, wherever it lies.
bool isReversedByName(std::string_view modelPath);

// The renderer's state for these options: the viewer's orbit camera around its start-up target at the
// given angles and distance, the light offsets, the outline width, hatching, the winding, and the palette,
// which points into options.
DrawState drawStateOf(const SnapOptions& options);

// True for a model the viewer's loader reads: a name ending in ".poly" (in any case), or one with no
// extension at all, such as /dev/stdin. Any other goes through the import.
bool isPolyFile(std::string_view modelPath);

// The format of the pictures a run writes: that of the first name it writes (a turntable's frame 0).
OutputFormat runFormat(const SnapOptions& options);

// True for an output that holds every frame of a turntable in one animated file: WebP or GIF.
bool isAnimationFile(std::string_view outputPath);

// How nprsnap imports a mesh that is not a ".poly": into the unit box, wound counter-clockwise as the
// sphere's slot is, turned by --up and --turn; as mesh2poly --unit --winding ccw converts it, less the
// normals, which nothing draws.
ImportOptions importOptionsOf(const SnapOptions& options);

// The files a run writes: the output path, or with a turntable that is no animation each frame's name from
// it, frame 0 first.
// Needs options as parseSnapArguments accepts them.
std::vector<std::string> outputNames(const SnapOptions& options);

// The text of --help: every option with its default, and the exit statuses.
std::string snapHelp();

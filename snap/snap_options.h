// nprsnap's command line: what to draw, from where, and into which file. Pure, no GL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hatch_renderer.h"

// The viewer's state at start-up, and the size of its window, unless an option says otherwise.
struct SnapOptions {
  std::string modelPath;
  std::string outputPath;
  int width = 768;
  int height = 768;
  float cameraYaw = 0.0f;  // degrees
  float cameraPitch = 0.0f;
  float cameraDistance = 1.0f;
  float lightYawOffset = 90.0f;  // degrees added to the camera's
  float lightPitchOffset = 45.0f;
  int outlineWidth = 5;
  bool hatching = false;
  HatchingSpace hatchingSpace = HatchingSpace::Eye;
  std::optional<bool> reversedWinding;  // unset: judged by the model's file name
};

struct SnapArguments {
  SnapOptions options;
  bool help = false;  // -h or --help was given; nothing else is checked then
  std::string error;  // empty when the arguments are complete and valid, else one line saying why not
};

// Reads argv[1..argc-1]: one model path, -o/--output, and the options that kSnapUsage lists, each value
// either the next argument or after "=". Numbers must be finite and whole where counts are asked for.
SnapArguments parseSnapArguments(int argc, const char* const argv[]);

// The viewer draws the meshes of data/tpot-unit.poly and data/bunny-unit.poly with reversed winding,
// keyed on their slot; outside the viewer the file name is what is left to judge by.
bool isReversedByName(std::string_view modelPath);

// The renderer's state for these options: the viewer's orbit camera around (0, 0.1, 0) at the given
// angles and distance, the light offsets, the outline width, hatching, and the winding.
DrawState drawStateOf(const SnapOptions& options);

extern const char* const kSnapUsage;

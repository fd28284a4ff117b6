// mesh2poly: turns any mesh file assimp reads (OBJ, PLY, STL, glTF, OFF, ...) into a ".poly" model file.
#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "mesh_import.h"
#include "output_file.h"

namespace {

const char* const kUsage =
    "usage: mesh2poly [--unit] [--winding cw|ccw] [--up x|y|z] [--turn DEGREES] [--decimals N] INPUT "
    "OUTPUT.poly\n";

const char* const kHelp =
    "Turns a mesh file (OBJ, PLY, STL, glTF, OFF, ...) into a .poly model file for nprview.\n"
    "\n"
    "  --unit              centre the bounding box at the origin, its largest side 1\n"
    "  --winding cw|ccw    wind the faces clockwise / counter-clockwise as seen from outside\n"
    "                      (default: as in the file)\n"
    "  --up x|y|z          turn the mesh so that this axis points up (default y)\n"
    "  --turn DEGREES      then turn it about the vertical axis (default 0)\n"
    "  --decimals N        write every number with N decimals (0 to 9; default: the shortest text\n"
    "                      that reads back to the same number, so that no vertex moves)\n"
    "  -h, --help          this text\n"
    "\n"
    "Exit status: 0 when OUTPUT.poly is written, 1 when INPUT cannot be read or OUTPUT.poly written,\n"
    "2 for bad arguments (OUTPUT.poly the same file as INPUT among them); each failure is one line on\n"
    "standard error.\n";

struct Arguments {
  ImportOptions options;
  std::optional<int> decimals;
  std::string input;
  std::string output;
};

// Accepts exactly one of the given words.
CLI::Validator oneOf(const std::string& words) {
  return CLI::Validator(
      [words](std::string& value) {
        const std::string padded = "|" + words + "|";
        return padded.find("|" + value + "|") == std::string::npos || value.empty()
                   ? value + " is not one of " + words
                   : std::string();
      },
      words);
}

// Throws CLI11's errors: CallForHelp for --help, a ParseError saying which argument is wrong and why.
Arguments parseArguments(int argc, char** argv) {
  Arguments arguments;
  std::string winding, up = "y";
  CLI::App app;
  app.set_help_flag("-h,--help");
  app.add_flag("--unit", arguments.options.unit);
  app.add_option("--winding", winding)->check(oneOf("cw|ccw"));
  app.add_option("--up", up)->check(oneOf("x|y|z"));
  app.add_option("--turn", arguments.options.turn)
      ->check(CLI::Validator(
          [](std::string& value) {
            double degrees = 0;
            const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), degrees);
            const bool whole = status == std::errc() && end == value.data() + value.size();
            return whole && std::isfinite(degrees) ? std::string()
                                                   : value + " is not a finite number of degrees";
          },
          "DEGREES"));
  app.add_option("--decimals", arguments.decimals)->check(CLI::Range(0, 9));
  app.add_option("INPUT", arguments.input)->required();
  app.add_option("OUTPUT.poly", arguments.output)->required();
  app.parse(argc, argv);
  if (!winding.empty()) {
    arguments.options.winding = winding == "cw" ? Winding::Clockwise : Winding::CounterClockwise;
  }
  arguments.options.up = up == "x" ? Axis::X : up == "z" ? Axis::Z : Axis::Y;
  return arguments;
}

// CLI11's messages, on one line.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    Arguments arguments;
    try {
      arguments = parseArguments(argc, argv);
    } catch (const CLI::CallForHelp&) {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    } catch (const CLI::ParseError& error) {
      std::fprintf(stderr, "mesh2poly: %s (mesh2poly --help shows the usage)\n",
                   oneLine(error.what()).c_str());
      return 2;
    }
    const char* const input = arguments.input.c_str();
    if (isSameFile(arguments.input, arguments.output)) {
      std::fprintf(stderr, "mesh2poly: %s is the input file; the output must go elsewhere\n",
                   arguments.output.c_str());
      return 2;
    }

    PolyMesh mesh;
    std::string error;
    bool windingKept = false;
    if (!importMesh(arguments.input, arguments.options, mesh, error, windingKept)) {
      std::fprintf(stderr, "mesh2poly: cannot read %s: %s\n", input, error.c_str());
      return 1;
    }
    if (windingKept) {
      std::fprintf(stderr, "mesh2poly: note: %s encloses no volume, so its winding is kept as given\n",
                   input);
    }
    if (!writePoly(arguments.output, mesh, error, arguments.decimals)) {
      std::fprintf(stderr, "mesh2poly: cannot write %s: %s\n", arguments.output.c_str(), error.c_str());
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mesh2poly: %s\n", oneLine(error.what()).c_str());
    return 1;
  }
}

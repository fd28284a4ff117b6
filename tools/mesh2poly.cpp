// mesh2poly: turns any mesh file assimp reads (OBJ, PLY, STL, glTF, OFF, ...) into a ".poly" model file.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "mesh_import.h"
#include "output_file.h"
#include "printable.h"

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
    "  --version           print the version and exit\n"
    "\n"
    "OUTPUT.poly - or /dev/stdout writes the model to standard output, /dev/fd/N to descriptor N.\n"
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

// Throws CLI11's errors: CallForHelp for --help, CallForVersion for --version, a ParseError saying which argument is wrong and why.
Arguments parseArguments(int argc, char** argv) {
  Arguments arguments;
  std::string winding, up = "y";
  CLI::App app;
  app.set_help_flag("-h,--help");
  app.set_version_flag("--version", "mesh2poly " NPRVIEW_VERSION);
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

// One line on standard error, with the control characters of any file name or text from outside escaped.
int fail(const std::string& line, int status) {
  std::fprintf(stderr, "mesh2poly: %s\n", printable(line).c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away is a failed write, reported as one, not a silent death.
  ::signal(SIGPIPE, SIG_IGN);
  if (argc == 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    Arguments arguments;
    try {
      arguments = parseArguments(argc, argv);
    } catch (const CLI::CallForVersion& version) {
      std::printf("%s\n", version.what());
      return 0;
    } catch (const CLI::CallForHelp&) {
      std::printf("%s\n%s", kUsage, kHelp);
      return 0;
    } catch (const CLI::ParseError& error) {
      return fail(oneLine(error.what()) + " (mesh2poly --help shows the usage)", 2);
    }
    const std::string& input = arguments.input;
    if (isSameFile(arguments.input, arguments.output)) {
      return fail(arguments.output + " is the input file; the output must go elsewhere", 2);
    }

    PolyMesh mesh;
    std::string error;
    bool windingKept = false;
    if (!importMesh(arguments.input, arguments.options, mesh, error, windingKept)) {
      return fail("cannot read " + input + ": " + error, 1);
    }
    if (windingKept) {
      fail("note: " + input + " encloses no volume, so its winding is kept as given", 0);
    }
    if (!writePoly(arguments.output, mesh, error, arguments.decimals)) {
      return fail("cannot write " + arguments.output + ": " + error, 1);
    }
    return 0;
  } catch (const std::exception& error) {
    return fail(oneLine(error.what()), 1);
  }
}

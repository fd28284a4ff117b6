// nprsnap: draws a model as the viewer shows it, without a window, and writes the picture as a PNG or an SVG.
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <iostream>
#include <memory>
#include <system_error>

#include "animation_file.h"
#include "loader_console.h"
#include "model.h"
#include "output_file.h"
#include "output_format.h"
#include "png_file.h"
#include "printable.h"
#include "snap_options.h"
#include "snapshot.h"
#include "time_limit.h"
#include "turntable.h"
#include "vector_snapshot.h"

namespace {

// Exit statuses.
constexpr int kWritten = 0;
constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

// File names and texts from outside reach the terminal with their control characters escaped.
int fail(const std::string& line, int status = kFailed) {
  std::cerr << "nprsnap: " << printable(line) << "\n";
  return status;
}

// "15" or "0.5".
std::string shortestSeconds(float seconds) {
  char text[32];
  const auto [end, status] = std::to_chars(text, text + sizeof text, seconds);
  return std::string(text, status == std::errc() ? end : text);
}

// Why the model loader refused path, which it does not say itself here.
std::string modelFailure(const std::string& path) {
  return ::access(path.c_str(), R_OK) != 0 ? std::generic_category().message(errno)
                                           : "not of expected format";
}

// The picture of state into path, in the format its name asks for. Returns false and fills error (one
// line, naming the file) on failure.
bool writePicture(const std::string& path, const SnapOptions& options, const DrawState& state,
                  const Model& model, Snapshotter& snapshotter, std::string& error) {
  std::string svg;
  switch (outputFormatOf(path).value_or(kDefaultOutputFormat)) {
    case OutputFormat::Svg:
      if (!drawSvg(snapshotter, model, options, state, svg, error)) {
        error = "cannot draw \"" + path + "\": " + error;
        return false;
      }
      if (!writeOutputFile(path, svg, error)) {
        error = "cannot write \"" + path + "\": " + error;
        return false;
      }
      return true;
    case OutputFormat::Png:
    // A still picture asked of an animated format is drawn into it by writeTurntable, never here.
    case OutputFormat::WebP:
    case OutputFormat::Gif:
      break;
  }
  const RgbImage picture = snapshotter.draw(state);
  if (picture.empty()) {
    error = "cannot draw \"" + path + "\": " + snapshotter.error();
    return false;
  }
  if (!writePng(path, picture, error)) {
    error = "cannot write \"" + path + "\": " + error;
    return false;
  }
  return true;
}

// The frames around the model, each written while the next is drawn: to a file of its own, or into the one
// animated file, which is put in place once the last is in. On a terminal one line on standard error follows
// the run, rewritten in place; a pipe or a file gets nothing but a failure's line.
int writeTurntable(const SnapOptions& options, const std::vector<std::string>& names, const Model& model,
                   Snapshotter& snapshotter) {
  std::string error;
  const bool showProgress = isatty(STDERR_FILENO) == 1;
  const auto start = std::chrono::steady_clock::now();
  // An animation without --turntable is a still picture, one frame long.
  const int frames = std::max(options.turntableFrames, 1);
  AnimationFile animation;
  const bool animated = isAnimationFile(options.outputPath);
  if (animated &&
      !animation.open(options.outputPath,
                      runFormat(options) == OutputFormat::Gif ? AnimationFormat::Gif : AnimationFormat::WebP,
                      options.width, options.height, options.framesPerSecond)) {
    return fail("cannot write \"" + options.outputPath + "\": " + animation.error());
  }
  // PNG and animation frames are written while the next is drawn; an SVG is assembled with GL, here.
  const bool vector = outputFormatEntry(runFormat(options)).vector;
  FrameWriter writer;
  for (int frame = 0; frame < frames; ++frame) {
    DrawState state = drawStateOf(options);
    state.camera.yaw = turntableYaw(options.cameraYaw, frame, frames);
    const std::string name = animated ? options.outputPath : names[static_cast<size_t>(frame)];
    bool written = true;
    if (vector) {
      written = writePicture(name, options, state, model, snapshotter, error);
    } else if (auto picture = std::make_shared<RgbImage>(snapshotter.draw(state)); picture->empty()) {
      error = "cannot draw \"" + name + "\": " + snapshotter.error();
      written = false;
    } else {
      written = writer.start(
          [&animation, animated, name, picture](std::string& why) {
            if (animated ? animation.addFrame(*picture) : writePng(name, *picture, why)) {
              return true;
            }
            why = "cannot write \"" + name + "\": " + (animated ? animation.error() : why);
            return false;
          },
          error);
    }
    if (!written) {
      // The failure's line starts on a line of its own.
      std::cerr << (showProgress && frame > 0 ? "\n" : "");
      return fail(error);
    }
    if (showProgress) {
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
      std::cerr << "\r\033[Knprsnap: " << progressLine(frame + 1, frames, elapsed.count())
                << (frame + 1 == frames ? "\n" : "") << std::flush;
    }
  }
  if (!writer.finish(error)) {
    return fail(error);
  }
  if (animated && !animation.commit()) {
    return fail("cannot write \"" + options.outputPath + "\": " + animation.error());
  }
  return kWritten;
}

}  // namespace

int main(int argc, char** argv) {
  // A large mesh is built in arrays that grow, shrink and are freed many times over, in the import's child
  // and here. Memory handed back to the system would be faulted in again page by page, which on a virtual
  // machine costs more than the work done in it: freed memory is kept for the next array instead.
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
  ::mallopt(M_TOP_PAD, 64 << 20);
  // A reader that goes away is a failed write, reported as one, not a silent death.
  ::signal(SIGPIPE, SIG_IGN);
  // Standard output may carry the picture: the loaders' console lines are the viewer's, not ours.
  showLoaderLines(false);
  const SnapArguments arguments = parseSnapArguments(argc, argv);
  if (arguments.help) {
    std::cout << snapHelp();
    return kWritten;
  }
  if (!arguments.version.empty()) {
    std::cout << arguments.version << "\n";
    return kWritten;
  }
  if (!arguments.error.empty()) {
    return fail(arguments.error + " (nprsnap --help lists the options)", kBadArguments);
  }
  const SnapOptions& options = arguments.options;
  // Set before the import, which it covers too: a thumbnailer's ceiling on the whole run.
  if (options.timeLimit &&
      !startTimeLimit(*options.timeLimit,
                      "nprsnap: stopped at --time-limit " + shortestSeconds(*options.timeLimit) +
                          " seconds, with nothing more written",
                      kFailed)) {
    return fail("cannot set the timer of --time-limit");
  }
  const std::vector<std::string> names = outputNames(options);
  for (const std::string& name : names) {
    if (isSameFile(name, options.modelPath)) {
      return fail("will not write \"" + name + "\" over the model it draws", kBadArguments);
    }
  }

  // Before the GL context: the import forks, and the driver may have started threads by then.
  Model* model = nullptr;
  if (isPolyFile(options.modelPath)) {
    // The viewer's own loader, so a file draws here exactly when it would there, parsed on every core,
    // which gives the same model.
    model = loadModelInParallel(options.modelPath.c_str(), processorCount());
    if (!model) {
      return fail("cannot read the model \"" + options.modelPath + "\": " + modelFailure(options.modelPath));
    }
  } else {
    PolyMesh mesh;
    std::string error;
    if (!importMesh(options.modelPath, importOptionsOf(options), mesh, error)) {
      return fail("cannot read " + options.modelPath + ": " + error);
    }
    model = modelOfMesh(mesh);
    if (!model) {
      return fail("cannot read " + options.modelPath + ": no memory for its " +
                  std::to_string(mesh.faces.size()) + " faces");
    }
  }

  Snapshotter snapshotter(options, *model);
  int status = kWritten;
  if (snapshotter.failure() != Snapshotter::Failure::None) {
    status = fail(snapshotter.error(),
                  snapshotter.failure() == Snapshotter::Failure::TooLarge ? kBadArguments : kFailed);
  } else if (options.turntableFrames > 0 || isAnimationFile(options.outputPath)) {
    status = writeTurntable(options, names, *model, snapshotter);
  } else if (std::string error;
             !writePicture(options.outputPath, options, drawStateOf(options), *model, snapshotter, error)) {
    status = fail(error);
  }
  freeModel(model);
  return status;
}

// nprsnap: draws a model as the viewer shows it, without a window, and writes the picture as a PNG.
#include <unistd.h>

#include <chrono>
#include <iostream>

#include "model.h"
#include "output_file.h"
#include "png_file.h"
#include "snap_options.h"
#include "snapshot.h"
#include "turntable.h"

namespace {

// Exit statuses.
constexpr int kWritten = 0;
constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

int fail(const std::string& line, int status = kFailed) {
  std::cerr << "nprsnap: " << line << "\n";
  return status;
}

int write(const std::string& path, const RgbImage& picture) {
  std::string error;
  return writePng(path, picture, error) ? kWritten : fail("cannot write \"" + path + "\": " + error);
}

// The frames around the model, each written as soon as it is drawn. On a terminal one line on standard
// error follows the run, rewritten in place; a pipe or a file gets nothing but a failure's line.
int writeTurntable(const SnapOptions& options, const std::vector<std::string>& names,
                   Snapshotter& snapshotter) {
  std::string error;
  const bool showProgress = isatty(STDERR_FILENO) == 1;
  const auto start = std::chrono::steady_clock::now();
  const int frames = options.turntableFrames;
  for (int frame = 0; frame < frames; ++frame) {
    DrawState state = drawStateOf(options);
    state.camera.yaw = turntableYaw(options.cameraYaw, frame, frames);
    const RgbImage picture = snapshotter.draw(state);
    const std::string& name = names[static_cast<size_t>(frame)];
    if (!writePng(name, picture, error)) {
      // The failure's line starts on a line of its own.
      std::cerr << (showProgress && frame > 0 ? "\n" : "");
      return fail("cannot write \"" + name + "\": " + error);
    }
    if (showProgress) {
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
      std::cerr << "\r\033[Knprsnap: " << progressLine(frame + 1, frames, elapsed.count())
                << (frame + 1 == frames ? "\n" : "") << std::flush;
    }
  }
  return kWritten;
}

}  // namespace

int main(int argc, char** argv) {
  const SnapArguments arguments = parseSnapArguments(argc, argv);
  if (arguments.help) {
    std::cout << snapHelp();
    return kWritten;
  }
  if (!arguments.error.empty()) {
    return fail(arguments.error + " (nprsnap --help lists the options)", kBadArguments);
  }
  const SnapOptions& options = arguments.options;
  const std::vector<std::string> names = outputNames(options);
  for (const std::string& name : names) {
    if (isSameFile(name, options.modelPath)) {
      return fail("will not write \"" + name + "\" over the model it draws", kBadArguments);
    }
  }

  // Before the GL context: the import forks, and the driver may have started threads by then.
  Model* model = nullptr;
  if (isPolyFile(options.modelPath)) {
    // The viewer's own loader, so a file draws here exactly when it would there; it writes its own line
    // to standard output when it refuses one. Parsed on every core, which gives the same model.
    model = loadModelInParallel(options.modelPath.c_str(), processorCount());
    if (!model) {
      return fail("cannot read the model \"" + options.modelPath + "\"");
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
  } else if (options.turntableFrames > 0) {
    status = writeTurntable(options, names, snapshotter);
  } else {
    status = write(options.outputPath, snapshotter.draw(drawStateOf(options)));
  }
  freeModel(model);
  return status;
}

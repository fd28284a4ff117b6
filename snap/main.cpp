// nprsnap: draws a model as the viewer shows it, without a window, and writes the picture as a PNG.
#include <iostream>

#include "model.h"
#include "png_file.h"
#include "snap_options.h"
#include "snapshot.h"

int main(int argc, char** argv) {
  const SnapArguments arguments = parseSnapArguments(argc, argv);
  if (arguments.help) {
    std::cout << snapHelp();
    return 0;
  }
  if (!arguments.error.empty()) {
    std::cerr << "nprsnap: " << arguments.error << " (nprsnap --help lists the options)\n";
    return 2;
  }
  const SnapOptions& options = arguments.options;

  // The viewer's own loader, so a file draws here exactly when it would there; it writes its own line
  // to standard output when it refuses one.
  Model* model = loadModel(options.modelPath.c_str());
  if (!model) {
    std::cerr << "nprsnap: cannot read the model \"" << options.modelPath << "\"\n";
    return 1;
  }

  RgbImage picture;
  std::string error;
  const bool drawn = renderSnapshot(options, *model, picture, error);
  freeModel(model);
  if (!drawn) {
    std::cerr << "nprsnap: " << error << "\n";
    return 1;
  }
  if (!writePng(options.outputPath, picture, error)) {
    std::cerr << "nprsnap: cannot write \"" << options.outputPath << "\": " << error << "\n";
    return 1;
  }
  return 0;
}

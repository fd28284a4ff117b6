// Hatching along the surface, for nprsnap's --hatching-space surface: the direction field made once per
// model, and the strokes of one view traced from its picture of faces.
#include <memory>

#include "benchmarks.h"
#include "direction_field.h"
#include "model_catalogue.h"
#include "surface_hatching.h"
#include "tone.h"
#include "tone_labels.h"

void registerStrokeBenchmarks(const std::vector<DrawnModel>& models) {
  for (const DrawnModel& drawn : models) {
    if (drawn.hatching ||
        (drawn.name != "bunny-unit" && drawn.name != "tpot-unit" && drawn.name != "large-sphere")) {
      continue;
    }
    const Model* model = drawn.model;
    const SurfaceOptions options{kDefaultSplitDegrees, hatchSmoothingRadius(*model)};
    registerBenchmark("strokes/" + drawn.name + "/field", [model, options](benchmark::State& s) {
      for (auto _ : s) {
        Surface surface(*model, options);
        std::vector<Vec3> directions;
        if (!surface.ok() || !hatchDirections(surface, directions)) {
          s.SkipWithError("out of memory");
          return;
        }
        benchmark::DoNotOptimize(directions.data());
      }
    });
    // The start-up view from yaw 30 and pitch 20, as the documentation's pictures have it.
    DrawState state = kStartUpState;
    state.camera.yaw = 30, state.camera.pitch = 20;
    state.reversedWinding = drawn.reversedWinding;
    registerBenchmark("strokes/" + drawn.name + "/trace", [model, options, state](benchmark::State& s) {
      const auto surface = std::make_shared<Surface>(*model, options);
      std::vector<Vec3> directions;
      FacePicture faces;
      LineView view;
      std::string error;
      if (!surface->ok() || !hatchDirections(*surface, directions) ||
          !drawFacePicture(*model, state, 768, 768, faces, view, error)) {
        s.SkipWithError("no surface or face picture");
        return;
      }
      const HatchLight light{lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset),
                             state.reversedWinding, true};
      std::vector<Polyline> strokes;
      for (auto _ : s) {
        hatchSurface(*surface, directions, faces, view, light, {}, {1.0, 5.0}, strokes);
        benchmark::DoNotOptimize(strokes.data());
      }
      s.counters["strokes"] = static_cast<double>(strokes.size());
    });
  }
}

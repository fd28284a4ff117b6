// Hatching fixed to the model's surface beside hatching fixed to the view: what nprsnap's
// --hatching-space object costs a frame.
#include "benchmarks.h"
#include "frame.h"
#include "hatch_renderer.h"
#include "model_catalogue.h"

void registerSurfaceHatchingBenchmarks(const std::vector<DrawnModel>& models) {
  static HatchRenderer* renderer = new HatchRenderer();
  for (const DrawnModel& drawn : models) {
    // Hatching is on in both; a model listed again for hatching is measured once.
    if (drawn.hatching) {
      continue;
    }
    for (const HatchingSpace space : {HatchingSpace::Eye, HatchingSpace::Object}) {
      DrawState state = kStartUpState;
      state.reversedWinding = drawn.reversedWinding;
      state.texturesEnabled = true;
      state.hatchingSpace = space;
      const Model* model = drawn.model;
      const std::string name = space == HatchingSpace::Eye ? "eye" : "object";
      registerBenchmark("hatching/" + drawn.name + "/" + name, [model, state](benchmark::State& s) {
        glEnable(GL_TEXTURE_2D);
        // One untimed frame: it leaves the polygon modes every later frame starts from, and the first
        // frame in object space makes the mipmapped textures.
        drawFrame(*renderer, model, state);
        glFinish();
        for (auto _ : s) {
          drawFrame(*renderer, model, state);
          glFinish();
        }
      });
    }
  }
}

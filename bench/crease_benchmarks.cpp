// Crease and border edges: finding them on the large sphere, and what drawing them adds to a frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "benchmarks.h"
#include "crease_edges.h"
#include "frame.h"
#include "hatch_renderer.h"
#include "model_catalogue.h"

namespace {

// The angle nprsnap's pictures use; 0 draws every edge, the most there can be.
constexpr float kDegrees = 30.0f;

struct CreaseVariant {
  std::string name;  // draw/MODEL/NAME
  float degrees;
};

std::vector<CreaseVariant> variantsOf(const DrawnModel& drawn) {
  std::vector<CreaseVariant> variants{{"creases30", kDegrees}};
  if (drawn.model->faceCount > 100000) {
    variants.push_back({"creases0", 0.0f});
  }
  return variants;
}

}  // namespace

void registerCreaseBenchmarks(const std::vector<DrawnModel>& models, const Model& largeSphere) {
  registerBenchmark("crease/find/large-sphere", [&largeSphere](benchmark::State& s) {
    for (auto _ : s) {
      CreaseEdges edges;
      if (!findCreaseEdges(largeSphere, kDegrees, edges)) {
        s.SkipWithError("out of memory");
        return;
      }
      benchmark::DoNotOptimize(edges.faces.get());
    }
  });

  static HatchRenderer* renderer = new HatchRenderer();
  for (const DrawnModel& drawn : models) {
    for (const CreaseVariant& variant : variantsOf(drawn)) {
      auto edges = std::make_shared<CreaseEdges>();
      if (!findCreaseEdges(*drawn.model, variant.degrees, *edges)) {
        continue;
      }
      DrawState state = kStartUpState;
      state.reversedWinding = drawn.reversedWinding;
      state.texturesEnabled = drawn.hatching;
      state.creaseEdges = edges.get();
      const Model* model = drawn.model;
      registerBenchmark("draw/" + drawn.name + "/" + variant.name,
                        [model, state, edges](benchmark::State& s) {
                          if (state.texturesEnabled) {
                            glEnable(GL_TEXTURE_2D);
                          } else {
                            glDisable(GL_TEXTURE_2D);
                          }
                          // One untimed frame first, for the polygon modes every later frame starts from.
                          drawFrame(*renderer, model, state);
                          glFinish();
                          for (auto _ : s) {
                            drawFrame(*renderer, model, state);
                            glFinish();
                          }
                          s.counters["edges"] = edges->creases + edges->borders + edges->junctions;
                        });
    }
  }
}

void printCreaseSummary(const TimesOf& times, const std::vector<DrawnModel>& models, int largeSphereFaces) {
  const BenchTimes find = times("crease/find/large-sphere");
  if (find.real > 0) {
    std::printf("\nFinding crease and border edges at %g degrees on the large sphere (%d faces)\n", kDegrees,
                largeSphereFaces);
    std::printf("  findCreaseEdges %8.2f ms (%6.2f ms CPU)\n", find.real, find.cpu);
  }
  std::printf("\nCrease lines, ms per frame as above, plain beside with --creases DEGREES\n");
  std::printf("  %-14s %-10s %7s %17s %17s %13s\n", "model", "lines", "edges", "plain", "with lines",
              "ratio");
  for (const DrawnModel& drawn : models) {
    const BenchTimes plain = times("draw/" + drawn.name + "/draw");
    for (const CreaseVariant& variant : variantsOf(drawn)) {
      const BenchTimes lined = times("draw/" + drawn.name + "/" + variant.name);
      CreaseEdges edges;
      if (plain.real > 0 && lined.real > 0 && findCreaseEdges(*drawn.model, variant.degrees, edges)) {
        std::printf("  %-14s %-10s %7d %8.2f (%6.2f) %8.2f (%6.2f) %5.3f (%5.3f)\n", drawn.name.c_str(),
                    variant.name.c_str(), edges.creases + edges.borders + edges.junctions, plain.real,
                    plain.cpu, lined.real, lined.cpu, lined.real / plain.real, lined.cpu / plain.cpu);
      }
    }
  }
}

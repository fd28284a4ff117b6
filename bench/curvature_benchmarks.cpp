// The surface library on the large sphere: the joined mesh and its adjacency, the normals split at sharp
// edges, and the curvature with its derivative, each from a fresh surface, on every core.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "benchmarks.h"
#include "surface.h"

namespace {

enum class Stage { Mesh, Normals, Curvature, Derivatives };

bool reach(Surface& surface, Stage stage) {
  switch (stage) {
    case Stage::Mesh:
      return surface.ok();
    case Stage::Normals:
      return surface.needNormals();
    case Stage::Curvature:
      return surface.needCurvatures();
    case Stage::Derivatives:
      return surface.needCurvatureDerivatives();
  }
  return false;
}

}  // namespace

void registerCurvatureBenchmarks(const Model& largeSphere) {
  const struct {
    const char* name;
    Stage stage;
  } stages[] = {{"surface/mesh/large-sphere", Stage::Mesh},
                {"surface/normals/large-sphere", Stage::Normals},
                {"surface/curvature/large-sphere", Stage::Curvature},
                {"surface/derivatives/large-sphere", Stage::Derivatives}};
  for (const auto& stage : stages) {
    registerBenchmark(stage.name, [&largeSphere, which = stage.stage](benchmark::State& s) {
      for (auto _ : s) {
        Surface surface(largeSphere);
        if (!reach(surface, which)) {
          s.SkipWithError("out of memory");
          return;
        }
        benchmark::DoNotOptimize(surface.positions().data());
      }
    });
  }
}

void printCurvatureSummary(const TimesOf& times, int largeSphereFaces) {
  const BenchTimes mesh = times("surface/mesh/large-sphere"), normals = times("surface/normals/large-sphere"),
                   curvature = times("surface/curvature/large-sphere"),
                   derivatives = times("surface/derivatives/large-sphere");
  if (mesh.real <= 0) {
    return;
  }
  // The CPU time is the calling thread's: the others' work shows in the wall-clock time only.
  std::printf("\nThe surface of the large sphere (%d faces), each from a fresh surface, on every core\n",
              largeSphereFaces);
  std::printf("  joined mesh and adjacency              %8.2f ms\n", mesh.real);
  std::printf("  and normals split at sharp edges       %8.2f ms\n", normals.real);
  std::printf("  and curvature                          %8.2f ms\n", curvature.real);
  std::printf("  and the derivative of curvature        %8.2f ms\n", derivatives.real);
}

// nprview's benchmarks: loading the large sphere three ways, and drawing every shipped model and the large
// sphere beside the floor the design allows. Prints Google Benchmark's table, then a summary with ratios.
//   nprview_bench [benchmark flags] [FOLDER]   (run from the repository root; FOLDER holds the large sphere)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "benchmarks.h"
#include "frame.h"
#include "offscreen_context.h"
#include "viewer_state.h"

namespace {

constexpr const char* kBest = "best";

// Keeps each benchmark's real and CPU time per iteration in milliseconds: the best repetition when
// repetitions are aggregated (the machine is shared, and nothing makes a run faster than it can be),
// otherwise the last run.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real = 0;
    double cpu = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) {
        continue;
      }
      // Names without the "/real_time" that UseRealTime appends.
      const std::string name = run.run_name.function_name;
      const Times times{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      if (run.run_type == Run::RT_Iteration && !best_.count(name)) {
        times_[name] = times;
      } else if (run.aggregate_name == kBest) {
        best_.insert(name);
        times_[name] = times;
      }
    }
  }
  Times times(const std::string& name) const {
    const auto found = times_.find(name);
    return found == times_.end() ? Times{} : found->second;
  }
  double milliseconds(const std::string& name) const { return times(name).real; }

 private:
  std::map<std::string, Times> times_;
  std::set<std::string> best_;
};

double megabytes(const std::string& path) {
  std::error_code error;
  return static_cast<double>(std::filesystem::file_size(path, error)) / 1e6;
}

void printLoadSummary(const SummaryReporter& results, const LargeSphereFiles& files) {
  const double polyMb = megabytes(files.poly), objMb = megabytes(files.obj);
  std::printf("\nLoading the large sphere: %d faces, %.1f MB as .poly, %.1f MB as OBJ\n", files.faceCount,
              polyMb, objMb);
  const double fast = results.milliseconds("load/loadModel");
  if (fast <= 0) {
    return;
  }
  const double fastRate = polyMb / fast * 1e3;
  std::printf("  %-30s %8.1f ms %8.0f MB/s\n", "loadModel", fast, fastRate);
  struct Row {
    const char* label;
    const char* name;
    double megabytes;
  };
  for (const Row row : {Row{"loadModelInParallel", "load/loadModelInParallel", polyMb},
                        Row{"mapped, then parsePoly", "load/mapped", polyMb},
                        Row{"parsePoly (text in memory)", "load/parsePoly", polyMb},
                        Row{"parsePolyChunks (read(2))", "load/parsePolyChunks", polyMb},
                        Row{"stream-extraction reference", "load/reference", polyMb},
                        Row{"tinyobjloader (OBJ)", "load/tinyobjloader", objMb}}) {
    const double ms = results.milliseconds(row.name);
    if (ms > 0) {
      const double rate = row.megabytes / ms * 1e3;
      std::printf("  %-30s %8.1f ms %8.0f MB/s   loadModel: %.2fx the MB/s, %.2fx the speed\n", row.label, ms,
                  rate, fastRate / rate, ms / fast);
    }
  }
}

void printDrawSummary(const SummaryReporter& results, const std::vector<DrawnModel>& models) {
  std::printf("\nDrawing, ms per frame (fill + outline pass, 768x768, %s)\n",
              reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  std::printf("  wall-clock time; in brackets the CPU time of the thread issuing the GL calls\n");
  std::printf("  %-14s %7s %17s %17s %11s %17s %17s\n", "model", "faces", "draw", "floor", "draw/floor",
              "vertex array", "ArrayDrawer");
  for (const DrawnModel& drawn : models) {
    const std::string prefix = "draw/" + drawn.name + "/";
    const auto draw = results.times(prefix + "draw");
    const auto floor = results.times(prefix + "floor");
    const auto array = results.times(prefix + "vertex_array");
    const auto arrays = results.times(prefix + "arrays");
    if (draw.real > 0 && floor.real > 0) {
      std::printf("  %-14s %7d %8.2f (%6.2f) %8.2f (%6.2f) %5.3f (%5.3f) %8.2f (%6.2f) %8.2f (%6.2f)\n",
                  drawn.name.c_str(), drawn.model->faceCount, draw.real, draw.cpu, floor.real, floor.cpu,
                  draw.real / floor.real, draw.cpu / floor.cpu, array.real, array.cpu, arrays.real,
                  arrays.cpu);
    }
  }
}

void printSurfaceHatchingSummary(const SummaryReporter& results, const std::vector<DrawnModel>& models) {
  std::printf("\nHatching on, fixed to the view (eye) or to the surface (object), ms per frame\n");
  std::printf("  %-14s %7s %17s %17s %15s\n", "model", "faces", "eye", "object", "object/eye");
  for (const DrawnModel& drawn : models) {
    const auto eye = results.times("hatching/" + drawn.name + "/eye");
    const auto object = results.times("hatching/" + drawn.name + "/object");
    if (eye.real > 0 && object.real > 0) {
      std::printf("  %-14s %7d %8.2f (%6.2f) %8.2f (%6.2f) %5.3f (%5.3f)\n", drawn.name.c_str(),
                  drawn.model->faceCount, eye.real, eye.cpu, object.real, object.cpu, object.real / eye.real,
                  object.cpu / eye.cpu);
    }
  }
}

}  // namespace

benchmark::internal::Benchmark* registerBenchmark(const std::string& name,
                                                  std::function<void(benchmark::State&)> function) {
  return benchmark::RegisterBenchmark(name.c_str(), std::move(function))
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->ComputeStatistics(kBest,
                          [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder =
      argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "nprview-bench").string();

  const LargeSphereFiles files = largeSphereFiles(folder);
  if (files.poly.empty()) {
    std::fprintf(stderr, "nprview_bench: cannot write the large sphere into %s\n", folder.c_str());
    return 1;
  }
  registerLoadBenchmarks(files);
  // Before the GL context: the import forks.
  registerImportBenchmarks(files);

  OffscreenContext context(768, 768);
  if (!context.ok()) {
    std::fprintf(stderr, "nprview_bench: no EGL context: %s\n", context.error().c_str());
    return 1;
  }
  setFixedGlState();
  std::vector<DrawnModel> models;
  for (int slot = 0; slot < kModelSlots; ++slot) {
    if (std::filesystem::exists(kModelPaths[slot])) {
      if (Model* model = loadModel(kModelPaths[slot])) {
        models.push_back(
            {std::filesystem::path(kModelPaths[slot]).stem().string(), model, isReversedWinding(slot)});
      }
    }
  }
  Model* largeSphere = loadModel(files.poly.c_str());
  models.push_back({"large-sphere", largeSphere, false});
  models.push_back({"large-hatched", largeSphere, false, true});
  if (!largeSphere || !registerDrawBenchmarks(models, context)) {
    std::fprintf(stderr, "nprview_bench: the floor or the arrays do not draw what draw draws\n");
    return 1;
  }
  registerSurfaceHatchingBenchmarks(models);
  registerCreaseBenchmarks(models, *largeSphere);
  registerLineBenchmarks(*largeSphere, context);
  registerPenOrderBenchmarks();
  registerCurvatureBenchmarks(*largeSphere);
  registerStrokeBenchmarks(models);
  std::vector<DrawnModel> culled{{"large-sphere", largeSphere, false}};
  if (Model* bumpy = bumpySphere()) {
    culled.push_back({"bumpy-2m", bumpy, false});
  }
  registerCullingBenchmarks(culled);

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printLoadSummary(reporter, files);
  printDrawSummary(reporter, models);
  printSurfaceHatchingSummary(reporter, models);
  const TimesOf times = [&reporter](const std::string& name) {
    const auto times = reporter.times(name);
    return BenchTimes{times.real, times.cpu};
  };
  printImportSummary(times, files.faceCount);
  printCreaseSummary(times, models, largeSphere->faceCount);
  printLineSummary(times, largeSphere->faceCount);
  printCurvatureSummary(times, largeSphere->faceCount);
  printCullingSummary(times, culled);
  benchmark::Shutdown();
  return 0;
}

// nprview's benchmarks: loading the large sphere three ways, and drawing every shipped model and the large
// sphere beside the floor the design allows. Prints Google Benchmark's table, then a summary with ratios.
//   nprview_bench [benchmark flags] [FOLDER]   (run from the repository root; FOLDER holds the large sphere)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "viewer_state.h"
#include "benchmarks.h"
#include "frame.h"
#include "gl_context.h"

namespace {

// Keeps each benchmark's real time per iteration in milliseconds: the median when repetitions are
// aggregated, otherwise the last run.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) {
        continue;
      }
      // Names without the "/real_time" that UseRealTime appends.
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration && !medians_.count(name)) {
        milliseconds_[name] = run.GetAdjustedRealTime();
      } else if (run.aggregate_name == "median") {
        medians_.insert(name);
        milliseconds_[name] = run.GetAdjustedRealTime();
      }
    }
  }
  double milliseconds(const std::string& name) const {
    const auto found = milliseconds_.find(name);
    return found == milliseconds_.end() ? 0.0 : found->second;
  }

 private:
  std::map<std::string, double> milliseconds_;
  std::set<std::string> medians_;
};

double megabytes(const std::string& path) {
  std::error_code error;
  return static_cast<double>(std::filesystem::file_size(path, error)) / 1e6;
}

void printLoadSummary(const SummaryReporter& results, const LargeSphereFiles& files) {
  const double polyMb = megabytes(files.poly), objMb = megabytes(files.obj);
  std::printf("\nLoading the large sphere: %d faces, %.1f MB as .poly, %.1f MB as OBJ\n", files.faceCount, polyMb,
              objMb);
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
  for (const Row row : {Row{"parsePoly (text in memory)", "load/parsePoly", polyMb},
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
  std::printf("  %-16s %8s %9s %9s %11s %13s\n", "model", "faces", "draw", "floor", "draw/floor", "vertex array");
  for (const DrawnModel& drawn : models) {
    const std::string prefix = "draw/" + drawn.name + "/";
    const double draw = results.milliseconds(prefix + "draw");
    const double floor = results.milliseconds(prefix + "floor");
    const double array = results.milliseconds(prefix + "vertex_array");
    if (draw > 0 && floor > 0) {
      std::printf("  %-16s %8d %9.2f %9.2f %11.3f %13.2f\n", drawn.name.c_str(), drawn.model->faceCount, draw, floor,
                  draw / floor, array);
    }
  }
}

}  // namespace

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

  GlContext context(768, 768);
  if (!context.ok()) {
    std::fprintf(stderr, "nprview_bench: no EGL context\n");
    return 1;
  }
  setFixedGlState();
  std::vector<DrawnModel> models;
  for (int slot = 0; slot < kModelSlots; ++slot) {
    if (std::filesystem::exists(kModelPaths[slot])) {
      if (Model* model = loadModel(kModelPaths[slot])) {
        models.push_back({std::filesystem::path(kModelPaths[slot]).stem().string(), model, isReversedWinding(slot)});
      }
    }
  }
  models.push_back({"large-sphere", loadModel(files.poly.c_str()), false});
  if (!models.back().model || !registerDrawBenchmarks(models, context)) {
    std::fprintf(stderr, "nprview_bench: the floor does not draw what draw draws\n");
    return 1;
  }

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printLoadSummary(reporter, files);
  printDrawSummary(reporter, models);
  benchmark::Shutdown();
  return 0;
}

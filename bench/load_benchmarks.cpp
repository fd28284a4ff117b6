// Loading the large sphere: the fast loader (read whole, on every core, mapped as it was, and in chunks as
// from a pipe), the plain stream-extraction reader and tinyobjloader.
#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "benchmarks.h"
#include "poly_reference.h"

namespace {

void loadWith(benchmark::State& state, Model* (*load)(const char*), const std::string& path) {
  for (auto _ : state) {
    Model* model = load(path.c_str());
    if (!model) {
      state.SkipWithError("the model did not load");
      return;
    }
    benchmark::DoNotOptimize(model->vertices);
    freeModel(model);
  }
}

void parseInMemory(benchmark::State& state, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  for (auto _ : state) {
    const PolyParse parsed = parsePoly(text);
    benchmark::DoNotOptimize(parsed.model);
    freeModel(parsed.model);
  }
}

// The chunked reader that loadModel uses for pipes and devices, here on the regular file.
void parseInChunks(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    const PolyParse parsed = parsePolyChunks(
        [](void* source, char* buffer, size_t size) {
          const ssize_t got = ::read(*static_cast<int*>(source), buffer, size);
          return got > 0 ? static_cast<size_t>(got) : 0;
        },
        &fd);
    ::close(fd);
    if (!parsed.model) {
      state.SkipWithError("the model did not load");
      return;
    }
    benchmark::DoNotOptimize(parsed.model->vertices);
    freeModel(parsed.model);
  }
}

// How loadModel read a regular file before it read it: mapped and parsed in place, on one thread.
void parseMapped(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat info {};
    ::fstat(fd, &info);
    const auto size = static_cast<size_t>(info.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED) {
      state.SkipWithError("the file did not map");
      return;
    }
    const PolyParse parsed = parsePoly(std::string_view(static_cast<const char*>(mapped), size));
    ::munmap(mapped, size);
    benchmark::DoNotOptimize(parsed.model);
    freeModel(parsed.model);
  }
}

void loadObj(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning, error;
    if (!tinyobj::LoadObj(&attributes, &shapes, &materials, &warning, &error, path.c_str(), nullptr, true)) {
      state.SkipWithError("the OBJ did not load");
      return;
    }
    benchmark::DoNotOptimize(attributes.vertices.data());
  }
}

}  // namespace

void registerLoadBenchmarks(const LargeSphereFiles& files) {
  const auto add = registerBenchmark;
  add("load/loadModel", [=](benchmark::State& state) { loadWith(state, loadModel, files.poly); });
  add("load/loadModelInParallel", [=](benchmark::State& state) {
    loadWith(
        state, [](const char* path) { return loadModelInParallel(path, processorCount()); }, files.poly);
  });
  add("load/mapped", [=](benchmark::State& state) { parseMapped(state, files.poly); });
  add("load/parsePoly", [=](benchmark::State& state) { parseInMemory(state, files.poly); });
  add("load/parsePolyChunks", [=](benchmark::State& state) { parseInChunks(state, files.poly); });
  add("load/reference", [=](benchmark::State& state) { loadWith(state, referenceLoadModel, files.poly); });
  add("load/tinyobjloader", [=](benchmark::State& state) { loadObj(state, files.obj); });
}

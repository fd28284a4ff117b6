// The contained import of the large sphere as binary PLY and STL: the direct readers beside assimp on the
// same file, the hand-off of the joined arrays from the child, and the whole import as nprsnap runs it.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "assimp_triangles.h"
#include "benchmarks.h"
#include "contained.h"
#include "direct_read.h"
#include "mesh_import.h"
#include "mesh_ops.h"
#include "output_file.h"

namespace {

struct ImportFiles {
  std::string ply, stl;
};

template <class T>
void append(std::string& bytes, const T& value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The sphere's positions and faces as a binary little-endian PLY file and a binary STL file, written once
// beside its ".poly" file.
ImportFiles importFiles(const LargeSphereFiles& sphere) {
  const std::string stem = sphere.poly.substr(0, sphere.poly.rfind('.'));
  const ImportFiles files{stem + ".ply", stem + ".stl"};
  if (std::filesystem::exists(files.ply) && std::filesystem::exists(files.stl)) {
    return files;
  }
  Model* model = loadModel(sphere.poly.c_str());
  if (!model) {
    return {};
  }
  std::string ply =
      "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(model->vertexCount) +
      "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
      std::to_string(model->faceCount) + "\nproperty list uchar int vertex_indices\nend_header\n";
  std::string stl(80, ' ');
  append(stl, static_cast<std::uint32_t>(model->faceCount));
  for (int v = 0; v < model->vertexCount; ++v) {
    ply.append(reinterpret_cast<const char*>(&model->vertices[v].x), 12);
  }
  for (int f = 0; f < model->faceCount; ++f) {
    ply += '\3';
    ply.append(reinterpret_cast<const char*>(model->faces[f].vertexIndex), 12);
    stl.append(12, '\0');
    for (int corner : model->faces[f].vertexIndex) {
      stl.append(reinterpret_cast<const char*>(&model->vertices[corner].x), 12);
    }
    stl.append(2, '\0');
  }
  freeModel(model);
  std::string error;
  return writeOutputFile(files.ply, ply, error) && writeOutputFile(files.stl, stl, error) ? files
                                                                                          : ImportFiles{};
}

// A file mapped read-only, as the import's child maps the model.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat status {};
    if (fd_ >= 0 && fstat(fd_, &status) == 0 && status.st_size > 0) {
      size_ = static_cast<size_t>(status.st_size);
      data_ = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    }
  }
  ~MappedFile() {
    if (data_ != MAP_FAILED) {
      munmap(data_, size_);
    }
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  int fd() const { return fd_; }
  std::string_view bytes() const {
    return data_ == MAP_FAILED ? std::string_view()
                               : std::string_view(static_cast<const char*>(data_), size_);
  }

 private:
  int fd_;
  size_t size_ = 0;
  void* data_ = MAP_FAILED;
};

void readWithDirectReader(benchmark::State& state, const std::string& path) {
  const MappedFile file(path);
  for (auto _ : state) {
    PolyMesh mesh;
    if (!readDirectly(path, file.bytes(), mesh)) {
      state.SkipWithError("the direct readers do not take the file");
      return;
    }
    benchmark::DoNotOptimize(mesh.positions.data());
  }
}

void readWithAssimp(benchmark::State& state, const std::string& path) {
  const MappedFile file(path);
  for (auto _ : state) {
    ModelSource source;
    source.path = path;
    source.fd = file.fd();
    PolyMesh mesh;
    std::string error;
    if (!readTriangles(source, mesh, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(mesh.positions.data());
  }
}

// The joined arrays of the file from a child to this process, as the import hands them over.
void handOff(benchmark::State& state, const std::string& path) {
  const MappedFile file(path);
  PolyMesh joined;
  readDirectly(path, file.bytes(), joined);
  joinVertices(joined);
  for (auto _ : state) {
    PolyMesh mesh;
    std::string error;
    // The child's copy of the arrays is its own: taking them costs nothing.
    if (!runContained([&joined](PolyMesh& answer, std::string&) { return std::swap(answer, joined), true; },
                      {}, mesh, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(mesh.positions.data());
  }
}

// importMesh as nprsnap calls it: in the unit box, wound counter-clockwise, without normals.
void importWhole(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    PolyMesh mesh;
    std::string error;
    if (!importMesh(path, {true, Winding::CounterClockwise, Axis::Y, 0.0, false}, mesh, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(mesh.positions.data());
  }
}

}  // namespace

void registerImportBenchmarks(const LargeSphereFiles& sphere) {
  const ImportFiles files = importFiles(sphere);
  if (files.ply.empty()) {
    std::fprintf(stderr, "nprview_bench: cannot write the large sphere as PLY and STL\n");
    return;
  }
  const auto add = registerBenchmark;
  for (const auto& [kind, path] : {std::pair{"ply", files.ply}, std::pair{"stl", files.stl}}) {
    const std::string file = path;
    add(std::string("import/read/direct/") + kind,
        [file](benchmark::State& s) { readWithDirectReader(s, file); });
    add(std::string("import/read/assimp/") + kind, [file](benchmark::State& s) { readWithAssimp(s, file); });
    add(std::string("import/whole/") + kind, [file](benchmark::State& s) { importWhole(s, file); });
  }
  const std::string ply = files.ply;
  add("import/handoff", [ply](benchmark::State& s) { handOff(s, ply); });
}

void printImportSummary(const TimesOf& times, int largeSphereFaces) {
  std::printf("\nImporting the large sphere (%d faces) as binary PLY and STL, ms (CPU time of this thread)\n",
              largeSphereFaces);
  for (const char* kind : {"ply", "stl"}) {
    const BenchTimes direct = times(std::string("import/read/direct/") + kind);
    const BenchTimes assimp = times(std::string("import/read/assimp/") + kind);
    const BenchTimes whole = times(std::string("import/whole/") + kind);
    if (direct.real > 0 && assimp.real > 0) {
      std::printf(
          "  %s: read directly %7.1f (%7.1f), by assimp %7.1f (%7.1f): %.1fx; the whole import %7.1f\n", kind,
          direct.real, direct.cpu, assimp.real, assimp.cpu, assimp.cpu / direct.cpu, whole.real);
    }
  }
  const BenchTimes handoff = times("import/handoff");
  if (handoff.real > 0) {
    std::printf("  the joined arrays from the child: %.1f (%.1f)\n", handoff.real, handoff.cpu);
  }
}

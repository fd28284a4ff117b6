// What the benchmark program's parts share: the files and models they measure, and how they register.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "large_sphere.h"
#include "model.h"
#include "offscreen_context.h"

// A model to draw, with how the viewer would draw it.
struct DrawnModel {
  std::string name;  // file name without folder and extension
  Model* model;
  bool reversedWinding;
  bool hatching = false;  // textures on, as after the T key
};

// A benchmark's time per iteration in milliseconds: wall-clock, and the CPU time of the calling thread.
struct BenchTimes {
  double real = 0;
  double cpu = 0;
};
// The times of a benchmark by name, zero when it did not run.
using TimesOf = std::function<BenchTimes(const std::string&)>;

// Registers a benchmark timed in wall-clock milliseconds, with the statistic "best": the fastest repetition.
benchmark::internal::Benchmark* registerBenchmark(const std::string& name,
                                                  std::function<void(benchmark::State&)> function);

// load/loadModel, load/parsePoly, load/reference and load/tinyobjloader on the large sphere.
void registerLoadBenchmarks(const LargeSphereFiles& files);

// import/read/direct/KIND and import/read/assimp/KIND, the large sphere read by the direct readers and by
// assimp; import/whole/KIND, importMesh as nprsnap runs it (KIND ply or stl, the sphere written once as such
// beside its ".poly" file); import/handoff, its joined arrays brought back from a contained child.
void registerImportBenchmarks(const LargeSphereFiles& sphere);
void printImportSummary(const TimesOf& times, int largeSphereFaces);

// draw/NAME/draw, draw/NAME/floor, draw/NAME/vertex_array and draw/NAME/arrays for each model, in a current
// 768x768 GL context. Returns false (and registers nothing) when the floor or the arrays do not draw exactly
// what draw draws.
bool registerDrawBenchmarks(const std::vector<DrawnModel>& models, const OffscreenContext& context);

// crease/find/large-sphere: findCreaseEdges on the large sphere; draw/NAME/creases30 for each model (and
// draw/NAME/creases0, every edge, for the large ones): drawFrame with the lines, in the same GL context.
void registerCreaseBenchmarks(const std::vector<DrawnModel>& models, const Model& largeSphere);
void printCreaseSummary(const TimesOf& times, const std::vector<DrawnModel>& models, int largeSphereFaces);

// hatching/NAME/eye and hatching/NAME/object: a frame with hatching on, fixed to the view and to the
// surface, for each model not marked hatching (those are the same meshes again), in a current GL context.
void registerSurfaceHatchingBenchmarks(const std::vector<DrawnModel>& models);

// cull/NAME/every_face and cull/NAME/culled: nprsnap's frame of each model with every face and without the
// faces that cannot show, each also as a fill pass alone (_fill); cull/NAME/depth_read, tiles, place and judge:
// the culling's steps; in a current GL context.
void registerCullingBenchmarks(const std::vector<DrawnModel>& models);
void printCullingSummary(const TimesOf& times, const std::vector<DrawnModel>& models);

// lines/edges/large-sphere: a Surface and a VisibleLineFinder made for the large sphere; lines/find/large-sphere: its visible
// lines in the start-up view, from the depth picture of its fill pass drawn once in context.
void registerLineBenchmarks(const Model& largeSphere, const OffscreenContext& context);
void printLineSummary(const TimesOf& times, int largeSphereFaces);

// pen/order/octagons: orderForPen on the closed contours of a 300 by 300 grid of octagons, shuffled.
void registerPenOrderBenchmarks();
// surface/mesh, surface/normals, surface/curvature and surface/derivatives on the large sphere: a Surface made
// and asked for each in turn, the later ones including the earlier.
void registerCurvatureBenchmarks(const Model& largeSphere);
void printCurvatureSummary(const TimesOf& times, int largeSphereFaces);

// strokes/NAME/field: a surface made for the bunny, the teapot and the large sphere and its hatching's
// direction field worked out; strokes/NAME/trace: the strokes along it of the view from yaw 30 and pitch 20,
// from a picture of faces drawn once in the current GL context.
void registerStrokeBenchmarks(const std::vector<DrawnModel>& models);

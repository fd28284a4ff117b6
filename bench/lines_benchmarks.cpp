// Visible lines on the large sphere: its surface and the edges to draw, once, then per view the contours,
// their visibility against the depth picture, the chains and their junctions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <memory>
#include <vector>

#include "benchmarks.h"
#include "frame.h"
#include "model_catalogue.h"
#include "pen_order.h"
#include "visible_lines.h"

void registerLineBenchmarks(const Model& largeSphere, const OffscreenContext& context) {
  registerBenchmark("lines/edges/large-sphere", [&largeSphere](benchmark::State& s) {
    for (auto _ : s) {
      Surface surface(largeSphere);
      const VisibleLineFinder finder(surface, nullptr);
      benchmark::DoNotOptimize(finder.ok());
    }
  });

  // The start-up view's fill pass, as nprsnap --lines contour draws it before finding the lines.
  static HatchRenderer* renderer = new HatchRenderer();
  const DrawState state = kStartUpState;
  beginFrame(state.camera);
  renderer->draw(&largeSphere, state);
  renderer->nextPass = 0;
  auto view = std::make_shared<LineView>();
  glGetFloatv(GL_MODELVIEW_MATRIX, view->modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, view->projection);
  view->width = context.width();
  view->height = context.height();
  state.camera.eyePosition(view->eye);
  auto depth = std::make_shared<std::vector<float>>(static_cast<size_t>(view->width) * view->height);
  glReadPixels(0, 0, view->width, view->height, GL_DEPTH_COMPONENT, GL_FLOAT, depth->data());
  auto surface = std::make_shared<Surface>(largeSphere);
  auto finder = std::make_shared<VisibleLineFinder>(*surface, nullptr);
  registerBenchmark("lines/find/large-sphere", [view, depth, surface, finder](benchmark::State& s) {
    size_t points = 0, lines = 0;
    for (auto _ : s) {
      const std::vector<Polyline> found = finder->find(*view, depth->data());
      lines = found.size();
      points = 0;
      for (const Polyline& line : found) {
        points += line.points.size();
      }
    }
    s.counters["lines"] = static_cast<double>(lines);
    s.counters["points"] = static_cast<double>(points);
  });
}

void printLineSummary(const TimesOf& times, int largeSphereFaces) {
  const BenchTimes edges = times("lines/edges/large-sphere"), find = times("lines/find/large-sphere");
  if (edges.real > 0 || find.real > 0) {
    std::printf("\nVisible lines on the large sphere (%d faces), start-up view, 768x768\n", largeSphereFaces);
    std::printf("  surface and edges, once      %8.2f ms (%6.2f ms CPU)\n", edges.real, edges.cpu);
    std::printf("  contours, visibility, chains %8.2f ms (%6.2f ms CPU) per view\n", find.real, find.cpu);
  }
}

void registerPenOrderBenchmarks() {
  // A 300 by 300 grid of octagons, 90,000 closed lines of 8 points, in a shuffled order: the contours of a
  // grid of separate parts, whose pen order was once quadratic.
  auto octagons = std::make_shared<std::vector<Polyline>>();
  for (int row = 0; row < 300; ++row) {
    for (int column = 0; column < 300; ++column) {
      Polyline line{LineKind::Contour, true, false, {}};
      for (int k = 0; k < 8; ++k) {
        const double angle = k * 3.14159265358979 / 4;
        line.points.push_back({static_cast<float>(column * 6.8 + 3 + 2.5 * std::cos(angle)),
                               static_cast<float>(row * 6.8 + 3 + 2.5 * std::sin(angle))});
      }
      octagons->push_back(std::move(line));
    }
  }
  std::shuffle(octagons->begin(), octagons->end(), std::mt19937(5));
  registerBenchmark("pen/order/octagons", [octagons](benchmark::State& s) {
    double travel = 0;
    for (auto _ : s) {
      std::vector<Polyline> lines = *octagons;
      orderForPen(lines);
      travel = penTravel(lines);
    }
    s.counters["lines"] = static_cast<double>(octagons->size());
    s.counters["travel"] = travel;
  });
}

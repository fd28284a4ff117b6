// nprsnap's frames without the faces that cannot show, beside frames of every face, on the large sphere and
// the bumpy sphere of 2,000,000 faces: whole frames, fill passes, and the steps of the culling.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "array_drawer.h"
#include "benchmarks.h"
#include "frame.h"
#include "model_catalogue.h"
#include "on_cores.h"

namespace {

// The CPU time of the whole process: llvmpipe draws on threads of its own and the culling judges on every
// core.
void add(const std::string& name, std::function<void(benchmark::State&)> function) {
  registerBenchmark(name, std::move(function))->MeasureProcessCPUTime();
}

// The faces whose outer side is in view, to depth only, as the culled frame draws them first.
void drawOuterDepth(const Model& model, const DrawState& state) {
  beginFrame(state.camera);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), &model.vertices[0].x);
  glDrawElements(GL_TRIANGLES, 3 * model.faceCount, GL_UNSIGNED_INT, model.faces);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glFinish();
}

struct Judged {
  FaceCuller culler;
  DepthTiles tiles;
  FaceView view;
  size_t pieces;
};

}  // namespace

void registerCullingBenchmarks(const std::vector<DrawnModel>& models) {
  static HatchRenderer* renderer = new HatchRenderer(false);
  for (const DrawnModel& drawn : models) {
    const Model* model = drawn.model;
    const std::string prefix = "cull/" + drawn.name + "/";
    const DrawState state = kStartUpState;
    auto drawer = std::make_shared<ArrayDrawer>(*renderer, *model);
    // Each starts from the state in which nprsnap draws a frame, the inner side in line mode.
    auto frame = [drawer, state](bool culled, bool withOutline) {
      HatchRenderer::enterRedrawState(false);
      if (culled) {
        drawer->drawFrame(state, withOutline);
      } else {
        beginFrame(state.camera);
        drawer->draw(state);
        if (withOutline) {
          drawer->draw(state);
        }
      }
      renderer->nextPass = 0;
      glFinish();
    };
    for (const bool culled : {false, true}) {
      for (const bool withOutline : {true, false}) {
        const std::string name = std::string(culled ? "culled" : "every_face") + (withOutline ? "" : "_fill");
        add(prefix + name, [frame, culled, withOutline](benchmark::State& s) {
          frame(culled, withOutline);
          for (auto _ : s) {
            frame(culled, withOutline);
          }
        });
      }
    }

    // The culling's steps, from the outer faces' depth of the start-up view.
    auto judged = std::make_shared<Judged>();
    drawOuterDepth(*model, state);
    glGetFloatv(GL_MODELVIEW_MATRIX, judged->view.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, judged->view.projection);
    glGetIntegerv(GL_VIEWPORT, judged->view.viewport);
    judged->pieces = piecesFor(static_cast<size_t>(model->faceCount), 20000);
    const int width = judged->view.viewport[2], height = judged->view.viewport[3];
    auto depth = std::make_shared<std::vector<uint32_t>>(static_cast<size_t>(width) * height);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depth->data());
    add(prefix + "depth_read", [judged](benchmark::State& s) {
      std::unique_ptr<uint32_t[]> band;
      size_t capacity = 0;
      for (auto _ : s) {
        benchmark::DoNotOptimize(readDepthTiles(judged->tiles, band, capacity));
      }
    });
    add(prefix + "tiles", [judged, depth, width, height](benchmark::State& s) {
      for (auto _ : s) {
        judged->tiles.reset(width, height);
        judged->tiles.addRows(0, height, depth->data());
        judged->tiles.finish();
      }
    });
    add(prefix + "place", [judged, model](benchmark::State& s) {
      for (auto _ : s) {
        benchmark::DoNotOptimize(judged->culler.place(*model, judged->view, judged->pieces));
      }
    });
    add(prefix + "judge", [judged, model, state, width, height, depth](benchmark::State& s) {
      judged->culler.place(*model, judged->view, judged->pieces);
      judged->tiles.reset(width, height);
      judged->tiles.addRows(0, height, depth->data());
      judged->tiles.finish();
      const PassReach fill{1, 0}, outline{static_cast<double>(state.outlineWidth), 1};
      size_t shown[kMaxCorePieces][2] = {};
      for (auto _ : s) {
        onCores(static_cast<size_t>(model->faceCount), judged->pieces,
                [&](size_t piece, size_t begin, size_t end) {
                  size_t inFill = 0, inOutline = 0;
                  for (size_t i = begin; i < end; ++i) {
                    const unsigned shows =
                        judged->culler.judge(static_cast<int>(i), false, fill, outline, judged->tiles);
                    inFill += (shows & FaceCuller::kInFill) != 0;
                    inOutline += (shows & FaceCuller::kInOutline) != 0;
                  }
                  shown[piece][0] = inFill;
                  shown[piece][1] = inOutline;
                });
      }
      for (size_t piece = 1; piece < kMaxCorePieces; ++piece) {
        shown[0][0] += shown[piece][0];
        shown[0][1] += shown[piece][1];
      }
      s.counters["fill"] = static_cast<double>(shown[0][0]);
      s.counters["outline"] = static_cast<double>(shown[0][1]);
    });
  }
}

void printCullingSummary(const TimesOf& times, const std::vector<DrawnModel>& models) {
  std::printf(
      "\nFaces that cannot show left out, ms per frame at 768x768 in the start-up view, flat tones;\n"
      "in brackets the CPU time of the whole process (llvmpipe's threads and every core's judging)\n");
  std::printf("  %-14s %-26s %17s %17s %7s\n", "model", "", "every face", "culled", "ratio");
  for (const DrawnModel& drawn : models) {
    const std::string prefix = "cull/" + drawn.name + "/";
    const BenchTimes frame = times(prefix + "every_face"), fill = times(prefix + "every_face_fill");
    const BenchTimes culled = times(prefix + "culled"), culledFill = times(prefix + "culled_fill");
    if (frame.real <= 0 || culled.real <= 0) {
      continue;
    }
    auto row = [&](const char* what, BenchTimes before, BenchTimes after) {
      std::printf("  %-14s %-26s %8.1f (%6.1f) %8.1f (%6.1f) %7.2f\n", drawn.name.c_str(), what, before.real,
                  before.cpu, after.real, after.cpu, after.cpu / before.cpu);
    };
    row("frame", frame, culled);
    row("fill pass (culled: with", fill, culledFill);
    std::printf("  %-14s %-26s\n", "", " depth, tiles, judging)");
    row("outline pass (frame-fill)", {frame.real - fill.real, frame.cpu - fill.cpu},
        {culled.real - culledFill.real, culled.cpu - culledFill.cpu});
    for (const char* step : {"depth_read", "tiles", "place", "judge"}) {
      const BenchTimes t = times(prefix + step);
      std::printf("  %-14s   %-24s %8.1f (%6.1f)\n", "", step, t.real, t.cpu);
    }
  }
}

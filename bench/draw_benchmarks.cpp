// Drawing a frame (fill pass and outline pass) beside what the same triangles cost without the tone maths,
// from a client-side vertex array, and as nprsnap draws it (ArrayDrawer).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "array_drawer.h"
#include "benchmarks.h"
#include "frame.h"
#include "hatch_renderer.h"
#include "model_catalogue.h"
#include "offscreen_context.h"
#include "tone.h"

namespace {

// The viewer's start-up view.
DrawState startupState(const DrawnModel& drawn) {
  DrawState state = kStartUpState;
  state.reversedWinding = drawn.reversedWinding;
  state.texturesEnabled = drawn.hatching;
  return state;
}

// The T key's switch, which goes with DrawState::texturesEnabled.
void setTexturing(const DrawState& state) {
  if (state.texturesEnabled) {
    glEnable(GL_TEXTURE_2D);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

// Each face's colour, worked out once, so that the floor issues exactly draw's GL calls and nothing else.
std::vector<const Tone*> faceTones(const Model& model, const DrawState& state) {
  const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
  std::vector<const Tone*> tones;
  tones.reserve(static_cast<size_t>(model.faceCount));
  auto position = [&](int index) {
    const ModelVertex& v = model.vertices[index];
    return Vec3{v.x, v.y, v.z};
  };
  for (int i = 0; i < model.faceCount; ++i) {
    const int* f = model.faces[i].vertexIndex;
    tones.push_back(
        &toneOfBand(faceBand(position(f[0]), position(f[1]), position(f[2]), light, state.reversedWinding)));
  }
  return tones;
}

void beginPass(bool fill, const DrawState& state) {
  const bool reversed = state.reversedWinding;
  if (fill) {
    glLineWidth(1.0f);
    glDisable(GL_CULL_FACE);
    glPolygonMode(reversed ? GL_BACK : GL_FRONT, GL_FILL);
    glDisable(GL_POLYGON_OFFSET_LINE);
  } else {
    glColor3f(0.0f, 0.0f, 0.0f);
    glLineWidth(static_cast<GLfloat>(state.outlineWidth));
    glEnable(GL_CULL_FACE);
    glCullFace(reversed ? GL_BACK : GL_FRONT);
    glPolygonMode(reversed ? GL_FRONT : GL_BACK, GL_LINE);
    glPolygonOffset(-1.0f, 0.0f);
    glEnable(GL_POLYGON_OFFSET_LINE);
  }
  glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_EYE_LINEAR));
  glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_EYE_LINEAR));
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
}

// The floor: draw's GL calls in draw's order, the tones taken from a table.
void floorFrame(const Model& model, const std::vector<const Tone*>& tones, const DrawState& state,
                const GLuint textures[4]) {
  beginFrame(state.camera);
  for (const bool fill : {true, false}) {
    beginPass(fill, state);
    for (int i = 0; i < model.faceCount; ++i) {
      if (fill) {
        const Tone& tone = *tones[static_cast<size_t>(i)];
        if (state.texturesEnabled) {
          glColor3f(1.0f, 1.0f, 1.0f);
          glBindTexture(GL_TEXTURE_2D, textures[tone.texture]);
        } else {
          glColor3f(tone.r, tone.g, tone.b);
        }
      }
      const int* f = model.faces[i].vertexIndex;
      glBegin(GL_TRIANGLES);
      glVertex3fv(&model.vertices[f[0]].x);
      glVertex3fv(&model.vertices[f[1]].x);
      glVertex3fv(&model.vertices[f[2]].x);
      glEnd();
    }
  }
}

// The same triangles in one call per pass from client memory, in one colour or with one hatching texture:
// what immediate mode costs.
void vertexArrayFrame(const Model& model, const DrawState& state, const GLuint textures[4]) {
  beginFrame(state.camera);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), &model.vertices[0].x);
  for (const bool fill : {true, false}) {
    beginPass(fill, state);
    if (fill && state.texturesEnabled) {
      glColor3f(1.0f, 1.0f, 1.0f);
      glBindTexture(GL_TEXTURE_2D, textures[1]);
    } else if (fill) {
      glColor3f(0.85f, 0.85f, 0.5f);
    }
    glDrawElements(GL_TRIANGLES, 3 * model.faceCount, GL_UNSIGNED_INT, model.faces);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
}

std::vector<uint8_t> pixelsAfter(const OffscreenContext& context, auto frame) {
  // Twice, so that the polygon modes the first outline pass leaves are in force, as in every later frame.
  frame();
  frame();
  return context.readImage().rgb;
}

}  // namespace

bool registerDrawBenchmarks(const std::vector<DrawnModel>& models, const OffscreenContext& context) {
  static HatchRenderer* renderer = new HatchRenderer();
  for (const DrawnModel& drawn : models) {
    const Model& model = *drawn.model;
    const DrawState state = startupState(drawn);
    const GLuint* textures = renderer->textures;
    auto tones = std::make_shared<std::vector<const Tone*>>(faceTones(model, state));
    setTexturing(state);
    const auto drawnPixels = pixelsAfter(context, [&] { drawFrame(*renderer, &model, state); });
    const auto floorPixels = pixelsAfter(context, [&] { floorFrame(model, *tones, state, textures); });
    ArrayDrawer checked(*renderer, model);
    const auto arrayPixels = pixelsAfter(context, [&] { drawFrame(checked, state); });
    if (drawnPixels != floorPixels || drawnPixels != arrayPixels) {
      return false;
    }
    auto add = [&](const std::string& variant, auto&& frame) {
      registerBenchmark("draw/" + drawn.name + "/" + variant, [frame, state](benchmark::State& s) {
        setTexturing(state);
        // Each pass sets the polygon mode of one side only, so a frame's cost depends on what was drawn
        // before it (another model may have left the inner side filled). One frame first gives the state
        // in which the viewer draws this model again and again.
        frame();
        glFinish();
        for (auto _ : s) {
          frame();
          glFinish();
        }
      });
    };
    const Model* m = drawn.model;
    add("draw", [m, state] { drawFrame(*renderer, m, state); });
    add("floor", [m, state, tones, textures] { floorFrame(*m, *tones, state, textures); });
    add("vertex_array", [m, state, textures] { vertexArrayFrame(*m, state, textures); });
    auto drawer = std::make_shared<ArrayDrawer>(*renderer, model);
    add("arrays", [drawer, state] { drawFrame(*drawer, state); });
  }
  return true;
}

// The smooth fill pass: GLSL for the per-pixel tone, client arrays of corners for the faces.
// Before any GL header: the shader functions are declared only then.
#define GL_GLEXT_PROTOTYPES
#include "fill_shader.h"

#include <GL/glext.h>

#include <algorithm>
#include <new>

#include "surface_coords.h"
#include "tone.h"
#include "tone_regions.h"

namespace {

// Faces drawn by one call at most, so that a count of corners always fits in a GLsizei.
constexpr int kFacesPerCall = 1 << 22;

// ftransform keeps the depth of every pixel what the fixed-function passes give, so the outline pass and
// the lines are hidden exactly as over the renderer's own fill pass.
constexpr const char* kVertexShader = R"(#version 120
varying vec3 position;
varying vec3 normal;
varying vec2 eyeCoord;
varying vec2 surfaceCoord;
void main() {
  position = gl_Vertex.xyz;
  normal = gl_Normal;
  // Eye-linear texture coordinates with GL's default planes, as the renderer's eye space has them.
  eyeCoord = (gl_ModelViewMatrix * gl_Vertex).xy;
  surfaceCoord = gl_MultiTexCoord0.xy;
  gl_Position = ftransform();
}
)";

// The tone of a face (render/tone.cpp) taken at each pixel's own point with its interpolated normal, as
// smoothToneAt (snap/hatching/picture_field.h) takes it for the hatching: the band of the light's angle
// times its inverse-square fall-off (never above 1), the bands' tones given by bandTone.
constexpr const char* kFragmentShader = R"(#version 120
uniform vec3 light;
uniform float winding;
uniform int look;
uniform float bandTone[17];
uniform vec3 toneColour[4];
uniform float toneLabel[4];
uniform sampler2D hatch0;
uniform sampler2D hatch1;
uniform sampler2D hatch2;
uniform sampler2D hatch3;
varying vec3 position;
varying vec3 normal;
varying vec2 eyeCoord;
varying vec2 surfaceCoord;
int toneHere() {
  vec3 d = position - light;
  float attenuation = min(1.0 / dot(d, d), 1.0);
  float facing = winding * dot(normalize(d), normalize(normal));
  if (!(facing < 0.0)) {
    return int(bandTone[0]);
  }
  return int(bandTone[min(int(16.0 * (-facing * attenuation)), 15) + 1]);
}
void main() {
  if (look == 4) {
    gl_FragColor = vec4(1.0);
    return;
  }
  int tone = toneHere();
  if (look == 0) {
    gl_FragColor = vec4(toneColour[tone], 1.0);
  } else if (look == 1) {
    gl_FragColor = vec4(toneLabel[tone], 0.0, 0.0, 1.0);
  } else {
    // All four sampled, so that each has its derivatives for the mip level wherever the tone changes.
    vec2 st = look == 2 ? eyeCoord : surfaceCoord;
    vec4 t0 = texture2D(hatch0, st), t1 = texture2D(hatch1, st), t2 = texture2D(hatch2, st),
         t3 = texture2D(hatch3, st);
    gl_FragColor = vec4((tone == 0 ? t0 : tone == 1 ? t1 : tone == 2 ? t2 : t3).rgb, 1.0);
  }
}
)";

GLuint compile(GLenum kind, const char* source, std::string& error) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint done = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &done);
  if (done != GL_TRUE) {
    char log[512] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    error = std::string("the fill shader does not compile: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

GLuint link(std::string& error) {
  const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader, error);
  const GLuint fragment = vertex ? compile(GL_FRAGMENT_SHADER, kFragmentShader, error) : 0;
  if (!fragment) {
    glDeleteShader(vertex);
    return 0;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint done = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &done);
  if (done != GL_TRUE) {
    error = "the fill shader does not link";
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

// The tables the shader bands with, from the renderer's own: each band's tone and each tone's label. The
// tones' colours are set for each draw, from its palette.
void setToneTables(GLuint program) {
  GLfloat bandTone[kBandCount + 1], labels[kToneCount];
  for (int band = kTurnedAway; band < kBandCount; ++band) {
    const Tone& tone = toneOfBand(band);
    bandTone[band + 1] = static_cast<GLfloat>(tone.texture);
    labels[tone.texture] = toneLabel(tone.texture) / 255.0f;
  }
  glUniform1fv(glGetUniformLocation(program, "bandTone"), kBandCount + 1, bandTone);
  glUniform1fv(glGetUniformLocation(program, "toneLabel"), kToneCount, labels);
  const char* samplers[] = {"hatch0", "hatch1", "hatch2", "hatch3"};
  for (int i = 0; i < 4; ++i) {
    glUniform1i(glGetUniformLocation(program, samplers[i]), i);
  }
}

}  // namespace

FillShader::FillShader(const Surface& surface) : surface_(surface) {
  const size_t faces = static_cast<size_t>(surface.faceCount());
  corners_.reset(new (std::nothrow) float[18 * faces]);
  if (!corners_) {
    outOfMemory_ = true;
    error_ = "not enough memory for the smooth fill's corners";
    return;
  }
  const Model& model = surface.model();
  for (size_t f = 0; f < faces; ++f) {
    for (int k = 0; k < 3; ++k) {
      float* corner = &corners_[18 * f + 6 * static_cast<size_t>(k)];
      std::copy_n(&model.vertices[model.faces[f].vertexIndex[k]].x, 3, corner);
      // A face of no area covers no pixel, and its corners belong to no fan.
      const Vec3 normal = surface.isFlat(static_cast<int>(f)) ? Vec3{0.0f, 0.0f, 0.0f}
                                                              : surface.cornerNormal(static_cast<int>(f), k);
      std::copy_n(&normal.x, 3, corner + 3);
    }
  }
  program_ = link(error_);
  if (!program_) {
    return;
  }
  GLint previous = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
  glUseProgram(program_);
  setToneTables(program_);
  glUseProgram(static_cast<GLuint>(previous));
  ok_ = true;
}

FillShader::~FillShader() {
  if (program_) {
    glDeleteProgram(program_);
  }
}

bool FillShader::makeTexCoords() {
  if (texCoords_) {
    return true;
  }
  const size_t faces = static_cast<size_t>(surface_.faceCount());
  texCoords_.reset(new (std::nothrow) float[6 * faces]);
  if (!texCoords_) {
    return false;
  }
  for (size_t f = 0; f < faces; ++f) {
    const float* c = &corners_[18 * f];
    const Vec3 p[3] = {{c[0], c[1], c[2]}, {c[6], c[7], c[8]}, {c[12], c[13], c[14]}};
    const ProjectionAxis axis = projectionAxis(faceNormal(p[0], p[1], p[2]));
    for (int k = 0; k < 3; ++k) {
      const TexCoord t = surfaceTexCoord(p[k], axis);
      texCoords_[6 * f + 2 * static_cast<size_t>(k)] = t.s;
      texCoords_[6 * f + 2 * static_cast<size_t>(k) + 1] = t.t;
    }
  }
  return true;
}

bool FillShader::draw(const DrawState& state, Look look, const GLuint* textures) {
  const bool textured = look == Look::EyeTextures || look == Look::ObjectTextures;
  const bool onSurface = look == Look::ObjectTextures;
  if (onSurface && !makeTexCoords()) {
    return false;
  }
  GLint previousProgram = 0, previousUnit = 0, previousTexture = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &previousUnit);
  glUseProgram(program_);
  const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
  glUniform3f(glGetUniformLocation(program_, "light"), light.x, light.y, light.z);
  glUniform1f(glGetUniformLocation(program_, "winding"), state.reversedWinding ? -1.0f : 1.0f);
  glUniform1i(glGetUniformLocation(program_, "look"), static_cast<GLint>(look));
  // The tones in the palette's colours, as the flat fill shows them; the viewer's by default.
  const Palette palette = state.palette ? *state.palette : viewerPalette();
  GLfloat colours[3 * kToneCount];
  for (int tone = 0; tone < kToneCount; ++tone) {
    std::copy_n(&palette.tones[tone].r, 3, &colours[3 * tone]);
  }
  glUniform3fv(glGetUniformLocation(program_, "toneColour"), kToneCount, colours);
  if (textured && textures) {
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    for (int i = 0; i < 4; ++i) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
      glBindTexture(GL_TEXTURE_2D, textures[i]);
    }
  }
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), corners_.get());
  glNormalPointer(GL_FLOAT, 6 * sizeof(float), corners_.get() + 3);
  if (onSurface) {
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords_.get());
  }
  const int faceCount = surface_.faceCount();
  for (int done = 0; done < faceCount; done += kFacesPerCall) {
    glDrawArrays(GL_TRIANGLES, 3 * done, 3 * std::min(kFacesPerCall, faceCount - done));
  }
  glPopClientAttrib();
  if (textured && textures) {
    for (int i = 3; i >= 1; --i) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
      glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
  }
  glActiveTexture(static_cast<GLenum>(previousUnit));
  glUseProgram(static_cast<GLuint>(previousProgram));
  return true;
}

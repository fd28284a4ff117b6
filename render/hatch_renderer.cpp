// Drawing a model in the fill and outline passes, immediate mode, one begin/end per face.
#include "hatch_renderer.h"

#include "hatch_textures.h"
#include "surface_coords.h"
#include "tone.h"

namespace {

// The outline's lines are pulled towards the eye by this many pixels' worth of their own depth slope.
constexpr GLfloat kOutlineSlopeFactor = -1.0f;

inline const GLfloat* positionOf(const ModelVertex& v) {
  return &v.x;
}

inline Vec3 vec(const ModelVertex& v) {
  return {v.x, v.y, v.z};
}

// Eye-linear generation with the default planes: s is eye-space x and t eye-space y, so the hatching
// stays fixed to the view and repeats once per unit.
void enableEyeLinearTexCoords() {
  glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_EYE_LINEAR));
  glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_EYE_LINEAR));
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
}

void drawTriangle(const ModelVertex& v0, const ModelVertex& v1, const ModelVertex& v2) {
  glBegin(GL_TRIANGLES);
  glVertex3fv(positionOf(v0));
  glVertex3fv(positionOf(v1));
  glVertex3fv(positionOf(v2));
  glEnd();
}

// The crease edges, one corner at a time with its edge flag.
void drawCreaseEdges(const Model& model, const CreaseEdges& edges, bool reversedWinding, int width) {
  beginCreaseEdges(reversedWinding, width);
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < edges.faceCount; ++i) {
    const int* index = model.faces[edges.faces[i].face].vertexIndex;
    for (int k = 0; k < 3; ++k) {
      glEdgeFlag((edges.faces[i].edgeMask >> k & 1) ? GL_TRUE : GL_FALSE);
      glVertex3fv(positionOf(model.vertices[index[k]]));
    }
  }
  glEnd();
  endCreaseEdges(reversedWinding);
}

// Each corner takes its texture coordinate from its own position, projected on the face's one plane, so
// neighbours on the same plane meet without a seam.
void drawTriangleOnSurface(const ModelVertex& v0, const ModelVertex& v1, const ModelVertex& v2,
                           ProjectionAxis axis) {
  glBegin(GL_TRIANGLES);
  for (const ModelVertex* v : {&v0, &v1, &v2}) {
    const TexCoord c = surfaceTexCoord(vec(*v), axis);
    glTexCoord2f(c.s, c.t);
    glVertex3fv(positionOf(*v));
  }
  glEnd();
}

}  // namespace

// The chosen edges as the edges of their faces in line mode, each edge flag saying whether to draw one:
// unlike GL_LINES, lines drawn from polygons take a polygon offset, by their own face's depth slope. Half
// a line's width from its edge a face, even one turning towards the eye and measured on the slant, comes
// no nearer than a line's width of that slope, so the offset below shows the line at its full width on
// both faces while anything further in front still hides it. Only faces whose outer side is in view draw:
// an inner face seen at a slant has a slope so steep that its offset would pull its lines through the
// model, and an edge between two inner faces is hidden anyway.
void beginCreaseEdges(bool reversedWinding, int width) {
  glCullFace(reversedWinding ? GL_FRONT : GL_BACK);
  glPolygonMode(reversedWinding ? GL_BACK : GL_FRONT, GL_LINE);
  glPolygonOffset(-static_cast<GLfloat>(width), 0.0f);
}

void endCreaseEdges(bool reversedWinding) {
  const GLenum outerSide = reversedWinding ? GL_BACK : GL_FRONT;
  glEdgeFlag(GL_TRUE);
  glPolygonOffset(kOutlineSlopeFactor, 0.0f);
  glPolygonMode(outerSide, GL_FILL);
  glCullFace(outerSide);
}

HatchRenderer::HatchRenderer() : HatchRenderer(true) {}

HatchRenderer::HatchRenderer(bool withHatchImages) : textures{0, 0, 0, 0}, nextPass(0) {
  if (withHatchImages) {
    createHatchTextures(textures);
  }
}

void HatchRenderer::beginFillPass(bool reversedWinding) {
  glLineWidth(1.0f);
  glDisable(GL_CULL_FACE);
  // Only the outer side is set to fill; the inner side keeps the line mode of the last outline pass,
  // where the filled outer faces hide it.
  glPolygonMode(reversedWinding ? GL_BACK : GL_FRONT, GL_FILL);
  // The inner side's one-pixel lines drawn in this pass must stay behind the outer faces.
  glDisable(GL_POLYGON_OFFSET_LINE);
  nextPass = 1;
}

void HatchRenderer::beginOutlinePass(bool reversedWinding, int outlineWidth) {
  glColor3f(0.0f, 0.0f, 0.0f);
  glLineWidth(static_cast<GLfloat>(outlineWidth));
  glEnable(GL_CULL_FACE);
  // Inner faces as thick lines; the depth test leaves only those along the silhouette visible.
  glCullFace(reversedWinding ? GL_BACK : GL_FRONT);
  glPolygonMode(reversedWinding ? GL_FRONT : GL_BACK, GL_LINE);
  // Pulled towards the eye by one pixel's worth of their own depth slope, the lines' inner half is no longer
  // hidden behind the outer faces along the silhouette, so the line shows at its full width, down to one
  // pixel. Slope only, no constant term: the result then does not depend on the depth buffer's precision,
  // and a window and an offscreen surface draw the same pixels. A larger factor would pull the steep inner
  // walls of thin parts through the faces in front of them.
  glPolygonOffset(kOutlineSlopeFactor, 0.0f);
  glEnable(GL_POLYGON_OFFSET_LINE);
  nextPass = 0;
}

bool HatchRenderer::beginPass(const DrawState& state) {
  const bool fill = nextPass == 0;
  if (fill) {
    beginFillPass(state.reversedWinding);
  } else {
    beginOutlinePass(state.reversedWinding, state.outlineWidth);
    if (state.palette) {
      const Colour& line = state.palette->line;
      glColor3f(line.r, line.g, line.b);
      // The last hatching texture would tint lines of any colour but black: no texture, no tint.
      glBindTexture(GL_TEXTURE_2D, 0);
    }
  }
  enableEyeLinearTexCoords();
  if (fill && state.hatchingSpace == HatchingSpace::Object) {
    beginFillOnSurface(state.texturesEnabled);
  }
  return fill;
}

void HatchRenderer::enterRedrawState(bool reversedWinding) {
  const GLenum innerSide = reversedWinding ? GL_FRONT : GL_BACK;
  glPolygonMode(innerSide, GL_LINE);
}

void HatchRenderer::draw(const Model* model, const DrawState& state) {
  const bool fill = beginPass(state);

  const ModelVertex* vertices = model->vertices;
  const ModelFace* faces = model->faces;
  const int faceCount = model->faceCount;
  if (!fill) {
    for (int i = 0; i < faceCount; ++i) {
      const int* index = faces[i].vertexIndex;
      drawTriangle(vertices[index[0]], vertices[index[1]], vertices[index[2]]);
    }
    if (state.creaseEdges) {
      drawCreaseEdges(*model, *state.creaseEdges, state.reversedWinding, state.outlineWidth);
    }
    return;
  }

  const Vec3 light = lightPosition(state.camera, state.lightYawOffset, state.lightPitchOffset);
  const bool onSurface = state.hatchingSpace == HatchingSpace::Object;
  const GLuint* hatching = onSurface ? surfaceTextures_ : textures;
  for (int i = 0; i < faceCount; ++i) {
    const int* index = faces[i].vertexIndex;
    const ModelVertex& v0 = vertices[index[0]];
    const ModelVertex& v1 = vertices[index[1]];
    const ModelVertex& v2 = vertices[index[2]];
    const Tone& tone = toneOfBand(faceBand(vec(v0), vec(v1), vec(v2), light, state.reversedWinding));
    if (state.texturesEnabled) {
      glColor3f(1.0f, 1.0f, 1.0f);
      glBindTexture(GL_TEXTURE_2D, hatching[tone.texture]);
    } else {
      const Colour colour =
          state.palette ? state.palette->tones[tone.texture] : Colour{tone.r, tone.g, tone.b};
      glColor3f(colour.r, colour.g, colour.b);
    }
    if (onSurface) {
      drawTriangleOnSurface(v0, v1, v2, projectionAxis(faceNormal(vec(v0), vec(v1), vec(v2))));
    } else {
      drawTriangle(v0, v1, v2);
    }
  }
}

// Texture coordinates come per corner from here on; the textures are made on first use, since the viewer
// never draws this way.
void HatchRenderer::beginFillOnSurface(bool texturesEnabled) {
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  if (texturesEnabled && surfaceTextures_[0] == 0) {
    createSurfaceHatchTextures(surfaceTextures_);
  }
}

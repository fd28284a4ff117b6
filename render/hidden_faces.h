// Which faces of a frame cannot show: from where GL puts the model's vertices in the window and the deepest
// depth of each 8x8 tile of the depth buffer, the faces every fragment of which lies behind what the buffer
// already holds. Such a fragment fails the depth test (GL_LESS) and writes nothing, so a pass may leave the
// face out without changing a pixel. No GL here: the caller reads the matrices and the depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model.h"

// How GL places a vertex in the window: its matrices (column-major, as glGetFloatv gives them), viewport
// and depth range.
struct FaceView {
  float modelview[16];
  float projection[16];
  int viewport[4];  // x, y, width, height
  float depthRange[2] = {0.0f, 1.0f};
};

// The deepest depth of each 8x8 tile of a depth picture, and of each 2x2 block of those, and so on up to one
// block for the whole picture; for a picture of up to kExactPixels, also of the 2x2, 4x4 and 8x8 squares
// from every pixel, which give the deepest pixel of a small region exactly.
class DepthTiles {
 public:
  static constexpr int kTileSide = 8;
  static constexpr size_t kExactPixels = size_t{1} << 22;

  // Room for a width x height picture (both at least 1), every tile at depth 0 until its rows come in.
  // False when there is no memory for it.
  bool reset(int width, int height);
  // Takes rows y to y + rows - 1 of the picture, width depths each, as glReadPixels gives GL_UNSIGNED_INT
  // (0 nearest, 2^32 - 1 farthest), the bottom row first.
  void addRows(int y, int rows, const uint32_t* depths);
  // Makes the blocks above the tiles and the squares; once every row is in, before deepest.
  void finish();
  // A depth from 0 to 1 at least as deep as every pixel of [x0, x1] x [y0, y1] (inclusive, inside the
  // picture): the deepest of those pixels where the region is at most 24 pixels on a side and the picture
  // has its squares, else the deepest of the smallest blocks that cover it, at most 4 by 4 of them.
  double deepest(int x0, int y0, int x1, int y1) const;

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  struct Level {
    uint32_t* cells;
    int columns, rows;
  };
  std::unique_ptr<uint32_t[]> cells_;
  size_t capacity_ = 0;
  Level levels_[32] = {};
  int levelCount_ = 0;
  // The pixels, then the deepest of the 2x2, the 4x4 and the 8x8 square from each (cut by the picture's
  // edges); null for a larger picture, or where there was no memory for them.
  std::unique_ptr<uint32_t[]> squares_;
  size_t squareCapacity_ = 0;
  bool exact_ = false;
  int width_ = 0, height_ = 0;
};

// What a pass draws of a face besides its inside: the face's edges as lines of a width, pulled towards the
// eye by a polygon offset of a factor of the face's depth slope.
struct PassReach {
  double lineWidth;     // pixels, at least 1
  double offsetFactor;  // the slope factor of the pull, 0 for none, 1 for glPolygonOffset(-1, 0)
};

// Where GL puts a model's vertices in one view, and which of the model's faces may show in which pass.
class FaceCuller {
 public:
  // The passes a face may show in (judge).
  static constexpr unsigned kInFill = 1, kInOutline = 2;

  // Places every vertex of model as GL does in view, on up to pieces threads. model must stay as it is while
  // faces are judged. False when there is no memory.
  bool place(const Model& model, const FaceView& view, size_t pieces);

  // The passes that face (an index into the placed model's faces) may put a fragment in front of tiles in
  // (the placed view's depth): kInFill unless every fragment of it drawn as fill draws it lies behind tiles,
  // allowing for the polygon offset, half the line width and 2 pixels around it, lines whose depth runs on
  // past their ends, and rounding; kInOutline likewise for outline, and never for a face whose outer side is
  // in view (counter-clockwise in the window, clockwise with reversedWinding), which that pass culls. A face
  // with a corner outside or near the view volume (GL clips it) or so nearly edge-on that GL's single
  // precision may wind it either way shows in both. outline must reach at least as far as fill (its lines as
  // wide, its offset as large).
  unsigned judge(int face, bool reversedWinding, const PassReach& fill, const PassReach& outline,
                 const DepthTiles& tiles) const;

 private:
  struct WindowVertex {
    float x, y, z;
    float inverseW;  // 1 / clip w; not above 0 for a vertex outside the view volume
  };
  // What one face can reach, with room for how differently GL's single precision may place it.
  struct Bounds {
    float x0, y0, x1, y1;   // the corners' window positions, least and greatest
    double nearest;         // the corners' least window depth, less the error it may have
    double slack;           // pixels a window position may be out by
    double depthSlack;      // depth a corner may be out by
    bool counterClockwise;  // the corners' winding in the window, y up
    // Worked out when the face's corners alone do not settle it (negative until then): at least GL's depth
    // slope of the face, max(|dz/dx|, |dz/dy|), and the depth change of a pixel along each edge's major
    // axis; infinite where single precision may give GL far larger ones.
    double slope, edgeSlope;
    const WindowVertex* corners[3];
  };

  // False when face cannot be judged.
  bool bounds(int face, Bounds& bounds) const;
  bool mayShow(Bounds& bounds, const PassReach& pass, const DepthTiles& tiles) const;
  void findSlopes(Bounds& bounds) const;

  std::unique_ptr<WindowVertex[]> vertices_;
  size_t capacity_ = 0;
  const ModelFace* faces_ = nullptr;
  // A corner's window position may be out by xyPerW / w + xyAtAll pixels, its depth by zPerW / w + zAtAll.
  double xyPerW_ = 0, xyAtAll_ = 0, zPerW_ = 0, zAtAll_ = 0;
  double extent_ = 0;  // the largest window coordinate
  int viewport_[4] = {0, 0, 0, 0};
};

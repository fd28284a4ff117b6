// Evenly spaced streamlines of a field of lines over a picture, after Jobard and Lefer, "Creating
// evenly-spaced streamlines of arbitrary density" (1997). Pure, no GL.
#pragma once

#include <cstdint>
#include <vector>

#include "visible_lines.h"

// A field of lines over a width x height picture, per pixel the doubled angle (cos 2a, sin 2a) of the
// line's angle a from the x axis (y down), top row first: shorter than 1 where neighbours disagree, 0 where
// there is none. Pixel (i, j) covers [i, i + 1) x [j, j + 1) and holds the line at its centre.
struct LineField {
  int width = 0;
  int height = 0;
  const float* doubled = nullptr;  // 2 x width x height
};

// What a pixel is to a pass of streamlines: where they run, or where they end, at the edge of what they
// cover (the surface's outline, a line) or elsewhere (where its tone is too light for the pass).
enum PassPixel : uint8_t { kEdge = 0, kElsewhere = 1, kInside = 2 };

class StreamlineTracer {
 public:
  // field's array must outlive the tracer.
  explicit StreamlineTracer(const LineField& field);

  // Adds streamlines separation apart from each other and from every one traced before, over the pixels
  // whose pass (width x height PassPixels, top row first) is kInside. Seeds are taken separation away on
  // either side of the streamlines there are, oldest first, then wherever a grid of that spacing finds room;
  // each is followed both ways until it leaves those pixels, the field turns sharply or fades, or it comes
  // within half the separation of another streamline or of its own further part. One shorter than
  // minLength is dropped, unless it runs from edge to edge (a narrow part crossed whole) and is at least
  // minSpan long. Streamlines traced before run on as they are: a denser pass fills between them. Memory
  // running out throws std::bad_alloc.
  void trace(const std::vector<uint8_t>& pass, double separation, double minLength, double minSpan);

  // Every streamline kept so far, in picture coordinates, oldest first.
  const std::vector<std::vector<LinePoint>>& lines() const { return lines_; }

 private:
  struct Sample {
    float x, y;
    int line;   // its streamline
    int index;  // steps from the streamline's seed, negative on the side traced second
  };
  struct Direction {
    double x, y;
  };

  bool lineAt(double x, double y, Direction& direction) const;
  PassPixel passAt(double x, double y) const;
  bool crowded(double x, double y, double radius, int line, int index) const;
  void insert(const Sample& sample);
  void removeLine(int line, const std::vector<LinePoint>& points);
  void rebuildGrid(double cellSide);
  // One way from a seed; edge says whether it ended at an edge.
  std::vector<LinePoint> half(double x, double y, Direction start, int line, int sign, bool& edge);
  bool traceFrom(double x, double y);
  void seedBeside(size_t line);

  LineField field_;
  std::vector<std::vector<LinePoint>> lines_;
  // The pass under way.
  const std::vector<uint8_t>* pass_ = nullptr;
  double separation_ = 0.0;
  double minLength_ = 0.0;
  double minSpan_ = 0.0;
  double step_ = 0.5;
  // Every sample of every streamline, filed by grid cell of side cell_.
  double cell_ = 1.0;
  int columns_ = 0;
  int rows_ = 0;
  std::vector<std::vector<Sample>> cells_;
};

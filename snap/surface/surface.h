// One model's surface for the line and hatching algorithms: the mesh joined by position with its adjacency,
// built once, and its normals and curvature worked out when first asked for and kept. Pure, no GL.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model.h"
#include "vec3.h"

// Where neighbouring faces turn by this many degrees or more the normals split and the edge stays sharp,
// unless the caller says otherwise. The icosahedron (41.8 degrees between faces), a cube and a machined
// part's chamfers stay faceted; a sphere's or a scan's neighbours and rounded edges tessellated in steps of
// up to 22.5 degrees stay smooth. nprsnap splits at the --creases angle when one is given, so that the edges
// drawn as creases are exactly the sharp ones.
constexpr float kDefaultSplitDegrees = 30.0f;

struct SurfaceOptions {
  float splitDegrees = kDefaultSplitDegrees;
  // Above 0: every normal and curvature is averaged with those of the vertices around it within this
  // distance in model units (Gaussian weights of sigma half the radius, times each vertex's area), which
  // quiets a scan's noise. 0 leaves them as measured.
  float smoothingRadius = 0.0f;
};

constexpr int kNoFace = -1;
constexpr int kNoEdge = -1;

// An edge of the joined mesh: the sides of faces between the same two positions.
struct SurfaceEdge {
  int vertex[2];  // joined vertices, the lower first
  int face[2];    // the faces along it; face[1] is kNoFace unless exactly two faces meet here
  uint8_t sides;  // how many faces meet here, 3 for three or more
  bool sameWay;   // two faces that run along it the same way: one of them is flipped
};

// The curvature of the surface at a vertex: the principal curvatures, k1 the larger in magnitude, and their
// unit directions in the tangent plane (direction2 = normal x direction1). Positive where the surface bends
// away from its normal, as a sphere wound counter-clockwise from outside does.
struct PrincipalCurvature {
  Vec3 direction1;
  Vec3 direction2;
  float k1;
  float k2;
};

// The derivative of the curvature at a vertex, in its principal frame (e1, e2 = direction1, direction2):
// C(e1,e1,e1), C(e1,e1,e2), C(e1,e2,e2), C(e2,e2,e2), where C(a,b,c) is the change of the second
// fundamental form's (b, c) entry along a.
using CurvatureDerivative = std::array<float, 4>;

// Indices [begin, end) into a list.
struct IndexRange {
  const int* first;
  const int* last;
  const int* begin() const { return first; }
  const int* end() const { return last; }
  size_t size() const { return static_cast<size_t>(last - first); }
};

class Surface {
 public:
  // Joins model's corners by position, as the crease finder does, computes each face's unit normal and
  // files the edges and the corners at each vertex. ok() is false when memory ran out or the model has
  // more than INT_MAX / 3 faces. model must outlive the surface and stay as it is.
  explicit Surface(const Model& model, const SurfaceOptions& options = {});
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool ok() const { return ok_; }
  const Model& model() const { return model_; }
  const SurfaceOptions& options() const { return options_; }

  // The joined mesh: one vertex per position, each face's corners in winding order.
  int vertexCount() const { return static_cast<int>(positions_.size()); }
  int faceCount() const { return static_cast<int>(flat_.size()); }
  const std::vector<Vec3>& positions() const { return positions_; }
  const std::vector<int>& joinedVertexOf() const { return joined_; }  // per model vertex
  const int* corners(int face) const { return &faceCorners_[3 * static_cast<size_t>(face)]; }
  // A face of no area (two corners at one position, three in a row, or not finite) shows nothing, has no
  // normal and belongs to no edge.
  bool isFlat(int face) const { return flat_[static_cast<size_t>(face)] != 0; }
  const std::vector<Vec3>& faceNormals() const { return faceNormals_; }  // unit; zero for a flat face
  const std::vector<SurfaceEdge>& edges() const { return edges_; }
  // The edge along face's side from corner k to corner k + 1 (2 to 0 for k = 2); kNoEdge for a flat face.
  int edgeOfSide(int face, int k) const { return edgeOfSide_[3 * static_cast<size_t>(face) + k]; }
  // The corners (3 x face + k) at a vertex, of faces that are not flat, in ascending order.
  IndexRange cornersAt(int vertex) const {
    const int* base = cornerList_.data();
    return {base + cornerStarts_[static_cast<size_t>(vertex)],
            base + cornerStarts_[static_cast<size_t>(vertex) + 1]};
  }

  // Works out, once, the angle-weighted normal of every vertex, which edges split the normals (sides other
  // than two, a flipped face, or faces turning by the split angle or more), and the normal of every corner:
  // the angle-weighted normal of the fan of faces around its vertex that no split edge separates from it.
  // With a smoothing radius, the normals of vertices with one fan are smoothed. Returns false when memory
  // ran out; the normals below are valid after it returned true.
  bool needNormals();
  const std::vector<Vec3>& vertexNormals() const { return vertexNormals_; }
  bool isSplit(int edge) const { return split_[static_cast<size_t>(edge)] != 0; }
  // Corners whose normals are one: the same fan of the same vertex.
  int normalGroup(int face, int k) const { return cornerGroup_[3 * static_cast<size_t>(face) + k]; }
  const std::vector<Vec3>& groupNormals() const { return groupNormals_; }
  const Vec3& cornerNormal(int face, int k) const {
    return groupNormals_[static_cast<size_t>(normalGroup(face, k))];
  }

  // Works out, once, every vertex's principal curvatures and directions by Rusinkiewicz's estimate
  // ("Estimating curvatures and their derivatives on triangle meshes", 2004): each face's second
  // fundamental form fitted to the change of the corner normals along its sides, the faces' forms averaged
  // at each vertex in its tangent plane with the corners' Voronoi areas as weights; smoothed over the radius
  // when one is given. Needs and makes the normals. Returns false when memory ran out.
  bool needCurvatures();
  const std::vector<PrincipalCurvature>& curvatures() const { return curvatures_; }
  const std::vector<float>& vertexAreas() const { return vertexAreas_; }  // each vertex's Voronoi area

  // Works out, once, the derivative of the curvature at every vertex by the same fit one order up: each
  // face's derivative fitted to the change of its corners' curvatures, averaged at the vertices. Needs and
  // makes the curvatures. Returns false when memory ran out.
  bool needCurvatureDerivatives();
  const std::vector<CurvatureDerivative>& curvatureDerivatives() const { return derivatives_; }

 private:
  bool build();
  void findSplits(std::vector<float>& cornerAngles);
  void groupCorners(const std::vector<float>& cornerAngles, std::vector<int>& groupsAt);
  void needAreas();
  void smoothNormals(const std::vector<int>& groupsAt);
  void smoothCurvatures();

  const Model& model_;
  SurfaceOptions options_;
  bool ok_ = false;
  std::vector<int> joined_;
  std::vector<Vec3> positions_;
  std::vector<int> faceCorners_;
  std::vector<uint8_t> flat_;
  std::vector<Vec3> faceNormals_;
  std::vector<SurfaceEdge> edges_;
  std::vector<int> edgeOfSide_;
  std::vector<int> cornerStarts_;
  std::vector<int> cornerList_;

  bool normalsMade_ = false;
  std::vector<Vec3> vertexNormals_;
  std::vector<uint8_t> split_;
  std::vector<int> cornerGroup_;
  std::vector<Vec3> groupNormals_;

  std::vector<float> cornerAreas_;
  std::vector<float> vertexAreas_;
  bool curvaturesMade_ = false;
  std::vector<PrincipalCurvature> curvatures_;
  bool derivativesMade_ = false;
  std::vector<CurvatureDerivative> derivatives_;
};

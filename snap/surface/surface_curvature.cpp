// Curvature and its derivative at every vertex by Rusinkiewicz's per-face fit (2004): each face's tensor
// fitted to what changes along its sides, then averaged at the vertices in their own tangent frames.
#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "curvature_frames.h"
#include "parallel.h"
#include "surface.h"

namespace {

// A face's own frame (t along its first side, b across it in its plane) and the tensor fitted there: the
// second fundamental form (II(t,t), II(t,b), II(b,b)), or its derivative (C(t,t,t), C(t,t,b), C(t,b,b),
// C(b,b,b)). solved is false where the fit had no unique answer, and the face then adds nothing.
struct FaceFit {
  Vec3 t, b;
  float tensor[4];
  bool solved;
};

// The sides of a face, each opposite its corner j: from corner j + 1 to corner j + 2.
struct FaceSides {
  Vec3 side[3];
  Vec3 t, b;
};

FaceSides sidesOf(const Vec3& p0, const Vec3& p1, const Vec3& p2) {
  FaceSides s{{p2 - p1, p0 - p2, p1 - p0}, {}, {}};
  const Vec3 n = cross(s.side[0], s.side[1]);
  s.t = (1.0f / lengthOf(s.side[0])) * s.side[0];
  const Vec3 b = cross(n, s.t);
  s.b = (1.0f / lengthOf(b)) * b;
  return s;
}

FaceSides sidesOfFace(const Surface& surface, size_t face) {
  const int* c = surface.corners(static_cast<int>(face));
  const std::vector<Vec3>& p = surface.positions();
  return sidesOf(p[static_cast<size_t>(c[0])], p[static_cast<size_t>(c[1])], p[static_cast<size_t>(c[2])]);
}

// The Voronoi areas of a face's corners (Meyer, Desbrun, Schroeder and Barr 2003): the parts of the face
// nearer to each corner than to the others, or for an obtuse face, half the face to the obtuse corner and a
// quarter to each other.
void cornerAreasOf(const FaceSides& s, float* areas) {
  const float area = 0.5f * lengthOf(cross(s.side[0], s.side[1]));
  const float l2[3] = {dot(s.side[0], s.side[0]), dot(s.side[1], s.side[1]), dot(s.side[2], s.side[2])};
  const float weight[3] = {l2[0] * (l2[1] + l2[2] - l2[0]), l2[1] * (l2[2] + l2[0] - l2[1]),
                           l2[2] * (l2[0] + l2[1] - l2[2])};
  for (int j = 0; j < 3; ++j) {
    if (weight[j] <= 0.0f) {
      // Obtuse at corner j: the other two corners take the triangles their sides' midpoints cut off.
      const int a = (j + 1) % 3, b = (j + 2) % 3;
      areas[a] = -0.25f * l2[b] * area / dot(s.side[j], s.side[b]);
      areas[b] = -0.25f * l2[a] * area / dot(s.side[j], s.side[a]);
      areas[j] = area - areas[a] - areas[b];
      return;
    }
  }
  const float scale = 0.5f * area / (weight[0] + weight[1] + weight[2]);
  for (int j = 0; j < 3; ++j) {
    areas[j] = scale * (weight[(j + 1) % 3] + weight[(j + 2) % 3]);
  }
}

// Every face's frame and its tensor, fitted by fit(face, sides, result) from what changes along its sides,
// on every core; flat faces stay unsolved.
template <typename Fit>
std::vector<FaceFit> fitFaces(const Surface& surface, const Fit& fit) {
  std::vector<FaceFit> fits(static_cast<size_t>(surface.faceCount()));
  parallelFor(fits.size(), [&](size_t begin, size_t end, int) {
    for (size_t f = begin; f < end; ++f) {
      FaceFit& result = fits[f];
      result.solved = false;
      if (surface.isFlat(static_cast<int>(f))) {
        continue;
      }
      const FaceSides s = sidesOfFace(surface, f);
      result.t = s.t;
      result.b = s.b;
      fit(f, s, result);
    }
  });
  return fits;
}

// The mean at a vertex of its faces' solved tensors, each turned into the vertex's frame by project(fit)
// and weighted by its corner's share of the vertex's area.
template <size_t N, typename Project>
std::array<double, N> averageAtVertex(const Surface& surface, const std::vector<float>& cornerAreas,
                                      const std::vector<FaceFit>& fits, size_t vertex,
                                      const Project& project) {
  std::array<double, N> sum{};
  const float area = surface.vertexAreas()[vertex];
  for (const int corner : surface.cornersAt(static_cast<int>(vertex))) {
    const FaceFit& fit = fits[static_cast<size_t>(corner / 3)];
    if (!fit.solved || !(area > 0.0f)) {
      continue;
    }
    const double weight = cornerAreas[static_cast<size_t>(corner)] / area;
    const auto here = project(fit);
    for (size_t i = 0; i < N; ++i) {
      sum[i] += weight * here[i];
    }
  }
  return sum;
}

// A starting tangent frame at a vertex: along its first corner's side, made perpendicular to normal.
void startFrame(const Vec3& side, const Vec3& normal, Vec3& u, Vec3& v) {
  Vec3 across = cross(side, normal);
  float length = lengthOf(across);
  if (!(length > 0.0f)) {
    // The side along the normal: any direction across it.
    across = std::abs(normal.x) < 0.9f ? cross(Vec3{1, 0, 0}, normal) : cross(Vec3{0, 1, 0}, normal);
    length = lengthOf(across);
  }
  u = (1.0f / length) * across;
  v = cross(normal, u);
}

}  // namespace

void Surface::needAreas() {
  if (!vertexAreas_.empty() || positions_.empty()) {
    return;
  }
  const size_t faceCount = flat_.size();
  cornerAreas_.assign(3 * faceCount, 0.0f);
  parallelFor(faceCount, [this](size_t begin, size_t end, int) {
    for (size_t f = begin; f < end; ++f) {
      if (!flat_[f]) {
        const int* c = corners(static_cast<int>(f));
        cornerAreasOf(sidesOf(positions_[static_cast<size_t>(c[0])], positions_[static_cast<size_t>(c[1])],
                              positions_[static_cast<size_t>(c[2])]),
                      &cornerAreas_[3 * f]);
      }
    }
  });
  vertexAreas_.assign(positions_.size(), 0.0f);
  parallelFor(positions_.size(), [this](size_t begin, size_t end, int) {
    for (size_t v = begin; v < end; ++v) {
      for (const int corner : cornersAt(static_cast<int>(v))) {
        vertexAreas_[v] += cornerAreas_[static_cast<size_t>(corner)];
      }
    }
  });
}

bool Surface::needCurvatures() {
  if (curvaturesMade_) {
    return true;
  }
  if (!needNormals()) {
    return false;
  }
  try {
    needAreas();
    // Each face's second fundamental form, least squares over its three sides: along a side (u, v) in the
    // face's frame the corner normals change by II (u, v).
    const std::vector<FaceFit> fits = fitFaces(*this, [this](size_t f, const FaceSides& s, FaceFit& fit) {
      double w[3][3] = {}, m[3] = {};
      for (int j = 0; j < 3; ++j) {
        const double u = dot(s.side[j], s.t), v = dot(s.side[j], s.b);
        w[0][0] += u * u;
        w[0][1] += u * v;
        w[2][2] += v * v;
        const Vec3 dn =
            cornerNormal(static_cast<int>(f), (j + 2) % 3) - cornerNormal(static_cast<int>(f), (j + 1) % 3);
        const double dnu = dot(dn, s.t), dnv = dot(dn, s.b);
        m[0] += dnu * u;
        m[1] += dnu * v + dnv * u;
        m[2] += dnv * v;
      }
      w[1][1] = w[0][0] + w[2][2];
      w[1][2] = w[0][1];
      double x[3];
      fit.solved = solveSymmetric<3>(w, m, x);
      for (int i = 0; i < 3; ++i) {
        fit.tensor[i] = static_cast<float>(x[i]);
      }
    });
    // At each vertex, the faces' forms turned into its tangent plane and averaged by the corners' areas, then
    // turned to the principal directions.
    curvatures_.resize(positions_.size());
    parallelFor(positions_.size(), [&](size_t begin, size_t end, int) {
      for (size_t v = begin; v < end; ++v) {
        const IndexRange at = cornersAt(static_cast<int>(v));
        PrincipalCurvature& curvature = curvatures_[v];
        curvature = {{0, 0, 0}, {0, 0, 0}, 0.0f, 0.0f};
        if (at.size() == 0 || !(vertexAreas_[v] > 0.0f)) {
          continue;
        }
        const Vec3& normal = vertexNormals_[v];
        Vec3 u, w;
        const int* c = corners(at.first[0] / 3);
        const int k = at.first[0] % 3;
        startFrame(positions_[static_cast<size_t>(c[(k + 1) % 3])] - positions_[v], normal, u, w);
        const std::array<double, 3> form =
            averageAtVertex<3>(*this, cornerAreas_, fits, v, [&u, &w](const FaceFit& fit) {
              return projectForm(fit.t, fit.b, {fit.tensor[0], fit.tensor[1], fit.tensor[2]}, u, w);
            });
        curvature = principalOf(
            u, w, {static_cast<float>(form[0]), static_cast<float>(form[1]), static_cast<float>(form[2])},
            normal);
      }
    });
    if (options_.smoothingRadius > 0.0f) {
      smoothCurvatures();
    }
    curvaturesMade_ = true;
  } catch (const std::bad_alloc&) {
    curvatures_ = {};
  }
  return curvaturesMade_;
}

bool Surface::needCurvatureDerivatives() {
  if (derivativesMade_) {
    return true;
  }
  if (!needCurvatures()) {
    return false;
  }
  try {
    // Each face's derivative of the form, least squares over its sides: along a side (u, v) the corners'
    // forms change by C(u, ., .) + C(v, ., .), the mixed entry counted twice as it stands twice in the form.
    const std::vector<FaceFit> fits = fitFaces(*this, [this](size_t f, const FaceSides& s, FaceFit& fit) {
      const int* c = corners(static_cast<int>(f));
      SecondForm atCorner[3];
      for (int j = 0; j < 3; ++j) {
        const PrincipalCurvature& pc = curvatures_[static_cast<size_t>(c[j])];
        atCorner[j] = projectForm(pc.direction1, pc.direction2, {pc.k1, 0.0f, pc.k2}, s.t, s.b);
      }
      double w[4][4] = {}, m[4] = {};
      for (int j = 0; j < 3; ++j) {
        const double u = dot(s.side[j], s.t), v = dot(s.side[j], s.b);
        w[0][0] += u * u;
        w[0][1] += u * v;
        w[3][3] += v * v;
        double d[3];
        for (int i = 0; i < 3; ++i) {
          d[i] = double{atCorner[(j + 2) % 3][i]} - atCorner[(j + 1) % 3][i];
        }
        m[0] += d[0] * u;
        m[1] += d[0] * v + 2.0 * d[1] * u;
        m[2] += 2.0 * d[1] * v + d[2] * u;
        m[3] += d[2] * v;
      }
      w[1][1] = 2.0 * w[0][0] + w[3][3];
      w[1][2] = 2.0 * w[0][1];
      w[2][2] = w[0][0] + 2.0 * w[3][3];
      w[2][3] = w[0][1];
      double x[4];
      fit.solved = solveSymmetric<4>(w, m, x);
      for (int i = 0; i < 4; ++i) {
        fit.tensor[i] = static_cast<float>(x[i]);
      }
    });
    derivatives_.resize(positions_.size());
    parallelFor(positions_.size(), [&](size_t begin, size_t end, int) {
      for (size_t v = begin; v < end; ++v) {
        const PrincipalCurvature& pc = curvatures_[v];
        const std::array<double, 4> sum =
            averageAtVertex<4>(*this, cornerAreas_, fits, v, [&pc](const FaceFit& fit) {
              return projectDerivative(fit.t, fit.b,
                                       {fit.tensor[0], fit.tensor[1], fit.tensor[2], fit.tensor[3]},
                                       pc.direction1, pc.direction2);
            });
        derivatives_[v] = {static_cast<float>(sum[0]), static_cast<float>(sum[1]), static_cast<float>(sum[2]),
                           static_cast<float>(sum[3])};
      }
    });
    derivativesMade_ = true;
  } catch (const std::bad_alloc&) {
    derivatives_ = {};
  }
  return derivativesMade_;
}

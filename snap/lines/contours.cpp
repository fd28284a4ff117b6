// Contours on the surface: where the interpolated normal turns across the ray from the eye, one segment a
// face, and the mesh's own edges where its normals split; with them the crease and border edges.
#include "line_parts.h"

namespace {

// Where the function that is ga at a and gb at b (of opposite signs) passes through 0 on the segment.
Vec3 crossing(const Vec3& a, const Vec3& b, float ga, float gb) {
  const float t = ga / (ga - gb);
  return a + t * (b - a);
}

// The sign of the change of the linear function that is g[k] at p[k] across the triangle, along direction d
// projected on its plane: the derivative times the squared area of the triangle, which is positive.
double changeAlong(const Vec3* p, const float* g, const Vec3& d) {
  const Vec3 e1 = p[1] - p[0], e2 = p[2] - p[0];
  const double g11 = dot(e1, e1), g12 = dot(e1, e2), g22 = dot(e2, e2), d1 = dot(d, e1), d2 = dot(d, e2);
  return (double{g[1]} - g[0]) * (g22 * d1 - g12 * d2) + (double{g[2]} - g[0]) * (g11 * d2 - g12 * d1);
}

}  // namespace

void findContourSegments(const Surface& surface, const std::vector<uint8_t>& edgeKinds, const LineView& view,
                         std::vector<SurfaceSegment>& segments) {
  const Vec3& eye = view.eye;
  // Normals as wound point out of the solid, or into it for a model wound the other way.
  const float outward = view.reversedWinding ? -1.0f : 1.0f;
  const std::vector<Vec3>& positions = surface.positions();
  const std::vector<Vec3>& faceNormals = surface.faceNormals();
  const int vertices = surface.vertexCount();
  // Which way each face turns, by the eye's position: the perspective view sees a face's side by where the
  // eye stands, not by the viewing direction.
  auto towardEye = [&](int face) {
    const Vec3& n = faceNormals[static_cast<size_t>(face)];
    return dot(n, eye) > dot(n, positions[static_cast<size_t>(surface.corners(face)[0])]);
  };
  const std::vector<SurfaceEdge>& edges = surface.edges();
  for (size_t e = 0; e < edges.size(); ++e) {
    const SurfaceEdge& edge = edges[e];
    const bool contour = edge.sides == 2 && surface.isSplit(static_cast<int>(e)) &&
                         (towardEye(edge.face[0]) != towardEye(edge.face[1])) != edge.sameWay;
    if (!contour && edgeKinds[e] == kNoLineKind) {
      continue;
    }
    const Vec3 &a = positions[static_cast<size_t>(edge.vertex[0])],
               &b = positions[static_cast<size_t>(edge.vertex[1])];
    // A ridge folds away; in a valley the faces hide their own edge.
    bool fold = contour;
    if (contour && !edge.sameWay) {
      const int* other = surface.corners(edge.face[1]);
      const Vec3& beyond =
          positions[static_cast<size_t>(other[0] + other[1] + other[2] - edge.vertex[0] - edge.vertex[1])];
      fold = outward * dot(faceNormals[static_cast<size_t>(edge.face[0])], beyond - a) <= 0.0f;
    }
    segments.push_back({{a, b},
                        {edge.vertex[0], edge.vertex[1]},
                        {edge.face[0], edge.face[1]},
                        contour ? LineKind::Contour : static_cast<LineKind>(edgeKinds[e]),
                        fold});
  }

  // Within the faces: n . (p - eye), the normal and the point interpolated from the corners, changes sign on
  // the two sides where it is of opposite signs at their ends. On a side where the normals do not split both
  // faces see the same ends, so their segments meet at one point, which names it.
  for (int f = 0; f < surface.faceCount(); ++f) {
    if (surface.isFlat(f)) {
      continue;
    }
    const int* c = surface.corners(f);
    float g[3];
    for (int k = 0; k < 3; ++k) {
      g[k] = dot(surface.cornerNormal(f, k), positions[static_cast<size_t>(c[k])] - eye);
    }
    const bool above[3] = {g[0] > 0.0f, g[1] > 0.0f, g[2] > 0.0f};
    if (above[0] == above[1] && above[1] == above[2]) {
      continue;
    }
    SurfaceSegment segment{{}, {kNoNode, kNoNode}, {f, kNoFace}, LineKind::Contour, false};
    int found = 0;
    for (int k = 0; k < 3; ++k) {
      const int next = (k + 1) % 3;
      if (above[k] == above[next]) {
        continue;
      }
      const int e = surface.edgeOfSide(f, k);
      // From the edge's lower vertex, so that both faces along it compute the same point to the bit.
      const bool forward = c[k] < c[next];
      const int a = forward ? k : next, b = forward ? next : k;
      segment.end[found] =
          crossing(positions[static_cast<size_t>(c[a])], positions[static_cast<size_t>(c[b])], g[a], g[b]);
      segment.node[found] = e != kNoEdge && !surface.isSplit(e) ? vertices + e : kNoNode;
      ++found;
    }
    // Where the surface folds away from the eye (curves away from its outside along the view), the function
    // falls towards the eye: the contour's far side shows what lies beyond. Where it rises the surface curves
    // towards the eye and hides its own contour.
    const Vec3 corner[3] = {positions[static_cast<size_t>(c[0])], positions[static_cast<size_t>(c[1])],
                            positions[static_cast<size_t>(c[2])]};
    segment.fold = outward * changeAlong(corner, g, eye - 0.5f * (segment.end[0] + segment.end[1])) < 0.0;
    segments.push_back(segment);
  }
}

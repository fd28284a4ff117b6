// Suggestive contours (DeCarlo, Finkelstein, Rusinkiewicz and Santella 2003): where the radial curvature
// passes through zero on the surface turned towards the eye while it grows away from the eye, the places
// that would become contours under a slight turn of the view.
#include <cmath>

#include "line_parts.h"

namespace {

// What a vertex shows of the surface from the eye: the radial curvature times sin^2 of the view's angle to
// the normal (zero where the radial curvature is, without dividing by the angle), and how strongly the
// radial curvature grows away from the eye there, as the threshold measures it.
struct Radial {
  float curvature;
  float strength;
};

Radial radialAt(const Vec3& p, const Vec3& normal, const PrincipalCurvature& pc, const CurvatureDerivative& c,
                const Vec3& eye, float outward) {
  const Vec3 toEye = eye - p;
  const float distance = lengthOf(toEye);
  if (!(distance > 0.0f)) {
    return {0.0f, 0.0f};
  }
  const Vec3 view = (1.0f / distance) * toEye;
  const float cosine = dot(view, normal);
  // The view projected on the tangent plane, in the principal frame: (u, v), of length sin(angle).
  const float u = dot(view, pc.direction1), v = dot(view, pc.direction2);
  const float u2 = u * u, v2 = v * v, sin2 = u2 + v2;
  const Radial none{pc.k1 * u2 + pc.k2 * v2, 0.0f};
  // Only the surface turned towards the eye shows suggestive contours.
  if (!(outward * cosine > 0.0f) || !(sin2 > 0.0f)) {
    return none;
  }
  // The derivative of the radial curvature along the projected view, times sin(angle): C(w, w, w) / sin^2
  // for the unnormalised w, less 2 cos(angle) times the square of the geodesic torsion along w.
  const float torsion = (pc.k2 - pc.k1) * u * v / sin2;
  const float derivative = (u2 * (u * c[0] + 3.0f * v * c[1]) + v2 * (3.0f * u * c[2] + v * c[3])) / sin2 -
                           2.0f * cosine * torsion * torsion;
  // Divided by cos(angle): the derivative times tan(angle), kept with its sign whichever way the normals
  // point; times the squared distance, so that the measure keeps as the model or the eye moves.
  return {none.curvature, derivative / cosine * distance * distance};
}

}  // namespace

void findSuggestiveSegments(const Surface& surface, const LineView& view, float threshold,
                            std::vector<SurfaceSegment>& segments) {
  const std::vector<Vec3>& positions = surface.positions();
  const float outward = view.reversedWinding ? -1.0f : 1.0f;
  std::vector<Radial> radial(positions.size());
  for (size_t v = 0; v < positions.size(); ++v) {
    radial[v] = radialAt(positions[v], surface.vertexNormals()[v], surface.curvatures()[v],
                         surface.curvatureDerivatives()[v], view.eye, outward);
  }
  const int vertices = surface.vertexCount();
  for (int f = 0; f < surface.faceCount(); ++f) {
    if (surface.isFlat(f)) {
      continue;
    }
    const int* c = surface.corners(f);
    const Radial r[3] = {radial[static_cast<size_t>(c[0])], radial[static_cast<size_t>(c[1])],
                         radial[static_cast<size_t>(c[2])]};
    const bool above[3] = {r[0].curvature > 0.0f, r[1].curvature > 0.0f, r[2].curvature > 0.0f};
    if (above[0] == above[1] && above[1] == above[2]) {
      continue;
    }
    SurfaceSegment segment{{}, {kNoNode, kNoNode}, {f, kNoFace}, LineKind::Suggestive, false};
    float strength[2] = {0.0f, 0.0f};
    int found = 0;
    for (int k = 0; k < 3; ++k) {
      const int next = (k + 1) % 3;
      if (above[k] == above[next]) {
        continue;
      }
      // From the edge's lower vertex, so that both faces along it compute the same point to the bit.
      const bool forward = c[k] < c[next];
      const int a = forward ? k : next, b = forward ? next : k;
      const float t = r[a].curvature / (r[a].curvature - r[b].curvature);
      const Vec3 &pa = positions[static_cast<size_t>(c[a])], &pb = positions[static_cast<size_t>(c[b])];
      segment.end[found] = pa + t * (pb - pa);
      strength[found] = r[a].strength + t * (r[b].strength - r[a].strength);
      const int e = surface.edgeOfSide(f, k);
      segment.node[found] = e != kNoEdge ? vertices + e : kNoNode;
      ++found;
    }
    // Kept where it grows fast enough: cut where the strength, interpolated along it, reaches the threshold.
    const bool strong[2] = {strength[0] > threshold, strength[1] > threshold};
    if (!strong[0] && !strong[1]) {
      continue;
    }
    if (strong[0] != strong[1]) {
      const int weak = strong[0] ? 1 : 0;
      const float t = (threshold - strength[weak]) / (strength[1 - weak] - strength[weak]);
      segment.end[weak] = segment.end[weak] + t * (segment.end[1 - weak] - segment.end[weak]);
      segment.node[weak] = kNoNode;
    }
    segments.push_back(segment);
  }
}

// Curvature tensors moved between tangent frames, turned to their principal directions, and the small least
// squares fits behind them: the maths the curvature estimate and its smoothing share.
#pragma once

#include <array>
#include <cmath>

#include "surface.h"

// A second fundamental form in a frame (u, v): II(u,u), II(u,v), II(v,v).
using SecondForm = std::array<float, 3>;

// u and v turned about the axis from their own normal (u x v) to normal, so that they lie across normal.
// Needs u, v unit and perpendicular.
void rotateFrame(const Vec3& u, const Vec3& v, const Vec3& normal, Vec3& turnedU, Vec3& turnedV);

// form, given in the frame (oldU, oldV), in the frame (newU, newV), the new frame first turned into the old
// one's plane. Needs both frames unit and perpendicular.
SecondForm projectForm(const Vec3& oldU, const Vec3& oldV, const SecondForm& form, const Vec3& newU,
                       const Vec3& newV);

// The same for a derivative of the form, given as CurvatureDerivative is in the frame (oldU, oldV).
CurvatureDerivative projectDerivative(const Vec3& oldU, const Vec3& oldV,
                                      const CurvatureDerivative& derivative, const Vec3& newU,
                                      const Vec3& newV);

// The principal curvatures and directions of form, given in the frame (u, v), at a vertex with unit normal:
// the frame turned across the normal, then the form diagonalised by one Jacobi rotation.
PrincipalCurvature principalOf(const Vec3& u, const Vec3& v, const SecondForm& form, const Vec3& normal);

// Solves a x = b for a symmetric positive definite N x N matrix a, given by its upper triangle (a[i][j],
// j >= i), by an LDL^T decomposition. Returns false, x undefined, when a is not positive definite.
template <int N>
bool solveSymmetric(const double (&a)[N][N], const double (&b)[N], double (&x)[N]) {
  double l[N][N] = {}, d[N];
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j <= i; ++j) {
      double sum = a[j][i];
      for (int k = 0; k < j; ++k) {
        sum -= l[i][k] * l[j][k] * d[k];
      }
      if (i == j) {
        // Relative to the diagonal, so that a fit of tiny sides is judged as one of large ones.
        if (!(sum > 1e-12 * std::abs(a[i][i]))) {
          return false;
        }
        d[i] = sum;
        l[i][i] = 1.0;
      } else {
        l[i][j] = sum / d[j];
      }
    }
  }
  double y[N];
  for (int i = 0; i < N; ++i) {
    y[i] = b[i];
    for (int k = 0; k < i; ++k) {
      y[i] -= l[i][k] * y[k];
    }
  }
  for (int i = N - 1; i >= 0; --i) {
    x[i] = y[i] / d[i];
    for (int k = i + 1; k < N; ++k) {
      x[i] -= l[k][i] * x[k];
    }
  }
  return true;
}

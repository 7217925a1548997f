// Dense Gaussian elimination with partial pivoting, in place on the run's J and F.
#include "engine/linear_solver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace movra {

namespace {

constexpr int kSmallestPivotEntry = -1100;
constexpr double kNoPivotYet = 3e33;
constexpr double kNoteThreshold = 1e-9;
constexpr double kFailThreshold = 1e-14;

}  // namespace

// Forward elimination: for k = 1..N take the row p ≥ k with the largest |J[p][k]|,
// swap it into row k, scale row k by 1/J[k][k] (the diagonal stays, read as 1) and
// subtract J[i][k]·row k from every row i > k. Back substitution:
//   Δ_k = F_k − Σ_{j>k} J[k][j]·Δ_j.
// Exact zeros are skipped everywhere: the systems are sparse and mostly banded.
int solveLinearSystem(Run& run, ParameterStore& parameters) {
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  double* const f = run.F;
  auto row = [&run](int r) { return &run.J[r * kRowStride]; };

  parameters[kSmallestPivotEntry] = kNoPivotYet;
  int pivotRow = 0;  // kept from column to column, as the singular note shows it
  for (int k = 1; k <= n; ++k) {
    double best = 0.0;
    for (int i = k; i <= n; ++i) {
      const double entry = row(i)[k];
      if (entry == 0.0) continue;
      // Strictly larger: among equal magnitudes the lowest row stays the pivot.
      if (std::fabs(entry) > best) {
        best = std::fabs(entry);
        pivotRow = i;
      }
    }
    if (best < kNoteThreshold) {
      std::snprintf(run.solverNote, sizeof run.solverNote, "1.e-9 near singuler -> ? %e", best);
    }
    if (best == 0.0) {
      std::snprintf(run.solverNote, sizeof run.solverNote, "0. singuler -> ! %d %d %d %d", k,
                    pivotRow, 0, 0);
      return kSingular;
    }
    if (best < kFailThreshold) {
      std::snprintf(run.solverNote, sizeof run.solverNote, "1.e-14 near singuler -> !  %e", best);
      return kNearlySingular;
    }
    if (best < parameters[kSmallestPivotEntry]) parameters[kSmallestPivotEntry] = best;

    double* const pivot = row(k);
    if (pivotRow != k) {
      double* const other = row(pivotRow);
      for (int j = k; j <= n; ++j) std::swap(pivot[j], other[j]);
      std::swap(f[k], f[pivotRow]);
    }
    const double d = pivot[k];
    for (int j = k + 1; j <= n; ++j) {
      if (pivot[j] != 0.0) pivot[j] /= d;
    }
    if (f[k] != 0.0) f[k] /= d;

    for (int i = k + 1; i <= n; ++i) {
      double* const target = row(i);
      const double c = target[k];
      if (c == 0.0) continue;
      for (int j = k + 1; j <= n; ++j) {
        if (pivot[j] != 0.0) target[j] -= c * pivot[j];
      }
      if (f[k] != 0.0) f[i] -= c * f[k];
    }
  }

  for (int k = n; k >= 1; --k) {
    const double* const r = row(k);
    double s = 0.0;
    for (int j = k + 1; j <= n; ++j) {
      if (r[j] != 0.0) s += r[j] * run.X[j];
    }
    run.X[k] = f[k] - s;
  }
  return kSolved;
}

}  // namespace movra

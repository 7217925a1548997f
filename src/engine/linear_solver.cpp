// Gaussian elimination with partial pivoting, in place on the run's J and F,
// visiting only the spans of J that can hold non-zero entries.
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
// Exact zeros are skipped everywhere. The profile bounds the work: column k holds
// nothing below row columnLast[k], row r nothing right of rowLast[r]; fill-in and
// swaps widen it as they happen. Within those bounds every entry is visited in the
// order of the plain dense elimination and every operation is the same, so the
// results are the same to the last bit (with contraction of a·b − c into fused
// multiply-adds kept off by the build).
int solveLinearSystem(Run& run, ParameterStore& parameters) {
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  double* const f = run.F;
  auto row = [&run](int r) { return &run.J[r * kRowStride]; };
  JacobianProfile& profile = run.jacobianProfile;
  int* const rowLast = profile.rowLast;
  int* const columnLast = profile.columnLast;
  auto rowEnd = [&](int r) { return std::min(rowLast[r], n); };
  int pivotColumns[kRowStride];  // the non-zero columns right of the pivot, ascending

  parameters[kSmallestPivotEntry] = kNoPivotYet;
  int pivotRow = 0;  // kept from column to column, as the singular note shows it
  for (int k = 1; k <= n; ++k) {
    const int lastRow = std::min(columnLast[k], n);
    double best = 0.0;
    for (int i = k; i <= lastRow; ++i) {
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
      run.failedColumn = k;
      return kSingular;
    }
    if (best < kFailThreshold) {
      std::snprintf(run.solverNote, sizeof run.solverNote, "1.e-14 near singuler -> !  %e", best);
      run.failedColumn = k;
      return kNearlySingular;
    }
    if (best < parameters[kSmallestPivotEntry]) parameters[kSmallestPivotEntry] = best;

    double* const pivot = row(k);
    if (pivotRow != k) {
      const int p = pivotRow;
      double* const other = row(p);
      const int end = std::max(rowEnd(k), rowEnd(p));
      for (int j = k; j <= end; ++j) std::swap(pivot[j], other[j]);
      std::swap(f[k], f[p]);
      // Both tails now reach as far as the longer one did; row k's starts at k at
      // the latest, and whatever row k held moved down to row p.
      rowLast[k] = rowLast[p] = std::max(rowLast[k], rowLast[p]);
      profile.rowFirst[k] = std::min(profile.rowFirst[k], k);
      profile.rowFirst[p] = std::min(profile.rowFirst[p], k);
      for (int j = k; j <= end; ++j) {
        if (other[j] != 0.0 && columnLast[j] < p) columnLast[j] = p;
      }
    }
    const double d = pivot[k];
    const int last = rowEnd(k);
    int count = 0;
    for (int j = k + 1; j <= last; ++j) {
      if (pivot[j] != 0.0) {
        pivot[j] /= d;
        if (pivot[j] != 0.0) pivotColumns[count++] = j;
      }
    }
    if (f[k] != 0.0) f[k] /= d;

    int lastChanged = 0;
    for (int i = k + 1; i <= lastRow; ++i) {
      double* const target = row(i);
      const double c = target[k];
      if (c == 0.0) continue;
      for (int m = 0; m < count; ++m) {
        const int j = pivotColumns[m];
        target[j] -= c * pivot[j];
      }
      if (f[k] != 0.0) f[i] -= c * f[k];
      if (count > 0 && rowLast[i] < pivotColumns[count - 1]) rowLast[i] = pivotColumns[count - 1];
      lastChanged = i;
    }
    // The fill-in reaches down to the last row changed in every pivot column.
    for (int m = 0; m < count; ++m) {
      const int j = pivotColumns[m];
      if (columnLast[j] < lastChanged) columnLast[j] = lastChanged;
    }
  }

  for (int k = n; k >= 1; --k) {
    const double* const r = row(k);
    const int last = rowEnd(k);
    double s = 0.0;
    for (int j = k + 1; j <= last; ++j) {
      if (r[j] != 0.0) s += r[j] * run.X[j];
    }
    run.X[k] = f[k] - s;
  }
  return kSolved;
}

}  // namespace movra

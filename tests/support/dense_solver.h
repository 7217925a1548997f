// The plain dense elimination the engine's solver must match bit for bit: every
// row and column scanned in full, exact zeros skipped. Kept as the reference for
// the tests and the benchmarks; J and F are destroyed as by the engine's solver.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "engine/linear_solver.h"
#include "engine/run.h"
#include "input/parameter_store.h"

namespace movra::testing {

inline int denseReferenceSolve(Run& run, ParameterStore& parameters) {
  constexpr int kSmallestPivotEntry = -1100;
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  double* const f = run.F;
  auto row = [&run](int r) { return &run.J[r * kRowStride]; };

  parameters[kSmallestPivotEntry] = 3e33;
  int pivotRow = 0;
  for (int k = 1; k <= n; ++k) {
    double best = 0.0;
    for (int i = k; i <= n; ++i) {
      const double entry = row(i)[k];
      if (entry == 0.0) continue;
      if (std::fabs(entry) > best) {
        best = std::fabs(entry);
        pivotRow = i;
      }
    }
    if (best < 1e-9) {
      std::snprintf(run.solverNote, sizeof run.solverNote, "1.e-9 near singuler -> ? %e", best);
    }
    if (best == 0.0) {
      std::snprintf(run.solverNote, sizeof run.solverNote, "0. singuler -> ! %d %d %d %d", k,
                    pivotRow, 0, 0);
      return kSingular;
    }
    if (best < 1e-14) {
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

}  // namespace movra::testing

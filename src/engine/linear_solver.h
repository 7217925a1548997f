// Gaussian elimination with partial pivoting on the run's J and F, over the entries
// that the profile of J says can be non-zero (J must be written through jacobian()).
#pragma once

#include "engine/run.h"
#include "input/parameter_store.h"

namespace movra {

inline constexpr int kSolved = 0;
inline constexpr int kSingular = 1;        // a column without a non-zero pivot
inline constexpr int kNearlySingular = 2;  // the best pivot below 1e-14

// Solves J·Δ = F for rows 1..N; on 0, X[1..N] holds Δ. J and F are destroyed. The
// smallest pivot met goes to ParameterStore entry -1100; notes to run.solverNote.
int solveLinearSystem(Run& run, ParameterStore& parameters);

}  // namespace movra

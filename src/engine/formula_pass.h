// Time-dependent inputs: step flags, random numbers, element field expressions
// (mode 1) and the parameter statements (mode 0).
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

inline constexpr int kFormulaStatements = 0;
inline constexpr int kFormulaElementFields = 1;

// Returns 0, or 9 after a reported error (the run must stop).
int runFormulaPass(Model& model, Run& run, Reporter& reporter, int mode);

// Field k (1..10) of parameter statement p as the last formula pass evaluated it;
// 0 for a statement or field that does not exist.
double formulaField(const Model& model, int statement, int field);

}  // namespace movra

// Unknowns and state slots from the elements' keys, the equation system, the
// step-to-step copies and the integration coefficients.
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

// Turns the keys in every element's variable slots 1..10 into unknown indices, in
// element order (first use numbers an unknown), and places the state slots after
// them. Returns 0, or 9 after " 変数の数が５００を超える " / " npd over! %d".
int allocateUnknowns(Model& model, Run& run, Reporter& reporter);

// X[0] = 0; J rows and columns 0..N and F[0..N] = 0.
void clearEquationSystem(Run& run);

// X[1..N+M] to or from a copy (run.previous or run.resume).
void saveState(Run& run, double* copy);
void restoreState(Run& run, const double* copy);

// a0 and H for the coming attempt. method 0 static, 1 first order, 2 second order;
// nominalSteps counts the accepted whole nominal steps before (0..2); h is the
// attempt's length (t - t_prev), dtNominal the nominal step.
void setIntegrationCoefficients(Run& run, int method, int kt, int nominalSteps, double h,
                                double dtNominal);

}  // namespace movra

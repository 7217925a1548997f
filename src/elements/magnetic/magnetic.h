// The magnetic-circuit evaluators. A magnetic node's unknown is its magnetic
// potential (A, ampere-turns); the flux Φ (Wb) through a core plays the part of a
// branch current in the node balances.
#pragma once

#include "elements/evaluator.h"

namespace movra {

inline constexpr double kVacuumPermeability = 1.256637061e-06;  // μ0, H/m

int evaluateCore(EvaluationContext& context, int row);          // 28 and 68
int evaluateMaterialCore(EvaluationContext& context, int row);  // 69

}  // namespace movra

// The fluid evaluators. Node potentials are pressures (Pa); each branch element
// owns its flow unknown q (m³/s, positive from node a through the element into
// node b). A node row sums the flows into the node: F[a] -= q, F[b] += q.
#pragma once

#include "elements/evaluator.h"

namespace movra {

int evaluatePressureSource(EvaluationContext& context, int row);  // 51
int evaluateFlowSource(EvaluationContext& context, int row);      // 52
int evaluatePipe(EvaluationContext& context, int row);            // 53
int evaluateCylinder(EvaluationContext& context, int row);        // 54

// Codes 55..58 are one evaluator with a variant: 1 liquid orifice, 0 liquid line,
// 3 air orifice, 2 air line.
int evaluateFluidVariant(EvaluationContext& context, int row, int variant);
int evaluateLiquidOrifice(EvaluationContext& context, int row);  // 55, variant 1
int evaluateLiquidLine(EvaluationContext& context, int row);     // 56, variant 0
int evaluateAirOrifice(EvaluationContext& context, int row);     // 57, variant 3
int evaluateAirLine(EvaluationContext& context, int row);        // 58, variant 2

}  // namespace movra

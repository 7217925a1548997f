// The circuit evaluators (modified nodal analysis: node rows sum the currents
// flowing into the node, A; a branch-current element owns its own row).
#pragma once

#include "elements/evaluator.h"

namespace movra {

// Circuit elements.
int evaluateVoltageSource(EvaluationContext& context, int row);  // 21
int evaluateCurrentSource(EvaluationContext& context, int row);  // 22
int evaluateResistor(EvaluationContext& context, int row);       // 23
int evaluateCapacitor(EvaluationContext& context, int row);      // 24
int evaluateInductor(EvaluationContext& context, int row);       // 26
int evaluateSwitch(EvaluationContext& context, int row);         // 27
int evaluateAmplifier(EvaluationContext& context, int row);      // 35

// Semiconductors.
int evaluateDiode(EvaluationContext& context, int row);       // 25
int evaluateTransistor(EvaluationContext& context, int row);  // 31, "Qp" the pnp variant
int evaluateMosfet(EvaluationContext& context, int row);      // 32

// Elements that join a circuit branch to another domain or to a second branch.
int evaluateDcMotor(EvaluationContext& context, int row);  // 20
int evaluateTwoPort(EvaluationContext& context, int row);  // 29

}  // namespace movra

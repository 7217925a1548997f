// One table from type code to evaluator. Codes without an entry add nothing to
// the system and never stop a pass.
#include <array>

#include "elements/evaluator.h"
#include "elements/families.h"

namespace movra {

namespace {

constexpr int kTypeCodeCount = 70;

constexpr std::array<ElementEvaluator, kTypeCodeCount> buildTable() {
  std::array<ElementEvaluator, kTypeCodeCount> table{};
  table[5] = evaluateSpringDamper;
  table[6] = evaluateRigidLink;
  table[9] = evaluateCombinedSpring;
  table[10] = evaluateRotarySpring;
  table[11] = evaluateBody;
  table[17] = evaluateRigidJoint;
  table[18] = evaluateAppliedForce;
  table[21] = evaluateVoltageSource;
  table[22] = evaluateCurrentSource;
  table[23] = evaluateResistor;
  table[24] = evaluateCapacitor;
  table[26] = evaluateInductor;
  table[27] = evaluateSwitch;
  table[35] = evaluateAmplifier;
  return table;
}

constexpr std::array<ElementEvaluator, kTypeCodeCount> kEvaluators = buildTable();

// Tests of the engine put evaluators of their own under a code; empty otherwise.
std::array<ElementEvaluator, kTypeCodeCount> gReplacements{};

}  // namespace

ElementEvaluator evaluatorFor(int typeCode) {
  if (typeCode < 0 || typeCode >= kTypeCodeCount) return nullptr;
  if (gReplacements[typeCode] != nullptr) return gReplacements[typeCode];
  return kEvaluators[typeCode];
}

ElementEvaluator replaceEvaluatorForTest(int typeCode, ElementEvaluator evaluator) {
  if (typeCode < 0 || typeCode >= kTypeCodeCount) return nullptr;
  const ElementEvaluator before = gReplacements[typeCode];
  gReplacements[typeCode] = evaluator;
  return before;
}

}  // namespace movra

// The element catalogue: what the program knows about each type code — its
// evaluator and whether the preparation pass calls it before every attempt.
// A code without an evaluator is refused when a run is set up, so an element is
// never silently left out of the system.
#include <array>

#include "elements/circuit/circuit.h"
#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "elements/fluid/fluid.h"
#include "elements/magnetic/magnetic.h"
#include "elements/mechanical/mechanical.h"
#include "elements/thermal/thermal.h"

namespace movra {

namespace {

constexpr bool kPrepares = true;

constexpr std::array<CatalogueEntry, kTypeCodeCount> buildCatalogue() {
  std::array<CatalogueEntry, kTypeCodeCount> table{};
  // Mechanical.
  table[5] = {evaluateSpringDamper, kPrepares};
  table[6] = {evaluateRigidLink};
  table[7] = {evaluateBeam};
  table[8] = {evaluateSlider, kPrepares};
  table[9] = {evaluateCombinedSpring, kPrepares};
  table[10] = {evaluateRotarySpring};
  table[11] = {evaluateBody};
  table[13] = {evaluateGearMesh};
  table[17] = {evaluateRigidJoint};
  table[14] = {nullptr, kPrepares};
  table[15] = {nullptr, kPrepares};
  table[16] = {nullptr, kPrepares};
  table[18] = {evaluateAppliedForce};
  // Circuit.
  table[21] = {evaluateVoltageSource};
  table[22] = {evaluateCurrentSource};
  table[23] = {evaluateResistor};
  table[24] = {evaluateCapacitor};
  table[26] = {evaluateInductor};
  table[27] = {evaluateSwitch};
  table[35] = {evaluateAmplifier};
  // Semiconductors.
  table[25] = {evaluateDiode};
  table[31] = {evaluateTransistor};
  table[32] = {evaluateMosfet};
  // Electromechanical and magnetic.
  table[20] = {evaluateDcMotor};
  table[29] = {evaluateTwoPort};
  table[28] = {evaluateCore};
  table[68] = {evaluateCore};
  table[69] = {evaluateMaterialCore};
  // Thermal.
  table[41] = {evaluateTemperatureSource};
  table[42] = {evaluateHeatFlow};
  table[43] = {evaluateWall};
  table[44] = {evaluateNaturalConvection};
  table[45] = {evaluateNaturalConvection};
  table[46] = {evaluateForcedConvection};
  table[47] = {evaluateForcedConvection};
  table[48] = {evaluateRadiation};
  // Fluid.
  table[51] = {evaluatePressureSource};
  table[52] = {evaluateFlowSource};
  table[53] = {evaluatePipe};
  table[54] = {evaluateCylinder, kPrepares};
  table[55] = {evaluateLiquidOrifice};
  table[56] = {evaluateLiquidLine};
  table[57] = {evaluateAirOrifice};
  table[58] = {evaluateAirLine};
  return table;
}

constexpr std::array<CatalogueEntry, kTypeCodeCount> kCatalogue = buildCatalogue();

// Tests of the engine put evaluators of their own under a code; empty otherwise.
std::array<ElementEvaluator, kTypeCodeCount> gReplacements{};

constexpr char kNoEvaluator[] = " この要素はまだ計算できない？ (型 %d, %s) \n\n %s";

}  // namespace

const CatalogueEntry& catalogueEntry(int typeCode) {
  static constexpr CatalogueEntry kNothing{};
  if (typeCode < 0 || typeCode >= kTypeCodeCount) return kNothing;
  return kCatalogue[typeCode];
}

ElementEvaluator evaluatorFor(int typeCode) {
  if (typeCode < 0 || typeCode >= kTypeCodeCount) return nullptr;
  if (gReplacements[typeCode] != nullptr) return gReplacements[typeCode];
  return kCatalogue[typeCode].evaluate;
}

bool needsPreparation(int typeCode) { return catalogueEntry(typeCode).prepares; }

int refuseElementsWithoutEvaluator(Model& model, Reporter& reporter) {
  const int rows = model.count.elements < kElementCapacity ? model.count.elements
                                                            : kElementCapacity - 1;
  for (int row = 1; row <= rows; ++row) {
    ElementEntry& element = model.elements[row];
    if (evaluatorFor(element.typeCode) != nullptr) continue;
    element.keyword[sizeof(element.keyword) - 1] = '\0';
    return reporter.modelError(kNoEvaluator, element.typeCode, element.keyword,
                               quotedLine(element));
  }
  return 0;
}

ElementEvaluator replaceEvaluatorForTest(int typeCode, ElementEvaluator evaluator) {
  if (typeCode < 0 || typeCode >= kTypeCodeCount) return nullptr;
  const ElementEvaluator before = gReplacements[typeCode];
  gReplacements[typeCode] = evaluator;
  return before;
}

}  // namespace movra

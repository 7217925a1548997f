// The temperature-difference source (41) and the heat-flow source or advection
// link (42).
#include <cmath>

#include "elements/conventions.h"
#include "elements/thermal/thermal.h"

namespace movra {

namespace {

using thermal::kBadMaterial;
using thermal::kCouplingFloor;

constexpr char kBadMode[] = "形状が？ \n\n %s";
constexpr char kBadMassFlow[] = "移流のデータが？．\n\n %s";

constexpr int kVoteMemory = 11;
// Real slots of the advection link: the material row at the inlet temperature
// (temperature, then three values; the third is c_p).
constexpr int kMaterialRow = 20;
constexpr int kMaterialValues = 3;
constexpr int kSpecificHeat = 23;

constexpr int kHeatFlowMode = 0;
constexpr int kAdvectionMode = 1;

int modeOf(double value) {
  return std::isfinite(value) && value > -1e9 && value < 1e9 ? static_cast<int>(value) : -1;
}

}  // namespace

// Temperature difference ΔT = P1 held between a and b, own heat flow c from a
// through the source to b:
//   F[c] = P1 - (x[a] - x[b])  (K);  dF[c]/dx[a] = -1, dx[b] = +1
//   F[a] -= x[c], F[b] += x[c]  (W);  leak 1e-9 W/K at a and b.
int evaluateTemperatureSource(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const Branch branch = branchOf(run, *element);
  setBranchRow(run, branch, element->realSlots[1] - branch.voltage, 0.0);
  stampBranchCurrent(run, branch);
  addBranchLeaks(run, branch);
  voteOwnUnknown(run, circuitTolerances(context.model), branch.i, element->realSlots[kVoteMemory]);
  if (recording(run)) {
    thermal::recordThermal(context.model, run, *element, branch.voltage, branch.current);
  }
  return 0;
}

// Mode 0, heat-flow source P3 (W) leaving a and entering b, with a 1e-9 W/K link:
//   q = 1e-9·(x[a] - x[b]) + P3;  F[a] -= q, F[b] += q.
// Mode 1, advection of the mass flow P3 (kg/s) from a to b, c_p from the table at
// x[a] (J/(kg K)), the enthalpy counted from 0 degC:
//   G = (P3 + 1e-9)·c_p;  q = G·x[a];  F[a] -= q, F[b] += q;  dq/dx[a] = G.
// The heat leaves a and enters b at the temperature of a, whatever b is.
int evaluateHeatFlow(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  Reporter& reporter = context.reporter;
  double* slots = element->realSlots;
  const int mode = modeOf(slots[2]);
  const double amount = slots[3];
  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);

  if (run.initialPass != 0 || isFirstIteration(run)) {
    if (mode != kHeatFlowMode && mode != kAdvectionMode) {
      return reporter.modelError(kBadMode, quotedLine(*element));
    }
    if (mode == kAdvectionMode && thermal::checkMaterialTable(context, *element) != 0) return 9;
  }
  if (isFirstIteration(run) && mode == kAdvectionMode) {
    if (amount < 0.0) return reporter.modelError(kBadMassFlow, quotedLine(*element));
    // The row is taken before it is judged, so a bad row stops the very step that
    // would use it.
    const ParameterStatement* material =
        thermal::lookupTable(context.model, thermal::materialTableId(*element));
    if (material == nullptr ||
        !thermal::materialRow(context.model, *material, run.X[a], slots + kMaterialRow,
                              kMaterialValues)) {
      return reporter.modelError(kBadMaterial, quotedLine(*element));
    }
    for (int k = 1; k <= kMaterialValues; ++k) {
      if (!(slots[kMaterialRow + k] >= 0.0)) {
        return reporter.modelError(kBadMaterial, quotedLine(*element));
      }
    }
  }

  double q = 0.0;
  if (mode == kAdvectionMode) {
    const double conductance = (amount + kCouplingFloor) * slots[kSpecificHeat];
    q = conductance * run.X[a];
    run.F[a] -= q;
    run.F[b] += q;
    run.jacobian(a, a) -= conductance;
    run.jacobian(b, a) += conductance;
  } else {
    q = thermal::stampConductance(run, a, b, kCouplingFloor) + amount;
    run.F[a] -= amount;
    run.F[b] += amount;
  }
  const double difference = run.X[a] - run.X[b];
  voteChange(run, circuitTolerances(context.model), difference, slots[kVoteMemory]);
  if (recording(run)) {
    thermal::recordThermal(context.model, run, *element, difference, q);
    if (ownsReturnRecord(*element)) {
      // +2 the written heat flow or mass flow, +6 the heat carried from a to b.
      context.model.parameters[element->returnBlockId + 2] = amount;
      context.model.parameters[element->returnBlockId + 6] = q;
    }
  }
  return 0;
}

}  // namespace movra

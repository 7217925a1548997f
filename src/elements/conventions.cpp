#include "elements/conventions.h"

#include <algorithm>
#include <cmath>

namespace movra {

Tolerances circuitTolerances(const Model& model) {
  return {model.parameters.get(kCircuitRelativeToleranceEntry),
          model.parameters.get(kCircuitAbsoluteToleranceEntry)};
}

Tolerances mechanicalTolerances(const Model& model) {
  return {model.parameters.get(kMechanicalRelativeToleranceEntry),
          model.parameters.get(kMechanicalAbsoluteToleranceEntry)};
}

ElementEntry* elementAt(Model& model, int row) {
  if (row < 1 || row >= kElementCapacity) return nullptr;
  return &model.elements[row];
}

const char* quotedLine(ElementEntry& element) {
  element.text[kElementTextBytes - 1] = 0;
  return element.text;
}

int unknownSlot(const Run& run, const ElementEntry& element, int slot) {
  if (slot < 1 || slot > 10) return 0;
  const int index = element.variableSlots[slot];
  const int limit = std::min(run.unknownCount, kMaxUnknowns);
  return index >= 0 && index <= limit ? index : 0;
}

void addLeak(Run& run, int node) {
  run.F[node] -= kMinimumConductance * run.X[node];
  run.jacobian(node, node) -= kMinimumConductance;
}

namespace {

bool countUnsettled(Run& run, bool unsettled) {
  if (unsettled) ++run.nonConvergence;
  return unsettled;
}

double band(const Tolerances& tolerances, double value, double remembered) {
  return std::min(std::fabs(value), std::fabs(remembered)) * tolerances.relative +
         tolerances.absolute;
}

}  // namespace

bool voteOwnUnknown(Run& run, const Tolerances& tolerances, int unknown, double& remembered) {
  const double value = run.X[unknown];
  const bool unsettled = std::fabs(run.F[unknown]) >= band(tolerances, value, remembered);
  remembered = value;
  return countUnsettled(run, unsettled);
}

bool voteChange(Run& run, const Tolerances& tolerances, double value, double& remembered) {
  const bool unsettled = std::fabs(value - remembered) >= band(tolerances, value, remembered);
  remembered = value;
  return countUnsettled(run, unsettled);
}

double vectorAngle(double dx, double dy) {
  return std::atan2(dy, dx + kAngleGuard);
}

int storeIdOf(double value) {
  if (!std::isfinite(value)) return 0;
  const double rounded = std::nearbyint(value);
  if (rounded < kParameterIdLow || rounded > kParameterIdHigh) return 0;
  return static_cast<int>(rounded);
}

int statementFlags(const Model& model, const ElementEntry& element) {
  const int line = element.statementLine;
  if (line < 0 || line >= kRecordCapacity) return 0;
  return model.records[line].flags;
}

double* displayRecord(Model& model, const ElementEntry& element) {
  const int line = element.statementLine;
  if (line < 0 || line >= kRecordCapacity) return nullptr;
  return model.records[line].valueBlock;
}

Branch branchOf(const Run& run, const ElementEntry& element) {
  Branch branch;
  branch.m = unknownSlot(run, element, 1);
  branch.n = unknownSlot(run, element, 2);
  branch.i = unknownSlot(run, element, 3);
  branch.voltage = run.X[branch.m] - run.X[branch.n];
  branch.current = run.X[branch.i];
  return branch;
}

void setBranchRow(Run& run, const Branch& branch, double residual, double currentDerivative) {
  run.F[branch.i] = residual;
  run.jacobian(branch.i, branch.m) = 0.0;
  run.jacobian(branch.i, branch.n) = 0.0;
  run.jacobian(branch.i, branch.i) = 0.0;
  run.jacobian(branch.i, branch.m) -= 1.0;
  run.jacobian(branch.i, branch.n) += 1.0;
  run.jacobian(branch.i, branch.i) += currentDerivative;
}

void setOpenBranchRow(Run& run, const Branch& branch) {
  run.F[branch.i] = branch.current;
  run.jacobian(branch.i, branch.i) = 1.0;
}

void stampBranchCurrent(Run& run, const Branch& branch) {
  run.F[branch.m] -= branch.current;
  run.jacobian(branch.m, branch.i) -= 1.0;
  run.F[branch.n] += branch.current;
  run.jacobian(branch.n, branch.i) += 1.0;
}

void addBranchLeaks(Run& run, const Branch& branch) {
  addLeak(run, branch.m);
  addLeak(run, branch.n);
}

void recordPeriodMeans(ParameterStore& store, int id, const Run& run, double across, double flow,
                       double power) {
  if (!(run.pwmPeriod > 0.0)) {
    store[id + 11] = across;
    store[id + 12] = flow;
    store[id + 13] = power;
    return;
  }
  const double tau = run.pwmSubStep;
  store[id + 51] += across * tau;
  store[id + 52] += flow * tau;
  store[id + 53] += power * tau;
  store[id + 54] += tau;
  const double span = store[id + 54];
  // A sub-step of no length leaves nothing to average over: keep the present values.
  const bool averaged = span > 0.0;
  store[id + 11] = averaged ? store[id + 51] / span : across;
  store[id + 12] = averaged ? store[id + 52] / span : flow;
  store[id + 13] = averaged ? store[id + 53] / span : power;
  store[id + 51] = across * tau;
  store[id + 52] = flow * tau;
  store[id + 53] = power * tau;
  store[id + 54] = tau;
}

void addNetworkTotals(ParameterStore& store, double power, double dt) {
  store[kPowerTotalEntry] += power;
  store[kAllPowerTotalEntry] += power;
  store[kEnergyTotalEntry] += power * dt;
  store[kAllEnergyTotalEntry] += power * dt;
}

}  // namespace movra

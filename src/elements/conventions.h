// Numerical conventions all element evaluators share: the minimum conductance,
// the convergence vote and its tolerances, the angle of a vector, bounded access
// to an element's unknowns, and the places where an element publishes its values
// (return-value record, network totals, display record).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "elements/evaluator.h"

namespace movra {

inline constexpr double kMinimumConductance = 1e-9;  // S, leak to ground of branch-current elements
inline constexpr double kCapacitorLeak = 1e-12;      // S, across every capacitor
inline constexpr double kAngleGuard = 1e-18;         // keeps atan2 defined for a vertical vector
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kRadiansPerDegree = kPi / 180.0;

// ParameterStore entries the evaluators read or add to.
inline constexpr int kTimeEntry = 1;
inline constexpr int kMechanicalDampingEntry = -10001;
inline constexpr int kMechanicalRelativeToleranceEntry = -10010;
inline constexpr int kMechanicalAbsoluteToleranceEntry = -10012;
inline constexpr int kCircuitRelativeToleranceEntry = -10020;
inline constexpr int kCircuitAbsoluteToleranceEntry = -10021;
inline constexpr int kPowerTotalEntry = 9983;     // cleared by the driver before every attempt
inline constexpr int kAllPowerTotalEntry = 9985;  // likewise; magnetic cores add here too
inline constexpr int kEnergyTotalEntry = 9993;
inline constexpr int kAllEnergyTotalEntry = 9995;
inline constexpr int kMagneticPowerTotalEntry = 9984;   // cores and the port 2 of two-ports
inline constexpr int kMagneticEnergyTotalEntry = 9994;
inline constexpr int kMagneticLeakEntry = -10005;  // S, leak of magnetic cores and two-port port 2

// A return-value id from this value on names a ReturnValueRecord.
inline constexpr int kReturnRecordIdFloor = 1000;

// Bits of StatementRecord::flags that the evaluators read.
inline constexpr int kRecordMarkedAsSwitch = 1;  // resistor opened while P2 < 0.0001
inline constexpr int kRecordBidirectional = 2;   // resistor keeps P1 for both directions

// Positions in a statement's value block, which is the element's display record.
// The view colours resistor, switch, source, diode and core symbols by kDisplayState.
inline constexpr int kDisplayFlow = 0;             // current (or whatever flows through)
inline constexpr int kDisplayAcross = 1;           // voltage (or the difference across)
inline constexpr int kDisplayState = 2;            // symbol state
inline constexpr int kDisplayFirstPotential = 3;   // voltage source: x[m]
inline constexpr int kDisplaySecondPotential = 4;  // voltage source: x[n]

struct Tolerances {
  double relative = 0.0;
  double absolute = 0.0;
};

// These small helpers run for every element in every pass: they are inline so that
// each evaluator compiles them into its own code.
inline Tolerances circuitTolerances(const Model& model) {
  return {model.parameters.get(kCircuitRelativeToleranceEntry),
          model.parameters.get(kCircuitAbsoluteToleranceEntry)};
}
inline Tolerances mechanicalTolerances(const Model& model) {
  return {model.parameters.get(kMechanicalRelativeToleranceEntry),
          model.parameters.get(kMechanicalAbsoluteToleranceEntry)};
}

// The element of a row, or nullptr for a row outside the element table.
inline ElementEntry* elementAt(Model& model, int row) {
  if (row < 1 || row >= kElementCapacity) return nullptr;
  return &model.elements[row];
}

// The model line quoted in messages, always terminated inside its slot.
const char* quotedLine(ElementEntry& element);

// The pass writes return-value records (the recording pass and after the run).
inline bool recording(const Run& run) { return run.recordingFlag >= 1; }
// The pass records the element's display record and shapes.
inline bool displaying(const Run& run) { return run.displayFlag != 0; }

// The recording pass of a step that Newton's method solved, whose rates a0·(X - H)
// are the motion over that step. Not a held frame drawn again, nor a step taken on
// with the restored last solution after a failure (t_prev left behind), whose
// history already belongs to the failed attempt.
inline bool recordsSolvedStep(const Run& run) {
  return run.recordingFlag == 1 && run.holdFlag == 0 && run.t == run.tPrev;
}

// The recording pass keeps the accepted attempt's iteration count, which may be 1:
// it is no iteration, and switching logic must not run twice in one step.
inline bool isFirstIteration(const Run& run) {
  return run.iteration == 1 && run.recordingFlag == 0;
}

// The unknown index in variable slot 1..10. An index outside 0..N (a damaged
// allocation) reads as the ground index 0, whose row and column are scratch, so
// an evaluator can never write outside the system.
inline int unknownSlot(const Run& run, const ElementEntry& element, int slot) {
  if (slot < 1 || slot > 10) return 0;
  const int index = element.variableSlots[slot];
  const int limit = std::min(run.unknownCount, kMaxUnknowns);
  return index >= 0 && index <= limit ? index : 0;
}

// History value of unknown u; the ground has none (a0H[0] holds a0 itself).
inline double historyOf(const Run& run, int unknown) {
  return unknown > 0 ? run.a0H[unknown] : 0.0;
}

// MinimumConductance from node k to ground: F[k] -= g·x[k], J[k][k] -= g.
inline void addLeak(Run& run, int node) {
  run.F[node] -= kMinimumConductance * run.X[node];
  run.jacobian(node, node) -= kMinimumConductance;
}

namespace vote_detail {
inline bool countUnsettled(Run& run, bool unsettled) {
  if (unsettled) ++run.nonConvergence;
  return unsettled;
}
inline double band(const Tolerances& tolerances, double value, double remembered) {
  return std::min(std::fabs(value), std::fabs(remembered)) * tolerances.relative +
         tolerances.absolute;
}
}  // namespace vote_detail

// ConvergenceVote of an own unknown u with remembered value m:
// W = min(|x[u]|, |m|); unsettled when |F[u]| >= W·rel + abs. Then m <- x[u].
// Returns true (and counts one) when unsettled.
inline bool voteOwnUnknown(Run& run, const Tolerances& tolerances, int unknown,
                           double& remembered) {
  const double value = run.X[unknown];
  const bool unsettled =
      std::fabs(run.F[unknown]) >= vote_detail::band(tolerances, value, remembered);
  remembered = value;
  return vote_detail::countUnsettled(run, unsettled);
}

// ConvergenceVote of a quantity without an own row: unsettled when
// |q - m| >= min(|q|, |m|)·rel + abs. Then m <- q. Returns true when unsettled.
inline bool voteChange(Run& run, const Tolerances& tolerances, double value, double& remembered) {
  const bool unsettled =
      std::fabs(value - remembered) >= vote_detail::band(tolerances, value, remembered);
  remembered = value;
  return vote_detail::countUnsettled(run, unsettled);
}

// Angle of the vector (dx, dy), radians.
double vectorAngle(double dx, double dy);

// A real that names a ParameterStore entry (a return-value id held in a real
// slot) as an integer id; a value that is not finite or lies outside the store
// gives 0, the entry that always reads 0.
int storeIdOf(double value);

inline bool ownsReturnRecord(const ElementEntry& element) {
  return element.returnBlockId >= kReturnRecordIdFloor;
}

// The flags of the element's statement record; 0 without a record.
inline int statementFlags(const Model& model, const ElementEntry& element) {
  const int line = element.statementLine;
  if (line < 0 || line >= kRecordCapacity) return 0;
  return model.records[line].flags;
}

// The element's display record (its statement's value block), or nullptr when
// the element has no statement record.
inline double* displayRecord(Model& model, const ElementEntry& element) {
  const int line = element.statementLine;
  if (line < 0 || line >= kRecordCapacity) return nullptr;
  return model.records[line].valueBlock;
}

// A two-terminal circuit branch: potentials m and n, the own current i flowing
// from m through the element to n, V = x[m] - x[n] and x[i].
struct Branch {
  int m = 0;
  int n = 0;
  int i = 0;
  double voltage = 0.0;
  double current = 0.0;
};

inline Branch branchOf(const Run& run, const ElementEntry& element) {
  Branch branch;
  branch.m = unknownSlot(run, element, 1);
  branch.n = unknownSlot(run, element, 2);
  branch.i = unknownSlot(run, element, 3);
  branch.voltage = run.X[branch.m] - run.X[branch.n];
  branch.current = run.X[branch.i];
  return branch;
}

// Own row: F[i] = residual (V, A·ohm); J[i][m] = -1, J[i][n] = +1, J[i][i] = dF/dx[i].
// The entries are cleared and then added, so a branch with both ends on one node
// still gets dF[i]/dx[m] = 0.
inline void setBranchRow(Run& run, const Branch& branch, double residual,
                         double currentDerivative) {
  run.F[branch.i] = residual;
  run.jacobian(branch.i, branch.m) = 0.0;
  run.jacobian(branch.i, branch.n) = 0.0;
  run.jacobian(branch.i, branch.i) = 0.0;
  run.jacobian(branch.i, branch.m) -= 1.0;
  run.jacobian(branch.i, branch.n) += 1.0;
  run.jacobian(branch.i, branch.i) += currentDerivative;
}

// The time a recorded step stands for, over which its energies accumulate: the
// output step, or with PWM the step itself (a part of a half period), since every
// such step is recorded.
inline double recordedStepLength(const Run& run) {
  return run.pwmPeriod > 0.0 ? run.pwmSubStep : run.dtOut;
}

// An unknown held at a value: its row's stamps give way to F[i] = x[i] - value,
// J[i][i] = 1 (a starting value the starting solution keeps).
inline void holdUnknown(Run& run, int unknown, double value) {
  const int n = run.unknownCount < kMaxUnknowns ? run.unknownCount : kMaxUnknowns;
  if (unknown < 1 || unknown > n) return;
  double* row = &run.J[static_cast<size_t>(unknown) * kRowStride];
  std::fill(row, row + n + 1, 0.0);
  run.jacobian(unknown, unknown) = 1.0;
  run.F[unknown] = run.X[unknown] - value;
}

// Own row of a branch that carries no current: F[i] = x[i], J[i][i] = 1.
inline void setOpenBranchRow(Run& run, const Branch& branch) {
  run.F[branch.i] = branch.current;
  run.jacobian(branch.i, branch.i) = 1.0;
}

// Node rows of the branch current (A): F[m] -= x[i], J[m][i] -= 1; F[n] += x[i], J[n][i] += 1.
inline void stampBranchCurrent(Run& run, const Branch& branch) {
  run.F[branch.m] -= branch.current;
  run.jacobian(branch.m, branch.i) -= 1.0;
  run.F[branch.n] += branch.current;
  run.jacobian(branch.n, branch.i) += 1.0;
}

// MinimumConductance at both ends of a branch.
inline void addBranchLeaks(Run& run, const Branch& branch) {
  addLeak(run, branch.m);
  addLeak(run, branch.n);
}

// PWM-period means at id+11..id+13 of across, flow and power: over the last
// on-part and off-part, each part the sum of its steps' value times tau (sums of
// the finished part at id+51..id+54, of the part under way at id+55..id+58);
// updated when a part ends. Without PWM the means are the present values.
void recordPeriodMeans(ParameterStore& store, int id, const Run& run, double across, double flow,
                       double power);

// Adds a power to the network totals 9983 and 9985 and its energy over dt to
// 9993 and 9995.
void addNetworkTotals(ParameterStore& store, double power, double dt);

}  // namespace movra

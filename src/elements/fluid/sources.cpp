// The fluid sources: a pressure rise between two nodes (51) and a pump of set
// flow whose relief valve caps the pressure it delivers against (52).
#include <cmath>

#include "elements/conventions.h"
#include "elements/fluid/fluid.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";

// Real slots.
constexpr int kVoteMemory = 11;
// Integer slots of the flow source: present mode and the mode of the previous pass.
constexpr int kMode = 12;
constexpr int kPreviousMode = 15;
// Modes of the relief valve.
constexpr int kDelivering = -1;
constexpr int kRelieving = 0;
constexpr int kBlocked = 1;

// Symbol states in the display record of the flow source.
constexpr double kSymbolDelivering = 2.0;
constexpr double kSymbolRelieving = 1.0;
constexpr double kSymbolIdle = 3.0;

// Capacitance from each flow-source node to ground, m³/Pa: a node fed only by
// the source still has a pressure row in a transient.
constexpr double kNodeCapacitance = 1e-12;

constexpr double kStandardPressure = 1e5;  // Pa, the conversion's pressure base
constexpr double kLitresPerMinute = 1000.0 * 60.0;

void writeDisplay(Model& model, const ElementEntry& element, double flow, double across) {
  double* record = displayRecord(model, element);
  if (record == nullptr) return;
  record[kDisplayFlow] = flow;
  record[kDisplayAcross] = across;
}

// The relief valve's next mode from the previous one, the pressure rise d = p_b - p_a
// and the present flow: delivery gives way to relief at p_r; relief returns to
// delivery once the flow it lets through would exceed the set flow, and a reversed
// flow blocks the valve until the rise passes p_r again.
int nextMode(int previous, double rise, double relief, double setFlow, double flow) {
  switch (previous) {
    case kRelieving:
      if (setFlow < flow) return kDelivering;
      return flow >= 0.0 ? kRelieving : kBlocked;
    case kBlocked:
      return rise > relief ? kBlocked : kRelieving;
    default:
      return rise >= relief ? kRelieving : kDelivering;
  }
}

}  // namespace

// Pressure source E (Pa) = P1, conversion parameter c = P2; own flow q from a to b:
//   F[q] = E - (x[a] - x[b]);  J[q][a] = -1, J[q][b] = +1, J[q][q] = 0
//   F[b] += q, F[a] -= q  (m³/s).
// k = 1e5/(c·273) for c > 0, else 1; the recorded flow is q/k.
int evaluatePressureSource(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double rise = element->realSlots[1];
  const double conversion = element->realSlots[2];
  if ((run.initialPass != 0 || isFirstIteration(run)) && conversion < 0.0) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  const double k = conversion > 0.0 ? kStandardPressure / (conversion * 273.0) : 1.0;

  const Branch branch = branchOf(run, *element);
  setBranchRow(run, branch, rise - branch.voltage, 0.0);
  stampBranchCurrent(run, branch);
  voteOwnUnknown(run, circuitTolerances(context.model), branch.i,
                 element->realSlots[kVoteMemory]);

  if (recording(run)) {
    if (run.holdFlag == 0 && ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 1] = branch.voltage;
      store[id + 2] = branch.current;
      store[id + 3] = branch.current / k;
    }
    if (displaying(run)) writeDisplay(context.model, *element, branch.current / k, branch.voltage);
  }
  return 0;
}

// Flow source Q = P1 (m³/s) with relief pressure p_r = P2 (Pa) and conversion c = P3;
// own flow q from a to b. By mode:
//   delivering  F[q] = Q' - q,               J[q][q] = -1, J[q][a] = dQ'/dx[a]
//   relieving   F[q] = p_r - (x[b] - x[a]),  J[q][a] = +1, J[q][b] = -1
//   blocked     F[q] = -q,                   J[q][q] = -1
//   Q' = 0      F[q] = q,                    J[q][q] = +1
// F[a] -= q, F[b] += q; 1e-12 m³/Pa from each node to ground.
// With c > 0: k = 1e5/(c·273.15) and Q' = Q·x[a]/(c·273.15), else k = 1, Q' = Q.
int evaluateFlowSource(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double setFlow = element->realSlots[1];
  const double relief = element->realSlots[2];
  const double conversion = element->realSlots[3];
  int32_t& mode = element->variableSlots[kMode];
  int32_t& previous = element->variableSlots[kPreviousMode];
  // Checked again at every step: a formula may change the fields between steps.
  if ((run.initialPass != 0 || isFirstIteration(run)) &&
      (setFlow < 0.0 || relief < 0.0 || conversion < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  if (run.initialPass != 0) {
    mode = kDelivering;
    previous = kDelivering;
  }

  const Branch branch = branchOf(run, *element);
  const int a = branch.m;
  const int b = branch.n;
  const int q = branch.i;
  const double k = conversion > 0.0 ? kStandardPressure / (conversion * 273.15) : 1.0;
  const double flowSet = conversion > 0.0 ? setFlow * run.X[a] / (conversion * 273.15) : setFlow;
  const double rise = run.X[b] - run.X[a];

  const int modeBefore = previous;
  run.jacobian(q, a) = 0.0;
  run.jacobian(q, b) = 0.0;
  run.jacobian(q, q) = 0.0;
  if (flowSet != 0.0) {
    mode = nextMode(previous, rise, relief, flowSet, branch.current);
    if (mode == kDelivering) {
      run.F[q] = flowSet - branch.current;
      run.jacobian(q, q) = -1.0;
      // A set flow proportional to the pressure at a has that pressure's derivative.
      if (conversion > 0.0) run.jacobian(q, a) += setFlow / (conversion * 273.15);
    } else if (mode == kRelieving) {
      run.F[q] = relief - rise;
      run.jacobian(q, a) += 1.0;
      run.jacobian(q, b) -= 1.0;
    } else {
      run.F[q] = -branch.current;
      run.jacobian(q, q) = -1.0;
    }
    previous = mode;
  } else {
    run.F[q] = branch.current;
    run.jacobian(q, q) = 1.0;
    mode = kDelivering;
    previous = kDelivering;
  }
  const bool switched = mode != modeBefore;
  stampBranchCurrent(run, branch);
  const double a0 = run.a0();
  for (int node : {a, b}) {
    run.F[node] -= kNodeCapacitance * a0 * (run.X[node] - historyOf(run, node));
    run.jacobian(node, node) -= kNodeCapacitance * a0;
  }
  // A pass that changed the mode solved the other mode's row: not settled yet.
  voteOwnUnknown(run, circuitTolerances(context.model), q, element->realSlots[kVoteMemory]);
  if (switched) ++run.nonConvergence;

  if (recording(run)) {
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 1] = rise;
      store[id + 2] = branch.current;
      store[id + 3] = branch.current / k;
      store[id + 9] = branch.current * kLitresPerMinute;
      store[id + 10] = mode;
    }
    if (displaying(run)) {
      writeDisplay(context.model, *element, branch.current / k, -rise);
      if (double* record = displayRecord(context.model, *element)) {
        record[kDisplayState] = flowSet == 0.0 ? kSymbolIdle
                                : mode < 0     ? kSymbolDelivering
                                               : kSymbolRelieving;
      }
    }
  }
  return 0;
}

}  // namespace movra

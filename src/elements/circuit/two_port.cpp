// The coupled two-port: port 1 (a, b) and port 2 (c, d) joined by two cross laws,
//   x[d] - x[c] = α·i_1          x[a] - x[b] = α·di_2/dt + β·i_1.
// With port 2 on a magnetic circuit it is a winding: α the number of turns, β the
// winding resistance, i_1 the coil current, i_2 the flux through the coil and
// x[d] - x[c] the ampere-turns it drives around the core.
#include <cmath>

#include "elements/circuit/circuit.h"
#include "elements/conventions.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
// A port-2 field that names no node of the system (no whole id, or no unknown).
constexpr char kNoPortNode[] = " ２次側の節が？ %g %g \n\n %s";

constexpr double kCoefficientFloor = 1e-9;  // |α| and β never below it
constexpr double kPortOneLeak = 1e-12;      // S at a and b

// Integer slots of the port-2 node indices; real slots of the vote memories.
constexpr int kPortTwoFirst = 11;   // c
constexpr int kPortTwoSecond = 12;  // d
constexpr int kFirstCurrentMemory = 11;
constexpr int kSecondCurrentMemory = 12;

// Potential nodes 0 and 100..198 (and the negative ids) are fixed at 0.
bool isGroundNode(double id) {
  return id <= 0.0 || (id >= 100.0 && id <= 198.0);
}

// The unknown of a port-2 node id: 0 for a ground node, -1 when the id is no
// whole number or names a node without an unknown.
int portNodeIndex(const Run& run, double field) {
  if (!std::isfinite(field) || field != std::nearbyint(field)) return -1;
  if (isGroundNode(field)) return 0;
  const double key = field + 1000.0;
  if (key >= kUnknownKeyCapacity) return -1;
  const int index = run.unknownOfKey[static_cast<int>(key)];
  return index > 0 ? index : -1;
}

int indexIn(const Run& run, const ElementEntry& element, int slot) {
  const int index = element.variableSlots[slot];
  return index > 0 && index <= run.unknownCount && index <= kMaxUnknowns ? index : 0;
}

void addConductance(Run& run, int node, double conductance) {
  run.F[node] -= conductance * run.X[node];
  run.jacobian(node, node) -= conductance;
}

}  // namespace

// Two-port, P1 α, P2 β, P3 and P4 the node ids c and d of port 2; own unknowns
// i_1 (port 1, from a to b) and i_2 (port 2, from c through the element to d):
//   F[i_1] = x[d] - x[c] - α·i_1;   dx[d] = 1, dx[c] = -1, di_1 = -α
//   F[i_2] = x[a] - x[b] - α·a0·(i_2 - H[i_2]) - β·i_1;
//            dx[a] = 1, dx[b] = -1, di_2 = -α·a0, di_1 = -β
//   F[a] -= i_1, F[b] += i_1;  F[c] -= i_2, F[d] += i_2
//   leak 1e-12 S at a and b, g (ParameterStore -10005) at c and d.
int evaluateTwoPort(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double alpha = element->realSlots[1];
  double beta = element->realSlots[2];
  if (isFirstIteration(run) && (alpha == 0.0 || beta < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  if (std::fabs(alpha) < kCoefficientFloor) alpha = kCoefficientFloor;
  if (beta < kCoefficientFloor) beta = kCoefficientFloor;
  if (run.initialPass != 0) {
    const int c = portNodeIndex(run, element->realSlots[3]);
    const int d = portNodeIndex(run, element->realSlots[4]);
    if (c < 0 || d < 0) {
      return context.reporter.modelError(kNoPortNode, element->realSlots[3], element->realSlots[4],
                                         quotedLine(*element));
    }
    element->variableSlots[kPortTwoFirst] = c;
    element->variableSlots[kPortTwoSecond] = d;
  }

  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);
  const int i1 = unknownSlot(run, *element, 3);
  const int i2 = unknownSlot(run, *element, 4);
  const int c = indexIn(run, *element, kPortTwoFirst);
  const int d = indexIn(run, *element, kPortTwoSecond);
  const double a0 = run.a0();
  const double firstVoltage = run.X[a] - run.X[b];
  const double secondVoltage = run.X[d] - run.X[c];
  const double first = run.X[i1];
  const double second = run.X[i2];
  const double secondRate = a0 * (second - historyOf(run, i2));

  // Own rows, written outright (entries cleared first so that coinciding nodes sum).
  run.F[i1] = secondVoltage - alpha * first;
  run.jacobian(i1, d) = 0.0;
  run.jacobian(i1, c) = 0.0;
  run.jacobian(i1, i1) = 0.0;
  run.jacobian(i1, d) += 1.0;
  run.jacobian(i1, c) -= 1.0;
  run.jacobian(i1, i1) -= alpha;
  run.F[i2] = firstVoltage - alpha * secondRate - beta * first;
  run.jacobian(i2, a) = 0.0;
  run.jacobian(i2, b) = 0.0;
  run.jacobian(i2, i2) = 0.0;
  run.jacobian(i2, i1) = 0.0;
  run.jacobian(i2, a) += 1.0;
  run.jacobian(i2, b) -= 1.0;
  run.jacobian(i2, i2) -= alpha * a0;
  run.jacobian(i2, i1) -= beta;

  run.F[a] -= first;
  run.jacobian(a, i1) -= 1.0;
  run.F[b] += first;
  run.jacobian(b, i1) += 1.0;
  run.F[d] += second;
  run.jacobian(d, i2) += 1.0;
  run.F[c] -= second;
  run.jacobian(c, i2) -= 1.0;

  addConductance(run, a, kPortOneLeak);
  addConductance(run, b, kPortOneLeak);
  const double leak = context.model.parameters.get(kMagneticLeakEntry);
  addConductance(run, c, leak);
  addConductance(run, d, leak);

  const Tolerances tolerances = circuitTolerances(context.model);
  voteOwnUnknown(run, tolerances, i1, element->realSlots[kFirstCurrentMemory]);
  voteOwnUnknown(run, tolerances, i2, element->realSlots[kSecondCurrentMemory]);

  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double firstPower = firstVoltage * first;         // into port 1
    const double secondPower = secondVoltage * secondRate;  // handed on at port 2
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      store[id + 1] = firstVoltage;
      store[id + 2] = first;
      store[id + 3] = firstPower;
      store[id + 4] = secondVoltage;
      store[id + 5] = second;
      store[id + 6] = secondRate;
      store[id + 7] = secondPower;
      store[id + 8] = beta * first * first;
      store[id + 9] += firstPower * recordedStepLength(run);
      store[id + 10] += secondPower * recordedStepLength(run);
      recordPeriodMeans(store, id, run, firstVoltage, first, firstPower);
    }
    // The circuit totals take the power an element draws with a minus sign, as the
    // resistor does; the magnetic totals take what a core draws with a plus sign, so
    // the port that feeds the core adds it negated: each total balances to 0.
    const double dt = recordedStepLength(run);
    store[kPowerTotalEntry] -= firstPower;
    store[kMagneticPowerTotalEntry] -= secondPower;
    store[kAllPowerTotalEntry] -= firstPower + secondPower;
    store[kEnergyTotalEntry] -= firstPower * dt;
    store[kMagneticEnergyTotalEntry] -= secondPower * dt;
    store[kAllEnergyTotalEntry] -= (firstPower + secondPower) * dt;
  }
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayFlow] = first;
      record[kDisplayAcross] = firstVoltage;
    }
  }
  return 0;
}

}  // namespace movra

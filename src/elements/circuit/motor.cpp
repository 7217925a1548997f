// The DC motor: an armature branch (R, L and the back voltage K·ω) between two
// circuit nodes, whose current turns the rotor node against the stator node with
// the torque K·i. The two rotations are unknowns of the mechanism, so one motor
// joins the circuit and the mechanism into one system.
#include <cmath>
#include <cstdint>

#include "elements/circuit/circuit.h"
#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
// The stator or rotor field names no mechanical node with a rotation unknown.
constexpr char kNoRotation[] = " 固定子・回転子の節が？ %g %g \n\n %s";

// Integer slots: unknown indices of x, y and rotation of the stator and the rotor.
constexpr int kStatorSlot = 11;  // 11..13
constexpr int kRotorSlot = 14;   // 14..16
constexpr int kVoteMemory = 11;  // real slot

// Record fields beyond the two-terminal head.
constexpr int kEfficiencyField = 10;
constexpr int kEfficiencyCopyField = 48;
constexpr double kSmallestPower = 1e-6;  // W; below it the efficiency reads 0

// Symbol states of the schematic: 1 the motor drives its load, 2 it is driven.
constexpr double kSymbolMotoring = 1.0;
constexpr double kSymbolGenerating = 2.0;

// The rotor drawn on the mechanism: a ring with a diameter turning with θ_r.
constexpr double kRotorRadius = 16.0;  // pixels
constexpr int kRotorColour = 8;
constexpr int kSolid = 0;

// Mechanical node ids are whole numbers 0..kLargestMechanicalNode (the key is id·10 + k).
constexpr int kLargestMechanicalNode = 200;
constexpr int kMechanicalKind = 1;  // NodeKindTable

// Node id of a field; -1 for a value that is no whole node id.
int mechanicalNodeOf(double value) {
  if (!std::isfinite(value) || value != std::nearbyint(value)) return -1;
  if (value > kLargestMechanicalNode) return -1;
  return value <= 0.0 ? 0 : static_cast<int>(value);
}

// Looks up x, y and the rotation of a node into three integer slots. Node 0 (or a
// negative id) is the fixed frame, index 0. False when the node has no rotation or
// is no mechanical node: from id 100 on, id·10 + k is also the key of the potential
// of node id·10 + k - 1000, which a circuit or a magnetic core may own.
bool lookUpNode(const Model& model, const Run& run, ElementEntry& element, int firstSlot,
                double field) {
  const int node = mechanicalNodeOf(field);
  if (node < 0) return false;
  if (node > 0 && (node >= kNodeCount || model.nodes.kind[node] != kMechanicalKind)) return false;
  const int k[3] = {1, 2, 0};  // x, y, rotation
  for (int c = 0; c < 3; ++c) {
    element.variableSlots[firstSlot + c] = node == 0 ? 0 : run.unknownOfKey[node * 10 + k[c]];
  }
  return node == 0 || element.variableSlots[firstSlot + 2] > 0;
}

// An index kept in an integer slot, read back within the system.
int indexIn(const Run& run, const ElementEntry& element, int slot) {
  const int index = element.variableSlots[slot];
  return index > 0 && index <= run.unknownCount && index <= kMaxUnknowns ? index : 0;
}

// Drawn on the rotor node, or on the stator node when the rotor is the fixed frame
// (a motor turning its housing); a motor with both on the frame draws nothing. The
// choice never changes during a run, so every frame records the same shapes.
void drawRotor(EvaluationContext& context, const ElementEntry& element, double angle) {
  const Run& run = context.run;
  const bool onRotor = mechanicalNodeOf(element.realSlots[5]) > 0;
  if (!onRotor && mechanicalNodeOf(element.realSlots[4]) <= 0) return;
  const int first = onRotor ? kRotorSlot : kStatorSlot;
  const double cx = run.X[indexIn(run, element, first)];
  const double cy = run.X[indexIn(run, element, first + 1)];
  const double dx = kRotorRadius * std::cos(angle);
  const double dy = kRotorRadius * std::sin(angle);
  DisplayList& list = context.run.display;
  list.currentTag = kElementOutlineTag;
  recordShape8(list, cx, cy, kRotorRadius, kRotorColour, kSolid);
  recordShape21(list, cx, cy, dx, dy, kRotorColour, kSolid, 0);
  recordShape21(list, cx, cy, -dx, -dy, kRotorColour, kSolid, 0);
}

}  // namespace

// DC motor, P1 K (N·m/A = V·s/rad), P2 R (ohm), P3 L (H), P4 stator and P5 rotor
// node ids; own current i from m through the armature to n;
// ω = a0·(θ_r - H[θ_r]) - a0·(θ_s - H[θ_s]) (rad/s):
//   F[i] = R·i - (x[m] - x[n]) + L·a0·(i - H[i]) + K·ω   (V)
//   dF[i]/dx[m] = -1, dx[n] = +1, dx[i] = R + L·a0, dθ_r = K·a0, dθ_s = -K·a0
//   F[m] -= i, F[n] += i (A);  F[θ_r] += K·i, F[θ_s] -= K·i (N·m), d/di = ±K
//   leak 1e-9 S at m and n, artificial damping on θ_s and θ_r.
int evaluateDcMotor(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double constant = element->realSlots[1];
  const double resistance = element->realSlots[2];
  const double inductance = element->realSlots[3];
  if (isFirstIteration(run) && (constant < 0.0 || resistance < 0.0 || inductance < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  if (run.initialPass != 0) {
    const bool stator =
        lookUpNode(context.model, run, *element, kStatorSlot, element->realSlots[4]);
    const bool rotor = lookUpNode(context.model, run, *element, kRotorSlot, element->realSlots[5]);
    // Both fields left out put stator and rotor on the frame: the motor would be a
    // plain R-L branch that turns nothing, so it is taken for a forgotten rotor.
    const bool bothLeftOut = element->empty[4] != 0 && element->empty[5] != 0 &&
                             mechanicalNodeOf(element->realSlots[4]) == 0 &&
                             mechanicalNodeOf(element->realSlots[5]) == 0;
    if (!stator || !rotor || bothLeftOut) {
      return context.reporter.modelError(kNoRotation, element->realSlots[4], element->realSlots[5],
                                         quotedLine(*element));
    }
  }
  const int statorAngle = indexIn(run, *element, kStatorSlot + 2);
  const int rotorAngle = indexIn(run, *element, kRotorSlot + 2);

  const Branch branch = branchOf(run, *element);
  const double a0 = run.a0();
  const double speed = rateOf(run, rotorAngle) - rateOf(run, statorAngle);
  const double induced = inductance * a0 * (branch.current - historyOf(run, branch.i));
  setBranchRow(run, branch,
               resistance * branch.current - branch.voltage + induced + constant * speed,
               resistance + inductance * a0);
  run.jacobian(branch.i, rotorAngle) += constant * a0;
  run.jacobian(branch.i, statorAngle) -= constant * a0;
  stampBranchCurrent(run, branch);

  const double torque = constant * branch.current;
  run.F[rotorAngle] += torque;
  run.jacobian(rotorAngle, branch.i) += constant;
  run.F[statorAngle] -= torque;
  run.jacobian(statorAngle, branch.i) -= constant;

  addBranchLeaks(run, branch);
  addCoordinateDamping(context, statorAngle);
  addCoordinateDamping(context, rotorAngle);
  voteChange(run, circuitTolerances(context.model), branch.current,
             element->realSlots[kVoteMemory]);

  const double electrical = branch.voltage * branch.current;
  const double mechanical = torque * speed;
  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    store[id + 1] = branch.voltage;
    store[id + 2] = branch.current;
    store[id + 3] = electrical;
    store[id + 5] += electrical * recordedStepLength(run);
    store[id + 6] = torque;
    store[id + 7] = speed;
    store[id + 8] = mechanical;
    store[id + 9] += mechanical * recordedStepLength(run);
    const double efficiency =
        std::fabs(electrical) >= kSmallestPower ? mechanical / electrical : 0.0;
    store[id + kEfficiencyField] = efficiency;
    store[id + kEfficiencyCopyField] = efficiency;
    recordPeriodMeans(store, id, run, branch.voltage, branch.current, electrical);
  }
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayFlow] = branch.current;
      record[kDisplayAcross] = branch.voltage;
      record[kDisplayState] =
          mechanical > 0.0 ? kSymbolMotoring : (mechanical < 0.0 ? kSymbolGenerating : 0.0);
    }
    drawRotor(context, *element, run.X[rotorAngle] - run.X[statorAngle]);
  }
  return 0;
}

}  // namespace movra

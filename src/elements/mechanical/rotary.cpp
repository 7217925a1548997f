// The rotary spring, damper and Coulomb friction between the rotations of two
// nodes, and the spring with natural length combined with such a rotary element.
// Moments in N·m on the angle rows; friction sticks by a stiff viscous law and
// slips with a constant torque, in three states decided from the relative speed.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";

// Integer slots of the friction state.
constexpr int kFrictionState = 13;
constexpr int kSettledFlag = 15;
constexpr int kPreviousFrictionState = 16;
// Relative speed (rad/s) beyond which the friction slips.
constexpr double kSlipSpeed = 0.001;
// Sticking is a viscous law this many times the friction torque per rad/s.
constexpr double kStickingViscosity = 1000.0;
// From this iteration on an unsettled slipping state may only fall back to sticking.
constexpr int kFrictionSettlingIteration = 5;

// Real slots: remembered relative displacements; natural length of code 9.
constexpr int kVoteMemory = 11;
constexpr int kNaturalLengthSlot = 51;

constexpr int kRotaryColour = 3;
constexpr int kSolid = 0;
constexpr double kRotaryRadius = 10.0;  // pixels
constexpr double kRotarySweep = 1.5 * kPi;

// Adds a torque law T(θ_j - θ_i) with slope dT/dθ_j = -slope to both angle rows:
//   F[θ_j] += T, F[θ_i] -= T;  J[θ_j][θ_j] -= s, J[θ_j][θ_i] += s, J[θ_i][θ_j] += s,
//   J[θ_i][θ_i] -= s.
void stampTorque(Run& run, int first, int second, double torque, double slope) {
  run.F[second] += torque;
  run.F[first] -= torque;
  run.jacobian(second, second) -= slope;
  run.jacobian(second, first) += slope;
  run.jacobian(first, second) += slope;
  run.jacobian(first, first) -= slope;
}

// The change test of the convergence vote without counting a failure: true when
// |q - m| < min(|q|, |m|)·rel + abs. Then m <- q.
bool changeSettled(const Tolerances& tolerances, double value, double& remembered) {
  const double band =
      std::min(std::fabs(value), std::fabs(remembered)) * tolerances.relative + tolerances.absolute;
  const bool settled = std::fabs(value - remembered) < band;
  remembered = value;
  return settled;
}

void clearFrictionStates(ElementEntry& element) {
  element.variableSlots[kFrictionState] = 0;
  element.variableSlots[kSettledFlag] = 0;
  element.variableSlots[kPreviousFrictionState] = 0;
}

// Friction torque on the second rotation for relative speed s = a0·(Δθ_j - Δθ_i):
//   state +1 (s >= 0.001): -T_f;  state -1 (s <= -0.001): +T_f
//   state 0: -1000·T_f·s with slope 1000·T_f·a0 (N·m per rad).
// Late in an unsettled iteration a slipping state may only fall back to 0.
double stampFriction(Run& run, ElementEntry& element, int first, int second, double limit,
                     double speed, bool settled) {
  int32_t* state = element.variableSlots;
  state[kSettledFlag] = settled ? 1 : 0;
  if (!(limit > 0.0)) return 0.0;
  int friction = speed >= kSlipSpeed ? 1 : (speed <= -kSlipSpeed ? -1 : 0);
  if (run.iteration > kFrictionSettlingIteration && !settled) {
    if (state[kPreviousFrictionState] == 1) friction = speed >= kSlipSpeed ? 1 : 0;
    if (state[kPreviousFrictionState] == -1) friction = speed <= -kSlipSpeed ? -1 : 0;
  }
  state[kFrictionState] = friction;
  state[kPreviousFrictionState] = friction;
  if (friction != 0) {
    const double torque = friction > 0 ? -limit : limit;
    stampTorque(run, first, second, torque, 0.0);
    return torque;
  }
  const double viscosity = kStickingViscosity * limit;
  const double torque = -viscosity * speed;
  stampTorque(run, first, second, torque, viscosity * run.a0());
  return torque;
}

// A three-quarter arc about the second node, turning with it.
void drawRotaryOutline(EvaluationContext& context, double x, double y, double angle) {
  DisplayList& list = context.run.display;
  list.currentTag = kElementOutlineTag;
  recordShape7(list, x, y, kRotaryRadius, angle, angle + kRotarySweep, kRotaryColour, kSolid);
}

}  // namespace

// Rotary spring, damper and friction between θ_i (slot 3) and θ_j (slot 6); P1 k
// (N·m/rad), P2 T0 (N·m), P3 c (N·m·s/rad), P4 T_f (N·m):
//   T = T0 - k·(θ_j - θ_i) - c·a0·((θ_j - H[θ_j]) - (θ_i - H[θ_i]))
//   F[θ_j] += T, F[θ_i] -= T;  ∂F[θ_j]/∂θ_j = -(k + c·a0), ∂F[θ_j]/∂θ_i = k + c·a0
//   plus the friction torque on the same rows (stampFriction).
int evaluateRotarySpring(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double stiffness = element->realSlots[1];
  const double preload = element->realSlots[2];
  const double damping = element->realSlots[3];
  const double friction = element->realSlots[4];
  if (isFirstIteration(run) && (stiffness < 0.0 || damping < 0.0 || friction < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  if (run.initialPass != 0) clearFrictionStates(*element);

  const NodePair n = nodePairOf(run, *element);
  const double twist = run.X[n.tj] - run.X[n.ti];
  const double speed = rateOf(run, n.tj) - rateOf(run, n.ti);
  const double torque = preload - stiffness * twist - damping * speed;
  stampTorque(run, n.ti, n.tj, torque, stiffness + damping * run.a0());
  // No vote of its own: the change of the twist only tells the friction whether
  // the element has settled.
  const bool settled =
      changeSettled(mechanicalTolerances(context.model), twist, element->realSlots[kVoteMemory]);
  const double frictionTorque = stampFriction(run, *element, n.ti, n.tj, friction, speed, settled);
  addCoordinateDamping(context, n.ti);
  addCoordinateDamping(context, n.tj);

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    store[id + 1] = torque;
    store[id + 2] = frictionTorque;
    store[id + 3] = torque + frictionTorque;
    store[id + 4] = toDegrees(twist);
    store[id + 5] = toDegrees(speed);
    store[id + 6] = element->variableSlots[kFrictionState];
    store[id + 8] = (torque + frictionTorque) * speed;
  }
  if (displaying(run)) {
    const double x = run.X[n.xj];
    const double y = run.X[n.yj];
    drawRotaryOutline(context, x, y, run.X[n.tj]);
    if (drawsForces(*element)) drawMomentArc(context, x, y, torque + frictionTorque);
  }
  return 0;
}

// Spring with natural length L0 (real slot 51) between the points of two nodes,
// combined with a rotary spring, damper and friction; P1 k, P2 c, P3 F0, P4 k_r,
// P5 c_r, P6 T0, P7 T_f:
//   T = (L0 - L)·k - c·dL/dt + F0 along the points as for the spring and damper
//   w = a0·((θ_j - H[θ_j]) - (θ_i - H[θ_i])),  E = k_r·(θ_j - θ_i) + c_r·w - T0
//   F[θ_i] += E, F[θ_j] -= E;  ∂F[θ_i]/∂θ_j = k_r + c_r·a0, ∂F[θ_i]/∂θ_i = -(k_r + c_r·a0)
//   plus the friction torque of the rotary element with s = w.
int evaluateCombinedSpring(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  const double stiffness = p[1];
  const double damping = p[2];
  const double preload = p[3];
  const double rotaryStiffness = p[4];
  const double rotaryDamping = p[5];
  const double rotaryPreload = p[6];
  const double friction = p[7];
  const double naturalLength = p[kNaturalLengthSlot];
  const NodePair n = nodePairOf(run, *element);
  const int points[4] = {n.xi, n.yi, n.xj, n.yj};
  // Before an attempt: only the length, which the history of the step then carries.
  if (run.recordingFlag < 0) {
    storeSpringLength(run, *element, points);
    return 0;
  }
  if (run.initialPass != 0) {
    if (naturalLength < 0.0 || stiffness < 0.0 || damping < 0.0 || rotaryStiffness < 0.0 ||
        rotaryDamping < 0.0 || friction < 0.0) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
    clearFrictionStates(*element);
  }

  const PointSpringLaw law{naturalLength * stiffness + preload, stiffness, damping};
  const PointSpringState spring = stampPointSpring(context, *element, points, law);

  const double twist = run.X[n.tj] - run.X[n.ti];
  const double speed = rateOf(run, n.tj) - rateOf(run, n.ti);
  const double twistMoment = rotaryStiffness * twist + rotaryDamping * speed - rotaryPreload;
  stampTorque(run, n.ti, n.tj, -twistMoment, rotaryStiffness + rotaryDamping * run.a0());

  const Tolerances tolerances = mechanicalTolerances(context.model);
  double* memory = element->realSlots + kVoteMemory;
  int unsettled = 0;
  unsettled += voteChange(run, tolerances, run.X[n.xi] - run.X[n.xj], memory[0]) ? 1 : 0;
  unsettled += voteChange(run, tolerances, run.X[n.yi] - run.X[n.yj], memory[1]) ? 1 : 0;
  unsettled += voteChange(run, tolerances, -twist, memory[2]) ? 1 : 0;
  const double frictionTorque =
      stampFriction(run, *element, n.ti, n.tj, friction, speed, unsettled == 0);
  for (int coordinate : {n.xi, n.yi, n.ti, n.xj, n.yj, n.tj}) {
    addCoordinateDamping(context, coordinate);
  }

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    store[id + 1] = spring.forceX;
    store[id + 2] = spring.forceY;
    store[id + 3] = std::hypot(spring.forceX, spring.forceY);
    store[id + 4] = toDegrees(vectorAngle(spring.forceX, spring.forceY));
    store[id + 5] = spring.tension;
    store[id + 6] = spring.length;
    store[id + 7] = spring.rate;
    store[id + 8] = frictionTorque - twistMoment;
    store[id + 9] = frictionTorque;
    store[id + 10] = element->variableSlots[kFrictionState];
    store[id + 11] = toDegrees(twist);
    store[id + 12] = toDegrees(speed);
  }
  if (displaying(run)) {
    const double xi = run.X[n.xi];
    const double yi = run.X[n.yi];
    const double xj = run.X[n.xj];
    const double yj = run.X[n.yj];
    drawSpringOutline(context, xi, yi, xj, yj);
    drawRotaryOutline(context, xj, yj, run.X[n.tj]);
    if (drawsForces(*element)) {
      drawForceArrow(context, xj, yj, spring.forceX, spring.forceY);
      drawForceArrow(context, xi, yi, -spring.forceX, -spring.forceY);
      drawMomentArc(context, xj, yj, frictionTorque - twistMoment);
    }
  }
  return 0;
}

}  // namespace movra

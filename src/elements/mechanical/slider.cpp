// The slider joint: the second node moves along a guide line fixed in the first
// node's rotating frame, its rotation locked to the first; along the guide it is
// held by a spring, a damper, a preload and Coulomb friction. The normal force and
// the locking moment are the element's own unknowns; the slider coordinate lives
// in the element's state slot, so that the step's history carries its rate.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
// Placed on top of its guide node, the sliding node gives the guide no direction.
constexpr char kNoGuideDirection[] = " 案内の向きが？ 滑り節が案内の節と同じ位置 \n\n %s";

// Real slots: remembered relative displacements of the vote; the starting offset s_0
// along the guide and the guide direction φ_0 that model setup measures.
constexpr int kVoteMemory = 11;
constexpr int kStartingOffsetSlot = 51;
constexpr int kGuideDirectionSlot = 52;
// Integer slots of the friction state and its previous value.
constexpr int kFrictionState = 13;
constexpr int kPreviousFrictionState = 16;

// Steps of the central differences: the normal constraint (m, rad, N) and the axial
// law (m, rad).
constexpr double kNormalStep = 1e-7;
constexpr double kAxialStep = 1e-8;
// Rate along the guide (m/s) beyond which the friction slips.
constexpr double kSlipSpeed = 0.001;
// Sticking is a viscous law this many times the friction force per m/s.
constexpr double kStickingViscosity = 1000.0;

// Drawing: the block's half-length and half-height and the channel's clearance,
// pixels; the guide reaches this share of s_0 either side of the starting offset.
constexpr double kBlockHalfLength = 12.0;
constexpr double kBlockHalfHeight = 7.0;
constexpr double kGuideReach = 0.5;
constexpr int kGuideColour = 22;
constexpr int kBlockColour = 10;
constexpr int kSolid = 0;

struct SliderNodes {
  NodePair pair;
  int normal = 0;  // λ_n, N
  int lock = 0;    // λ_θ, N·m
};

// The normal constraint as a function of (dx, dy, θ_i, λ_n).
struct NormalLaw {
  double forceX = 0.0;  // on the sliding node, N
  double forceY = 0.0;
  double moment = 0.0;  // M_n on the guide's node, N·m
  double offset = 0.0;  // q, m
};

NormalLaw normalLaw(double dx, double dy, double angle, double normal) {
  const double nu = angle + 0.5 * kPi;
  const double c = std::cos(nu);
  const double s = std::sin(nu);
  return {normal * c, normal * s, -normal * (dx * s - dy * c), dx * c + dy * s};
}

// The axial force T(s, ṡ) along the guide and the reaction moment it puts on the
// guide's node, as a function of (dx, dy, θ_i) with the history held.
struct AxialLaw {
  double along = 0.0;  // s, m
  double rate = 0.0;   // ṡ, m/s
  double force = 0.0;  // T, N, on the sliding node along β
  double forceX = 0.0;
  double forceY = 0.0;
  double moment = 0.0;  // on the guide's node: r × (-T·e_β) = T·q, N·m
};

struct AxialParameters {
  double stiffness = 0.0;
  double preload = 0.0;
  double damping = 0.0;
  double friction = 0.0;
  double startingOffset = 0.0;
  double a0 = 0.0;
  double historyOffset = 0.0;
  int state = 0;  // friction state, fixed while differentiating
};

AxialLaw axialLaw(const AxialParameters& p, double dx, double dy, double angle) {
  AxialLaw law;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  law.along = dx * c + dy * s;
  law.rate = p.a0 * (law.along - p.historyOffset);
  law.force = (p.startingOffset - law.along) * p.stiffness - p.damping * law.rate + p.preload;
  law.forceX = law.force * c;
  law.forceY = law.force * s;
  law.moment = law.force * (dy * c - dx * s);
  return law;
}

// Friction along the guide: -F_f slipping forwards, +F_f backwards, and the stiff
// viscous law -1000·F_f·ṡ while sticking.
double frictionForce(double limit, int state, double rate) {
  if (state > 0) return -limit;
  if (state < 0) return limit;
  return -kStickingViscosity * limit * rate;
}

// State from ṡ; a slip only ends through sticking, never turns straight round.
int nextFrictionState(int previous, double rate) {
  const int plain = rate >= kSlipSpeed ? 1 : (rate <= -kSlipSpeed ? -1 : 0);
  if (previous == 1 && plain == -1) return 0;
  if (previous == -1 && plain == 1) return 0;
  return plain;
}

struct AxialResult {
  AxialLaw spring;        // the spring, damper and preload
  double friction = 0.0;  // N along the guide
};

// Adds (F_x, F_y, M) of the axial law plus friction, and its Jacobian over dx, dy
// and θ_i by central differences; the guide node's x, y columns take the opposite
// sign of the sliding node's.
AxialResult stampAxial(Run& run, const SliderNodes& n, const AxialParameters& p, double dx,
                       double dy, double angle, double guide) {
  const auto total = [&](double x, double y, double a) {
    AxialLaw law = axialLaw(p, x, y, a + guide);
    if (p.friction > 0.0) {
      const double f = frictionForce(p.friction, p.state, law.rate);
      law.force += f;
      law.forceX += f * std::cos(a + guide);
      law.forceY += f * std::sin(a + guide);
      law.moment += f * (y * std::cos(a + guide) - x * std::sin(a + guide));
    }
    return law;
  };
  const NodePair& q = n.pair;
  for (int variable = 0; variable < 3; ++variable) {
    const double h = kAxialStep;
    const AxialLaw up = total(dx + (variable == 0 ? h : 0.0), dy + (variable == 1 ? h : 0.0),
                              angle + (variable == 2 ? h : 0.0));
    const AxialLaw down = total(dx - (variable == 0 ? h : 0.0), dy - (variable == 1 ? h : 0.0),
                                angle - (variable == 2 ? h : 0.0));
    const double dFx = (up.forceX - down.forceX) / (2.0 * h);
    const double dFy = (up.forceY - down.forceY) / (2.0 * h);
    const double dM = (up.moment - down.moment) / (2.0 * h);
    if (variable == 2) {
      run.jacobian(q.xj, q.ti) += dFx;
      run.jacobian(q.yj, q.ti) += dFy;
      run.jacobian(q.xi, q.ti) -= dFx;
      run.jacobian(q.yi, q.ti) -= dFy;
      run.jacobian(q.ti, q.ti) += dM;
      continue;
    }
    const int sliding = variable == 0 ? q.xj : q.yj;
    const int guideNode = variable == 0 ? q.xi : q.yi;
    for (const int column : {sliding, guideNode}) {
      const double sign = column == sliding ? 1.0 : -1.0;
      run.jacobian(q.xj, column) += sign * dFx;
      run.jacobian(q.yj, column) += sign * dFy;
      run.jacobian(q.xi, column) -= sign * dFx;
      run.jacobian(q.yi, column) -= sign * dFy;
      run.jacobian(q.ti, column) += sign * dM;
    }
  }
  const AxialLaw at = total(dx, dy, angle);
  run.F[q.xj] += at.forceX;
  run.F[q.yj] += at.forceY;
  run.F[q.xi] -= at.forceX;
  run.F[q.yi] -= at.forceY;
  run.F[q.ti] += at.moment;
  AxialResult result;
  result.spring = axialLaw(p, dx, dy, angle + guide);
  result.friction = at.force - result.spring.force;
  return result;
}

// Normal rows: forces ±λ_n·(cos ν, sin ν), M_n on θ_i, and F[λ_n] = q set, all
// differentiated over dx, dy, θ_i and λ_n by central differences.
void stampNormal(Run& run, const SliderNodes& n, double dx, double dy, double angle,
                 double normal) {
  const NodePair& q = n.pair;
  run.jacobian(n.normal, q.xi) = 0.0;
  run.jacobian(n.normal, q.yi) = 0.0;
  run.jacobian(n.normal, q.ti) = 0.0;
  run.jacobian(n.normal, q.xj) = 0.0;
  run.jacobian(n.normal, q.yj) = 0.0;
  run.jacobian(n.normal, n.normal) = 0.0;
  for (int variable = 0; variable < 4; ++variable) {
    const double h = kNormalStep;
    const double shift[4] = {variable == 0 ? h : 0.0, variable == 1 ? h : 0.0,
                             variable == 2 ? h : 0.0, variable == 3 ? h : 0.0};
    const NormalLaw up =
        normalLaw(dx + shift[0], dy + shift[1], angle + shift[2], normal + shift[3]);
    const NormalLaw down =
        normalLaw(dx - shift[0], dy - shift[1], angle - shift[2], normal - shift[3]);
    const double dFx = (up.forceX - down.forceX) / (2.0 * h);
    const double dFy = (up.forceY - down.forceY) / (2.0 * h);
    const double dM = (up.moment - down.moment) / (2.0 * h);
    const double dq = (up.offset - down.offset) / (2.0 * h);
    int columns[2] = {0, 0};
    double signs[2] = {1.0, -1.0};
    int count = 1;
    if (variable == 0) columns[0] = q.xj, columns[1] = q.xi, count = 2;
    if (variable == 1) columns[0] = q.yj, columns[1] = q.yi, count = 2;
    if (variable == 2) columns[0] = q.ti;
    if (variable == 3) columns[0] = n.normal;
    for (int k = 0; k < count; ++k) {
      const int column = columns[k];
      const double sign = signs[k];
      run.jacobian(q.xj, column) += sign * dFx;
      run.jacobian(q.yj, column) += sign * dFy;
      run.jacobian(q.xi, column) -= sign * dFx;
      run.jacobian(q.yi, column) -= sign * dFy;
      run.jacobian(q.ti, column) += sign * dM;
      run.jacobian(n.normal, column) += sign * dq;
    }
  }
  const NormalLaw at = normalLaw(dx, dy, angle, normal);
  run.F[q.xj] += at.forceX;
  run.F[q.yj] += at.forceY;
  run.F[q.xi] -= at.forceX;
  run.F[q.yi] -= at.forceY;
  run.F[q.ti] += at.moment;
  run.F[n.normal] = at.offset;
}

void drawSlider(EvaluationContext& context, double xi, double yi, double xj, double yj,
                double angle, double startingOffset, double along) {
  DisplayList& list = context.run.display;
  list.currentTag = kElementOutlineTag;
  const double scale = context.model.view.scale > 0.0 ? context.model.view.scale : 300.0;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double halfLength = kBlockHalfLength / scale;
  const double halfHeight = kBlockHalfHeight / scale;
  // The guide: a channel along β in the guide node's frame, wide enough for the
  // block, over the travel about the starting offset and always under the block.
  const double reach = kGuideReach * std::fabs(startingOffset);
  const double from = std::min(startingOffset - reach, along - 2.0 * halfLength);
  const double to = std::max(startingOffset + reach, along + 2.0 * halfLength);
  const double clearance = halfHeight + 1.5 / scale;
  for (const double side : {-1.0, 1.0}) {
    const double ox = -s * side * clearance;
    const double oy = c * side * clearance;
    recordShape3(list, xi + from * c + ox, yi + from * s + oy, xi + to * c + ox, yi + to * s + oy,
                 kGuideColour, kSolid);
  }
  // The block about the sliding node.
  const double corners[4][2] = {{-halfLength, -halfHeight},
                                {halfLength, -halfHeight},
                                {halfLength, halfHeight},
                                {-halfLength, halfHeight}};
  for (int k = 0; k < 4; ++k) {
    const double* a = corners[k];
    const double* b = corners[(k + 1) % 4];
    recordShape3(list, xj + a[0] * c - a[1] * s, yj + a[0] * s + a[1] * c, xj + b[0] * c - b[1] * s,
                 yj + b[0] * s + b[1] * c, kBlockColour, kSolid);
  }
}

}  // namespace

// Guide angle β = θ_i + φ_0, dx = x_j - x_i, dy = y_j - y_i (m), ν = β + π/2:
//   s = dx·cos β + dy·sin β (state slot), ṡ = a0·(s - H[s]), q = dx·cos ν + dy·sin ν
//   F[x_j, y_j] += λ_n·(cos ν, sin ν), F[x_i, y_i] -= the same,
//   F[θ_i] += -λ_n·(dx·sin ν - dy·cos ν);  F[λ_n] = q + c_d·λ_n (set)
//   F[λ_θ] = θ_i - θ_j - c_d·λ_θ (set);  F[θ_i] -= λ_θ, F[θ_j] += λ_θ
//   T = (s_0 - s)·k - c·ṡ + F0 + friction (N) along β on x_j, y_j, the opposite on
//   x_i, y_i, and its moment T·(dy·cos β - dx·sin β) on θ_i (0 on the guide line)
// Derivatives of the normal rows and of T by central differences.
int evaluateSlider(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  SliderNodes n;
  n.pair = nodePairOf(run, *element);
  n.normal = unknownSlot(run, *element, 7);
  n.lock = unknownSlot(run, *element, 8);
  const NodePair& q = n.pair;
  const int state = stateIndexOf(run, *element);
  const double guide = p[kGuideDirectionSlot];
  const double dx = run.X[q.xj] - run.X[q.xi];
  const double dy = run.X[q.yj] - run.X[q.yi];
  const double angle = run.X[q.ti];
  const double along = dx * std::cos(angle + guide) + dy * std::sin(angle + guide);
  // Before an attempt: only the coordinate, which the history of the step then carries.
  if (run.recordingFlag < 0) {
    if (state > 0) run.X[state] = along;
    return 0;
  }

  AxialParameters axial;
  axial.stiffness = p[1];
  axial.preload = p[2];
  axial.damping = p[3];
  axial.friction = p[4];
  axial.startingOffset = p[kStartingOffsetSlot];
  axial.a0 = run.a0();
  axial.historyOffset = state > 0 ? run.history(state) : along;
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (axial.stiffness < 0.0 || axial.damping < 0.0 || axial.friction < 0.0) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
    if (!(axial.startingOffset > 0.0)) {
      return context.reporter.modelError(kNoGuideDirection, quotedLine(*element));
    }
  }
  int32_t* slots = element->variableSlots;
  if (run.initialPass != 0 || run.kt == 0) {
    slots[kFrictionState] = 0;
    slots[kPreviousFrictionState] = 0;
  }
  if (state > 0) run.X[state] = along;
  const double rate = axial.a0 * (along - axial.historyOffset);
  if (axial.friction > 0.0) {
    slots[kFrictionState] = nextFrictionState(slots[kPreviousFrictionState], rate);
    slots[kPreviousFrictionState] = slots[kFrictionState];
  } else {
    slots[kFrictionState] = 0;
  }
  axial.state = slots[kFrictionState];

  const double normal = run.X[n.normal];
  stampNormal(run, n, dx, dy, angle + guide, normal);
  const double lockMoment = run.X[n.lock];
  run.F[n.lock] = run.X[q.ti] - run.X[q.tj];
  run.jacobian(n.lock, q.ti) = 0.0;
  run.jacobian(n.lock, q.tj) = 0.0;
  run.jacobian(n.lock, n.lock) = 0.0;
  run.jacobian(n.lock, q.ti) += 1.0;
  run.jacobian(n.lock, q.tj) -= 1.0;
  run.F[q.ti] -= lockMoment;
  run.jacobian(q.ti, n.lock) -= 1.0;
  run.F[q.tj] += lockMoment;
  run.jacobian(q.tj, n.lock) += 1.0;

  const double compliance = context.model.parameters.get(kMechanicalDampingEntry);
  run.F[n.normal] += compliance * normal;
  run.jacobian(n.normal, n.normal) += compliance;
  run.F[n.lock] -= compliance * lockMoment;
  run.jacobian(n.lock, n.lock) -= compliance;

  const AxialResult axialForce = stampAxial(run, n, axial, dx, dy, angle, guide);
  for (int coordinate : {q.xi, q.yi, q.ti, q.xj, q.yj, q.tj}) {
    addCoordinateDamping(context, coordinate);
  }

  const Tolerances tolerances = mechanicalTolerances(context.model);
  voteChange(run, tolerances, -dx, element->realSlots[kVoteMemory]);
  voteChange(run, tolerances, -dy, element->realSlots[kVoteMemory + 1]);
  voteChange(run, tolerances, run.X[q.ti] - run.X[q.tj], element->realSlots[kVoteMemory + 2]);

  const double beta = angle + guide;
  const double totalAlong = axialForce.spring.force + axialForce.friction;
  const double forceX = totalAlong * std::cos(beta) - normal * std::sin(beta);
  const double forceY = totalAlong * std::sin(beta) + normal * std::cos(beta);
  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    store[id + 1] = forceX;
    store[id + 2] = forceY;
    store[id + 3] = std::hypot(forceX, forceY);
    store[id + 4] = toDegrees(vectorAngle(forceX, forceY));
    store[id + 5] = normal;
    store[id + 6] = axialForce.spring.force;
    store[id + 7] = axialForce.friction;
    store[id + 8] = lockMoment;
    store[id + 9] = along;
    store[id + 10] = rate;
    store[id + 11] = along - axial.startingOffset;
    store[id + 12] = slots[kFrictionState];
    store[id + 13] = toDegrees(beta);
    store[id + 14] = totalAlong * rate;
  }
  if (displaying(run)) {
    const double xi = run.X[q.xi];
    const double yi = run.X[q.yi];
    const double xj = run.X[q.xj];
    const double yj = run.X[q.yj];
    // The axial spring, when its field is written, from the guide's node to the block;
    // by the field, not its value, so that every frame keeps one layout.
    if (element->empty[1] != 1) drawSpringOutline(context, xi, yi, xj, yj);
    drawSlider(context, xi, yi, xj, yj, beta, axial.startingOffset, along);
    if (drawsForces(*element)) {
      drawForceArrow(context, xj, yj, forceX, forceY);
      drawForceArrow(context, xi, yi, -forceX, -forceY);
    }
  }
  return 0;
}

}  // namespace movra

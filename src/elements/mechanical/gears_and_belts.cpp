// The gear pair with backlash (code 15), the pulley and belt (code 14), the
// friction drive of two cylinders or cones pressed together (code 62) and the gear
// element of one given radius (code 12).
//
// A belt written with field 5 above 0 is elastic and stands for three entries:
// the statement's own entry carries the shaft load (the sum of the span tensions)
// and draws the drive, the two further entries are the two spans of the belt, each
// with its tension as an unknown, taut or slack. Without it the belt is
// inextensible: one entry whose unknown is the force the belt transmits.
//
// The gear pair meshes two gears through an elastic tooth contact along the pitch
// line with a play in it: teeth that only push, with a stiffness and damping of
// their own, and a backlash inside which no force passes. It needs no unknown of
// its own, so the driven gear is truly free while the driver crosses the play.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/generalized_force.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadRadii[] = " ri  rj が ？ %e %e \n %s";
constexpr char kBadData[] = "データが？ \n\n %s";

constexpr int kSolid = 0;
constexpr int kGearColours[] = {14, 9, 27, 6, 2, 31};
// Centres closer than this have no line between them, m.
constexpr double kShortestCentreDistance = 1e-12;

int colourOfNode(const ElementEntry& element, int end) {
  const int node = element.terminalMark[end] != 0 ? element.node[end] / 10 : element.node[end];
  const int count = static_cast<int>(sizeof kGearColours / sizeof kGearColours[0]);
  return kGearColours[((node % count) + count) % count];
}

double wrapAngle(double angle) {
  return angle - 2.0 * kPi * std::floor((angle + kPi) / (2.0 * kPi));
}

// Turn of the line of centres (x_i, y_i) -> (x_j, y_j) since the start of the run,
// unwrapped against the turn at the last recorded step; 0 for coincident centres.
double lineTurn(const double* q, double reference, double startingDirection) {
  const double dx = q[3] - q[0];
  const double dy = q[4] - q[1];
  if (std::hypot(dx, dy) < kShortestCentreDistance) return reference;
  const double turn = vectorAngle(dx, dy) - startingDirection;
  return reference + wrapAngle(turn - reference);
}

// ---------------------------------------------------------------- gear pair (15)

// P1 r_i, P2 r_j (pitch radii, m; one negative for a ring gear), P3 tooth stiffness
// k (N/m along the pitch line), P4 backlash b (m of pitch arc), P5 tooth damping c.
constexpr int kPairStartSlot = 15;      // s at the start of the run
constexpr int kPairDirectionSlot = 17;  // starting direction of the line of centres
constexpr int kPairVoteSlot = 20;       // 20, 21
constexpr int kPairTurnSlot = 49;       // line turn at the last recorded step

bool validRadii(double ri, double rj) {
  if (ri > 0.0 && rj > 0.0) return true;
  if (ri < 0.0 && rj > 0.0 && rj < -ri) return true;
  return rj < 0.0 && ri > 0.0 && ri < -rj;
}

struct PairLaw {
  double ri = 0.0, rj = 0.0, stiffness = 0.0, halfPlay = 0.0, damping = 0.0;
  double start = 0.0, direction = 0.0, reference = 0.0, a0 = 0.0;
};

// The two pitch circles of a pair, each with a spoke that turns with its gear, in
// the colours of their nodes.
void drawRollerPair(DisplayList& list, const ElementEntry& element, const double* q,
                    const PairLaw& law) {
  drawModelCircle(list, q[0], q[1], law.ri, q[2] + law.direction, 1.0, colourOfNode(element, 1));
  drawModelCircle(list, q[3], q[4], law.rj, q[5] + law.direction + kPi, 1.0,
                  colourOfNode(element, 2));
}

struct PairState {
  double travel = 0.0;  // e = s - s_0, m of pitch line
  double rate = 0.0;
  double force = 0.0;  // tooth force F, N (positive on the driving flank)
  int flank = 0;       // +1, -1 touching, 0 in the play
};

// Pitch-line travel s = r_i·(θ_i - Δψ) + r_j·(θ_j - Δψ) (m), Δψ the turn of the line
// of centres: rolling keeps s constant.
double pitchTravel(const PairLaw& law, const double* q) {
  const double turn = lineTurn(q, law.reference, law.direction);
  return law.ri * (q[2] - turn) + law.rj * (q[5] - turn);
}

//   e = s - s_0; F = k·(e - b/2) + c·ė (≥ 0) for e > b/2, k·(e + b/2) + c·ė (≤ 0)
//   for e < -b/2, 0 inside the play (c only for a flank that touched at the start
//   of the step); Q = -F·∂s/∂q
// The flank is settled where `decide` is set and kept otherwise.
PairState pairForces(const PairLaw& law, const double* q, const double* h, double* Q, bool decide,
                     int& flank) {
  PairState p;
  p.travel = pitchTravel(law, q) - law.start;
  const double historyTravel = pitchTravel(law, h) - law.start;
  p.rate = law.a0 * (p.travel - historyTravel);
  const double driving = law.stiffness * (p.travel - law.halfPlay) +
                         contactDamping(law.damping, historyTravel - law.halfPlay) * p.rate;
  const double reversed = law.stiffness * (p.travel + law.halfPlay) +
                          contactDamping(law.damping, -historyTravel - law.halfPlay) * p.rate;
  if (decide) {
    flank = 0;
    if (p.travel > law.halfPlay && driving > 0.0) flank = 1;
    if (p.travel < -law.halfPlay && reversed < 0.0) flank = -1;
  }
  p.flank = flank;
  p.force = flank > 0 ? driving : (flank < 0 ? reversed : 0.0);
  const double dx = q[3] - q[0];
  const double dy = q[4] - q[1];
  const double d2 = dx * dx + dy * dy;
  // ∂s/∂(x_j, y_j) = -(r_i + r_j)·∂ψ/∂(x_j, y_j) = -(r_i + r_j)·(-dy, dx)/d².
  double sx = 0.0, sy = 0.0;
  if (d2 >= kShortestCentreDistance * kShortestCentreDistance) {
    sx = (law.ri + law.rj) * dy / d2;
    sy = -(law.ri + law.rj) * dx / d2;
  }
  Q[0] = p.force * sx;
  Q[1] = p.force * sy;
  Q[2] = -p.force * law.ri;
  Q[3] = -p.force * sx;
  Q[4] = -p.force * sy;
  Q[5] = -p.force * law.rj;
  return p;
}

// ---------------------------------------------------------------- belt (14)

// P1 r_i, P2 r_j (pulley radii, m), P3 span stiffness k (N per m of stretch), P4
// pretension T0 (N), P5 > 0 elastic belt of two spans, P6 span damping c (N·s/m).
constexpr char kBadBelt[] = "データが？--pu \n\n %s";
constexpr char kBadBeltGeometry[] = "軸間距離、又は ｒ が？ \n\n %s";
constexpr int kBeltStartSlot = 15;      // e at the start of the run
constexpr int kBeltDirectionSlot = 17;  // starting direction of the line of centres
constexpr int kBeltDistanceSlot = 18;   // starting centre distance
constexpr int kBeltVoteSlot = 11;
constexpr int kBeltTurnSlot = 49;
constexpr int kBeltColour = 5;

struct BeltGeometry {
  double ri = 0.0, rj = 0.0;
  double side = 1.0;  // +1 the span on the left of i -> j, -1 the other, 0 inextensible
  double direction = 0.0, reference = 0.0, distance0 = 0.0, cosine = 1.0, start = 0.0;
};

// Stretch of a span (m): the pitch-line travel the pulleys pay in or out, plus the
// change of the centre distance along the span (the spans make the angle β with
// the line of centres, sin β = (r_j - r_i)/d_0):
//   e = side·(r_i·(θ_i - Δψ) - r_j·(θ_j - Δψ)) + (d - d_0)·cos β - e_0;
// the inextensible belt ties only the rotations: e = r_i·(θ_i - Δψ) - r_j·(θ_j - Δψ) - e_0.
double spanStretch(const BeltGeometry& g, const double* q) {
  const double turn = lineTurn(q, g.reference, g.direction);
  const double travel = g.ri * (q[2] - turn) - g.rj * (q[5] - turn);
  if (g.side == 0.0) return travel - g.start;
  const double d = std::hypot(q[3] - q[0], q[4] - q[1]);
  return g.side * travel + (d - g.distance0) * g.cosine - g.start;
}

// ∂e/∂q, analytic: ∂Δψ/∂(x_j, y_j) = (-dy, dx)/d², ∂d/∂(x_j, y_j) = (dx, dy)/d.
void spanGradient(const BeltGeometry& g, const double* q, double* grad) {
  const double dx = q[3] - q[0], dy = q[4] - q[1];
  const double d2 = dx * dx + dy * dy;
  const double side = g.side == 0.0 ? 1.0 : g.side;
  double gx = 0.0, gy = 0.0;
  if (d2 >= kShortestCentreDistance * kShortestCentreDistance) {
    const double d = std::sqrt(d2);
    // -side·(r_i - r_j)·∂Δψ, plus the distance term of an elastic span.
    gx = -side * (g.ri - g.rj) * (-dy / d2);
    gy = -side * (g.ri - g.rj) * (dx / d2);
    if (g.side != 0.0) gx += g.cosine * dx / d, gy += g.cosine * dy / d;
  }
  grad[0] = -gx, grad[1] = -gy, grad[2] = side * g.ri;
  grad[3] = gx, grad[4] = gy, grad[5] = -side * g.rj;
}

// A pulley outline and the two straight spans along the common outer tangents.
void drawBelt(DisplayList& list, const double* q, double ri, double rj, double direction,
              int colour) {
  drawModelCircle(list, q[0], q[1], ri, q[2] + direction, 1.0, colour);
  drawModelCircle(list, q[3], q[4], rj, q[5] + direction, 1.0, colour);
  const double dx = q[3] - q[0], dy = q[4] - q[1];
  const double d = std::hypot(dx, dy);
  if (d < kShortestCentreDistance || std::fabs(rj - ri) >= d) return;
  const double psi = vectorAngle(dx, dy);
  const double beta = std::asin((rj - ri) / d);
  for (double side : {1.0, -1.0}) {
    const double a = psi + side * (0.5 * kPi + beta);
    recordShape3(list, q[0] + ri * std::cos(a), q[1] + ri * std::sin(a), q[3] + rj * std::cos(a),
                 q[4] + rj * std::sin(a), colour, kSolid);
  }
}

// ---------------------------------------------------------------- friction drive (62)

// P1 r_i, P2 r_j (contact radii, m: of a cone, the radius at the middle of the face),
// P3 face width b (m), P4 pressing force N (N), P5 friction coefficient μ, P6 the
// slip speed below which the rollers stick (m/s, 0: 1 mm/s).
constexpr char kNoFaceWidth[] = "面巾が？ \n\n %s";
constexpr char kPinnedRoller[] = "円錐や円筒で一節がピン接？ \n\n %s";
constexpr int kDriveStateSlot = 13;  // integer: 0 sticking, ±1 sliding
constexpr int kDriveVoteSlot = 11;
constexpr int kDriveDirectionSlot = 17;
constexpr int kDriveTurnSlot = 49;
constexpr int kRollerPinMark = -1;
constexpr double kDefaultStickSpeed = 1e-3;  // m/s

// ---------------------------------------------------------------- gear element (12)

// P1 the pitch radius r of the first gear; the second gear's is what the starting
// centre distance leaves, d_0 - r: a pair of external gears without play or
// pressure angle, written by one radius.
constexpr char kNoRadius[] = "ｒが？ \n\n %s";
constexpr char kNoCentreDistanceOrRadius[] = "中心距離、又はｒが？ \n\n %s";
constexpr int kElementStartSlot = 15;
constexpr int kElementDirectionSlot = 17;
constexpr int kElementDistanceSlot = 18;
constexpr int kElementVoteSlot = 11;
constexpr int kElementTurnSlot = 49;

// ∂s/∂q of the pitch-line travel s = r_i·(θ_i - Δψ) + r_j·(θ_j - Δψ).
void travelGradient(const PairLaw& law, const double* q, double* grad) {
  const double dx = q[3] - q[0], dy = q[4] - q[1];
  const double d2 = dx * dx + dy * dy;
  double gx = 0.0, gy = 0.0;
  if (d2 >= kShortestCentreDistance * kShortestCentreDistance) {
    gx = (law.ri + law.rj) * dy / d2;
    gy = -(law.ri + law.rj) * dx / d2;
  }
  grad[0] = -gx, grad[1] = -gy, grad[2] = law.ri;
  grad[3] = gx, grad[4] = gy, grad[5] = law.rj;
}

}  // namespace

// Gear centres i, j, pitch radii r and d_0 - r, the tooth force λ (own, N):
//   F[λ] = s - s_0 (set, m), F[q] -= λ·∂s/∂q
// so that ω_j = -ω_i·r/(d_0 - r) and M_j/M_i = (d_0 - r)/r.
int evaluateGearElement(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);
  const int own = unknownSlot(run, *element, 7);
  const double dx = run.X[n.xj] - run.X[n.xi];
  const double dy = run.X[n.yj] - run.X[n.yi];
  if (run.initialPass != 0) p[kElementDistanceSlot] = std::hypot(dx, dy);
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (!(p[1] > 0.0)) return context.reporter.modelError(kNoRadius, quotedLine(*element));
    if (!(p[kElementDistanceSlot] > p[1])) {
      return context.reporter.modelError(kNoCentreDistanceOrRadius, quotedLine(*element));
    }
  }
  if (!(p[1] > 0.0) || !(p[kElementDistanceSlot] > p[1])) return 0;
  const int indices[6] = {n.xi, n.yi, n.ti, n.xj, n.yj, n.tj};
  const LawCoordinates c = lawCoordinates(run, indices, 6);
  PairLaw law;
  law.ri = p[1];
  law.rj = p[kElementDistanceSlot] - p[1];
  if (run.initialPass != 0) {
    p[kElementDirectionSlot] = vectorAngle(dx, dy);
    p[kElementTurnSlot] = 0.0;
    law.direction = p[kElementDirectionSlot];
    p[kElementStartSlot] = pitchTravel(law, c.at);
  }
  law.direction = p[kElementDirectionSlot];
  law.reference = p[kElementTurnSlot];
  const double force = run.X[own];
  double grad[6];
  stampMultiplierForces(
      run, c, own, [&](const double* q, double* at) { travelGradient(law, q, at); }, grad);
  run.jacobian(own, own) = 0.0;
  run.F[own] = pitchTravel(law, c.at) - p[kElementStartSlot];
  for (int k = 0; k < 6; ++k) run.jacobian(own, indices[k]) += grad[k];
  for (int index : indices) addCoordinateDamping(context, index);
  voteOwnUnknown(run, mechanicalTolerances(context.model), own, p[kElementVoteSlot]);

  if (recording(run)) {
    p[kElementTurnSlot] = lineTurn(c.at, law.reference, law.direction);
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 1] = force;
      store[id + 2] = law.rj;
      store[id + 3] = -force * law.ri;
      store[id + 4] = -force * law.rj;
      store[id + 8] = -force * (law.ri * rateOf(run, n.ti) + law.rj * rateOf(run, n.tj));
      store[id + 9] = toDegrees(rateOf(run, n.ti));
      store[id + 10] = toDegrees(rateOf(run, n.tj));
    }
  }
  if (displaying(run)) {
    DisplayList& list = run.display;
    list.currentTag = kElementOutlineTag;
    drawRollerPair(list, *element, c.at, law);
  }
  return 0;
}

// Rollers on nodes i, j with contact radii r_i, r_j, the traction λ (own, N) along the
// common tangent; s the pitch-line travel of the gear pair, v_s = ds/dt the slip:
//   F[λ] = λ - μ·N·v_s/v_st sticking, λ ∓ μ·N sliding (set), F[q] -= λ·∂s/∂q,
// so that ω_j = -ω_i·r_i/r_j while |λ| < μ·N. The state sticks or slides for a whole
// step; the recording pass sets the next one from the accepted slip.
int evaluateFrictionDrive(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);
  const int own = unknownSlot(run, *element, 7);
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (element->terminalMark[1] == kRollerPinMark || element->terminalMark[2] == kRollerPinMark) {
      return context.reporter.modelError(kPinnedRoller, quotedLine(*element));
    }
    if (!(p[3] > 0.0)) return context.reporter.modelError(kNoFaceWidth, quotedLine(*element));
    if (!validRadii(p[1], p[2]) || !(p[4] >= 0.0) || !(p[5] >= 0.0) || !(p[6] >= 0.0)) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
  }
  if (!validRadii(p[1], p[2])) return 0;
  const int indices[6] = {n.xi, n.yi, n.ti, n.xj, n.yj, n.tj};
  const LawCoordinates c = lawCoordinates(run, indices, 6);
  PairLaw law;
  law.ri = p[1];
  law.rj = p[2];
  int& state = element->variableSlots[kDriveStateSlot];
  if (run.initialPass != 0) {
    const double dx = c.at[3] - c.at[0];
    const double dy = c.at[4] - c.at[1];
    p[kDriveDirectionSlot] =
        std::hypot(dx, dy) >= kShortestCentreDistance ? vectorAngle(dx, dy) : 0.0;
    p[kDriveTurnSlot] = 0.0;
    state = kSticking;
  }
  law.direction = p[kDriveDirectionSlot];
  law.reference = p[kDriveTurnSlot];
  const double a0 = run.a0();
  const double normal = std::max(0.0, p[4]);
  const double mu = std::max(0.0, p[5]);
  const double stickSpeed = p[6] > 0.0 ? p[6] : kDefaultStickSpeed;
  const double traction = run.X[own];

  // ∂s/∂q at q, from the pair's travel: the rotations exactly, the centres through
  // the line of centres.
  const auto gradient = [&](const double* q, double* grad) {
    double Q[6];
    PairLaw unit = law;
    unit.stiffness = 1.0;
    unit.halfPlay = 0.0;
    unit.damping = 0.0;
    int flank = 1;
    // F = 1 on the driving flank makes Q = -∂s/∂q.
    unit.start = pitchTravel(unit, q) - 2.0;
    const double history[6] = {q[0], q[1], q[2], q[3], q[4], q[5]};
    pairForces(unit, q, history, Q, false, flank);
    for (int k = 0; k < 6; ++k) grad[k] = -Q[k] / 2.0;
  };
  double grad[6];
  stampMultiplierForces(run, c, own, gradient, grad);
  const double slip = a0 * (pitchTravel(law, c.at) - pitchTravel(law, c.history));
  run.jacobian(own, own) = 1.0;
  const double lawForce = -frictionForce(state, mu, normal, slip, stickSpeed);
  run.F[own] = traction - lawForce;
  if (state == kSticking) {
    for (int k = 0; k < 6; ++k)
      run.jacobian(own, indices[k]) -= mu * normal / stickSpeed * a0 * grad[k];
  }
  for (int index : indices) addCoordinateDamping(context, index);
  voteOwnUnknown(run, mechanicalTolerances(context.model), own, p[kDriveVoteSlot]);

  if (recording(run)) {
    p[kDriveTurnSlot] = lineTurn(c.at, law.reference, law.direction);
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 1] = traction;
      store[id + 2] = slip;
      store[id + 3] = normal;
      store[id + 4] = state;
      store[id + 5] = normal / p[3];  // line load, N/m
      store[id + 6] = -traction * grad[2];
      store[id + 7] = -traction * grad[5];
      store[id + 8] = -traction * slip;  // power lost in slip, ≤ 0
      store[id + 9] = toDegrees(rateOf(run, n.ti));
      store[id + 10] = toDegrees(rateOf(run, n.tj));
    }
    // The slip of the solved step decides the next step's state.
    if (recordsSolvedStep(run)) state = nextFrictionState(state, slip, stickSpeed);
  }
  if (displaying(run)) {
    DisplayList& list = run.display;
    list.currentTag = kElementOutlineTag;
    drawRollerPair(list, *element, c.at, law);
  }
  return 0;
}

// Pulleys on nodes i, j; an inextensible belt with the transmitted force λ (own):
//   F[λ] = e (set), F[q] -= λ·∂e/∂q   (so that r_i·ω_i = r_j·ω_j)
// an elastic span with its tension T (own):
//   F[T] = T - max(0, T0 + k·e + c·ė) (set; c once taut at the step's start),
//   F[q] -= T·∂e/∂q
// and the head of an elastic belt with the shaft load S (own): F[S] = S - T_1 - T_2.
// Jacobians: ∂(∂e/∂q)/∂q and ∂T/∂q by central differences of ±1e-8.
int evaluateBelt(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);
  const int own = unknownSlot(run, *element, 7);
  const bool elastic = p[5] >= 1.0;
  const int head = element->groupFirst > 0 ? element->groupFirst : row;
  const int part = elastic ? row - head : 0;  // 0 head, 1 and 2 the spans
  const double dx = run.X[n.xj] - run.X[n.xi];
  const double dy = run.X[n.yj] - run.X[n.yi];
  const double distance = std::hypot(dx, dy);
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (elastic && (!(p[3] > 0.0) || !(p[4] >= 0.0) || !(p[6] >= 0.0))) {
      return context.reporter.modelError(kBadBelt, quotedLine(*element));
    }
    if (!(p[1] > 0.0) || !(p[2] > 0.0) || !(distance > std::fabs(p[2] - p[1]))) {
      return context.reporter.modelError(kBadBeltGeometry, quotedLine(*element));
    }
  }
  if (!(p[1] > 0.0) || !(p[2] > 0.0)) return 0;
  const int indices[6] = {n.xi, n.yi, n.ti, n.xj, n.yj, n.tj};
  const LawCoordinates c = lawCoordinates(run, indices, 6);
  BeltGeometry g;
  g.ri = p[1];
  g.rj = p[2];
  g.side = !elastic ? 0.0 : (part == 1 ? 1.0 : -1.0);
  if (run.initialPass != 0) {
    p[kBeltDirectionSlot] = distance >= kShortestCentreDistance ? vectorAngle(dx, dy) : 0.0;
    p[kBeltDistanceSlot] = distance;
    p[kBeltTurnSlot] = 0.0;
    p[kBeltStartSlot] = 0.0;
  }
  g.direction = p[kBeltDirectionSlot];
  g.reference = p[kBeltTurnSlot];
  g.distance0 = p[kBeltDistanceSlot];
  const double sine = g.distance0 > 0.0 ? std::clamp((g.rj - g.ri) / g.distance0, -1.0, 1.0) : 0.0;
  g.cosine = std::sqrt(1.0 - sine * sine);
  if (run.initialPass != 0 && part != 0) p[kBeltStartSlot] = spanStretch(g, c.at);
  if (run.initialPass != 0 && !elastic) p[kBeltStartSlot] = spanStretch(g, c.at);
  g.start = p[kBeltStartSlot];
  if (run.recordingFlag < 0) return 0;  // the preparation pass: no state to carry

  const Tolerances tolerances = mechanicalTolerances(context.model);
  ParameterStore& store = context.model.parameters;
  const int id = element->returnBlockId;
  if (elastic && part == 0) {
    // The head: shaft load S = T_1 + T_2 from the spans' own unknowns.
    int spans[2] = {0, 0};
    for (int k = 1; k <= 2; ++k) {
      const int other = head + k;
      if (other < kElementCapacity && other <= element->groupLast) {
        spans[k - 1] = unknownSlot(run, context.model.elements[other], 7);
      }
    }
    for (int column : {own, spans[0], spans[1]}) run.jacobian(own, column) = 0.0;
    run.F[own] = run.X[own] - run.X[spans[0]] - run.X[spans[1]];
    run.jacobian(own, own) += 1.0;
    run.jacobian(own, spans[0]) -= 1.0;
    run.jacobian(own, spans[1]) -= 1.0;
    voteOwnUnknown(run, tolerances, own, p[kBeltVoteSlot]);
    if (recording(run)) {
      p[kBeltTurnSlot] = lineTurn(c.at, g.reference, g.direction);
      if (ownsReturnRecord(*element)) {
        store[id + 1] = run.X[spans[0]];
        store[id + 2] = run.X[spans[1]];
        store[id + 3] = run.X[own];
        store[id + 4] = run.X[spans[0]] - run.X[spans[1]];
        store[id + 9] = toDegrees(rateOf(run, n.ti));
        store[id + 10] = toDegrees(rateOf(run, n.tj));
      }
    }
    if (displaying(run)) {
      run.display.currentTag = kElementOutlineTag;
      drawBelt(run.display, c.at, g.ri, g.rj, g.direction, kBeltColour);
    }
    return 0;
  }

  // A span or the inextensible belt: its force λ is the own unknown.
  const double force = run.X[own];
  const double a0 = run.a0();
  const double stiffness = p[3], pretension = p[4], damping = std::max(0.0, p[6]);
  bool taut = true;
  double tension = 0.0, stretch = 0.0;
  // Generalized forces -λ·∂e/∂q and the tension law, differenced together.
  double grad[6];
  stampMultiplierForces(
      run, c, own, [&](const double* q, double* at) { spanGradient(g, q, at); }, grad,
      [&](const double* q) { stretch = spanStretch(g, q); });
  run.jacobian(own, own) = 0.0;
  if (!elastic) {
    run.F[own] = stretch;
    for (int k = 0; k < 6; ++k) run.jacobian(own, indices[k]) += grad[k];
  } else {
    const double historyStretch = spanStretch(g, c.history);
    const double historyTension = pretension + stiffness * historyStretch;
    const double rate = a0 * (stretch - historyStretch);
    const double spanDamping = historyTension > 0.0 ? damping : 0.0;
    const double law = pretension + stiffness * stretch + spanDamping * rate;
    taut = law > 0.0;
    tension = taut ? law : 0.0;
    run.F[own] = force - tension;
    run.jacobian(own, own) += 1.0;
    if (taut) {
      for (int k = 0; k < 6; ++k)
        run.jacobian(own, indices[k]) -= (stiffness + spanDamping * a0) * grad[k];
    }
  }
  for (int index : indices) addCoordinateDamping(context, index);
  voteOwnUnknown(run, tolerances, own, p[kBeltVoteSlot]);

  if (recording(run)) {
    p[kBeltTurnSlot] = lineTurn(c.at, g.reference, g.direction);
    if (ownsReturnRecord(*element)) {
      store[id + 1] = force;
      store[id + 2] = stretch;
      store[id + 3] = -force * grad[2];  // moment on pulley i
      store[id + 4] = -force * grad[5];  // moment on pulley j
      store[id + 5] = elastic ? (taut ? 1.0 : 0.0) : 1.0;
      store[id + 9] = toDegrees(rateOf(run, n.ti));
      store[id + 10] = toDegrees(rateOf(run, n.tj));
    }
  }
  if (displaying(run) && !elastic) {
    run.display.currentTag = kElementOutlineTag;
    drawBelt(run.display, c.at, g.ri, g.rj, g.direction, kBeltColour);
  }
  return 0;
}

// Gear centres i, j with rotations θ_i, θ_j; s the pitch-line travel above:
//   F[θ_i] -= F·r_i, F[θ_j] -= F·r_j, F[x_j, y_j] -= F·∂s/∂(x_j, y_j), F[x_i, y_i] the opposite
// so that ω_j/ω_i = -r_i/r_j while the teeth touch and M_j/M_i = r_j/r_i.
// Jacobian by central differences of ±1e-8 on the six coordinates.
int evaluateGearPair(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);
  const int state = stateIndexOf(run, *element);
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (!validRadii(p[1], p[2])) {
      return context.reporter.modelError(kBadRadii, p[1], p[2], quotedLine(*element));
    }
    if (!(p[3] > 0.0) || !(p[4] >= 0.0) || !(p[5] >= 0.0)) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
  }
  if (!validRadii(p[1], p[2]) || !(p[3] > 0.0)) return 0;
  if (run.recordingFlag >= 0) {
    limitStepRotation(run, n.ti);
    limitStepRotation(run, n.tj);
  }
  const int indices[6] = {n.xi, n.yi, n.ti, n.xj, n.yj, n.tj};
  const LawCoordinates c = lawCoordinates(run, indices, 6);
  PairLaw law;
  law.ri = p[1];
  law.rj = p[2];
  law.stiffness = p[3];
  law.halfPlay = 0.5 * std::max(0.0, p[4]);
  law.damping = std::max(0.0, p[5]);
  law.a0 = run.a0();
  if (run.initialPass != 0) {
    const double dx = c.at[3] - c.at[0];
    const double dy = c.at[4] - c.at[1];
    p[kPairDirectionSlot] =
        std::hypot(dx, dy) >= kShortestCentreDistance ? vectorAngle(dx, dy) : 0.0;
    p[kPairTurnSlot] = 0.0;
    law.direction = p[kPairDirectionSlot];
    p[kPairStartSlot] = pitchTravel(law, c.at);
  }
  law.start = p[kPairStartSlot];
  law.direction = p[kPairDirectionSlot];
  law.reference = p[kPairTurnSlot];

  if (run.recordingFlag < 0) {  // preparation pass: only the travel into the state slot
    if (state > 0) run.X[state] = pitchTravel(law, c.at) - law.start;
    return 0;
  }
  PairState s;
  int flank = 0;
  stampForceLaw(run, c, [&](const double* q, const double* h, double* Q, bool decide) {
    const PairState state = pairForces(law, q, h, Q, decide, flank);
    if (decide) s = state;
  });
  if (state > 0) run.X[state] = s.travel;
  for (int index : indices) addCoordinateDamping(context, index);
  const Tolerances tolerances = mechanicalTolerances(context.model);
  voteChange(run, tolerances, c.at[2], p[kPairVoteSlot]);
  voteChange(run, tolerances, c.at[5], p[kPairVoteSlot + 1]);

  const double momentI = -s.force * law.ri;
  const double momentJ = -s.force * law.rj;
  if (recording(run)) {
    p[kPairTurnSlot] = lineTurn(c.at, law.reference, law.direction);
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 1] = s.force;
      store[id + 2] = s.travel;
      store[id + 3] = momentI;
      store[id + 4] = momentJ;
      store[id + 5] = s.flank;
      store[id + 6] = toDegrees(c.at[2]);
      store[id + 7] = toDegrees(c.at[5]);
      store[id + 8] = momentI * rateOf(run, n.ti) + momentJ * rateOf(run, n.tj);
      store[id + 9] = toDegrees(rateOf(run, n.ti));
      store[id + 10] = toDegrees(rateOf(run, n.tj));
    }
  }
  if (displaying(run)) {
    DisplayList& list = run.display;
    list.currentTag = kElementOutlineTag;
    drawRollerPair(list, *element, c.at, law);
  }
  return 0;
}

}  // namespace movra

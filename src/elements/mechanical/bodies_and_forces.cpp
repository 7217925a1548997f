// The body (mass, inertia, gravity and damping on one node, with its own velocity
// unknowns), the spring and damper between two points, and the force and moment
// carried by a link. A coordinate's row sums the forces (N) or moments (N·m)
// acting on its node in the coordinate's positive direction; gravity acts along +y.
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kNegativeBodyData[] = "データが負 ？ \n\n %s";
constexpr char kEmptyBodyData[] = "全データが空？ \n\n %s";
constexpr char kBadData[] = "データが？ \n\n %s";

// Real slots of the remembered relative displacements (or of x, y, θ for the body).
constexpr int kVoteMemory = 11;
// Body fields 6 to 8: the starting velocity v_x, v_y (m/s) and ω (deg/s).
constexpr int kStartVx = 6;
constexpr int kStartVy = 7;
constexpr int kStartOmega = 8;
// Gravity points along the fixed angle 0 of the y row: m·g·sin 0 on x, m·g·cos 0 on y.
constexpr double kGravityAngle = 0.0;

constexpr int kBodyColour = 10;
constexpr int kCarrierColour = 22;
constexpr int kDashDot = 3;
constexpr int kSolid = 0;
constexpr double kBodyRadius = 8.0;  // pixels

// Angle in degrees wrapped to [-180, 180) and to [0, 360).
double wrapSigned(double degrees) {
  double wrapped = std::fmod(degrees + 180.0, 360.0);
  if (wrapped < 0.0) wrapped += 360.0;
  return wrapped - 180.0;
}
double wrapPositive(double degrees) {
  double wrapped = std::fmod(degrees, 360.0);
  if (wrapped < 0.0) wrapped += 360.0;
  return wrapped;
}

// ---------------------------------------------------------------- body (11)

bool bodyDataNegative(const double* p) {
  return p[1] < 0.0 || p[2] < 0.0 || p[4] < 0.0 || p[5] < 0.0;
}

bool bodyDataEmpty(const ElementEntry& element) {
  for (int k = 1; k <= 5; ++k) {
    if (element.empty[k] != 1) return false;
  }
  return true;
}

int validateBody(EvaluationContext& context, ElementEntry& element) {
  const Run& run = context.run;
  const double* p = element.realSlots;
  if (isFirstIteration(run) && bodyDataNegative(p)) {
    return context.reporter.modelError(kNegativeBodyData, quotedLine(element));
  }
  if (run.initialPass != 0) {
    if (bodyDataEmpty(element)) {
      return context.reporter.modelError(kEmptyBodyData, quotedLine(element));
    }
    if (bodyDataNegative(p)) {
      return context.reporter.modelError(kNegativeBodyData, quotedLine(element));
    }
  }
  return 0;
}

// Forces of inertia, gravity and damping on the body's node and their moment.
struct BodyLoads {
  double forceX = 0.0;
  double forceY = 0.0;
  double inertiaMoment = 0.0;
  double dampingMoment = 0.0;
};

void recordBody(ParameterStore& store, int id, const Run& run, const int (&q)[3], const int (&v)[3],
                const BodyLoads& loads) {
  const double vx = run.X[v[0]];
  const double vy = run.X[v[1]];
  const double omega = run.X[v[2]];
  const double moment = loads.inertiaMoment + loads.dampingMoment;
  store[id + 1] = loads.forceX;
  store[id + 2] = loads.forceY;
  store[id + 3] = std::hypot(loads.forceX, loads.forceY);
  store[id + 4] = toDegrees(vectorAngle(loads.forceX, loads.forceY));
  store[id + 5] = loads.inertiaMoment;
  store[id + 6] = loads.dampingMoment;
  store[id + 7] = omega;
  store[id + 8] = loads.forceX * vx + loads.forceY * vy + moment * omega;
  store[id + 21] = vx;
  store[id + 22] = vy;
  store[id + 23] = std::hypot(vx, vy);
  store[id + 24] = toDegrees(vectorAngle(vx, vy));
  store[id + 25] = run.X[q[0]];
  store[id + 26] = run.X[q[1]];
  store[id + 27] = toDegrees(run.X[q[2]]);
}

void drawBody(EvaluationContext& context, const int (&q)[3], const BodyLoads& loads, bool forces) {
  const Run& run = context.run;
  DisplayList& list = context.run.display;
  const double x = run.X[q[0]];
  const double y = run.X[q[1]];
  const double angle = run.X[q[2]];
  list.currentTag = kElementOutlineTag;
  recordShape8(list, x, y, kBodyRadius, kBodyColour, kSolid);
  // A radius along the body's rotation shows how it turns.
  recordShape21(list, x, y, kBodyRadius * std::cos(angle), kBodyRadius * std::sin(angle),
                kBodyColour, kSolid, 0);
  if (!forces) return;
  drawForceArrow(context, x, y, loads.forceX, loads.forceY);
  drawMomentArc(context, x, y, loads.inertiaMoment + loads.dampingMoment);
}

// ---------------------------------------------------------------- spring and damper (5)

void drawPointSpring(EvaluationContext& context, const int (&points)[4],
                     const PointSpringState& spring, bool forces) {
  const Run& run = context.run;
  const double xi = run.X[points[0]];
  const double yi = run.X[points[1]];
  const double xj = run.X[points[2]];
  const double yj = run.X[points[3]];
  drawSpringOutline(context, xi, yi, xj, yj);
  if (!forces) return;
  drawForceArrow(context, xj, yj, spring.forceX, spring.forceY);
  drawForceArrow(context, xi, yi, -spring.forceX, -spring.forceY);
}

}  // namespace

// Body on node (x, y, θ) with own velocities (v_x, v_y, ω); P1 m, P2 J, P3 g,
// P4 c, P5 c_r. From step 1 on (N, N·m; own rows in m/s, rad/s):
//   F[x] += -m·a0·(v_x - H[v_x]) - m·g·sin 0 - c·v_x,  J[x][v_x] += -m·a0 - c
//   F[y] += m·g·cos 0 - m·a0·(v_y - H[v_y]) - c·v_y,  J[y][v_y] += -m·a0 - c
//   F[θ] += -J·a0·(ω - H[ω]) - c_r·ω,  J[θ][ω] += -J·a0 - c_r
//   F[v] = v - a0·(q - H[q]);  J[v][v] = 1, J[v][q] = -a0
// Step 0: F[v] = v - v0, J[v][v] = 1, and -a0·(q - H[q]) on each q instead of
// inertia; v0 = (P6, P7 in m/s, P8 in deg/s) is the starting velocity, which the
// first step then takes as its history. Damping at step 0 acts on v - v0 only, so
// that a starting velocity does not move the starting solution.
// Every q: -c_d·a0·(q - H[q]) - c_d·v_q;  J[q][q] -= c_d·a0, J[q][v_q] -= c_d.
int evaluateBody(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  if (const int invalid = validateBody(context, *element); invalid != 0) return invalid;
  const double mass = element->realSlots[1];
  const double inertia = element->realSlots[2];
  const double gravity = element->realSlots[3];
  const double damping = element->realSlots[4];
  const double rotaryDamping = element->realSlots[5];
  const double start[3] = {element->realSlots[kStartVx], element->realSlots[kStartVy],
                           element->realSlots[kStartOmega] * kRadiansPerDegree};

  const int q[3] = {unknownSlot(run, *element, 1), unknownSlot(run, *element, 2),
                    unknownSlot(run, *element, 3)};
  const int v[3] = {unknownSlot(run, *element, 4), unknownSlot(run, *element, 5),
                    unknownSlot(run, *element, 6)};
  const double a0 = run.a0();
  const double artificial = context.model.parameters.get(kMechanicalDampingEntry);

  BodyLoads loads;
  const double rateX = a0 * (run.X[v[0]] - historyOf(run, v[0]));
  const double rateY = a0 * (run.X[v[1]] - historyOf(run, v[1]));
  const double rateOmega = a0 * (run.X[v[2]] - historyOf(run, v[2]));
  const double weightX = mass * gravity * std::sin(kGravityAngle);
  const double weightY = mass * gravity * std::cos(kGravityAngle);
  loads.forceX = -mass * rateX - weightX - damping * run.X[v[0]];
  loads.forceY = weightY - mass * rateY - damping * run.X[v[1]];
  loads.inertiaMoment = -inertia * rateOmega;
  loads.dampingMoment = -rotaryDamping * run.X[v[2]];

  // Velocity that damping sees: at step 0 the departure from the starting velocity.
  double moving[3] = {run.X[v[0]], run.X[v[1]], run.X[v[2]]};
  if (run.kt == 0) {
    // Starting step: velocities held at their starting values, a unit relaxation
    // instead of inertia.
    for (int k = 0; k < 3; ++k) moving[k] -= start[k];
    run.F[q[0]] += -weightX - damping * moving[0];
    run.F[q[1]] += weightY - damping * moving[1];
    run.F[q[2]] += -rotaryDamping * moving[2];
    run.jacobian(q[0], v[0]) -= damping;
    run.jacobian(q[1], v[1]) -= damping;
    run.jacobian(q[2], v[2]) -= rotaryDamping;
    for (int k = 0; k < 3; ++k) {
      run.F[q[k]] -= a0 * (run.X[q[k]] - historyOf(run, q[k]));
      run.jacobian(q[k], q[k]) -= a0;
      run.F[v[k]] = run.X[v[k]] - start[k];
      run.jacobian(v[k], v[k]) = 1.0;
    }
  } else {
    run.F[q[0]] += loads.forceX;
    run.F[q[1]] += loads.forceY;
    run.F[q[2]] += loads.inertiaMoment + loads.dampingMoment;
    run.jacobian(q[0], v[0]) += -mass * a0 - damping;
    run.jacobian(q[1], v[1]) += -mass * a0 - damping;
    run.jacobian(q[2], v[2]) += -inertia * a0 - rotaryDamping;
    for (int k = 0; k < 3; ++k) {
      run.F[v[k]] = run.X[v[k]] - a0 * (run.X[q[k]] - historyOf(run, q[k]));
      run.jacobian(v[k], v[k]) = 1.0;
      run.jacobian(v[k], q[k]) = -a0;
    }
  }
  for (int k = 0; k < 3; ++k) {
    addCoordinateDamping(context, q[k]);
    run.F[q[k]] -= artificial * moving[k];
    run.jacobian(q[k], v[k]) -= artificial;
  }

  const Tolerances tolerances = mechanicalTolerances(context.model);
  for (int k = 0; k < 3; ++k) {
    voteChange(run, tolerances, run.X[q[k]], element->realSlots[kVoteMemory + k]);
  }
  if (recording(run) && ownsReturnRecord(*element)) {
    recordBody(context.model.parameters, element->returnBlockId, run, q, v, loads);
  }
  if (displaying(run)) drawBody(context, q, loads, drawsForces(*element));
  return 0;
}

// Spring and damper between the points of two nodes (x_i, y_i, x_j, y_j in slots
// 1, 2, 4, 5); P1 k (N/m), P2 F0 (N), P3 c (N·s/m); L in the state slot:
//   T = F0 - k·L - c·a0·(L - H[L]),  φ = atan2(y_j - y_i, x_j - x_i + 1e-18)
//   F[x_j] += T·cos φ, F[y_j] += T·sin φ, F[x_i] -= T·cos φ, F[y_i] -= T·sin φ
//   J by central differences of ±1e-8 m on the second point (N/m).
int evaluateSpringDamper(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  if (isPointerSpring(context.model, *element)) return evaluatePointerSpring(context, row);
  Run& run = context.run;
  const double stiffness = element->realSlots[1];
  const double preload = element->realSlots[2];
  const double damping = element->realSlots[3];
  const int points[4] = {unknownSlot(run, *element, 1), unknownSlot(run, *element, 2),
                         unknownSlot(run, *element, 4), unknownSlot(run, *element, 5)};
  // Before an attempt: only the length, which the history of the step then carries.
  if (run.recordingFlag < 0) {
    storeSpringLength(run, *element, points);
    return 0;
  }
  if (isFirstIteration(run) && (stiffness < 0.0 || damping < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }

  const PointSpringState spring =
      stampPointSpring(context, *element, points, {preload, stiffness, damping});
  for (int point : points) addCoordinateDamping(context, point);

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
    store[id + 8] = toDegrees(spring.angle);
    store[id + 11] = run.X[points[2]] - run.X[points[0]];
    store[id + 12] = run.X[points[3]] - run.X[points[1]];
  }
  if (displaying(run)) drawPointSpring(context, points, spring, drawsForces(*element));
  return 0;
}

// Force (F_x, F_y) = (P1 + P4·cos P5°, P2 + P4·sin P5°) on the second node, its
// opposite on the first, moment P3 = M on the second (N, N·m):
//   F[θ_i] += (y_j - y_i)·F_x - (x_j - x_i)·F_y - M,  F[θ_j] += M
//   J[θ_i][y_j] = F_x, J[θ_i][y_i] = -F_x, J[θ_i][x_j] = -F_y, J[θ_i][x_i] = F_y (m·N/m).
int evaluateAppliedForce(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  const double direction = p[5] * kRadiansPerDegree;
  const double forceX = p[1] + p[4] * std::cos(direction);
  const double forceY = p[2] + p[4] * std::sin(direction);
  const double moment = p[3];
  const NodePair n = nodePairOf(run, *element);
  const double dx = run.X[n.xj] - run.X[n.xi];
  const double dy = run.X[n.yj] - run.X[n.yi];

  run.F[n.xj] += forceX;
  run.F[n.yj] += forceY;
  run.F[n.xi] -= forceX;
  run.F[n.yi] -= forceY;
  const double firstMoment = dy * forceX - dx * forceY - moment;
  run.F[n.ti] += firstMoment;
  run.jacobian(n.ti, n.yj) += forceX;
  run.jacobian(n.ti, n.yi) -= forceX;
  run.jacobian(n.ti, n.xj) -= forceY;
  run.jacobian(n.ti, n.xi) += forceY;
  run.F[n.tj] += moment;
  for (int coordinate : {n.xi, n.yi, n.ti, n.xj, n.yj, n.tj}) {
    addCoordinateDamping(context, coordinate);
  }

  const double twist = run.X[n.tj] - run.X[n.ti];
  const Tolerances tolerances = mechanicalTolerances(context.model);
  voteChange(run, tolerances, -dx, element->realSlots[kVoteMemory]);
  voteChange(run, tolerances, -dy, element->realSlots[kVoteMemory + 1]);
  voteChange(run, tolerances, -twist, element->realSlots[kVoteMemory + 2]);

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double power = forceX * (rateOf(run, n.xj) - rateOf(run, n.xi)) +
                         forceY * (rateOf(run, n.yj) - rateOf(run, n.yi)) +
                         firstMoment * rateOf(run, n.ti) + moment * rateOf(run, n.tj);
    const double twistDegrees = toDegrees(twist);
    const double chord = toDegrees(vectorAngle(dx, dy));
    store[id + 1] = forceX;
    store[id + 2] = forceY;
    store[id + 3] = std::hypot(forceX, forceY);
    store[id + 4] = toDegrees(vectorAngle(forceX, forceY));
    store[id + 5] = moment;
    store[id + 6] = firstMoment;
    store[id + 8] = power;
    store[id + 9] = wrapSigned(twistDegrees);
    store[id + 10] = wrapPositive(twistDegrees);
    store[id + 11] = dx;
    store[id + 12] = dy;
    store[id + 13] = std::hypot(dx, dy);
    store[id + 14] = chord;
    store[id + 15] = twistDegrees;
    store[id + 25] = toDegrees(rateOf(run, n.tj) - rateOf(run, n.ti));
    store[id + 29] += power * recordedStepLength(run);
    store[id + 30] = chord;
  }
  if (displaying(run)) {
    const double xi = run.X[n.xi];
    const double yi = run.X[n.yi];
    const double xj = run.X[n.xj];
    const double yj = run.X[n.yj];
    run.display.currentTag = kElementOutlineTag;
    recordShape3(run.display, xi, yi, xj, yj, kCarrierColour, kDashDot);
    if (drawsForces(*element)) {
      drawForceArrow(context, xj, yj, forceX, forceY);
      drawForceArrow(context, xi, yi, -forceX, -forceY);
      drawMomentArc(context, xj, yj, moment);
      drawMomentArc(context, xi, yi, firstMoment);
    }
  }
  return 0;
}

}  // namespace movra

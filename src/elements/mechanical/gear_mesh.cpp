// The gear mesh: two gears whose centres are two mechanical nodes roll on their
// pitch circles. A rolling constraint ties both rotations to the turning of the
// line of centres, and the tooth force, the element's own unknown, acts along the
// line of action tilted by the pressure angle. A negative pitch radius marks the
// internal (ring) gear of the pair.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/generalized_force.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kNoCentreDistance[] = "中心距離が？ \n\n %s";
constexpr char kBadData[] = "データが？ \n\n %s";

// Real slots: centre distance at the start of the run and at the first iteration of
// the present step, the starting direction of the line of centres, the remembered
// values of the vote and the unwrapping reference.
constexpr int kStartingDistanceSlot = 15;
constexpr int kStepDistanceSlot = 16;
constexpr int kStartingDirectionSlot = 17;
constexpr int kVoteMemory = 20;  // 20..23
constexpr int kReferenceAngleSlot = 49;

// A pressure angle of 0 stands for the standard 20°.
constexpr double kStandardPressureAngle = kPi * 0.1111111111111111;
// Centres closer than this have no line between them, m.
constexpr double kShortestCentreDistance = 1e-12;
// Step of the central differences of the geometry, m.
constexpr double kGeometryStep = 1e-6;

// A gear takes its colour from its node, so that a gear in two meshes is drawn
// alike by both.
constexpr int kGearColours[] = {14, 9, 27, 6, 2, 31};
// The turning mark reaches this far, in pitch radii.
constexpr double kMarkReach = 1.2;

enum class Arrangement { kExternal, kFirstInternal, kSecondInternal, kInvalid };

Arrangement arrangementOf(double ri, double rj) {
  if (ri > 0.0 && rj > 0.0) return Arrangement::kExternal;
  if (ri < 0.0 && rj > 0.0 && rj < -ri) return Arrangement::kFirstInternal;
  if (rj < 0.0 && ri > 0.0 && ri < -rj) return Arrangement::kSecondInternal;
  return Arrangement::kInvalid;  // zero, NaN, two rings, or a ring smaller than its pinion
}

// Direction γ of the line of action against the line of centres; the side of the
// pressure angle follows the sign of the tooth force.
double actionDirection(Arrangement arrangement, double pressureAngle, double toothForce) {
  const bool pushing = toothForce >= 0.0;
  switch (arrangement) {
    case Arrangement::kFirstInternal:
      return pushing ? 0.5 * kPi - pressureAngle : 0.5 * kPi + pressureAngle;
    case Arrangement::kSecondInternal:
      return pushing ? -0.5 * kPi + pressureAngle : -0.5 * kPi - pressureAngle;
    default:
      return pushing ? -0.5 * kPi - pressureAngle : -0.5 * kPi + pressureAngle;
  }
}

// The angle of (dx, dy) on the branch nearest the reference ρ.
double unwrappedAngle(double dx, double dy, double reference) {
  const double raw = dx == 0.0 && dy == 0.0 ? 0.0 : vectorAngle(dx, dy);
  const double turn = 2.0 * kPi;
  const double first = turn * std::floor(reference / turn) + raw;
  const double second = first + turn;
  return std::fabs(first - reference) <= std::fabs(second - reference) ? first : second;
}

struct Geometry {
  double c = 0.0;  // cos(ψ + γ)
  double s = 0.0;  // sin(ψ + γ)
  double psi = 0.0;
};

Geometry geometryAt(double dx, double dy, double reference, double gamma) {
  Geometry g;
  g.psi = unwrappedAngle(dx, dy, reference);
  g.c = std::cos(g.psi + gamma);
  g.s = std::sin(g.psi + gamma);
  return g;
}


int gearColour(const ElementEntry& element, int end) {
  const int node = element.terminalMark[end] != 0 ? element.node[end] / 10 : element.node[end];
  const int count = static_cast<int>(sizeof kGearColours / sizeof kGearColours[0]);
  return kGearColours[((node % count) + count) % count];
}

}  // namespace

// Centres i, j (m), rotations θ_i, θ_j (rad), tooth force λ (N); pitch radii r_i, r_j
// (one negative for a ring gear), pressure angle α; ψ the line of centres, ψ_0 its
// starting direction, d its length at the first iteration of the step:
//   F[x_i, y_i] += λ·(cos, sin)(ψ + γ), F[x_j, y_j] -= the same
//   F[λ] = (r_i·θ_i + r_j·θ_j)/(r_i + r_j) - (ψ - ψ_0)   (set, rad)
//   F[θ_i] -= λ·d·r_i/(r_i + r_j)·k, F[θ_j] -= λ·d·r_j/(r_i + r_j)·k   (N·m),
//   k = cos α, -cos α for an internal first gear
// ∂/∂(dx, dy) of (cos, sin)(ψ + γ) and of ψ by central differences of ±1e-6 m.
int evaluateGearMesh(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);
  const int force = unknownSlot(run, *element, 7);
  const double ri = p[1];
  const double rj = p[2];
  const double alpha = p[3] == 0.0 ? kStandardPressureAngle : p[3];
  const double dx = run.X[n.xj] - run.X[n.xi];
  const double dy = run.X[n.yj] - run.X[n.yi];
  const double distance = std::hypot(dx, dy);
  const Arrangement arrangement = arrangementOf(ri, rj);

  if (run.initialPass != 0 || isFirstIteration(run)) {
    if (!(distance >= kShortestCentreDistance)) {
      return context.reporter.modelError(kNoCentreDistance, quotedLine(*element));
    }
    if (arrangement == Arrangement::kInvalid || !(alpha > 0.0 && alpha < 0.5 * kPi)) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
    p[kStepDistanceSlot] = distance;
  }
  if (run.initialPass != 0) {
    p[kStartingDistanceSlot] = distance;
    p[kStartingDirectionSlot] = vectorAngle(dx, dy);
    p[kReferenceAngleSlot] = p[kStartingDirectionSlot];
  }
  // Checked data never get here invalid; a bad change within a step adds nothing.
  if (arrangement == Arrangement::kInvalid) return 0;

  const double toothForce = run.X[force];
  const double gamma = actionDirection(arrangement, alpha, toothForce);
  const double reference = p[kReferenceAngleSlot];
  const Geometry g = geometryAt(dx, dy, reference, gamma);

  run.F[n.xi] += toothForce * g.c;
  run.F[n.yi] += toothForce * g.s;
  run.F[n.xj] -= toothForce * g.c;
  run.F[n.yj] -= toothForce * g.s;
  run.jacobian(n.xi, force) += g.c;
  run.jacobian(n.yi, force) += g.s;
  run.jacobian(n.xj, force) -= g.c;
  run.jacobian(n.yj, force) -= g.s;

  const double sum = ri + rj;
  const double startingDirection = p[kStartingDirectionSlot];
  run.F[force] = (ri * run.X[n.ti] + rj * run.X[n.tj]) / sum - (g.psi - startingDirection);
  for (int column : {n.ti, n.tj, n.xi, n.yi, n.xj, n.yj}) run.jacobian(force, column) = 0.0;
  run.jacobian(force, n.ti) += ri / sum;
  run.jacobian(force, n.tj) += rj / sum;

  const double d = p[kStepDistanceSlot];
  const double k = arrangement == Arrangement::kFirstInternal ? -std::cos(alpha) : std::cos(alpha);
  const double armI = d * ri / sum;
  const double armJ = d * rj / sum;
  run.F[n.ti] -= toothForce * armI * k;
  run.jacobian(n.ti, force) -= armI * k;
  run.F[n.tj] -= toothForce * armJ * k;
  run.jacobian(n.tj, force) -= armJ * k;

  for (int component = 0; component < 2; ++component) {
    const double h = kGeometryStep;
    const Geometry up = geometryAt(dx + (component == 0 ? h : 0.0), dy + (component == 1 ? h : 0.0),
                                   reference, gamma);
    const Geometry down = geometryAt(dx - (component == 0 ? h : 0.0),
                                     dy - (component == 1 ? h : 0.0), reference, gamma);
    const double dc = toothForce * (up.c - down.c) / (2.0 * h);
    const double ds = toothForce * (up.s - down.s) / (2.0 * h);
    const double dpsi = (up.psi - down.psi) / (2.0 * h);
    const int first = component == 0 ? n.xi : n.yi;
    const int second = component == 0 ? n.xj : n.yj;
    run.jacobian(n.xi, second) += dc;
    run.jacobian(n.xi, first) -= dc;
    run.jacobian(n.yi, second) += ds;
    run.jacobian(n.yi, first) -= ds;
    run.jacobian(n.xj, second) -= dc;
    run.jacobian(n.xj, first) += dc;
    run.jacobian(n.yj, second) -= ds;
    run.jacobian(n.yj, first) += ds;
    run.jacobian(force, first) += dpsi;
    run.jacobian(force, second) -= dpsi;
  }

  addCoordinateDamping(context, n.ti);
  addCoordinateDamping(context, n.tj);
  const Tolerances tolerances = mechanicalTolerances(context.model);
  voteChange(run, tolerances, -dx, p[kVoteMemory]);
  voteChange(run, tolerances, -dy, p[kVoteMemory + 1]);
  voteChange(run, tolerances, run.X[n.ti], p[kVoteMemory + 2]);
  voteChange(run, tolerances, run.X[n.tj], p[kVoteMemory + 3]);

  const double momentI = -toothForce * armI * k;
  const double momentJ = -toothForce * armJ * k;
  if (recording(run)) {
    // The line of centres the step ended on is the next step's unwrapping reference.
    p[kReferenceAngleSlot] = g.psi;
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      const double forceX = toothForce * g.c;
      const double forceY = toothForce * g.s;
      store[id + 1] = forceX;
      store[id + 2] = forceY;
      store[id + 3] = std::hypot(forceX, forceY);
      store[id + 4] = toDegrees(vectorAngle(forceX, forceY));
      store[id + 5] = toothForce;
      store[id + 6] = momentI;
      store[id + 7] = momentJ;
      store[id + 8] = momentI * rateOf(run, n.ti) + momentJ * rateOf(run, n.tj);
      store[id + 9] = toDegrees(run.X[n.ti]);
      store[id + 10] = toDegrees(run.X[n.tj]);
      store[id + 11] = toDegrees(rateOf(run, n.ti));
      store[id + 12] = toDegrees(rateOf(run, n.tj));
      store[id + 13] = distance;
      store[id + 14] = toDegrees(g.psi);
    }
  }
  if (displaying(run)) {
    DisplayList& list = run.display;
    list.currentTag = kElementOutlineTag;
    drawModelCircle(list, run.X[n.xi], run.X[n.yi], ri, run.X[n.ti] + startingDirection,
                    kMarkReach, gearColour(*element, 1));
    drawModelCircle(list, run.X[n.xj], run.X[n.yj], rj, run.X[n.tj] + startingDirection + kPi,
                    kMarkReach, gearColour(*element, 2));
    if (drawsForces(*element)) {
      // The tooth force at the pitch point on the line of centres.
      const double share = ri / sum;
      const double px = run.X[n.xi] + share * dx;
      const double py = run.X[n.yi] + share * dy;
      drawForceArrow(context, px, py, -toothForce * g.c, -toothForce * g.s);
    }
  }
  return 0;
}

}  // namespace movra

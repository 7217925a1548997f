// The rigid link: the second node held at a fixed distance and direction in the
// first node's rotating frame and its rotation tied to the first, written with two
// constraint forces and a constraint moment as the element's own unknowns. The
// rotations it acts on may move by at most one radian within a step.
#include <cmath>
#include <initializer_list>

#include "elements/conventions.h"
#include "elements/mechanical/generalized_force.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

// Real slots: remembered relative displacements of the vote; the starting length
// L_0 and direction φ_0 that model setup measures.
constexpr int kVoteMemory = 11;
constexpr int kStartingLengthSlot = 51;
constexpr int kStartingDirectionSlot = 52;
// End kind (element mode) whose zero-length link holds the first rotation at 0.
constexpr int kHeldRotationEndKind = 3;
constexpr int kPinMark = -1;

constexpr int kLinkColour = 35;
constexpr int kSolid = 0;
constexpr double kPinRadius = 3.0;  // pixels

bool isPin(const ElementEntry& element, int end) {
  return element.terminalMark[end] == kPinMark;
}

struct RowEntry {
  int column;
  double value;
};

// An own row written outright: its entries are cleared and then added, so that two
// ends on one unknown (both on the ground, say) sum instead of overwriting.
void setOwnRow(Run& run, int row, std::initializer_list<RowEntry> entries) {
  for (const RowEntry& entry : entries) run.jacobian(row, entry.column) = 0.0;
  for (const RowEntry& entry : entries) run.jacobian(row, entry.column) += entry.value;
}

void drawLink(EvaluationContext& context, const ElementEntry& element, double xi, double yi,
              double xj, double yj) {
  DisplayList& list = context.run.display;
  list.currentTag = kElementOutlineTag;
  recordShape3(list, xi, yi, xj, yj, kLinkColour, kSolid);
  if (isPin(element, 1)) recordShape2(list, xi, yi, 0.0, 0.0, kPinRadius, kLinkColour, 0);
  if (isPin(element, 2)) recordShape2(list, xj, yj, 0.0, 0.0, kPinRadius, kLinkColour, 0);
}

}  // namespace

// With L = L_0 + P2, α = P1·π/180 (0 with a pin end), (l_x, l_y) = L·(cos, sin)(θ_i + φ_0):
//   F[λ_x] = x_i + l_x - x_j,  F[λ_y] = y_i + l_y - y_j,  F[λ_θ] = θ_i - θ_j + α   (m, rad)
//   J[λ_x][θ_i] = -l_y, J[λ_y][θ_i] = l_x, ±1 on the coordinates
//   F[q_j] += λ_q (N, N·m), F[x_i] -= λ_x, F[y_i] -= λ_y
//   F[θ_i] += l_y·λ_x - l_x·λ_y - λ_θ,  J[θ_i][θ_i] += l_x·λ_x + l_y·λ_y (N·m/rad)
int evaluateRigidLink(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  const int xi = unknownSlot(run, *element, 1);
  const int yi = unknownSlot(run, *element, 2);
  const int ti = unknownSlot(run, *element, 3);
  const int xj = unknownSlot(run, *element, 4);
  const int yj = unknownSlot(run, *element, 5);
  const int tj = unknownSlot(run, *element, 6);
  const int lambdaX = unknownSlot(run, *element, 7);
  const int lambdaY = unknownSlot(run, *element, 8);
  const int lambdaT = unknownSlot(run, *element, 9);
  limitStepRotation(run, ti);
  limitStepRotation(run, tj);

  const double length = p[kStartingLengthSlot] + p[2];
  const bool pinned = isPin(*element, 1) || isPin(*element, 2);
  const double offset = pinned ? 0.0 : p[1] * kRadiansPerDegree;
  const double direction = run.X[ti] + p[kStartingDirectionSlot];
  const double lx = length * std::cos(direction);
  const double ly = length * std::sin(direction);

  run.F[lambdaX] = run.X[xi] + lx - run.X[xj];
  setOwnRow(run, lambdaX, {{xi, 1.0}, {ti, -ly}, {xj, -1.0}});
  run.F[lambdaY] = run.X[yi] + ly - run.X[yj];
  setOwnRow(run, lambdaY, {{yi, 1.0}, {ti, lx}, {yj, -1.0}});
  run.F[lambdaT] = run.X[ti] - run.X[tj] + offset;
  setOwnRow(run, lambdaT, {{ti, 1.0}, {tj, -1.0}});

  const double forceX = run.X[lambdaX];
  const double forceY = run.X[lambdaY];
  const double moment = run.X[lambdaT];
  run.F[xj] += forceX;
  run.jacobian(xj, lambdaX) += 1.0;
  run.F[yj] += forceY;
  run.jacobian(yj, lambdaY) += 1.0;
  run.F[tj] += moment;
  run.jacobian(tj, lambdaT) += 1.0;
  run.F[xi] -= forceX;
  run.jacobian(xi, lambdaX) -= 1.0;
  run.F[yi] -= forceY;
  run.jacobian(yi, lambdaY) -= 1.0;

  double firstMoment = 0.0;
  if (element->mode == kHeldRotationEndKind && length == 0.0) {
    run.F[ti] = run.X[ti];
    run.jacobian(ti, ti) = 1.0;
  } else {
    firstMoment = ly * forceX - lx * forceY - moment;
    run.F[ti] += firstMoment;
    run.jacobian(ti, ti) += lx * forceX + ly * forceY;
    run.jacobian(ti, lambdaX) += ly;
    run.jacobian(ti, lambdaY) -= lx;
    run.jacobian(ti, lambdaT) -= 1.0;
  }
  addCoordinateDamping(context, ti);
  addCoordinateDamping(context, tj);

  for (const int own : {lambdaX, lambdaY, lambdaT}) {
    if (checkConstraintMet(context, *element, run.F[own]) != 0) return 9;
  }

  const double dx = run.X[xj] - run.X[xi];
  const double dy = run.X[yj] - run.X[yi];
  const double twist = run.X[tj] - run.X[ti];
  const Tolerances tolerances = mechanicalTolerances(context.model);
  voteChange(run, tolerances, -dx, element->realSlots[kVoteMemory]);
  voteChange(run, tolerances, -dy, element->realSlots[kVoteMemory + 1]);
  voteChange(run, tolerances, -twist, element->realSlots[kVoteMemory + 2]);

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    store[id + 1] = forceX;
    store[id + 2] = forceY;
    store[id + 3] = std::hypot(forceX, forceY);
    store[id + 4] = toDegrees(vectorAngle(forceX, forceY));
    store[id + 5] = moment;
    store[id + 6] = firstMoment;
    store[id + 8] = forceX * (rateOf(run, xj) - rateOf(run, xi)) +
                    forceY * (rateOf(run, yj) - rateOf(run, yi)) + moment * rateOf(run, tj) +
                    firstMoment * rateOf(run, ti);
    store[id + 11] = dx;
    store[id + 12] = dy;
    store[id + 13] = std::hypot(dx, dy);
    store[id + 14] = toDegrees(vectorAngle(dx, dy));
    store[id + 15] = length;
    store[id + 16] = toDegrees(twist);
  }
  if (displaying(run)) {
    const double x1 = run.X[xi];
    const double y1 = run.X[yi];
    const double x2 = run.X[xj];
    const double y2 = run.X[yj];
    drawLink(context, *element, x1, y1, x2, y2);
    if (drawsForces(*element)) {
      drawForceArrow(context, x2, y2, forceX, forceY);
      drawForceArrow(context, x1, y1, -forceX, -forceY);
      drawMomentArc(context, x2, y2, moment);
    }
  }
  return 0;
}

}  // namespace movra

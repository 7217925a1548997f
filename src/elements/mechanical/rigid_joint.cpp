// The rigid joint: the second node held at a prescribed offset (x, y and angle)
// from the first, with two constraint forces and a constraint moment as the
// element's own unknowns. Each direction can be released by model input.
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
constexpr char kOlderConvention[] = "データが旧 ？ データは＃１から見た値！ \n\n %s";

// Bit of StatementRecord::flags: the statement was written in the older convention,
// whose offsets were not seen from node 1.
constexpr int kRecordOlderConvention = 4;
// Integer slots 21..23 (kReleaseFlagSlot): release flags of the x, y and angle
// directions, from the statement's release annotation.
constexpr int kReleaseSlot = kReleaseFlagSlot;
// Real slots: remembered multipliers of the vote, initial offsets x, y, θ.
constexpr int kVoteMemory = 11;
constexpr int kInitialOffsetSlot = 15;
// ParameterStore entry that selects the softer compliance of the multipliers.
constexpr int kSoftJointEntry = -10096;
constexpr double kSoftCompliance = 1e-5;
constexpr double kStiffCompliance = 1e-9;

constexpr int kJointColour = 22;
constexpr int kDotted = 1;

}  // namespace

// Offsets d = (P1, P2, P3·π/180), plus the initial offsets (real slots 15..17)
// when P4 = 0; for each direction k with coordinates q_i, q_j and multiplier λ_k:
//   F[λ_k] = q_j - q_i - d_k + ε·λ_k (m or rad);  J[λ_k][q_j] = 1, J[λ_k][q_i] = -1, J[λ_k][λ_k] =
//   ε released: F[λ_k] = (1 + ε)·λ_k F[q_j] += λ_k, F[q_i] -= λ_k (N);  F[θ_j] += λ_θ, F[θ_i] +=
//   -λ_θ + (y_j - y_i)·λ_x - (x_j - x_i)·λ_y (N·m), with its derivatives.
int evaluateRigidJoint(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  if (isFirstIteration(run) &&
      (statementFlags(context.model, *element) & kRecordOlderConvention) != 0 && p[4] != 1.0) {
    return context.reporter.modelError(kOlderConvention, quotedLine(*element));
  }
  // Field 4 says how the offsets count: any other value than 0 or 1 is a slip.
  if (isFirstIteration(run) && p[4] != 0.0 && p[4] != 1.0) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }

  const int qi[3] = {unknownSlot(run, *element, 1), unknownSlot(run, *element, 2),
                     unknownSlot(run, *element, 3)};
  const int qj[3] = {unknownSlot(run, *element, 4), unknownSlot(run, *element, 5),
                     unknownSlot(run, *element, 6)};
  const int lambda[3] = {unknownSlot(run, *element, 7), unknownSlot(run, *element, 8),
                         unknownSlot(run, *element, 9)};
  double* initialOffset = element->realSlots + kInitialOffsetSlot;
  if (run.initialPass != 0) {
    for (int k = 0; k < 3; ++k) initialOffset[k] = run.X[qj[k]] - run.X[qi[k]];
  }
  double offset[3] = {p[1], p[2], p[3] * kRadiansPerDegree};
  if (p[4] == 0.0) {
    for (int k = 0; k < 3; ++k) offset[k] += initialOffset[k];
  }
  if (isPointerJoint(context.model, *element)) {
    // The launch's joint holds pointer node 198 at the pointer anchor.
    double anchorX = 0.0;
    double anchorY = 0.0;
    pointerAnchor(context.model, anchorX, anchorY);
    offset[0] += anchorX;
    offset[1] += anchorY;
  }
  const double compliance =
      context.model.parameters.get(kSoftJointEntry) == 1.0 ? kSoftCompliance : kStiffCompliance;

  double multiplier[3];
  for (int k = 0; k < 3; ++k) {
    const int own = lambda[k];
    multiplier[k] = run.X[own];
    if (element->variableSlots[kReleaseSlot + k] == 1) {
      run.F[own] = multiplier[k];
      run.jacobian(own, own) = 1.0;
    } else {
      run.F[own] = run.X[qj[k]] - run.X[qi[k]] - offset[k];
      run.jacobian(own, qj[k]) = 0.0;
      run.jacobian(own, qi[k]) = 0.0;
      run.jacobian(own, own) = 0.0;
      // Added after clearing, so a joint with both ends on one node keeps 0.
      run.jacobian(own, qj[k]) += 1.0;
      run.jacobian(own, qi[k]) -= 1.0;
    }
    run.F[own] += compliance * multiplier[k];
    run.jacobian(own, own) += compliance;

    run.F[qj[k]] += multiplier[k];
    run.jacobian(qj[k], own) += 1.0;
    run.F[qi[k]] -= multiplier[k];
    run.jacobian(qi[k], own) -= 1.0;
  }
  // The force on the second node acts at its offset from the first node.
  const double dx = run.X[qj[0]] - run.X[qi[0]];
  const double dy = run.X[qj[1]] - run.X[qi[1]];
  const double lx = multiplier[0];
  const double ly = multiplier[1];
  const double firstMoment = dy * lx - dx * ly;
  run.F[qi[2]] += firstMoment;
  run.jacobian(qi[2], lambda[0]) += dy;
  run.jacobian(qi[2], lambda[1]) -= dx;
  run.jacobian(qi[2], qj[1]) += lx;
  run.jacobian(qi[2], qi[1]) -= lx;
  run.jacobian(qi[2], qj[0]) -= ly;
  run.jacobian(qi[2], qi[0]) += ly;
  for (int k = 0; k < 3; ++k) {
    addCoordinateDamping(context, qi[k]);
    addCoordinateDamping(context, qj[k]);
  }

  const Tolerances tolerances = mechanicalTolerances(context.model);
  for (int k = 0; k < 3; ++k) {
    voteOwnUnknown(run, tolerances, lambda[k], element->realSlots[kVoteMemory + k]);
  }
  // The compliance lets a held direction give by ε·λ: a joint that another holds
  // elsewhere gives by the whole distance (soft joints of a grab are left alone).
  if (compliance == kStiffCompliance) {
    for (int k = 0; k < 3; ++k) {
      if (element->variableSlots[kReleaseSlot + k] == 1) continue;
      const double offBy = run.X[qj[k]] - run.X[qi[k]] - offset[k];
      if (checkConstraintMet(context, *element, offBy) != 0) return 9;
    }
  }

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double momentI = firstMoment - multiplier[2];
    store[id + 1] = lx;
    store[id + 2] = ly;
    store[id + 3] = std::hypot(lx, ly);
    store[id + 4] = toDegrees(vectorAngle(lx, ly));
    store[id + 5] = multiplier[2];
    store[id + 6] = momentI;
    store[id + 8] = lx * (rateOf(run, qj[0]) - rateOf(run, qi[0])) +
                    ly * (rateOf(run, qj[1]) - rateOf(run, qi[1])) +
                    multiplier[2] * rateOf(run, qj[2]) + momentI * rateOf(run, qi[2]);
    store[id + 11] = dx;
    store[id + 12] = dy;
    store[id + 13] = toDegrees(run.X[qj[2]] - run.X[qi[2]]);
  }
  if (displaying(run)) {
    const double xi = run.X[qi[0]];
    const double yi = run.X[qi[1]];
    const double xj = run.X[qj[0]];
    const double yj = run.X[qj[1]];
    run.display.currentTag = kElementOutlineTag;
    recordShape3(run.display, xi, yi, xj, yj, kJointColour, kDotted);
    if (drawsForces(*element)) {
      drawForceArrow(context, xj, yj, lx, ly);
      drawForceArrow(context, xi, yi, -lx, -ly);
      drawMomentArc(context, xj, yj, multiplier[2]);
    }
  }
  return 0;
}

}  // namespace movra

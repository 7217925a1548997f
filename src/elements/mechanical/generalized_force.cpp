// Shared parts of the contact, gear-pair, belt and wheel evaluators.
#include "elements/mechanical/generalized_force.h"

#include "elements/conventions.h"

namespace movra {

namespace {

constexpr double kRotationStepLimit = 1.0;  // rad
constexpr int kCircleSegments = 36;
constexpr int kSolid = 0;

}  // namespace

LawCoordinates lawCoordinates(const Run& run, const int* indices, int count) {
  LawCoordinates c;
  c.count = std::clamp(count, 0, kMaxLawCoordinates);
  for (int k = 0; k < c.count; ++k) {
    c.index[k] = indices[k];
    c.at[k] = run.X[indices[k]];
    c.history[k] = historyOf(run, indices[k]);
  }
  return c;
}

void limitStepRotation(Run& run, int angle) {
  if (angle <= 0) return;
  const double start = run.previous[angle];
  double& value = run.X[angle];
  if (value - start > kRotationStepLimit) {
    value = start + kRotationStepLimit;
  } else if (value - start < -kRotationStepLimit) {
    value = start - kRotationStepLimit;
  } else {
    return;
  }
  run.iterationStart[angle] = value;
}

void drawModelCircle(DisplayList& list, double x, double y, double radius, double angle,
                     double spokeReach, int colour) {
  const double r = std::fabs(radius);
  for (int k = 0; k < kCircleSegments; ++k) {
    const double a1 = 2.0 * kPi * k / kCircleSegments;
    const double a2 = 2.0 * kPi * (k + 1) / kCircleSegments;
    recordShape3(list, x + r * std::cos(a1), y + r * std::sin(a1), x + r * std::cos(a2),
                 y + r * std::sin(a2), colour, kSolid);
  }
  if (spokeReach == 0.0) return;
  const double reach = spokeReach * r;
  recordShape3(list, x, y, x + reach * std::cos(angle), y + reach * std::sin(angle), colour, kSolid);
}

}  // namespace movra

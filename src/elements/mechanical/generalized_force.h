// What the mechanical evaluators share: a force law written as generalized forces
// Q on the coordinates an element acts on, stamped with its Jacobian by central
// differences (and the forces of a multiplier on a travel, built on it), the
// rotation step limit, the Coulomb law of friction, and circles drawn in model
// units.
#pragma once

#include <algorithm>
#include <cmath>

#include "elements/evaluator.h"

namespace movra {

// Coordinates of one element's force law: unknown indices (0 = ground) and, per
// coordinate, the present value and its value at the start of the step.
inline constexpr int kMaxLawCoordinates = 8;
struct LawCoordinates {
  int count = 0;
  int index[kMaxLawCoordinates] = {};
  double at[kMaxLawCoordinates] = {};
  double history[kMaxLawCoordinates] = {};
};

LawCoordinates lawCoordinates(const Run& run, const int* indices, int count);

// Step of the central differences of a force law, as for every nonlinear
// mechanical force element (m, or rad).
inline constexpr double kLawDifferenceStep = 1e-8;

// Adds Q(q) to the rows of the coordinates and ∂Q/∂q by central differences of
// ±1e-8 on each coordinate. law(q, history, Q, decide) fills Q[0..count) (N or N·m).
// The unperturbed evaluation comes first with decide = true: there the law settles
// its regime (touching or not, which flank, sticking or sliding), and the perturbed
// evaluations keep that regime. The Jacobian is then that of the piece the iterate
// stands on, even within 1e-8 of a kink, where differences straddling the kink
// would make Newton's method cycle.
template <class Law>
void stampForceLaw(Run& run, const LawCoordinates& c, Law&& law) {
  double q[kMaxLawCoordinates];
  double up[kMaxLawCoordinates] = {};
  double down[kMaxLawCoordinates] = {};
  double forces[kMaxLawCoordinates] = {};  // the law fills [0, count)
  std::copy(c.at, c.at + c.count, q);
  law(q, c.history, forces, true);
  for (int k = 0; k < c.count; ++k) {
    if (c.index[k] <= 0) continue;  // the ground does not move
    q[k] = c.at[k] + kLawDifferenceStep;
    law(q, c.history, up, false);
    q[k] = c.at[k] - kLawDifferenceStep;
    law(q, c.history, down, false);
    q[k] = c.at[k];
    for (int r = 0; r < c.count; ++r) {
      if (c.index[r] <= 0) continue;
      run.jacobian(c.index[r], c.index[k]) += (up[r] - down[r]) / (2.0 * kLawDifferenceStep);
    }
  }
  for (int r = 0; r < c.count; ++r) {
    if (c.index[r] > 0) run.F[c.index[r]] += forces[r];
  }
}

// The generalized forces -λ·∂s/∂q of a multiplier λ = X[own] (a tooth force, a belt
// force, a traction) acting along a travel s(q), with their Jacobian: ∂(∂s/∂q)/∂q by
// central differences and -∂s/∂q in λ's column. λ's row is left cleared for the
// caller's own equation; grad receives ∂s/∂q at the present coordinates.
// gradient(q, grad) gives ∂s/∂q; settle(q) runs at the unperturbed evaluation.
template <class Gradient, class Settle>
void stampMultiplierForces(Run& run, const LawCoordinates& c, int own, Gradient&& gradient,
                           double* grad, Settle&& settle) {
  const double multiplier = run.X[own];
  stampForceLaw(run, c, [&](const double* q, const double*, double* Q, bool decide) {
    double at[kMaxLawCoordinates] = {};  // gradient fills [0, count)
    gradient(q, at);
    for (int k = 0; k < c.count; ++k) Q[k] = -multiplier * at[k];
    if (decide) settle(q);
  });
  gradient(c.at, grad);
  for (int k = 0; k < c.count; ++k) {
    if (c.index[k] > 0) run.jacobian(c.index[k], own) -= grad[k];
  }
  for (int k = 0; k < c.count; ++k) run.jacobian(own, c.index[k]) = 0.0;
}

template <class Gradient>
void stampMultiplierForces(Run& run, const LawCoordinates& c, int own, Gradient&& gradient,
                           double* grad) {
  stampMultiplierForces(run, c, own, gradient, grad, [](const double*) {});
}

// Keeps a rotation within one radian of its value at the start of the step; the
// Newton update starts from the iteration-start copy, so that is cut as well.
void limitStepRotation(Run& run, int angle);

// Coulomb friction with a sticking or sliding state that is decided between steps
// (by the preparation pass) and held through the Newton iteration of a step: a
// state that changed within the iteration would make Newton's method cycle between
// the two where the answer lies near the boundary. State 0 sticks through a stiff
// viscous law, f = -μ·N·v/v_s (it creeps at |v| < v_s while |f| < μ·N); state ±1
// slides, f = ∓μ·N. A sticking contact that crept faster than v_s in the last step
// (it needed more than μ·N) slides from the next step on, in the direction of its
// slip; a sliding one whose slip stopped or reversed sticks again.
inline constexpr int kSticking = 0;
inline double frictionForce(int state, double mu, double normal, double slip, double stickSpeed) {
  if (state == 0) return -mu * normal * slip / stickSpeed;
  return state > 0 ? -mu * normal : mu * normal;
}
inline int nextFrictionState(int state, double slip, double stickSpeed) {
  if (state == 0) return slip > stickSpeed ? 1 : (slip < -stickSpeed ? -1 : 0);
  return slip * state > 0.0 ? state : 0;
}

// Damping of a contact acts only when the contact already touched at the start
// of the step (its overlap u_H there above 0). The force of a contact that starts
// touching within the step is then k·u, rising from zero, rather than jumping to
// c·du/dt at first touch, and with that start the force is a convex function of
// the overlap in every step, max(0, k·u + c·a0·(u - u_H)), on which Newton's
// method settles instead of cycling. The damping misses one step of each impact.
inline double contactDamping(double damping, double historyOverlap) {
  return historyOverlap > 0.0 ? damping : 0.0;
}

// A circle as a polygon in model units, so that it keeps its size when the view
// zooms, with a spoke from the centre at `angle`, spokeReach radii long (0: none).
void drawModelCircle(DisplayList& list, double x, double y, double radius, double angle,
                     double spokeReach, int colour);

}  // namespace movra

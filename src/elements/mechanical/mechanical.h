// The mechanical evaluators and what they share: coordinate damping, node
// pairs, the point spring, and the outlines and force arrows they draw.
#pragma once

#include "elements/evaluator.h"

namespace movra {

// Mechanical elements.
int evaluateSpringDamper(EvaluationContext& context, int row);    // 5
int evaluateRigidLink(EvaluationContext& context, int row);       // 6
int evaluateBeam(EvaluationContext& context, int row);            // 7
int evaluateSlider(EvaluationContext& context, int row);          // 8
int evaluateCombinedSpring(EvaluationContext& context, int row);  // 9
int evaluateRotarySpring(EvaluationContext& context, int row);    // 10
int evaluateBody(EvaluationContext& context, int row);            // 11
int evaluateGearMesh(EvaluationContext& context, int row);        // 13
int evaluateRigidJoint(EvaluationContext& context, int row);      // 17
int evaluateAppliedForce(EvaluationContext& context, int row);    // 18

// Gears, belts, wheels and contacts.
int evaluateGearElement(EvaluationContext& context, int row);     // 12
int evaluateBelt(EvaluationContext& context, int row);            // 14
int evaluateGearPair(EvaluationContext& context, int row);        // 15
int evaluateWheel(EvaluationContext& context, int row);           // 16
int evaluateFrictionDrive(EvaluationContext& context, int row);   // 62
int evaluateGapContact(EvaluationContext& context, int row);      // 65

// What the mechanical evaluators share (mechanical_common.cpp).

// Display-list tags: the view's element and force switches.
inline constexpr int kElementOutlineTag = 2;
inline constexpr int kForceTag = 4;

// Artificial damping of one coordinate q (N, or N·m for an angle):
//   F[q] -= c_d·a0·(x[q] - H[q]),  J[q][q] -= c_d·a0   (c_d = ParameterStore -10001).
void addCoordinateDamping(EvaluationContext& context, int coordinate);

// After the starting solution, a joint or link whose held direction is still off by
// more than a millimetre (or a milliradian) cannot be met: another constraint holds
// its node elsewhere. Refuses the run at the element's line, naming the other joints
// and links on its nodes. 0 when the constraint is met or the step is a later one.
int checkConstraintMet(EvaluationContext& context, const ElementEntry& element, double offBy);

// a0·(X[i] - H[i]) of an unknown or state index i; 0 for the ground.
double rateOf(const Run& run, int index);

// The X index N + s of the element's first state slot s, or 0 when the element
// has no state slot inside the run's.
int stateIndexOf(const Run& run, const ElementEntry& element);

// Unknown indices of x, y, θ of two nodes (slots 1..3 and 4..6).
struct NodePair {
  int xi = 0, yi = 0, ti = 0;
  int xj = 0, yj = 0, tj = 0;
};
NodePair nodePairOf(const Run& run, const ElementEntry& element);

// Tension along a spring between two points, T = base - k·L - c·dL/dt (N).
struct PointSpringLaw {
  double base = 0.0;
  double stiffness = 0.0;
  double damping = 0.0;
};

struct PointSpringState {
  double length = 0.0;  // m
  double rate = 0.0;    // dL/dt, m/s
  double angle = 0.0;   // direction from the first point to the second, rad
  double tension = 0.0;
  double forceX = 0.0;  // on the second point, N
  double forceY = 0.0;
};

// Spring between points (x_i, y_i) and (x_j, y_j), unknown indices in that order:
// stamps the force on both points, its Jacobian by central differences of ±1e-8
// on the second point, and keeps the length in the element's state slot.
PointSpringState stampPointSpring(EvaluationContext& context, const ElementEntry& element,
                                  const int (&points)[4], const PointSpringLaw& law);

// Only the spring's present length into its state slot (the preparation pass).
void storeSpringLength(Run& run, const ElementEntry& element, const int (&points)[4]);

double toDegrees(double radians);

// Forces are drawn for elements whose drawing annotation asks for them.
bool drawsForces(const ElementEntry& element);
void drawSpringOutline(EvaluationContext& context, double x1, double y1, double x2, double y2);
// A force vector at a point, its length from the force scale of the view.
void drawForceArrow(EvaluationContext& context, double x, double y, double forceX, double forceY);
// A moment as an arc about a point, its sweep from the moment scale of the view.
void drawMomentArc(EvaluationContext& context, double x, double y, double moment);

// The "sc" spring-dampers the interactive launch modes add: in the first mode it
// pulls the held node to the pointer; in the second they hold the pointer nodes
// 198 and 199 at the pointer anchor and together.
bool isPointerSpring(const Model& model, const ElementEntry& element);
int evaluatePointerSpring(EvaluationContext& context, int row);
// The second mode's joint from node 0 to node 198, whose node-0 end is the anchor.
bool isPointerJoint(const Model& model, const ElementEntry& element);
// The anchor: the smoothed pointer point while a node is held, else the origin.
void pointerAnchor(const Model& model, double& x, double& y);

}  // namespace movra

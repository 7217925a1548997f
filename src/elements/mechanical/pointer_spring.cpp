// The elements the interactive launch modes add, as they act on the pointer.
//
// First interactive mode: the spring-damper the launch adds between node 0 and
// node 0 acts, while the user holds a node, between that node and the point under
// the pointer, so the node follows the mouse.
//
// Second interactive mode: the pointer moves the pointer nodes 198 and 199. Node
// 198 sits at the anchor: the pointer point smoothed by the two second-order lags
// (entries -10071, -10072) while a node is held, else the origin, where the window
// also puts both pointer nodes on release; the launch's joint from node 0 to 198
// and its spring from node 0 to 198 take the anchor for their node-0 end. Node 199
// hangs on 198 by the spring between them, and the spring from node 0 to 199 takes
// the held node for its node-0 end: the held node follows the smoothed pointer
// through 199. A model may tie its own nodes to 198 or 199 as further handles.
#include <cmath>
#include <cstring>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr int kGrabbedNodeEntry = -10095;
constexpr int kPointerXEntry = -10081;
constexpr int kPointerYEntry = -10082;
constexpr int kSmoothedXEntry = -10071;
constexpr int kSmoothedYEntry = -10072;
constexpr int kDraggableNodes = 198;  // nodes 198 and 199 are the pointer nodes themselves
constexpr int kPointerHand = 199;
constexpr int kNewGrabEntry = -10096;  // 1, then 2, for the step after a new grab

// The unknown of a key, or 0 (ground, whose row and column are scratch).
int unknownOfKey(const Run& run, int key) {
  if (key < 0 || key >= kUnknownKeyCapacity) return 0;
  const int index = run.unknownOfKey[key];
  return index > 0 && index <= run.unknownCount ? index : 0;
}

// The node a launch element stores as id*10 ("n").
int nodeOf(const ElementEntry& element, int end) { return element.node[end] / 10; }

bool nodeHeld(const Model& model) {
  const double grabbed = model.parameters.get(kGrabbedNodeEntry);
  return grabbed >= 0 && grabbed < kDraggableNodes;
}

// One coordinate pulled towards a point: f = k (p - x) - c a0 (x - H),
//   F[x] += f (N),  dF[x]/dx = -(k + c a0) (N/m).
void pullTowards(Run& run, int unknown, double target, double stiffness, double damping) {
  if (unknown == 0) return;
  const double x = run.X[unknown];
  run.F[unknown] += stiffness * (target - x) - damping * run.a0() * (x - run.history(unknown));
  run.jacobian(unknown, unknown) -= stiffness + damping * run.a0();
}

// One coordinate pair tied by a spring-damper of zero length:
//   f = k (x_j - x_i) + c a0 ((x_j - H_j) - (x_i - H_i)) on i, -f on j.
void tieTogether(Run& run, int i, int j, double stiffness, double damping) {
  if (i == 0 || j == 0) return;
  const double g = stiffness + damping * run.a0();
  const double f = stiffness * (run.X[j] - run.X[i]) +
                   damping * run.a0() * ((run.X[j] - run.history(j)) - (run.X[i] - run.history(i)));
  run.F[i] += f;
  run.F[j] -= f;
  run.jacobian(i, i) -= g;
  run.jacobian(i, j) += g;
  run.jacobian(j, j) -= g;
  run.jacobian(j, i) += g;
}

}  // namespace

bool isPointerSpring(const Model& model, const ElementEntry& element) {
  return model.handOverMode >= 3 && element.statementLine < 0 &&
         std::strcmp(element.keyword, "sc") == 0;
}

bool isPointerJoint(const Model& model, const ElementEntry& element) {
  return model.handOverMode == 4 && element.statementLine < 0 &&
         std::strcmp(element.keyword, "pc") == 0;
}

void pointerAnchor(const Model& model, double& x, double& y) {
  x = y = 0.0;
  if (!nodeHeld(model)) return;
  x = model.parameters.get(kSmoothedXEntry);
  y = model.parameters.get(kSmoothedYEntry);
}

// P1 = stiffness (N/m), P3 = damping (N s/m), as the launch sets them.
int evaluatePointerSpring(EvaluationContext& context, int row) {
  const ElementEntry& element = context.model.elements[row];
  Run& run = context.run;
  if (run.recordingFlag < 0) return 0;
  const double stiffness = element.realSlots[1];
  const double damping = element.realSlots[3];
  const Model& model = context.model;

  if (model.handOverMode == 3) {
    if (!nodeHeld(model)) return 0;
    const int node = static_cast<int>(model.parameters.get(kGrabbedNodeEntry));
    pullTowards(run, unknownOfKey(run, node * 10 + 1), model.parameters.get(kPointerXEntry),
                stiffness, damping);
    pullTowards(run, unknownOfKey(run, node * 10 + 2), model.parameters.get(kPointerYEntry),
                stiffness, damping);
    return 0;
  }

  const int first = nodeOf(element, 1);
  const int second = nodeOf(element, 2);
  if (first != 0) {
    for (int axis = 1; axis <= 2; ++axis) {
      tieTogether(run, unknownOfKey(run, first * 10 + axis), unknownOfKey(run, second * 10 + axis),
                  stiffness, damping);
    }
    return 0;
  }
  if (second == kPointerHand && nodeHeld(model)) {
    const int held = static_cast<int>(model.parameters.get(kGrabbedNodeEntry));
    // The grab put the pointer nodes onto the held node in one jump: no damping
    // of that jump, or the node would get a kick.
    const bool justGrabbed = model.parameters.get(kNewGrabEntry) > 0.0;
    for (int axis = 1; axis <= 2; ++axis) {
      tieTogether(run, unknownOfKey(run, held * 10 + axis), unknownOfKey(run, second * 10 + axis),
                  stiffness, justGrabbed ? 0.0 : damping);
    }
    return 0;
  }
  double anchorX = 0.0;
  double anchorY = 0.0;
  pointerAnchor(model, anchorX, anchorY);
  pullTowards(run, unknownOfKey(run, second * 10 + 1), anchorX, stiffness, damping);
  pullTowards(run, unknownOfKey(run, second * 10 + 2), anchorY, stiffness, damping);
  return 0;
}

}  // namespace movra

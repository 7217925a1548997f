// The pointer spring of the first interactive mode: the spring-damper the launch
// adds between node 0 and node 0 acts, while the user holds a node, between that
// node and the point under the pointer, so the node follows the mouse.
#include <cmath>
#include <cstring>

#include "elements/conventions.h"
#include "elements/families.h"

namespace movra {

namespace {

constexpr int kGrabbedNodeEntry = -10095;
constexpr int kPointerXEntry = -10081;
constexpr int kPointerYEntry = -10082;
constexpr int kDraggableNodes = 198;  // nodes 198 and 199 are the pointer nodes themselves

// The unknown of a key, or 0 (ground, whose row and column are scratch).
int unknownOfKey(const Run& run, int key) {
  if (key < 0 || key >= kUnknownKeyCapacity) return 0;
  const int index = run.unknownOfKey[key];
  return index > 0 && index <= run.unknownCount ? index : 0;
}

// One coordinate pulled towards the pointer: f = k (p - x) - c a0 (x - H),
//   F[x] += f (N),  dF[x]/dx = -(k + c a0) (N/m).
void pullTowards(Run& run, int unknown, double target, double stiffness, double damping) {
  if (unknown == 0) return;
  const double x = run.X[unknown];
  run.F[unknown] += stiffness * (target - x) - damping * run.a0() * (x - run.history(unknown));
  run.jacobian(unknown, unknown) -= stiffness + damping * run.a0();
}

}  // namespace

bool isPointerSpring(const Model& model, const ElementEntry& element) {
  return model.handOverMode == 3 && std::strcmp(element.keyword, "sc") == 0 &&
         element.node[1] == 0 && element.node[2] == 0;
}

// P1 = stiffness (N/m), P3 = damping (N s/m), as the launch sets them.
int evaluatePointerSpring(EvaluationContext& context, int row) {
  const ElementEntry& element = context.model.elements[row];
  Run& run = context.run;
  if (run.recordingFlag < 0) return 0;
  const double grabbed = context.model.parameters.get(kGrabbedNodeEntry);
  if (!(grabbed >= 0 && grabbed < kDraggableNodes)) return 0;  // nothing held
  const int node = static_cast<int>(grabbed);
  const double targetX = context.model.parameters.get(kPointerXEntry);
  const double targetY = context.model.parameters.get(kPointerYEntry);
  const double stiffness = element.realSlots[1];
  const double damping = element.realSlots[3];
  pullTowards(run, unknownOfKey(run, node * 10 + 1), targetX, stiffness, damping);
  pullTowards(run, unknownOfKey(run, node * 10 + 2), targetY, stiffness, damping);
  return 0;
}

}  // namespace movra

// The fluid cylinder: a double-acting cylinder whose chambers are two pressure
// nodes and whose rod acts between two mechanical nodes. The pressures push the
// rod along its axis; the rod's motion (and, for a compressible column, the
// pressures' rates) draws or delivers the chambers' flows.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/fluid/fluid.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
constexpr char kStrokeExhausted[] = "ストローク相当が不足？ \n\n %s";
constexpr char kBadNodes[] = " 本体・ロッドの節が？ %g %g \n\n %s";

// Integer slots: x, y and angle unknowns of node A (10..12) and node B (13..15).
constexpr int kNodeASlot = 10;
constexpr int kNodeBSlot = 13;
// Real slots.
constexpr int kNodeAField = 6;  // node B's field follows it (7)
constexpr int kOffsetField = 8;          // axis offset, degrees (empty: from the geometry)
constexpr int kVoteMemory = 11;
constexpr int kPosition = 15;            // s
constexpr int kDisplacement = 16;        // s - s0
constexpr int kFirstChamber = 17;        // ℓ1
constexpr int kSecondChamber = 18;       // ℓ2
constexpr int kStart = 19;               // s0
constexpr int kOffset = 48;              // φ0, rad
constexpr int kForce = 51;               // F
// ParameterStore entry counting recorded cylinder passes.
constexpr int kCylinderRecordCount = -9995;

// Capacitance from each chamber to ground, m³/Pa: larger in the starting step,
// where the chamber pressures settle from nothing.
constexpr double kStartCapacitance = 1e-9;
constexpr double kRunCapacitance = 1e-15;
// Central-difference perturbation of the inputs: of the value's size for pressures,
// absolute for lengths and the angle.
constexpr double kPerturbation = 1e-7;

constexpr int kLargestMechanicalNode = 200;
constexpr double kGasBase = 273.0;  // K, the gas formula's temperature base

// Drawing: body and piston in one colour, the rod in another.
constexpr int kBodyColour = 10;
constexpr int kRodColour = 8;
constexpr int kSolid = 0;
constexpr int kDotted = 1;

// Node id of a field, a whole number 0..200 (0 the origin); -1 for anything else,
// which the first iteration refuses: "4n" reads as 4e-9 and must not quietly
// become the origin, dropping the force.
int mechanicalNodeOf(double value) {
  if (!std::isfinite(value) || value != std::nearbyint(value)) return -1;
  if (value < 0.0 || value > kLargestMechanicalNode) return -1;
  return static_cast<int>(value);
}

int indexIn(const Run& run, const ElementEntry& element, int slot) {
  const int index = element.variableSlots[slot];
  return index > 0 && index <= run.unknownCount && index <= kMaxUnknowns ? index : 0;
}

struct Inputs {
  double angle = 0.0;  // θ of node A, rad
  double p1 = 0.0, p2 = 0.0;
  double dx = 0.0, dy = 0.0;
};

struct Outputs {
  double s = 0.0;
  double rate = 0.0;  // ṡ
  double l1 = 0.0, l2 = 0.0;
  double q1 = 0.0, q2 = 0.0;
  double force = 0.0, fx = 0.0, fy = 0.0;
};

struct Cylinder {
  double a1 = 0.0, a2 = 0.0, stroke = 0.0, beta = 0.0, gas = 0.0;
  double offset = 0.0, start = 0.0;
  double a0 = 0.0;
  double historyS = 0.0, historyP1 = 0.0, historyP2 = 0.0;

  Outputs at(const Inputs& in) const {
    Outputs out;
    const double phi = in.angle + offset;
    const double c = std::cos(phi);
    const double sn = std::sin(phi);
    out.s = c * in.dx + sn * in.dy;
    out.force = in.p1 * a1 - in.p2 * a2;
    out.fx = c * out.force;
    out.fy = sn * out.force;
    out.l1 = stroke / 2.0 + (out.s - start);
    out.l2 = stroke / 2.0 - (out.s - start);
    out.rate = a0 * (out.s - historyS);
    const double rate1 = a0 * (in.p1 - historyP1);
    const double rate2 = a0 * (in.p2 - historyP2);
    if (gas > 0.0) {
      out.q1 = -(a1 / (gas * kGasBase)) * (in.p1 * out.rate + out.l1 * rate1);
      out.q2 = (a2 / (gas * kGasBase)) * (in.p2 * out.rate - out.l2 * rate2);
    } else {
      out.q1 = -a1 * (out.rate + beta * out.l1 * rate1);
      out.q2 = a2 * (out.rate - beta * out.l2 * rate2);
    }
    return out;
  }
};

struct Indices {
  int p1 = 0, p2 = 0;
  int xa = 0, ya = 0, ta = 0;
  int xb = 0, yb = 0, tb = 0;
};

// Finds the unknowns of the two mechanical nodes; a node without unknowns stays
// where the editor placed it.
void lookUpNodes(const Run& run, ElementEntry& element) {
  const int k[3] = {1, 2, 0};  // x, y, angle
  const int first[2] = {kNodeASlot, kNodeBSlot};
  for (int n = 0; n < 2; ++n) {
    const int node = mechanicalNodeOf(element.realSlots[kNodeAField + n]);
    for (int c = 0; c < 3; ++c) {
      element.variableSlots[first[n] + c] = node <= 0 ? 0 : run.unknownOfKey[node * 10 + k[c]];
    }
  }
}

// Position of a node: its unknowns, or its fixed place.
void nodePlace(const Model& model, const Run& run, const ElementEntry& element, int n,
               const Indices& ix, double& x, double& y) {
  const int xi = n == 0 ? ix.xa : ix.xb;
  const int yi = n == 0 ? ix.ya : ix.yb;
  const int node = mechanicalNodeOf(element.realSlots[kNodeAField + n]);
  const bool fixed = node > 0 && node < kNodeCount;
  x = xi > 0 ? run.X[xi] : (fixed ? model.nodes.x[node] : 0.0);
  y = yi > 0 ? run.X[yi] : (fixed ? model.nodes.y[node] : 0.0);
}

Inputs inputsOf(const Model& model, const Run& run, const ElementEntry& element,
                const Indices& ix) {
  Inputs in;
  double xa = 0.0, ya = 0.0, xb = 0.0, yb = 0.0;
  nodePlace(model, run, element, 0, ix, xa, ya);
  nodePlace(model, run, element, 1, ix, xb, yb);
  in.angle = run.X[ix.ta];
  in.p1 = run.X[ix.p1];
  in.p2 = run.X[ix.p2];
  in.dx = xb - xa;
  in.dy = yb - ya;
  return in;
}

// Body, piston and rod on the mechanism; the rod's drawn length is fixed, so the
// body stays put on node A and the rod slides out of it as s grows.
void drawCylinder(EvaluationContext& context, const Cylinder& cyl, const Inputs& in,
                  const Outputs& out, double xa, double ya) {
  const double phi = in.angle + cyl.offset;
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  const double stroke = cyl.stroke > 0.0 ? cyl.stroke : std::max(std::fabs(cyl.start), 1e-3);
  const double rod = std::max(cyl.start - stroke / 2.0, 0.1 * stroke);
  const double cap = cyl.start - rod - stroke / 2.0;  // along the axis from A
  const double piston = out.s - rod;
  const double radius = std::clamp(std::sqrt(std::max(cyl.a1, 0.0) / kPi), 0.06 * stroke,
                                   0.2 * stroke);
  const auto px = [&](double along, double across) { return xa + along * c - across * s; };
  const auto py = [&](double along, double across) { return ya + along * s + across * c; };
  DisplayList& list = context.run.display;
  list.currentTag = kElementOutlineTag;
  const double head = cap + stroke;
  recordShape3(list, px(cap, radius), py(cap, radius), px(head, radius), py(head, radius),
               kBodyColour, kSolid);
  recordShape3(list, px(cap, -radius), py(cap, -radius), px(head, -radius), py(head, -radius),
               kBodyColour, kSolid);
  recordShape3(list, px(cap, radius), py(cap, radius), px(cap, -radius), py(cap, -radius),
               kBodyColour, kSolid);
  recordShape3(list, px(head, radius), py(head, radius), px(head, -radius), py(head, -radius),
               kBodyColour, kSolid);
  recordShape3(list, px(piston, 0.9 * radius), py(piston, 0.9 * radius), px(piston, -0.9 * radius),
               py(piston, -0.9 * radius), kRodColour, kSolid);
  for (double side : {0.25, -0.25}) {
    recordShape3(list, px(piston, side * radius), py(piston, side * radius), px(out.s, side * radius),
                 py(out.s, side * radius), kRodColour, kSolid);
  }
  if (std::fabs(cap) > 1e-12) {
    recordShape3(list, xa, ya, px(cap, 0.0), py(cap, 0.0), kBodyColour, kDotted);
  }
}

}  // namespace

// Fluid cylinder: chambers p1 (slot 1) and p2 (slot 2); P1 A1, P2 A2 (m²), P3 stroke L
// (m), P4 β (1/Pa), P5 c_g, P6 and P7 the nodes A and B, P8 axis offset (degrees).
//   φ = θ_A + φ0,  s = cos φ·(x_B - x_A) + sin φ·(y_B - y_A)  (the state slot holds s)
//   F = p1·A1 - p2·A2 on B along φ, its opposite on A
//   ℓ1 = L/2 + (s - s0),  ℓ2 = L/2 - (s - s0)
//   liquid: q1 = -A1·(ṡ + β·ℓ1·ṗ1),  q2 = A2·(ṡ - β·ℓ2·ṗ2)
//   gas:    q1 = -(A1/(c_g·273))·(p1·ṡ + ℓ1·ṗ1),  q2 = (A2/(c_g·273))·(p2·ṡ - ℓ2·ṗ2)
//   F[p1] += q1, F[p2] += q2, F[x_B] += F_x, F[y_B] += F_y, F[x_A] -= F_x, F[y_A] -= F_y
//   J by central differences in θ_A, p1, p2, dx, dy; 1e-9 (step 0) or 1e-15 m³/Pa at p1, p2.
int evaluateCylinder(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  if (run.initialPass != 0) lookUpNodes(run, *element);

  Indices ix;
  ix.p1 = unknownSlot(run, *element, 1);
  ix.p2 = unknownSlot(run, *element, 2);
  ix.xa = indexIn(run, *element, kNodeASlot);
  ix.ya = indexIn(run, *element, kNodeASlot + 1);
  ix.ta = indexIn(run, *element, kNodeASlot + 2);
  ix.xb = indexIn(run, *element, kNodeBSlot);
  ix.yb = indexIn(run, *element, kNodeBSlot + 1);
  ix.tb = indexIn(run, *element, kNodeBSlot + 2);
  const Inputs in = inputsOf(context.model, run, *element, ix);

  if (run.initialPass != 0) {
    // Without a written offset the axis runs from A to B as the editor placed them.
    p[kOffset] = element->empty[kOffsetField] == 1
                     ? vectorAngle(in.dx, in.dy) - in.angle
                     : p[kOffsetField] * kRadiansPerDegree;
  } else if (element->empty[kOffsetField] != 1) {
    p[kOffset] = p[kOffsetField] * kRadiansPerDegree;
  }
  if (!std::isfinite(p[kOffset])) p[kOffset] = 0.0;

  Cylinder cyl;
  cyl.a1 = p[1];
  cyl.a2 = p[2];
  cyl.stroke = p[3];
  cyl.beta = p[4];
  cyl.gas = p[5];
  cyl.offset = p[kOffset];
  const int state = stateIndexOf(run, *element);
  {
    const double phi = in.angle + cyl.offset;
    const double s = std::cos(phi) * in.dx + std::sin(phi) * in.dy;
    if (state > 0) run.X[state] = s;
    if (run.initialPass != 0) p[kStart] = s;
    if (run.recordingFlag < 0) return 0;
  }
  cyl.start = p[kStart];
  cyl.a0 = run.a0();
  cyl.historyS = state > 0 ? run.a0H[state] : 0.0;
  cyl.historyP1 = historyOf(run, ix.p1);
  cyl.historyP2 = historyOf(run, ix.p2);

  if (isFirstIteration(run)) {
    const bool negative = cyl.a1 < 0.0 || cyl.a2 < 0.0 || cyl.stroke < 0.0 || cyl.beta < 0.0 ||
                          cyl.gas < 0.0;
    if (negative || (cyl.beta > 0.0 && cyl.gas > 0.0)) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
    if (mechanicalNodeOf(p[kNodeAField]) < 0 || mechanicalNodeOf(p[kNodeAField + 1]) < 0) {
      return context.reporter.modelError(kBadNodes, p[kNodeAField], p[kNodeAField + 1],
                                         quotedLine(*element));
    }
    const Outputs now = cyl.at(in);
    if (now.l1 < 0.0 || now.l2 < 0.0) {
      return context.reporter.modelError(kStrokeExhausted, quotedLine(*element));
    }
  }

  // Derivatives of (q1, q2, F_x, F_y) by the five inputs.
  double d[5][4] = {};
  for (int k = 0; k < 5; ++k) {
    Inputs plus = in;
    Inputs minus = in;
    double* up[5] = {&plus.angle, &plus.p1, &plus.p2, &plus.dx, &plus.dy};
    double* down[5] = {&minus.angle, &minus.p1, &minus.p2, &minus.dx, &minus.dy};
    const double h = (k == 1 || k == 2) ? kPerturbation * std::max(1.0, std::fabs(*up[k]))
                                        : kPerturbation;
    *up[k] += h;
    *down[k] -= h;
    const Outputs a = cyl.at(plus);
    const Outputs b = cyl.at(minus);
    d[k][0] = (a.q1 - b.q1) / (2.0 * h);
    d[k][1] = (a.q2 - b.q2) / (2.0 * h);
    d[k][2] = (a.fx - b.fx) / (2.0 * h);
    d[k][3] = (a.fy - b.fy) / (2.0 * h);
  }
  const Outputs out = cyl.at(in);

  run.F[ix.p1] += out.q1;
  run.F[ix.p2] += out.q2;
  run.F[ix.xb] += out.fx;
  run.F[ix.yb] += out.fy;
  run.F[ix.xa] -= out.fx;
  run.F[ix.ya] -= out.fy;
  // Rows: q1 -> p1, q2 -> p2, F_x -> x_B and -x_A, F_y -> y_B and -y_A.
  const int rows[4] = {ix.p1, ix.p2, ix.xb, ix.yb};
  const int opposite[4] = {0, 0, ix.xa, ix.ya};
  for (int o = 0; o < 4; ++o) {
    const auto add = [&](int column, double value) {
      run.jacobian(rows[o], column) += value;
      if (opposite[o] > 0 || o >= 2) run.jacobian(opposite[o], column) -= value;
    };
    add(ix.ta, d[0][o]);
    add(ix.p1, d[1][o]);
    add(ix.p2, d[2][o]);
    add(ix.xb, d[3][o]);
    add(ix.xa, -d[3][o]);
    add(ix.yb, d[4][o]);
    add(ix.ya, -d[4][o]);
  }
  const double capacitance = run.kt == 0 ? kStartCapacitance : kRunCapacitance;
  for (int node : {ix.p1, ix.p2}) {
    run.F[node] -= capacitance * cyl.a0 * (run.X[node] - historyOf(run, node));
    run.jacobian(node, node) -= capacitance * cyl.a0;
  }
  voteChange(run, circuitTolerances(context.model), out.q1, p[kVoteMemory]);

  p[kPosition] = out.s;
  p[kDisplacement] = out.s - cyl.start;
  p[kFirstChamber] = out.l1;
  p[kSecondChamber] = out.l2;
  p[kForce] = out.force;
  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    store[kCylinderRecordCount] += 1.0;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      store[id + 1] = in.p1 - in.p2;
      store[id + 2] = (out.q2 - out.q1) / 2.0;
      store[id + 3] = -out.q1;
      store[id + 4] = out.q2;
      store[id + 7] = out.rate;
      store[id + 8] = out.rate * store[id + 5];
      store[id + 9] = -in.p1 * out.q1 - in.p2 * out.q2;
      store[id + 11] = out.fx;
      store[id + 12] = out.fy;
      store[id + 13] = std::hypot(out.fx, out.fy);
      store[id + 14] = toDegrees(vectorAngle(out.fx, out.fy));
      for (int k = 0; k < 5; ++k) store[id + 15 + k] = p[kPosition + k];
    }
  }
  if (displaying(run) && element->drawingMode >= 0) {
    if (double* display = displayRecord(context.model, *element)) {
      display[kDisplayAcross] = in.p1 - in.p2;
      display[kDisplayState] = cyl.gas > 0.0 ? 3.0 : 0.0;
    }
    double xa = 0.0, ya = 0.0, xb = 0.0, yb = 0.0;
    nodePlace(context.model, run, *element, 0, ix, xa, ya);
    nodePlace(context.model, run, *element, 1, ix, xb, yb);
    drawCylinder(context, cyl, in, out, xa, ya);
    if (drawsForces(*element)) {
      drawForceArrow(context, xb, yb, out.fx, out.fy);
      drawForceArrow(context, xa, ya, -out.fx, -out.fy);
    }
  }
  return 0;
}

}  // namespace movra

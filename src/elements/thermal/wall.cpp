// The thermal wall (43): a slab, a spherical or a cylindrical shell between an
// inner node a and an outer node b, split into two halves around a middle node c;
// or (shape 4) the overall wall of a heat exchanger between two flow elements.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/thermal/thermal.h"
#include "input/initial_values.h"
#include "input/model_checks.h"

namespace movra {

namespace {

using thermal::kBadMaterial;

constexpr char kBadShape[] = "形状が？ \n\n %s";
constexpr char kNotExchangerPartners[] = "総括の壁面？ %d %d \n\n %s";
constexpr char kCrossedPartners[] = "壁面の方向が横と縦？ %d %d \n\n %s";
constexpr char kBadSlab[] = "形状データが？. \n\n %s";
constexpr char kBadSphere[] = "形状データが..？ \n\n %s";
constexpr char kBadCylinder[] = "形状データが？... %e %e %e \n\n %s";

constexpr int kSlab = 1;
constexpr int kSphere = 2;
constexpr int kCylinder = 3;
constexpr int kExchanger = 4;
constexpr int kSphereWithCore = 20;
constexpr int kCylinderWithCore = 30;

// Real slots: material rows (temperature, λ, ρ, c_p) of shape 4 and of each half.
constexpr int kExchangerRow = 20;
constexpr int kFirstHalfRow = 30;
constexpr int kSecondHalfRow = 40;
constexpr int kMaterialValues = 3;
constexpr int kVoteMemory = 11;
constexpr int kLambda = 1;
constexpr int kDensity = 2;
constexpr int kSpecificHeat = 3;

// Without a floor a hollow sphere or cylinder of inner radius 0 has no finite
// conductance in its first half.
constexpr double kInnerRadiusFloor = 0.001;
constexpr double kLengthGuard = 1e-9;
// Step of the difference quotient of the log-mean temperature difference, K.
constexpr double kMeanStep = 1e-7;
// An end difference below this share of the other counts as pinched: the log
// mean gives way there to its chord through 0 (see exchangerMean).
constexpr double kPinchRatio = 1e-6;
// Below this |u| the series of u/atanh(u) is exact to rounding.
constexpr double kSeriesLimit = 1e-4;

constexpr int kFlowTypeCode = 47;

int shapeOf(double value) {
  return std::isfinite(value) && value > -1e9 && value < 1e9 ? static_cast<int>(value) : 0;
}

bool knownShape(int shape) {
  return shape == kSlab || shape == kSphere || shape == kCylinder || shape == kExchanger ||
         shape == kSphereWithCore || shape == kCylinderWithCore;
}

struct Half {
  double factor = 0.0;  // conductance per unit λ, m
  double volume = 0.0;  // m³
};

struct Geometry {
  Half first;
  Half second;
  double outerSurface = 0.0;
};

// Geometry of the two halves; false when the dimensions are not a wall of that shape.
int checkGeometry(EvaluationContext& context, ElementEntry& element, int shape) {
  const double* p = element.realSlots;
  Reporter& reporter = context.reporter;
  const char* line = quotedLine(element);
  switch (shape) {
    case kSlab:
      // A slab of area 0 conducts and stores nothing: its middle node would float.
      if (!(p[3] > 0.0 && p[4] > 0.0)) return reporter.modelError(kBadSlab, line);
      return 0;
    case kSphere:
    case kSphereWithCore:
      if (!(p[3] >= 0.0 && p[4] > 0.0 && p[4] > p[3])) return reporter.modelError(kBadSphere, line);
      return 0;
    case kCylinder:
      if (!(p[3] >= 0.0 && p[4] > 0.0 && p[4] > p[3] && p[5] > 0.0)) break;
      return 0;
    case kCylinderWithCore:
      if (!(p[3] >= 0.0 && p[4] > 0.0 && p[4] > p[3] && p[5] + kLengthGuard >= 0.0)) break;
      return 0;
    case kExchanger:
      if (!(p[3] > 0.0 && p[4] > 0.0 && p[3] < p[4] && p[5] + kLengthGuard > 0.0)) break;
      return 0;
    default:
      return 0;
  }
  return reporter.modelError(kBadCylinder, p[3], p[4], p[5], line);
}

Geometry geometryOf(const double* p, int shape) {
  Geometry g;
  double r1 = p[3];
  const double r2 = p[4];
  switch (shape) {
    case kSlab: {
      const double area = p[3];
      const double half = p[4] / 2.0;
      g.first.factor = g.second.factor = area / half;
      g.first.volume = g.second.volume = area * half;
      g.outerSurface = area;
      break;
    }
    case kSphere:
    case kSphereWithCore: {
      if (shape == kSphere) r1 = std::max(r1, kInnerRadiusFloor * r2);
      const double rm = std::cbrt((r1 * r1 * r1 + r2 * r2 * r2) / 2.0);
      g.first.volume = g.second.volume = (4.0 / 3.0) * kPi * (r2 * r2 * r2 - r1 * r1 * r1) / 2.0;
      g.first.factor = shape == kSphere ? 4.0 * kPi * r1 * rm / (rm - r1)
                                        : 4.0 * kPi * (r1 * r1 + rm * rm) / 2.0 / (rm - r1);
      g.second.factor = 4.0 * kPi * rm * r2 / (r2 - rm);
      g.outerSurface = 4.0 * kPi * r2 * r2;
      break;
    }
    case kCylinder:
    case kCylinderWithCore: {
      double length = p[5];
      if (shape == kCylinder) {
        r1 = std::max(r1, kInnerRadiusFloor * r2);
      } else {
        length += kLengthGuard;
      }
      const double rm = std::sqrt((r1 * r1 + r2 * r2) / 2.0);
      g.first.volume = g.second.volume = kPi * length * (r2 * r2 - r1 * r1) / 2.0;
      g.first.factor = shape == kCylinder ? 2.0 * kPi * length / std::log(rm / r1)
                                          : 2.0 * kPi * length * (r1 + rm) / 2.0 / (rm - r1);
      g.second.factor = 2.0 * kPi * length / std::log(r2 / rm);
      g.outerSurface = 2.0 * kPi * r2 * length;
      break;
    }
    default:
      break;
  }
  return g;
}

// Log mean of two end differences of one sign, written as m·u/atanh(u) with
// m = (x + y)/2 and u = (x - y)/(x + y): the same value as (x - y)/ln(x/y), and
// smooth through x = y, where it is m.
double logMean(double x, double y) {
  const double m = (x + y) / 2.0;
  const double u = (x - y) / (x + y);
  if (std::fabs(u) < kSeriesLimit) return m * (1.0 - u * u / 3.0 - 4.0 * u * u * u * u / 45.0);
  return m * u / std::atanh(u);
}

// ΔT_lm of the end differences D1 = T1a - T2b and D2 = T1b - T2a (t after the
// exchange of a parallel pair), for heat that flows the way s (±1) says: from
// the first stream when its inlet is the hotter one. With x, y = s·D1, s·D2:
//   both ends of that sign and the smaller one at least kPinchRatio of the
//   larger: the log mean, s·logMean(x, y);
//   otherwise (an end pinched to 0, the ends crossed, or the heat reversed):
//   s·K·min(x, y), K = logMean(1, f)/f, the chord of the log mean from 0 to f.
// This continuation is 0 where an end difference is 0, meets the log mean
// without a step, and is concave and rising in both ends. Along the streams'
// balances (both ends fall as Q grows) Q/UA - ΔT_lm is then convex and rising:
// it has one root, and Newton's iterates come back from a crossed state to it.
// The plain arithmetic mean instead has roots where the hot outlet is colder
// than the cold inlet.
double exchangerMean(const double t[4], double s) {
  const double x = s * (t[0] - t[3]);
  const double y = s * (t[1] - t[2]);
  const double high = std::max(x, y);
  const double low = std::min(x, y);
  if (low > kPinchRatio * high) return s * logMean(x, y);
  const double chord = (1.0 - kPinchRatio) / (kPinchRatio * std::log(1.0 / kPinchRatio));
  return s * chord * low;
}

const ElementEntry* partner(const Model& model, const ElementEntry& element, int k) {
  const int row = element.variableSlots[kThermalLinkSlot + k];
  if (row < 1 || row > model.count.elements || row >= kElementCapacity) return nullptr;
  return &model.elements[row];
}

// Shape 4 joins two flow elements (type 47) drawn the same way or both across.
int checkExchangerPartners(EvaluationContext& context, ElementEntry& element) {
  const ElementEntry* first = partner(context.model, element, 0);
  const ElementEntry* second = partner(context.model, element, 1);
  const int firstCode = first != nullptr ? first->typeCode : 0;
  const int secondCode = second != nullptr ? second->typeCode : 0;
  if (firstCode != kFlowTypeCode || secondCode != kFlowTypeCode) {
    return context.reporter.modelError(kNotExchangerPartners, firstCode, secondCode,
                                       quotedLine(element));
  }
  const int o1 = thermal::flowOrientation(context.model, *first);
  const int o2 = thermal::flowOrientation(context.model, *second);
  if ((o1 + o2) % 2 != 0) {
    return context.reporter.modelError(kCrossedPartners, o1, o2, quotedLine(element));
  }
  return 0;
}

// Shape 4: own unknown Q (W) from the first stream to the second,
// 1/UA = ln(r2/r1)/(2π·L·λ) + the film resistances 1/(h·A) of the two streams:
//   F[Q] = x[Q]/UA - ΔT_lm(T1a, T1b, T2a, T2b);  dF[Q]/dx[Q] = 1/UA,
//   dF[Q]/dT_k = -∂ΔT_lm/∂T_k by central differences of 1e-7 K (ΔT_lm as
//   exchangerMean continues it, the direction of the heat held).
//   F[out1] -= x[Q], F[out2] += x[Q] at the streams' outlets; the middle node is
//   held at 0.
int evaluateExchangerWall(EvaluationContext& context, ElementEntry& element) {
  Run& run = context.run;
  const ElementEntry* first = partner(context.model, element, 0);
  const ElementEntry* second = partner(context.model, element, 1);
  const int o1 = thermal::flowOrientation(context.model, *first);
  const int o2 = thermal::flowOrientation(context.model, *second);
  int unknowns[4] = {unknownSlot(run, *first, 1), unknownSlot(run, *first, 2),
                     unknownSlot(run, *second, 1), unknownSlot(run, *second, 2)};
  const int firstOutlet = unknowns[1];
  const int secondOutlet = unknowns[3];
  // Heat flows from the stream with the hotter inlet (the first one on a tie).
  const double direction = run.X[unknowns[0]] >= run.X[unknowns[2]] ? 1.0 : -1.0;
  // Streams drawn against each other are a counterflow exchanger: the hot inlet
  // faces the cold outlet. Drawn the same way they run in parallel, and the second
  // stream's ends are exchanged so that inlet faces inlet.
  if (o1 == o2) std::swap(unknowns[2], unknowns[3]);

  double* slots = element.realSlots;
  const int a = unknownSlot(run, element, 1);
  const int b = unknownSlot(run, element, 2);
  const int c = unknownSlot(run, element, 3);
  const int own = unknownSlot(run, element, 4);
  if (isFirstIteration(run) && checkGeometry(context, element, kExchanger) != 0) return 9;
  const double length = slots[5] + kLengthGuard;
  // The films of both streams (h·A, published by the flow elements) lie in series
  // with the tube wall; a stream without a film value adds no resistance.
  double resistance = std::log(slots[4] / slots[3]) /
                      (2.0 * kPi * length * std::max(slots[kExchangerRow + kLambda], 1e-300));
  for (const ElementEntry* stream : {first, second}) {
    const double film = stream->realSlots[thermal::kFilmConductanceSlot];
    if (film > 0.0) resistance += 1.0 / film;
  }
  const double ua = std::max(1.0 / resistance, thermal::kCouplingFloor);

  double t[4];
  for (int k = 0; k < 4; ++k) t[k] = run.X[unknowns[k]];
  run.F[own] = run.X[own] / ua - exchangerMean(t, direction);
  run.jacobian(own, own) = 1.0 / ua;
  // With both ends at 0 (all four temperatures equal, as a run starts) the
  // quotient would straddle the continuation's corner there and take K/2 per end;
  // the slope along equal ends, 1/2 per end, starts Newton as the arithmetic mean
  // did, and the convex residual brings any first iterate home.
  const bool level = std::fabs(t[0] - t[3]) <= kMeanStep && std::fabs(t[1] - t[2]) <= kMeanStep;
  for (int k = 0; k < 4; ++k) {
    if (level) {
      run.jacobian(own, unknowns[k]) -= k < 2 ? 0.5 : -0.5;
      continue;
    }
    double up[4];
    double down[4];
    std::copy(t, t + 4, up);
    std::copy(t, t + 4, down);
    up[k] += kMeanStep;
    down[k] -= kMeanStep;
    run.jacobian(own, unknowns[k]) -=
        (exchangerMean(up, direction) - exchangerMean(down, direction)) / (2.0 * kMeanStep);
  }
  // Q leaves the first stream and enters the second at their outlets.
  run.F[firstOutlet] -= run.X[own];
  run.jacobian(firstOutlet, own) -= 1.0;
  run.F[secondOutlet] += run.X[own];
  run.jacobian(secondOutlet, own) += 1.0;
  run.F[c] = run.X[c];
  run.jacobian(c, c) = 1.0;
  voteOwnUnknown(run, circuitTolerances(context.model), own, slots[kVoteMemory]);
  if (recording(run)) {
    thermal::recordThermal(context.model, run, element, run.X[a] - run.X[b], run.X[own]);
    if (ownsReturnRecord(element)) {
      context.model.parameters[element.returnBlockId + 6] = ua;
      context.model.parameters[element.returnBlockId + 7] = exchangerMean(t, direction);
    }
  }
  return 0;
}

}  // namespace

// A wall with a face the model starts at a given temperature (".iv") starts with
// its middle at the mean of its faces, the steady state between equal faces,
// instead of where a one-second step from 0 degC leaves it: a body started at
// ambient stays there. Its middle's row becomes F[c] = x[c] - (x[a] + x[b])/2.
// Without a given face nothing changes.
void holdMiddleOfAStartedWall(const Model& model, Run& run, const ElementEntry& element, int a,
                              int b, int c) {
  bool given = false;
  for (int k = 1; k <= 2; ++k) {
    const int node = element.terminalMark[k] != 0 ? element.node[k] / 10 : element.node[k];
    double value = 0.0;
    const bool ground = node <= 0 || (node >= 100 && node <= 198);
    given = given || (!ground && startingPotential(model, node, value));
  }
  if (!given) return;
  holdUnknown(run, c, 0.0);
  run.F[c] = run.X[c] - (run.X[a] + run.X[b]) / 2.0;
  run.jacobian(c, a) -= 0.5;
  run.jacobian(c, b) -= 0.5;
}

// Shapes 1, 2, 3, 20, 30: halves (a, c) and (c, b), each with conductance
// G = factor·λ and capacity C = volume·ρ·c_p of its own material row:
//   q = G·(x[u] - x[v]);  F[u] -= q, F[v] += q;  J as a conductance
//   F[u] += -C/2·a0·(x[u] - H[u]) + P7/4, J[u][u] -= C/2·a0, and the same at v
// so the generated heat P7 (W) goes a quarter to each face and half to the middle.
// The own unknown Q is unused: F[Q] = x[Q], J[Q][Q] = 1.
int evaluateWall(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  Reporter& reporter = context.reporter;
  double* slots = element->realSlots;
  const int shape = shapeOf(slots[2]);

  if (shape == kExchanger && checkExchangerPartners(context, *element) != 0) return 9;
  if (run.initialPass != 0 || isFirstIteration(run)) {
    if (!knownShape(shape)) return reporter.modelError(kBadShape, quotedLine(*element));
    if (thermal::checkMaterialTable(context, *element) != 0) return 9;
  }
  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);
  const int c = unknownSlot(run, *element, 3);
  if (isFirstIteration(run)) {
    const ParameterStatement* material =
        thermal::lookupTable(context.model, thermal::materialTableId(*element));
    const double* x = run.X;
    const struct {
      int slot;
      double temperature;
    } rows[2] = {
        {shape == kExchanger ? kExchangerRow : kFirstHalfRow,
         shape == kExchanger ? (x[a] + x[b]) / 2.0 : (x[a] + x[c]) / 2.0},
        {kSecondHalfRow, (x[c] + x[b]) / 2.0},
    };
    // λ must be above 0: a wall that conducts nothing leaves its middle node
    // floating (and an exchanger without exchange is no exchanger).
    for (int k = 0; k < (shape == kExchanger ? 1 : 2); ++k) {
      double* out = slots + rows[k].slot;
      if (material == nullptr ||
          !thermal::materialRow(context.model, *material, rows[k].temperature, out,
                                kMaterialValues) ||
          !(out[kLambda] > 0.0 && out[kDensity] >= 0.0 && out[kSpecificHeat] >= 0.0)) {
        return reporter.modelError(kBadMaterial, quotedLine(*element));
      }
    }
  }
  if (shape == kExchanger) return evaluateExchangerWall(context, *element);
  if (isFirstIteration(run) && checkGeometry(context, *element, shape) != 0) return 9;

  const Geometry geometry = geometryOf(slots, shape);
  const double a0 = run.a0();
  const double generated = slots[7];
  const double* rowOf[2] = {slots + kFirstHalfRow, slots + kSecondHalfRow};
  const Half* halves[2] = {&geometry.first, &geometry.second};
  const int ends[2][2] = {{a, c}, {c, b}};
  double flows[2] = {};
  double capacity[2] = {};
  for (int h = 0; h < 2; ++h) {
    const double* material = rowOf[h];
    const double conductance = halves[h]->factor * material[kLambda];
    capacity[h] = halves[h]->volume * material[kDensity] * material[kSpecificHeat];
    flows[h] = thermal::stampConductance(run, ends[h][0], ends[h][1], conductance);
    for (int e = 0; e < 2; ++e) {
      const int u = ends[h][e];
      run.F[u] += -0.5 * capacity[h] * a0 * (run.X[u] - historyOf(run, u)) + 0.5 * (generated / 2.0);
      run.jacobian(u, u) -= 0.5 * capacity[h] * a0;
    }
  }
  const int own = unknownSlot(run, *element, 4);
  run.F[own] = run.X[own];
  run.jacobian(own, own) = 1.0;
  if (run.kt == 0) holdMiddleOfAStartedWall(context.model, run, *element, a, b, c);

  // Heat entering at face a and leaving at face b (W); their mean is the flow
  // through the wall, which a steady wall passes unchanged from a to b.
  const double storedAtA = 0.5 * capacity[0] * a0 * (run.X[a] - historyOf(run, a));
  const double storedAtB = 0.5 * capacity[1] * a0 * (run.X[b] - historyOf(run, b));
  const double enteringA = flows[0] + storedAtA - generated / 4.0;
  const double leavingB = flows[1] - storedAtB + generated / 4.0;
  const double flow = (enteringA + leavingB) / 2.0;
  voteChange(run, circuitTolerances(context.model), flow, slots[kVoteMemory]);

  if (recording(run)) {
    thermal::recordThermal(context.model, run, *element, run.X[a] - run.X[b], flow);
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 6] = enteringA;
      store[id + 7] = leavingB;
      store[id + 9] = run.X[c];
      store[id + 14] = halves[0]->factor * rowOf[0][kLambda];
      store[id + 15] = halves[1]->factor * rowOf[1][kLambda];
      store[id + 16] = capacity[0] + capacity[1];
      store[id + 17] = geometry.outerSurface;
      // The rate at which the wall stores heat, W: what enters at a, minus what
      // leaves at b, plus what it generates.
      store[id + 18] = enteringA - leavingB + generated;
    }
  }
  return 0;
}

}  // namespace movra

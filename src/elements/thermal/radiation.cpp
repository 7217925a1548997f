// Thermal radiation (48) between two nodes: q = K·(T1⁴ - T2⁴), temperatures in
// kelvin. Shapes 1 to 3 are whole two-surface enclosures; shape 4 is the surface
// resistance of one cylindrical surface (its node 2 is the surface's radiosity
// node) and shape 5 the space resistance between two such radiosity nodes.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/thermal/thermal.h"
#include "input/model_checks.h"

namespace movra {

namespace {

using thermal::kKelvinOffset;

constexpr char kBadShape[] = "形状ｉｄが？ \n\n %s";
constexpr char kBadEmissivities[] = "物性データが？ %e %e \n\n %s";
constexpr char kBadEmissivity[] = "物性データが？ \n\n %s";
constexpr char kBadData[] = "データが？ \n\n %s";
constexpr char kNotSurfaces[] = "一節 or 次節が表面抵抗でない？ \n\n %s";
constexpr char kNotSurfaceShape[] = "表面抵抗の形状ｉｄでない？ %d \n\n %s";
constexpr char kBadLength[] = "長さが？　%e %e %e \n\n %s";
constexpr char kConcaveFirst[] = "要素の方向が？　凸～凹の順？ +r %e %e %e \n\n %s";
constexpr char kNoDistanceToConcave[] = "凸面と凹面間は距離不要？ %e %e \n\n %s";
constexpr char kCylindersOverlap[] = "凹面の r1 は負の値？ %e %e %e \n\n %s";
constexpr char kUnequalLengths[] = "長さが？　 L1:%e L2:%e \n\n %s";
// A temperature below absolute zero is no state of matter: a network that settles
// there has data that cannot be meant (a negative heat source, say).
constexpr char kBelowAbsoluteZero[] = "絶対零度より低い温度？ %e %e \n\n %s";

constexpr double kStefanBoltzmann = 5.67e-08;
constexpr double kEnclosureEmissivityCap = 0.999;
constexpr double kSurfaceEmissivityLow = 0.0001;
constexpr double kSurfaceEmissivityHigh = 0.9999;
constexpr double kAreaGuard = 1e-9;
constexpr double kRadiusGuard = 1e-6;

constexpr int kEnclosureFlat = 1;
constexpr int kSurface = 4;
constexpr int kSpace = 5;
constexpr int kRadiationTypeCode = 48;

// Real slots: material rows at node 1 and node 2, the vote memory, and what a
// surface resistance publishes to the space resistances: its area and the view
// factor a space resistance wrote.
constexpr int kFirstRow = 20;
constexpr int kSecondRow = 30;
constexpr int kRowValues = 2;
constexpr int kVoteMemory = 11;
constexpr int kSurfaceArea = 50;
constexpr int kViewFactor = 51;
constexpr int kCoefficient = 52;

int shapeOf(double value) {
  return std::isfinite(value) && value > -1e9 && value < 1e9 ? static_cast<int>(value) : 0;
}

// T·|T|³: T⁴ for kelvin temperatures, and still monotonic (no NaN, no turning
// back) for an iterate that passes below absolute zero on its way.
double signedFourth(double t) { return t * std::fabs(t) * t * t; }

const ElementEntry* surfaceAt(const Model& model, const ElementEntry& element, int k) {
  const int row = element.variableSlots[kThermalLinkSlot + k];
  if (row < 1 || row > model.count.elements || row >= kElementCapacity) return nullptr;
  return &model.elements[row];
}

// A view factor is a share of what a surface emits: within 0..1 whatever the
// rounding, so that no conductance built from it turns negative.
double viewShare(double factor) {
  return std::isfinite(factor) ? std::clamp(factor, 0.0, 1.0) : 0.0;
}

// The view factor F12 of two parallel convex cylinders of radii r1, r2 at axis
// distance d (per unit length), times min(L2/L1, 1): a shorter second cylinder
// is seen over its own length only, a longer one cannot be seen more than fully.
// Cylinders that the radius guard has made touch (d < r1 + r2 by less than the
// guard) take the touching value rather than the root of a negative number.
double parallelCylinderFactor(double r1, double r2, double d, double l1, double l2) {
  const double ratio = r2 / r1;
  const double c = d / r1;
  const double bracket = kPi + std::sqrt(std::max(c * c - (ratio + 1.0) * (ratio + 1.0), 0.0)) -
                         std::sqrt(std::max(c * c - (ratio - 1.0) * (ratio - 1.0), 0.0)) +
                         (ratio - 1.0) * std::acos(std::clamp((ratio - 1.0) / c, -1.0, 1.0)) -
                         (ratio + 1.0) * std::acos(std::clamp((ratio + 1.0) / c, -1.0, 1.0));
  return viewShare(std::min(l2 / l1, 1.0) * bracket / (2.0 * kPi));
}

// K of the space resistance between the radiosity nodes of two surfaces.
int spaceCoefficient(EvaluationContext& context, ElementEntry& element, double& k,
                     double& factor) {
  Model& model = context.model;
  const char* line = quotedLine(element);
  const ElementEntry* firstSurface = surfaceAt(model, element, 0);
  const ElementEntry* secondSurface = surfaceAt(model, element, 1);
  if (firstSurface == nullptr || secondSurface == nullptr ||
      firstSurface->typeCode != kRadiationTypeCode ||
      secondSurface->typeCode != kRadiationTypeCode) {
    return context.reporter.modelError(kNotSurfaces, line);
  }
  for (const ElementEntry* surface : {firstSurface, secondSurface}) {
    const int shape = shapeOf(surface->realSlots[2]);
    if (shape != kSurface) return context.reporter.modelError(kNotSurfaceShape, shape, line);
  }
  double r1 = firstSurface->realSlots[3];
  const double l1 = firstSurface->realSlots[4];
  double r2 = secondSurface->realSlots[3];
  const double l2 = secondSurface->realSlots[4];
  const double a1 = 2.0 * kPi * std::fabs(r1) * l1 + kAreaGuard;
  const double a2 = 2.0 * kPi * std::fabs(r2) * l2 + kAreaGuard;
  const double d = element.realSlots[3];
  if (isFirstIteration(context.run)) {
    Reporter& reporter = context.reporter;
    if (l1 <= 0.0) return reporter.modelError(kBadLength, r1, l1, d, line);
    if (r1 < 0.0) return reporter.modelError(kConcaveFirst, r1, r2, d, line);
    if (r2 < 0.0 && d > 0.0) return reporter.modelError(kNoDistanceToConcave, r2, d, line);
    if (r2 >= 0.0 && d <= r1 + r2) return reporter.modelError(kCylindersOverlap, r1, r2, d, line);
    if (r2 < 0.0 && std::fabs(l1 - l2) > 1e-12 * std::max(std::fabs(l1), std::fabs(l2))) {
      return reporter.modelError(kUnequalLengths, l1, l2, line);
    }
  }
  r1 += kRadiusGuard;
  r2 += kRadiusGuard;
  ElementEntry& first = model.elements[element.variableSlots[kThermalLinkSlot]];
  ElementEntry& second = model.elements[element.variableSlots[kThermalLinkSlot + 1]];
  if (r2 > 0.0) {
    factor = parallelCylinderFactor(r1, r2, d, l1, l2);
    k = kStefanBoltzmann * a1 * factor;
    first.realSlots[kViewFactor] = factor;
    second.realSlots[kViewFactor] = viewShare(a1 * factor / a2);
  } else {
    // A convex surface inside a concave one sees the concave one wherever it does
    // not see another convex surface that an earlier element paired it with; with
    // no such element it sees only the concave one (F = 1).
    factor = viewShare(1.0 - first.realSlots[kViewFactor]);
    k = kStefanBoltzmann * a1 * factor;
  }
  return 0;
}

}  // namespace

// q = K·(T1·|T1|³ - T2·|T2|³), T = x + 273.15 (K):
//   F[a] -= q, F[b] += q;  dq/dx[a] = 4K·|T1|³, dq/dx[b] = -4K·|T2|³;  leak at a and b.
// Shapes 1..3: K = σ·A1/(1/ε1 + (1/ε2 - 1)·A1/A2), emissivities capped at 0.999.
// Shape 4: K = σ·ε·A/(1 - ε), A = 2π·|r|·L, ε within 0.0001..0.9999.
// Shape 5: K = σ·A1·F12 between the radiosity nodes of two shape-4 surfaces.
int evaluateRadiation(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  Reporter& reporter = context.reporter;
  double* slots = element->realSlots;
  const char* line = quotedLine(*element);
  const int shape = shapeOf(slots[2]);
  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);

  if (run.initialPass != 0 || isFirstIteration(run)) {
    if (shape < kEnclosureFlat || shape > kSpace) return reporter.modelError(kBadShape, line);
    if (shape != kSpace && thermal::checkMaterialTable(context, *element) != 0) return 9;
  }
  if (isFirstIteration(run)) {
    if (run.X[a] < -kKelvinOffset || run.X[b] < -kKelvinOffset) {
      return reporter.modelError(kBelowAbsoluteZero, run.X[a], run.X[b], line);
    }
    if (shape != kSpace) {
      const ParameterStatement* table =
          thermal::lookupTable(context.model, thermal::materialTableId(*element));
      const int rows[2] = {kFirstRow, kSecondRow};
      const double at[2] = {run.X[a], run.X[b]};
      for (int k = 0; k < 2; ++k) {
        double* out = slots + rows[k];
        const bool read = table != nullptr &&
                          thermal::materialRow(context.model, *table, at[k], out, kRowValues);
        if (!read || !(out[1] >= 0.0 && out[1] <= 1.0 && out[2] >= 0.0 && out[2] <= 1.0)) {
          return reporter.modelError(kBadEmissivities, out[1], out[2], line);
        }
      }
    }
  }

  double epsilon1 = slots[kFirstRow + 1];
  double epsilon2 = slots[kSecondRow + 2];
  double k = 0.0;
  double factor = 0.0;
  const bool checking = isFirstIteration(run);
  if (shape >= 1 && shape <= 3) {
    double a1 = slots[3];
    double a2 = slots[4];
    bool valid = false;
    if (shape == kEnclosureFlat) {
      valid = a1 > 0.0 && a2 > 0.0 && a2 >= a1;
    } else {
      const double r1 = slots[3];
      const double r2 = slots[4];
      valid = r1 > 0.0 && r1 < r2 && (shape == 2 || slots[5] > 0.0);
      a1 = shape == 2 ? 4.0 * kPi * r1 * r1 : 2.0 * kPi * r1 * slots[5];
      a2 = shape == 2 ? 4.0 * kPi * r2 * r2 : 2.0 * kPi * r2 * slots[5];
    }
    epsilon1 = std::min(epsilon1, kEnclosureEmissivityCap);
    epsilon2 = std::min(epsilon2, kEnclosureEmissivityCap);
    const double resistance = 1.0 / epsilon1 + (1.0 / epsilon2 - 1.0) * a1 / a2;
    if (checking && !(valid && resistance > 0.0)) return reporter.modelError(kBadData, line);
    k = valid && resistance > 0.0 ? kStefanBoltzmann * a1 / resistance : 0.0;
  } else if (shape == kSurface) {
    if (checking && slots[4] < 0.0) return reporter.modelError(kBadData, line);
    if (checking && epsilon1 > 1.0) return reporter.modelError(kBadEmissivity, line);
    epsilon1 = std::clamp(epsilon1, kSurfaceEmissivityLow, kSurfaceEmissivityHigh);
    slots[kSurfaceArea] = 2.0 * kPi * std::fabs(slots[3]) * slots[4];
    k = kStefanBoltzmann * epsilon1 * slots[kSurfaceArea] / (1.0 - epsilon1);
  } else if (shape == kSpace) {
    if (spaceCoefficient(context, *element, k, factor) != 0) return 9;
  }
  slots[kCoefficient] = k;

  const double t1 = run.X[a] + kKelvinOffset;
  const double t2 = run.X[b] + kKelvinOffset;
  const double q = k * (signedFourth(t1) - signedFourth(t2));
  const double g1 = 4.0 * k * std::fabs(t1 * t1 * t1);
  const double g2 = 4.0 * k * std::fabs(t2 * t2 * t2);
  run.F[a] -= q;
  run.F[b] += q;
  run.jacobian(a, a) -= g1;
  run.jacobian(a, b) += g2;
  run.jacobian(b, a) += g1;
  run.jacobian(b, b) -= g2;
  addLeak(run, a);
  addLeak(run, b);
  voteChange(run, circuitTolerances(context.model), q, slots[kVoteMemory]);

  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double difference = run.X[a] - run.X[b];
    const double power = -difference * q;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      store[id + 1] = difference;
      store[id + 2] = q;
      store[id + 3] = power;
      store[id + 4] = shape == kSurface ? slots[kSurfaceArea] : 0.0;
      store[id + 5] = shape == kSpace ? factor : 0.0;
      store[id + 7] = k;
      store[id + 8] = epsilon1;
      store[id + 9] = epsilon2;
      store[id + 10] += power * recordedStepLength(run);
      recordPeriodMeans(store, id, run, difference, q, power);
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  return 0;
}

}  // namespace movra

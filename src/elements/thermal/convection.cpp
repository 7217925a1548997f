// Natural convection (44 from a body to the surrounding fluid, 45 across a
// fluid-filled gap): a conductance G = h·A from published correlations, with the
// fluid's properties taken from its table at the mean temperature of the nodes.
// G is recomputed at every iteration and enters the Jacobian as a constant.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/thermal/thermal.h"

namespace movra {

namespace {

using thermal::kBadMaterial;
using thermal::kCouplingFloor;

constexpr char kBadBody[] = "数値が？ \n\n %s";
constexpr char kBadGap[] = "数値が？  \n\n %s";
constexpr char kBadSpheres[] = "形状データが？ \n\n %s";

constexpr double kGravity = 9.81;

// Shapes: the written shape for 44, the written shape + 10 for 45.
constexpr int kPlate = 1;
constexpr int kSphere = 2;
constexpr int kCylinder = 3;
constexpr int kPlateGap = 11;
constexpr int kSphereGap = 12;
constexpr int kCylinderGap = 13;
// Two further concentric-cylinder forms: Kuehn and Goldstein's inner cylinder
// held to the conduction limit of the annulus, and the Raithby-Hollands ratio
// blended smoothly into conduction. Written as 103 or 130 on either keyword.
constexpr int kCylinderGapLayer = 103;
constexpr int kCylinderGapBlend = 130;
constexpr int kGapShapeOffset = 10;
// Exponent of the smooth maximum that joins a convection law to conduction.
constexpr double kBlendExponent = 15.0;

// Real slots: the fluid row (temperature, λ, ρ, c_p, μ, β) and the vote memory.
constexpr int kFluidRow = 20;
constexpr int kFluidValues = 5;
constexpr int kVoteMemory = 11;
// Integer slot with the range flag: 1 when the correlation is used outside the
// range it was fitted over.
constexpr int kRangeFlagSlot = 60;

struct Fluid {
  double lambda = 0.0;
  double density = 0.0;
  double specificHeat = 0.0;
  double viscosity = 0.0;
  double expansion = 0.0;
  double prandtl() const { return viscosity * specificHeat / lambda; }
  // Rayleigh number over a length x at a temperature difference dt.
  double rayleigh(double dt, double x) const {
    const double nu = viscosity / density;
    const double alpha = lambda / (density * specificHeat);
    return kGravity * expansion * std::fabs(dt) * x * x * x / (nu * alpha);
  }
};

// Orientation 1 (heated side up), 0 (vertical), -1 (heated side down) as an
// inclination in degrees; -1 for any other value.
double inclinationOf(double o) {
  if (o == 1.0) return 0.0;
  if (o == 0.0) return 90.0;
  if (o == -1.0) return 180.0;
  return -1.0;
}

int shapeOf(double value, bool acrossGap) {
  const int written =
      std::isfinite(value) && value > -1e9 && value < 1e9 ? static_cast<int>(value) : 0;
  if (written == kCylinderGapLayer || written == kCylinderGapBlend) return written;
  return written + (acrossGap ? kGapShapeOffset : 0);
}

struct Result {
  double conductance = 0.0;
  double area = 0.0;
  double nusselt = 0.0;
  double rayleigh = 0.0;
  double aspect = 0.0;  // H/δ of a vertical gap
  bool outOfRange = false;
};

double squareCos(double degrees) {
  const double c = std::cos(degrees * kRadiansPerDegree);
  return c * c;
}

bool nearAngle(double theta, double target) { return std::fabs(theta - target) <= 10.0; }

// Churchill and Chu for a vertical plate of height a.
double verticalPlateNusselt(double rayleigh, double prandtl) {
  const double root = 0.825 + 0.387 * std::pow(rayleigh, 1.0 / 6.0) /
                                  std::pow(1.0 + std::pow(0.492 / prandtl, 9.0 / 16.0), 8.0 / 27.0);
  return root * root;
}

// Nusselt number of a flat face in a still fluid by conduction alone, over
// L* = A/P: an isothermal disk on a half space conducts S = 2·D (Incropera,
// Table 4.1), h = 8λ/(π·D) = (2/π)·λ/L*.
constexpr double kStillFaceNusselt = 2.0 / kPi;

// An inclined plate. `starting` (the first iteration of a step) holds the
// horizontal films at least at the still face's: at no temperature difference,
// where a static run starts, Ra = 0 gives them h = 0, and the 1e-9 W/K floor
// alone would throw the first iterate to some 1e9 K. Later iterations take h
// from the iterate as before, so the settled state is the correlation's.
Result plate(const double* p, const Fluid& fluid, double dt, bool starting) {
  Result r;
  const double a = p[3];
  const double b = p[4];
  const double theta = std::fmod(std::fmod(inclinationOf(p[5]), 360.0) + 360.0, 360.0);
  r.area = a * b;
  const double characteristic = a * b / (2.0 * (a + b));
  const double raL = fluid.rayleigh(dt, characteristic);
  const double raA = fluid.rayleigh(dt, a);
  const double pr = fluid.prandtl();
  const double nuV = verticalPlateNusselt(raA, pr);
  const double hV = nuV * fluid.lambda / a;
  double h = 0.0;
  double nuUp = 0.0;
  double nuDown = 0.0;
  if ((theta >= 0.0 && theta < 90.0) || (theta >= 270.0 && theta <= 360.0)) {
    nuUp = std::pow(std::pow(0.54 * std::pow(raL, 0.25), 5.0) +
                        std::pow(0.15 * std::cbrt(raL), 5.0),
                    0.2);
    if (starting) nuUp = std::max(nuUp, kStillFaceNusselt);
    const double hUp = nuUp * fluid.lambda / characteristic;
    const double c2 = squareCos(theta);
    h = hUp * c2 + (1.0 - c2) * hV;
  } else {
    nuDown = 0.27 * std::pow(raL, 0.25);
    if (starting) nuDown = std::max(nuDown, kStillFaceNusselt);
    const double hDown = nuDown * fluid.lambda / characteristic;
    const double s2 = 1.0 - squareCos(theta);
    h = hV * s2 + (1.0 - s2) * hDown;
  }
  r.conductance = h * r.area;
  if (nearAngle(theta, 0.0) || nearAngle(theta, 360.0)) {
    r.nusselt = nuUp;
    r.rayleigh = raL;
    r.outOfRange = raL < 1e4 || raL > 1e11 || pr < 0.5;
  } else if (nearAngle(theta, 90.0) || nearAngle(theta, 270.0)) {
    r.nusselt = nuV;
    r.rayleigh = raA;
    r.outOfRange = raA < 0.1 || raA > 1e12;
  } else if (nearAngle(theta, 180.0)) {
    // Horizontal too, heated side down: the same limits as heated side up.
    r.nusselt = nuDown;
    r.rayleigh = raL;
    r.outOfRange = raL < 1e4 || raL > 1e11 || pr < 0.5;
  }
  return r;
}

Result gap(const double* p, const Fluid& fluid, double dt) {
  Result r;
  const double height = p[3];
  const double width = p[4];
  const double delta = p[5] + 1e-9;
  const double theta = std::fmod(std::fmod(inclinationOf(p[6]), 360.0) + 360.0, 360.0);
  r.area = height * width;
  const double ra = fluid.rayleigh(dt, delta) + 1e-6;
  const double pr = fluid.prandtl();
  const double nuV = std::max({0.197 * std::pow(ra, 0.25) * std::pow(height / delta, -1.0 / 9.0),
                               0.065 * std::cbrt(ra), 1.0});
  double nu = 0.0;
  if ((theta >= 0.0 && theta <= 90.0) || (theta >= 270.0 && theta <= 360.0)) {
    const double nuH = 1.0 + 1.44 * std::max(0.0, 1.0 - 1708.0 / ra) +
                       std::max(0.0, std::cbrt(ra / 5830.0) - 1.0);
    const double c2 = squareCos(theta);
    nu = (nuH - nuV) * c2 + nuV;
    if (nearAngle(theta, 0.0) || nearAngle(theta, 360.0)) {
      r.outOfRange = ra < 1.0 || ra > 1e8 || pr < 0.5 || pr > 1e5;
    }
  } else {
    const double s2 = 1.0 - squareCos(theta);
    nu = (nuV - 1.0) * s2 + 1.0;
  }
  if (theta == 90.0) {
    r.aspect = height / delta;
    r.outOfRange = ra < 1.0 || ra > 1e10 || pr < 0.001 || pr > 1e5 || r.aspect < 1.0 ||
                   r.aspect > 40.0;
  }
  r.nusselt = std::max(nu, 1.0);
  r.rayleigh = ra;
  r.conductance = r.nusselt * fluid.lambda / delta * r.area;
  return r;
}

// The larger of a and b, rounded off over the crossing: (a^n + b^n)^(1/n) with
// n = 15, written so that large Nusselt numbers cannot overflow.
double smoothMax(double a, double b) {
  const double high = std::max(a, b);
  if (!(high > 0.0)) return 0.0;
  const double low = std::min(a, b) / high;
  return high * std::pow(1.0 + std::pow(low, kBlendExponent), 1.0 / kBlendExponent);
}

// Kuehn and Goldstein's horizontal cylinder in an unbounded fluid, over its
// diameter: Nu* = smoothMax(0.518·Ra^¼·[1 + (0.559/Pr)^⅗]^(-5/12), 0.1·Ra^⅓)
// for the boundary layer, Nu = 2 / ln(1 + 2/Nu*) for the conduction film around it.
double kuehnGoldsteinCylinder(double rayleigh, double prandtl) {
  const double laminar = 0.518 * std::pow(rayleigh, 0.25) *
                         std::pow(1.0 + std::pow(0.559 / prandtl, 0.6), -5.0 / 12.0);
  const double layer = smoothMax(laminar, 0.1 * std::cbrt(rayleigh));
  return layer > 0.0 ? 2.0 / std::log1p(2.0 / layer) : 0.0;
}

// Concentric horizontal cylinders, inner radius p[3], outer radius p[4], length p[5].
//  13: Raithby-Hollands: Ra_c = ln(Do/Di)^4·Ra_δ / (δ³·(Di^-⅗ + Do^-⅗)^5),
//      k = max(1, 0.386·(Pr/(0.861 + Pr))^¼·Ra_c^¼), G = 2π·L·k·λ / ln(Do/Di).
//  130: the same k joined to 1 by smoothMax instead of max.
//  103: Kuehn-Goldstein over Di, held up to the conduction of the annulus:
//      Nu = smoothMax(Nu_KG(Ra_Di), 2/ln(Do/Di)), G = Nu·λ·π·L (h = Nu·λ/Di on π·Di·L).
// Flagged beyond the fits: Ra_c > 1e7 or Pr outside 0.7..6000 (13, 130);
// Ra_Di > 1e7 or Pr outside 0.7..6000 (103).
Result cylinderGap(int shape, const double* p, const Fluid& fluid, double dt) {
  Result r;
  const double pr = fluid.prandtl();
  const double di = 2.0 * p[3];
  const double dout = 2.0 * p[4];
  const double length = p[5];
  // Walls that touch (r1 = r2) would conduct without bound; the floor keeps G finite.
  const double logRatio = std::max(std::log(dout / di), 1e-9);
  r.area = kPi * di * length;
  const bool prandtlOutside = pr < 0.7 || pr > 6000.0;
  if (shape == kCylinderGapLayer) {
    const double raInner = fluid.rayleigh(dt, di);
    r.rayleigh = raInner;
    r.nusselt = smoothMax(kuehnGoldsteinCylinder(raInner, pr), 2.0 / logRatio);
    r.conductance = r.nusselt * fluid.lambda * kPi * length;
    r.outOfRange = raInner > 1e7 || prandtlOutside;
    return r;
  }
  const double delta = (dout - di) / 2.0;
  const double raDelta = fluid.rayleigh(dt, delta);
  const double spread = std::pow(di, -0.6) + std::pow(dout, -0.6);
  const double cube = std::max(delta * delta * delta, 1e-27);
  r.rayleigh = std::pow(logRatio, 4.0) * raDelta / (cube * std::pow(spread, 5.0));
  const double ratio = 0.386 * std::pow(pr / (0.861 + pr), 0.25) * std::pow(r.rayleigh, 0.25);
  r.nusselt = shape == kCylinderGapBlend ? smoothMax(1.0, ratio) : std::max(1.0, ratio);
  r.conductance = 2.0 * kPi * length * r.nusselt * fluid.lambda / logRatio;
  r.outOfRange = r.rayleigh > 1e7 || prandtlOutside;
  return r;
}

Result evaluateShape(int shape, const double* p, const Fluid& fluid, double dt, bool starting) {
  Result r;
  const double pr = fluid.prandtl();
  switch (shape) {
    case kPlate:
      return plate(p, fluid, dt, starting);
    case kSphere: {
      const double d = 2.0 * p[3];
      r.area = 4.0 * kPi * p[3] * p[3];
      r.rayleigh = fluid.rayleigh(dt, d);
      r.nusselt = 2.0 + 0.589 * std::pow(r.rayleigh, 0.25) /
                            std::pow(1.0 + std::pow(0.469 / pr, 9.0 / 16.0), 4.0 / 9.0);
      r.conductance = r.nusselt * fluid.lambda / d * r.area;
      r.outOfRange = r.rayleigh > 1e11 || pr < 0.001;
      return r;
    }
    case kCylinder: {
      const double d = 2.0 * p[3];
      r.area = kPi * d * p[4];
      r.rayleigh = fluid.rayleigh(dt, d);
      const double root = 0.6 + 0.387 * std::pow(r.rayleigh, 1.0 / 6.0) /
                                    std::pow(1.0 + std::pow(0.559 / pr, 9.0 / 16.0), 8.0 / 27.0);
      r.nusselt = root * root;
      r.conductance = r.nusselt * fluid.lambda / d * r.area;
      r.outOfRange = r.rayleigh < 1e-5 || r.rayleigh > 1e12;
      return r;
    }
    case kPlateGap:
      return gap(p, fluid, dt);
    case kSphereGap: {
      // Raithby and Hollands over the geometric Rayleigh number of the shell,
      // Ra_s = L_c·Ra_Lc / ((Di·Do)^4·(Di^-7/5 + Do^-7/5)^5), L_c = r2 - r1:
      // k_eff/k = max(1, 0.74·(Pr/(0.861 + Pr))^¼·Ra_s^¼), G = k_eff·π·Di·Do/L_c.
      // A gap of width 0 conducts without bound; 1e-9 m keeps it finite.
      const double delta = p[4] - p[3] + 1e-9;
      const double di = 2.0 * p[3];
      const double dout = 2.0 * p[4];
      const double spread = std::pow(di, -1.4) + std::pow(dout, -1.4);
      r.area = 4.0 * kPi * p[3] * p[3];
      r.rayleigh =
          delta * fluid.rayleigh(dt, delta) / (std::pow(di * dout, 4.0) * std::pow(spread, 5.0));
      r.nusselt =
          std::max(1.0, 0.74 * std::pow(pr / (0.861 + pr), 0.25) * std::pow(r.rayleigh, 0.25));
      r.conductance = r.nusselt * fluid.lambda * 4.0 * kPi * p[3] * p[4] / delta;
      r.outOfRange = r.rayleigh < 100.0 || r.rayleigh > 1e7 || pr < 0.7 || pr > 4000.0;
      return r;
    }
    case kCylinderGap:
    case kCylinderGapLayer:
    case kCylinderGapBlend:
      return cylinderGap(shape, p, fluid, dt);
    default:
      return r;
  }
}

// The geometry checks; 0 or 9 after the message.
int checkGeometry(EvaluationContext& context, ElementEntry& element, int shape) {
  const double* p = element.realSlots;
  Reporter& reporter = context.reporter;
  const char* line = quotedLine(element);
  switch (shape) {
    case kPlate:
      if (p[3] > 0.0 && p[4] > 0.0 && inclinationOf(p[5]) >= 0.0) return 0;
      return reporter.modelError(kBadBody, line);
    case kSphere:
      if (p[3] > 0.0) return 0;
      return reporter.modelError(kBadBody, line);
    case kCylinder:
      if (p[3] > 0.0 && p[4] > 0.0) return 0;
      return reporter.modelError(kBadBody, line);
    case kPlateGap:
      if (p[3] > 0.0 && p[4] > 0.0 && p[5] >= 0.0 && inclinationOf(p[6]) >= 0.0) return 0;
      return reporter.modelError(kBadGap, line);
    case kSphereGap:
      if (p[3] > 0.0 && p[3] <= p[4]) return 0;
      return reporter.modelError(kBadSpheres, line);
    case kCylinderGap:
    case kCylinderGapLayer:
    case kCylinderGapBlend:
      if (p[3] > 0.0 && p[3] <= p[4] && p[5] > 0.0) return 0;
      return reporter.modelError(kBadGap, line);
    default:
      // A shape no correlation belongs to.
      return reporter.modelError(shape < kGapShapeOffset ? kBadBody : kBadGap, line);
  }
}

}  // namespace

// G = h·A (+1e-9 W/K) between a (surface, or first wall) and b (fluid, or second
// wall): q = G·(x[a] - x[b]);  F[a] -= q, F[b] += q;  J as a conductance; leak at a, b.
int evaluateNaturalConvection(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  Reporter& reporter = context.reporter;
  double* slots = element->realSlots;
  const bool acrossGap = element->typeCode == 45;
  const int shape = shapeOf(slots[2], acrossGap);
  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);

  if ((run.initialPass != 0 || isFirstIteration(run)) &&
      thermal::checkMaterialTable(context, *element) != 0) {
    return 9;
  }
  if (isFirstIteration(run)) {
    const ParameterStatement* table =
        thermal::lookupTable(context.model, thermal::materialTableId(*element));
    double* out = slots + kFluidRow;
    const bool read = table != nullptr && thermal::materialRow(context.model, *table,
                                                               (run.X[a] + run.X[b]) / 2.0, out,
                                                               kFluidValues);
    bool positive = read;
    for (int k = 1; k <= kFluidValues; ++k) positive = positive && out[k] > 0.0;
    if (!positive) return reporter.modelError(kBadMaterial, quotedLine(*element));
    if (checkGeometry(context, *element, shape) != 0) return 9;
  }

  const Fluid fluid{slots[kFluidRow + 1], slots[kFluidRow + 2], slots[kFluidRow + 3],
                    slots[kFluidRow + 4], slots[kFluidRow + 5]};
  const double difference = run.X[a] - run.X[b];
  // h follows the iterate without a derivative: the iteration is a fixed point in
  // h, which settles fast since h grows only with a small power of the difference.
  {
    const Result result = evaluateShape(shape, slots, fluid, difference, isFirstIteration(run));
    slots[kFluidRow + 6] = result.conductance + kCouplingFloor;
    slots[kFluidRow + 7] = result.nusselt;
    slots[kFluidRow + 8] = result.rayleigh;
    slots[kFluidRow + 9] = result.aspect;
    slots[kFluidRow + 10] = result.area;
    element->variableSlots[kRangeFlagSlot] = result.outOfRange ? 1 : 0;
  }
  const double conductance = slots[kFluidRow + 6];
  const double q = thermal::stampConductance(run, a, b, conductance);
  addLeak(run, a);
  addLeak(run, b);
  voteChange(run, circuitTolerances(context.model), q, slots[kVoteMemory]);

  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double power = -difference * q;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      const double area = slots[kFluidRow + 10];
      store[id + 1] = difference;
      store[id + 2] = q;
      store[id + 3] = slots[kFluidRow + 7];
      store[id + 4] = slots[kFluidRow + 8];
      store[id + 5] = fluid.prandtl();
      store[id + 6] = slots[kFluidRow + 9];
      store[id + 7] = fluid.lambda;
      store[id + 8] = fluid.specificHeat;
      store[id + 9] = fluid.expansion;
      store[id + 10] = slots[kFluidRow];
      recordPeriodMeans(store, id, run, difference, q, slots[kFluidRow + 7]);
      store[id + 14] = area > 0.0 ? (conductance - kCouplingFloor) / area : 0.0;  // h
      store[id + 15] = area;
      store[id + 16] = conductance;
      store[id + 17] = element->variableSlots[kRangeFlagSlot];
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  // The view draws the symbol of a correlation used beyond its fit in the warning colour.
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayState] = element->variableSlots[kRangeFlagSlot];
    }
  }
  return 0;
}

}  // namespace movra

// The laws behind the pipes and restrictions.
//
// Liquid pipe (mean velocity v = q/A, Re = ρ·|v|·d/μ, Darcy factor f):
//   laminar     Δp = 32·μ·L·v/d²                       (Hagen–Poiseuille, f = 64/Re)
//   turbulent   Δp = f·(L/d)·ρ·v·|v|/2,  f = 0.3164·Re^-0.25 (Blasius, smooth, Re ≤ 1e5)
//               or 1/√f = -2·log10(ε/(3.71·d) + 2.51/(Re·√f))  (Colebrook–White)
// Liquid orifice (Merritt): q = C_d·A·√(2·|Δp|/ρ)·sign Δp, continued linearly below
//   p_t = (ρ/2)·(Re_c·μ/(ρ·C_d·d))² with Re_c = 12, where the jet turns laminar.
// Air orifice, upstream p_u, downstream p_d, r = p_d/p_u, R_s = 8.31/0.029, T = 300 K:
//   choked (r ≤ r_c = (2/(γ+1))^(γ/(γ-1)) = 0.528)
//     ṁ = C_d·A·p_u·√(γ/(R_s·T)·(2/(γ+1))^((γ+1)/(γ-1)))
//   subsonic  ṁ = C_d·A·p_u·√(2γ/((γ-1)·R_s·T)·(r^(2/γ) - r^((γ+1)/γ)))
//   and for r > 0.999 the straight line from that point to ṁ = 0 at r = 1, whose
//   slope stays finite where the subsonic law's does not.
// Isothermal air line (mass flux G = ρ_n·q/A, Re = |G|·d/μ, long-pipe form):
//   p_a² - p_b² = f·(L/d)·G·|G|·R_s·T,  i.e.  Δp = f·(L/d)·G·|G|·R_s·T/(p_a + p_b).
// Air flows are normal volume flows: m³/s at 101300 Pa and 273.15 K.
#include "elements/fluid/line_laws.h"

#include <algorithm>
#include <cmath>

namespace movra {

namespace {

constexpr double kPi = 3.141592653589793;
// Central differences: a perturbation of 1e-8 of the value, at least 1e-8 of the
// smallest scale of the quantity, so that neither rounding nor curvature dominates.
constexpr double kPerturbation = 1e-8;
constexpr double kFlowScale = 1e-6;      // m³/s
constexpr double kPressureScale = 1.0;   // Pa
// Floor of the pressure sum of the air line (Pa): a line at vacuum is no line.
constexpr double kLeastPressureSum = 1.0;

double step(double value, double scale) {
  return kPerturbation * std::max(std::fabs(value), scale);
}

double reynoldsOf(double density, double velocity, double diameter, double viscosity) {
  return viscosity > 0.0 ? density * std::fabs(velocity) * diameter / viscosity : 0.0;
}

// Darcy factor of a turbulent regime.
double turbulentFactor(int regime, double reynolds, double relativeRoughness) {
  if (!(reynolds > 0.0)) return 0.0;
  if (regime == kBlasius) return 0.3164 / std::pow(reynolds, 0.25);
  return colebrookFactor(reynolds, relativeRoughness);
}

}  // namespace

double airGasConstant() { return kGasConstant / kAirMolarMass; }

double normalAirDensity() {
  return kNormalPressure * kAirMolarMass / (kGasConstant * kNormalTemperature);
}

double criticalPressureRatio() {
  return std::pow(2.0 / (kHeatRatio + 1.0), kHeatRatio / (kHeatRatio - 1.0));
}

double LineLaw::area() const { return kPi * diameter * diameter / 4.0; }

bool roughnessInRange(double roughness, double diameter) {
  return roughness >= 0.0 && diameter > 0.0 &&
         roughness <= kLargestRelativeRoughness * diameter;
}

double colebrookFactor(double reynolds, double relativeRoughness) {
  if (!(reynolds > 0.0)) return 0.0;
  // Start from the explicit Swamee–Jain factor; the fixed point converges in a few steps.
  const double start = std::log10(relativeRoughness / 3.7 + 5.74 / std::pow(reynolds, 0.9));
  double x = -2.0 * start;
  for (int k = 0; k < 100; ++k) {
    const double next = -2.0 * std::log10(relativeRoughness / 3.71 + 2.51 * x / reynolds);
    const bool settled = std::fabs(next - x) <= 1e-14 * std::fabs(next);
    x = next;
    if (settled) break;
  }
  return 1.0 / (x * x);
}

int nextPipeRegime(int previous, double reynolds, double roughness) {
  if (previous == kLaminar || previous < kLaminar || previous > kColebrook) {
    if (!(reynolds > kTurbulentReynolds)) return kLaminar;
    return roughness == 0.0 && reynolds <= kBlasiusLimit ? kBlasius : kColebrook;
  }
  if (reynolds < kLaminarReynolds) return kLaminar;
  if (roughness != 0.0) return kColebrook;
  if (previous == kBlasius) return reynolds <= kBlasiusLimit ? kBlasius : kColebrook;
  return reynolds < 0.9 * kBlasiusLimit ? kBlasius : kColebrook;
}

double liquidPipeDrop(const LineLaw& law, int regime, double flow, LinePoint* point) {
  const double area = law.area();
  const double d = law.diameter;
  const double velocity = flow / area;
  const double reynolds = reynoldsOf(law.density, velocity, d, law.viscosity);
  double factor = 0.0;
  double drop = 0.0;
  if (regime == kLaminar) {
    drop = 32.0 * law.viscosity * law.length * velocity / (d * d);
    factor = reynolds > 0.0 ? 64.0 / reynolds : 0.0;
  } else {
    factor = turbulentFactor(regime, reynolds, law.roughness / d);
    drop = factor * (law.length / d) * law.density * velocity * std::fabs(velocity) / 2.0;
  }
  if (point != nullptr) *point = {reynolds, factor, law.density * flow};
  return drop;
}

double liquidOrificeFlow(const LineLaw& law, double drop, int* regime) {
  const double opening = law.discharge * law.area();
  const double scale = kOrificeReynolds * law.viscosity / (law.density * law.discharge * law.diameter);
  const double transition = std::max(law.density / 2.0 * scale * scale, 1e-12);
  const bool linear = std::fabs(drop) < transition;
  if (regime != nullptr) *regime = linear ? kOrificeLinear : kOrificeFlow;
  if (linear) return opening * std::sqrt(2.0 * transition / law.density) * drop / transition;
  const double flow = opening * std::sqrt(2.0 * std::fabs(drop) / law.density);
  return drop < 0.0 ? -flow : flow;
}

namespace {

// Mass flow per unit upstream pressure and opening at pressure ratio r (s/m).
double orificeFlux(double ratio) {
  const double g = kHeatRatio;
  const double rt = airGasConstant() * kGasTemperature;
  if (ratio <= criticalPressureRatio()) {
    return std::sqrt(g / rt * std::pow(2.0 / (g + 1.0), (g + 1.0) / (g - 1.0)));
  }
  const double terms = std::pow(ratio, 2.0 / g) - std::pow(ratio, (g + 1.0) / g);
  return std::sqrt(std::max(0.0, 2.0 * g / ((g - 1.0) * rt) * terms));
}

}  // namespace

double airOrificeMassFlow(const LineLaw& law, double pa, double pb, int* regime) {
  const bool forward = pa >= pb;
  const double upstream = forward ? pa : pb;
  const double downstream = forward ? pb : pa;
  if (!(upstream > 0.0)) {
    if (regime != nullptr) *regime = kOrificeLinear;
    return 0.0;
  }
  const double ratio = std::max(downstream, 0.0) / upstream;
  const double opening = law.discharge * law.area();
  double flux = 0.0;
  int chosen = kOrificeFlow;
  if (ratio > kLinearPressureRatio) {
    flux = orificeFlux(kLinearPressureRatio) * (1.0 - ratio) / (1.0 - kLinearPressureRatio);
    chosen = kOrificeLinear;
  } else {
    flux = orificeFlux(ratio);
    chosen = ratio <= criticalPressureRatio() ? kChoked : kOrificeFlow;
  }
  if (regime != nullptr) *regime = chosen;
  const double mass = opening * upstream * flux;
  return forward ? mass : -mass;
}

double airLineDrop(const LineLaw& law, int regime, double flow, double pressureSum,
                   LinePoint* point) {
  const double d = law.diameter;
  const double flux = normalAirDensity() * flow / law.area();  // kg/(m²·s)
  const double reynolds = law.viscosity > 0.0 ? std::fabs(flux) * d / law.viscosity : 0.0;
  double factor = 0.0;
  double fluxTerm = 0.0;  // f·G·|G|
  if (regime == kLaminar) {
    fluxTerm = 64.0 * law.viscosity * flux / d;
    factor = reynolds > 0.0 ? 64.0 / reynolds : 0.0;
  } else {
    factor = turbulentFactor(regime, reynolds, law.roughness / d);
    fluxTerm = factor * flux * std::fabs(flux);
  }
  if (point != nullptr) *point = {reynolds, factor, normalAirDensity() * flow};
  const double sum = std::max(pressureSum, kLeastPressureSum);
  return fluxTerm * (law.length / d) * airGasConstant() * kGasTemperature / sum;
}

LineRow lineRowOf(const LineLaw& law, int previousRegime, double pa, double pb, double flow) {
  LineRow row;
  const double drop = pa - pb;
  switch (law.kind) {
    case LineKind::kLiquidPipe: {
      LinePoint now;
      liquidPipeDrop(law, kLaminar, flow, &now);
      row.regime = nextPipeRegime(previousRegime, now.reynolds, law.roughness);
      row.residual = liquidPipeDrop(law, row.regime, flow, &row.point) - drop;
      const double h = step(flow, kFlowScale);
      row.byFlow = (liquidPipeDrop(law, row.regime, flow + h) -
                    liquidPipeDrop(law, row.regime, flow - h)) / (2.0 * h);
      row.byUpstream = -1.0;
      row.byDownstream = 1.0;
      return row;
    }
    case LineKind::kAirLine: {
      LinePoint now;
      const double sum = pa + pb;
      airLineDrop(law, kLaminar, flow, sum, &now);
      row.regime = nextPipeRegime(previousRegime, now.reynolds, law.roughness);
      row.residual = airLineDrop(law, row.regime, flow, sum, &row.point) - drop;
      const double h = step(flow, kFlowScale);
      row.byFlow = (airLineDrop(law, row.regime, flow + h, sum) -
                    airLineDrop(law, row.regime, flow - h, sum)) / (2.0 * h);
      const double k = step(sum, kPressureScale);
      const double bySum = (airLineDrop(law, row.regime, flow, sum + k) -
                            airLineDrop(law, row.regime, flow, sum - k)) / (2.0 * k);
      row.byUpstream = bySum - 1.0;
      row.byDownstream = bySum + 1.0;
      return row;
    }
    case LineKind::kLiquidOrifice: {
      const double through = liquidOrificeFlow(law, drop, &row.regime);
      row.residual = flow - through;
      const double h = step(drop, kPressureScale);
      const double slope =
          (liquidOrificeFlow(law, drop + h) - liquidOrificeFlow(law, drop - h)) / (2.0 * h);
      row.byFlow = 1.0;
      row.byUpstream = -slope;
      row.byDownstream = slope;
      const double velocity = through / law.area();
      row.point = {reynoldsOf(law.density, velocity, law.diameter, law.viscosity), 0.0,
                   law.density * through};
      return row;
    }
    case LineKind::kAirOrifice: {
      const double normal = normalAirDensity();
      const double mass = airOrificeMassFlow(law, pa, pb, &row.regime);
      row.residual = flow - mass / normal;
      const double ha = step(pa, kPressureScale);
      const double hb = step(pb, kPressureScale);
      row.byFlow = 1.0;
      row.byUpstream = -(airOrificeMassFlow(law, pa + ha, pb) -
                         airOrificeMassFlow(law, pa - ha, pb)) / (2.0 * ha * normal);
      row.byDownstream = -(airOrificeMassFlow(law, pa, pb + hb) -
                           airOrificeMassFlow(law, pa, pb - hb)) / (2.0 * hb * normal);
      row.point = {std::fabs(mass) * 4.0 / (kPi * law.diameter * kAirViscosity), 0.0, mass};
      return row;
    }
  }
  return row;
}

}  // namespace movra

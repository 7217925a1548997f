// The flow laws of the fluid pipes and restrictions, free of the equation system
// so that tests can hold them against closed forms.
#pragma once

namespace movra {

// Variants of the evaluator of codes 55..58, and the pipe element 53.
inline constexpr int kLiquidLineVariant = 0;     // 56 "Hl"
inline constexpr int kLiquidOrificeVariant = 1;  // 55 "Ho"
inline constexpr int kAirLineVariant = 2;        // 58 "Al"
inline constexpr int kAirOrificeVariant = 3;     // 57 "Ao"
inline constexpr int kPipeVariant = 53;          // 53 "Lf", "Of"

// Regimes, kept in the element's integer slot 12 and recorded at +5.
inline constexpr int kLaminar = 0;          // Hagen–Poiseuille, f = 64/Re
inline constexpr int kBlasius = 1;          // smooth turbulent, f = 0.3164·Re^-0.25
inline constexpr int kColebrook = 2;        // rough (or very fast) turbulent
inline constexpr int kOrificeFlow = 3;      // orifice: turbulent liquid, subsonic gas
inline constexpr int kChoked = 4;           // gas orifice at sonic speed
inline constexpr int kOrificeLinear = 5;    // orifice near zero pressure difference

// Laminar flow turns turbulent above the upper Reynolds number and returns below the
// lower; between them the pipe keeps its regime, so Newton cannot hop across the jump
// of the friction factor.
inline constexpr double kTurbulentReynolds = 4000.0;
inline constexpr double kLaminarReynolds = 2300.0;
// A smooth pipe uses Blasius up to this Reynolds number (its range of validity),
// Colebrook–White above it; it returns to Blasius below 0.9 of it.
inline constexpr double kBlasiusLimit = 1e5;
// Largest relative roughness ε/d (the edge of the Moody chart).
inline constexpr double kLargestRelativeRoughness = 0.05;
// Critical Reynolds number of the orifice's laminar branch.
inline constexpr double kOrificeReynolds = 12.0;
// Gas orifice: below 1 - r of this the flow is the linear continuation.
inline constexpr double kLinearPressureRatio = 0.999;

// Defaults of empty fields: mineral hydraulic oil ISO VG 32 near 40 °C, air near 300 K.
inline constexpr double kOilDensity = 870.0;           // kg/m³
inline constexpr double kOilViscosity = 0.0278;        // Pa·s
inline constexpr double kAirViscosity = 1.81e-5;       // Pa·s
inline constexpr double kSharpEdgeDischarge = 0.61;    // discharge coefficient

// Air: normal state and the upstream temperature of the gas laws.
inline constexpr double kNormalPressure = 101300.0;  // Pa
inline constexpr double kNormalTemperature = 273.15; // K
inline constexpr double kGasTemperature = 300.0;     // K
inline constexpr double kGasConstant = 8.31;         // J/(mol·K)
inline constexpr double kAirMolarMass = 0.029;       // kg/mol
inline constexpr double kHeatRatio = 1.4;
double airGasConstant();   // J/(kg·K)
double normalAirDensity(); // kg/m³ at 101300 Pa and 273.15 K
double criticalPressureRatio();

enum class LineKind { kLiquidPipe, kLiquidOrifice, kAirOrifice, kAirLine };

struct LineLaw {
  LineKind kind = LineKind::kLiquidPipe;
  double diameter = 0.0;   // m
  double length = 0.0;     // m
  double density = 0.0;    // kg/m³ (liquids)
  double viscosity = 0.0;  // Pa·s
  double roughness = 0.0;  // m
  double discharge = 0.0;  // discharge coefficient of orifices
  double area() const;     // m²
};

bool roughnessInRange(double roughness, double diameter);

// Darcy friction factor by Colebrook–White,
//   1/√f = -2·log10(ε/(3.71·d) + 2.51/(Re·√f)).
double colebrookFactor(double reynolds, double relativeRoughness);

// The regime a pipe takes from its previous one at a Reynolds number.
int nextPipeRegime(int previous, double reynolds, double roughness);

struct LinePoint {
  double reynolds = 0.0;
  double friction = 0.0;  // Darcy factor; 0 for orifices
  double massFlow = 0.0;  // kg/s
};

// Liquid pipe: the pressure drop (Pa) of flow q (m³/s) in a regime.
double liquidPipeDrop(const LineLaw& law, int regime, double flow, LinePoint* point = nullptr);
// Liquid orifice: the flow (m³/s) of a pressure difference (Pa).
double liquidOrificeFlow(const LineLaw& law, double drop, int* regime = nullptr);
// Air orifice: the mass flow (kg/s) from node a to b at absolute pressures pa, pb.
double airOrificeMassFlow(const LineLaw& law, double pa, double pb, int* regime = nullptr);
// Isothermal air line: the pressure drop (Pa) that carries normal flow q between
// absolute pressures whose sum is pressureSum.
double airLineDrop(const LineLaw& law, int regime, double flow, double pressureSum,
                   LinePoint* point = nullptr);

// The element's own row: residual and its derivatives by x[a], x[b] and q.
struct LineRow {
  int regime = kLaminar;
  double residual = 0.0;
  double byUpstream = 0.0;
  double byDownstream = 0.0;
  double byFlow = 0.0;
  LinePoint point;
};
LineRow lineRowOf(const LineLaw& law, int previousRegime, double pa, double pb, double flow);

}  // namespace movra

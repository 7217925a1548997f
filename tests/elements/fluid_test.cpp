// The fluid elements on hand-assembled systems: Jacobians against central
// differences in every mode and regime, the laws against closed forms
// (Hagen–Poiseuille, Blasius, Colebrook–White solved by bisection, two parallel
// pipes, the choked and subsonic air orifice), the relief valve's hysteresis, and
// the cylinder (static force on a spring, the oil column's natural frequency, the
// chamber flows of a moving rod), and the refusals with their messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "elements/fluid/line_laws.h"
#include "support/element_fixture.h"

namespace movra {
namespace {

constexpr double kPi = 3.141592653589793;

class FluidTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kCircuitRelativeToleranceEntry] = 1e-6;
    model->parameters[kCircuitAbsoluteToleranceEntry] = 1e-7;
    model->parameters[kMechanicalRelativeToleranceEntry] = 1e-6;
    model->parameters[kMechanicalAbsoluteToleranceEntry] = 1e-12;
    run->kt = 1;
    // Each column perturbed by 1e-6 of its value.
    jacobianCheck = {.step = 1e-6,
                     .stepRelativeToX = true,
                     .smallestX = 1e-6,
                     .relative = 1e-5,
                     .ofRowScale = 1e-8,
                     .perturbedPassesMustSucceed = true};
    // Done when the update is below 1e-10 of each unknown.
    newtonSettings = {
        .limit = 60, .tolerance = 1e-10, .test = testing::NewtonSettings::Test::kEveryUpdate};
  }

  // One backward-Euler step of h (0: static), unknowns and state slots carried.
  void step(double h) {
    // The preparation pass first, as the driver makes it: the states of the step's start.
    run->recordingFlag = -1;
    EvaluationContext context{*model, *run, reporter};
    for (int row = 1; row <= model->count.elements; ++row) {
      const int code = model->elements[row].typeCode;
      if (needsPreparation(code)) {
        ASSERT_EQ(evaluatorFor(code)(context, row), 0);
      }
    }
    run->recordingFlag = 0;
    run->a0H[0] = h > 0.0 ? 1.0 / h : 0.0;
    for (int u = 1; u <= run->unknownCount + run->stateSlotCount; ++u) run->a0H[u] = run->X[u];
    run->dtOut = h;
    ASSERT_GT(newton(), 0);
    recordingPass(std::nullopt);
  }

  ElementEntry& cylinder(std::initializer_list<int> chambers, std::vector<double> parameters) {
    ElementEntry& element = add(54, chambers, {});
    std::copy(parameters.begin(), parameters.end(), element.realSlots + 1);
    element.empty[8] = 1;  // axis from the geometry
    element.firstStateSlot = 1;
    run->stateSlotCount = 1;
    return element;
  }

  void bindOnce() {
    run->initialPass = 1;
    run->iteration = 1;
    ASSERT_EQ(pass(), 0);
    run->initialPass = 0;
  }
};

// ---------------------------------------------------------------- Jacobians

TEST_F(FluidTest, JacobiansMatchCentralDifferencesInEveryModeAndRegime) {
  struct Case {
    const char* label;
    int typeCode;
    std::vector<double> parameters;
    std::vector<double> x;  // p_a, p_b, q
    int warm;               // passes that settle the mode before the comparison
    int slot12;             // expected mode or regime, -9 unchecked
  };
  const std::vector<double> oil = {10e-3, 2.0, 870.0, 0.0278, 0.0};
  const std::vector<double> water = {10e-3, 2.0, 1000.0, 1e-3, 0.0};
  const std::vector<double> roughWater = {10e-3, 2.0, 1000.0, 1e-3, 1e-5};
  const double turbulent = 1e4 * 1e-3 / (1000.0 * 10e-3) * kPi * 1e-4 / 4.0;  // Re = 1e4
  const std::vector<Case> cases = {
      {"pressure source", 51, {2e5, 0.0}, {3e5, 1e5, 1e-4}, 0, -9},
      {"pressure source with conversion", 51, {2e5, 1.2}, {3e5, 1e5, 1e-4}, 0, -9},
      {"flow source delivering", 52, {1e-4, 5e6, 0.0}, {1e5, 2e5, 1e-4}, 0, -1},
      {"flow source relieving", 52, {1e-4, 5e6, 0.0}, {1e5, 6e6, 5e-5}, 1, 0},
      {"flow source blocked", 52, {1e-4, 5e6, 0.0}, {1e5, 6e6, -1e-5}, 2, 1},
      {"flow source with conversion", 52, {1e-4, 5e6, 1.0}, {1e5, 2e5, 1e-4}, 0, -1},
      {"pipe laminar", 53, oil, {2e5, 1e5, 1e-5}, 1, kLaminar},
      {"pipe Blasius", 53, water, {2e5, 1e5, turbulent}, 1, kBlasius},
      {"pipe Colebrook-White", 53, roughWater, {2e5, 1e5, turbulent}, 1, kColebrook},
      {"pipe reversed turbulent", 53, water, {1e5, 2e5, -turbulent}, 1, kBlasius},
      {"pipe with air, choked", 53, {2e-3, 0.0, 1.2, 0.0, 0.0, 0.61}, {5e5, 1e5, 1e-3}, 0, kChoked},
      {"pipe with air, subsonic", 53, {2e-3, 0.0, 1.2, 0.0, 0.0, 0.61}, {1.2e5, 1e5, 1e-3}, 0,
       kOrificeFlow},
      {"liquid orifice", 55, {2e-3, 0.61, 870.0, 0.0278}, {1e6, 2e5, 1e-4}, 0, kOrificeFlow},
      {"liquid orifice reversed", 55, {2e-3, 0.61, 870.0, 0.0278}, {2e5, 1e6, -1e-4}, 0,
       kOrificeFlow},
      {"liquid orifice, laminar branch", 55, {2e-3, 0.61, 870.0, 0.0278}, {1e5 + 10.0, 1e5, 1e-7},
       0, kOrificeLinear},
      {"liquid line", 56, oil, {2e5, 1e5, 1e-5}, 1, kLaminar},
      {"air orifice choked", 57, {2e-3, 0.61}, {5e5, 1e5, 1e-3}, 0, kChoked},
      {"air orifice subsonic reversed", 57, {2e-3, 0.61}, {1e5, 1.3e5, -1e-3}, 0, kOrificeFlow},
      {"air orifice near balance", 57, {2e-3, 0.61}, {1e5 + 20.0, 1e5, 1e-5}, 0, kOrificeLinear},
      {"air line laminar", 58, {5e-3, 10.0, 1.81e-5, 0.0}, {3e5, 2.9e5, 1e-5}, 1, kLaminar},
      {"air line turbulent", 58, {5e-3, 10.0, 1.81e-5, 1e-5}, {3e5, 2e5, 5e-3}, 1, kColebrook},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    run->unknownCount = 0;
    run->stateSlotCount = 0;
    ElementEntry& element = add(c.typeCode, {1, 2, 3}, {});
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    std::copy(c.x.begin(), c.x.end(), run->X + 1);
    run->a0H[0] = 200.0;
    for (int u = 1; u <= 3; ++u) run->a0H[u] = 0.9 * run->X[u];
    bindOnce();
    for (int k = 0; k < c.warm; ++k) ASSERT_EQ(pass(), 0) << c.label;
    expectJacobianMatchesDifferences(c.label);
    if (c.slot12 != -9) {
      EXPECT_EQ(element.variableSlots[12], c.slot12) << c.label;
    }
  }

  // The cylinder: chambers 1, 2; node 3 on unknowns 3..5, node 4 on 6..8, s in
  // state slot 1 (X[9]); liquid and gas, with the rod moved off its start.
  for (const bool gas : {false, true}) {
    model->count.elements = 0;
    const std::vector<double> data = gas ? std::vector<double>{2e-3, 1e-3, 0.4, 0.0, 1.0, 3, 4}
                                         : std::vector<double>{2e-3, 1e-3, 0.4, 6.7e-10, 0.0, 3, 4};
    cylinder({1, 2}, data);
    run->unknownCount = 8;
    mechanicalNode(3, 3, 4, 5);
    mechanicalNode(4, 6, 7, 8);
    const std::vector<double> x = {2e6, 5e5, 0.1, 0.05, 0.2, 0.3, 0.7, 0.1};
    std::copy(x.begin(), x.end(), run->X + 1);
    bindOnce();
    run->a0H[0] = 100.0;
    for (int u = 1; u <= 9; ++u) run->a0H[u] = run->X[u] * 0.99;
    run->X[6] += 0.02;
    run->X[7] += 0.03;
    run->X[5] += 0.01;
    expectJacobianMatchesDifferences(gas ? "cylinder, gas" : "cylinder, liquid");
  }
}

// ---------------------------------------------------------------- laws

TEST_F(FluidTest, ColebrookWhiteFactorSolvesItsEquation) {
  // Bisection on g(f) = 1/√f + 2·log10(ε/(3.71 d) + 2.51/(Re √f)), which falls in f.
  const auto direct = [](double re, double rr) {
    double low = 1e-4;
    double high = 1.0;
    for (int k = 0; k < 200; ++k) {
      const double mid = 0.5 * (low + high);
      const double g = 1.0 / std::sqrt(mid) + 2.0 * std::log10(rr / 3.71 + 2.51 / (re * std::sqrt(mid)));
      (g > 0.0 ? low : high) = mid;
    }
    return 0.5 * (low + high);
  };
  for (const double re : {4e3, 2e4, 1e5, 1e6, 1e8}) {
    for (const double rr : {0.0, 1e-5, 1e-3, 0.01, 0.05}) {
      EXPECT_NEAR(colebrookFactor(re, rr), direct(re, rr), 1e-10 * direct(re, rr))
          << "Re " << re << ", e/d " << rr;
    }
  }
  // Moody-chart anchor: Re = 1e5, ε/d = 1e-3 gives f ≈ 0.0222.
  EXPECT_NEAR(colebrookFactor(1e5, 1e-3), 0.0222, 0.0002);
}

TEST_F(FluidTest, PipesFollowHagenPoiseuilleBlasiusAndSplitInParallel) {
  const double d = 10e-3;
  const double length = 2.0;
  const double mu = 0.0278;
  const double rho = 870.0;
  const double area = kPi * d * d / 4.0;
  // Laminar: a pressure source of 20 kPa across the line.
  {
    model->count.elements = 0;
    add(51, {1, 0, 2}, {2e4, 0.0});
    add(56, {1, 0, 3}, {d, length, rho, mu, 0.0});
    run->unknownCount = 3;
    step(0.0);
    const double v = run->X[3] / area;
    EXPECT_NEAR(2e4, 32.0 * mu * length * v / (d * d), 1e-9 * 2e4);
    EXPECT_LT(rho * v * d / mu, 2300.0);
    EXPECT_EQ(model->elements[2].variableSlots[12], kLaminar);
  }
  // Turbulent, smooth: water at 40 kPa; Blasius inverted for v in closed form.
  {
    model->count.elements = 0;
    const double drop = 4e4;
    add(51, {1, 0, 2}, {drop, 0.0});
    add(53, {1, 0, 3}, {d, length, 1000.0, 1e-3, 0.0});
    run->X[3] = 0.0;
    run->initialPass = 1;
    step(0.0);
    const double v = std::pow(drop * 2.0 * d / (0.3164 * length * 1000.0) *
                                  std::pow(1000.0 * d / 1e-3, 0.25),
                              1.0 / 1.75);
    EXPECT_NEAR(run->X[3] / area, v, 1e-8 * v);
    EXPECT_EQ(model->elements[2].variableSlots[12], kBlasius);
  }
  // Rough: the solved flow satisfies Darcy–Weisbach with the Colebrook factor.
  {
    model->count.elements = 0;
    const double drop = 4e4;
    add(51, {1, 0, 2}, {drop, 0.0});
    add(53, {1, 0, 3}, {d, length, 1000.0, 1e-3, 2e-4});
    run->X[3] = 0.0;
    run->initialPass = 1;
    step(0.0);
    const double v = run->X[3] / area;
    const double f = colebrookFactor(1000.0 * v * d / 1e-3, 0.02);
    EXPECT_NEAR(f * length / d * 1000.0 * v * v / 2.0, drop, 1e-8 * drop);
    EXPECT_EQ(model->elements[2].variableSlots[12], kColebrook);
  }
  // Two laminar lines in parallel fed by 0.01 l/s: q_i ∝ d_i⁴/L_i.
  {
    model->count.elements = 0;
    const double q = 1e-5;
    add(52, {0, 1, 2}, {q, 1e8, 0.0});
    add(56, {1, 0, 3}, {d, length, rho, mu, 0.0});
    add(56, {1, 0, 4}, {8e-3, 3.0, rho, mu, 0.0});
    run->unknownCount = 4;
    run->initialPass = 1;
    step(0.0);
    const double g1 = std::pow(d, 4) / length;
    const double g2 = std::pow(8e-3, 4) / 3.0;
    EXPECT_NEAR(run->X[3], q * g1 / (g1 + g2), 1e-9 * q);
    EXPECT_NEAR(run->X[4], q * g2 / (g1 + g2), 1e-9 * q);
    EXPECT_NEAR(run->X[1], 128.0 * mu * q / (kPi * (g1 + g2)), 1e-6 * run->X[1]);
  }
}

TEST_F(FluidTest, AirOrificeChokesBelowTheCriticalRatio) {
  const double d = 2e-3;
  const double cd = 0.61;
  const double area = kPi * d * d / 4.0;
  const double gamma = 1.4;
  const double rs = 8.31 / 0.029;
  const double t = 300.0;
  const double normal = 101300.0 * 0.029 / (8.31 * 273.15);
  const double critical = std::pow(2.0 / (gamma + 1.0), gamma / (gamma - 1.0));
  EXPECT_NEAR(critical, 0.528282, 1e-6);
  const auto choked = [&](double p0) {
    return cd * area * p0 * std::sqrt(gamma / (rs * t)) *
           std::pow(2.0 / (gamma + 1.0), (gamma + 1.0) / (2.0 * (gamma - 1.0)));
  };
  const auto subsonic = [&](double p0, double p) {
    const double r = p / p0;
    return cd * area * p0 *
           std::sqrt(2.0 * gamma / ((gamma - 1.0) * rs * t) *
                     (std::pow(r, 2.0 / gamma) - std::pow(r, (gamma + 1.0) / gamma)));
  };
  struct Point {
    double upstream, downstream;
    int regime;
  };
  const double p0 = 6e5;
  const std::vector<Point> points = {{p0, 1e5, kChoked},
                                     {p0, critical * p0 * 0.999, kChoked},
                                     {p0, critical * p0 * 1.001, kOrificeFlow},
                                     {p0, 0.8 * p0, kOrificeFlow}};
  for (const Point& point : points) {
    model->count.elements = 0;
    add(51, {1, 0, 2}, {point.upstream, 0.0});
    add(51, {3, 0, 4}, {point.downstream, 0.0});
    add(57, {1, 3, 5}, {d, cd});
    run->unknownCount = 5;
    run->initialPass = 1;
    step(0.0);
    const double mass = run->X[5] * normal;
    const double expected = point.regime == kChoked ? choked(point.upstream)
                                                    : subsonic(point.upstream, point.downstream);
    EXPECT_NEAR(mass, expected, 1e-9 * expected) << point.downstream / point.upstream;
    EXPECT_EQ(model->elements[3].variableSlots[12], point.regime);
  }
  // The two laws meet at the critical ratio: the mass flow is continuous there.
  EXPECT_NEAR(subsonic(p0, critical * p0), choked(p0), 1e-9 * choked(p0));
}

// ---------------------------------------------------------------- relief valve

TEST_F(FluidTest, ReliefValveHoldsItsPressureAndDeliversAgainWhenTheLoadFalls) {
  // Pump of 0.1 l/s from the tank into node 1; the load is an orifice to the tank.
  const double q = 1e-4;
  const double relief = 5e6;
  add(52, {0, 1, 2}, {q, relief, 0.0});
  ElementEntry& load = add(55, {1, 0, 3}, {0.2e-3, 0.61, 870.0, 0.0278});
  run->unknownCount = 3;
  run->initialPass = 1;
  const double h = 1e-2;
  // A nearly blocked outlet: the pressure rises to p_r and stays there.
  for (int k = 0; k < 20; ++k) step(h);
  EXPECT_NEAR(run->X[1], relief, 1e-6 * relief);
  EXPECT_EQ(model->elements[1].variableSlots[12], 0);
  EXPECT_LT(run->X[2], q);
  // The load falls: a wide orifice takes the full flow at far less than p_r.
  load.realSlots[1] = 3e-3;
  for (int k = 0; k < 20; ++k) step(h);
  EXPECT_EQ(model->elements[1].variableSlots[12], -1);
  EXPECT_NEAR(run->X[2], q, 1e-9 * q);
  const double opening = 0.61 * kPi * 3e-3 * 3e-3 / 4.0;
  EXPECT_NEAR(run->X[1], 870.0 / 2.0 * (q / opening) * (q / opening), 1e-6 * run->X[1]);
  // Blocked again: back to relief.
  load.realSlots[1] = 0.2e-3;
  for (int k = 0; k < 20; ++k) step(h);
  EXPECT_NEAR(run->X[1], relief, 1e-6 * relief);
  // With Q = 0 the flow stays 0 and the mode -1.
  model->elements[1].realSlots[1] = 0.0;
  for (int k = 0; k < 5; ++k) step(h);
  EXPECT_NEAR(run->X[2], 0.0, 1e-15);
  EXPECT_EQ(model->elements[1].variableSlots[12], -1);
}

// ---------------------------------------------------------------- cylinder

TEST_F(FluidTest, CylinderPushesItsSpringByPressureTimesAreaOverStiffness) {
  // Horizontal cylinder from the frame origin to node 4 at x = 1 (only x free);
  // a spring from the origin to node 4 with its rest length at 1 m.
  const double a1 = 2e-3;
  const double a2 = 1e-3;
  const double k = 1e5;
  const double p1 = 3e6;
  const double p2 = 1e6;
  add(51, {1, 0, 2}, {p1, 0.0});
  add(51, {3, 0, 4}, {p2, 0.0});
  ElementEntry& spring = add(5, {0, 0, 0, 5, 0}, {k, k * 1.0, 0.0});
  spring.firstStateSlot = 2;
  cylinder({1, 3}, {a1, a2, 0.4, 6.7e-10, 0.0, 0, 4});
  run->stateSlotCount = 2;
  run->unknownCount = 5;
  run->unknownOfKey[41] = 5;
  run->X[5] = 1.0;
  run->initialPass = 1;
  step(0.0);
  EXPECT_NEAR(run->X[5] - 1.0, (p1 * a1 - p2 * a2) / k, 1e-9);
  // Both flows vanish in a static run.
  EXPECT_NEAR(run->X[2], 0.0, 1e-15);
  EXPECT_NEAR(run->X[4], 0.0, 1e-15);
}

TEST_F(FluidTest, OilColumnSwingsAtItsNaturalFrequency) {
  // Chamber 1 closed, chamber 2 at the tank; mass m on the rod end. The column's
  // compliance is β·ℓ1·A1 (m³/Pa) beside the chamber node's own 1e-15, so
  //   ω = √(A1²/((β·ℓ1·A1 + 1e-15)·m)),
  // which for a stiff column is √(A1/(β·ℓ1·m)).
  const double a1 = 1e-3;
  const double beta = 1e-9;
  const double stroke = 0.2;
  const double omega = 2.0 * kPi * 10.0;
  const double mass = a1 * a1 / (beta * stroke / 2.0 * a1 + 1e-15) / (omega * omega);
  cylinder({1, 0}, {a1, 0.5e-3, stroke, beta, 0.0, 0, 4});
  add(11, {2, 3, 4, 5, 6, 7}, {mass, 1.0, 0.0, 0.0, 0.0});
  run->unknownCount = 7;
  mechanicalNode(4, 2, 3, 4);
  run->X[2] = 0.5;
  run->X[1] = 1e4;  // a small trapped pressure, the rod at rest
  run->initialPass = 1;
  const double h = 2e-5;
  std::vector<double> times;
  double before = run->X[1];
  for (int k = 1; k <= 15000 && times.size() < 5; ++k) {
    step(h);
    const double now = run->X[1];
    if (before > 0.0 && now <= 0.0) times.push_back(h * (k - 1) + h * before / (before - now));
    before = now;
  }
  ASSERT_GE(times.size(), 3u);
  const double period = (times.back() - times.front()) / static_cast<double>(times.size() - 1);
  EXPECT_NEAR(period, 2.0 * kPi / omega, 2e-4 * 2.0 * kPi / omega);
}

TEST_F(FluidTest, ChamberFlowsAreAreaTimesRodSpeed) {
  cylinder({1, 2}, {2e-3, 1.2e-3, 0.4, 0.0, 0.0, 0, 4});
  run->unknownCount = 5;
  mechanicalNode(4, 3, 4, 5);
  model->elements[1].returnBlockId = 1000;
  run->X[3] = 0.0;
  run->X[4] = 0.5;  // vertical, s0 = 0.5
  bindOnce();
  for (int u = 1; u <= 6; ++u) run->a0H[u] = run->X[u];
  run->a0H[0] = 100.0;  // h = 10 ms
  run->X[4] = 0.503;     // ṡ = 0.3 m/s
  run->recordingFlag = 1;
  ASSERT_EQ(pass(), 0);
  EXPECT_NEAR(store(1003), 2e-3 * 0.3, 1e-12);    // drawn in by chamber 1
  EXPECT_NEAR(store(1004), 1.2e-3 * 0.3, 1e-12);  // pushed out of chamber 2
  EXPECT_NEAR(store(1007), 0.3, 1e-9);
  EXPECT_NEAR(store(1016), 0.003, 1e-12);
  EXPECT_NEAR(store(1017), 0.203, 1e-12);
  EXPECT_NEAR(store(1018), 0.197, 1e-12);
}

// ---------------------------------------------------------------- refusals

TEST_F(FluidTest, BadDataIsRefusedWithItsMessage) {
  struct Case {
    const char* label;
    int typeCode;
    std::vector<double> parameters;
    const char* message;
  };
  const char* bad = "データが？ \n\n element 1";
  const std::vector<Case> cases = {
      {"pressure source c < 0", 51, {1e5, -1.0}, bad},
      {"flow source Q < 0", 52, {-1e-4, 1e6, 0.0}, bad},
      {"flow source p_r < 0", 52, {1e-4, -1e6, 0.0}, bad},
      {"pipe of zero diameter", 53, {0.0, 2.0, 870.0, 0.0278, 0.0}, bad},
      {"pipe of zero length", 53, {10e-3, 0.0, 870.0, 0.0278, 0.0}, bad},
      {"pipe too rough", 53, {10e-3, 2.0, 870.0, 0.0278, 1e-3}, bad},
      {"air pipe without an opening", 53, {0.0, 0.0, 1.2, 0.0, 0.0, 0.61}, bad},
      {"liquid orifice C_d > 1", 55, {2e-3, 1.5, 870.0, 0.0278}, "データが？ho \n\n element 1"},
      {"liquid line of zero length",
       56,
       {10e-3, 0.0, 870.0, 0.0278, 0.0},
       "データが？hl  1.000000e-02 0.000000e+00 8.700000e+02 2.780000e-02 0.000000e+00 \n\n "
       "element 1"},
      {"liquid line of negative roughness",
       56,
       {10e-3, 2.0, 870.0, 0.0278, -1e-5},
       "面租度が？hl  -1.000000e-05 1.000000e-02 \n\n element 1"},
      {"air orifice of zero diameter", 57, {0.0, 0.61}, "データが？ao \n\n element 1"},
      {"air line without viscosity", 58, {5e-3, 10.0, 0.0, 0.0}, "データが？al \n\n element 1"},
      {"cylinder of negative area", 54, {-2e-3, 1e-3, 0.4, 0.0, 0.0, 0, 4}, bad},
      {"cylinder liquid and gas", 54, {2e-3, 1e-3, 0.4, 1e-9, 1.0, 0, 4}, bad},
      {"cylinder shorter than its start", 54, {2e-3, 1e-3, 0.4, 0.0, 0.0, 0, 4},
       "ストローク相当が不足？ \n\n element 1"},
      // Node ids are whole numbers 0..200: "4n" reads as 4e-9, and neither it nor
      // 201 may quietly become the origin and lose the force.
      {"cylinder rod node written 4n", 54, {2e-3, 1e-3, 0.4, 0.0, 0.0, 0, 4e-9},
       " 本体・ロッドの節が？ 0 4e-09 \n\n element 1"},
      {"cylinder body node above 200", 54, {2e-3, 1e-3, 0.4, 0.0, 0.0, 201, 4},
       " 本体・ロッドの節が？ 201 4 \n\n element 1"},
      {"cylinder body node negative", 54, {2e-3, 1e-3, 0.4, 0.0, 0.0, -1, 4},
       " 本体・ロッドの節が？ -1 4 \n\n element 1"},
      {"cylinder rod node 2.5", 54, {2e-3, 1e-3, 0.4, 0.0, 0.0, 0, 2.5},
       " 本体・ロッドの節が？ 0 2.5 \n\n element 1"},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    log.texts.clear();
    run->stateSlotCount = 0;
    ElementEntry& element = c.typeCode == 54 ? cylinder({1, 2}, c.parameters)
                                             : add(c.typeCode, {1, 2, 3}, {});
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    run->unknownCount = 5;
    mechanicalNode(4, 3, 4, 5);
    run->X[3] = 0.0;
    run->X[4] = 0.5;
    run->initialPass = 1;
    run->iteration = 1;
    const bool stroke = std::string(c.label) == "cylinder shorter than its start";
    if (stroke) {
      ASSERT_EQ(pass(), 0);
      run->initialPass = 0;
      run->X[4] = 0.75;  // 0.25 m out of a 0.4 m stroke
    }
    EXPECT_EQ(pass(), 9) << c.label;
    ASSERT_FALSE(log.texts.empty()) << c.label;
    EXPECT_EQ(log.texts.back(), std::string(c.message) + " of code " + std::to_string(c.typeCode))
        << c.label;
  }
}

}  // namespace
}  // namespace movra

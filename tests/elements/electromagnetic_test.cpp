// The DC motor, the coupled two-port and the magnetic cores on hand-assembled
// systems: Jacobians against central differences in every branch, the validation
// messages, and physical scenarios against closed forms (a held motor is an R-L
// branch, a winding on a linear core an inductor of N²·A·μ/l, the hysteresis
// loop's branches and its area against the energy the power totals sum up).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "elements/magnetic/magnetic.h"
#include "support/element_fixture.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

constexpr double kMu0 = kVacuumPermeability;

class ElectromagneticTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kCircuitRelativeToleranceEntry] = 1e-6;
    model->parameters[kCircuitAbsoluteToleranceEntry] = 1e-12;
    model->parameters[kMechanicalRelativeToleranceEntry] = 1e-6;
    model->parameters[kMechanicalAbsoluteToleranceEntry] = 1e-12;
    model->parameters[kMagneticLeakEntry] = 1e-12;
    // A step that stays inside the present branch: all laws are linear within one.
    jacobianCheck = {
        .step = 1e-4, .relative = 1e-7, .rounding = 1e-13, .perturbedPassesMustSucceed = true};
    newtonSettings = {.limit = 30,
                      .tolerance = 1e-12,
                      .test = testing::NewtonSettings::Test::kUpdateNormOverFirstUnknown};
  }

  // One backward-Euler step of length h, then the recording pass.
  void step(double h) {
    run->a0H[0] = 1.0 / h;
    for (int u = 1; u <= run->unknownCount; ++u) run->a0H[u] = run->X[u];
    run->dtOut = h;
    for (int entry = 9980; entry <= 9989; ++entry) model->parameters[entry] = 0.0;
    ASSERT_GT(newton(), 0);
    recordingPass(std::nullopt);
  }

  // A material statement ":u id" whose first row holds the four flags of code 69.
  void material(int id, std::vector<double> flags) {
    ParameterStatement& statement = model->parameterStatements[++model->count.parameterStatements];
    statement = ParameterStatement{};
    statement.typeCode = 80;
    statement.id = id;
    statement.rowCount = 1;
    statement.returnValueCount = static_cast<int>(flags.size()) - 1;
    statement.firstPoolRow = model->parameterRowsUsed++;
    std::copy(flags.begin(), flags.end(), model->parameterRows[statement.firstPoolRow]);
  }

  bool lastMessageIs(const std::string& text) const {
    return !log.texts.empty() && log.texts.back().rfind(text, 0) == 0;
  }
};

// ---------------------------------------------------------------- Jacobians

TEST_F(ElectromagneticTest, JacobiansMatchCentralDifferencesInEveryBranch) {
  struct Case {
    const char* label;
    int typeCode;
    std::vector<int> unknowns;
    std::vector<double> parameters;
    double a0;
    std::vector<double> x;
    int expectedState;  // core state after the pass; -9 unchecked
  };
  // Core with μ_a = 1000 μ0, B_r = 1 T, H_c = 100 A/m, l = 0.1 m: μ_s = 10 μ_a, so
  // R = (1 + 0.012566·100)/0.011310 = 199.5 A/m and H_up = 111.1 A/m from the origin.
  const std::vector<double> core = {1e-4, 0.1, 1000.0, 1.0, 100.0, 0.0, 0.0};
  const std::vector<double> materialCore = {1e-4, 0.1, 10000.0, 1.0, 100.0, 0.0, 0.0, 0.0, 300};
  const std::vector<double> linear = {1e-4, 0.1, 10000.0, 1.0, 100.0, 500.0, 0.0, 0.2, 310};
  const std::vector<double> steepOnly = {1e-4, 0.1, 10000.0, 1.0, 100.0, 0.0, 0.0, 0.0, 320};
  const std::vector<Case> cases = {
      // Motor: armature 1-2, current 3; stator on 4..6 (x, y, θ), rotor on 7..9.
      {"motor static",
       20,
       {1, 2, 3},
       {0.05, 2.0, 1e-3, 4, 7},
       0.0,
       {3.0, 0.5, 0.7, 0.1, 0.2, 0.3, 0.4, 0.5, 1.5},
       -9},
      {"motor transient",
       20,
       {1, 2, 3},
       {0.05, 2.0, 1e-3, 4, 7},
       250.0,
       {3.0, 0.5, 0.7, 0.1, 0.2, 0.3, 0.4, 0.5, 1.5},
       -9},
      {"motor on the fixed frame",
       20,
       {2, 0, 3},
       {0.05, 2.0, 1e-3, 0, 7},
       250.0,
       {3.0, 0.5, 0.7, 0.1, 0.2, 0.3, 0.4, 0.5, 1.5},
       -9},
      // Two-port: port 1 on 1-2, currents 3 and 4, port 2 on nodes 15 and 16 (5, 6).
      {"two-port static",
       29,
       {1, 2, 3, 4},
       {50.0, 0.5, 15, 16},
       0.0,
       {3.0, 0.5, 0.7, 1e-3, 20.0, -4.0},
       -9},
      {"two-port transient",
       29,
       {1, 2, 3, 4},
       {50.0, 0.5, 15, 16},
       1e3,
       {3.0, 0.5, 0.7, 1e-3, 20.0, -4.0},
       -9},
      {"two-port with a grounded port-2 node",
       29,
       {1, 0, 3, 4},
       {-20.0, 0.0, 0, 16},
       1e3,
       {3.0, 0.5, 0.7, 1e-3, 20.0, -4.0},
       -9},
      // Cores between nodes 1 and 2 (H = (x1 - x2)/0.1).
      {"core on the recoil line", 28, {1, 2}, core, 0.0, {5.0, 0.0}, 0},
      {"core on the rising steep branch", 28, {1, 2}, core, 0.0, {15.0, 0.0}, 1},
      {"core saturated", 68, {1, 2}, core, 0.0, {30.0, 0.0}, 2},
      {"core on the falling steep branch", 28, {2, 1}, core, 0.0, {15.0, 0.0}, -1},
      {"core saturated negative", 28, {0, 1}, core, 0.0, {30.0, 0.0}, -2},
      {"core without remanence and coercivity", 28, {1, 2}, {1e-4, 0.1, 1000.0}, 0.0,
       {30.0, 0.0}, 0},
      // Code 69: P3 the steep slope, P6 the recoil slope, P9 the material statement.
      {"material core, loop", 69, {1, 2}, materialCore, 0.0, {15.0, 0.0}, 1},
      {"material core, linear mode", 69, {1, 2}, linear, 0.0, {15.0, 3.0}, 9},
      {"material core, steep only", 69, {1, 2}, steepOnly, 0.0, {15.0, 3.0}, 7},
  };
  material(300, {1, 1, 0, 1});
  material(310, {1, 1, 1, 1});
  material(320, {0, 0, 0, 0});
  for (const Case& c : cases) {
    run->unknownCount = 0;
    ElementEntry& element = onlyElement(c.typeCode, c.unknowns, c.parameters);
    run->unknownCount = static_cast<int>(c.x.size());
    std::copy(c.x.begin(), c.x.end(), run->X + 1);
    mechanicalNode(4, 4, 5, 6);
    mechanicalNode(7, 7, 8, 9);
    run->unknownOfKey[1015] = 5;
    run->unknownOfKey[1016] = 6;
    run->a0H[0] = c.a0;
    for (int u = 1; u <= run->unknownCount; ++u) run->a0H[u] = 0.3 * u;
    model->parameters[kMechanicalDampingEntry] = 0.02;
    // The initial pass binds the nodes the fields name; later passes walk the core
    // along its branches until the state holds.
    run->initialPass = 1;
    run->iteration = 1;
    ASSERT_EQ(pass(), 0) << c.label;
    run->initialPass = 0;
    for (int k = 0; k < 3; ++k) ASSERT_EQ(pass(), 0);
    expectJacobianMatchesDifferences(c.label);
    if (c.expectedState != -9) {
      EXPECT_EQ(element.variableSlots[13], c.expectedState) << c.label;
    }
  }
}

// ---------------------------------------------------------------- validation

TEST_F(ElectromagneticTest, BadDataIsRefusedWithItsMessage) {
  struct Case {
    const char* label;
    int typeCode;
    std::vector<double> parameters;
    const char* message;
  };
  const char* bad = "データが？ \n\n element 1";
  const char* slopes = " 急な枝の比透磁率が回復線の比透磁率以下？";
  const std::vector<Case> cases = {
      {"motor K < 0", 20, {-0.1, 1.0, 1e-3, 0, 7}, bad},
      {"motor R < 0", 20, {0.1, -1.0, 1e-3, 0, 7}, bad},
      {"motor L < 0", 20, {0.1, 1.0, -1e-3, 0, 7}, bad},
      {"motor rotor without a rotation", 20, {0.1, 1.0, 1e-3, 0, 9}, " 固定子・回転子の節が？"},
      {"motor stator no whole id", 20, {0.1, 1.0, 1e-3, 4.5, 7}, " 固定子・回転子の節が？"},
      // Node 150 keys 1500..1502, the potentials of circuit nodes 500..502.
      {"motor rotor on a potential key", 20, {0.1, 1.0, 1e-3, 0, 150}, " 固定子・回転子の節が？"},
      {"motor with stator and rotor left out", 20, {0.1, 1.0, 1e-3}, " 固定子・回転子の節が？ 0 0"},
      {"two-port α = 0", 29, {0.0, 1.0, 0, 15}, bad},
      {"two-port β < 0", 29, {10.0, -1.0, 0, 15}, bad},
      {"two-port port-2 node without an unknown", 29, {10.0, 1.0, 0, 17}, " ２次側の節が？"},
      {"two-port port-2 node no whole id", 29, {10.0, 1.0, 15.5, 0}, " ２次側の節が？"},
      {"core A < 0", 28, {-1e-4, 0.1, 1000, 1, 100}, bad},
      {"core l = 0", 28, {1e-4, 0.0, 1000, 1, 100}, bad},
      {"core μr < 0", 68, {1e-4, 0.1, -1, 1, 100}, bad},
      {"core B_r < 0", 28, {1e-4, 0.1, 1000, -1, 100}, bad},
      {"core H_c < 0", 28, {1e-4, 0.1, 1000, 1, -100}, bad},
      {"core steep slope equal to recoil", 28, {1e-4, 0.1, 1000, 1, 100, 1000}, slopes},
      {"core without any permeability", 28, {1e-4, 0.1, 0, 1, 100, 0}, slopes},
      {"material core without its statement",
       69,
       {1e-4, 0.1, 1e4, 1, 100, 0, 0, 0, 301},
       "データが空？ \n\n element 1"},
      {"material core with a short row",
       69,
       {1e-4, 0.1, 1e4, 1, 100, 0, 0, 0, 330},
       "データが空？ \n\n element 1"},
      {"material core A = 0",
       69,
       {0, 0.1, 1e4, 1, 100, 0, 0, 0, 300},
       "データが？ 0.000000e+00 1.000000e-01 1.256637e-02 \n\n element 1"},
      {"material core μ_st = 0", 69, {1e-4, 0.1, 0, 1, 100, 0, 0, 0, 300}, "データが？ 1.0"},
      {"material core equal slopes", 69, {1e-4, 0.1, 1e4, 1, 100, 1e4, 0, 0, 300}, slopes},
  };
  material(300, {1, 1, 0, 1});
  material(330, {1, 1, 0});
  for (const Case& c : cases) {
    model->count.elements = 0;
    log.texts.clear();
    ElementEntry& element = add(c.typeCode, {1, 2, 3, 4}, {});
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    // Fields after the last one written are empty, as the reader leaves them.
    for (size_t k = c.parameters.size() + 1; k <= 10; ++k) element.empty[k] = 1;
    mechanicalNode(7, 5, 6, 7);
    run->unknownOfKey[1015] = 8;
    run->unknownOfKey[1500] = 8;
    run->unknownCount = 8;
    run->initialPass = 1;
    run->iteration = 1;
    EXPECT_EQ(pass(), 9) << c.label;
    EXPECT_TRUE(lastMessageIs(c.message))
        << c.label << ": " << (log.texts.empty() ? "" : log.texts.back());
  }
  // Equal slopes by default (P6 = 0 gives 10·μ_a) and the two-port floors are fine,
  // as is a motor held on purpose (stator and rotor written 0) and one whose stator
  // is left out.
  model->count.elements = 0;
  add(28, {1, 2}, {1e-4, 0.1, 1000, 1, 100, 0});
  add(29, {1, 0, 3, 4}, {1e-12, 0.0, 0, 15});
  add(20, {1, 0, 3}, {0.1, 1.0, 1e-3, 0, 0});
  ElementEntry& statorLeftOut = add(20, {1, 0, 3}, {0.1, 1.0, 1e-3, 0, 7});
  statorLeftOut.empty[4] = 1;
  run->initialPass = 1;
  EXPECT_EQ(pass(), 0) << (log.texts.empty() ? "" : log.texts.back());
}

// ---------------------------------------------------------------- motor

// A motor on a body: stator on the fixed frame, the rotor an inertia J with
// viscous damping b (the body's rotational damping), supply E from time 0:
//   L di/dt = E - R i - K ω,   J dω/dt = K i - b ω.
TEST_F(ElectromagneticTest, HeldMotorIsAnRlBranchAndSwappingReversesTorqueAndBackVoltage) {
  const double e = 6.0, k = 0.05, r = 2.0, l = 5e-3;
  // Unknowns: 1 supply node, 2 source current, 3 armature current, rotor x, y, θ 4..6.
  add(21, {1, 0, 2}, {e, 0.0});
  ElementEntry& motor = add(20, {1, 0, 3}, {k, r, l, 0, 7});
  mechanicalNode(7, 4, 5, 6);
  run->unknownCount = 6;
  // The rotor held: x, y and θ pinned by their own rows through a stiff joint.
  auto holdRotor = [&](double angle) {
    for (int q = 4; q <= 6; ++q) {
      run->F[q] -= 1e12 * (run->X[q] - (q == 6 ? angle : 0.0));
      run->jacobian(q, q) -= 1e12;
    }
  };
  // Held: i(t) = E/R (1 - exp(-t/τ)), τ = L/R = 2.5 ms. Backward Euler with h:
  // i_k = E/R (1 - (1 + h/τ)^-k).
  const double h = 1e-4, tau = l / r;
  run->initialPass = 1;
  for (int kstep = 1; kstep <= 50; ++kstep) {
    run->a0H[0] = 1.0 / h;
    for (int u = 1; u <= run->unknownCount; ++u) run->a0H[u] = run->X[u];
    std::vector<double> delta;
    for (int it = 1; it <= 5; ++it) {
      run->iteration = it;
      ASSERT_EQ(pass(), 0);
      run->initialPass = 0;
      holdRotor(0.0);
      ASSERT_GT(solve(delta), 0.0);
      for (int u = 1; u <= run->unknownCount; ++u) run->X[u] -= delta[u];
    }
    const double expected = e / r * (1.0 - std::pow(1.0 + h / tau, -kstep));
    ASSERT_NEAR(run->X[3], expected, 1e-9) << "step " << kstep;
  }
  // The torque on the held rotor is K·i, and the stator takes the reaction.
  run->iteration = 2;
  ASSERT_EQ(pass(), 0);
  EXPECT_NEAR(run->F[6], k * run->X[3], 1e-12);

  // Swapped: the rotor on the fixed frame and the stator on node 7. A stator turning
  // at +ω is a rotor turning at -ω: the back voltage has the opposite sign, and the
  // torque on node 7 is reversed.
  motor.realSlots[4] = 7;
  motor.realSlots[5] = 0;
  run->initialPass = 1;
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  run->initialPass = 0;
  EXPECT_NEAR(run->F[6], -k * run->X[3], 1e-12);
  const double current = run->X[3];
  const double speed = 3.0;  // rad/s of node 7 over one step
  run->a0H[0] = 1.0 / h;
  run->a0H[6] = run->X[6] - speed * h;
  run->a0H[3] = current;
  run->iteration = 2;
  ASSERT_EQ(pass(), 0);
  const double swappedResidual = run->F[3];
  motor.realSlots[4] = 0;
  motor.realSlots[5] = 7;
  run->initialPass = 1;
  ASSERT_EQ(pass(), 0);
  run->initialPass = 0;
  const double normalResidual = run->F[3];
  // F[i] = R i - V + K ω: the two differ by 2 K ω.
  EXPECT_NEAR(normalResidual - swappedResidual, 2.0 * k * speed, 1e-9);
}

// ---------------------------------------------------------------- two-port and core

// A winding of N turns (resistance R_w) on a linear core, supplied with E: the
// circuit sees L = N² A μ_a / l in series with R_w (the 1e-12 S leaks are far
// below the resolution). Backward Euler: i_k = E/R_w (1 - (1 + h R_w / L)^-k).
TEST_F(ElectromagneticTest, WindingOnALinearCoreIsAnInductorOfNSquaredPermeance) {
  const double e = 2.0, turns = 200.0, rw = 4.0;
  const double area = 2e-4, length = 0.2, mur = 800.0;
  // Without B_r and H_c the core is its recoil line through 0, even far beyond
  // what would be its knee (N·E/R_w/l = 500 A/m).
  add(21, {1, 0, 2}, {e, 0.0});
  add(29, {1, 0, 3, 4}, {turns, rw, 0, 11});
  ElementEntry& core = add(28, {5, 0}, {area, length, mur});
  run->unknownOfKey[1011] = 5;
  run->unknownCount = 5;
  // The magnetic leak g at the port-2 node and at the core's node adds 2g to the
  // permeance (1e-12 against 1e-6 Wb/A).
  const double permeance = area * kMu0 * mur / length + 2.0 * 1e-12;
  const double inductance = turns * turns * permeance;
  const double tau = inductance / rw;
  const double h = tau / 50.0;
  run->initialPass = 1;
  for (int k = 1; k <= 100; ++k) {
    step(h);
    const double expected = e / rw * (1.0 - std::pow(1.0 + h / tau, -k));
    ASSERT_NEAR(run->X[3], expected, 1e-7 * e / rw) << "step " << k;
    ASSERT_EQ(core.variableSlots[13], 0);
  }
  // Ampere-turns N·i across the core, flux through the winding equal to the core's.
  EXPECT_NEAR(run->X[5], turns * run->X[3], 1e-9 * run->X[5]);
  EXPECT_NEAR(run->X[4], permeance * run->X[5], 1e-9 * run->X[4]);
}

// Slow triangular sweep of H through a core driven by an MMF source: the working
// point follows the five branches, a reversal anywhere starts a recoil line, and
// the energy the magnetic totals sum over a cycle equals A·l times the loop area.
TEST_F(ElectromagneticTest, TriangularSweepTracesTheFiveBranchesAndTheLoopArea) {
  const double area = 1e-4, length = 0.1, mur = 1000.0, br = 1.0, hc = 100.0;
  const double mua = mur * kMu0, mus = 10.0 * mua;
  const double knee = (br + mus * hc) / (mus - mua);  // R = 199.5 A/m
  const double kneeB = br + mua * knee;               // B_R
  // Leaving saturation at R, the recoil line has the intercept ±B_r and meets the
  // other steep branch at ±(μ_s H_c - B_r)/(μ_s - μ_a) = ±22.7 A/m.
  const double meet = (mus * hc - br) / (mus - mua);
  const double hmax = 400.0;
  ElementEntry& source = add(21, {1, 0, 2}, {0.0, 0.0});
  ElementEntry& core = add(28, {1, 0}, {area, length, mur, br, hc, 0.0, 0.0});
  core.returnBlockId = 1000;
  run->unknownCount = 2;
  const int quarter = 1000;
  const double dh = hmax / quarter;
  const double h = 1e-3;
  // Drives the core to field H (the source holds x[1] = E = H·l) and records.
  auto driveTo = [&](double field) {
    source.realSlots[1] = field * length;
    step(h);
  };
  // Rising branch of the major loop (the falling one is its mirror).
  auto risingB = [&](double x) {
    if (x < -knee) return -kneeB + kMu0 * (x + knee);
    if (x < meet) return -br + mua * x;
    if (x <= knee) return mus * (x - hc);
    return kneeB + kMu0 * (x - knee);
  };
  // A point within one step of its branch: on a switching step the reversal point
  // is the last point before the switch.
  const double allowance = mua * dh + 1e-12;

  run->initialPass = 1;
  // Virgin rise: recoil line through 0 until μ_s H_c/(μ_s - μ_a) = 111 A/m, then steep.
  const double virginUp = mus * hc / (mus - mua);
  for (int k = 1; k <= quarter; ++k) {
    driveTo(k * dh);
    const double x = k * dh;
    const double expected =
        x < virginUp ? mua * x : (x <= knee ? mus * (x - hc) : kneeB + kMu0 * (x - knee));
    ASSERT_NEAR(store(1001), x, 1e-9 * hmax);
    ASSERT_NEAR(store(1002), expected, allowance) << "H " << x;
  }
  EXPECT_EQ(core.variableSlots[13], 2);
  // One full cycle from the top: down to -hmax and back up.
  const double energyAtTop = store(kMagneticEnergyTotalEntry);
  for (int k = 1; k <= 4 * quarter; ++k) {
    const bool falling = k <= 2 * quarter;
    const double x = falling ? hmax - k * dh : -hmax + (k - 2 * quarter) * dh;
    driveTo(x);
    const double expected = falling ? -risingB(-x) : risingB(x);
    ASSERT_NEAR(store(1002), expected, allowance) << "H " << x << (falling ? " falling" : "");
    ASSERT_LE(std::fabs(store(1012)), br * (1 + 1e-12));
  }
  const double cycleEnergy = store(kMagneticEnergyTotalEntry) - energyAtTop;
  // The loop is the parallelogram of the recoil lines and the steep branches (the
  // saturation lines are run out and back).
  const double corners[4][2] = {
      {knee, kneeB}, {-meet, br - mua * meet}, {-knee, -kneeB}, {meet, -br + mua * meet}};
  double twice = 0.0;
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    twice += corners[i][0] * corners[j][1] - corners[j][0] * corners[i][1];
  }
  const double loopEnergy = std::fabs(twice) / 2.0 * area * length;
  // The totals sum H_k·ΔB_k with H at the end of each step: each step adds
  // ½·ΔH·ΔB against the integral, in all at most ½·dh·(total variation of B); a
  // switching step adds at most μ_s·dh² more.
  const double topB = kneeB + kMu0 * (hmax - knee);
  const double bound = (0.5 * dh * 4.0 * topB + 4.0 * mus * dh * dh) * area * length;
  EXPECT_NEAR(cycleEnergy, loopEnergy, bound) << "loop " << loopEnergy;
  EXPECT_GT(loopEnergy, 50.0 * bound);

  // A reversal on the steep branch: a recoil line of slope μ_a from that point,
  // back up along it, and onto the steep branch again where it meets it.
  for (double x = hmax - dh; x >= -hmax; x -= dh) driveTo(x);  // to negative saturation
  for (double x = -hmax + dh; x <= 150.0 + 1e-9; x += dh) driveTo(x);
  const double turnB = mus * (150.0 - hc);
  ASSERT_NEAR(store(1002), turnB, allowance);
  for (double x = 150.0 - dh; x >= 50.0 - 1e-9; x -= dh) {
    driveTo(x);
    ASSERT_NEAR(store(1002), turnB + mua * (x - 150.0), 1e-9) << "recoil at H " << x;
    ASSERT_EQ(core.variableSlots[13], 0);
  }
  for (double x = 50.0 + dh; x <= 180.0 + 1e-9; x += dh) {
    driveTo(x);
    const double expected = x < 150.0 ? turnB + mua * (x - 150.0) : mus * (x - hc);
    ASSERT_NEAR(store(1002), expected, allowance) << "H " << x;
  }
  EXPECT_EQ(core.variableSlots[13], 1);
}

// The offset B_0 of code 28 is applied once when it changes, and the recoil line
// goes on from there; code 69 with P7 > 0 moves its knee.
TEST_F(ElectromagneticTest, OffsetAppliesOnceAndTheMaterialKneeMoves) {
  const double length = 0.1, mua = 1000.0 * kMu0;
  ElementEntry& source = add(21, {1, 0, 2}, {0.0, 0.0});
  ElementEntry& core = add(28, {1, 0}, {1e-4, length, 1000.0, 1.0, 100.0, 0.0, 0.0});
  core.returnBlockId = 1000;
  run->unknownCount = 2;
  run->initialPass = 1;
  source.realSlots[1] = 50.0 * length;
  step(1e-3);
  EXPECT_NEAR(store(1002), mua * 50.0, 1e-12);
  core.realSlots[7] = 0.3;
  step(1e-3);
  EXPECT_NEAR(store(1002), 0.3 + mua * 50.0, 1e-12);
  EXPECT_EQ(store(1013), 0.0);
  source.realSlots[1] = 60.0 * length;
  step(1e-3);
  EXPECT_NEAR(store(1002), 0.3 + mua * 60.0, 1e-12);

  // Code 69, hysteresis with remanence and coercivity, knee from P7 = 0.5 T:
  // R = (0.5 + μ_st H_c)/(μ_st - μ_rec), saturation from μ_st (R - H_c) with slope μ0.
  model->count.elements = 0;
  material(300, {1, 1, 0, 1});
  const double must = 10000.0 * kMu0, murec = 0.1 * must, hc = 100.0;
  ElementEntry& source2 = add(21, {1, 0, 2}, {0.0, 0.0});
  ElementEntry& materialCore =
      add(69, {1, 0}, {1e-4, length, 10000.0, 1.0, hc, 0.0, 0.5, 0.0, 300});
  materialCore.returnBlockId = 1000;
  run->initialPass = 1;
  for (int k = 0; k <= 10; ++k) {
    source2.realSlots[1] = 0.0;
    step(1e-3);
  }
  const double knee = (0.5 + must * hc) / (must - murec);
  for (double h = 10.0; h <= 300.0; h += 10.0) {
    source2.realSlots[1] = h * length;
    step(1e-3);
  }
  EXPECT_NEAR(store(1017), knee, 1e-9 * knee);
  EXPECT_EQ(store(1013), 2.0);
  EXPECT_NEAR(store(1002), must * (knee - hc) + kMu0 * (300.0 - knee), 1e-12);
}

// Code 69 outside its loop: the linear law B = μ_rec·H + P8 (state 9) and the
// steep-only law B = μ_st·H (state 7) take their slopes as written, whichever is
// the larger; a loop without its remanence and coercivity flags has no width and
// no knee, so it is the steep line B = μ_st·H both ways, far beyond P4 and P5.
TEST_F(ElectromagneticTest, MaterialCoreLawsOutsideTheLoopKeepTheirWrittenSlopes) {
  struct Case {
    const char* label;
    std::vector<double> flags;   // remanence, coercivity, linear, hysteresis
    std::vector<double> fields;  // P3..P8
    double slope, offset;        // B = slope·H + offset
    int state;                   // -9 unchecked
  };
  const std::vector<Case> cases = {
      {"linear", {1, 1, 1, 1}, {1e4, 1, 100, 500, 0, 0.2}, 500 * kMu0, 0.2, 9},
      {"linear, default recoil", {0, 0, 1, 0}, {1e4, 0, 0, 0, 0, -0.1}, 1e3 * kMu0, -0.1, 9},
      {"steep only", {0, 0, 0, 0}, {1e4}, 1e4 * kMu0, 0.0, 7},
      {"steep only, recoil above", {1, 1, 0, 0}, {1e3, 1, 100, 2e3}, 1e3 * kMu0, 0.0, 7},
      {"loop, flags off", {0, 0, 0, 1}, {1e4, 1, 100}, 1e4 * kMu0, 0.0, -9},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    model->count.parameterStatements = 0;
    model->parameterRowsUsed = 0;
    material(300, c.flags);
    ElementEntry& source = add(21, {1, 0, 2}, {0.0, 0.0});
    ElementEntry& core = add(69, {1, 0}, {1e-4, 0.1});
    std::copy(c.fields.begin(), c.fields.end(), core.realSlots + 3);
    core.realSlots[9] = 300;
    core.returnBlockId = 1000;
    run->initialPass = 1;
    // Up past what a knee of these fields would be, back through 0 and up again.
    for (const double h : {0.0, 100.0, 500.0, 2000.0, 300.0, -300.0, -2000.0, 50.0}) {
      source.realSlots[1] = h * 0.1;
      step(1e-3);
      EXPECT_NEAR(store(1002), c.slope * h + c.offset, 1e-9 * (1.0 + std::fabs(c.slope * h)))
          << c.label << " at H " << h;
      if (c.state != -9) {
        EXPECT_EQ(store(1013), c.state) << c.label;
      }
    }
  }
}

// Leaving saturation, the core runs back along the saturation line to the knee and
// takes the recoil line of intercept ±B_r from there, so one large step lands where
// many small ones do: on that recoil line, or beyond its meeting point -22.7 A/m on
// the falling steep branch. (A recoil line from the saturated point itself lay
// lower the longer the step, and could meet the rising steep branch on the way.)
TEST_F(ElectromagneticTest, LeavingSaturationInOneStepEndsWhereManySmallStepsDo) {
  const double area = 1e-4, length = 0.1, mur = 1000.0, br = 1.0, hc = 100.0;
  const double mua = mur * kMu0, mus = 10.0 * mua;
  const double knee = (br + mus * hc) / (mus - mua);  // R = 199.5 A/m
  const double kneeB = br + mua * knee;
  const double meet = (mus * hc - br) / (mus - mua);  // 22.7 A/m
  // The falling branch of the major loop from positive saturation.
  auto fallingB = [&](double x) {
    if (x > knee) return kneeB + kMu0 * (x - knee);
    if (x >= -meet) return br + mua * x;
    if (x >= -knee) return mus * (x + hc);
    return -kneeB + kMu0 * (x + knee);
  };
  struct Case {
    double from;  // A/m, saturated
    double to;
  };
  // 180 A/m lies above where the recoil line of the old rule met the rising
  // steep branch (177 A/m from 400 A/m).
  const std::vector<Case> cases = {{400, 180}, {1000, 0}, {400, -100}, {-400, 120}};
  for (const Case& c : cases) {
    const double side = c.from > 0 ? 1.0 : -1.0;
    const double expected = side * fallingB(side * c.to);
    for (const int steps : {1, 400}) {
      model->count.elements = 0;
      ElementEntry& source = add(21, {1, 0, 2}, {0.0, 0.0});
      ElementEntry& core = add(28, {1, 0}, {area, length, mur, br, hc, 0.0, 0.0});
      core.returnBlockId = 1000;
      run->unknownCount = 2;
      run->initialPass = 1;
      for (int k = 1; k <= 100; ++k) {
        source.realSlots[1] = c.from * k / 100.0 * length;
        step(1e-3);
      }
      ASSERT_EQ(core.variableSlots[13], side > 0 ? 2 : -2);
      for (int k = 1; k <= steps; ++k) {
        source.realSlots[1] = (c.from + (c.to - c.from) * k / steps) * length;
        step(1e-3);
      }
      EXPECT_NEAR(store(1002), expected, 1e-9)
          << "from " << c.from << " to " << c.to << " in " << steps << " steps";
    }
  }
}

}  // namespace
}  // namespace movra

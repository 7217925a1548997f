// The fluid examples in whole runs against closed forms: the hydraulic press lifts
// at pump flow over bore area and stops where the relief pressure balances the
// load; the two-branch pipe network splits its flow by Hagen–Poiseuille while
// laminar and by Blasius once turbulent; the air vessel blows down through a
// choked orifice exponentially and turns subsonic at the critical pressure ratio.
// Bad fluid data are refused at the model file's line with no NaN in the unknowns.
//
// Item 1 of every frame is the time; the annotations' items follow in line order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/example_runs.h"

namespace movra {
namespace {

using testing::readExample;
using testing::Refusal;
using testing::series;

constexpr double kPi = std::numbers::pi;

// The first frame at or after time t.
size_t frameAt(const std::vector<double>& time, double t) {
  return static_cast<size_t>(std::lower_bound(time.begin(), time.end(), t) - time.begin());
}

TEST(HydraulicPress, LiftsAtPumpFlowOverAreaAndHoldsAtTheReliefPressure) {
  auto outcome = testing::runModelText(readExample("hydraulic_press.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  // Items: 2 pump rise, 3 pump flow, 4 relief mode; 5 p1 - p2, 6 F_x, 7 s - s0.
  const std::vector<double> t = series(*outcome, 1);
  const std::vector<double> rise = series(*outcome, 2);
  const std::vector<double> mode = series(*outcome, 4);
  const std::vector<double> lift = series(*outcome, 7);
  const size_t a = frameAt(t, 0.5);
  const size_t b = frameAt(t, 1.0);
  const double speed = (lift[b] - lift[a]) / (t[b] - t[a]);
  // Pump flow over bore area, less what the rising pressure stores: the pump's node
  // capacitance C = 1e-12 m³/Pa and the column β·ℓ1·A1 take (C + β·ℓ1·A1)·dp/dt, and
  // dp/dt = k·v/A1 under the workpiece spring, so v = q/(A1 + (C + β·ℓ1·A1)·k/A1).
  const double a1 = 2e-3;
  const double column = 0.67e-9 * (0.2 + 0.5 * (lift[a] + lift[b])) * a1;
  const double expected = 1e-4 / (a1 + (1e-12 + column) * 1e5 / a1);
  EXPECT_NEAR(speed, expected, 2e-3 * expected);
  EXPECT_LT(std::fabs(speed - 1e-4 / a1), 0.05 * 1e-4 / a1);
  // At the end the valve relieves or, once settled, blocks; the rise stays at p_r.
  EXPECT_GE(mode.back(), 0.0);
  EXPECT_NEAR(rise.back(), 5e6, 0.02 * 5e6);
  // Force balance at rest: p1·A1 - p2·A2 = m g + k·lift, p2 ≈ 0 once the rod stops.
  const double p1 = series(*outcome, 5).back();
  EXPECT_NEAR(p1 * 2e-3, 205.0 * 9.81 + 1e5 * lift.back(), 1e-3 * p1 * 2e-3);
  for (double value : rise) EXPECT_TRUE(std::isfinite(value));
}

TEST(PipeNetwork, SplitsByHagenPoiseuilleThenByBlasius) {
  auto outcome = testing::runModelText(readExample("pipe_network.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  // Items: 2 feed drop, 3 q_A, 4 regime A, 5 q_B, 6 regime B.
  const std::vector<double> qa = series(*outcome, 3);
  const std::vector<double> ra = series(*outcome, 4);
  const std::vector<double> qb = series(*outcome, 5);
  const std::vector<double> rb = series(*outcome, 6);
  const double laminar = (std::pow(10e-3, 4) / 2.0) / (std::pow(8e-3, 4) / 3.0);
  const double turbulent =
      std::pow((std::pow(10e-3, 4.75) / 2.0) / (std::pow(8e-3, 4.75) / 3.0), 1.0 / 1.75);
  int laminarFrames = 0;
  int turbulentFrames = 0;
  for (size_t k = 1; k < qa.size(); ++k) {
    if (ra[k] == 0.0 && rb[k] == 0.0 && qb[k] > 0.0) {
      EXPECT_NEAR(qa[k] / qb[k], laminar, 1e-6 * laminar) << "frame " << k;
      ++laminarFrames;
    }
    if (ra[k] == 1.0 && rb[k] == 1.0) {
      EXPECT_NEAR(qa[k] / qb[k], turbulent, 1e-6 * turbulent) << "frame " << k;
      ++turbulentFrames;
    }
  }
  EXPECT_GT(laminarFrames, 5);
  EXPECT_GT(turbulentFrames, 50);
  // The flow of the pump is the sum of the branches (less the little its node stores).
  const std::vector<double> t = series(*outcome, 1);
  EXPECT_NEAR(qa.back() + qb.back(), 0.3e-3 * t.back() / 4.0, 1e-4 * 0.3e-3);
}

TEST(AirVessel, BlowsDownChokedThenSubsonic) {
  auto outcome = testing::runModelText(readExample("air_vessel_orifice.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  // Items: 2 vessel pressure, 3 normal flow, 4 regime, 5 mass flow.
  const std::vector<double> t = series(*outcome, 1);
  const std::vector<double> p = series(*outcome, 2);
  const std::vector<double> regime = series(*outcome, 4);
  const std::vector<double> mass = series(*outcome, 5);
  const double gamma = 1.4;
  const double rt = 8.31 / 0.029 * 300.0;
  const double area = kPi * 4e-3 * 4e-3 / 4.0;
  const double k = 0.61 * area * std::sqrt(gamma / rt) *
                   std::pow(2.0 / (gamma + 1.0), (gamma + 1.0) / (2.0 * (gamma - 1.0)));
  const double volume = 25e-3 * 0.2;
  const double tau = volume / (k * rt);
  const double critical = std::pow(2.0 / (gamma + 1.0), gamma / (gamma - 1.0));
  const double ambient = 101300.0;
  // Charged to 6 bar in the starting step, then blown down.
  size_t switched = 0;
  for (size_t n = 0; n < p.size(); ++n) {
    if (regime[n] == 4.0) {
      EXPECT_LT(ambient / p[n], critical) << "frame " << n;
      EXPECT_NEAR(mass[n], k * p[n], 1e-9 * k * p[n]) << "frame " << n;
      // Backward Euler of 10 ms on tau = 3.25 s: well inside 0.5 %.
      const double expected = 6e5 * std::exp(-t[n] / tau);
      EXPECT_NEAR(p[n], expected, 5e-3 * expected) << "t = " << t[n];
    } else if (switched == 0) {
      switched = n;
    }
  }
  ASSERT_GT(switched, 1u);
  EXPECT_EQ(regime[switched], 3.0);
  EXPECT_GE(ambient / p[switched], critical);
  EXPECT_NEAR(t[switched], tau * std::log(6e5 * critical / ambient), 0.1);
  EXPECT_NEAR(p.back(), ambient, 1.0);  // emptied to the atmosphere
}

// ---------------------------------------------------------------- refused data

TEST(FluidData, BadDataAreRefusedAtTheirLineWithoutNaN) {
  const std::string head = ".in 1 0 0\n.in 2 0.5 0\nPs 1 0, 2e5\n";
  const std::string tail = "Ho 2 0, 2m\n.t 2\n   0\n   0.05\n   1m\n   10\n";
  const std::string rod = ".in 4 0 0.5\nb 0n 4n, 1, 1m, 0\n";
  const std::vector<Refusal> cases = {
      {"line of zero diameter", head + "Hl 1 2, 0, 2\n" + tail, 4, "データが？hl  0.000000e+00"},
      {"line of zero length", head + "// a note\nHl 1 2, 10m, 0\n" + tail, 5,
       "データが？hl  1.000000e-02 0.000000e+00"},
      {"line rougher than the Moody chart", head + "Hl 1 2, 10m, 2, 870, 0.03, 1m\n" + tail, 4,
       "面租度が？hl  1.000000e-03 1.000000e-02"},
      {"pipe of zero length", head + "Lf 1 2, 10m, 0\n" + tail, 4, "データが？"},
      {"pipe of negative roughness", head + "Lf 1 2, 10m, 2, 870, 0.03, -1u\n" + tail, 4,
       "データが？"},
      {"liquid orifice without an opening", head + "Ho 1 2, 0\n" + tail, 4, "データが？ho"},
      {"air orifice without an opening", head + "Ao 1 2, 0\n" + tail, 4, "データが？ao"},
      {"air line of zero length", head + "Al 1 2, 5m, 0\n" + tail, 4, "データが？al"},
      {"pump of negative flow", head + "Fs 0 2, -1m, 1e6\n" + tail, 4, "データが？"},
      {"cylinder of negative area", head + rod + "Cy 1 2, -2m, 1m, 0.4, 0, 0, 0, 4\n" + tail, 6,
       "データが？"},
      {"cylinder both liquid and gas",
       head + rod + "Cy 1 2, 2m, 1m, 0.4, 1n, 1, 0, 4\n" + tail, 6, "データが？"},
      // 2 bar on 20 cm² throws the 1 kg rod out of its 2 cm stroke within the run.
      {"cylinder out of stroke",
       ".in 1 0 0\n.in 4 0.5 0\nPs 1 0, 2e5\nb 0n 4n, 1, 1m, 0\nCy 1 0, 2m, 0, 0.02, 0, 0, 0, 4\n"
       ".t 2\n   0\n   0.2\n   1m\n   10\n",
       5, "ストローク相当が不足？"},
  };
  testing::expectRefused(cases);
}

}  // namespace
}  // namespace movra

// Planar mechanics against closed forms: pendulum periods (small swings and the
// complete elliptic integral), a spring-mass-damper's natural frequency, damping
// ratio and static deflection, a four-bar linkage against Freudenstein's equation,
// the energy of an undamped pendulum over 100 periods, and a rigid joint whose
// released directions move freely and carry no force.
//
// Every model switches gravity on at the first step with the step flag p2: the
// starting solution relaxes bodies towards equilibrium, and without gravity there
// is nothing to relax, so each body starts at rest exactly where it is placed.
// Values are read in process at full precision; item 1 of every frame is the time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/example_runs.h"

namespace movra {
namespace {

using Outcome = testing::InProcessRun;
using testing::crossings;
using testing::number;
using testing::readExample;
using testing::series;

constexpr double kPi = std::numbers::pi;
constexpr double kG = 9.81;

// Mean spacing of successive crossings: half a period.
double halfPeriod(const std::vector<double>& times) {
  return (times.back() - times.front()) / static_cast<double>(times.size() - 1);
}

struct Extreme {
  double time;
  double value;
};

// Local minima (sign -1: maxima) of v, each refined by the parabola through the
// frame and its two neighbours.
std::vector<Extreme> extremes(const std::vector<double>& t, const std::vector<double>& v,
                              double sign) {
  std::vector<Extreme> found;
  for (size_t i = 1; i + 1 < v.size(); ++i) {
    const double a = sign * v[i - 1];
    const double b = sign * v[i];
    const double c = sign * v[i + 1];
    if (!(b < a && b <= c)) continue;
    const double curvature = a - 2.0 * b + c;
    const double shift = curvature > 0.0 ? 0.5 * (a - c) / curvature : 0.0;  // in frames
    const double h = t[i + 1] - t[i];
    found.push_back({t[i] + shift * h, sign * (b - 0.25 * (a - c) * shift)});
  }
  return found;
}

// Complete elliptic integral of the first kind, K(k) = pi / (2 AGM(1, sqrt(1 - k^2))).
double ellipticK(double k) {
  double a = 1.0;
  double b = std::sqrt(1.0 - k * k);
  for (int i = 0; i < 40 && std::fabs(a - b) > 1e-16 * a; ++i) {
    const double mean = 0.5 * (a + b);
    b = std::sqrt(a * b);
    a = mean;
  }
  return kPi / (2.0 * a);
}

// ---------------------------------------------------------------- pendulum

// A point bob of mass m on a rod of length L from a fixed pivot at the origin,
// released from rest at `amplitude` (radians) from the downward (+y) vertical.
// Items: 1 time, 2 x of the bob, 3 y of the bob.
std::string pendulumModel(double length, double amplitude, double mass, double end, double step,
                          int interval) {
  return ".in 1 0 0\n"
         ".in 2, " +
         number(length * std::sin(amplitude)) + ", " + number(length * std::cos(amplitude)) +
         "\n"
         "pc 0n 1n\n"
         "lr 2n 1p\n"
         "b 0n 2n, " +
         number(mass) +
         ", 0, 9.81 * p2\n"
         ".o x2.1, x2.2\n"
         ".t 2\n   0\n   " +
         number(end) + "\n   " + number(step) + "\n   " + std::to_string(interval) + "\n";
}

struct Swing {
  double period = 0.0;     // from the crossings of the bottom
  double amplitude = 0.0;  // angle of the bob at frame 0
  int crossings = 0;
};

Swing swingOf(Outcome& outcome, double length) {
  const std::vector<double> t = series(outcome, 1);
  const std::vector<double> x = series(outcome, 2);
  const std::vector<double> y = series(outcome, 3);
  const std::vector<double> bottom = crossings(t, x, 0.0);
  Swing swing;
  swing.crossings = static_cast<int>(bottom.size());
  if (bottom.size() >= 2) swing.period = 2.0 * halfPeriod(bottom);
  swing.amplitude = std::atan2(x[0], y[0]);
  EXPECT_NEAR(std::hypot(x[0], y[0]), length, 1e-12) << "the bob starts where it is placed";
  return swing;
}

// 1 deg: the exact period exceeds 2 pi sqrt(L/g) by amplitude^2 / 16 = 1.9e-5 (the
// first term of the series of 4 K(sin(a/2)) / (2 pi)). The second-order method
// lengthens the period by about (omega h)^2 / 3 = 6.5e-6 at h = 1 ms (omega = 4.43
// rad/s), and the interpolated crossings add less than 1e-7. Allowed: 5e-5.
TEST(Pendulum, SmallSwingsTakeTwoPiRootLOverG) {
  const double length = 0.5;
  const double amplitude = 1.0 * kPi / 180.0;
  auto outcome = testing::runModelText(pendulumModel(length, amplitude, 1.0, 4.5, 1e-3, 1));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const Swing swing = swingOf(*outcome, length);
  ASSERT_GE(swing.crossings, 6);
  EXPECT_NEAR(swing.amplitude, amplitude, 1e-12);
  const double expected = 2.0 * kPi * std::sqrt(length / kG);
  EXPECT_NEAR(swing.period / expected - 1.0, 0.0, 5e-5)
      << "period " << swing.period << " s, closed form " << expected << " s";
  std::printf("pendulum 1 deg: period %.7f s, 2 pi sqrt(L/g) %.7f s, ratio - 1 = %.3g\n",
              swing.period, expected, swing.period / expected - 1.0);
}

// Large swings: T = 4 K(sin(a/2)) / omega0. The second-order method's lengthening of
// the period grows with the harmonics of the swing; (omega h)^2 / 3 is 6.5e-6 for the
// fundamental at h = 1 ms, and we allow 4e-5 for both amplitudes. 4.9 s of 1 ms steps
// stay within the 5000 frames a run records, so that every step is a frame: two
// periods at 120 deg, three at 60 deg.
void expectEllipticPeriod(double amplitudeDeg) {
  const double length = 0.5;
  const double amplitude = amplitudeDeg * kPi / 180.0;
  const double omega0 = std::sqrt(kG / length);
  const double expected = 4.0 * ellipticK(std::sin(0.5 * amplitude)) / omega0;
  auto outcome = testing::runModelText(pendulumModel(length, amplitude, 1.0, 4.9, 1e-3, 1));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const Swing swing = swingOf(*outcome, length);
  ASSERT_GE(swing.crossings, 5);
  EXPECT_NEAR(swing.amplitude, amplitude, 1e-12);
  EXPECT_NEAR(swing.period / expected - 1.0, 0.0, 4e-5)
      << amplitudeDeg << " deg: period " << swing.period << " s, 4 K(k) / omega0 = " << expected
      << " s";
  std::printf("pendulum %g deg: period %.7f s, 4 K(k) / omega0 %.7f s, ratio - 1 = %.3g\n",
              amplitudeDeg, swing.period, expected, swing.period / expected - 1.0);
}

TEST(Pendulum, SixtyDegreeSwingFollowsTheEllipticIntegral) {
  expectEllipticPeriod(60.0);
}

TEST(Pendulum, HundredTwentyDegreeSwingFollowsTheEllipticIntegral) {
  expectEllipticPeriod(120.0);
}

// The AGM itself, against tabulated values: K(0) = pi/2, K(sin 30 deg) = 1.685750355,
// K(sin 60 deg) = 2.156515648 (Abramowitz and Stegun, table 17.1).
TEST(Pendulum, EllipticIntegralOfTheTest) {
  EXPECT_NEAR(ellipticK(0.0), kPi / 2.0, 1e-15);
  EXPECT_NEAR(ellipticK(0.5), 1.685750355, 1e-9);
  EXPECT_NEAR(ellipticK(std::sqrt(3.0) / 2.0), 2.156515648, 1e-9);
}

// An undamped pendulum, 30 deg amplitude, second-order method, over 100 periods.
// The energy (J = 0, so all of it is potential at a turning point) is m g (L - y) at
// the turning points, read from frames 30 ms apart by a parabola: the swing is
// symmetric in time about a turning point, so that reading errs by a term of fourth
// order in the spacing, about 2e-5 of the energy.
// - Start: the first step is first order (the second-order formula needs two steps
//   of history). From rest, a backward Euler step moves the bob twice as far as it
//   should for the speed it gains and loses 1/2 m (h g sin a)^2: 7.3e-5 of the energy
//   at h = 2 ms, and the step after it, whose history holds that step, costs as
//   much again. Allowed at the first turning point: a loss of 3 x 7.3e-5.
// - Drift: the two-step backward differentiation formula damps an oscillation of
//   frequency omega by |R| = |(2 + sqrt(1 + 2 i omega h)) / (3 - 2 i omega h)| per
//   step, 1 - (omega h)^4 / 4: 2.1e-4 of the energy over 100 periods (computed below).
//   Written in the bob's x and y, with the rod as a constraint, the difference
//   quotients also feel the curvature of the path, which doubles that figure (4.3e-6
//   per period at 2 ms, falling as h^3 like the scalar estimate). The artificial
//   damping c_d = 1e-9 N s/m on each coordinate removes about c_d t / m = 1.5e-7.
//   Allowed from the first to the last turning points: a loss of at most three times
//   the scalar estimate, and no gain beyond the 3e-5 of the reading.
TEST(Pendulum, UndampedSwingKeepsItsEnergyOverAHundredPeriods) {
  const double length = 0.5;
  const double mass = 1.0;
  const double amplitude = 30.0 * kPi / 180.0;
  const double omega0 = std::sqrt(kG / length);
  const double period = 4.0 * ellipticK(std::sin(0.5 * amplitude)) / omega0;
  const double step = 2e-3;
  const int interval = 15;  // at most 5000 frames are recorded
  const double end = 100.5 * period;
  auto outcome = testing::runModelText(pendulumModel(length, amplitude, mass, end, step, interval));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();

  const std::vector<double> t = series(*outcome, 1);
  const std::vector<double> y = series(*outcome, 3);
  const std::vector<Extreme> turns = extremes(t, y, 1.0);  // minima of y: highest points
  ASSERT_GE(turns.size(), 195u);
  const auto energy = [&](const Extreme& turn) { return mass * kG * (length - turn.value); };
  const double start = mass * kG * length * (1.0 - std::cos(amplitude));
  const int window = 10;  // turning points averaged at each end
  double early = 0.0;
  double late = 0.0;
  for (int i = 0; i < window; ++i) {
    early += energy(turns[i]) / window;
    late += energy(turns[turns.size() - window + i]) / window;
  }

  const double firstOrderStep = 0.5 * mass * std::pow(step * kG * std::sin(amplitude), 2) / start;
  const double startLoss = 1.0 - energy(turns[0]) / start;
  EXPECT_LE(startLoss, 3.0 * firstOrderStep) << "loss at the first turning point";
  EXPECT_GE(startLoss, -3e-5) << "gain at the first turning point";

  const double omega = 2.0 * kPi / period;
  const double z = omega * step;
  const double gain = std::hypot(2.0 + std::sqrt(0.5 * (std::hypot(1.0, 2.0 * z) + 1.0)),
                                 std::sqrt(0.5 * (std::hypot(1.0, 2.0 * z) - 1.0))) /
                      std::hypot(3.0, 2.0 * z);
  const double steps = (turns[turns.size() - window / 2].time - turns[window / 2].time) / step;
  const double formulaLoss = 1.0 - std::pow(gain, 2.0 * steps);
  ASSERT_GT(formulaLoss, 1.5e-4);  // the estimate itself: 2.1e-4
  ASSERT_LT(formulaLoss, 3e-4);
  const double drift = 1.0 - late / early;
  EXPECT_LE(drift, 3.0 * formulaLoss) << "energy lost over 100 periods";
  EXPECT_GE(drift, -3e-5) << "energy gained over 100 periods";
  std::printf(
      "pendulum: start loss %.3g (one first-order step %.3g), loss over 100 periods "
      "%.3g (scalar estimate %.3g)\n",
      startLoss, firstOrderStep, drift, formulaLoss);
}

// The double pendulum of examples/double_pendulum.model (two 1 kg point bobs, two
// 0.5 m rods, released from rest in the horizontal), with the bodies' velocities
// as outputs. With the pivot as zero of height the energy
//   E = 1/2 m (v2^2 + v3^2) - m g (y2 + y3)
// is 0 at the start and stays 0 but for the method's errors. Both forms reach about
// m g (L1 + L2) = 14.7 J. The velocities read are the method's own difference
// quotients a0 (x - H), which differ from the true ones by (h^2 / 3) x''': with the
// rods turning at up to 12 rad/s and the bobs accelerating at up to some 60 m/s^2
// (the whip of the second rod), that is up to 4e-4 of the kinetic energy at the
// fastest moments, 6e-3 J. Averaged over a second, v x''' is minus the mean square
// of the acceleration, so the average of E carries a bias of m h^2 / 3 <|a|^2> per
// bob, some 3e-4 J, besides the dissipation of the second-order method (below 1e-4 J
// at these rates over 5 s, see the single pendulum) and its first-order start.
// Allowed: |E| <= 1e-2 J in every frame and |mean E| <= 2e-3 J over the last second.
TEST(DoublePendulum, EnergyStaysAtItsStartingValue) {
  const std::string model =
      ".in 1 0 0\n.in 2 0.5 0\n.in 3 1.0 0\n"
      "pc 0n 1n\n"
      "lr 2n 1p\n"
      "lr 3n 2p\n"
      "b 0n 2n, 1, 0, 9.81 * p2 {h1000 c1021 c1022}\n"
      "b 0n 3n, 1, 0, 9.81 * p2 {h1100 c1121 c1122}\n"
      ".o x2.1, x2.2, x3.1, x3.2, x1.1, x1.2\n"
      ".t 2\n   0\n   5\n   1m\n   1\n";
  auto outcome = testing::runModelText(model);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double m = 1.0;
  double worst = 0.0;
  double lastSecond = 0.0;  // mean E over the last 1000 frames
  double lowest = 0.0;
  const int slots = outcome->run->frames.capacity + 1;
  for (int f = 0; f <= outcome->run->lastFrame; ++f) {
    const int frame = (f + outcome->run->frameCursor) % slots;
    const double v2x = outcome->output(frame, 2);
    const double v2y = outcome->output(frame, 3);
    const double v3x = outcome->output(frame, 4);
    const double v3y = outcome->output(frame, 5);
    const double x2 = outcome->output(frame, 6);
    const double y2 = outcome->output(frame, 7);
    const double x3 = outcome->output(frame, 8);
    const double y3 = outcome->output(frame, 9);
    const double x1 = outcome->output(frame, 10);
    const double y1 = outcome->output(frame, 11);
    // The rods keep their lengths (Newton's last update is below 1e-6, and the
    // constraints are quadratic in it). The pivot itself is held by a joint that gives
    // way by 1e-9 m/N, well below a micrometre under the rod's pull.
    ASSERT_NEAR(std::hypot(x2 - x1, y2 - y1), 0.5, 1e-9) << outcome->output(frame, 1);
    ASSERT_NEAR(std::hypot(x1, y1), 0.0, 1e-6) << outcome->output(frame, 1);
    ASSERT_NEAR(std::hypot(x3 - x2, y3 - y2), 0.5, 1e-9) << outcome->output(frame, 1);
    const double energy =
        0.5 * m * (v2x * v2x + v2y * v2y + v3x * v3x + v3y * v3y) - m * kG * (y2 + y3);
    worst = std::max(worst, std::fabs(energy));
    if (f >= outcome->run->lastFrame - 999) lastSecond += energy / 1000.0;
    lowest = std::max(lowest, y3);
  }
  EXPECT_GT(lowest, 0.5);  // the second bob has swung well below the pivot
  EXPECT_LE(worst, 1e-2) << "largest |E| over the run, J";
  EXPECT_LE(std::fabs(lastSecond), 2e-3) << "mean E over the last second, J";
  std::printf("double pendulum: largest |E| %.3g J, mean over the last second %.3g J\n", worst,
              lastSecond);
}

// ---------------------------------------------------------------- spring and mass

// examples/spring_mass_damper.model: m = 1 kg, k = 400 N/m, c = 2 N s/m, natural
// length 0.2 m; the body starts at rest at the natural length. Items: 1 time, 2 y.
// The displacement from rest is -d exp(-zeta wn t)(cos wd t + ...), d = m g / k, so
// it crosses rest every pi / wd and its same-sign peaks shrink by exp(zeta wn Td).
// Tolerances at h = 1 ms (omega h = 0.02): the second-order method lengthens the
// period by about (omega h)^2 / 3 = 1.3e-4 and adds a damping ratio of about
// (omega h)^3 / 4 = 2e-6 (4e-5 of zeta); the parabola through three frames reads a
// peak to (omega h)^4 / 24 of the amplitude. Allowed: 5e-4 of omega_n, 1e-3 of zeta.
TEST(SpringMassDamper, NaturalFrequencyAndDampingRatio) {
  auto outcome = testing::runModelText(readExample("spring_mass_damper.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double m = 1.0;
  const double k = 400.0;
  const double c = 2.0;
  const double rest = 0.2 + m * kG / k;
  const std::vector<double> t = series(*outcome, 1);
  std::vector<double> u = series(*outcome, 2);
  for (double& value : u) value = -value - rest;  // the model's y points up

  const std::vector<double> zeros = crossings(t, u, 0.0);
  ASSERT_GE(zeros.size(), 12u);
  const double omegaD = kPi / halfPeriod(zeros);
  // Peaks below rest (u < 0: the body high) and above; their ratio per period.
  const std::vector<Extreme> highs = extremes(t, u, 1.0);
  const std::vector<Extreme> lows = extremes(t, u, -1.0);
  ASSERT_GE(highs.size(), 6u);
  ASSERT_GE(lows.size(), 6u);
  const int periods = 5;
  const double decrement = 0.5 *
                           (std::log(highs[0].value / highs[periods].value) +
                            std::log(lows[0].value / lows[periods].value)) /
                           periods;
  const double zeta = decrement / std::sqrt(4.0 * kPi * kPi + decrement * decrement);
  const double omegaN = omegaD / std::sqrt(1.0 - zeta * zeta);

  const double omegaNExpected = std::sqrt(k / m);            // 20 rad/s
  const double zetaExpected = c / (2.0 * std::sqrt(k * m));  // 0.05
  EXPECT_NEAR(omegaN / omegaNExpected - 1.0, 0.0, 5e-4) << "omega_n " << omegaN;
  EXPECT_NEAR(zeta / zetaExpected - 1.0, 0.0, 1e-3) << "zeta " << zeta;
  // The first swing: from rest at the natural length down to d (1 + exp(-zeta pi / ...)).
  const double d = m * kG / k;
  const double firstLow =
      d * std::exp(-zetaExpected * kPi / std::sqrt(1.0 - zetaExpected * zetaExpected));
  EXPECT_NEAR(lows[0].value, firstLow, 1e-3 * d);
  std::printf(
      "spring-mass-damper: omega_n %.6f rad/s (-1 = %.3g), zeta %.7f (-1 = %.3g), "
      "first swing %.4g of its closed form - 1\n",
      omegaN, omegaN / omegaNExpected - 1.0, zeta, zeta / zetaExpected - 1.0,
      lows[0].value / firstLow - 1.0);
}

// examples/spring_static.model, method 0: the body between two pre-tensioned springs
// moves down by m g / (k1 + k2) = 9.81 / 400 m. The problem is linear along y, so
// Newton ends on the solution up to rounding. The rigid joints that hold the anchors
// are compliant by 1e-9 m/N: under their reactions of 26.1 N and 16.3 N the anchors
// give way by 2.6e-8 m and 1.6e-8 m, which moves the body by
// (250 * 2.6e-8 - 150 * 1.6e-8) / 400 = 1.0e-8 m. Allowed: 3e-8 m.
TEST(SpringMassDamper, StaticDeflectionIsMgOverK) {
  auto outcome = testing::runModelText(readExample("spring_static.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  EXPECT_EQ(outcome->run->lastFrame, 0);
  EXPECT_NEAR(outcome->output(0, 2), 0.0, 1e-12);
  // The model's y points up: the body sits below its starting place at y = -0.2.
  EXPECT_NEAR(-outcome->output(0, 3) - 0.2, 1.0 * kG / 400.0, 3e-8);
  std::printf("static deflection %.10f m, m g / k %.10f m\n", -outcome->output(0, 3) - 0.2,
              kG / 400.0);
}

// examples/drop_on_spring.model: released on the top of an unloaded spring, the body
// first stops at twice the static deflection (less the little its damping takes:
// exp(-zeta pi) with zeta = 1 / (2 sqrt(1000 * 2)) = 0.01118), after half a period.
// Allowed: 2e-3 of the deflection and 1 ms (the frame spacing) in time, covering the
// second-order method at omega h = 0.022.
TEST(SpringMassDamper, BodyDroppedOnASpringStopsAtTwiceTheStaticDeflection) {
  auto outcome = testing::runModelText(readExample("drop_on_spring.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double m = 2.0;
  const double k = 1000.0;
  const double zeta = 1.0 / (2.0 * std::sqrt(k * m));
  const double d = m * kG / k;
  const std::vector<double> t = series(*outcome, 1);
  std::vector<double> y = series(*outcome, 2);
  for (double& value : y) value = -value;  // depth below the foot: the model's y points up
  const std::vector<Extreme> lowest = extremes(t, y, -1.0);  // maxima of the depth
  ASSERT_FALSE(lowest.empty());
  const double deflection = lowest[0].value + 0.3;
  EXPECT_NEAR(deflection, d * (1.0 + std::exp(-zeta * kPi / std::sqrt(1.0 - zeta * zeta))),
              2e-3 * d);
  const double omegaD = std::sqrt(k / m) * std::sqrt(1.0 - zeta * zeta);
  EXPECT_NEAR(lowest[0].time, kPi / omegaD, 1e-3);
  std::printf("drop: deflection %.6f of its closed form, lowest at %.6f s (pi / omega_d %.6f s)\n",
              deflection / (d * (1.0 + std::exp(-zeta * kPi / std::sqrt(1.0 - zeta * zeta)))),
              lowest[0].time, kPi / omegaD);
}

// ---------------------------------------------------------------- four-bar linkage

// examples/four_bar.model: A = (0, 0), B = (0, 0.1), C = (0.4, 0.3), D = (0.4, 0); the
// crank turns by 360 deg per second. Items: 1 time, 2 x_B, 3 y_B, 4 x_C, 5 y_C,
// 6 the rocker node's angle in degrees.
struct FourBar {
  double a = 0.1;             // crank AB
  double b = std::sqrt(0.2);  // coupler BC
  double c = 0.3;             // rocker DC
  double d = 0.4;             // ground AD
  double dx = 0.4;            // D
};

// Freudenstein: K1 cos t4 - K2 cos t2 + K3 = cos(t2 - t4), K1 = d/a, K2 = d/c,
// K3 = (a^2 - b^2 + c^2 + d^2) / (2 a c). As A cos t4 + B sin t4 + C = 0 with
// A = K1 - cos t2, B = -sin t2, C = K3 - K2 cos t2, and t = tan(t4 / 2):
// (C - A) t^2 + 2 B t + (A + C) = 0. `branch` (+1 or -1) picks the root.
double rockerAngle(const FourBar& bar, double crank, double branch) {
  const double k1 = bar.d / bar.a;
  const double k2 = bar.d / bar.c;
  const double k3 =
      (bar.a * bar.a - bar.b * bar.b + bar.c * bar.c + bar.d * bar.d) / (2.0 * bar.a * bar.c);
  const double a = k1 - std::cos(crank);
  const double b = -std::sin(crank);
  const double c = k3 - k2 * std::cos(crank);
  const double root = std::sqrt(a * a + b * b - c * c);
  return 2.0 * std::atan2(-b + branch * root, c - a);
}

double wrapped(double angle) {
  return std::remainder(angle, 2.0 * kPi);
}

// The rocker angle against Freudenstein at every recorded crank angle (a full turn),
// and the three link lengths. The linkage has no mass, so each frame is a solution
// of the constraints alone: Newton stops once its update is below 1e-6, and the
// constraints are quadratic in the update, so what is left is of the order of
// (1e-6)^2 / L = 1e-11 m. Allowed: 1e-9 m on the lengths and 1e-8 rad on the rocker
// angle (1e-9 m over the 0.3 m rocker is 3e-9 rad).
TEST(FourBar, RockerFollowsFreudensteinAndLinksKeepTheirLengths) {
  auto outcome = testing::runModelText(readExample("four_bar.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const FourBar bar;
  // The solver of the test: the branch through the start (both angles 90 deg), and
  // the coupler length at the solutions it gives.
  double branch = 1.0;
  if (std::fabs(wrapped(rockerAngle(bar, kPi / 2, 1.0) - kPi / 2)) > 1e-12) branch = -1.0;
  ASSERT_NEAR(wrapped(rockerAngle(bar, kPi / 2, branch) - kPi / 2), 0.0, 1e-12);
  for (double crank = 0.0; crank < 2.0 * kPi; crank += 0.1) {
    const double rocker = rockerAngle(bar, crank, branch);
    const double bx = bar.a * std::cos(crank);
    const double by = bar.a * std::sin(crank);
    const double cx = bar.dx + bar.c * std::cos(rocker);
    const double cy = bar.c * std::sin(rocker);
    ASSERT_NEAR(std::hypot(cx - bx, cy - by), bar.b, 1e-12) << crank;
  }

  int checked = 0;
  double worstAngle = 0.0;
  double worstLength = 0.0;
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double t = outcome->output(frame, 1);
    const double bx = outcome->output(frame, 2);
    const double by = outcome->output(frame, 3);
    const double cx = outcome->output(frame, 4);
    const double cy = outcome->output(frame, 5);
    const double crank = std::atan2(by, bx);
    // The crank follows its formula: 90 deg + 360 deg per second.
    EXPECT_NEAR(wrapped(crank - (kPi / 2 + 2.0 * kPi * t)), 0.0, 1e-8) << "t = " << t;
    const double rocker = std::atan2(cy, cx - bar.dx);
    const double expected = rockerAngle(bar, crank, branch);
    EXPECT_NEAR(wrapped(rocker - expected), 0.0, 1e-8) << "t = " << t;
    // The rocker node turns with the rocker: its angle is the rocker's turn.
    EXPECT_NEAR(outcome->output(frame, 6), (rocker - kPi / 2) * 180.0 / kPi, 1e-6) << "t = " << t;
    worstAngle = std::max(worstAngle, std::fabs(wrapped(rocker - expected)));
    const double lengths[3] = {std::hypot(bx, by) - bar.a, std::hypot(cx - bx, cy - by) - bar.b,
                               std::hypot(cx - bar.dx, cy) - bar.c};
    for (double error : lengths) {
      EXPECT_NEAR(error, 0.0, 1e-9) << "t = " << t;
      worstLength = std::max(worstLength, std::fabs(error));
    }
    ++checked;
  }
  EXPECT_GE(checked, 100);  // a full turn of the crank
  std::printf("four-bar: %d frames, worst rocker angle %.3g rad, worst length %.3g m\n", checked,
              worstAngle, worstLength);
}

// ---------------------------------------------------------------- released joint

// A body of m = 2 kg, J = 0.5 kg m^2 held to the ground by a rigid joint, under
// gravity, pushed by F = 4 N along x and turned by M = 1 N m from the first step.
// Released in x and in angle (`{r x a}`), it slides and turns freely: x'' = F / m
// = 2 m/s^2 and theta'' = M / J = 2 rad/s^2, while y stays held and the joint
// carries m g along y and nothing along x or about the angle. The second-order
// method is exact for constant accelerations once past its first-order start, so
// the second differences of the frames (10 ms apart) are a'' h^2 = 2e-4 to
// rounding. Held in every direction, the same joint carries -F and -M instead.
// Items: 1 time, 2..4 the joint's lambda_x, lambda_y, lambda_theta (its annotation
// comes first), 5 x, 6 y, 7 angle (rad).
std::string releasedJointModel(const std::string& release) {
  return ".in 1 0 0\n"
         "pc 0n 1n " +
         release +
         " {h1100 c1101 c1102 c1105}\n"
         "b 0n 1n, 2, 0.5, -9.81 * p2\n"
         "fc 0n 1n, 4 * p2, 0, 1 * p2\n"
         ".o x1.1, x1.2, x1.3\n"
         ".t 2\n   0\n   1\n   1m\n   10\n";
}

TEST(RigidJoint, ReleasedDirectionsMoveFreelyAndCarryNoForce) {
  auto outcome = testing::runModelText(releasedJointModel("{r x a}"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  ASSERT_EQ(outcome->run->lastFrame, 100);
  const std::vector<double> x = series(*outcome, 5);
  const std::vector<double> y = series(*outcome, 6);
  const std::vector<double> angle = series(*outcome, 7);
  const double h = 0.01;
  for (size_t i = 5; i + 1 < x.size(); ++i) {
    EXPECT_NEAR(x[i + 1] - 2.0 * x[i] + x[i - 1], 2.0 * h * h, 1e-10) << "frame " << i;
    EXPECT_NEAR(angle[i + 1] - 2.0 * angle[i] + angle[i - 1], 2.0 * h * h, 1e-10) << i;
  }
  EXPECT_NEAR(x.back(), 1.0, 2e-3);  // t^2, less the first step without the force
  EXPECT_NEAR(angle.back(), 1.0, 2e-3);
  for (int frame = 1; frame <= 100; ++frame) {
    EXPECT_NEAR(y[frame], 0.0, 1e-7) << frame;  // the joint's compliance: 1e-9 m/N
    EXPECT_EQ(outcome->output(frame, 2), 0.0) << frame;
    // The body settles onto the joint's compliance over the first steps.
    EXPECT_NEAR(outcome->output(frame, 3), 2.0 * kG, 1e-6) << frame;
    EXPECT_EQ(outcome->output(frame, 4), 0.0) << frame;
  }

  // Held, the joint takes the force and the moment.
  auto held = testing::runModelText(releasedJointModel(""));
  ASSERT_EQ(held->status, 0) << held->messages.last();
  EXPECT_NEAR(held->output(100, 5), 0.0, 1e-7);
  EXPECT_NEAR(held->output(100, 7), 0.0, 1e-7);
  EXPECT_NEAR(held->output(100, 2), -4.0, 1e-9);
  EXPECT_NEAR(held->output(100, 3), 2.0 * kG, 1e-9);
  EXPECT_NEAR(held->output(100, 4), -1.0, 1e-9);

  // Released in y only, the body falls: y'' = -g.
  auto falling = testing::runModelText(releasedJointModel("{r y}"));
  ASSERT_EQ(falling->status, 0) << falling->messages.last();
  const std::vector<double> fall = series(*falling, 6);
  EXPECT_NEAR(fall[51] - 2.0 * fall[50] + fall[49], -kG * h * h, 1e-10);
  EXPECT_NEAR(falling->output(100, 5), 0.0, 1e-7);
  EXPECT_EQ(falling->output(100, 3), 0.0);
}

// Two constraints that hold one node at different places cannot both be met: the
// starting solution would leave the node between them, so the run is refused at the
// joint's line, naming the other. The same joints agreeing (or one of them released
// along the disputed direction) run.
TEST(Constraints, JointsThatHoldANodeApartAreRefusedAtTheirLine) {
  const std::string tail = "b 0n 1n, 1, 1m\n.o x1.1\n.t 2\n   0\n   0.01\n   1m\n   1\n";
  struct Case {
    std::string joints;
    bool refused;
  };
  const Case cases[] = {
      {".in 1 0 0\npc 0n 1n\npc 0n 1n, 0.1, 0\n", true},
      {".in 1 0 0\n.in 2 0.5 0\npc 0n 1n\nlr 1n 2p\npc 0n 2n, 0.1, 0\n", true},
      {".in 1 0 0\npc 0n 1n\npc 0n 1n, 0.1, 0 {r x}\n", false},
      {".in 1 0 0\n.in 2 0.5 0\npc 0n 1n\nlr 1n 2p\npc 0n 2n {r a}\n", false},
  };
  for (const Case& c : cases) {
    auto outcome = testing::runModelText(c.joints + tail);
    if (!c.refused) {
      EXPECT_EQ(outcome->status, 0) << c.joints << outcome->messages.last();
      continue;
    }
    EXPECT_EQ(outcome->status, kRunRefused) << c.joints;
    EXPECT_NE(outcome->messages.last().find("拘束が満たせない？ 0.05"), std::string::npos)
        << outcome->messages.last();
  }
}

}  // namespace
}  // namespace movra

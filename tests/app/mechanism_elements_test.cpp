// The slider joint, the gear mesh and the elastic beam in whole runs against
// closed forms: the slider-crank's piston path and normal force, a mass on a
// slider with spring and Coulomb friction, speed ratios and torque balance of a
// gear train and a planetary set (Willis), and a cantilever's static deflection,
// bending frequency and large rigid turn. Bad data are refused at the model
// file's line with no NaN left in the unknowns.
//
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
using testing::check;
using testing::Checked;
using testing::crossings;
using testing::number;
using testing::readExample;
using testing::Refusal;
using testing::series;

constexpr double kPi = std::numbers::pi;
constexpr double kG = 9.81;
constexpr double kDegree = kPi / 180.0;

// Turning points of v (both kinds, in time order), each refined by the parabola
// through the frame and its neighbours. A frame that equals its neighbour (a mass
// at rest) is no turning point.
std::vector<double> turningValues(const std::vector<double>& v) {
  std::vector<double> found;
  for (size_t i = 1; i + 1 < v.size(); ++i) {
    const double a = v[i - 1];
    const double b = v[i];
    const double c = v[i + 1];
    const bool peak = b > a && b >= c;
    const bool dip = b < a && b <= c;
    if (!peak && !dip) continue;
    const double curvature = a - 2.0 * b + c;
    const double shift = curvature != 0.0 ? 0.5 * (a - c) / curvature : 0.0;
    found.push_back(b - 0.25 * (a - c) * shift);
  }
  return found;
}

// ---------------------------------------------------------------- slider

// examples/slider_crank.model: r = 0.1, l = 0.3, crank at 360 deg/s. Items: 1 time,
// 2 x of the piston, 3 and 4 the crank pin. Massless links make each frame a
// solution of the constraints: Newton stops below 1e-6, and the constraints are
// quadratic in the update, so about 1e-11 m is left; the slider's normal row gives
// way by c_d·λ_n (1e-9 m/N) under the piston's few newtons. Allowed: 1e-8 m.
TEST(SliderCrank, PistonFollowsTheClosedForm) {
  auto outcome = testing::runModelText(readExample("slider_crank.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double r = 0.1;
  const double l = 0.3;
  double worst = 0.0;
  double lowest = 1.0;
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double t = outcome->output(frame, 1);
    const double piston = outcome->output(frame, 2);
    const double theta = std::atan2(outcome->output(frame, 4), outcome->output(frame, 3));
    EXPECT_NEAR(std::remainder(theta - 2.0 * kPi * t, 2.0 * kPi), 0.0, 1e-7) << t;
    const double s = std::sin(theta);
    const double expected = r * std::cos(theta) + std::sqrt(l * l - r * r * s * s);
    EXPECT_NEAR(piston, expected, 1e-8) << "t = " << t;
    worst = std::max(worst, std::fabs(piston - expected));
    lowest = std::min(lowest, piston);
  }
  EXPECT_NEAR(lowest, l - r, 1e-3);  // bottom dead centre reached
  EXPECT_GE(outcome->run->lastFrame, 150);
  std::printf("slider-crank: %d frames, worst piston error %.3g m\n", outcome->run->lastFrame + 1,
              worst);
}

// A static slider-crank held at crank angle theta, a load P pushing the piston
// towards the crank. The rod is a two-force member, so at the piston
//   C cos phi = P,  N = C sin phi = P r sin theta / sqrt(l^2 - r^2 sin^2 theta),
// phi the rod's angle to the guide. The joint holding the crank gives way by 1e-9
// m/N: 5e-8 m under the 50 N, which turns the rod by up to 2e-7 rad and changes N
// by P dphi / cos^2 phi, up to 2.4e-7 P. Allowed: 5e-7 of P, and 1e-7 m on the
// piston's place.
TEST(SliderCrank, NormalForceBalancesTheLoad) {
  const double r = 0.1;
  const double l = 0.3;
  const double load = 50.0;
  for (double degrees : {30.0, 100.0, 210.0, 300.0}) {
    const double theta = degrees * kDegree;
    const double s = std::sin(theta);
    const double x2 = r * std::cos(theta);
    const double y2 = r * s;
    const double x3 = x2 + std::sqrt(l * l - y2 * y2);
    const std::string model = ".in 1 0 0\n.in 2, " + number(x2) + ", " + number(y2) + "\n.in 3, " +
                              number(x3) +
                              ", 0\n"
                              "pc 0n 1n\nlr 1n 2p\nlr 2n 3p\n"
                              "ls 0n 3n {h1000}\n"
                              "fc 0n 3n, " +
                              number(-load) +
                              "\n"
                              ".o x3.1\n.t 0\n   0\n   0\n   1\n";
    auto outcome = testing::runModelText(model);
    ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
    const double normal = outcome->model->parameters.get(1005);
    const double expected = load * r * s / std::sqrt(l * l - r * r * s * s);
    EXPECT_NEAR(normal, expected, 5e-7 * load) << degrees << " deg";
    // The slider holds the piston on the guide: the coordinate is the piston's x.
    EXPECT_NEAR(outcome->model->parameters.get(1009), x3, 1e-7);
    std::printf("slider-crank at %g deg: normal force %.9f N, static balance %.9f N\n", degrees,
                normal, expected);
  }
}

// The guide is fixed in its node's frame: turning the node by 30 deg (a joint's
// angle offset) turns the guide, and the sliding node, held by the slider's spring
// at s_0 = 0.3 m, follows it round. A static run; allowed 1e-8 m for the joints'
// compliance.
TEST(SliderGuide, TurnsWithItsNode) {
  const std::string model =
      ".in 1 0 0\n.in 2 0.3 0\n"
      "pc 0n 1n, 0, 0, 30\n"
      "ls 1n 2n, 100 {h1000}\n"
      "b 0n 2n, 1, 0, 0\n"
      ".o x2.1, x2.2, x2.4\n.t 0\n   0\n   0\n   1\n";
  auto outcome = testing::runModelText(model);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  EXPECT_NEAR(outcome->output(0, 2), 0.3 * std::cos(30.0 * kDegree), 1e-8);
  EXPECT_NEAR(outcome->output(0, 3), 0.3 * std::sin(30.0 * kDegree), 1e-8);
  EXPECT_NEAR(outcome->output(0, 4), 30.0, 1e-6);  // the rotation is locked to the guide's
  EXPECT_NEAR(outcome->model->parameters.get(1013), 30.0, 1e-6);
}

std::string slidingMass(double stiffness, double friction, double preload, double end) {
  return ".in 1 0 0\n.in 2 0.3 0\n"
         "pc 0n 1n\n"
         "ls 1n 2n, " +
         number(stiffness) + ", " + number(preload) + " * p2, 0, " + number(friction) +
         " {h1000}\n"
         "b 0n 2n, 1, 1m, -9.81 * p2\n"
         ".o x2.1, x2.2\n"
         ".t 2\n   0\n   " +
         number(end) + "\n   1m\n   1\n";
}

// No friction: the mass swings about the rest point s_0 + F0/k at sqrt(k/m). The
// second-order method lengthens the period by (omega h)^2 / 3 = 3.3e-5 at h = 1 ms;
// allowed 2e-4. Gravity pulls across the guide: the normal force is the weight and
// the mass stays on the guide line but for the compliance of the normal row and of
// the anchor's joint (1e-9 m/N each under 9.81 N: 2e-8 m).
TEST(SliderSpring, SwingsAtRootKOverM) {
  const double k = 100.0;
  const double m = 1.0;
  auto outcome = testing::runModelText(slidingMass(k, 0.0, -4.0, 3.0));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const std::vector<double> t = series(*outcome, 1);
  const std::vector<double> x = series(*outcome, 2);
  const std::vector<double> y = series(*outcome, 3);
  const double rest = 0.3 - 4.0 / k;
  const std::vector<double> zeros = crossings(t, x, rest);
  ASSERT_GE(zeros.size(), 8u);
  const double period = 2.0 * (zeros.back() - zeros.front()) / (zeros.size() - 1);
  const double expected = 2.0 * kPi * std::sqrt(m / k);
  EXPECT_NEAR(period / expected - 1.0, 0.0, 2e-4) << period;
  for (double value : y) ASSERT_NEAR(value, 0.0, 5e-8);
  EXPECT_NEAR(outcome->model->parameters.get(1005), m * kG, 1e-6);  // the guide holds it up
  std::printf("slider spring: period %.6f s, 2 pi sqrt(m/k) %.6f s\n", period, expected);
}

// examples/slider_friction.model: k = 100 N/m, F = 0.5 N, m = 1 kg, released 48 mm
// from the rest point. Each half swing is half a cosine about +-F/k (the friction
// opposes the motion), so the turning points follow x' = -(x - 2 F/k sign x): +48,
// -38, +28, -18, +8, and from +8 about +5 mm to +2 mm, within the dead band |x| <=
// F/k, where the spring no longer beats the friction. Near each turning point the
// friction passes through its sticking law (1000 F N s/m below 1 mm/s); allowed 0.3
// mm per turning point. Once stuck the spring pulls with 0.2 N, and the sticking
// law lets the mass creep at 0.2 / 500 m/s towards the rest point: about 0.5 mm in
// the remaining 1.3 s. Allowed at the end: +2 mm less 0 to 1 mm.
TEST(SliderFriction, AmplitudeFallsByFourFOverKPerCycleAndStopsInTheDeadBand) {
  auto outcome = testing::runModelText(readExample("slider_friction.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double k = 100.0;
  const double friction = 0.5;
  const double rest = 0.3 - 0.048;
  std::vector<double> x = series(*outcome, 2);
  for (double& value : x) value -= rest;
  const std::vector<double> turns = turningValues(x);
  ASSERT_GE(turns.size(), 4u);
  EXPECT_NEAR(x.front(), 0.048, 1e-4);  // the first frame, 5 ms in
  // +48, -38, +28, -18, +8: each half swing 10 mm less.
  for (size_t i = 0; i < 4; ++i) {
    const double expected = (i % 2 == 0 ? -1.0 : 1.0) * (0.048 - 2.0 * friction / k * (i + 1));
    EXPECT_NEAR(turns[i], expected, 3e-4) << "turning point " << i;
  }
  const double final = x.back();
  // From +8 mm it slides towards +2 mm and sticks: no turning point after that.
  EXPECT_EQ(turns.size(), 4u);
  EXPECT_LE(std::fabs(final), friction / k);
  EXPECT_LE(final, 0.002);
  EXPECT_GE(final, 0.001);
  const double recordedState = outcome->model->parameters.get(1012);
  EXPECT_EQ(recordedState, 0.0) << "stuck at the end";
  std::printf("slider friction: turning points");
  for (double value : turns) std::printf(" %.5f", value);
  std::printf(" m; at rest %.5f m\n", final);
}

// ---------------------------------------------------------------- gears

double finalValue(Outcome& outcome, int id) {
  return outcome.model->parameters.get(id);
}

// examples/gear_train.model: r1 = 50 mm driven at 180 deg/s, idler r2 = 30 mm,
// output r3 = 40 mm with a load damper of 0.2 N m s/rad. The rolling constraints are
// linear in the angles; what they measure against is the line of centres, which the
// tooth forces (about 20 N) turn by the compliance of the joints that hold the
// centres, 1e-9 m/N over 70 mm: some 3e-7 rad each. Allowed: 1e-4 deg besides 1e-6
// of the angle. In steady running (the gears' inertia no longer accelerates)
// the tooth force of the second mesh carries the load, F r3 cos 20 deg = c omega3,
// and the idler passes it on unchanged. Allowed: 1e-4 of the torque, for the
// backward difference of omega3 that the damper sees.
TEST(GearTrain, SpeedRatiosFollowTheRadiiAndTorquesBalance) {
  auto outcome = testing::runModelText(readExample("gear_train.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double r1 = 0.05, r2 = 0.03, r3 = 0.04;
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double input = outcome->output(frame, 2);
    const double allowed = 1e-4 + 1e-6 * std::fabs(input);
    EXPECT_NEAR(outcome->output(frame, 3), -r1 / r2 * input, allowed);
    EXPECT_NEAR(outcome->output(frame, 4), r1 / r3 * input, allowed);
  }
  const double omega3 = finalValue(*outcome, 1112) * kDegree;
  EXPECT_NEAR(omega3, r1 / r3 * kPi, 1e-6);
  const double load = 0.2 * omega3;
  const double first = finalValue(*outcome, 1005);
  const double second = finalValue(*outcome, 1105);
  const double cosine = std::cos(20.0 * kDegree);
  EXPECT_NEAR(std::fabs(second) * r3 * cosine, load, 1e-4 * load);
  EXPECT_NEAR(std::fabs(first), std::fabs(second), 1e-4 * std::fabs(second));
  // The mesh drives the output gear against its load and holds the input gear back.
  EXPECT_NEAR(finalValue(*outcome, 1107), load, 1e-4 * load);
  EXPECT_LT(finalValue(*outcome, 1006), 0.0);
  EXPECT_NEAR(std::fabs(finalValue(*outcome, 1006)), r1 / r3 * load, 1e-4 * load);
  std::printf("gear train: output %.6f rad/s, tooth forces %.6f and %.6f N, load %.6f N m\n",
              omega3, first, second, load);
}

// examples/planetary_gear.model: sun rs = 40 mm at 360 deg/s, ring R = 80 mm held,
// planet rp = 20 mm on the carrier. Willis: omega_c = omega_s rs / (rs + R), and the
// planet turns at omega_c - (rs / rp)(omega_s - omega_c). In steady running the
// carrier's load torque c omega_c equals (1 + R / rs) times the sun's torque
// F rs cos 20 deg. Allowed as for the gear train.
TEST(PlanetaryGear, CarrierAndPlanetFollowWillis) {
  auto outcome = testing::runModelText(readExample("planetary_gear.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double rs = 0.04, rp = 0.02, ring = 0.08;
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double sun = outcome->output(frame, 2);
    const double carrier = outcome->output(frame, 3);
    const double planet = outcome->output(frame, 4);
    const double allowed = 1e-4 + 1e-6 * std::fabs(sun);
    EXPECT_NEAR(carrier, sun * rs / (rs + ring), allowed);
    EXPECT_NEAR(planet, carrier - rs / rp * (sun - carrier), allowed);
  }
  const double omegaC = 2.0 * kPi * rs / (rs + ring);
  const double load = 0.5 * omegaC;
  const double sunTorque = std::fabs(finalValue(*outcome, 1005)) * rs * std::cos(20.0 * kDegree);
  EXPECT_NEAR(load, (1.0 + ring / rs) * sunTorque, 1e-4 * load);
  // The planet is balanced by the two meshes: equal tooth forces.
  EXPECT_NEAR(std::fabs(finalValue(*outcome, 1105)), std::fabs(finalValue(*outcome, 1005)),
              1e-4 * std::fabs(finalValue(*outcome, 1005)));
  std::printf("planetary: carrier load %.6f N m, sun torque %.6f N m, ratio %.6f\n", load,
              sunTorque, load / sunTorque);
}

// ---------------------------------------------------------------- beam

// A cantilever (EI = 21 N m^2, L = 0.5 m) with a small tip load, statically: the tip
// moves by F L^3 / (3 E I) down and turns by F L^2 / (2 E I). With F = 0.1 N the
// deflection is 0.2 mm, w / L = 4e-4, so the chord's turn and the arc shortening
// change it by terms of (w / L)^2 = 1.6e-7. Allowed: 1e-6 of the deflection.
TEST(Cantilever, StaticTipDeflectionIsFLCubedOverThreeEI) {
  const double force = 0.1;
  const std::string model =
      ".in 1 0 0\n.in 2 0.5 0\n"
      "pc 0n 1n\n"
      "lb 1n 2n, 210G, 0, 100u, 1e-10 {h1000}\n"
      "fc 0n 2n, 0, " +
      number(-force) +
      "\n"
      ".o x2.1, x2.2, x2.4\n.t 0\n   0\n   0\n   1\n";
  auto outcome = testing::runModelText(model);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double ei = 210e9 * 1e-10;
  const double length = 0.5;
  const double deflection = force * length * length * length / (3.0 * ei);
  EXPECT_NEAR(outcome->output(0, 3), -deflection, 1e-6 * deflection);
  EXPECT_NEAR(outcome->output(0, 4) * kDegree, -force * length * length / (2.0 * ei), 1e-9);
  EXPECT_NEAR(finalValue(*outcome, 1009), -deflection, 1e-6 * deflection);
  std::printf("cantilever: tip deflection %.9g m, F L^3 / (3 E I) %.9g m\n", -outcome->output(0, 3),
              deflection);
}

// A 2 kg tip mass on EI = 21 N m^2, L = 0.5 m, the beam's mass left out, pulled
// aside by 0.2 N at the start and let go: omega = sqrt(3 E I / (m L^3)) = 15.87
// rad/s. The swing of 0.4 mm over 0.5 m changes the stiffness by terms of
// (w / L)^2 = 6e-7; the second-order method lengthens the period by (omega h)^2 / 3
// = 8.4e-5 at h = 1 ms. Allowed: 2e-4 of the period.
TEST(Cantilever, TipMassSwingsAtTheFirstBendingFrequency) {
  const std::string model =
      ".in 1 0 0\n.in 2 0.5 0\n"
      "pc 0n 1n\n"
      "lb 1n 2n, 210G, 0, 100u, 1e-10\n"
      "b 0n 2n, 2, 0, 0\n"
      "fc 0n 2n, 0, -0.2 * (1 - p2)\n"
      ".o x2.2\n.t 2\n   0\n   2\n   1m\n   1\n";
  auto outcome = testing::runModelText(model);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double stiffness = 3.0 * 21.0 / 0.125;
  const double m = 2.0;
  const std::vector<double> t = series(*outcome, 1);
  const std::vector<double> y = series(*outcome, 2);
  const std::vector<double> zeros = crossings(t, y, 0.0);
  ASSERT_GE(zeros.size(), 9u);
  const double period = 2.0 * (zeros.back() - zeros.front()) / (zeros.size() - 1);
  const double expected = 2.0 * kPi * std::sqrt(m / stiffness);
  EXPECT_NEAR(period / expected - 1.0, 0.0, 2e-4) << period;
  std::printf("cantilever: period %.6f s, 2 pi sqrt(m L^3 / (3 E I)) %.6f s\n", period, expected);
}

// examples/cantilever_tip_mass.model: released from its deflection under weight and
// pull, the tip swings about the deflection under the weight alone, m g / k = 38.9
// mm, by as much on either side (only the artificial damping takes from it). The
// starting step stiffens the tip by its unit relaxation terms (1 N/m, 1 N m/rad on
// the tip's coordinates), which leaves the start about 2.6 % short of the full
// static deflection; the swing's centre does not depend on it. A swing reaching 12 %
// of the length is no longer quite linear: terms of (w / L)^2 = 1.3 % shift its
// centre by about 1 % of the swing and shorten the period by about 0.2 %. Allowed:
// 2 % of the swing on its centre, 3 % on its top, 0.5 % on the period.
TEST(Cantilever, ExampleSwingsAboutTheStaticDeflection) {
  auto outcome = testing::runModelText(readExample("cantilever_tip_mass.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const double stiffness = 3.0 * 21.0 / 0.125;
  const double m = 2.0;
  const double weight = m * kG / stiffness;
  const std::vector<double> t = series(*outcome, 1);
  const std::vector<double> y = series(*outcome, 2);
  const double start = y.front();
  EXPECT_NEAR(start, -(weight + 10.0 / stiffness), 0.03 * (weight + 10.0 / stiffness));
  const auto [low, high] = std::minmax_element(y.begin(), y.end());
  const double swing = -weight - start;
  EXPECT_NEAR(0.5 * (*low + *high), -weight, 0.02 * swing);
  EXPECT_NEAR(*high, -weight + swing, 0.03 * swing);
  const std::vector<double> zeros = crossings(t, y, -weight);
  ASSERT_GE(zeros.size(), 5u);
  const double period = 2.0 * (zeros.back() - zeros.front()) / (zeros.size() - 1);
  EXPECT_NEAR(period / (2.0 * kPi * std::sqrt(m / stiffness)) - 1.0, 0.0, 5e-3);
  std::printf("cantilever example: start %.5f m, swing %.5f..%.5f m, period %.6f s\n", start, *low,
              *high, period);
}

// A stiff beam turned one and a half times by its clamp, a mass at its tip: the
// co-rotational frame makes the turn free, and only the centrifugal pull
// m omega^2 L = 9.9 N stretches it, by 9.9 / (EA / L) = 2.4e-7 m. The chord angle
// goes on past 180 deg without a jump. Allowed on the length: 1e-6 m.
TEST(Cantilever, LargeRigidTurnKeepsTheLength) {
  const std::string model =
      ".in 1 0 0\n.in 2 0.5 0\n"
      "pc 0n 1n, 0, 0, 180 * p1\n"
      "lb 1n 2n, 210G, 0, 100u, 1e-6 {h1000}\n"
      "b 0n 2n, 2, 0, 0\n"
      ".o x2.1, x2.2, c1014\n.t 2\n   0\n   3\n   1m\n   10\n";
  auto outcome = testing::runModelText(model);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  double previous = 0.0;
  double worst = 0.0;
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double x = outcome->output(frame, 2);
    const double y = outcome->output(frame, 3);
    const double chord = outcome->output(frame, 4);
    worst = std::max(worst, std::fabs(std::hypot(x, y) - 0.5));
    EXPECT_NEAR(std::hypot(x, y), 0.5, 1e-6) << frame;
    if (frame > 0) {
      EXPECT_LT(std::fabs(chord - previous), 5.0) << "a jump at frame " << frame;
    }
    previous = chord;
  }
  EXPECT_NEAR(previous, 540.0, 1.0);  // one and a half turns, unwrapped
  std::printf("rigid turn: worst length error %.3g m, final chord angle %.4f deg\n", worst,
              previous);
}

// ---------------------------------------------------------------- refused data

TEST(MechanismData, BadDataAreRefusedAtTheirLineWithoutNaN) {
  const std::string beamNodes = ".in 1 0 0\n.in 2 0.5 0\npc 0n 1n\nb 0n 2n, 1, 0, -9.81\n";
  const std::string time = ".t 2\n   0\n   0.1\n   1m\n   10\n";
  const std::vector<Refusal> cases = {
      {"beam of zero length",
       ".in 1 0 0\n.in 2 0 0\npc 0n 1n\nb 0n 2n, 1, 0, 0\n// note\nlb 1n 2n, 1G, 0, 1u, 1e-9\n" +
           time,
       6, " L が 0 ？"},
      {"beam shortened to nothing", beamNodes + "lb 1n 2n, 1G, 0, 1u, 1e-9, 0, -0.5\n" + time, 5,
       " L が 0 ？"},
      {"beam without area", beamNodes + "lb 1n 2n, 1G, 0, 0, 1e-9\n" + time, 5,
       " 材料データが？？"},
      {"beam without second moment", beamNodes + "lb 1n 2n, 1G, 0, 1u, 0\n" + time, 5,
       " 材料データが？？"},
      {"beam of negative modulus", beamNodes + "lb 1n 2n, -1G, 0, 1u, 1e-9\n" + time, 5,
       " 材料データが？？"},
      {"beam with negative P2", beamNodes + "lb 1n 2n, 1G, -1, 1u, 1e-9\n" + time, 5,
       " 材料データが？？"},
      {"beam driven through zero length",
       beamNodes + "lb 1n 2n, 1G, 0, 1u, 1e-9, 0, -7 * p1\n" + time, 5, " L が 0 を越えた？"},
      {"gear on a pin", ".in 1 0 0\n.in 2 0.1 0\npc 0n 1n\nlr 0n 2p\ngs 1n 2p, 0.05, 0.05\n" + time,
       5, " 節に剛接？"},
      {"gear of zero radius",
       ".in 1 0 0\n.in 2 0.1 0\npc 0n 1n\nlr 0n 2p\ngs 1n 2n, 0.05, 0\n" + time, 5, " 半径が？"},
      {"ring smaller than its pinion",
       ".in 1 0 0\n.in 2 0.1 0\npc 0n 1n\nlr 0n 2p\ngs 1n 2n, -0.05, 0.15\n" + time, 5,
       "データが？"},
      {"two rings", ".in 1 0 0\n.in 2 0.1 0\npc 0n 1n\nlr 0n 2p\ngs 1n 2n, -0.05, -0.15\n" + time,
       5, "データが？"},
      {"gears on one centre",
       ".in 1 0 0\n.in 2 0 0\npc 0n 1n\nlr 0n 2p\n\ngs 1n 2n, 0.05, 0.05\n" + time, 6,
       "中心距離が？"},
      {"slider of negative stiffness",
       ".in 1 0 0\n.in 2 0.3 0\npc 0n 1n\nls 1n 2n, -100\nb 0n 2n, 1, 0, 0\n" + time, 4,
       "データが？"},
      {"slider of negative friction",
       ".in 1 0 0\n.in 2 0.3 0\npc 0n 1n\nls 1n 2n, 100, 0, 0, -1\nb 0n 2n, 1, 0, 0\n" + time, 4,
       "データが？"},
      {"slider without a guide direction",
       ".in 1 0.2 0\n.in 2 0.2 0\npc 0n 1n\n// the mass sits on the anchor\nls 1n 2n, 100\n"
       "b 0n 2n, 1, 0, 0\n" +
           time,
       5, " 案内の向きが？"},
  };
  testing::expectRefused(cases);
  // Reversed from the start, a beam is one: it runs.
  const Checked reversed = check(beamNodes + "lb 1n 2n, 1G, 0, 1u, 1e-9, 0, -1\n" + time);
  EXPECT_FALSE(reversed.refused) << reversed.text;
  EXPECT_EQ(reversed.status, 0);
  // The beam's message shows its data.
  const Checked shown = check(beamNodes + "lb 1n 2n, 1G, 0, 0, 1e-9\n" + time);
  EXPECT_NE(shown.text.find("1.000000e+09 0.000000e+00 0.000000e+00 1.000000e-09"),
            std::string::npos)
      << shown.text;
}

}  // namespace
}  // namespace movra

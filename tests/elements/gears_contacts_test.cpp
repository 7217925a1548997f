// Gears, belts, wheels and contacts on hand-assembled systems: Jacobians against
// central differences, and small mechanisms stepped in time against closed forms
// (restitution of the gap contact, speed and torque ratios, rolling and slipping).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "elements/mechanical/mechanical.h"
#include "engine/linear_solver.h"
#include "engine/newton.h"
#include "support/element_fixture.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

class GearsContactsTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kMechanicalRelativeToleranceEntry] = 1e-6;
    model->parameters[kMechanicalAbsoluteToleranceEntry] = 1e-9;
    model->view.scale = 300.0;
    run->kt = 1;
    enginePass = true;
    // The evaluators' own Jacobians are differences of step 1e-8, hence the allowance.
    jacobianCheck = {.step = 1e-6, .relative = 1e-5, .absolute = 1e-5, .ofResidual = 1e-5};
    newtonSettings = {.limit = 60, .tolerance = 1e-11, .engineSolver = true};
  }
};

// Each case: one element on scrambled unknown indices among spare ones; its
// Jacobian must be the derivative of its residual in that state.
TEST_F(GearsContactsTest, JacobianMatchesCentralDifferencesInEveryState) {
  constexpr int kUnknowns = 10;
  struct Case {
    const char* label;
    int typeCode;
    std::vector<int> slots;
    std::vector<double> parameters;
    double a0;
    std::function<void(ElementEntry&)> prepare;
    std::function<void(ElementEntry&)> after = nullptr;  // after the first pass
  };
  const auto none = [](ElementEntry&) {};
  const auto initial = [this](ElementEntry&) { run->initialPass = 1; };
  // Gear pair: the pitch-line travel e set by moving its starting value.
  const auto travel = [](double e) { return [e](ElementEntry& el) { el.realSlots[15] -= e; }; };
  const std::vector<double> gears = {0.05, 0.12, 2e4, 0.02, 30.0};
  // Wheel on a segment (x0, h0) -> (x1, h1) of a two-row support set (rows 1 and 2 of
  // the element table: the second row is the segment's far end).
  const auto track = [this](double x0, double h0, double x1, double h1) {
    return [=, this](ElementEntry& element) {
      ElementEntry& end = add(16, {}, {});
      end.typeCode = 16;
      end.supportRow[0] = h1, end.supportRow[1] = x1 + 1.0, end.supportRow[2] = x1 + 1.0;
      std::copy(element.variableSlots + 1, element.variableSlots + 4, end.variableSlots + 1);
      std::copy(element.realSlots + 1, element.realSlots + 7, end.realSlots + 1);
      element.supportRow[0] = h0, element.supportRow[1] = x0, element.supportRow[2] = x1;
      for (ElementEntry* e : {&element, &end})
        e->supportSetId = 100, e->groupFirst = 1, e->groupLast = 2;
    };
  };
  const std::vector<int> wheel = {3, 1, 8};  // centre (-0.16, -0.02)
  const auto slide = [](ElementEntry& e) { e.variableSlots[13] = -1; };
  const std::vector<double> sliding = {0.1, 0.4, 5e3, 40.0, 0.0, 0.0};
  const std::vector<double> sticking = {0.1, 0.4, 5e3, 40.0, 0.0, 1.0};
  // x[k] = 0.1·k·(±) + 0.05: node (3, 8, 4) sits at (-0.16, 0.85), node (10, 1, 7) at
  // (1.05, -0.02); the plane through the first node with normal 0° overlaps by 1.3 - 1.21.
  const std::vector<int> pair = {3, 8, 4, 10, 1, 7};
  const std::vector<Case> cases = {
      {"gap plane touching, static", 65, pair, {1.3, 2000.0, 30.0, 0.0, 0.0}, 0.0, none},
      {"gap plane touching, moving", 65, pair, {1.3, 2000.0, 30.0, 10.0, 0.0}, 3.0, none},
      {"gap plane open", 65, pair, {0.5, 2000.0, 30.0, 10.0, 0.0}, 3.0, none},
      {"gap round touching", 65, pair, {1.6, 2000.0, 30.0, 0.0, 1.0}, 3.0, none},
      {"gap from the ground", 65, {0, 0, 0, 10, 1, 7}, {1.3, 2000.0, 30.0, 0.0, 0.0}, 3.0, none},
      {"wheel on level ground, sliding", 16, wheel, sliding, 3.0, slide},
      {"wheel on level ground, rolling", 16, wheel, sticking, 3.0, none},
      {"wheel static", 16, wheel, sticking, 0.0, none},
      {"wheel over a sloping segment", 16, wheel, sliding, 3.0,
       [&](ElementEntry& e) { slide(e), track(-1.0, 0.5, 1.0, -0.5)(e); }},
      {"wheel on a segment's end", 16, wheel, sticking, 3.0, track(-2.0, -0.1, -0.2, -0.1)},
      {"belt inextensible", 14, {3, 8, 4, 10, 1, 7, 9}, {0.05, 0.12}, 3.0, initial},
      {"belt span taut",
       14,
       {3, 8, 4, 10, 1, 7, 9},
       {0.05, 0.12, 3e3, 40.0, 1.0, 2.0},
       3.0,
       initial,
       [](ElementEntry& e) { e.realSlots[15] -= 0.01; }},
      {"belt span slack",
       14,
       {3, 8, 4, 10, 1, 7, 9},
       {0.05, 0.12, 3e3, 40.0, 1.0, 2.0},
       3.0,
       initial,
       [](ElementEntry& e) { e.realSlots[15] += 0.05; }},
      {"friction drive sticking",
       62,
       {3, 8, 4, 10, 1, 7, 9},
       {0.05, 0.12, 0.02, 80.0, 0.3, 1.0},
       3.0,
       initial},
      {"friction drive sliding",
       62,
       {3, 8, 4, 10, 1, 7, 9},
       {0.05, 0.12, 0.02, 80.0, 0.3, 1.0},
       3.0,
       [](ElementEntry& e) { e.variableSlots[13] = -1; }},
      {"friction drive, ring outside",
       62,
       {3, 8, 4, 10, 1, 7, 9},
       {-0.4, 0.12, 0.02, 80.0, 0.3},
       0.0,
       initial},
      {"gear element", 12, {3, 8, 4, 10, 1, 7, 9}, {0.4}, 3.0, initial},
      {"gear element from the ground", 12, {0, 0, 0, 10, 1, 7, 9}, {0.4}, 0.0, initial},
      {"gear pair in the play", 15, pair, gears, 3.0, initial, travel(0.004)},
      {"gear pair driving", 15, pair, gears, 3.0, initial, travel(0.05)},
      {"gear pair reversed", 15, pair, gears, 3.0, initial, travel(-0.05)},
      {"gear pair static", 15, pair, gears, 0.0, initial, travel(0.05)},
      {"gear pair with a ring", 15, pair, {-0.3, 0.12, 2e4, 0.0, 30.0}, 3.0, initial, travel(0.05)},
      {"gear pair from the ground", 15, {0, 0, 0, 10, 1, 7}, gears, 3.0, initial, travel(-0.05)},
  };
  for (const Case& c : cases) {
    model->parameters[kMechanicalDampingEntry] = 0.25;
    run->unknownCount = kUnknowns;
    run->stateSlotCount = 0;
    run->initialPass = 0;
    ElementEntry& element = onlyElement(c.typeCode, c.slots, c.parameters);
    scatteredState(kUnknowns);
    run->a0H[0] = c.a0;
    c.prepare(element);
    run->iteration = 1;
    ASSERT_EQ(pass(), 0) << c.label;
    run->initialPass = 0;
    if (c.after) c.after(element);
    expectJacobianMatchesDifferences(c.label);
    for (int r = 0; r <= kUnknowns; ++r) {
      ASSERT_TRUE(std::isfinite(run->F[r])) << c.label << " F[" << r << "]";
    }
  }
}

// A ball (body of mass m) dropped from a height h onto a floor through a gap contact
// of stiffness k and damping c. During contact the overlap δ obeys
// m·δ'' = -k·δ - c·δ' + m·G (G the weight per mass), δ(0) = 0, δ'(0) = v0 = √(2·G·h).
// With δ = δ_s + u, δ_s = m·G/k: u = e^(-ζωt)·(A·cos ω_d t + B·sin ω_d t), ω = √(k/m),
// ζ = c/(2√(k·m)), ω_d = ω√(1-ζ²), A = -δ_s, B = (v0 + ζω·A)/ω_d. The contact
// cannot pull: it lets go at the first t_s where k·δ + c·δ' = 0, and the ball rises
// δ'(t_s)²/(2G) - δ(t_s) above the floor; without gravity in the contact that is
// e²·h with e = |δ'(t_s)|/v0, the restitution the damping gives.
TEST_F(GearsContactsTest, BallOnGapContactReboundsToRestitutionSquaredTimesHeight) {
  const double m = 1.0, g = -9.81, k = 1e5, c = 63.2, radius = 0.05, drop = 0.1;
  add(11, {1, 2, 3, 4, 5, 6}, {m, 1e-3, g, 0.0, 0.0});
  ElementEntry& contact = add(65, {0, 0, 0, 1, 2, 3}, {radius, k, c, 90.0, 0.0});
  contact.returnBlockId = 1000;
  model->parameters[kMechanicalDampingEntry] = 0.0;
  setX({0.0, radius + drop, 0.0, 0.0, 0.0, 0.0});

  const double weight = -g;
  const double omega = std::sqrt(k / m);
  const double zeta = c / (2.0 * std::sqrt(k * m));
  const double wd = omega * std::sqrt(1.0 - zeta * zeta);
  const double a = zeta * omega;
  const double v0 = std::sqrt(2.0 * weight * drop);
  const double sink = m * weight / k;
  const double A = -sink, B = (v0 + a * A) / wd;
  const auto overlap = [&](double t) {
    return sink + std::exp(-a * t) * (A * std::cos(wd * t) + B * std::sin(wd * t));
  };
  const auto overlapRate = [&](double t) {
    return std::exp(-a * t) *
           ((B * wd - a * A) * std::cos(wd * t) - (A * wd + a * B) * std::sin(wd * t));
  };
  const auto push = [&](double t) { return k * overlap(t) + c * overlapRate(t); };
  double lo = 0.0, hi = 0.0;
  for (double t = 1e-6; push(t) > 0.0; t += 1e-6) lo = t, hi = t + 1e-6;
  for (int i = 0; i < 60; ++i) (push(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
  const double leave = overlapRate(hi);
  const double rebound = leave * leave / (2.0 * weight) - overlap(hi);
  const double e = std::fabs(leave) / v0;

  // Energy: potential of gravity, kinetic, and what the contact spring holds.
  const auto energy = [&] {
    const double overlap = std::max(0.0, radius - run->X[2]);
    return -m * g * run->X[2] + 0.5 * m * run->X[5] * run->X[5] + 0.5 * k * overlap * overlap;
  };
  const double h = 1e-5;
  double deepest = 0.0, highestAfter = 0.0, before = energy();
  bool bounced = false;
  int touches = 0;
  bool touching = false;
  for (int n = 0; n < 32000; ++n) {
    ASSERT_TRUE(driverStep(h)) << "step " << n;
    ASSERT_TRUE(std::isfinite(run->X[2]));
    const double now = energy();
    EXPECT_LE(now, before + 1e-12) << "energy grew at step " << n;
    before = now;
    const bool inContact = run->X[2] < radius;
    if (inContact && !touching) ++touches;
    touching = inContact;
    deepest = std::max(deepest, radius - run->X[2]);
    if (touches == 1 && !inContact && run->X[5] > 0.0) bounced = true;
    if (bounced && touches == 1) highestAfter = std::max(highestAfter, run->X[2] - radius);
  }
  ASSERT_TRUE(bounced);
  // Backward Euler takes a little more out of the contact (its amplitude shrinks by
  // 1/√(1 + (ω·h)²) a step, ω·h = 0.003 over some 940 steps of contact): 1.5 %.
  EXPECT_NEAR(highestAfter, rebound, 0.015 * rebound) << "e = " << e;
  // Gravity during the short contact changes little: still about e²·h.
  EXPECT_NEAR(highestAfter, e * e * drop, 0.1 * e * e * drop);
  // No deeper than an undamped contact would go: v0·√(m/k).
  EXPECT_LE(deepest, v0 * std::sqrt(m / k));
  EXPECT_GT(deepest, 0.5 * v0 * std::sqrt(m / k));
}

// A driver turned by a stiff rotary spring whose set angle ramps at 1 rad/s, a gear
// pair r_i = 0.05, r_j = 0.1 with a backlash b = 2 mm of pitch arc, and a driven gear
// with inertia and rotary damping c_r. Starting in the middle of the play, the
// driven gear stays still until the driver has turned b/(2·r_i); then it turns at
// ω_j = -ω_i·r_i/r_j, and the driver's torque is r_i/r_j times the torque c_r·|ω_j|
// that brakes it. Reversed after a pause, the driver crosses the whole play b/r_i
// before the driven gear moves again, the other way.
TEST_F(GearsContactsTest, GearPairWithBacklashKeepsRatioAndTorqueBalance) {
  const double ri = 0.05, rj = 0.1, play = 0.002, spring = 1e4, cr = 0.5;
  ElementEntry& driver = add(10, {0, 0, 0, 0, 0, 1}, {spring, 0.0, 0.0, 0.0});
  ElementEntry& pair = add(15, {0, 0, 1, 0, 0, 2}, {ri, rj, 1e6, play, 100.0});
  // A light driven gear: it stops within 0.2 ms instead of coasting on into the play.
  add(11, {0, 0, 2, 3, 4, 5}, {0.0, 1e-4, 0.0, 0.0, cr});
  pair.returnBlockId = 1000;
  model->parameters[kMechanicalDampingEntry] = 0.0;
  setX({0.0, 0.0, 0.0, 0.0, 0.0});
  run->initialPass = 1;
  const double h = 1e-3;
  double setAngle = 0.0, heldAt = 0.0;
  int movedAt = -1, movedBackAt = -1;
  for (int n = 1; n <= 900; ++n) {
    const double rate = n <= 300 ? 1.0 : (n <= 600 ? 0.0 : -1.0);
    setAngle += rate * h;
    driver.realSlots[2] = spring * setAngle;  // T0 = k·θ_set: the spring pulls θ_i to θ_set
    ASSERT_TRUE(driverStep(h)) << "step " << n;
    const double omegaJ = run->X[5];
    if (movedAt < 0 && std::fabs(run->X[2]) > 1e-12) movedAt = n;
    if (n == 300) {
      EXPECT_NEAR(omegaJ / rate, -ri / rj, 0.01 * ri / rj);
      recordingPass();
      const double driverTorque = spring * (setAngle - run->X[1]);
      EXPECT_NEAR(driverTorque, ri / rj * cr * std::fabs(omegaJ), 0.02 * driverTorque);
      EXPECT_NEAR(store(1003) / store(1004), ri / rj, 1e-9);
      EXPECT_EQ(store(1005), 1.0);
    }
    if (n == 600) heldAt = run->X[2];
    if (n > 600 && movedBackAt < 0 && std::fabs(run->X[2] - heldAt) > 1e-9) movedBackAt = n;
  }
  // Moved first once the driver had crossed half the play.
  ASSERT_GT(movedAt, 0);
  EXPECT_NEAR(movedAt * h, 0.5 * play / ri, 2.0 * h);
  // Moved back only after the whole play, and the other way.
  ASSERT_GT(movedBackAt, 0);
  EXPECT_NEAR((movedBackAt - 600) * h, play / ri, 3.0 * h);
  EXPECT_GT(run->X[2], heldAt);
  EXPECT_NEAR(run->X[5], ri / rj, 0.01 * ri / rj);
}

// A disc wheel (J = m·r²/2) on an incline of slope α made of two support rows, let go
// from rest. Rolling without slip it accelerates along the slope at
// g·sin α/(1 + J/(m·r²)); with too little friction (μ below tan α·J/(J + m·r²)) it
// slides, accelerating at g·(sin α - μ·cos α) and spinning up at μ·m·g·cos α·r/J.
TEST_F(GearsContactsTest, WheelRollsOrSlidesDownAnIncline) {
  const double m = 2.0, r = 0.1, J = 0.5 * m * r * r, g = 9.81;
  const double alpha = 20.0 * kRadiansPerDegree;
  const double slope = std::tan(alpha);
  for (const double mu : {0.5, 0.05}) {
    model->count.elements = 0;
    run->unknownCount = 0;
    add(11, {1, 2, 3, 4, 5, 6}, {m, J, -g, 0.0, 0.0});
    // Support rows (h, x0, x1): (2, 0, 5) and (2 - 5·tan α, 5, 5).
    ElementEntry& first = add(16, {1, 2, 3}, {r, mu, 1e6, 2000.0, 0.0, 0.0});
    ElementEntry& second = add(16, {1, 2, 3}, {r, mu, 1e6, 2000.0, 0.0, 0.0});
    first.supportRow[0] = 2.0, first.supportRow[1] = 0.0, first.supportRow[2] = 5.0;
    second.supportRow[0] = 2.0 - 5.0 * slope, second.supportRow[1] = 5.0,
    second.supportRow[2] = 5.0;
    for (ElementEntry* e : {&first, &second})
      e->supportSetId = 100, e->groupFirst = 2, e->groupLast = 3;
    first.returnBlockId = 1000;
    model->parameters[kMechanicalDampingEntry] = 0.0;
    // Centre at x = 1, one radius off the slope less the static sink m·g·cos α/k.
    const double sink = m * g * std::cos(alpha) / 1e6;
    const double x0 = 1.0 + (r - sink) * std::sin(alpha);
    const double y0 = 2.0 - slope * 1.0 + (r - sink) * std::cos(alpha);
    setX({x0, y0, 0.0, 0.0, 0.0, 0.0});
    const double h = 1e-3;
    double along1 = 0.0, omega1 = 0.0;
    for (int n = 1; n <= 500; ++n) {
      ASSERT_TRUE(driverStep(h)) << "mu " << mu << " step " << n;
      recordingPass();  // the solved step's slip sets the next friction state
      const double along = run->X[4] * std::cos(alpha) - run->X[5] * std::sin(alpha);
      if (n == 100) along1 = along, omega1 = run->X[6];
      if (n == 500) {
        const double a = (along - along1) / 0.4;
        const double spin = (run->X[6] - omega1) / 0.4;
        if (mu > 0.3) {
          const double rolling = g * std::sin(alpha) / (1.0 + J / (m * r * r));
          EXPECT_NEAR(a, rolling, 0.005 * rolling) << "rolling";
          EXPECT_NEAR(-spin * r, a, 0.005 * a) << "rolling: v = -ω·r";
          EXPECT_EQ(store(1006), 1.0) << "rolling regime";
        } else {
          const double sliding = g * (std::sin(alpha) - mu * std::cos(alpha));
          EXPECT_NEAR(a, sliding, 0.005 * sliding) << "sliding";
          EXPECT_NEAR(-spin, mu * m * g * std::cos(alpha) * r / J, 0.01 * mu * m * g * r / J);
          EXPECT_EQ(store(1006), 2.0) << "sliding regime";
        }
      }
    }
  }
}

// The disc of the incline above, sliding (μ = 0.05). An attempt fails: its a0 and H
// are set, and the unknowns are back at the last solution. The
// retry must slide on, as must a step taken on with that restored solution
// ("continue with a large error"): neither has a slip of its own to stick by.
TEST_F(GearsContactsTest, SlidingWheelSlidesOnAfterAFailedAttempt) {
  const double m = 2.0, r = 0.1, g = 9.81, alpha = 20.0 * kRadiansPerDegree;
  add(11, {1, 2, 3, 4, 5, 6}, {m, 0.5 * m * r * r, -g, 0.0, 0.0});
  ElementEntry& wheel = add(16, {1, 2, 3}, {r, 0.05, 1e6, 2000.0, 0.0, 0.0});
  ElementEntry& end = add(16, {1, 2, 3}, {r, 0.05, 1e6, 2000.0, 0.0, 0.0});
  wheel.supportRow[0] = 2.0, wheel.supportRow[1] = 0.0, wheel.supportRow[2] = 5.0;
  end.supportRow[0] = 2.0 - 5.0 * std::tan(alpha), end.supportRow[1] = end.supportRow[2] = 5.0;
  for (ElementEntry* e : {&wheel, &end}) e->supportSetId = 100, e->groupFirst = 2, e->groupLast = 3;
  wheel.returnBlockId = 1000;
  model->parameters[kMechanicalDampingEntry] = 0.0;
  setX(
      {1.0 + r * std::sin(alpha), 2.0 - std::tan(alpha) + r * std::cos(alpha), 0.0, 0.0, 0.0, 0.0});
  const double h = 1e-3;
  const auto solvedStep = [&](double step) {
    ASSERT_TRUE(driverStep(step));
    recordingPass();
  };
  for (int n = 0; n < 50; ++n) solvedStep(h);
  const int sliding = wheel.variableSlots[13];
  ASSERT_NE(sliding, 0);
  ASSERT_EQ(store(1006), 2.0);
  const auto failedAttempt = [&] {
    const int last = run->unknownCount;
    run->a0H[0] = 1.0 / h;
    std::copy(run->X + 1, run->X + 1 + last, run->a0H + 1);
    std::copy(run->X + 1, run->X + 1 + last, run->previous + 1);
  };
  failedAttempt();
  solvedStep(0.5 * h);  // the halved retry
  EXPECT_EQ(wheel.variableSlots[13], sliding) << "after a halved retry";
  EXPECT_EQ(store(1006), 2.0) << "after a halved retry";

  failedAttempt();
  run->t = 1.0, run->tPrev = 0.5;  // taken on with the restored solution: t_prev stays
  recordingPass();
  run->t = run->tPrev;
  EXPECT_EQ(wheel.variableSlots[13], sliding) << "after a large-error step";
  solvedStep(h);
  EXPECT_EQ(store(1006), 2.0) << "the step after a large-error step";
}

// A wheel of radius r pressed by u into a track of two pieces that meet at x = 1,
// straight on or bending down by 0.2 in 1, with its centre r - u from the track
// before, at and after the corner: the track pushes with k·u along the normal,
// whether a piece or the corner carries it. (Counted by both pieces, the corner
// pushed up to twice as hard within √(2·r·u), 14 mm here, of the joint.)
TEST_F(GearsContactsTest, CornerOfTwoTrackPiecesIsCountedOnce) {
  const double r = 0.1, k = 1e5, u = 1e-3;
  for (const double drop : {0.0, 0.2}) {
    model->count.elements = 0;
    const double rows[3][3] = {{0.0, 0.0, 1.0}, {0.0, 1.0, 2.0}, {-drop, 2.0, 3.0}};  // h, x0, x1
    for (const auto& row : rows) {
      ElementEntry& e = add(16, {1, 2, 3}, {r, 0.5, k, 0.0});
      std::copy(row, row + 3, e.supportRow);
      e.supportSetId = 100, e.groupFirst = 1, e.groupLast = 3;
    }
    model->parameters[kMechanicalDampingEntry] = 0.0;
    const double beta = std::atan2(-drop, 1.0);  // the second piece's slope angle
    struct Place {
      double footX, footY, normal;  // the nearest track point and the normal's angle
    };
    std::vector<Place> places;
    for (double s : {0.02, 0.005, 0.001}) places.push_back({1.0 - s, 0.0, 0.5 * kPi});
    for (double share : {0.0, 0.5, 1.0}) places.push_back({1.0, 0.0, 0.5 * kPi + share * beta});
    for (double s : {0.001, 0.005, 0.02})
      places.push_back({1.0 + s * std::cos(beta), s * std::sin(beta), 0.5 * kPi + beta});
    for (const Place& at : places) {
      const double nx = std::cos(at.normal), ny = std::sin(at.normal);
      setX({at.footX + (r - u) * nx, at.footY + (r - u) * ny, 0.0});
      run->a0H[0] = 0.0;
      run->iteration = 2;
      ASSERT_EQ(pass(), 0);
      EXPECT_NEAR(run->F[1], k * u * nx, 1e-6 * k * u) << "drop " << drop << " at " << at.footX;
      EXPECT_NEAR(run->F[2], k * u * ny, 1e-6 * k * u) << "drop " << drop << " at " << at.footX;
    }
  }
}

// An elastic belt (two spans of stiffness k, pretension T0) over pulleys r_i, r_j:
// the driven pulley held, a torque M on the driver. Both spans taut: T_1,2 = T0 ± k·e
// with e = r_i·θ_i, so M = r_i·(T_1 - T_2) = 2·k·r_i²·θ_i and the shaft load T_1 + T_2
// stays 2·T0. Past M = 2·T0·r_i the slack span carries nothing: T_1 = M/r_i. Then an
// inextensible belt driven at 1 rad/s turns the driven pulley at r_i/r_j of that.
TEST_F(GearsContactsTest, BeltTensionsAndSpeedRatio) {
  const double ri = 0.05, rj = 0.1, k = 2e4, T0 = 50.0;
  // Centres at (0, 0) and (0.3, 0), the second held on its x by a spring of 1e9 N/m
  // (the spans pull it in by S/1e9: a relative 1e-4 on the shaft load at most).
  for (const double M : {3.0, 8.0}) {
    model->count.elements = 0;
    run->unknownCount = 0;
    add(10, {0, 0, 0, 0, 0, 1}, {0.0, M, 0.0, 0.0});
    ElementEntry& headEntry = add(14, {0, 0, 1, 5, 0, 0, 2}, {ri, rj, k, T0, 1.0, 0.0});
    ElementEntry& upper = add(14, {0, 0, 1, 5, 0, 0, 3}, {ri, rj, k, T0, 1.0, 0.0});
    ElementEntry& lower = add(14, {0, 0, 1, 5, 0, 0, 4}, {ri, rj, k, T0, 1.0, 0.0});
    add(5, {0, 0, 0, 5, 0}, {1e9, 0.3e9, 0.0});
    for (ElementEntry* e : {&headEntry, &upper, &lower}) e->groupFirst = 2, e->groupLast = 4;
    headEntry.returnBlockId = 1000;
    setX({0.0, 0.0, 0.0, 0.0, 0.3});
    run->initialPass = 1;
    model->parameters[kMechanicalDampingEntry] = 0.0;
    ASSERT_TRUE(driverStep(0.0)) << M;
    recordingPass();
    if (M < 2.0 * T0 * ri) {
      EXPECT_NEAR(run->X[1], M / (2.0 * k * ri * ri), 1e-9);
      EXPECT_NEAR(store(1003), 2.0 * T0, 1e-4 * T0) << "shaft load";
      EXPECT_NEAR(store(1001) - store(1002), M / ri, 1e-9);
    } else {
      EXPECT_NEAR(store(1001), M / ri, 1e-9);
      EXPECT_NEAR(store(1002), 0.0, 1e-12) << "the slack span";
      EXPECT_NEAR(run->X[1], (M / ri - T0) / (k * ri), 1e-5);  // the centre moved in by 1.6e-7 m
    }
  }
  // Inextensible, pulleys apart: driver by a stiff rotary spring ramp, driven with
  // inertia and rotary damping.
  model->count.elements = 0;
  run->unknownCount = 0;
  ElementEntry& driver = add(10, {0, 0, 0, 0, 0, 1}, {1e4, 0.0, 0.0, 0.0});
  add(14, {0, 0, 1, 3, 0, 2, 4}, {ri, rj});
  add(11, {0, 0, 2, 5, 6, 7}, {0.0, 1e-3, 0.0, 0.0, 0.2});
  add(5, {0, 0, 0, 3, 0}, {1e6, 0.3e6, 0.0});  // holds x_j at 0.3: T = 0.3e6 - 1e6·x
  setX({0.0, 0.0, 0.3, 0.0, 0.0, 0.0, 0.0});
  run->initialPass = 1;
  double set = 0.0;
  for (int n = 1; n <= 300; ++n) {
    set += 1e-3;
    driver.realSlots[2] = 1e4 * set;
    ASSERT_TRUE(driverStep(1e-3)) << n;
  }
  EXPECT_NEAR(run->X[7], ri / rj * 1.0, 1e-3 * ri / rj) << "same direction, r_i/r_j";
}

// Two rollers r_i = 0.05, r_j = 0.1 pressed together with N = 100 N, μ = 0.3: the
// driver ramped to 1 rad/s by a stiff rotary spring, the driven roller braked by a
// rotary damper c_r. While the traction c_r·ω_j/r_j stays below μ·N the rollers
// roll: ω_j = -ω_i·r_i/r_j. With a brake too strong for that (c_r·0.5/0.1 > 30 N)
// they slide: the traction is μ·N and the driven roller turns at μ·N·r_j/c_r.
TEST_F(GearsContactsTest, FrictionDriveRollsBelowMuNAndSlidesAbove) {
  const double ri = 0.05, rj = 0.1, N = 100.0, mu = 0.3;
  for (const double cr : {0.5, 20.0}) {
    model->count.elements = 0;
    run->unknownCount = 0;
    ElementEntry& driver = add(10, {0, 0, 0, 0, 0, 1}, {1e4, 0.0, 0.0, 0.0});
    ElementEntry& drive = add(62, {0, 0, 1, 3, 0, 2, 4}, {ri, rj, 0.02, N, mu, 0.0});
    add(11, {0, 0, 2, 5, 6, 7}, {0.0, 1e-3, 0.0, 0.0, cr});
    add(5, {0, 0, 0, 3, 0}, {1e6, 0.15e6, 0.0});  // holds x_j at 0.15
    drive.returnBlockId = 1000;
    model->parameters[kMechanicalDampingEntry] = 0.0;
    setX({0.0, 0.0, 0.15, 0.0, 0.0, 0.0, 0.0});
    run->initialPass = 1;
    double set = 0.0;
    for (int n = 1; n <= 400; ++n) {
      set += 1e-3 * std::min(1.0, n / 100.0);
      driver.realSlots[2] = 1e4 * set;
      ASSERT_TRUE(driverStep(1e-3)) << cr << " step " << n;
      recordingPass();
    }
    if (cr < 1.0) {
      EXPECT_NEAR(run->X[7], -ri / rj, 2e-3 * ri / rj) << "rolling";
      EXPECT_NEAR(std::fabs(store(1001)), cr * ri / rj / rj, 0.01 * cr * ri / rj / rj);
      EXPECT_EQ(store(1004), 0.0);
    } else {
      EXPECT_NEAR(std::fabs(store(1001)), mu * N, 1e-9) << "sliding";
      EXPECT_NEAR(run->X[7], -mu * N * rj / cr, 0.01 * mu * N * rj / cr);
      EXPECT_NE(store(1004), 0.0);
    }
  }
}

// The gear element of one radius r = 0.05 on centres 0.15 apart: the second gear's
// radius is 0.1, so the driven gear turns at -1/2 of the driver and brakes it with
// 1/2 of its load torque c_r·ω_j.
TEST_F(GearsContactsTest, GearElementTakesTheSecondRadiusFromTheCentreDistance) {
  ElementEntry& driver = add(10, {0, 0, 0, 0, 0, 1}, {1e4, 0.0, 0.0, 0.0});
  ElementEntry& gears = add(12, {0, 0, 1, 3, 0, 2, 4}, {0.05});
  add(11, {0, 0, 2, 5, 6, 7}, {0.0, 1e-3, 0.0, 0.0, 0.2});
  add(5, {0, 0, 0, 3, 0}, {1e6, 0.15e6, 0.0});  // holds x_j at 0.15
  gears.returnBlockId = 1000;
  model->parameters[kMechanicalDampingEntry] = 0.0;
  setX({0.0, 0.0, 0.15, 0.0, 0.0, 0.0, 0.0});
  run->initialPass = 1;
  double set = 0.0;
  for (int n = 1; n <= 200; ++n) {
    set += 1e-3;
    driver.realSlots[2] = 1e4 * set;
    ASSERT_TRUE(driverStep(1e-3)) << n;
  }
  EXPECT_NEAR(run->X[7], -0.5, 1e-3);
  recordingPass();
  EXPECT_NEAR(store(1002), 0.1, 1e-12);
  EXPECT_NEAR(1e4 * (set - run->X[1]), 0.5 * 0.2 * 0.5, 1e-3) << "driver torque";
}

TEST_F(GearsContactsTest, InvalidDataStopsThePassWithItsMessage) {
  struct Case {
    int typeCode;
    std::vector<int> slots;
    std::vector<double> parameters;
    const char* message;
  };
  const std::vector<Case> cases = {
      {65, {1, 2, 3, 4, 5, 6}, {0.0, 1000.0, 1.0}, "ギャップが０？ \n\n %s"},
      {65, {1, 2, 3, 4, 5, 6}, {-0.1, 1000.0, 1.0}, "ギャップが０？ \n\n %s"},
      {65, {1, 2, 3, 4, 5, 6}, {0.1, 0.0, 1.0}, "データが？ \n\n %s"},
      {65, {1, 2, 3, 4, 5, 6}, {0.1, 1000.0, -1.0}, "データが？ \n\n %s"},
      {16, {1, 2, 3}, {0.0, 0.3, 1e5}, "データが？ \n\n %s"},
      {16, {1, 2, 3}, {0.1, -0.3, 1e5}, "データが？ \n\n %s"},
      {16, {1, 2, 3}, {0.1, 0.3, 0.0}, "データが？ \n\n %s"},
      {14, {1, 2, 3, 4, 5, 6, 7}, {0.0, 0.1}, "軸間距離、又は ｒ が？ \n\n %s"},
      {14, {1, 2, 3, 4, 5, 6, 7}, {0.05, 0.1, 0.0, 10.0, 1.0}, "データが？--pu \n\n %s"},
      {62, {1, 2, 3, 4, 5, 6, 7}, {0.05, 0.1, 0.0, 10.0, 0.3}, "面巾が？ \n\n %s"},
      {62, {1, 2, 3, 4, 5, 6, 7}, {0.05, 0.1, 0.02, 10.0, -0.3}, "データが？ \n\n %s"},
      {12, {1, 2, 3, 4, 5, 6, 7}, {0.0}, "ｒが？ \n\n %s"},
      {12, {1, 2, 3, 4, 5, 6, 7}, {0.05}, "中心距離、又はｒが？ \n\n %s"},
      {15, {1, 2, 3, 4, 5, 6}, {0.05, 0.0, 1e5}, " ri  rj が ？ %e %e \n %s"},
      {15, {1, 2, 3, 4, 5, 6}, {-0.05, 0.1, 1e5}, " ri  rj が ？ %e %e \n %s"},
      {15, {1, 2, 3, 4, 5, 6}, {0.05, 0.1, 0.0}, "データが？ \n\n %s"},
      {15, {1, 2, 3, 4, 5, 6}, {0.05, 0.1, 1e5, -0.01}, "データが？ \n\n %s"},
  };
  for (const Case& c : cases) {
    run->unknownCount = 6;
    ElementEntry& element = onlyElement(c.typeCode, c.slots, c.parameters);
    log.texts.clear();
    run->iteration = 2;
    EXPECT_EQ(pass(), 0) << c.message << ": checked outside its first iteration";
    run->iteration = 1;
    EXPECT_EQ(pass(), 9) << c.message;
    ASSERT_EQ(log.texts.size(), 1u) << c.message;
    char expected[512];
    if (c.typeCode == 15 && c.message[1] == 'r') {
      std::snprintf(expected, sizeof expected, c.message, c.parameters[0], c.parameters[1],
                    element.text);
    } else {
      std::snprintf(expected, sizeof expected, c.message, element.text);
    }
    EXPECT_EQ(log.texts[0], expected);
  }
  // A roller on a pin end.
  model->count.elements = 0;
  ElementEntry& pinned = add(62, {1, 2, 3, 4, 5, 6, 7}, {0.05, 0.1, 0.02, 10.0, 0.3});
  pinned.terminalMark[1] = -10;
  pinned.terminalMark[2] = -1;
  log.texts.clear();
  run->iteration = 1;
  EXPECT_EQ(pass(), 9);
  char expected[512];
  std::snprintf(expected, sizeof expected, "円錐や円筒で一節がピン接？ \n\n %s", pinned.text);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_EQ(log.texts[0], expected);
}

}  // namespace
}  // namespace movra

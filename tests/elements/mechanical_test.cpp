// Mechanical evaluators on hand-assembled systems: Jacobians against central
// differences in every state, small mechanisms solved by Newton steps against
// closed forms, friction states, validation, records and recorded outlines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
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

constexpr double kGravity = 9.81;

class MechanicalTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kMechanicalRelativeToleranceEntry] = 0.005;
    model->parameters[kMechanicalAbsoluteToleranceEntry] = 1e-5;
    model->view.scale = 300.0;
    model->view.quantityScale[1] = 150.0;  // 2 pixels per N
    model->view.quantityScale[2] = 30.0;   // 10 pixels per N·m
    run->kt = 1;
    enginePass = true;
    // The spring Jacobians are themselves differences of step 1e-8, hence the allowance.
    jacobianCheck = {.step = 1e-6, .relative = 1e-6, .absolute = 1e-6, .ofResidual = 1e-6};
    newtonSettings = {.limit = 40, .tolerance = 1e-11, .engineSolver = true};
  }

  // Gives the element state slot s, which lives in X[N + s].
  void giveStateSlot(ElementEntry& element, int slot) {
    element.firstStateSlot = slot;
    run->stateSlotCount = std::max(run->stateSlotCount, slot);
  }
  int stateIndex(const ElementEntry& element) const {
    return run->unknownCount + element.firstStateSlot;
  }

  void step(double h) { ASSERT_TRUE(driverStep(h)); }

  // Items of the display list of a kind and tag; `first` gets the numbers of the first.
  int countItems(int kind, int tag, const double** first = nullptr) const {
    int count = 0;
    for (int item = 1; item <= run->display.count; ++item) {
      if (run->display.kind[item] != kind || run->display.tag[item] != tag) continue;
      if (count++ == 0 && first != nullptr)
        *first = run->display.pool + run->display.start[item] + 1;
    }
    return count;
  }
};

// Each case: one element on scrambled unknown indices among spare ones it must not
// touch; its Jacobian must be the derivative of its residual in that state.
TEST_F(MechanicalTest, JacobianMatchesCentralDifferencesInEveryState) {
  constexpr int kUnknowns = 12;
  struct Case {
    const char* label;
    int typeCode;
    std::vector<int> slots;
    std::vector<double> parameters;
    double a0;
    std::function<void(ElementEntry&)> prepare;
    int frictionState = -9;  // slot 13 after the pass; -9 unchecked
    int kt = 1;
  };
  const auto none = [](ElementEntry&) {};
  // Relative speed s of the angle in slot 6 against the one in slot 3.
  const auto relativeSpeed = [this](double speed) {
    return [this, speed](ElementEntry& element) {
      const int first = element.variableSlots[3];
      const int second = element.variableSlots[6];
      run->a0H[first] = run->X[first];
      run->a0H[second] = run->X[second] - speed / run->a0();
    };
  };
  const auto withState = [this](ElementEntry& element) {
    giveStateSlot(element, 2);
    run->a0H[stateIndex(element)] = 0.4;
  };
  const auto link = [](double length, double direction, int endKind, int pinEnd) {
    return [=](ElementEntry& element) {
      element.realSlots[51] = length;
      element.realSlots[52] = direction;
      element.mode = endKind;
      element.terminalMark[1] = element.terminalMark[2] = -10;
      if (pinEnd > 0) element.terminalMark[pinEnd] = -1;
    };
  };
  const std::vector<double> body = {2.0, 0.3, kGravity, 1.5, 0.7};
  const std::vector<double> rotary = {3.0, 0.2, 0.4, 1.5};
  const std::vector<double> combined = {40.0, 2.0, 1.0, 3.0, 0.5, 0.2, 1.5};
  const std::vector<int> pair = {7, 2, 5, 10, 9, 11};
  const std::vector<int> nine = {3, 8, 4, 10, 1, 12, 5, 7, 2};
  const std::vector<int> grounded = {0, 0, 0, 10, 1, 12, 5, 7, 2};
  const std::vector<double> offsets = {0.3, -0.2, 40.0, 1.0};
  const auto relative = [this](ElementEntry& e) { e.realSlots[4] = 0.0, run->initialPass = 1; };
  const auto released = [](ElementEntry& e) { e.variableSlots[22] = 1; };
  const auto soft = [this](ElementEntry&) { model->parameters[-10096] = 1.0; };
  const auto natural = [](ElementEntry& e) { e.realSlots[51] = 0.6; };
  const auto sticking = [&](ElementEntry& e) { natural(e), withState(e), relativeSpeed(-2e-4)(e); };
  const auto slipping = [&](ElementEntry& e) { natural(e), withState(e), relativeSpeed(-0.5)(e); };
  // Slider: guide direction φ_0 and starting offset s_0, its coordinate's history set
  // for a rate ṡ along the guide.
  const auto slider = [this, withState](double rate) {
    return [this, withState, rate](ElementEntry& element) {
      withState(element);
      element.realSlots[51] = 0.7;
      element.realSlots[52] = 0.4;
      const int* q = element.variableSlots;
      const double beta = run->X[q[3]] + 0.4;
      const double along = (run->X[q[4]] - run->X[q[1]]) * std::cos(beta) +
                           (run->X[q[5]] - run->X[q[2]]) * std::sin(beta);
      run->a0H[stateIndex(element)] = along - (run->a0() > 0.0 ? rate / run->a0() : 0.0);
    };
  };
  // Gear mesh and beam: the unwrapping reference on the present line of centres (or
  // chord) plus an offset, as it stands after some turns.
  const auto lineReference = [this](double startingDirection, double turns) {
    return [this, startingDirection, turns](ElementEntry& element) {
      const int* q = element.variableSlots;
      const double angle = std::atan2(run->X[q[5]] - run->X[q[2]], run->X[q[4]] - run->X[q[1]]);
      element.realSlots[49] = angle + 2.0 * kPi * turns + 0.3;
      element.realSlots[17] = startingDirection;
    };
  };
  const auto beam = [lineReference](double length, double direction, double turns) {
    return [=](ElementEntry& element) {
      lineReference(0.0, turns)(element);
      element.realSlots[51] = length;
      element.realSlots[52] = direction;
    };
  };
  const std::vector<int> slid = {3, 8, 4, 10, 1, 12, 5, 7};
  const std::vector<double> slide = {40.0, 2.0, 3.0, 1.5};
  const std::vector<int> pushing = {3, 8, 4, 10, 1, 12, 6};  // tooth force x[6] > 0
  const std::vector<int> pulling = {3, 8, 4, 10, 1, 12, 5};  // x[5] < 0
  const std::vector<double> steel = {2000.0, 0.0, 0.01, 0.002, 0.0, 0.1};
  const std::vector<Case> cases = {
      {"slider static", 8, slid, slide, 0.0, slider(0.0), 0},
      {"slider sticking", 8, slid, slide, 2.0, slider(4e-4), 0},
      {"slider slipping forward", 8, slid, slide, 2.0, slider(0.3), 1},
      {"slider slipping backward", 8, slid, slide, 2.0, slider(-0.3), -1},
      {"slider without friction", 8, slid, {40.0, 2.0, 3.0, 0.0}, 2.0, slider(0.3), 0},
      {"slider on the ground", 8, {0, 0, 0, 10, 1, 12, 5, 7}, slide, 2.0, slider(-0.3), -1},
      {"gears external, pushing", 13, pushing, {0.3, 0.2, 0.0}, 2.0, lineReference(0.2, 0)},
      {"gears external, pulling", 13, pulling, {0.3, 0.2, 0.3}, 2.0, lineReference(0.2, 1)},
      {"gears, first internal", 13, pushing, {-0.5, 0.2, 0.0}, 2.0, lineReference(-0.4, -2)},
      {"gears, second internal", 13, pulling, {0.2, -0.5, 0.0}, 0.0, lineReference(1.0, 0)},
      {"beam bent", 7, pair, steel, 2.0, beam(0.6, 0.2, 0)},
      {"beam after turns", 7, pair, steel, 2.0, beam(0.9, -0.5, 3)},
      {"beam reversed", 7, pair, {2000.0, 0.0, 0.01, 0.002, 0.0, -1.5}, 2.0, beam(0.6, 0.2, 0)},
      {"beam from the ground", 7, {0, 0, 0, 10, 1, 12}, steel, 0.0, beam(1.1, 0.1, 0)},
      {"body static", 11, {4, 9, 2, 11, 6, 1}, body, 0.0, none},
      {"body transient", 11, {4, 9, 2, 11, 6, 1}, body, 5.0, none},
      {"body starting step", 11, {4, 9, 2, 11, 6, 1}, body, 1.0, none, -9, 0},
      {"spring static", 5, {3, 8, 0, 1, 12}, {50.0, 2.0, 3.0}, 0.0, withState},
      {"spring damper", 5, {3, 8, 0, 1, 12}, {50.0, 2.0, 3.0}, 4.0, withState},
      {"spring without a state slot", 5, {3, 8, 0, 1, 12}, {50.0, 2.0, 3.0}, 4.0, none},
      {"spring from the ground", 5, {0, 0, 0, 6, 4}, {50.0, -1.0, 3.0}, 4.0, withState},
      {"applied force static", 18, pair, {1.0, -2.0, 0.5, 3.0, 30.0}, 0.0, none},
      {"applied force transient", 18, pair, {1.0, -2.0, 0.5, 3.0, 120.0}, 3.0, none},
      {"rotary sticking", 10, pair, rotary, 2.0, relativeSpeed(0.0004), 0},
      {"rotary slipping forward", 10, pair, rotary, 2.0, relativeSpeed(0.3), 1},
      {"rotary slipping backward", 10, pair, rotary, 2.0, relativeSpeed(-0.3), -1},
      {"rotary static", 10, pair, rotary, 0.0, none, 0},
      {"combined sticking", 9, pair, combined, 2.0, sticking, 0},
      {"combined slipping", 9, pair, combined, 2.0, slipping, -1},
      {"combined static", 9, pair, combined, 0.0, natural, 0},
      {"joint absolute", 17, {3, 8, 0, 10, 1, 12, 5, 7, 2}, offsets, 2.0, none},
      {"joint relative", 17, nine, offsets, 2.0, relative},
      {"joint released", 17, nine, offsets, 0.0, released},
      {"joint soft", 17, nine, offsets, 0.0, soft},
      {"link rigid ends turned 90", 6, nine, {90.0, 0.2}, 2.0, link(0.8, 0.4, 0, 0)},
      {"link with a pin end", 6, nine, {90.0, 0.2}, 0.0, link(0.8, 2.5, 0, 2)},
      {"link from the ground", 6, grounded, {30.0, 0.0}, 1.0, link(1.2, -0.6, 0, 0)},
      {"link of zero length", 6, nine, {0.0, 0.0}, 1.0, link(0.0, 0.0, 0, 0)},
      {"link of zero length, end kind 3", 6, nine, {0.0, 0.0}, 1.0, link(0.0, 0.0, 3, 0)},
  };
  for (const Case& c : cases) {
    model->parameters[-10096] = 0.0;
    model->parameters[kMechanicalDampingEntry] = 0.25;
    run->unknownCount = kUnknowns;
    run->stateSlotCount = 0;
    run->kt = c.kt;
    run->initialPass = 0;
    ElementEntry& element = onlyElement(c.typeCode, c.slots, c.parameters);
    scatteredState(kUnknowns);
    run->a0H[0] = c.a0;
    c.prepare(element);
    run->iteration = 1;
    ASSERT_EQ(pass(), 0) << c.label;
    run->initialPass = 0;
    expectJacobianMatchesDifferences(c.label);
    if (c.frictionState != -9) {
      EXPECT_EQ(element.variableSlots[13], c.frictionState) << c.label;
      EXPECT_EQ(element.variableSlots[16], c.frictionState) << c.label;
    }
    double written = 0.0;
    for (int r = 0; r <= kUnknowns; ++r) {
      ASSERT_TRUE(std::isfinite(run->F[r])) << c.label << " F[" << r << "]";
      written += std::fabs(run->F[r]);
    }
    EXPECT_GT(written, 0.0) << c.label << ": the element wrote nothing";
  }
}

TEST_F(MechanicalTest, BodyFallsFreelyForOneImplicitStep) {
  ElementEntry& body = add(11, {1, 2, 3, 4, 5, 6}, {2.0, 0.5, kGravity, 0.0, 0.0});
  const double h = 0.01, m = 2.0, a0 = 1.0 / h;
  const double x0 = 0.3, y0 = 0.1, theta0 = 0.2, vx0 = 0.5, vy0 = -1.0, omega0 = 0.4;
  setX({x0, y0, theta0, vx0, vy0, omega0});
  step(h);
  const double vy = vy0 + kGravity * h;
  EXPECT_NEAR(run->X[5], vy, 1e-12);
  EXPECT_NEAR(run->X[2], y0 + h * vy, 1e-12);
  EXPECT_NEAR(run->X[4], vx0, 1e-12);
  EXPECT_NEAR(run->X[1], x0 + h * vx0, 1e-12);
  EXPECT_NEAR(run->X[6], omega0, 1e-12);
  EXPECT_NEAR(run->X[3], theta0 + h * omega0, 1e-12);
  // Recorded: the forces of inertia, gravity and damping (here m·g - m·a0·Δv = 0).
  body.returnBlockId = 1000;
  recordingPass();
  EXPECT_NEAR(store(1002), 0.0, 1e-9);
  EXPECT_DOUBLE_EQ(store(1021), vx0);
  EXPECT_DOUBLE_EQ(store(1022), vy);
  EXPECT_DOUBLE_EQ(store(1007), omega0);

  // Viscous and artificial damping: m·a0·(v - v0) = m·g - (c + 2·c_d)·v on y, since
  // the artificial -c_d·a0·(y - H) equals -c_d·v once the step is solved.
  const double c = 3.0, cd = 0.5;
  body.realSlots[4] = c;
  model->parameters[kMechanicalDampingEntry] = cd;
  setX({x0, y0, theta0, vx0, vy0, omega0});
  step(h);
  EXPECT_NEAR(run->X[5], (m * a0 * vy0 + m * kGravity) / (m * a0 + c + 2.0 * cd), 1e-12);
  EXPECT_NEAR(run->X[4], m * a0 * vx0 / (m * a0 + c + 2.0 * cd), 1e-12);

  // Starting step: velocities held at 0, a unit relaxation against gravity.
  run->kt = 0;
  setX({x0, y0, theta0, vx0, vy0, omega0});
  step(1.0);
  EXPECT_NEAR(run->X[5], 0.0, 1e-15);
  EXPECT_NEAR(run->X[2], y0 + m * kGravity / (1.0 + cd), 1e-12);
  EXPECT_NEAR(run->X[1], x0, 1e-12);
  EXPECT_NEAR(run->X[3], theta0, 1e-12);
}

TEST_F(MechanicalTest, SpringAndDamperForces) {
  // Body (m = 1.5) on node 1, a spring from the ground, a rotary spring for the angle:
  // y = (F0 + m·g)/k, and the force on the second point is (0, -m·g).
  add(11, {1, 2, 3, 4, 5, 6}, {1.5, 0.1, kGravity, 0.0, 0.0});
  ElementEntry& spring = add(5, {0, 0, 0, 1, 2}, {200.0, 3.0, 5.0});
  add(10, {0, 0, 0, 1, 2, 3}, {10.0, 0.0, 0.0, 0.0});
  giveStateSlot(spring, 1);
  spring.returnBlockId = 1000;
  setX({0.0, 0.05, 0.0, 0.0, 0.0, 0.0});
  step(0.0);
  EXPECT_NEAR(run->X[2], (3.0 + 1.5 * kGravity) / 200.0, 1e-12);
  EXPECT_NEAR(run->X[1], 0.0, 1e-12);
  EXPECT_NEAR(run->X[stateIndex(spring)], run->X[2], 1e-15);
  recordingPass();
  EXPECT_NEAR(store(1001), 0.0, 1e-12);
  EXPECT_NEAR(store(1002), -1.5 * kGravity, 1e-9);
  EXPECT_NEAR(store(1004), -90.0, 1e-9);

  // A damper of 0.6 m now, 0.5 m at the start of the step, a0 = 10: dL/dt = 1 m/s,
  // T = -c·dL/dt along (0.6, 0.8).
  model->count.elements = 0;
  ElementEntry& damper = add(5, {0, 0, 0, 1, 2}, {0.0, 0.0, 4.0});
  giveStateSlot(damper, 1);
  setX({0.36, 0.48});
  run->a0H[0] = 10.0;
  run->a0H[stateIndex(damper)] = 0.5;
  run->iteration = 2;
  ASSERT_EQ(pass(), 0);
  EXPECT_NEAR(run->F[1], -4.0 * 0.6, 1e-12);
  EXPECT_NEAR(run->F[2], -4.0 * 0.8, 1e-12);
  EXPECT_NEAR(run->X[stateIndex(damper)], 0.6, 1e-15);

  // A body hanging on the damper reaches v = m·g/c, the fixed point of the implicit
  // steps; the preparation pass carries the length into the history.
  add(11, {1, 2, 3, 4, 5, 6}, {1.0, 0.1, kGravity, 0.0, 0.0});
  setX({0.0, 1.0, 0.0, 0.0, 0.0, 0.0});
  for (int k = 0; k < 200; ++k) step(0.05);
  EXPECT_NEAR(run->X[5], kGravity / 4.0, 1e-9);
  EXPECT_NEAR(run->X[stateIndex(damper)], run->X[2], 1e-12);
}

TEST_F(MechanicalTest, PreparationPassOnlyStoresTheLength) {
  ElementEntry& spring = add(5, {0, 0, 0, 1, 2}, {-1.0, 1.0, 0.0});  // not validated here
  ElementEntry& combined = add(9, {3, 4, 5, 1, 2, 6}, {50.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0});
  giveStateSlot(spring, 1);
  giveStateSlot(combined, 2);
  setX({0.3, 0.4, 0.3, 0.0, 0.0, 0.0});
  run->F[1] = 7.0;
  ASSERT_EQ(runPreparationPass(*model, *run, reporter), 0);
  EXPECT_DOUBLE_EQ(run->X[stateIndex(spring)], 0.5);
  EXPECT_DOUBLE_EQ(run->X[stateIndex(combined)], 0.4);
  EXPECT_EQ(run->F[1], 7.0);
  EXPECT_TRUE(log.texts.empty());
}

TEST_F(MechanicalTest, RigidJointHoldsItsOffset) {
  const double m = 2.0;
  add(11, {1, 2, 3, 4, 5, 6}, {m, 0.1, kGravity, 0.0, 0.0});
  ElementEntry& joint = add(17, {0, 0, 0, 1, 2, 3, 7, 8, 9}, {0.3, -0.2, 30.0, 1.0});
  setX({0.5, 0.25, 0.1});
  step(0.0);
  // The multiplier carries the weight; the compliance 1e-9 lets it give way by ε·m·g.
  EXPECT_NEAR(run->X[8], -m * kGravity, 1e-9);
  EXPECT_NEAR(run->X[2], -0.2 + 1e-9 * m * kGravity, 1e-13);
  EXPECT_NEAR(run->X[1], 0.3, 1e-13);
  EXPECT_NEAR(run->X[3], 30.0 * kRadiansPerDegree, 1e-13);
  model->parameters[-10096] = 1.0;
  step(0.0);
  EXPECT_NEAR(run->X[2], -0.2 + 1e-5 * m * kGravity, 1e-11);
  model->parameters[-10096] = 0.0;

  // Relative offsets: measured on the initial pass from the starting positions.
  joint.realSlots[4] = 0.0;
  setX({0.5, 0.25, 0.1});
  run->initialPass = 1;
  step(0.0);
  EXPECT_NEAR(run->X[1], 0.8, 1e-12);
  EXPECT_NEAR(run->X[2], 0.05 + 1e-9 * m * kGravity, 1e-12);
  EXPECT_NEAR(run->X[3], 0.1 + 30.0 * kRadiansPerDegree, 1e-12);

  // A released direction carries nothing: the node falls freely along y.
  joint.variableSlots[22] = 1;
  const double h = 0.01, y0 = run->X[2];
  step(h);
  EXPECT_NEAR(run->X[8], 0.0, 1e-15);
  EXPECT_NEAR(run->X[5], kGravity * h, 1e-12);
  EXPECT_NEAR(run->X[2], y0 + kGravity * h * h, 1e-12);
  EXPECT_NEAR(run->X[1], 0.8, 1e-12);
}

TEST_F(MechanicalTest, RigidLinkPlacesTheSecondNodeInTheFirstFrame) {
  // From the ground, L = L_0 + P2 along φ_0, the second frame turned by P1 = 90°.
  const double m = 1.2;
  add(11, {1, 2, 3, 7, 8, 9}, {m, 0.1, kGravity, 0.0, 0.0});
  ElementEntry& link = add(6, {0, 0, 0, 1, 2, 3, 4, 5, 6}, {90.0, 0.25});
  link.terminalMark[1] = link.terminalMark[2] = -10;
  link.realSlots[51] = 0.5;
  link.realSlots[52] = 0.3;
  link.returnBlockId = 1000;
  run->X[3] = 1.2;  // within a radian of the result: the rotation is limited per step
  step(0.0);
  EXPECT_NEAR(run->X[1], 0.75 * std::cos(0.3), 1e-12);
  EXPECT_NEAR(run->X[2], 0.75 * std::sin(0.3), 1e-12);
  EXPECT_NEAR(run->X[3], kPi / 2, 1e-12);
  EXPECT_NEAR(run->X[5], -m * kGravity, 1e-9);
  EXPECT_NEAR(run->X[4], 0.0, 1e-9);
  recordingPass();
  EXPECT_NEAR(store(1003), m * kGravity, 1e-9);
  EXPECT_NEAR(store(1013), 0.75, 1e-12);
  EXPECT_DOUBLE_EQ(store(1011), run->X[1]);

  // A pin at the second end has no angle offset.
  link.terminalMark[2] = -1;
  run->X[3] = 0.5;
  step(0.0);
  EXPECT_NEAR(run->X[3], 0.0, 1e-12);

  // One radian at most from the start of the step, both ways, the update's start too.
  run->previous[3] = 0.2;
  const double cases[][2] = {{1.9, 1.2}, {-1.5, -0.8}, {1.1, 1.1}};
  for (const auto& c : cases) {
    run->X[3] = run->iterationStart[3] = c[0];
    ASSERT_EQ(pass(), 0);
    EXPECT_DOUBLE_EQ(run->X[3], c[1]);
    EXPECT_DOUBLE_EQ(run->iterationStart[3], c[1]);
  }
}

TEST_F(MechanicalTest, PendulumLinkKeepsItsLengthWhileSwinging) {
  // Pin at the ground (its angle is the link's own unknown 1), bob on node (2, 3, 4).
  ElementEntry& link = add(6, {0, 0, 1, 2, 3, 4, 5, 6, 7}, {0.0, 0.0});
  link.terminalMark[1] = -1;
  link.terminalMark[2] = -10;
  link.realSlots[51] = 1.0;
  add(11, {2, 3, 4, 8, 9, 10}, {1.0, 0.01, kGravity, 0.0, 0.0});
  setX({0.0, 1.0});
  double largest = 0.0;
  for (int k = 0; k < 60; ++k) {
    step(0.01);
    const double angle = run->X[1];
    EXPECT_NEAR(run->X[2], std::cos(angle), 1e-10) << k;
    EXPECT_NEAR(run->X[3], std::sin(angle), 1e-10) << k;
    EXPECT_NEAR(run->X[4], angle, 1e-10) << k;
    largest = std::max(largest, angle);
  }
  EXPECT_GT(largest, 0.5) << "gravity along +y swings it towards +y";
}

TEST_F(MechanicalTest, AppliedForceBalancedBySprings) {
  const double m = 0.8, k = 100.0, kr = 20.0;
  add(11, {1, 2, 3, 4, 5, 6}, {m, 0.1, kGravity, 0.0, 0.0});
  add(5, {0, 0, 0, 1, 2}, {k, 0.0, 0.0});
  add(10, {0, 0, 0, 1, 2, 3}, {kr, 0.0, 0.0, 0.0});
  ElementEntry& force = add(18, {0, 0, 0, 1, 2, 3}, {1.0, -2.0, 0.6, 3.0, 30.0});
  const double fx = 1.0 + 3.0 * std::cos(kPi / 6), fy = -2.0 + 3.0 * std::sin(kPi / 6);
  setX({0.01, 0.02});
  step(0.0);
  EXPECT_NEAR(run->X[1], fx / k, 1e-12);
  EXPECT_NEAR(run->X[2], (m * kGravity + fy) / k, 1e-12);
  EXPECT_NEAR(run->X[3], 0.6 / kr, 1e-12);

  force.returnBlockId = 1000;
  run->dtOut = 0.5;
  recordingPass();
  const double dx = run->X[1], dy = run->X[2];
  EXPECT_DOUBLE_EQ(store(1001), fx);
  EXPECT_DOUBLE_EQ(store(1002), fy);
  EXPECT_NEAR(store(1004), std::atan2(fy, fx) * 180.0 / kPi, 1e-9);
  EXPECT_NEAR(store(1006), dy * fx - dx * fy - 0.6, 1e-12);
  EXPECT_NEAR(store(1013), std::hypot(dx, dy), 1e-15);
  EXPECT_NEAR(store(1015), 0.03 * 180.0 / kPi, 1e-9);

  // A relative angle of -30° wraps to -30 and 330; its rate of -60°/s gives the power
  // M·ω_j, accumulated over the output step.
  run->X[3] = -30.0 * kRadiansPerDegree;
  run->a0H[0] = 2.0;
  std::copy(run->X + 1, run->X + 3, run->a0H + 1);
  run->a0H[3] = 0.0;
  const double before = store(1029);
  recordingPass();
  EXPECT_NEAR(store(1009), -30.0, 1e-9);
  EXPECT_NEAR(store(1010), 330.0, 1e-9);
  EXPECT_NEAR(store(1025), -60.0, 1e-9);
  EXPECT_NEAR(store(1008), 0.6 * -60.0 * kRadiansPerDegree, 1e-12);
  EXPECT_NEAR(store(1029) - before, store(1008) * 0.5, 1e-15);
}

TEST_F(MechanicalTest, RotaryFrictionSlipsOrSticks) {
  // Constant torque T0 on a wheel of inertia J against friction T_f, one step h.
  const double inertia = 0.01, h = 0.01, a0 = 1.0 / h, limit = 0.5;
  add(11, {1, 2, 3, 4, 5, 6}, {1.0, inertia, 0.0, 0.0, 0.0});
  ElementEntry& rotary = add(10, {0, 0, 0, 1, 2, 3}, {0.0, 2.0, 0.0, limit});
  struct Case {
    double drive;
    int state;
    double omega;
  };
  for (const Case& c : {Case{2.0, 1, (2.0 - limit) / (inertia * a0)},
                        Case{-2.0, -1, -(2.0 - limit) / (inertia * a0)},
                        Case{0.3, 0, 0.3 / (inertia * a0 + 1000.0 * limit)}}) {
    rotary.realSlots[2] = c.drive;
    setX({0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
    step(h);
    EXPECT_EQ(rotary.variableSlots[13], c.state) << c.drive;
    EXPECT_NEAR(run->X[6], c.omega, 1e-12) << c.drive;
  }
  // Without friction, from rest: T0 = (k + c·a0 + J·a0²)·θ.
  rotary.realSlots[1] = 4.0;
  rotary.realSlots[3] = 0.5;
  rotary.realSlots[4] = 0.0;
  setX({0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
  step(h);
  EXPECT_NEAR(run->X[3], 0.3 / (4.0 + 0.5 * a0 + inertia * a0 * a0), 1e-14);
}

TEST_F(MechanicalTest, LateUnsettledFrictionOnlyFallsBackToSticking) {
  // A relative speed of -0.5 rad/s: slipping backwards, -1, by the plain rule.
  ElementEntry& rotary = add(10, {0, 0, 1, 0, 0, 2}, {0.0, 0.0, 0.0, 1.0});
  setX({0.0, 0.0});
  run->a0H[0] = 1.0;
  run->a0H[2] = 0.5;
  struct Case {
    int iteration;
    int previous;
    double remembered;  // the twist of the previous pass; 0 = settled
    int expected;
  };
  for (const Case& c : {Case{6, 1, 0.3, 0}, Case{6, -1, 0.3, -1}, Case{6, 0, 0.3, -1},
                        Case{5, 1, 0.3, -1}, Case{6, 1, 0.0, -1}}) {
    rotary.variableSlots[16] = c.previous;
    rotary.realSlots[11] = c.remembered;
    run->iteration = c.iteration;
    ASSERT_EQ(pass(), 0);
    EXPECT_EQ(rotary.variableSlots[13], c.expected) << c.iteration << " " << c.previous;
    EXPECT_EQ(rotary.variableSlots[16], c.expected);
    EXPECT_EQ(rotary.variableSlots[15], c.remembered == 0.0 ? 1 : 0);
  }
  // The friction states start from 0 on the initial pass.
  run->initialPass = 1;
  setX({0.0, 0.5});
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(rotary.variableSlots[13], 0);
}

TEST_F(MechanicalTest, CombinedSpringSettlesAtItsNaturalLength) {
  // y = L0 + (F0 + m·g)/k along the spring, θ = T0/k_r.
  const double m = 0.5, k = 100.0, preload = 2.0, kr = 10.0, torque = 0.4;
  add(11, {1, 2, 3, 4, 5, 6}, {m, 0.1, kGravity, 0.0, 0.0});
  ElementEntry& spring = add(9, {0, 0, 0, 1, 2, 3}, {k, 0.0, preload, kr, 0.0, torque, 0.0});
  spring.realSlots[51] = 0.5;
  spring.returnBlockId = 1500;
  giveStateSlot(spring, 1);
  setX({0.0, 0.4});
  step(0.0);
  EXPECT_NEAR(run->X[2], 0.5 + (preload + m * kGravity) / k, 1e-12);
  EXPECT_NEAR(run->X[1], 0.0, 1e-12);
  EXPECT_NEAR(run->X[3], torque / kr, 1e-12);
  recordingPass();
  EXPECT_NEAR(store(1502), -m * kGravity, 1e-9);
  EXPECT_NEAR(store(1508), 0.0, 1e-9) << "the twist balances T0";
}

// A slider along the guide at 30° from the ground: the preparation pass only stores
// the coordinate; slipping friction never turns straight round but passes through
// sticking; the states start from 0 on the initial pass and in step 0.
TEST_F(MechanicalTest, SliderCoordinateAndFrictionStates) {
  ElementEntry& slider = add(8, {0, 0, 0, 1, 2, 3, 4, 5}, {0.0, 0.0, 0.0, 2.0});
  giveStateSlot(slider, 1);
  slider.realSlots[51] = 0.5;
  slider.realSlots[52] = kPi / 6;
  setX({0.4 * std::cos(kPi / 6), 0.4 * std::sin(kPi / 6), 0.0, 0.0, 0.0});
  run->F[1] = 3.0;
  ASSERT_EQ(runPreparationPass(*model, *run, reporter), 0);
  EXPECT_NEAR(run->X[stateIndex(slider)], 0.4, 1e-15);
  EXPECT_EQ(run->F[1], 3.0);
  run->recordingFlag = 0;

  // Moving backwards at 0.3 m/s: -1, unless it slipped forwards just before.
  run->a0H[0] = 10.0;
  run->a0H[stateIndex(slider)] = 0.43;
  struct Case {
    int previous;
    int expected;
  };
  for (const Case& c : {Case{1, 0}, Case{0, -1}, Case{-1, -1}}) {
    slider.variableSlots[16] = c.previous;
    run->iteration = 2;
    ASSERT_EQ(pass(), 0);
    EXPECT_EQ(slider.variableSlots[13], c.expected) << c.previous;
    EXPECT_EQ(slider.variableSlots[16], c.expected) << c.previous;
  }
  // Sticking: friction -1000·F_f·ṡ along the guide, on the sliding node's x row.
  run->a0H[stateIndex(slider)] = 0.4 + 5e-5;
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(slider.variableSlots[13], 0);
  EXPECT_NEAR(run->F[1], 1000.0 * 2.0 * 5e-4 * std::cos(kPi / 6), 1e-9);
  // A forward slip left over is forgotten on the initial pass and in step 0, so the
  // backward motion slips at once; later it first sticks.
  struct Start {
    int initialPass;
    int kt;
    int expected;
  };
  for (const Start& c : {Start{1, 5, -1}, Start{0, 0, -1}, Start{0, 5, 0}}) {
    slider.variableSlots[16] = 1;
    run->initialPass = c.initialPass;
    run->kt = c.kt;
    run->iteration = 1;
    run->a0H[stateIndex(slider)] = 0.43;
    ASSERT_EQ(pass(), 0);
    EXPECT_EQ(slider.variableSlots[13], c.expected) << c.initialPass << " " << c.kt;
  }
}

// A straight beam at its starting geometry, turned as a whole by any angle, carries
// nothing; nor does a bent beam of E = 0. Bent by a turn of its second end alone it
// pushes that end back: M_j = 4 EI/L·Δθ on the second node.
TEST_F(MechanicalTest, BeamForcesComeFromDeformationOnly) {
  ElementEntry& beam = add(7, {1, 2, 3, 4, 5, 6}, {1000.0, 0.0, 0.01, 0.002, 0.0, 0.0});
  beam.realSlots[51] = 0.8;
  beam.realSlots[52] = 0.3;
  for (double turn : {0.0, 2.0, -2.9}) {
    const double angle = 0.3 + turn;
    setX({0.1, -0.2, turn, 0.1 + 0.8 * std::cos(angle), -0.2 + 0.8 * std::sin(angle), turn});
    beam.realSlots[49] = angle - 0.2;  // the chord's angle at the last recorded step
    run->iteration = 2;
    ASSERT_EQ(pass(), 0);
    for (int r = 1; r <= 6; ++r) EXPECT_NEAR(run->F[r], 0.0, 1e-9) << turn << " row " << r;
  }
  run->X[6] += 0.01;
  ASSERT_EQ(pass(), 0);
  EXPECT_NEAR(run->F[6], -4.0 * 1000.0 * 0.002 / 0.8 * 0.01, 1e-9);
  beam.realSlots[1] = 0.0;
  ASSERT_EQ(pass(), 0);
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(run->F[r], 0.0) << r;
}

// The shapes of the slider (guide channel, block, spring when written), the gear
// mesh (two 36-sided pitch circles with a spoke each) and the beam (12 pieces from
// the first node to the second, leaving the clamp along the beam's own direction).
TEST_F(MechanicalTest, SliderGearAndBeamOutlines) {
  ElementEntry& slider = add(8, {0, 0, 0, 1, 2, 3, 4, 5}, {10.0});
  slider.realSlots[51] = 0.5;
  setX({0.5, 0.0});
  recordingPass();
  EXPECT_EQ(countItems(3, kElementOutlineTag), 2 + 4 + 6);
  slider.empty[1] = 1;
  recordingPass();
  EXPECT_EQ(countItems(3, kElementOutlineTag), 2 + 4);

  model->count.elements = 0;
  ElementEntry& mesh = add(13, {1, 2, 3, 4, 5, 6, 7}, {0.2, 0.1, 0.0});
  setX({0.0, 0.0, 0.0, 0.3, 0.0, 0.0, 0.0});
  run->initialPass = 1;
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  run->initialPass = 0;
  recordingPass();
  EXPECT_EQ(countItems(3, kElementOutlineTag), 2 * 37);
  mesh.drawingMode = 1;
  recordingPass();
  EXPECT_EQ(countItems(21, kForceTag), 1);

  model->count.elements = 0;
  ElementEntry& beam = add(7, {1, 2, 3, 4, 5, 6}, {1000.0, 0.0, 0.01, 0.002});
  beam.realSlots[51] = 1.0;
  setX({0.0, 0.0, 0.0, 0.9, -0.3, -0.4});
  beam.realSlots[49] = std::atan2(-0.3, 0.9);
  recordingPass();
  const double* first = nullptr;
  ASSERT_EQ(countItems(3, kElementOutlineTag, &first), 12);
  ASSERT_NE(first, nullptr);
  EXPECT_DOUBLE_EQ(first[0], 0.0);
  EXPECT_DOUBLE_EQ(first[1], 0.0);
  // The clamp's tangent is the x axis (θ_i = 0, φ_0 = 0): the first piece starts flat.
  EXPECT_LT(std::fabs(first[3] - first[1]), 0.2 * std::fabs(first[2] - first[0]));
  const double* last = run->display.pool + run->display.start[run->display.count] + 1;
  EXPECT_NEAR(last[2], 0.9, 1e-12);
  EXPECT_NEAR(last[3], -0.3, 1e-12);
}

TEST_F(MechanicalTest, InvalidDataStopsThePassWithItsMessage) {
  const char* negative = "データが負 ？ \n\n %s";
  const char* bad = "データが？ \n\n %s";
  struct Case {
    int typeCode;
    std::vector<double> parameters;
    const char* format;
    bool initialPass = false;  // checked on the initial pass, else on the first iteration
    int realSlot = 0;          // a real slot beyond the parameters set to -0.1
    int recordFlags = 0;
  };
  const std::vector<Case> cases = {
      {11, {-1.0, 0.0, 9.8, 0.0, 0.0}, negative},
      {11, {1.0, -1.0, 9.8, 0.0, 0.0}, negative},
      {11, {1.0, 0.0, 9.8, -1.0, 0.0}, negative},
      {11, {1.0, 0.0, 9.8, 0.0, -1.0}, negative},
      {11, {1.0, 0.0, 9.8, 0.0, -1.0}, negative, true},
      {11, {}, "全データが空？ \n\n %s", true},
      {5, {-1.0, 0.0, 0.0}, bad},
      {5, {1.0, 0.0, -1.0}, bad},
      {10, {-1.0, 0.0, 0.0, 0.0}, bad},
      {10, {1.0, 0.0, -1.0, 0.0}, bad},
      {10, {1.0, 0.0, 0.0, -1.0}, bad},
      {9, {-1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0}, bad, true},
      {9, {0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 0.0}, bad, true},
      {9, {0.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0}, bad, true},
      {9, {0.0, 0.0, 0.0, 0.0, -1.0, 0.0, 0.0}, bad, true},
      {9, {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, -1.0}, bad, true},
      {9, {}, bad, true, 51},
      {17, {0.1, 0.0, 0.0, 0.0}, "データが旧 ？ データは＃１から見た値！ \n\n %s", false, 0, 4},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    ElementEntry& element = add(c.typeCode, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {});
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    for (int k = 1; c.parameters.empty() && k <= 10; ++k) element.empty[k] = 1;
    if (c.realSlot != 0) element.realSlots[c.realSlot] = -0.1;
    model->records[element.statementLine].flags = c.recordFlags;
    run->initialPass = 0;
    run->iteration = 2;
    EXPECT_EQ(pass(), 0) << c.typeCode << ": checked outside its pass";
    run->initialPass = c.initialPass ? 1 : 0;
    run->iteration = c.initialPass ? 2 : 1;
    EXPECT_EQ(pass(), 9) << c.typeCode;
    char expected[512];
    std::snprintf(expected, sizeof expected, c.format, element.text);
    ASSERT_FALSE(log.texts.empty());
    EXPECT_EQ(log.texts.back(), expected);
  }
  EXPECT_EQ(log.texts.size(), cases.size());

  // The older convention with absolute offsets passes; the applied force never checks.
  model->count.elements = 0;
  ElementEntry& joint = add(17, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0.1, 0.0, 0.0, 1.0});
  model->records[joint.statementLine].flags = 4;
  add(18, {1, 2, 3, 4, 5, 6}, {-1.0, -2.0, -3.0, -4.0, -5.0});
  run->initialPass = 1;
  run->iteration = 1;
  EXPECT_EQ(pass(), 0);
  EXPECT_EQ(log.texts.size(), cases.size());
}

TEST_F(MechanicalTest, DegenerateGeometryAndDamagedSlotsGiveNoNaN) {
  // A zero-length link, springs whose points coincide (also both on the ground), an
  // all-empty body after its initial pass, and a state slot outside the run.
  ElementEntry& link = add(6, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0.0, 0.0});
  link.mode = 3;
  ElementEntry& spring = add(5, {1, 2, 0, 1, 2}, {10.0, 2.0, 1.0});
  add(5, {0, 0, 0, 0, 0}, {1e6, 0.0, 20000.0});
  ElementEntry& combined = add(9, {4, 5, 6, 4, 5, 6}, {10.0, 1.0, 2.0, 1.0, 1.0, 0.0, 1.0});
  ElementEntry& body = add(11, {10, 11, 12, 13, 14, 15}, {});
  ElementEntry& damaged = add(5, {1, 9999, 0, -4, 2}, {10.0, 0.0, 1.0});
  run->unknownCount = 15;  // 9999 and -4 lie outside: they act as the ground
  for (int k = 1; k <= 10; ++k) body.empty[k] = 1;
  giveStateSlot(spring, 1);
  giveStateSlot(combined, 2);
  damaged.firstStateSlot = 400;
  run->X[run->unknownCount + 400] = -7.0;
  setX({0.4, 0.4, 0.1, 0.4, 0.4, 0.1});
  run->a0H[0] = 2.0;
  run->iteration = 1;
  for (int displayed : {0, 7}) {
    run->displayFlag = displayed;
    ASSERT_EQ(pass(), 0);
    for (int r = 0; r <= run->unknownCount; ++r) {
      ASSERT_TRUE(std::isfinite(run->F[r])) << r;
      for (int c = 0; c <= run->unknownCount; ++c) {
        ASSERT_TRUE(std::isfinite(run->jacobian(r, c))) << r << " " << c;
      }
    }
  }
  EXPECT_EQ(run->X[run->unknownCount + 400], -7.0);
  // The zero-length link with end kind 3 holds the first rotation at 0.
  EXPECT_EQ(run->F[3], run->X[3]);
  EXPECT_EQ(run->jacobian(3, 3), 1.0);
  // A body with m = J = 0: v = a0·Δx remains, with no gravity.
  EXPECT_NEAR(run->F[14], run->X[14] - 2.0 * (run->X[11] - run->a0H[11]), 1e-15);
  EXPECT_EQ(run->F[11], 0.0);
  EvaluationContext context{*model, *run, reporter};
  for (int code : {5, 6, 7, 8, 9, 10, 11, 13, 17, 18}) {
    EXPECT_EQ(evaluatorFor(code)(context, kElementCapacity), 0);
    EXPECT_EQ(evaluatorFor(code)(context, -1), 0);
  }
}

TEST_F(MechanicalTest, OutlinesAndForcesAreTaggedForTheViewSwitches) {
  const double m = 1.2;
  ElementEntry& body = add(11, {1, 2, 3, 7, 8, 9}, {m, 0.1, kGravity, 0.0, 0.0});
  ElementEntry& link = add(6, {0, 0, 0, 1, 2, 3, 4, 5, 6}, {0.0, 0.0});
  link.terminalMark[1] = -1;
  link.terminalMark[2] = -10;
  link.realSlots[51] = 0.5;
  step(0.0);
  recordingPass();
  // Without force drawing: the link line, its pin ring, the body circle and radius.
  const double* line = nullptr;
  EXPECT_EQ(countItems(3, kElementOutlineTag, &line), 1);
  EXPECT_EQ(countItems(2, kElementOutlineTag), 1);
  EXPECT_EQ(countItems(8, kElementOutlineTag), 1);
  EXPECT_EQ(countItems(21, kElementOutlineTag), 1);
  EXPECT_EQ(countItems(21, kForceTag), 0);
  ASSERT_NE(line, nullptr);
  EXPECT_DOUBLE_EQ(line[2], run->X[1]);
  EXPECT_DOUBLE_EQ(line[3], run->X[2]);

  // With force drawing on the link: its force on each end, 2 pixels per N.
  link.drawingMode = 1;
  body.drawingMode = 0;
  recordingPass();
  const double* arrow = nullptr;
  EXPECT_EQ(countItems(21, kForceTag, &arrow), 2);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NEAR(arrow[3], 2.0 * run->X[5], 1e-9);
  EXPECT_NEAR(arrow[3], -2.0 * m * kGravity, 1e-6);

  // A spring's zig-zag: two leads, three corners and the line back to the axis.
  model->count.elements = 0;
  add(5, {0, 0, 0, 1, 2}, {10.0, 0.0, 0.0});
  recordingPass();
  EXPECT_EQ(countItems(3, kElementOutlineTag), 6);
  EXPECT_EQ(run->display.count, 6);
  // Ends that meet keep the six shapes, shrunk onto the point: frames share one layout.
  run->X[1] = 0.0, run->X[2] = 0.0;
  recordingPass();
  EXPECT_EQ(countItems(3, kElementOutlineTag), 6);
}

}  // namespace
}  // namespace movra

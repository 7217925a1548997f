// Circuit evaluators on hand-assembled systems: Jacobians against central
// differences, small circuits solved with a few Newton steps against closed
// forms, switch and amplifier logic, validation, records and display records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "support/element_fixture.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

class CircuitTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kCircuitRelativeToleranceEntry] = 0.001;
    model->parameters[kCircuitAbsoluteToleranceEntry] = 1e-7;
    // The stamps are linear within a state, so a wide step leaves only rounding, which
    // the allowance scales with |F|; the 1e-12 and 1e-9 leaks stay visible.
    jacobianCheck = {.step = 1e-3, .relative = 1e-7, .absolute = 1e-16, .rounding = 1e-14};
    newtonSettings = {.limit = 20, .tolerance = 1e-10};
  }

  // A backward-Euler step of length h at the given time.
  void eulerStep(double h, double time) {
    run->a0H[0] = 1.0 / h;
    for (int u = 1; u <= run->unknownCount; ++u) run->a0H[u] = run->X[u];
    model->parameters[kTimeEntry] = time;
    ASSERT_GT(newton(), 0);
  }
};

// Each case: one element on scrambled unknown indices with spare unknowns it must
// not touch, a state and an a0; the Jacobian must be the derivative of the residual.
TEST_F(CircuitTest, JacobianMatchesCentralDifferencesInEveryState) {
  struct Case {
    const char* label;
    int typeCode;
    std::vector<int> unknowns;
    std::vector<double> parameters;
    double a0;
    int recordFlags;
    int expectedState;  // amplifier slot 13 or switch conducting flag; -9 unchecked
  };
  const std::vector<double> resistor = {10.0, 0.0, 30.0};
  const std::vector<double> amplifier = {5.0, -5.0, 10.0, 2.0, 1e3};
  const int bidirectional = kRecordBidirectional;
  const int marked = kRecordMarkedAsSwitch;
  const std::vector<Case> cases = {
      {"voltage source", 21, {3, 1, 4}, {5.0, 2.0}, 0.0, 0, -9},
      {"voltage source to ground", 21, {3, 0, 4}, {5.0, 0.0}, 0.0, 0, -9},
      {"source with both ends on one node", 21, {3, 3, 4}, {5.0, 2.0}, 0.0, 0, -9},
      {"current source", 22, {3, 1}, {0.3}, 0.0, 0, -9},
      {"resistor forward", 23, {3, 1, 4}, resistor, 0.0, 0, -9},
      {"resistor backward", 23, {3, 1, 2}, resistor, 0.0, 0, -9},
      {"resistor backward, bidirectional", 23, {3, 1, 2}, resistor, 0.0, bidirectional, -9},
      {"resistor open as a switch", 23, {3, 1, 4}, resistor, 0.0, marked, -9},
      {"capacitor static", 24, {3, 1}, {2e-3}, 0.0, 0, -9},
      {"capacitor transient", 24, {3, 1}, {2e-3}, 2.5, 0, -9},
      {"inductor static", 26, {3, 1, 4}, {0.5, 3.0}, 0.0, 0, -9},
      {"inductor transient", 26, {3, 1, 4}, {0.5, 3.0}, 4.0, 0, -9},
      {"switch closed", 27, {3, 1, 4}, {0.5, 0.2, 0.0, 0.7, 0.0, 1.0}, 0.0, 0, 1},
      {"switch open", 27, {3, 1, 4}, {0.5, 0.2, 0.0, 0.7, 0.0, 0.0}, 0.0, 0, 0},
      {"amplifier linear", 35, {1, 5, 3, 4}, amplifier, 0.0, 0, 0},
      {"amplifier upper", 35, {3, 1, 2, 4}, amplifier, 0.0, 0, 1},
      {"amplifier lower", 35, {1, 3, 2, 4}, amplifier, 0.0, 0, -1},
  };
  for (const Case& c : cases) {
    run->unknownCount = 5;
    ElementEntry& element = onlyElement(c.typeCode, c.unknowns, c.parameters);
    model->records[element.statementLine].flags = c.recordFlags;
    // x2 < 0 and x4 > 0: the resistor cases choose their direction by the current slot.
    setX({0.35, -0.8, 1.7, 0.6, 0.25});
    run->a0H[0] = c.a0;
    for (int u = 1; u <= 5; ++u) run->a0H[u] = 0.5 * u;
    run->iteration = 1;
    ASSERT_EQ(pass(), 0) << c.label;
    expectJacobianMatchesDifferences(c.label);
    if (c.typeCode == 35) {
      EXPECT_EQ(element.variableSlots[13], c.expectedState) << c.label;
    }
    if (c.typeCode == 27) {
      EXPECT_EQ(element.variableSlots[8], c.expectedState) << c.label;
    }
  }
}

TEST_F(CircuitTest, VoltageDividerAndShortSolve) {
  add(21, {1, 0, 3}, {10.0, 0.0});
  add(23, {1, 2, 4}, {1000.0, 0.0, 1000.0});
  ElementEntry& lower = add(23, {2, 0, 5}, {3000.0, 0.0, 3000.0});
  ASSERT_GT(newton(), 0);
  // Each node also leaks 1e-9 S per branch-current element touching it (two each).
  const double g1 = 1e-3, g2 = 1.0 / 3000.0, leak = 2 * kMinimumConductance;
  const double v2 = 10.0 * g1 / (g1 + g2 + leak);
  EXPECT_NEAR(run->X[2], v2, 1e-12);
  EXPECT_NEAR(run->X[4], (10.0 - v2) * g1, 1e-15);
  EXPECT_NEAR(run->X[5], v2 * g2, 1e-15);
  // The source's own current runs from n to m: it feeds R1 and the leaks at node 1.
  EXPECT_NEAR(run->X[3], -(10.0 - v2) * g1 - leak * 10.0, 1e-15);

  // A resistor of 0 ohm is a short whose current is still an unknown.
  lower.realSlots[1] = 0.0;
  lower.realSlots[3] = 0.0;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], 0.0, 1e-9);
  EXPECT_NEAR(run->X[5], 1e-2, 1e-8);
}

TEST_F(CircuitTest, ResistorDirectionRule) {
  // 1 V across the resistor, driven either way round: P3 takes over for a negative
  // current unless the statement is marked bidirectional.
  ElementEntry& source = add(21, {1, 0, 3}, {1.0, 0.0});
  ElementEntry& resistor = add(23, {1, 0, 2}, {2.0, 0.0, 4.0});
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], 0.5, 1e-9);
  source.realSlots[1] = -1.0;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], -0.25, 1e-9);
  model->records[resistor.statementLine].flags = kRecordBidirectional;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], -0.5, 1e-9);

  // Marked as a switch: open below P2 = 0.0001, closed from there on.
  model->records[resistor.statementLine].flags = kRecordMarkedAsSwitch | kRecordBidirectional;
  resistor.realSlots[2] = 0.00005;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], 0.0, 1e-15);
  resistor.realSlots[2] = 0.0001;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], -0.5, 1e-9);
}

TEST_F(CircuitTest, RcAndRlStepsFollowBackwardEuler) {
  // Source 2 V behind 1 kohm charging 1 uF: v_k = E·(1 - (1 + h/RC)^-k).
  add(21, {1, 0, 2}, {2.0, 1000.0});
  add(24, {1, 0}, {1e-6});
  const double h = 1e-4;
  for (int k = 1; k <= 20; ++k) {
    eulerStep(h, k * h);
    EXPECT_NEAR(run->X[1], 2.0 * (1.0 - std::pow(1.0 + h / 1e-3, -k)), 1e-5) << k;
  }

  // Source 3 V on an inductor of 0.2 H with 6 ohm: static it is the resistance,
  // stepped i_k = E/R·(1 - (1 + R·h/L)^-k).
  model->count.elements = 0;
  run->unknownCount = 0;
  add(21, {1, 0, 2}, {3.0, 0.0});
  add(26, {1, 0, 3}, {0.2, 6.0});
  run->a0H[0] = 0.0;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[3], 0.5, 1e-9);
  setX({0.0, 0.0, 0.0});
  for (int k = 1; k <= 20; ++k) {
    eulerStep(h * 100, k * h * 100);
    EXPECT_NEAR(run->X[3], 0.5 * (1.0 - std::pow(1.0 + 6.0 * 1e-2 / 0.2, -k)), 1e-8) << k;
  }
}

TEST_F(CircuitTest, StaticCapacitorIsOnlyItsLeak) {
  // 1 V at node 1, capacitor to node 2, 0.25 pA drawn from node 2: with a0 = 0 the
  // capacitor conducts 1e-12 S whatever C is, so v2 = 1 - 0.25.
  add(21, {1, 0, 3}, {1.0, 0.0});
  add(24, {1, 2}, {1.0});
  add(22, {2, 0}, {0.25e-12});
  run->a0H[0] = 0.0;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[2], 0.75, 1e-9);

  // The ground has no history: a capacitor to ground at rest carries no current.
  model->count.elements = 0;
  ElementEntry& capacitor = add(24, {1, 0}, {1e-3});
  run->a0H[0] = 2.0;
  run->a0H[1] = run->X[1] = 0.4;
  run->recordingFlag = 1;
  capacitor.returnBlockId = 2000;
  pass();
  EXPECT_NEAR(store(2002), 0.4e-12, 1e-20);
  run->recordingFlag = 0;
}

TEST_F(CircuitTest, CurrentSourceNodeIsSingularUnlessALeakHoldsIt) {
  std::vector<double> delta;
  add(22, {1, 0}, {1e-3});
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(solve(delta), 0.0);

  // The same source feeding a resistor whose far node has nothing else.
  add(23, {1, 2, 3}, {100.0, 0.0, 100.0});
  ASSERT_EQ(pass(), 0);
  EXPECT_GT(solve(delta), 0.0);
  // A pair of nodes reached only through a voltage source.
  model->count.elements = 0;
  run->unknownCount = 0;
  add(21, {1, 2, 3}, {5.0, 0.0});
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[1] - run->X[2], 5.0, 1e-9);
}

// 1 V through the switch (0.5 ohm) into 1.5 ohm: 0.5 A when it conducts.
TEST_F(CircuitTest, DelayedSwitchOpensBothContactsForTheDelay) {
  add(21, {1, 0, 2}, {1.0, 0.0});
  ElementEntry& sw = add(27, {1, 3, 4}, {0.5, 0.2, 0.25, 0.5, 0.0, 0.0});
  add(23, {3, 0, 5}, {1.5, 0.0, 1.5});
  run->initialPass = 1;
  // t = 0.125 k; the control rises at k = 1 and falls at k = 5.
  const int expectedState[] = {0, 11, 11, 1, 1, 10, 10, 0, 0};
  const bool conducts[] = {false, false, false, false, true, false, false, false, false};
  for (int k = 0; k <= 8; ++k) {
    sw.realSlots[6] = k >= 1 && k < 5 ? 1.0 : 0.0;
    model->parameters[kTimeEntry] = 0.125 * k;
    ASSERT_GT(newton(), 0);
    EXPECT_EQ(sw.variableSlots[6], expectedState[k]) << k;
    EXPECT_NEAR(run->X[4], conducts[k] ? 0.5 : 0.0, 1e-8) << k;
    if (k == 1) {
      EXPECT_DOUBLE_EQ(sw.realSlots[9], 0.125);
    }
  }
  // The opening contact (P5 != 0) conducts at rest and opens for the delay too.
  EXPECT_EQ(sw.variableSlots[9], 1);
  sw.realSlots[5] = 1.0;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[4], 0.5, 1e-8);
  sw.realSlots[6] = 1.0;
  model->parameters[kTimeEntry] = 1.25;
  ASSERT_GT(newton(), 0);
  EXPECT_EQ(sw.variableSlots[6], 11);
  EXPECT_NEAR(run->X[4], 0.0, 1e-12);

  // Without a delay the contacts follow the thresholds and hold between them.
  sw.realSlots[3] = 0.0;
  sw.realSlots[5] = 0.0;
  const double controls[] = {0.6, 0.3, 0.1, 0.3};
  const double currents[] = {0.5, 0.5, 0.0, 0.0};
  for (int k = 0; k < 4; ++k) {
    sw.realSlots[6] = controls[k];
    ASSERT_GT(newton(), 0);
    EXPECT_NEAR(run->X[4], currents[k], 1e-8) << k;
  }
  EXPECT_EQ(sw.variableSlots[8], 0);
}

TEST_F(CircuitTest, AmplifierFollowsItsGainAndClampsAtItsLimits) {
  // Gain 10, limits +5 and -5, 1 ohm output into 1 kohm, input a from a source.
  ElementEntry& source = add(21, {1, 0, 2}, {0.3, 0.0});
  ElementEntry& amplifier = add(35, {1, 0, 3, 4}, {5.0, -5.0, 10.0, 1.0, 1e6});
  add(23, {3, 0, 5}, {1000.0, 0.0, 1000.0});
  struct Expectation {
    double input;
    double output;
    int state;
  };
  for (const Expectation& e :
       {Expectation{0.3, 3.0 / 1.001, 0}, Expectation{1.0, 5.0, 1}, Expectation{-2.0, -5.0, -1}}) {
    source.realSlots[1] = e.input;
    const int iterations = newton();
    ASSERT_GT(iterations, 0);
    EXPECT_NEAR(run->X[3], e.output, 1e-8) << e.input;
    EXPECT_NEAR(run->X[4], e.output / 1000.0, 1e-8);
    EXPECT_EQ(amplifier.variableSlots[13], e.state);
    const int32_t* counts = amplifier.variableSlots;
    EXPECT_EQ(counts[17] + counts[18] + counts[19], iterations);
    EXPECT_GT(counts[e.state == 0 ? 17 : (e.state > 0 ? 18 : 19)], 0);
  }
}

TEST_F(CircuitTest, LateUnsettledAmplifierOnlyFallsBackToLinear) {
  // The would-be output is far below the lower limit; the output current differs
  // from its remembered value, so the vote fails.
  ElementEntry& amplifier = add(35, {1, 2, 3, 4}, {5.0, -5.0, 10.0, 1.0, 1e6});
  setX({-2.0, 0.0, 5.0, 0.1});
  struct Case {
    int iteration;
    int previous;
    double remembered;
    int expected;
  };
  for (const Case& c : {Case{6, 1, 0.0, 0}, Case{6, -1, 0.0, -1}, Case{6, 0, 0.0, -1},
                        Case{5, 1, 0.0, -1}, Case{6, 1, 0.1, -1}}) {
    amplifier.variableSlots[16] = c.previous;
    amplifier.realSlots[11] = c.remembered;
    run->iteration = c.iteration;
    ASSERT_EQ(pass(), 0);
    EXPECT_EQ(amplifier.variableSlots[13], c.expected) << c.iteration << " " << c.previous;
    EXPECT_EQ(amplifier.variableSlots[16], c.expected);
  }
  // The first iteration of a step restarts the counters.
  run->iteration = 1;
  setX({0.0, 0.0, 0.0, 0.0});
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(amplifier.variableSlots[13], 0);
  EXPECT_EQ(amplifier.variableSlots[17], 1);
}

TEST_F(CircuitTest, InvalidDataStopsTheFirstIterationWithItsMessage) {
  struct Case {
    int typeCode;
    std::vector<double> parameters;
    const char* format;
  };
  const std::vector<Case> cases = {
      {21, {1.0, -1.0}, "データが？ \n\n %s \n"},
      {23, {-1.0, 0.0, 1.0}, "データが？ \n\n %s"},
      {23, {1.0, 0.0, -1.0}, "データが？ \n\n %s"},
      {24, {-1e-6}, "データが？ \n\n %s"},
      {26, {-1.0, 1.0}, "データが？ \n\n %s"},
      {26, {1.0, -1.0}, "データが？ \n\n %s"},
      {27, {0.1, 0.2, 0.0, 1.0}, "データが？ \n\n %s"},
      {27, {0.2, 0.1, -1.0, 1.0}, "データが？ \n\n %s"},
      {27, {0.2, 0.1, 0.0, -1.0}, "データが？ \n\n %s"},
      {35, {5.0, -5.0, 0.0, 1.0, 1.0}, "データが０？ \n\n %s \n"},
      {35, {5.0, -5.0, 1.0, 0.001, 1.0}, "データが０？ \n\n %s \n"},
      {35, {5.0, -5.0, 1.0, 1.0, 0.001}, "データが０？ \n\n %s \n"},
      {35, {-5.0, 5.0, 1.0, 1.0, 1.0}, nullptr},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    ElementEntry& element = add(c.typeCode, {1, 2, 3, 4}, {});
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    run->iteration = 2;
    EXPECT_EQ(pass(), 0) << "no checks after the first iteration";
    run->iteration = 1;
    EXPECT_EQ(pass(), 9);
    char expected[512];
    if (c.format != nullptr) {
      std::snprintf(expected, sizeof expected, c.format, element.text);
    } else {
      std::snprintf(expected, sizeof expected, "範囲が？ \n\n %s \n\n %e %e", element.text, -5.0,
                    5.0);
    }
    ASSERT_FALSE(log.texts.empty());
    EXPECT_EQ(log.texts.back(), expected);
  }
  EXPECT_EQ(log.texts.size(), cases.size());
}

TEST_F(CircuitTest, ConvergenceVotes) {
  // Voltage source: its own residual; current source: the change of its voltage;
  // capacitor: the change of its current, marking slot 15 once it settles.
  ElementEntry& source = add(21, {1, 0, 2}, {1.0, 0.0});
  ElementEntry& current = add(22, {1, 0}, {1e-3});
  ElementEntry& capacitor = add(24, {1, 0}, {1e-6});
  setX({0.5, 0.0});
  run->a0H[0] = 1.0;
  run->iteration = 2;
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(run->nonConvergence, 3);
  EXPECT_EQ(capacitor.variableSlots[15], 0);
  setX({1.0, 0.0});
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(run->nonConvergence, 2);  // the residual is 0; voltage and current moved
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(run->nonConvergence, 0);
  EXPECT_EQ(capacitor.variableSlots[15], 1);
  EXPECT_EQ(source.realSlots[11], 0.0);
  EXPECT_EQ(current.realSlots[11], 1.0);
}

TEST_F(CircuitTest, SourceRecordsPowerEnergyAndTotals) {
  ElementEntry& source = add(21, {1, 2, 3}, {4.0, 0.0});
  ElementEntry& current = add(22, {1, 2}, {0.5});
  ElementEntry& resistor = add(23, {1, 2, 4}, {8.0, 0.0, 16.0});
  source.returnBlockId = 1000;
  current.returnBlockId = 1100;
  resistor.returnBlockId = 1200;
  setX({3.0, -1.0, -0.25, -0.5});
  run->dtOut = 0.01;
  run->pwmSubStep = 0.0;
  run->iteration = 2;
  ASSERT_EQ(pass(), 0);
  EXPECT_EQ(store(1001), 0.0) << "no record outside the recording pass";
  for (int kt = 0; kt < 3; ++kt) {
    run->kt = kt;
    recordingPass();
  }
  EXPECT_DOUBLE_EQ(store(1001), 4.0);
  EXPECT_DOUBLE_EQ(store(1002), -0.25);
  EXPECT_DOUBLE_EQ(store(1003), 1.0);
  EXPECT_DOUBLE_EQ(store(1004), 2 * 1.0 * 0.01);  // restarted at step 0
  EXPECT_DOUBLE_EQ(store(1005), 3 * 0.01);
  EXPECT_DOUBLE_EQ(store(1008), 1.0);
  EXPECT_DOUBLE_EQ(store(1010), 3 * 0.01);
  EXPECT_DOUBLE_EQ(store(1011), 4.0);
  EXPECT_DOUBLE_EQ(store(1013), 1.0);
  EXPECT_DOUBLE_EQ(store(1102), 0.5);
  EXPECT_DOUBLE_EQ(store(1103), -2.0);
  EXPECT_DOUBLE_EQ(store(1109), 3 * -2.0 * 0.01);
  EXPECT_DOUBLE_EQ(store(1203), 2.0);
  EXPECT_DOUBLE_EQ(store(1206), 16.0);  // negative current: P3 in use
  EXPECT_DOUBLE_EQ(store(1210), 3 * 2.0 * 0.01);
  EXPECT_DOUBLE_EQ(store(9983), 3 * (1.0 - 2.0 + 2.0));
  EXPECT_DOUBLE_EQ(store(9985), store(9983));
  EXPECT_DOUBLE_EQ(store(9993), 3 * 1.0 * 0.01);
  EXPECT_DOUBLE_EQ(store(9995), store(9993));
  const double* shown = display(source);
  EXPECT_EQ(shown[0], -0.25);
  EXPECT_EQ(shown[1], 4.0);
  EXPECT_EQ(shown[3], 3.0);
  EXPECT_EQ(shown[4], -1.0);
  EXPECT_EQ(display(current)[0], 0.5);
}

TEST_F(CircuitTest, PwmMeansSpanOneOnAndOneOffPart) {
  ElementEntry& source = add(21, {1, 0, 2}, {0.0, 0.0});
  source.returnBlockId = 3000;
  run->pwmPeriod = 1e-3;
  run->kt = 1;
  struct SubStep {
    double voltage;
    double tau;
  };
  const SubStep parts[] = {{2.0, 0.3e-3}, {6.0, 0.7e-3}, {1.0, 0.3e-3}};
  for (int k = 0; k < 3; ++k) {
    setX({parts[k].voltage, 0.5});
    run->pwmSubStep = parts[k].tau;
    recordingPass();
  }
  const SubStep& a = parts[1];
  const SubStep& b = parts[2];
  const double span = a.tau + b.tau;
  EXPECT_NEAR(store(3011), (a.voltage * a.tau + b.voltage * b.tau) / span, 1e-12);
  EXPECT_NEAR(store(3012), 0.5, 1e-12);
  EXPECT_NEAR(store(3013), -(a.voltage * a.tau + b.voltage * b.tau) * 0.5 / span, 1e-12);
  EXPECT_DOUBLE_EQ(store(3054), b.tau);
  EXPECT_DOUBLE_EQ(store(3051), b.voltage * b.tau);
  EXPECT_DOUBLE_EQ(store(3020), b.tau);
  EXPECT_NEAR(store(3004), -(2.0 * 0.3e-3 + 6.0 * 0.7e-3 + 0.3e-3) * 0.5, 1e-15);

  // A sub-step of no length: the present values, never a division by zero.
  model->parameters[3054] = 0.0;
  run->pwmSubStep = 0.0;
  recordingPass();
  EXPECT_DOUBLE_EQ(store(3011), 1.0);
  EXPECT_DOUBLE_EQ(store(3013), -0.5);
}

TEST_F(CircuitTest, StorageSwitchAndAmplifierRecords) {
  ElementEntry& capacitor = add(24, {1, 2}, {1e-3});
  ElementEntry& inductor = add(26, {1, 2, 3}, {0.1, 2.0});
  ElementEntry& sw = add(27, {1, 2, 4}, {0.5, 0.2, 0.0, 0.1, 0.0, 0.8, 4000.0});
  ElementEntry& amplifier = add(35, {1, 2, 5, 6}, {5.0, -5.0, 10.0, 1.0, 1e6});
  capacitor.returnBlockId = 1000;
  inductor.returnBlockId = 1100;
  sw.returnBlockId = 1200;
  amplifier.returnBlockId = 1300;
  model->parameters[4000] = 42.0;
  setX({3.0, 1.0, 0.5, 0.2, 4.0, 0.01});
  run->a0H[0] = 10.0;
  run->a0H[1] = 2.5;
  run->dtOut = 0.1;
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  recordingPass();
  const double q = 1e-3 * 10.0 * (0.5 - 1.0) + 1e-12 * 2.0;
  EXPECT_DOUBLE_EQ(store(1001), 2.0);
  EXPECT_DOUBLE_EQ(store(1002), q);
  EXPECT_DOUBLE_EQ(store(1003), 2.0 * q);
  EXPECT_DOUBLE_EQ(store(1005), 2.0 * q * 0.1);
  EXPECT_DOUBLE_EQ(store(1100), 2.0);
  EXPECT_DOUBLE_EQ(store(1102), 0.5);
  EXPECT_DOUBLE_EQ(store(1103), 1.0);
  // Switch: power, conducting flag, the value its return-value id names, contacts.
  const double expectedSwitch[][2] = {{3, -0.4}, {6, 1.0}, {12, 42.0}, {18, 1.0}, {19, 0.0}};
  for (const auto& field : expectedSwitch) {
    EXPECT_DOUBLE_EQ(store(1200 + static_cast<int>(field[0])), field[1]) << field[0];
  }
  EXPECT_EQ(display(sw)[2], 1.0);
  EXPECT_DOUBLE_EQ(store(1301), 4.0);
  EXPECT_DOUBLE_EQ(store(1302), 0.01);
  EXPECT_DOUBLE_EQ(store(1303), 0.04);
  EXPECT_DOUBLE_EQ(store(1304), 2.0);
  EXPECT_DOUBLE_EQ(store(1305), 1.0);
  EXPECT_EQ(display(amplifier)[0], 0.01);
  EXPECT_EQ(display(amplifier)[1], 4.0);
  EXPECT_EQ(display(inductor)[0], 0.5);
  EXPECT_EQ(display(capacitor)[1], 2.0);

  // Opened: symbol state 2, and a return-value id that names no entry reads 0.
  sw.realSlots[6] = 0.0;
  sw.realSlots[7] = 1e300;
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  recordingPass();
  EXPECT_EQ(display(sw)[2], 2.0);
  EXPECT_EQ(store(1206), 0.0);
  EXPECT_EQ(store(1212), 0.0);
}

TEST_F(CircuitTest, DamagedIndicesStayInsideTheirTables) {
  // Unknown indices outside 0..N act as the ground; rows outside the table and
  // elements without a statement record add nothing and record no display.
  ElementEntry& resistor = add(23, {1, 9999, -7}, {1.0, 0.0, 1.0});
  resistor.statementLine = kRecordCapacity + 5;
  run->unknownCount = 1;
  setX({2.0});
  run->iteration = 1;
  run->displayFlag = 7;
  ASSERT_EQ(pass(), 0);
  EXPECT_NEAR(run->jacobian(1, 1), -kMinimumConductance, 1e-24);
  EXPECT_NEAR(run->F[1], -kMinimumConductance * 2.0, 1e-24);
  EvaluationContext context{*model, *run, reporter};
  for (int code : {21, 22, 23, 24, 26, 27, 35}) {
    EXPECT_EQ(evaluatorFor(code)(context, kElementCapacity), 0);
    EXPECT_EQ(evaluatorFor(code)(context, -1), 0);
  }
  EXPECT_EQ(storeIdOf(std::nan("")), 0);
  EXPECT_EQ(storeIdOf(-1e9), 0);
  EXPECT_EQ(storeIdOf(1234.0), 1234);
  EXPECT_NEAR(vectorAngle(0.0, 1.0), kPi / 2, 1e-15);
}

}  // namespace
}  // namespace movra

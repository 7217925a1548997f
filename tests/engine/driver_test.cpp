// The driver over a one-unknown model whose element the test supplies:
// dx/dt = -x / tau, so backward Euler gives x_n = x_(n-1) / (1 + h / tau) exactly.
#include "engine/driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "elements/evaluator.h"
#include "engine/recording.h"
#include "engine/run_setup.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

constexpr int kTestCode = 19;
constexpr double kTau = 0.5;
constexpr int kStepEntry = 50;

// F = a0 (x - H) + x / tau, J = a0 + 1 / tau; publishes the step number when recording.
int decayEvaluator(EvaluationContext& context, int row) {
  Run& run = context.run;
  const int x = context.model.elements[row].variableSlots[1];
  run.F[x] += run.a0() * (run.X[x] - run.history(x)) + run.X[x] / kTau;
  run.jacobian(x, x) += run.a0() + 1.0 / kTau;
  if (run.recordingFlag >= 1) context.model.parameters[kStepEntry] = run.kt;
  return 0;
}

class TestHost : public RunHost {
 public:
  void pumpMessages(Run& run) override {
    ++pumps;
    if (onPump) onPump(run);
  }
  void repaint(Run&) override { ++repaints; }
  void sendStopCommand(Run& run) override { run.runRequest = 2; }
  void appendTitleNotice(const char* notice) override { notices.emplace_back(notice); }
  int plotGraphs(Run&) override { return 0; }
  long long nowMs() override { return clock; }

  int pumps = 0;
  int repaints = 0;
  long long clock = 1000;
  std::vector<std::string> notices;
  std::function<void(Run&)> onPump;
};

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = replaceEvaluatorForTest(kTestCode, decayEvaluator);
    reporter.setSink(log.sink());
    buildModel();
  }
  void buildModel() {
    model = makeModel();
    run = makeRun();
    model->count.elements = 1;
    ElementEntry& element = model->elements[1];
    element.typeCode = kTestCode;
    element.variableSlots[1] = 3000;
    model->count.outputs = 3;
    model->outputs[1].slot = 1;           // the time
    model->outputs[2].slot = 3000;        // the unknown
    model->outputs[2].componentDigit = 1;
    model->outputs[3].slot = kStepEntry;  // the step that wrote the frame
  }
  void TearDown() override { replaceEvaluatorForTest(kTestCode, previous); }

  // method, t0, t1, dt, output interval
  void timeConditions(double method, double t0, double t1, double dt, double interval) {
    double* c = model->timeConditions;
    c[1] = method;
    c[2] = t0;
    c[3] = t1;
    c[4] = dt;
    c[5] = interval;
    c[6] = 1e-99;
  }
  int simulate(double x0) {
    if (prepareRun(*model, *run, reporter) != 0) return -1;
    run->X[1] = x0;
    return runSimulation(*model, *run, reporter, host);
  }

  ElementEvaluator previous = nullptr;
  std::unique_ptr<Model> model;
  std::unique_ptr<movra::Run> run;
  Reporter reporter;
  testing::MessageLog log;
  TestHost host;
};

TEST_F(DriverTest, BackwardEulerDecayMatchesItsDiscreteClosedForm) {
  timeConditions(1, 0, 1, 0.1, 1);
  ASSERT_EQ(simulate(1.0), 0) << (log.texts.empty() ? "" : log.texts.back());
  EXPECT_EQ(run->runEnded, 1);
  EXPECT_EQ(run->lastFrame, 10);
  // Step 0 is the starting solution with a0 = 1 and H = x0: x = x0 / (1 + 1 / tau).
  double expected = 1.0 / (1.0 + 1.0 / kTau);
  EXPECT_NEAR(recordedOutput(*run, 0, 2), expected, 1e-12);
  for (int frame = 1; frame <= 10; ++frame) {
    expected /= 1.0 + 0.1 / kTau;
    EXPECT_NEAR(recordedOutput(*run, frame, 2), expected, 1e-12) << frame;
    EXPECT_NEAR(recordedOutput(*run, frame, 1), 0.1 * frame, 1e-12);
  }
}

TEST_F(DriverTest, SecondOrderMethodConvergesFasterThanFirstOrder) {
  // Error against the exact exp(-t / tau) at t = 1, after the same start.
  auto errorAtEnd = [&](int method) {
    buildModel();
    timeConditions(method, 0, 1, 0.01, 1);
    EXPECT_EQ(simulate(1.0), 0);
    const double start = 1.0 / (1.0 + 1.0 / kTau);
    return std::fabs(recordedOutput(*run, run->lastFrame, 2) - start * std::exp(-1.0 / kTau));
  };
  const double firstOrder = errorAtEnd(1);
  const double secondOrder = errorAtEnd(2);
  EXPECT_LT(secondOrder, firstOrder / 5);
}

TEST_F(DriverTest, FramesHoldTheLastStepBeforeTheCursorMoves) {
  timeConditions(1, 0, 0.9, 0.1, 3);
  ASSERT_EQ(simulate(1.0), 0);
  ASSERT_EQ(run->lastFrame, 3);
  EXPECT_EQ(recordedOutput(*run, 0, 3), 2);
  EXPECT_EQ(recordedOutput(*run, 1, 3), 5);
  EXPECT_EQ(recordedOutput(*run, 2, 3), 8);
  EXPECT_EQ(recordedOutput(*run, 3, 3), 9);
}

TEST_F(DriverTest, SingleSolutionWhenStartEqualsEnd) {
  timeConditions(0, 0.5, 0.5, 0.1, 0);
  ASSERT_EQ(simulate(1.0), 0);
  EXPECT_EQ(run->kt, 0);
  EXPECT_EQ(run->lastFrame, 0);
  // A static solution: x / tau = 0.
  EXPECT_NEAR(recordedOutput(*run, 0, 2), 0.0, 1e-12);

  // With an output interval the interval check refuses it.
  run = makeRun();
  timeConditions(0, 0.5, 0.5, 0.1, 1);
  EXPECT_EQ(simulate(1.0), kRunRefused);
  EXPECT_NE(log.texts.back().find("出力の間隔が広過ぎ？"), std::string::npos);
}

TEST_F(DriverTest, StartRefusals) {
  timeConditions(1, 0, 1, 1e-10, 1);
  EXPECT_EQ(simulate(1.0), kRunRefused);
  EXPECT_NE(log.texts.back().find("刻み巾 dt が小さ過ぎ？"), std::string::npos);
  run = makeRun();
  timeConditions(3, 0, 1, 0.1, 1);
  EXPECT_EQ(simulate(1.0), kRunRefused);
  EXPECT_NE(log.texts.back().find(" .t が？　　範囲外の値"), std::string::npos);
}

TEST_F(DriverTest, FrameLimitPicksOneOrAnOddPrime) {
  EXPECT_EQ(frameLimitInterval(5000), 1);
  EXPECT_EQ(frameLimitInterval(5001), 3);
  EXPECT_EQ(frameLimitInterval(100000), 23);
  EXPECT_EQ(frameLimitInterval(2000000000), 0);
}

TEST_F(DriverTest, HeldRunWaitsAndAStopEndsItWithStatusFive) {
  timeConditions(1, 0, 1, 0.1, 1);
  int pumpsHeld = 0;
  host.onPump = [&](movra::Run& r) {
    if (r.kt == 3 && pumpsHeld < 5) {
      r.holdState = 1;
      ++pumpsHeld;
    } else if (r.kt == 3) {
      r.holdState = 0;
      r.runRequest = 2;
    }
  };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(run->kt, 3);
  EXPECT_EQ(pumpsHeld, 5);
  // Steps 0..2 were recorded; the stop came before step 3.
  EXPECT_EQ(run->lastFrame, 2);
}

TEST_F(DriverTest, InteractiveHoldRedrawsTheSameStep) {
  model->interactionMode = 1;
  timeConditions(1, 0, 1, 0.1, 1);
  int held = 0;
  host.onPump = [&](movra::Run& r) {
    host.clock += 1000;  // always behind real time: no waiting
    if (r.kt == 2 && held < 3) {
      r.holdState = 1;
      ++held;
    } else if (r.kt == 2) {
      r.holdState = 0;
    }
    if (r.kt == 6) r.runRequest = 2;
  };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(held, 3);
  EXPECT_EQ(run->kt, 6);
}

}  // namespace
}  // namespace movra

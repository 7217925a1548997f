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
constexpr int kEnergyEntry = 51;
int shapesFromStep = 1 << 30;  // the step from which the element floods the display list

// F = a0 (x - H) + x / tau, J = a0 + 1 / tau; when recording it publishes the step
// number, adds x over the output step to a running total (as energies are kept)
// and, from shapesFromStep on, records shapes until the display list is full.
int decayEvaluator(EvaluationContext& context, int row) {
  Run& run = context.run;
  const int x = context.model.elements[row].variableSlots[1];
  run.F[x] += run.a0() * (run.X[x] - run.history(x)) + run.X[x] / kTau;
  run.jacobian(x, x) += run.a0() + 1.0 / kTau;
  if (run.recordingFlag >= 1) {
    context.model.parameters[kStepEntry] = run.kt;
    context.model.parameters[kEnergyEntry] += run.X[x] * run.dtOut;
    if (run.kt >= shapesFromStep) {
      for (int k = 0; k < kDisplayItemLimit; ++k) recordShape4(run.display, 0.0, 0.0, 1.0, 1);
    }
  }
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
  void waitForEvents(Run& run, long long timeoutMs) override {
    waits.push_back(timeoutMs);
    if (onWait) onWait(run, timeoutMs);
  }

  std::vector<long long> waits;
  std::function<void(Run&, long long)> onWait;
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
    model->count.outputs = 4;
    model->outputs[4].slot = kEnergyEntry;  // the running total
  }
  void TearDown() override {
    replaceEvaluatorForTest(kTestCode, previous);
    shapesFromStep = 1 << 30;
  }

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

// Frame k holds step k times the output interval: frame 0 is the starting solution.
TEST_F(DriverTest, FramesHoldEveryIntervalsStepFromTheStart) {
  timeConditions(1, 0, 0.9, 0.1, 3);
  ASSERT_EQ(simulate(1.0), 0);
  ASSERT_EQ(run->lastFrame, 3);
  EXPECT_EQ(recordedOutput(*run, 0, 3), 0);
  EXPECT_EQ(recordedOutput(*run, 1, 3), 3);
  EXPECT_EQ(recordedOutput(*run, 2, 3), 6);
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

// A held frame is drawn again from the state it shows: redraws add nothing to the
// running totals and the recorded values stay those of the step.
TEST_F(DriverTest, HeldFrameChangesNoTotal) {
  model->interactionMode = 1;
  timeConditions(1, 0, 1, 0.1, 1);
  double totalAtHold = -1.0;
  double recordedAtHold = -1.0;
  int redraws = 0;
  host.onPump = [&](movra::Run& r) {
    host.clock += 1000;
    if (r.kt == 3 && redraws == 0) {
      totalAtHold = model->parameters.get(kEnergyEntry);
      recordedAtHold = recordedOutput(r, r.currentFrame, 4);
    }
    if (r.kt == 3 && redraws < 20) {
      r.holdState = 1;
      ++redraws;
    } else if (r.kt == 3) {
      EXPECT_DOUBLE_EQ(model->parameters.get(kEnergyEntry), totalAtHold);
      EXPECT_DOUBLE_EQ(recordedOutput(r, r.currentFrame, 4), recordedAtHold);
      r.runRequest = 2;
    }
  };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(redraws, 20);
  // Steps 0..2 each added x once: the total is the same as for a run never held.
  double expected = 0.0;
  double x = 1.0 / (1.0 + 1.0 / kTau);
  for (int k = 0; k <= 2; ++k, x /= 1.0 + 0.1 / kTau) expected += x * 0.1;
  EXPECT_NEAR(totalAtHold, expected, 1e-12);
  EXPECT_NEAR(model->parameters.get(kEnergyEntry), expected, 1e-12);
}

// Held before its first step is done, an interactive run keeps the one frame ring
// it made; a block made and dropped at every redraw would churn the system.
TEST_F(DriverTest, HoldAtTheFirstStepKeepsOneFrameRing) {
  model->interactionMode = 1;
  timeConditions(1, 0, 1, 0.1, 1);
  std::vector<std::string> names;
  const double* numbers = nullptr;
  int redraws = 0;
  host.onPump = [&](movra::Run& r) {
    host.clock += 1000;  // a ring made again would take a new name
    if (r.kt == 0 && r.frames.exists()) {
      if (numbers == nullptr) numbers = r.frames.numbers;
      EXPECT_EQ(r.frames.numbers, numbers);
      names.emplace_back(r.frames.name);
    }
    if (r.kt == 0 && redraws < 10) {
      r.holdState = 1;  // held from the start: the first step is never solved
      ++redraws;
    } else if (r.kt == 0) {
      r.holdState = 0;
    }
    if (r.kt == 2) r.runRequest = 2;
  };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(redraws, 10);
  ASSERT_GE(names.size(), 9u);
  for (const std::string& name : names) EXPECT_EQ(name, names.front());
}

// Too many shapes for the engine's own items after the first step end the run as
// a stop does: status 5, ended, the frames written so far kept.
TEST_F(DriverTest, TooMuchDataAfterTheFirstStepEndsTheRunWithItsFrames) {
  model->lastRecordIndex = 1;
  model->records[1].typeCode = 23;  // one statement echoed into every frame
  model->records[1].echoFlag = 0;
  shapesFromStep = 3;
  timeConditions(1, 0, 1, 0.1, 1);
  EXPECT_EQ(simulate(1.0), kRunStopped);
  ASSERT_FALSE(log.texts.empty());
  EXPECT_NE(log.texts.back().find("データ量が過多"), std::string::npos);
  EXPECT_EQ(run->runEnded, 1);
  EXPECT_EQ(run->lastFrame, 3);  // the cursor had moved on to the step that failed
  for (int frame = 0; frame <= 2; ++frame) {
    EXPECT_DOUBLE_EQ(recordedOutput(*run, frame, 3), frame) << frame;
  }

  // At the first step nothing is recorded yet: the run is refused.
  buildModel();
  model->lastRecordIndex = 1;
  model->records[1].typeCode = 23;
  model->records[1].echoFlag = 0;
  shapesFromStep = 0;
  timeConditions(1, 0, 1, 0.1, 1);
  EXPECT_EQ(simulate(1.0), kRunRefused);
}

// Nothing to compute never means a busy loop: a held run waits for events (at
// most 50 ms between looks at its flags), a real-time run ahead of the clock waits
// for the time its step is due, and a held frame is redrawn once per display frame.
TEST_F(DriverTest, WaitingStatesSleepUntilAnEventOrTheirDeadline) {
  timeConditions(1, 0, 1, 0.1, 1);
  host.onPump = [&](movra::Run& r) {
    if (r.kt == 2 && host.waits.size() < 3) r.holdState = 1;
    if (r.kt == 2 && host.waits.size() >= 3) r.holdState = 0;
    if (r.kt == 4) r.runRequest = 2;
  };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(host.waits, (std::vector<long long>{50, 50, 50}));

  // Real time: steps of 100 ms; the clock stands still, so after step 1 the run is
  // ahead and waits out the lead of its next step; the wait lets the clock run on.
  buildModel();
  model->interactionMode = 1;
  timeConditions(1, 0, 1, 0.1, 1);
  host.waits.clear();
  host.onPump = [&](movra::Run& r) {
    if (r.kt == 4) r.runRequest = 2;
  };
  host.onWait = [&](movra::Run&, long long timeoutMs) { host.clock += timeoutMs; };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(run->kt, 4);
  ASSERT_FALSE(host.waits.empty());
  for (long long wait : host.waits) EXPECT_EQ(wait, 100);

  // A held frame in real time: one redraw, then a display frame's wait.
  buildModel();
  model->interactionMode = 1;
  timeConditions(1, 0, 1, 0.1, 1);
  host.waits.clear();
  host.onWait = nullptr;
  int redraws = 0;
  host.onPump = [&](movra::Run& r) {
    host.clock += 1000;
    if (r.kt == 2 && redraws < 2) {
      r.holdState = 1;
      ++redraws;
    } else if (r.kt == 2) {
      r.holdState = 0;
    }
    if (r.kt == 3) r.runRequest = 2;
  };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(host.waits, (std::vector<long long>{16, 16}));
}

}  // namespace
}  // namespace movra

namespace movra {
namespace {

// Rows of a control-key record: time in value 1, a signal in value 2.
void fillKeys(Model& model, int rows, double rowTime) {
  ControlKeyRecord& keys = model.controlKeys;
  for (int r = 0; r < rows; ++r) {
    keys.row[r][1] = r * rowTime;
    keys.row[r][2] = 10.0 * r;
    keys.row[r][12] = r;
  }
  for (int extra = 0; extra < 3; ++extra) {
    for (int e = 1; e <= 17; ++e) keys.row[rows + extra][e] = keys.row[rows - 1][e];
  }
  keys.rowsRead = rows;
  keys.lastRowIndex = rows - 1;
}

TEST_F(DriverTest, ReplayModeATakesTheRowOfTheStep) {
  fillKeys(*model, 6, 0.25);
  model->replayMode = 1;
  model->outputs[3].slot = 102;
  timeConditions(1, 0, 99, 0.1, 1);  // the recorded end replaces 99
  ASSERT_EQ(simulate(1.0), 0);
  EXPECT_EQ(run->stepCount, 5);  // t1 = t0 + 5 rows of 0.1
  for (int frame = 0; frame <= run->lastFrame; ++frame) {
    EXPECT_DOUBLE_EQ(recordedOutput(*run, frame, 3), 10.0 * frame);
  }
}

TEST_F(DriverTest, ReplayModeBInterpolatesByTime) {
  fillKeys(*model, 6, 0.25);  // rows at 0, 0.25, ... 1.25
  model->replayMode = 2;
  model->outputs[3].slot = 102;
  timeConditions(1, 0, 99, 0.1, 1);
  ASSERT_EQ(simulate(1.0), 0);
  EXPECT_NEAR(run->t1, 1.25, 1e-12);
  // The signal rises 10 per row, 40 per unit of time, and keeps the last row's
  // value past the recorded end (the grid may overshoot it by part of a step).
  for (int frame = 0; frame <= run->lastFrame; ++frame) {
    const double time = std::fmin(recordedOutput(*run, frame, 1), 1.25);
    EXPECT_NEAR(recordedOutput(*run, frame, 3), 40.0 * time, 1e-9) << frame;
  }
}

TEST_F(DriverTest, ResumedRunContinuesFromItsSavedStateAndEndsWithThree) {
  timeConditions(1, 0, 1, 0.1, 1);
  host.onPump = [&](movra::Run& r) {
    if (r.kt == 4 && r.runRequest == 0) r.runRequest = 2;  // pause at step 4
  };
  ASSERT_EQ(simulate(1.0), kRunStopped);
  EXPECT_EQ(run->kt, 4);
  const double paused = run->resume[1];
  host.onPump = nullptr;
  run->runRequest = -2;
  EXPECT_EQ(runSimulation(*model, *run, reporter, host), kRunResumedEnd);
  EXPECT_EQ(run->kt, 10);
  // The resumed steps carry on the same decay from where the pause left it.
  double expected = paused;
  for (int k = 4; k <= 10; ++k) expected /= 1.0 + 0.1 / kTau;
  EXPECT_NEAR(run->X[1], expected, 1e-12);
}

}  // namespace
}  // namespace movra

namespace movra {
namespace {

// Real time in steps of 100 ms. The clock runs 100 ms per pump, exactly with the
// steps, until a slow stretch adds 250 ms at step 6: the run is then more than
// 100 ms late and says so, until a fast-forward press resynchronises it. A hold
// is no lag, and a stopped run lags no more.
TEST_F(DriverTest, InteractiveRunTellsWhenItFallsBehindRealTime) {
  model->interactionMode = 1;
  timeConditions(1, 0, 10, 0.1, 1);
  std::vector<int> laggingAt;
  std::vector<int> onTimeAt;
  bool heldLagging = true;
  host.onPump = [&](movra::Run& r) {
    (r.lagging ? laggingAt : onTimeAt).push_back(r.kt);
    host.clock += 100;
    if (r.kt == 6 && laggingAt.empty()) host.clock += 250;  // a slow stretch
    if (r.kt == 9 && r.fastForwardCount == 0) r.fastForwardCount = 1;
    if (r.kt == 12) r.holdState = 1;
    if (r.kt == 12 && r.holdState == 1 && host.pumps > 40) {
      heldLagging = r.lagging;
      r.runRequest = 2;
    }
  };
  host.onWait = [&](movra::Run&, long long timeoutMs) { host.clock += timeoutMs; };
  EXPECT_EQ(simulate(1.0), kRunStopped);
  // The pump at step k sees what the check at the head of step k - 1 found: late
  // from the check at step 6, resynchronised by the check at step 9.
  EXPECT_EQ(laggingAt, (std::vector<int>{7, 8, 9}));
  ASSERT_FALSE(onTimeAt.empty());
  EXPECT_EQ(onTimeAt.back(), 12);
  EXPECT_FALSE(heldLagging) << "a held run waits for its user, it is not late";
  EXPECT_FALSE(run->lagging) << "the end of the run clears the lag";
}

// A resumed run goes on from the frame it last wrote, whatever frame playback
// showed during the pause, and its frames follow the earlier ones without a gap
// or an overwrite.
TEST_F(DriverTest, ResumedRunRestoresCurrentFrameAndContinuesItsFrames) {
  timeConditions(1, 0, 2, 0.1, 2);  // 20 steps, a frame every second step
  host.onPump = [&](movra::Run& r) {
    if (r.kt == 9 && r.runRequest == 0) r.runRequest = 2;
  };
  ASSERT_EQ(simulate(1.0), kRunStopped);
  const int written = run->currentFrame;
  EXPECT_EQ(written, 4);  // step 8
  EXPECT_EQ(run->lastFrame, 4);
  run->currentFrame = 1;  // the user stepped back through the frames
  int frameAtFirstPump = -1;
  host.onPump = [&](movra::Run& r) {
    if (frameAtFirstPump == -1) frameAtFirstPump = r.currentFrame;
  };
  run->runRequest = -2;
  EXPECT_EQ(runSimulation(*model, *run, reporter, host), kRunResumedEnd);
  EXPECT_EQ(frameAtFirstPump, written);
  EXPECT_EQ(run->lastFrame, 10);
  for (int frame = 0; frame <= run->lastFrame; ++frame) {
    EXPECT_DOUBLE_EQ(recordedOutput(*run, frame, 3), 2 * frame) << frame;
    EXPECT_NEAR(recordedOutput(*run, frame, 1), 0.2 * frame, 1e-12) << frame;
  }
}

}  // namespace
}  // namespace movra

#include "engine/newton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/linear_solver.h"
#include "support/engine_fixture.h"

namespace movra {
namespace {

using testing::EngineFixture;
using testing::EvaluatorOverride;

constexpr int kScripted = 60;  // codes without an evaluator of their own
constexpr int kCounting = 61;
constexpr int kFailing = 63;

// What the scripted evaluator does, set by each test.
struct Script {
  int convergeAt = 1;          // first iteration whose update is zero
  std::set<int> failingSteps;  // output steps whose attempts never converge
  int failingAttempts = 0;     // the first attempts that never converge
  int singularFrom = 0;        // from this iteration on the row stays empty
  double pivot = 1.0;
  int raiseMinimum = 0;
  int voteUntil = 0;  // vote "not settled" up to this iteration
  // Observed.
  int attempts = 0;
  std::vector<double> a0PerAttempt;
  std::vector<double> tPerAttempt;
  std::vector<int> calls;  // rows in call order
  std::vector<int> recordingFlags;
};
Script gScript;

// A scalar row with a prescribed update: J = pivot, F = pivot while the attempt is
// meant to go on, so that Δ = 1 in those iterations and 0 once it may converge.
int scriptedEvaluator(EvaluationContext& context, int row) {
  Run& run = context.run;
  const int u = context.model.elements[row].variableSlots[1];
  gScript.calls.push_back(row);
  gScript.recordingFlags.push_back(run.recordingFlag);
  if (run.iteration == 1) {
    ++gScript.attempts;
    gScript.a0PerAttempt.push_back(run.a0());
    gScript.tPerAttempt.push_back(run.t);
  }
  if (gScript.raiseMinimum > run.minimumIterations) run.minimumIterations = gScript.raiseMinimum;
  if (run.iteration <= gScript.voteUntil) ++run.nonConvergence;
  if (gScript.singularFrom > 0 && run.iteration >= gScript.singularFrom) return 0;
  const bool failing =
      gScript.failingSteps.count(run.kt) > 0 || gScript.attempts <= gScript.failingAttempts;
  run.jacobian(u, u) += gScript.pivot;
  if (failing || run.iteration < gScript.convergeAt) run.F[u] += gScript.pivot;
  return 0;
}

int countingEvaluator(EvaluationContext& context, int row) {
  gScript.calls.push_back(row);
  gScript.recordingFlags.push_back(context.run.recordingFlag);
  return 0;
}

int failingEvaluator(EvaluationContext& context, int row) {
  gScript.calls.push_back(row);
  return context.reporter.modelError("データが？ \n\n %s", context.model.elements[row].text);
}

// x² − 2 = 0 on the unknown of slot 1.
int squareRootEvaluator(EvaluationContext& context, int row) {
  Run& run = context.run;
  const int u = context.model.elements[row].variableSlots[1];
  const double x = run.X[u];
  run.F[u] += x * x - 2.0;
  run.jacobian(u, u) += 2.0 * x;
  return 0;
}

class Newton : public ::testing::Test {
 protected:
  void SetUp() override {
    gScript = Script{};
    f.addElement(kScripted, {10}, "S 10");
    ASSERT_EQ(f.allocate(), 0);
    run.method = 1;
    run.t0 = 0.0;
    run.t1 = 1.0;
    run.dt = 0.125;
    run.tolerance = 1e-6;
    run.X[1] = 40.0;
  }

  // The driver's preparation of output step kt and its attempts up to an outcome
  // other than a retry (bounded, so a fault cannot loop for ever).
  StepAction outputStep(int kt) {
    run.kt = kt;
    run.halvings = 0;
    run.tTarget = run.t0 + kt * run.dt;
    run.t = run.tTarget;
    StepAction action = StepAction::Retry;
    for (int attempt = 0; attempt < 100 && action == StepAction::Retry; ++attempt) {
      action = attemptStep(*f.model, run, f.reporter, f.host);
    }
    return action;
  }
  // Steps 0..last accepted one after another, as the driver would run them.
  void acceptSteps(int first, int last) {
    for (int kt = first; kt <= last; ++kt) ASSERT_EQ(outputStep(kt), StepAction::Record) << kt;
  }

  EngineFixture f;
  movra::Run& run = *f.run;
  EvaluatorOverride scripted{kScripted, scriptedEvaluator};
  EvaluatorOverride counting{kCounting, countingEvaluator};
  EvaluatorOverride failing{kFailing, failingEvaluator};
};

TEST_F(Newton, SolvesANonlinearEquation) {
  EvaluatorOverride root{kScripted, squareRootEvaluator};
  run.X[1] = 1.0;
  run.method = 0;
  EXPECT_EQ(outputStep(0), StepAction::Record);
  EXPECT_NEAR(run.X[1], std::sqrt(2.0), 1e-12);
  EXPECT_GT(run.iteration, 1);
  EXPECT_EQ(run.totalIterations, run.iteration);
  EXPECT_EQ(run.initialPass, 0);
  EXPECT_EQ(run.retry, 0);
}

TEST_F(Newton, IterationLimitIsOneHundred) {
  gScript.convergeAt = 100;
  EXPECT_EQ(outputStep(0), StepAction::Record);
  EXPECT_EQ(run.iteration, 100);
  EXPECT_EQ(run.X[1], 40.0 - 99.0);  // 99 unit updates, then a zero one
  EXPECT_EQ(run.totalIterations, 100);

  // One more needed: the attempt fails and X is back at the accepted values.
  gScript = Script{};
  gScript.convergeAt = 101;
  run.t1 = run.t0;
  run.X[1] = 40.0;
  run.consecutiveFailures = 0;
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_EQ(run.status, kRunRefused);
  EXPECT_EQ(run.X[1], 40.0);
  EXPECT_EQ(gScript.attempts, 1);
  EXPECT_EQ(f.messages.last(),
            " 初期に収束しない！_  ss=1.000000e+00 100  0  1  1.000000e+00  0.000000e+00");
  EXPECT_EQ(f.messages.count(MessageKind::Question), 0);
}

TEST_F(Newton, VoteAndMinimumIterationsHoldConvergenceBack) {
  // Not settled up to iteration 7, although every update is zero.
  gScript.voteUntil = 7;
  EXPECT_EQ(outputStep(0), StepAction::Record);
  EXPECT_EQ(run.iteration, 8);

  // Never settled: the attempt fails however small the update.
  gScript = Script{};
  gScript.voteUntil = 1000;
  run.t1 = run.t0;
  run.consecutiveFailures = 0;
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_EQ(f.messages.last(),
            " 初期に収束しない！_  ss=0.000000e+00 100  0  1  0.000000e+00  0.000000e+00");

  // Raised to 3 by an evaluator: the fourth iteration is the first that may end.
  gScript = Script{};
  gScript.raiseMinimum = 3;
  run.consecutiveFailures = 0;
  EXPECT_EQ(outputStep(0), StepAction::Record);
  EXPECT_EQ(run.iteration, 4);

  // The minimum is cleared before every attempt.
  gScript = Script{};
  run.minimumIterations = 50;
  EXPECT_EQ(outputStep(0), StepAction::Record);
  EXPECT_EQ(run.iteration, 1);
}

TEST_F(Newton, AttemptSetsTimeFlagsAndClearsAccumulators) {
  for (int entry = 9978; entry <= 9991; ++entry) f.model->parameters[entry] = 3.0;
  run.displayFlag = 7;
  run.kt = 2;
  run.t = run.tPrev = 0.25;
  run.tTarget = run.t = 0.375;
  EXPECT_EQ(attemptStep(*f.model, run, f.reporter, f.host), StepAction::Record);
  EXPECT_EQ(f.model->parameters.get(1), 0.375);
  for (int entry = 9980; entry <= 9989; ++entry) EXPECT_EQ(f.model->parameters.get(entry), 0.0);
  EXPECT_EQ(f.model->parameters.get(9990), 3.0);
  EXPECT_EQ(run.displayFlag, 0);
  EXPECT_EQ(gScript.recordingFlags, std::vector<int>{0});
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt.at(0), 1.0 / 0.125);
  EXPECT_EQ(run.previous[1], 40.0);
}

TEST_F(Newton, FailureAtTheStartIsNeverHalved) {
  gScript.failingSteps = {0};
  // A single solution: the message box and the end, no question.
  run.t1 = run.t0;
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_EQ(run.status, kRunRefused);
  EXPECT_EQ(run.halvings, 0);
  EXPECT_EQ(f.messages.count(MessageKind::Question), 0);
  EXPECT_EQ(f.messages.count(MessageKind::ModelError), 1);

  // Otherwise the user is asked; yes aborts.
  run.t1 = 1.0;
  run.consecutiveFailures = 0;
  run.status = kRunNormal;
  f.messages.answers = {true};
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_EQ(run.status, kRunRefused);
  EXPECT_EQ(f.messages.last(),
            " 初期に収束しない！_  ss=1.000000e+00  100  0  1  1.000000e+00 0.000000e+00\n"
            " 中止：Y　　　誤差大のまま継続：N");

  // No: the same time once more (halving toward t_prev = t0 stays at t0), whose
  // failure is the second and stops.
  run.consecutiveFailures = 0;
  f.messages.answers = {false};
  const int attemptsBefore = gScript.attempts;
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_EQ(gScript.attempts - attemptsBefore, 2);
  EXPECT_EQ(gScript.tPerAttempt.back(), run.t0);
  EXPECT_EQ(f.messages.last(),
            " 中止 / 初期に収束しない！  kt=0  1  2  1.000000e+00  0.000000e+00");
  EXPECT_EQ(run.status, kRunRefused);
  EXPECT_EQ(f.host.stopCommands, 0);
}

TEST_F(Newton, TwentyFailingHalvingsAreOneFailure) {
  acceptSteps(0, 1);
  gScript.failingSteps = {2};
  const double tPrev = run.tPrev;
  const double target = run.t0 + 2 * run.dt;
  f.messages.answers = {true};
  EXPECT_EQ(outputStep(2), StepAction::Continue);
  // The whole step, then twenty attempts each halfway back toward t_prev.
  const std::vector<double>& times = gScript.tPerAttempt;
  ASSERT_EQ(times.size(), 2u + 21u);
  for (int k = 0; k <= 20; ++k) {
    EXPECT_DOUBLE_EQ(times[2 + k], tPrev + (target - tPrev) / std::pow(2.0, k)) << k;
  }
  EXPECT_EQ(run.halvings, 20);
  EXPECT_EQ(run.consecutiveFailures, 1);
  EXPECT_EQ(run.lastFailureStep, 2);
  EXPECT_EQ(f.host.stopCommands, 1);
  EXPECT_EQ(f.messages.last(),
            " 収束しない！_  ss=1.000000e+00  0  2  20  1 1.000000e+00\n"
            " 中止：Y　　　誤差大のまま継続：N");
}

TEST_F(Newton, ContinuingWithALargeErrorKeepsTheLastSolution) {
  acceptSteps(0, 2);
  const double accepted = run.X[1];
  const double tPrev = run.tPrev;
  gScript.failingSteps = {3};
  run.holdState = 1;
  f.messages.answers = {false};
  EXPECT_EQ(outputStep(3), StepAction::Record);
  EXPECT_EQ(run.X[1], accepted);
  EXPECT_EQ(run.tPrev, tPrev);
  EXPECT_EQ(run.holdState, 0);
  EXPECT_EQ(run.iteration, -20);
  EXPECT_EQ(run.totalHalvings, -20);
  EXPECT_EQ(run.retry, 0);
  EXPECT_EQ(f.host.stopCommands, 0);
}

TEST_F(Newton, RepeatedFailuresStopWithinTwoStepsAndAskWhenApart) {
  // Failures at 3 and 4: the second stops the run through the window.
  acceptSteps(0, 2);
  gScript.failingSteps = {3, 4};
  f.messages.answers = {false};
  EXPECT_EQ(outputStep(3), StepAction::Record);
  EXPECT_EQ(outputStep(4), StepAction::Continue);
  EXPECT_EQ(f.host.stopCommands, 1);
  EXPECT_EQ(f.messages.last(), " 中止 / 収束しない！ kt=4  20  2  1.000000e+00  0.000000e+00");
  EXPECT_EQ(f.messages.count(MessageKind::Question), 1);
}

TEST_F(Newton, FailuresTwoStepsApartStillStop) {
  acceptSteps(0, 2);
  gScript.failingSteps = {3, 5};
  f.messages.answers = {false};
  EXPECT_EQ(outputStep(3), StepAction::Record);
  EXPECT_EQ(outputStep(4), StepAction::Record);
  EXPECT_EQ(outputStep(5), StepAction::Continue);
  EXPECT_EQ(f.host.stopCommands, 1);
  EXPECT_EQ(f.messages.count(MessageKind::Question), 1);
}

TEST_F(Newton, FailuresThreeStepsApartAreEachAsked) {
  acceptSteps(0, 2);
  gScript.failingSteps = {3, 6};
  f.messages.answers = {false, false};
  EXPECT_EQ(outputStep(3), StepAction::Record);
  acceptSteps(4, 5);
  EXPECT_EQ(run.consecutiveFailures, 0);
  EXPECT_EQ(outputStep(6), StepAction::Record);
  EXPECT_EQ(f.messages.count(MessageKind::Question), 2);
  EXPECT_EQ(f.host.stopCommands, 0);
  EXPECT_EQ(run.consecutiveFailures, 1);
}

TEST_F(Newton, SingularSystemsAreNotHalved) {
  acceptSteps(0, 2);
  const double accepted = run.X[1];
  gScript.convergeAt = 1000;
  gScript.singularFrom = 2;  // one unit update, then an empty row
  f.messages.answers = {false};
  EXPECT_EQ(outputStep(3), StepAction::Record);
  EXPECT_EQ(run.solverStatus, kSingular);
  EXPECT_EQ(run.halvings, 0);
  EXPECT_EQ(run.X[1], accepted);
  EXPECT_EQ(run.iteration, 2);
  // The message names the unknown it cannot determine between its figures and the
  // question.
  EXPECT_TRUE(f.messages.last().starts_with(" 解けない？_G  ig=1  3  0  1  1.000000e+00 \n"))
      << f.messages.last();
  EXPECT_TRUE(f.messages.last().ends_with("\n 中止：Y　　　誤差大のまま継続：N")) << f.messages.last();

  // The next step fails as well: the second failure stops.
  EXPECT_EQ(outputStep(4), StepAction::Continue);
  EXPECT_TRUE(f.messages.last().starts_with(" 中止 / 解けない？ kt=4  0  2 1.000000e+00"))
      << f.messages.last();
  EXPECT_EQ(f.host.stopCommands, 1);
}

TEST_F(Newton, SingularAtTheStart) {
  gScript.pivot = 5e-15;  // nearly singular at the first iteration
  run.updateNorm = 0.0;
  run.t1 = run.t0;
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_TRUE(f.messages.last().starts_with(" 初期に解けない？_G  ig=2  0  0  1  0.000000e+00 "))
      << f.messages.last();
  EXPECT_EQ(run.status, kRunRefused);

  run.t1 = 1.0;
  run.consecutiveFailures = 0;
  f.messages.answers = {false};
  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_TRUE(f.messages.last().starts_with(" 中止 / 初期に解けない？  kt=0  1  2  0.000000e+00"))
      << f.messages.last();
  EXPECT_EQ(f.messages.count(MessageKind::Question), 1);
}

TEST_F(Newton, HalvedStepReachesItsTargetExactly) {
  run.dt = 0.1;  // not a power of two: the midpoint arithmetic is inexact
  acceptSteps(0, 2);
  gScript.failingAttempts = gScript.attempts + 1;
  EXPECT_EQ(outputStep(3), StepAction::Record);
  const double target = run.t0 + 3 * run.dt;
  ASSERT_EQ(gScript.tPerAttempt.size(), 6u);
  const double middle = gScript.tPerAttempt[4];
  EXPECT_DOUBLE_EQ(middle, (run.t0 + 2 * run.dt + target) / 2.0);
  EXPECT_EQ(gScript.tPerAttempt[5], target);
  EXPECT_EQ(run.t, target);
  EXPECT_EQ(run.tPrev, target);
  EXPECT_EQ(run.tPrev2, middle);
  EXPECT_EQ(run.iteration, -1);
  EXPECT_EQ(run.totalHalvings, -1);
  EXPECT_EQ(run.nominalSteps, 1);
  EXPECT_EQ(run.retry, 0);
}

TEST_F(Newton, SecondOrderWaitsForTwoWholeSteps) {
  run.method = 2;
  const double dt = run.dt;
  acceptSteps(0, 3);
  ASSERT_EQ(gScript.a0PerAttempt.size(), 4u);
  EXPECT_EQ(gScript.a0PerAttempt[0], 1.0);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[1], 1.0 / dt);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[2], 1.5 / dt);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[3], 1.5 / dt);

  // A failure retries the same time with the first-order formula first.
  gScript.failingAttempts = gScript.attempts + 1;
  EXPECT_EQ(outputStep(4), StepAction::Record);
  ASSERT_EQ(gScript.tPerAttempt.size(), 6u);
  EXPECT_EQ(gScript.tPerAttempt[4], gScript.tPerAttempt[5]);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[4], 1.5 / dt);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[5], 1.0 / dt);
  EXPECT_EQ(run.iteration, -1);

  // Then first order until two whole steps have been taken again.
  acceptSteps(5, 6);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[6], 1.0 / dt);
  EXPECT_DOUBLE_EQ(gScript.a0PerAttempt[7], 1.5 / dt);
}

TEST_F(Newton, ElementErrorStopsThePassAndTheRun) {
  f.addElement(kFailing, {}, "F 1");
  f.addElement(kCounting, {});
  EXPECT_EQ(runElementPass(*f.model, run, f.reporter), 9);
  EXPECT_EQ(run.elementError, 9);
  EXPECT_EQ(gScript.calls, (std::vector<int>{1, 2}));
  EXPECT_EQ(f.messages.last(), "データが？ \n\n F 1");

  EXPECT_EQ(outputStep(0), StepAction::End);
  EXPECT_EQ(run.status, kRunRefused);
  EXPECT_EQ(run.runEnded, 0);

  // Later in the run the run is marked ended and stopped.
  run.status = kRunNormal;
  run.kt = 2;
  run.t = run.tTarget = 0.25;
  EXPECT_EQ(attemptStep(*f.model, run, f.reporter, f.host), StepAction::End);
  EXPECT_EQ(run.status, kRunStopped);
  EXPECT_EQ(run.runEnded, 1);
  EXPECT_EQ(f.messages.count(MessageKind::Question), 0);
}

TEST_F(Newton, PreparationPassVisitsItsKindsWithoutClearing) {
  // One element of every code; all of them served by the counting evaluator.
  std::vector<std::unique_ptr<EvaluatorOverride>> overrides;
  EngineFixture g;
  for (int code = 1; code <= 69; ++code) {
    g.addElement(code, {});
    overrides.push_back(std::make_unique<EvaluatorOverride>(code, countingEvaluator));
  }
  g.run->unknownCount = 1;
  g.run->F[1] = 2.5;
  g.run->X[0] = 7.0;
  gScript = Script{};
  EXPECT_EQ(runPreparationPass(*g.model, *g.run, g.reporter), 0);
  EXPECT_EQ(gScript.calls, (std::vector<int>{5, 8, 9, 14, 15, 16, 54}));
  EXPECT_EQ(gScript.recordingFlags, std::vector<int>(7, -1));
  EXPECT_EQ(g.run->F[1], 2.5);
  EXPECT_EQ(g.run->X[0], 0.0);

  // The element pass visits all of them, in order, after clearing.
  gScript = Script{};
  EXPECT_EQ(runElementPass(*g.model, *g.run, g.reporter), 0);
  EXPECT_EQ(gScript.calls.size(), 69u);
  EXPECT_EQ(g.run->F[1], 0.0);

  // A failing kind stops the preparation pass at once.
  overrides.push_back(std::make_unique<EvaluatorOverride>(9, failingEvaluator));
  gScript = Script{};
  EXPECT_EQ(runPreparationPass(*g.model, *g.run, g.reporter), 9);
  EXPECT_EQ(gScript.calls, (std::vector<int>{5, 8, 9}));
  // Restore in reverse, so that each code gets back what it had before.
  while (!overrides.empty()) overrides.pop_back();
}

}  // namespace
}  // namespace movra

namespace movra {
namespace {

// F = NaN from the third step on: an evaluator that has gone wrong.
int nanEvaluator(EvaluationContext& context, int row) {
  Run& run = context.run;
  const int u = context.model.elements[row].variableSlots[1];
  ++gScript.attempts;
  run.jacobian(u, u) += 1.0;
  run.F[u] += run.kt >= 3 ? std::nan("") : run.X[u] - 1.0;
  return 0;
}

TEST_F(Newton, NonFiniteUpdateFailsTheAttemptAtOnceAndKeepsTheLastSolution) {
  EvaluatorOverride broken{kScripted, nanEvaluator};
  acceptSteps(0, 2);
  const double accepted = run.X[1];
  ASSERT_TRUE(std::isfinite(accepted));
  gScript.attempts = 0;
  f.messages.answers = {true};  // abort when asked
  outputStep(3);
  EXPECT_TRUE(std::isfinite(run.X[1]));
  EXPECT_EQ(run.X[1], accepted);
  // Each attempt gives up on its first iteration instead of running a hundred.
  EXPECT_LE(gScript.attempts, kMaxHalvings + 2);
}

}  // namespace
}  // namespace movra

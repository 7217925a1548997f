// The element pass, the preparation pass and one step attempt by Newton's method,
// with step halving, the failure counters and the abort/continue questions.
#include "engine/newton.h"

#include <algorithm>
#include <cmath>

#include "elements/evaluator.h"
#include "engine/formula_pass.h"
#include "engine/linear_solver.h"
#include "engine/singularity.h"
#include "engine/starting_values.h"
#include "engine/unknowns.h"

namespace movra {

namespace {

constexpr int kTimeEntry = 1;
constexpr int kFirstAccumulatorEntry = 9980;
constexpr int kLastAccumulatorEntry = 9989;
constexpr int kRecordingPreparation = -1;
constexpr int kRecordingNewton = 0;
constexpr int kMaxNominalSteps = 2;

int elementRows(const Model& model) {
  return std::clamp(model.count.elements, 0, kElementCapacity - 1);
}

int evaluate(EvaluationContext& context, int row) {
  const ElementEvaluator evaluator = evaluatorFor(context.model.elements[row].typeCode);
  return evaluator == nullptr ? 0 : evaluator(context, row);
}

// The output step is accepted: the counters the recording pass publishes.
StepAction acceptOutputStep(Run& run) {
  run.retry = 0;
  if (run.halvings != 0) run.iteration = -run.halvings;
  if (run.iteration > 0) {
    run.totalIterations += run.iteration;
  } else {
    run.totalHalvings += run.iteration;
  }
  return StepAction::Record;
}

// Halves the attempt toward the last accepted time. Under the second-order formula
// the same time is first retried with the first-order one (nominal count 0).
StepAction halveAndRetry(Run& run) {
  ++run.halvings;
  if (!(run.method == 2 && run.nominalSteps == kMaxNominalSteps)) {
    run.t = (run.tPrev + run.t) / 2.0;
  }
  run.nominalSteps = 0;
  run.retry = 1;
  return StepAction::Retry;
}

StepAction endRun(Run& run, int status) {
  run.status = status;
  return StepAction::End;
}

StepAction stopFromTheWindow(Run& run, RunHost& host) {
  host.sendStopCommand(run);
  return StepAction::Continue;
}

// Continuing with a large error: X keeps the restored last solution, t_prev stays,
// and the step is recorded. The next attempt spans more than a nominal step, so the
// second-order formula must wait for two whole steps again.
StepAction acceptWithLargeError(Run& run) {
  run.holdState = 0;
  run.nominalSteps = 0;
  return acceptOutputStep(run);
}

StepAction convergedOutcome(Run& run) {
  run.tPrev2 = run.tPrev;
  run.tPrev = run.t;
  if (run.kt - run.lastFailureStep > 1) run.consecutiveFailures = 0;
  // Exact comparison: an intermediate time is replaced by t_target itself below.
  if (run.t == run.tTarget) {
    run.nominalSteps = std::min(run.nominalSteps + 1, kMaxNominalSteps);
    return acceptOutputStep(run);
  }
  run.t = run.tTarget;
  run.nominalSteps = 0;
  run.retry = 1;
  return StepAction::Retry;
}

// A second unabsorbed failure within two output steps: the run stops.
StepAction stopAfterRepeatedFailure(Model& model, Run& run, Reporter& reporter, RunHost& host,
                                    bool singular) {
  const int kt = run.kt;
  if (singular) {
    const SingularityNote note = describeFailedUnknown(model, run);
    if (kt == 0) {
      reporter.modelError(" 中止 / 初期に解けない？  kt=%d  %d  %d  %e \n%s\n\n %s", kt, run.halvings,
                          run.consecutiveFailures, run.updateNorm, note.text, note.line);
      return endRun(run, kRunRefused);
    }
    reporter.modelError(" 中止 / 解けない？ kt=%d  %d  %d %e \n%s\n\n %s", kt, run.halvings,
                        run.consecutiveFailures, run.updateNorm, note.text, note.line);
    return stopFromTheWindow(run, host);
  }
  if (kt == 0) {
    reporter.modelError(" 中止 / 初期に収束しない！  kt=%d  %d  %d  %e  %e", kt, run.halvings,
                        run.consecutiveFailures, run.updateNorm, 0.0);
    return endRun(run, kRunRefused);
  }
  reporter.modelError(" 中止 / 収束しない！ kt=%d  %d  %d  %e  %e", kt, run.halvings,
                      run.consecutiveFailures, run.updateNorm, 0.0);
  return stopFromTheWindow(run, host);
}

// The first unabsorbed failure: the user chooses between abort (yes) and going on
// with a large error (no). A single solution (t0 = t1) has nothing to go on with.
StepAction askAfterFailure(Model& model, Run& run, Reporter& reporter, RunHost& host,
                           bool singular) {
  const int kt = run.kt;
  const double norm = run.updateNorm;
  const bool single = run.t0 == run.t1;
  if (singular) {
    const int status = run.solverStatus;
    // Which unknown could not be determined, and the line of the element behind it.
    const SingularityNote note = describeFailedUnknown(model, run);
    if (kt == 0 && single) {
      reporter.modelError(" 初期に解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s", status, 0,
                          run.halvings, run.consecutiveFailures, norm, note.text, note.line);
      return endRun(run, kRunRefused);
    }
    if (kt == 0) {
      const bool abort = reporter.ask(
          " 初期に解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s\n\n 中止：Y　　　誤差大のまま継続：N",
          status, 0, run.halvings, run.consecutiveFailures, norm, note.text, note.line);
      if (!abort) return halveAndRetry(run);
      // A start given up is an error of the model, reported as a single solution
      // reports it, so the editor sees the same outcome whatever the method.
      if (reporter.handOverMode() > 0) {
        reporter.modelError(" 初期に解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s", status, 0,
                            run.halvings, run.consecutiveFailures, norm, note.text, note.line);
      }
      return endRun(run, kRunRefused);
    }
    const bool abort = reporter.ask(
        " 解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s\n\n 中止：Y　　　誤差大のまま継続：N",
        status, kt, run.halvings, run.consecutiveFailures, norm, note.text, note.line);
    return abort ? stopFromTheWindow(run, host) : acceptWithLargeError(run);
  }
  if (kt == 0 && single) {
    reporter.modelError(" 初期に収束しない！_  ss=%e %d  %d  %d  %e  %e", norm, run.iteration,
                        run.halvings, run.consecutiveFailures, norm, 0.0);
    return endRun(run, kRunRefused);
  }
  if (kt == 0) {
    const bool abort = reporter.ask(
        " 初期に収束しない！_  ss=%e  %d  %d  %d  %e %e\n 中止：Y　　　誤差大のまま継続：N", norm,
        run.iteration, run.halvings, run.consecutiveFailures, norm, 0.0);
    if (!abort) return halveAndRetry(run);
    if (reporter.handOverMode() > 0) {
      reporter.modelError(" 初期に収束しない！_  ss=%e %d  %d  %d  %e  %e", norm, run.iteration,
                          run.halvings, run.consecutiveFailures, norm, 0.0);
    }
    return endRun(run, kRunRefused);
  }
  const bool abort =
      reporter.ask(" 収束しない！_  ss=%e  %d  %d  %d  %d %e\n 中止：Y　　　誤差大のまま継続：N",
                   norm, run.nonConvergence, kt, run.halvings, run.consecutiveFailures, norm);
  return abort ? stopFromTheWindow(run, host) : acceptWithLargeError(run);
}

StepAction failedOutcome(Model& model, Run& run, Reporter& reporter, RunHost& host,
                         bool singular) {
  if (run.kt != 0 && run.halvings < kMaxHalvings && !singular) return halveAndRetry(run);
  ++run.consecutiveFailures;
  run.lastFailureStep = run.kt;
  if (run.consecutiveFailures > 1) {
    return stopAfterRepeatedFailure(model, run, reporter, host, singular);
  }
  return askAfterFailure(model, run, reporter, host, singular);
}

// Newton's method at run.t: J(x_k)·Δ = F(x_k), x_{k+1} = x_k − Δ, undamped; done
// when k > k_min, ‖Δ‖₂ ≤ tol and no evaluator voted "not settled".
// Returns 1 converged, 0 not converged (or singular: run.solverStatus ≠ 0), or -1
// after an element error.
int iterate(Model& model, Run& run, Reporter& reporter, RunHost& host) {
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  ParameterStore& parameters = model.parameters;
  for (int iteration = 1; iteration <= kMaxNewtonIterations; ++iteration) {
    run.iteration = iteration;
    std::copy(run.X + 1, run.X + 1 + n, run.iterationStart + 1);
    run.displayFlag = 0;
    run.recordingFlag = kRecordingNewton;
    run.nonConvergence = 0;
    if (runElementPass(model, run, reporter) > 0) return -1;

    run.initialPass = 0;
    host.solving(run);
    run.solverStatus = solveLinearSystem(run, parameters);
    if (run.solverStatus != kSolved) return 0;

    // X holds Δ now: ‖Δ‖₂ over the unknowns, then X = I − Δ.
    double sum = 0.0;
    for (int i = 1; i <= n; ++i) sum += run.X[i] * run.X[i];
    run.updateNorm = std::sqrt(sum);
    // A NaN or infinite update can never settle: fail the attempt now, so the
    // unknowns go back to the last accepted step instead of carrying it on.
    if (!std::isfinite(run.updateNorm)) return 0;
    for (int i = 1; i <= n; ++i) run.X[i] = run.iterationStart[i] - run.X[i];

    if (iteration > run.minimumIterations && run.updateNorm <= run.tolerance &&
        run.nonConvergence == 0) {
      return 1;
    }
  }
  return 0;
}

}  // namespace

namespace {

int evaluateAll(Model& model, Run& run, Reporter& reporter) {
  EvaluationContext context{model, run, reporter};
  run.elementError = 0;
  const int rows = elementRows(model);
  for (int row = 1; row <= rows; ++row) {
    const int result = evaluate(context, row);
    if (result > 0) {
      run.elementError = result;
      return result;
    }
  }
  return 0;
}

}  // namespace

int runElementPass(Model& model, Run& run, Reporter& reporter) {
  clearEquationSystem(run);
  const int status = evaluateAll(model, run, reporter);
  if (status == 0) holdStartingValues(model, run);
  return status;
}

// Nothing reads J after this pass: the evaluators still stamp it, onto what the last
// solve left, and the next Newton pass clears all of it (the profile covers both).
// F is cleared, since an evaluator may report what it put into its own rows.
int runRecordingElementPass(Model& model, Run& run, Reporter& reporter) {
  run.X[0] = 0.0;
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  std::fill(run.F, run.F + n + 1, 0.0);
  return evaluateAll(model, run, reporter);
}

int runPreparationPass(Model& model, Run& run, Reporter& reporter) {
  run.X[0] = 0.0;
  EvaluationContext context{model, run, reporter};
  run.recordingFlag = kRecordingPreparation;
  const int rows = elementRows(model);
  for (int row = 1; row <= rows; ++row) {
    if (!needsPreparation(model.elements[row].typeCode)) continue;
    const int result = evaluate(context, row);
    if (result > 0) {
      run.elementError = result;
      return result;
    }
  }
  return 0;
}

StepAction attemptStep(Model& model, Run& run, Reporter& reporter, RunHost& host) {
  ParameterStore& parameters = model.parameters;
  run.iteration = 0;
  parameters[kTimeEntry] = run.t;
  // A field or preparation error ends the run for good, like an element's error:
  // the window then takes its ended title and writes what was recorded.
  if (runFormulaPass(model, run, reporter, kFormulaElementFields) > 0) {
    run.runEnded = 1;
    return endRun(run, kRunStopped);
  }

  run.displayFlag = 0;
  run.minimumIterations = 0;
  run.recordingFlag = kRecordingPreparation;
  if (runPreparationPass(model, run, reporter) > 0) {
    // The first attempt's pass is where the evaluators check their data: refused
    // there like any element's data error, before anything is recorded.
    if (run.kt == 0) return endRun(run, kRunRefused);
    run.runEnded = 1;
    return endRun(run, kRunStopped);
  }

  setIntegrationCoefficients(run, run.method, run.kt, run.nominalSteps, run.t - run.tPrev, run.dt);
  for (int entry = kFirstAccumulatorEntry; entry <= kLastAccumulatorEntry; ++entry) {
    parameters[entry] = 0.0;
  }
  saveState(run, run.previous);

  run.solverStatus = kSolved;
  const int result = iterate(model, run, reporter, host);
  if (result < 0) {
    // The evaluator has shown its message; nothing to retry.
    if (run.kt == 0) return endRun(run, kRunRefused);
    run.runEnded = 1;
    return endRun(run, kRunStopped);
  }
  if (result > 0) return convergedOutcome(run);

  restoreState(run, run.previous);
  return failedOutcome(model, run, reporter, host, run.solverStatus != kSolved);
}

}  // namespace movra

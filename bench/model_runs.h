// Timed whole runs of a model read once: each iteration copies the model, sets the
// run to a given number of recorded steps and runs it headless. The set-up of the
// run (unknowns, the frame ring) is inside the timing; copying and freeing are not.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/headless_host.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

struct LoadedModel {
  std::unique_ptr<Model> model = makeModel();
  std::string source;
  std::string error;
};

// Counters: unknowns, steps/s, s/step and Newton iterations per step, step 0 (the
// starting solution) included.
inline void timeModelRuns(benchmark::State& state, const LoadedModel& source) {
  if (!source.error.empty()) {
    state.SkipWithError(source.error.c_str());
    return;
  }
  const int steps = static_cast<int>(state.range(0));
  auto model = makeModel();
  Reporter reporter;
  const int answerYes = 1;
  reporter.setSink(consoleSink(&answerYes));
  app::HeadlessHost host;
  long long recordedSteps = 0;
  long long iterations = 0;
  int unknowns = 0;
  for (auto _ : state) {
    state.PauseTiming();
    *model = *source.model;
    double* conditions = model->timeConditions;
    conditions[3] = conditions[2] + steps * conditions[4];  // t1 = t0 + steps * dt
    conditions[5] = 1;                                      // record every step
    auto run = makeRun();
    state.ResumeTiming();

    int status = prepareRun(*model, *run, reporter);
    if (status == 0) status = runSimulation(*model, *run, reporter, host);

    state.PauseTiming();
    if (status != kRunNormal || run->kt != steps) {
      state.SkipWithError(("run ended with status " + std::to_string(status) + " at step " +
                           std::to_string(run->kt))
                              .c_str());
      break;
    }
    recordedSteps += run->kt + 1;
    iterations += run->totalIterations;
    unknowns = run->unknownCount;
    run.reset();  // the frame ring goes with it, outside the timing
    state.ResumeTiming();
  }
  state.SetLabel(source.source);
  state.counters["unknowns"] = unknowns;
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(recordedSteps), benchmark::Counter::kIsRate);
  state.counters["s/step"] =
      benchmark::Counter(static_cast<double>(recordedSteps),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["newton/step"] =
      recordedSteps > 0 ? static_cast<double>(iterations) / static_cast<double>(recordedSteps)
                        : 0.0;
}

}  // namespace movra

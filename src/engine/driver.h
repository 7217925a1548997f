// The time-stepping driver: the time conditions, the step grid (synchronised to a
// PWM period when the model has a PWM statement), the loop over output steps with
// its message pump and real-time pacing, and the end-of-run bookkeeping.
#pragma once

#include "engine/run.h"
#include "engine/run_host.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

// Runs the model from its time conditions, or resumes a stopped run when
// run.runRequest is negative. Returns the run status: 0, 3, 5 or 51.
int runSimulation(Model& model, Run& run, Reporter& reporter, RunHost& host);

// The smallest output interval (1 and the odd primes below 10000) that keeps
// n / interval at 5000 frames or fewer; 0 when none does.
int frameLimitInterval(int stepCount);

// The values of a PWM statement the driver reads: its duty (first field) and
// its period (second field), as the formula pass left them.
double pwmDuty(const Model& model);
double pwmStatementPeriod(const Model& model);

}  // namespace movra

// Recording of an accepted step: the recording pass of the elements, the output
// values, the engine's own items, and the frame copied into the frame ring.
#pragma once

#include "engine/run.h"
#include "engine/run_host.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

// Returns 0, kRunStopped (the run stops) or kRunRefused (at step 0).
int recordFrame(Model& model, Run& run, Reporter& reporter, RunHost& host);

// The value of output item i at the current X and ParameterStore.
double outputValue(const Model& model, const Run& run, int item);

// The recorded value of output item i in frame f (ring slot as stored), or 0.
double recordedOutput(Run& run, int frame, int item);

}  // namespace movra

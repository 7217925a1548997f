// The element pass, the preparation pass, and one step attempt by Newton's method
// with halving, the failure counters and the abort/continue questions.
#pragma once

#include "engine/run.h"
#include "engine/run_host.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

// Clears the equation system and calls every element's evaluator in model order;
// returns 0 or the first result above 0.
int runElementPass(Model& model, Run& run, Reporter& reporter);

// The element pass of the recording: the same calls, with F cleared but J left as it
// is (the recording reads no Jacobian; the next element pass clears it).
int runRecordingElementPass(Model& model, Run& run, Reporter& reporter);

// Calls the evaluators of codes 5, 8, 9, 14, 15, 16 and 54 with the recording flag
// at -1 (their states before an attempt); does not clear the equation system.
int runPreparationPass(Model& model, Run& run, Reporter& reporter);

enum class StepAction {
  Record,    // the output step is accepted: record it
  Retry,     // attempt again at run.t without pumping messages (run.retry is 1)
  Continue,  // a stop command was sent; go on at the loop head
  End,       // the run ends with run.status
};

// One attempt at run.t, with everything that follows from its outcome.
StepAction attemptStep(Model& model, Run& run, Reporter& reporter, RunHost& host);

}  // namespace movra

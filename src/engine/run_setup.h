// Before the first run: the unknowns from the elements' keys, their starting
// values from the node positions, and a clean equation system.
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

// Returns 0, or 9 after the allocation refused the model.
int prepareRun(Model& model, Run& run, Reporter& reporter);

}  // namespace movra

// Potentials the user gives a node to start from (".iv"): the starting solution
// holds each one, and the first step takes it as its history.
#pragma once

#include "engine/run.h"
#include "input/model.h"

namespace movra {

// In the starting solution only: node N's potential row becomes x[N] - v0 = 0.
// The node tables carry the pairs N, v0, ..., ended by N = 0.
void holdStartingValues(const Model& model, Run& run);

}  // namespace movra

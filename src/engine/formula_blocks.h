// What the formula pass and the statement blocks share.
#pragma once

#include <cstdint>

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra::formula_detail {

// X of the unknown a key maps to, 0 for a key without one.
double unknownValue(const Run& run, int key);
// The field block of parameter statement p: fields 1..10, then the state row.
double* fieldRow(Model& model, int p);
// The rand()-style generator: the next state, and the value 0..32767 of a state.
uint32_t nextLibraryState(uint32_t state);
int libraryValue(uint32_t state);
// Runs the block of statement p on its input; 0, or 9 after a reported error.
int runBlock(Model& model, Run& run, Reporter& reporter, int p, double recordInput,
             const char* line);

}  // namespace movra::formula_detail

// View, output and time statements: the parts the statement loop and the model
// checks call besides the readers declared in statement_reader.h.
#pragma once

#include "input/model.h"
#include "input/report.h"

namespace movra {

// The view a model starts from: window [-1, 1] x [-1, 1] at 300 pixels per unit,
// no node followed, every quantity scale 1000. Marks the defaults as set, so a
// second reading of the model keeps the view the user has.
void presetViewDefaults(Model& model);

// After the last statement: cuts the output list to the 32 items the engine
// records (and the display groups' item ranges with it) and refuses an item whose
// slot is no parameter, return-value or variable id. Returns 0 or 9.
int checkOutputList(Model& model, Reporter& reporter);

}  // namespace movra

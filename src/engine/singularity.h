// When the system cannot be solved: which unknown it cannot determine, in the
// user's words, and the model line of the element that brings it in.
#pragma once

#include "engine/run.h"
#include "input/model.h"

namespace movra {

struct SingularityNote {
  char text[256] = {};   // e.g. " 決まらない未知数 4：節 2 の電位（電気） "
  const char* line = "";  // the element's model line to quote, "" when none
};

// Describes the unknown whose pivot failed in the last solve (run.failedColumn).
SingularityNote describeFailedUnknown(Model& model, const Run& run);

}  // namespace movra

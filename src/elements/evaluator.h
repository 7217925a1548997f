// The element evaluator contract: one function per type code, called with the
// element's row; it adds its residual rows and Jacobian entries, casts its
// convergence vote, keeps its states, and on the recording pass publishes its
// return values. Returns 0, or 9 after a shown message (the pass stops).
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra {

// What an evaluator works with besides its element row.
struct EvaluationContext {
  Model& model;
  Run& run;
  Reporter& reporter;
};

using ElementEvaluator = int (*)(EvaluationContext& context, int row);

// The evaluator of a type code, or nullptr for a code that adds nothing.
ElementEvaluator evaluatorFor(int typeCode);

// For tests of the engine: serve a code with another evaluator (nullptr restores
// the real one). Returns the replacement that was in place.
ElementEvaluator replaceEvaluatorForTest(int typeCode, ElementEvaluator evaluator);

}  // namespace movra

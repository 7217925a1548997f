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

inline constexpr int kTypeCodeCount = 70;  // type codes 0..69

// What the program knows about one type code.
struct CatalogueEntry {
  ElementEvaluator evaluate = nullptr;
  bool prepares = false;  // the preparation pass calls it before every step attempt
};

// The entry of a type code; an empty entry for a code outside the catalogue.
const CatalogueEntry& catalogueEntry(int typeCode);

// The evaluator of a type code, or nullptr for a code that has none.
ElementEvaluator evaluatorFor(int typeCode);

// The code's evaluator brings its states up to date before every attempt.
bool needsPreparation(int typeCode);

// The first element whose type code has no evaluator is refused at its line:
// a model runs with every element it names, or not at all. Returns 0 or 9.
int refuseElementsWithoutEvaluator(Model& model, Reporter& reporter);

// For tests of the engine: serve a code with another evaluator (nullptr restores
// the real one). Returns the replacement that was in place.
ElementEvaluator replaceEvaluatorForTest(int typeCode, ElementEvaluator evaluator);

}  // namespace movra

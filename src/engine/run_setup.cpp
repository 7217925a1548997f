#include "engine/run_setup.h"

#include "elements/evaluator.h"
#include "engine/unknowns.h"
#include "input/model_checks.h"

namespace movra {

int prepareRun(Model& model, Run& run, Reporter& reporter) {
  run.handOverMode = model.handOverMode;
  run.interactionMode = model.interactionMode;
  if (refuseElementsWithoutEvaluator(model, reporter) != 0) return 9;
  if (allocateUnknowns(model, run, reporter) != 0) return 9;
  for (int key = 3; key < kUnknownKeyCapacity; ++key) {
    const int index = run.unknownOfKey[key];
    if (index > 0 && index <= run.unknownCount) run.X[index] = initialNodeValue(model, key);
  }
  run.X[0] = 0.0;
  run.initialPass = 1;
  run.elementFieldsCompiled = false;
  run.frameCursor = -1;
  clearEquationSystem(run);
  return 0;
}

}  // namespace movra

// Checks over the whole model after the last statement.
#include "input/statement_reader.h"

namespace movra {

int checkModel(Model& model, Reporter& reporter) {
  (void)reporter;
  if (model.count.outputs > kOutputListLimit - 1) model.count.outputs = kOutputListLimit - 1;
  return 0;
}

}  // namespace movra

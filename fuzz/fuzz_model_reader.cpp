// Fuzzes the whole model input: a model file through the editor stand-in's reader,
// then the simulator's text numbering and statement loop on what it hands over.
#include <cstdint>
#include <memory>

#include "read_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<movra::Model> model = movra::makeModel();
  readFuzzedModel(data, size, *model, 1);
  return 0;
}

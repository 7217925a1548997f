// Fuzzes the whole model input: a model file through the editor stand-in's reader,
// then the simulator's text numbering and statement loop on what it hands over.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/model.h"
#include "note/in_process.h"
#include "note/model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<movra::Model> model = movra::makeModel();
  const std::string text(reinterpret_cast<const char*>(data), size);
  movra::note::HandOverImage image;
  std::vector<movra::note::FileError> errors;
  if (!movra::note::readModelFile(text, image, errors)) return 0;
  movra::resetModel(*model);
  movra::note::readImage(image, *model, 1);
  return 0;
}

// What every model fuzz target does first: the bytes through the editor stand-in's
// reader, then the simulator's reading of what it hands over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/model.h"
#include "note/in_process.h"
#include "note/model_file.h"

// True when the model file reads and the simulator's reader accepts it.
inline bool readFuzzedModel(const uint8_t* data, size_t size, movra::Model& model,
                            int handOverMode) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  movra::note::HandOverImage image;
  std::vector<movra::note::FileError> errors;
  if (!movra::note::readModelFile(text, image, errors)) return false;
  movra::resetModel(model);
  return movra::note::readImage(image, model, handOverMode).ok();
}

// Lines of a model that read and run but almost certainly do not say what the
// user meant. "movra-note check" prints them; they never refuse a model.
#pragma once

#include <vector>

#include "input/model.h"
#include "note/hand_over_image.h"

namespace movra::note {

// One entry per doubtful line, in record order, each with its file line.
std::vector<FileError> modelWarnings(const HandOverImage& image);

// Everything "check" warns of, in line order: the doubtful fields and loads above,
// then, once the model reads (`read`), the structure of its networks.
std::vector<FileError> doubtfulLines(const HandOverImage& image, const Model& model, bool read);

}  // namespace movra::note

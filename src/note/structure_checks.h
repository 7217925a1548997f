// Mistakes of a model's structure that read and run without a word: a wire that
// ends in nothing, a network with nothing to hold its potentials, a force on a
// node that nothing carries, a motor's or a cylinder's node that nothing else
// uses. Reported as warnings at the lines involved; they never refuse a model.
#pragma once

#include <vector>

#include "input/model.h"
#include "note/hand_over_image.h"

namespace movra::note {

// The model as the reader left it (the elements and their evaluated fields) and
// the image it was read from (plain node ids and file lines).
std::vector<FileError> structureWarnings(const HandOverImage& image, const Model& model);

}  // namespace movra::note

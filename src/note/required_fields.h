// Element lines that leave out a field the element cannot do without: the
// simulator would refuse them with no more than the line, or run them to a result
// that means nothing (a resistor without a value shorts its nodes).
#pragma once

#include <vector>

#include "note/hand_over_image.h"

namespace movra::note {

// One error per missing field, in record order, each at its file line, naming the
// field by number, name and unit: "R: field 1, the resistance R (Ω), is missing".
std::vector<FileError> missingFields(const HandOverImage& image);

}  // namespace movra::note

// The model tables as JSON, for `movra-note dump`.
#pragma once

#include <string>

#include "input/model.h"
#include "note/hand_over_image.h"
#include "note/in_process.h"
#include "note/json_writer.h"

namespace movra::note {

void writeModelJson(const Model& model, const HandOverImage& image, const ReadOutcome& outcome,
                    JsonWriter& json);

}  // namespace movra::note

// "out.txt": one line per recorded frame, the shown output items' values.
#pragma once

#include <string>

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra::app {

// Writes the frames 0..LastFrame into directory + "out.txt". Nothing is written
// without a recorded frame. Returns false after " Can't open out.txt ".
bool exportOutputs(const Model& model, Run& run, Reporter& reporter, const std::string& directory);

}  // namespace movra::app

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

// The same frames and columns at full precision for further work: a header row of
// the items' names as the model writes them ("t" for the time item), then one row
// per frame, each value in its shortest form that reads back to the same double.
// Nothing is written without a recorded frame. Returns false after " Can't open %s ".
bool exportCsv(const Model& model, Run& run, Reporter& reporter, const std::string& path);

// The ring slot of recorded frame 0..LastFrame.
int frameSlot(const Run& run, int frame);

// One CSV line of the header or of a frame (without the line break); for the tests.
std::string csvHeader(const Model& model);
std::string csvRow(const Model& model, Run& run, int slot);

}  // namespace movra::app

// The picture of a finished run without a window: the graphs of the recorded
// outputs with the last frame's mechanism drawn over them, inside the view square.
#pragma once

#include <string>

#include "engine/run.h"
#include "input/model.h"
#include "view/graph_plot.h"

namespace movra::app {

// Draws the display list of the most recent frame over the graph surface and
// saves the 960 x 685 picture as PNG. Returns false when the file cannot be written.
bool saveRunPicture(const Model& model, Run& run, view::GraphSurface& graphs, const std::string& path);

}  // namespace movra::app

// The graph plot ("gnn" in the messages): at the end of a run every recorded
// output is drawn over all frames into the graph surface, inside the same
// 600 x 600 square as the mechanism view, and each item's axis range is settled
// and written back for the view's labels, time marker and value crosses.
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"
#include "view/drawing_surface.h"

namespace movra::view {

inline constexpr int kGraphRefused = 10;

// The surface the graphs are drawn into: screen-sized, gray when made or cleared.
class GraphSurface : public DrawingSurface {
 public:
  GraphSurface(int screenWidth, int screenHeight) : DrawingSurface(screenWidth, screenHeight) {}
};

// An automatic axis range [low, high] rounded to a short decimal value: the
// larger magnitude goes up to 2, 4, 8 or 10 times a power of ten; the range is
// symmetric, one-sided, or half of a side, by where low and high lie.
void roundAxisRange(double& low, double& high);

// The settled ranges of output items 1..count, before any drawing.
struct AxisRanges {
  double low[kOutputSlots] = {};
  double high[kOutputSlots] = {};
  bool grouped[kOutputSlots] = {};  // shares a range with other items (labels underlined)
};

// Steps 1 to 4 of the plot: extremes over frames 0..lastFrame widened from the
// run's tracked extremes, vector items, shared group ranges, rounding.
void settleAxisRanges(const Model& model, Run& run, AxisRanges& ranges);

// Ring slot of frame f after the run: (f + ring start) mod (capacity + 1).
int frameSlot(const Run& run, int frame);

// The whole plot. Returns 0, or kGraphRefused after a message through the
// reporter when a range is empty. Writes the final ranges back into
// run.outputLow / run.outputHigh.
int gnn(const Model& model, Run& run, Reporter& reporter, GraphSurface& surface);

}  // namespace movra::view

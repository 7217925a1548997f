// The mechanism view: one picture of the model in the square view. The frame,
// scale columns and labels, the schematic of the circuit, magnetic and thermal
// elements at the editor's node positions, the shapes the evaluators recorded,
// node gauges and numbers, and the panel of outputs and run counters.
//
// Source 0 plays back a recorded frame: its numbers replace the pool, and the
// unknowns X are taken from it, so that what is drawn afterwards (and the next
// pointer conversion) sees that frame. Source 3 draws the live display list.
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "view/drawing_surface.h"
#include "view/view_state.h"

namespace movra::view {

inline constexpr int kSourcePlayback = 0;
inline constexpr int kSourceLive = 3;

// Draws the picture for source 0 or 3 (any other source draws nothing) with the
// display flags of displayFlags(). Always returns 0.
int drawMechanismView(DrawingContext& context, const Model& model, Run& run, ViewState& state,
                      int source, int flags, int frame);

// Copies the value blocks that the pool's kind-32 items carry back into the
// statements, for callers that let the model follow a played-back frame.
void restoreValueBlocks(Model& model, const Run& run);

// The unit text of quantity column k (1..10), "" outside.
const char* columnUnitText(int column);

}  // namespace movra::view

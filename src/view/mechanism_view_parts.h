// Pieces of the mechanism view shared by its two source files; not for callers.
#pragma once

#include "engine/run.h"
#include "input/model.h"
#include "view/drawing_surface.h"
#include "view/view_state.h"

namespace movra::view::detail {

// The third number of each statement's value block as the frame restored it
// (the colour state of the schematic), indexed by record.
struct StatementStates {
  double value[kRecordCapacity] = {};
};

// X[index] when the index lies within the unknowns, else 0 (the ground entry).
double unknownValue(const Run& run, int index);

// Step 7: the circuit, magnetic and thermal statements at the editor's node positions.
void drawStatementSchematic(DrawingContext& context, const Model& model, const Run& run,
                            const StatementStates& states);

// Step 8: gauges, dots and numbers of the nodes that are not mechanical.
void drawDomainNodes(DrawingContext& context, const Model& model, const Run& run,
                     const ViewState& state, int flags);

// Step 9: markers (and with numbers) of the mechanical nodes 0..99.
void drawMechanicalNodes(DrawingContext& context, const Model& model, const Run& run, bool numbers);

// Step 10: the rings around draggable nodes and the grabbed one.
void drawGrabMarkers(DrawingContext& context, const Model& model, const Run& run,
                     const ViewState& state);

}  // namespace movra::view::detail

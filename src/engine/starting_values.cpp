#include "engine/starting_values.h"

#include "elements/conventions.h"

namespace movra {

namespace {
constexpr int kPotentialKeyOffset = 1000;  // the key of node N's potential: N + 1000
}  // namespace

// The node's row loses what the elements put into it (its balance of currents,
// heat or flow) and holds the value instead; whatever the value takes flows
// through the elements as the starting state demands.
void holdStartingValues(const Model& model, Run& run) {
  if (run.kt != 0) return;
  const double* pairs = model.nodes.nodeValues;
  for (int k = 0; k + 1 < kNodeValueCount; k += 2) {
    const double node = pairs[k];
    if (!(node >= 1 && node < kNodeCount)) break;
    holdUnknown(run, run.unknownOfKey[static_cast<int>(node) + kPotentialKeyOffset], pairs[k + 1]);
  }
}

}  // namespace movra

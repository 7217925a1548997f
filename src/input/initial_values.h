// Node quantities as the model reader sees them. While the model is being read no
// unknowns exist yet, so a reference in a field reads the node's starting value:
// the editor's coordinates for x and y, zero for angles and potentials.
#pragma once

#include "input/expression.h"
#include "input/model.h"

namespace movra {

// The potential ".iv" gives a node: the editor hands the pairs over in the node
// values (node, value, ..., ended by node 0). Ground (0, the ids 100..198) is 0.
inline bool startingPotential(const Model& model, int node, double& value) {
  if (node <= 0 || (node >= 100 && node <= 198)) {
    value = 0.0;
    return true;
  }
  const double* pairs = model.nodes.nodeValues;
  for (int k = 0; k + 1 < kNodeValueCount && pairs[k] >= 1 && pairs[k] < kNodeCount; k += 2) {
    if (pairs[k] == node) {
      value = pairs[k + 1];
      return true;
    }
  }
  return false;
}

// A ValueSources slot reader; context is the Model.
inline double initialSlotValue(const void* context, int slot) {
  const Model& model = *static_cast<const Model*>(context);
  if (slot < 0 || slot >= 1000) return 0.0;
  const int node = slot / 10;
  if (node >= kNodeCount) return 0.0;
  if (slot % 10 == 1) return model.nodes.x[node];
  if (slot % 10 == 2) return model.nodes.y[node];
  return 0.0;
}

// The model's parameters and the nodes' starting values.
inline ValueSources initialValueSources(const Model& model) {
  return ValueSources{&model.parameters, initialSlotValue, &model};
}

}  // namespace movra

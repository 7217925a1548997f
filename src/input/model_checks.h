// What the model checks leave behind for the engine: the variable keys in each
// element's slots 1..10 and the starting values of node unknowns.
//
// Key scheme (a key names one unknown; keys 0..2 name none):
//   mechanical node id k, base b = 10k:  b+1 x, b+2 y, b rotation angle
//   body velocities (code 11):          the node's three keys + 2000
//   electrical, magnetic, fluid, thermal node id k: k + 1000
//   element-internal unknowns:           3000, 3001, ... in element order
// Node 0, negative ids, and for potentials the reference nodes 100..198, are fixed
// and give key 0.
//
// Integer slots the checks fill above the variable slots:
//   41, 42  thermal connections: for an overall wall (43, shape 4) the element met
//           at its node 1 / node 2; for a radiation space resistance (48, shape 5)
//           the surface resistance (48, shape 4) that ends at its node 1 / node 2.
//           0 when there is none.
// Real slot 51 of a combined spring (code 9) holds its starting length.
#pragma once

#include "input/model.h"
#include "input/report.h"

namespace movra {

inline constexpr int kVelocityKeyOffset = 2000;
inline constexpr int kPotentialKeyOffset = 1000;
inline constexpr int kFirstInternalKey = 3000;
inline constexpr int kThermalLinkSlot = 41;     // and 42
inline constexpr int kStartingLengthSlot = 51;  // code 9

// The starting value of the unknown a key names: the editor's coordinates for the x
// and y keys of a mechanical node in the handed-over node list (through the node
// map), 0 for everything else.
double initialNodeValue(const Model& model, int key);

// Joint rules and variable keys of every element, in element order. Returns 0, or
// 9 after a reported fault (the "st" joint message alone lets reading go on).
int writeVariableKeys(Model& model, Reporter& reporter);

}  // namespace movra

// Element keywords: alias folding, the kind code that selects special handling
// while reading and checking, and the state slots a keyword reserves.
#pragma once

#include <string_view>

namespace movra {

struct ElementKeyword {
  std::string_view written;
  std::string_view folded;  // empty: stored as written
  int kindCode;
  int stateSlots;
  bool pVariant;            // "Qp", "Mp"
  bool takesTableId;        // field 1 names a lookup table
};

// The entry for a keyword as written, or nullptr for an unknown one (kind code 0).
const ElementKeyword* findElementKeyword(std::string_view written);

// The keyword as stored in the element table.
inline std::string_view foldedKeyword(const ElementKeyword& entry) {
  return entry.folded.empty() ? entry.written : entry.folded;
}

}  // namespace movra

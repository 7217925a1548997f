// The ParameterStore: reals addressed by signed ids, shared by formulas, elements,
// the engine and the window.
#pragma once

#include <array>

#include "input/limits.h"

namespace movra {

class ParameterStore {
 public:
  static constexpr bool contains(int id) { return id >= kParameterIdLow && id <= kParameterIdHigh; }

  // Ids outside the store read as 0 and write into a scratch entry, so a bad id
  // from a model can never touch memory outside the array.
  double get(int id) const { return contains(id) ? values_[index(id)] : 0.0; }
  double& operator[](int id) {
    if (!contains(id)) {
      scratch_ = 0.0;
      return scratch_;
    }
    return values_[index(id)];
  }
  void clear() { values_.fill(0.0); }

 private:
  static constexpr int index(int id) { return id - kParameterIdLow; }
  std::array<double, kParameterIdHigh - kParameterIdLow + 1> values_{};
  double scratch_ = 0.0;
};

}  // namespace movra

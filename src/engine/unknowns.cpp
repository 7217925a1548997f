// Unknowns from element keys, the equation system, the step-to-step copies and the
// integration coefficients.
#include "engine/unknowns.h"

#include <algorithm>
#include <cstring>

namespace movra {

namespace {

// Keys 0..2 stand for ground and the reference nodes: no unknown.
constexpr int kFirstUnknownKey = 3;
constexpr int kVariableSlotsUsed = 10;
constexpr int kShortSpan = 16;

int elementRows(const Model& model) {
  return std::clamp(model.count.elements, 0, kElementCapacity - 1);
}

int unknownsAndStates(const Run& run) {
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  const int m = std::clamp(run.stateSlotCount, 0, kMaxStateSlots);
  return n + m;
}

}  // namespace

// Slot k of element e holds a key; the map numbers keys by first use:
//   index(key) = 0 for key < 3, else map[key] if held, else ++N.
// N is checked against 500 after each element, the state slots once at the end.
int allocateUnknowns(Model& model, Run& run, Reporter& reporter) {
  std::fill(std::begin(run.unknownOfKey), std::end(run.unknownOfKey), 0);
  run.unknownCount = 0;
  run.stateSlotCount = 0;
  int n = 0;
  const int rows = elementRows(model);
  for (int row = 1; row <= rows; ++row) {
    ElementEntry& element = model.elements[row];
    for (int slot = 1; slot <= kVariableSlotsUsed; ++slot) {
      const int key = element.variableSlots[slot];
      if (key < kFirstUnknownKey) {
        element.variableSlots[slot] = 0;
        continue;
      }
      if (key >= kUnknownKeyCapacity) {
        // The map cannot hold this key; numbering it anyway would alias another node.
        return reporter.modelError(" 変数の番号が範囲外？  %d \n\n %s", key, element.text);
      }
      if (run.unknownOfKey[key] == 0) run.unknownOfKey[key] = ++n;
      element.variableSlots[slot] = run.unknownOfKey[key];
    }
    if (n > kMaxUnknowns) return reporter.modelError(" 変数の数が５００を超える ");
  }
  const int m = model.count.stateSlots;
  if (m > kMaxStateSlots) return reporter.modelError(" npd over! %d", m);
  run.unknownCount = n;
  run.stateSlotCount = std::max(m, 0);
  return 0;
}

// A few entries, stored one by one. A loop would be turned by the compiler into a
// string store, whose start-up costs more than the stores themselves.
inline void zeroShortSpan(double* span, int length) {
  switch (length) {
    case 16: span[15] = 0.0; [[fallthrough]];
    case 15: span[14] = 0.0; [[fallthrough]];
    case 14: span[13] = 0.0; [[fallthrough]];
    case 13: span[12] = 0.0; [[fallthrough]];
    case 12: span[11] = 0.0; [[fallthrough]];
    case 11: span[10] = 0.0; [[fallthrough]];
    case 10: span[9] = 0.0; [[fallthrough]];
    case 9: span[8] = 0.0; [[fallthrough]];
    case 8: span[7] = 0.0; [[fallthrough]];
    case 7: span[6] = 0.0; [[fallthrough]];
    case 6: span[5] = 0.0; [[fallthrough]];
    case 5: span[4] = 0.0; [[fallthrough]];
    case 4: span[3] = 0.0; [[fallthrough]];
    case 3: span[2] = 0.0; [[fallthrough]];
    case 2: span[1] = 0.0; [[fallthrough]];
    case 1: span[0] = 0.0; [[fallthrough]];
    default: break;
  }
}

// Only the spans that the last element pass and solve can have made non-zero are
// cleared; everything outside them is still zero from the previous clear.
void clearEquationSystem(Run& run) {
  run.X[0] = 0.0;
  const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
  JacobianProfile& profile = run.jacobianProfile;
  const int highest = std::min(profile.highest, kRowStride - 1);
  for (int r = 0; r <= highest; ++r) {
    run.J[r * kRowStride] = 0.0;  // column 0 lies outside the spans
    const int first = profile.rowFirst[r];
    const int last = profile.rowLast[r];
    if (last < first) continue;
    // Most spans are a few entries of a banded row: a plain loop beats a call.
    double* const span = &run.J[r * kRowStride + first];
    const int length = last - first + 1;
    static_assert(kShortSpan == 16, "zeroShortSpan stores up to 16 entries");
    if (length <= kShortSpan) {
      zeroShortSpan(span, length);
    } else {
      std::memset(span, 0, sizeof(double) * static_cast<size_t>(length));
    }
    profile.rowFirst[r] = kRowStride;
    profile.rowLast[r] = -1;
  }
  std::fill(profile.columnLast, profile.columnLast + highest + 1, -1);
  profile.highest = -1;
  std::memset(run.F, 0, sizeof(double) * static_cast<size_t>(n + 1));
}

void saveState(Run& run, double* copy) {
  const int last = unknownsAndStates(run);
  std::copy(run.X + 1, run.X + 1 + last, copy + 1);
}

void restoreState(Run& run, const double* copy) {
  const int last = unknownsAndStates(run);
  std::copy(copy + 1, copy + 1 + last, run.X + 1);
}

// Derivative of u at the attempt: a0·(u − H).
//   first order:  a0 = 1/h,    H = X_n
//   second order: a0 = 1.5/Δt, H = (4·X_n − X_{n−1})/3, i.e. (1.5·u − 2·X_n + 0.5·X_{n−1})/Δt
// The second order needs two preceding steps of the nominal length (nominalSteps 2).
void setIntegrationCoefficients(Run& run, int method, int kt, int nominalSteps, double h,
                                double dtNominal) {
  if (method == 0) {
    run.a0H[0] = 0.0;
    return;
  }
  const int last = unknownsAndStates(run);
  double* history = run.a0H;
  if (method == 2 && kt >= 2 && nominalSteps >= 2) {
    // An attempt needs a positive step; a zero one would make a0 infinite.
    const double step = dtNominal > 0.0 ? dtNominal : 1.0;
    history[0] = 1.5 / step;
    for (int i = 1; i <= last; ++i) history[i] = (4.0 * run.X[i] - run.previous[i]) / 3.0;
    return;
  }
  double step = 1.0;  // the starting step counts as one of length 1
  if (kt != 0) {
    // An attempt at the last accepted time (h = 0) takes the nominal step instead
    // of an infinite a0.
    if (h > 0.0) {
      step = h;
    } else if (dtNominal > 0.0) {
      step = dtNominal;
    }
  }
  history[0] = 1.0 / step;
  for (int i = 1; i <= last; ++i) history[i] = run.X[i];
}

}  // namespace movra

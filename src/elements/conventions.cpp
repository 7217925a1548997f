#include "elements/conventions.h"

#include <algorithm>
#include <cmath>

namespace movra {

const char* quotedLine(ElementEntry& element) {
  element.text[kElementTextBytes - 1] = 0;
  return element.text;
}

double vectorAngle(double dx, double dy) {
  return std::atan2(dy, dx + kAngleGuard);
}

int storeIdOf(double value) {
  if (!std::isfinite(value)) return 0;
  const double rounded = std::nearbyint(value);
  if (rounded < kParameterIdLow || rounded > kParameterIdHigh) return 0;
  return static_cast<int>(rounded);
}

// Between the steps of a part the means hold; they move when the part ends.
void recordPeriodMeans(ParameterStore& store, int id, const Run& run, double across, double flow,
                       double power) {
  if (!(run.pwmPeriod > 0.0)) {
    store[id + 11] = across;
    store[id + 12] = flow;
    store[id + 13] = power;
    return;
  }
  const double tau = run.pwmSubStep;
  const double sums[4] = {across * tau, flow * tau, power * tau, tau};
  for (int k = 1; k <= 4; ++k) {
    store[id + 54 + k] = run.pwmPartStarts ? sums[k - 1] : store[id + 54 + k] + sums[k - 1];
  }
  if (!run.pwmPartEnds) return;
  const double span = store[id + 54] + store[id + 58];
  // A part of no length leaves nothing to average over: keep the present values.
  const bool averaged = span > 0.0;
  store[id + 11] = averaged ? (store[id + 51] + store[id + 55]) / span : across;
  store[id + 12] = averaged ? (store[id + 52] + store[id + 56]) / span : flow;
  store[id + 13] = averaged ? (store[id + 53] + store[id + 57]) / span : power;
  for (int k = 1; k <= 4; ++k) store[id + 50 + k] = store[id + 54 + k];
}

void addNetworkTotals(ParameterStore& store, double power, double dt) {
  store[kPowerTotalEntry] += power;
  store[kAllPowerTotalEntry] += power;
  store[kEnergyTotalEntry] += power * dt;
  store[kAllEnergyTotalEntry] += power * dt;
}

}  // namespace movra

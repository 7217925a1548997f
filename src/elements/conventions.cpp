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

void recordPeriodMeans(ParameterStore& store, int id, const Run& run, double across, double flow,
                       double power) {
  if (!(run.pwmPeriod > 0.0)) {
    store[id + 11] = across;
    store[id + 12] = flow;
    store[id + 13] = power;
    return;
  }
  const double tau = run.pwmSubStep;
  store[id + 51] += across * tau;
  store[id + 52] += flow * tau;
  store[id + 53] += power * tau;
  store[id + 54] += tau;
  const double span = store[id + 54];
  // A sub-step of no length leaves nothing to average over: keep the present values.
  const bool averaged = span > 0.0;
  store[id + 11] = averaged ? store[id + 51] / span : across;
  store[id + 12] = averaged ? store[id + 52] / span : flow;
  store[id + 13] = averaged ? store[id + 53] / span : power;
  store[id + 51] = across * tau;
  store[id + 52] = flow * tau;
  store[id + 53] = power * tau;
  store[id + 54] = tau;
}

void addNetworkTotals(ParameterStore& store, double power, double dt) {
  store[kPowerTotalEntry] += power;
  store[kAllPowerTotalEntry] += power;
  store[kEnergyTotalEntry] += power * dt;
  store[kAllEnergyTotalEntry] += power * dt;
}

}  // namespace movra

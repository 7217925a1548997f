// The example circuits run as a user runs them (movra-note run, out.txt) and held
// against their textbook solutions. out.txt prints four significant digits
// (" %-10.4g"), so a printed value is within 5e-4 of its own magnitude: that
// rounding is part of every tolerance below, together with the error of the
// integration formula at the example's step.
//
// Times are rebuilt from the row number (the grid is t0 + k h): the printed time
// column has four digits too, and is only checked against that grid.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_runs.h"

namespace {

using movra::testing::Rows;
using movra::testing::readColumns;

// Relative rounding of a value printed with four significant digits.
constexpr double kPrinted = 5e-4;

// Runs an example through movra-note; returns out.txt's rows, each checked to have
// the time and `columns` output values.
Rows simulate(const std::string& model, size_t columns) {
  return movra::testing::simulateExample(model, columns, "closed_form_");
}

// The printed time of row k is t0 + k h to its four digits.
void expectTimeGrid(const Rows& rows, double h) {
  for (size_t k = 0; k < rows.size(); ++k) {
    const double t = static_cast<double>(k) * h;
    ASSERT_NEAR(rows[k][0], t, kPrinted * t + 1e-15) << "row " << k;
  }
}

// ---- RC charge and discharge ----

TEST(ClosedForm, RcChargesThenDischargesThroughTheChangeoverSwitch) {
  const Rows rows = simulate("rc_charge_discharge", 2);
  ASSERT_EQ(rows.size(), 601u);
  const double h = 10e-6, tau = 1e-3, e = 5.0;
  const int switching = 250;  // the step at 2.50 ms; step 251 discharges
  const double tSwitch = switching * h;
  expectTimeGrid(rows, h);

  // The contacts change at the first step whose time passes 2.505 ms: the switch
  // node is the source up to step 250 and ground from step 251 on.
  EXPECT_EQ(rows[0][1], 0.0);
  for (int k = 1; k <= switching; ++k) ASSERT_EQ(rows[k][1], e) << "row " << k;
  for (size_t k = switching + 1; k < rows.size(); ++k) ASSERT_EQ(rows[k][1], 0.0) << "row " << k;

  const double vSwitch = e * (1 - std::exp(-tSwitch / tau));
  double worstCharge = 0, worstDischarge = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const double t = static_cast<double>(k) * h;
    if (k <= switching) {
      worstCharge = std::max(worstCharge, std::fabs(rows[k][2] - e * (1 - std::exp(-t / tau))));
    } else {
      worstDischarge = std::max(worstDischarge,
                                std::fabs(rows[k][2] - vSwitch * std::exp(-(t - tSwitch) / tau)));
    }
  }
  // Charge: the first-order first step leaves e (h/tau)^2 / 2 = 0.25 mV, the
  // second-order formula about as much again, the print 2.5 mV at most (4.59 V).
  EXPECT_LT(worstCharge, 3e-3);
  // Discharge: the second-order formula is not restarted at the switching instant,
  // so the first discharging step still carries the charging slope in its history.
  // That costs (h / 3) times the jump of the slope, 5 V / tau, and the formula's
  // second root (1/3) adds half of that again: h / 2 * 5 V / tau = 25 mV, which then
  // decays with the discharge itself. Plus the print.
  EXPECT_LT(worstDischarge, 0.5 * h * e / tau + 3e-3);

  // Later in the discharge that offset is a fixed fraction of the solution, so the
  // decay over one time constant is exact up to the second-order formula,
  // (h / tau)^2 ~ 1e-4, and the print of two values, 1e-3.
  const double ratio = rows[400][2] / rows[300][2];
  EXPECT_NEAR(ratio, std::exp(-1.0), 1.2e-3 * std::exp(-1.0));
  std::printf(
      "rc: worst charge %.3g V, worst discharge %.3g V, decay ratio %.6f (exp(-1) = %.6f)\n",
      worstCharge, worstDischarge, ratio, std::exp(-1.0));
}

// ---- RL rise ----

TEST(ClosedForm, RlCurrentRisesWithTheTimeConstantLOverR) {
  const Rows rows = simulate("rl_rise", 2);  // time, inductor current, node 2
  ASSERT_EQ(rows.size(), 1001u);
  const double h = 1e-6, tau = 10e-3 / 100, final = 10.0 / 100;
  expectTimeGrid(rows, h);
  double worstCurrent = 0, worstVoltage = 0;
  for (size_t k = 1; k < rows.size(); ++k) {
    const double t = static_cast<double>(k) * h;
    const double i = final * (1 - std::exp(-t / tau));
    worstCurrent = std::max(worstCurrent, std::fabs(rows[k][1] - i));
    worstVoltage = std::max(worstVoltage, std::fabs(rows[k][2] - (10 - 50 * i)));
  }
  EXPECT_EQ(rows[0][1], 0.0);
  EXPECT_EQ(rows[0][2], 0.0);
  // h / tau = 0.01: the first-order first step leaves final (h/tau)^2 / 2 = 5 uA,
  // the second-order formula about as much; the print of a current up to 0.1 A is
  // 5e-5 relative, 5 uA at most. 30 uA is 3e-4 of the final current.
  EXPECT_LT(worstCurrent, 3e-5);
  // The node carries 50 ohm times that current error (1.5 mV) and its own print
  // (5 mV for values near 10 V, 0.5 mV below).
  EXPECT_LT(worstVoltage, 50 * 3e-5 + 5e-3);
  // One time constant: 63.2 % of the final current.
  EXPECT_NEAR(rows[100][1], final * (1 - std::exp(-1.0)), 3e-5);
  std::printf("rl: worst current %.3g A, worst voltage %.3g V\n", worstCurrent, worstVoltage);
}

// ---- underdamped RLC ----

TEST(ClosedForm, UnderdampedRlcRingsAtTheDampedFrequencyAndDecays) {
  const Rows rows = simulate("rlc_underdamped", 2);  // time, inductor current, capacitor
  ASSERT_EQ(rows.size(), 5001u);
  const double h = 0.1e-6, r = 20, l = 1e-3, c = 100e-9;
  const double alpha = r / (2 * l);
  const double wd = std::sqrt(1 / (l * c) - alpha * alpha);
  expectTimeGrid(rows, h);

  double worstCurrent = 0, worstVoltage = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const double t = static_cast<double>(k) * h;
    const double decay = std::exp(-alpha * t);
    worstCurrent =
        std::max(worstCurrent, std::fabs(rows[k][1] - decay * std::sin(wd * t) / (wd * l)));
    worstVoltage = std::max(
        worstVoltage,
        std::fabs(rows[k][2] - (1 - decay * (std::cos(wd * t) + alpha / wd * std::sin(wd * t)))));
  }
  // wd h = 0.01. The second-order formula's phase error is about (wd h)^2 / 3 per
  // radian, 1.7e-3 rad after 16 periods, on an envelope that has fallen to 0.7 %;
  // its first-order first step costs about (wd h)^2 = 1e-4 of the 10 mA
  // envelope. The print: 5 uA at the largest peak. 10 uA is 0.1 % of the envelope.
  EXPECT_LT(worstCurrent, 1e-5);
  // The capacitor voltage (near 1 V, printed to 0.5 mV): 2 mV.
  EXPECT_LT(worstVoltage, 2e-3);

  // Zero crossings of the current, interpolated between samples (the current is
  // printed to four digits of its own small size there, so the crossing time is
  // good to far below a step).
  std::vector<double> crossings;
  for (size_t k = 2; k < rows.size(); ++k) {
    const double a = rows[k - 1][1], b = rows[k][1];
    if ((a > 0 && b <= 0) || (a < 0 && b >= 0)) {
      crossings.push_back((static_cast<double>(k) - 1 + a / (a - b)) * h);
    }
  }
  ASSERT_GE(crossings.size(), 10u);
  const double halfPeriod =
      (crossings.back() - crossings.front()) / static_cast<double>(crossings.size() - 1);
  // The phase error of the formula, (wd h)^2 / 3 = 3.3e-5 of the frequency, is
  // all there is: 2e-4 leaves room for the first step and the interpolation.
  EXPECT_NEAR(halfPeriod, M_PI / wd, 2e-4 * M_PI / wd);
  // Each crossing sits at k pi / wd, the phase error growing with k.
  for (size_t j = 0; j < crossings.size(); ++j) {
    const double expected = static_cast<double>(j + 1) * M_PI / wd;
    EXPECT_NEAR(crossings[j], expected, 2e-4 * expected) << "crossing " << j + 1;
  }

  // The largest sample of each half cycle. Successive extremes of a damped sine lie
  // exactly pi / wd apart, so their ratio is -exp(-alpha pi / wd). Sampling misses a
  // peak by at most h / 2: (wd h / 2)^2 / 2 = 1.3e-5 of its value. Only peaks above
  // 1 mA, where the print of each is within 5e-4: 1.2e-3 on a ratio.
  std::vector<double> peaks;
  for (size_t j = 0; j + 1 < crossings.size(); ++j) {
    const size_t first = static_cast<size_t>(std::ceil(crossings[j] / h));
    const size_t last = static_cast<size_t>(std::floor(crossings[j + 1] / h));
    double peak = 0;
    for (size_t k = first; k <= last && k < rows.size(); ++k) {
      if (std::fabs(rows[k][1]) > std::fabs(peak)) peak = rows[k][1];
    }
    if (std::fabs(peak) < 1e-3) break;
    peaks.push_back(peak);
  }
  // The first extreme, before the first crossing.
  double firstPeak = 0;
  for (size_t k = 0; k * h < crossings.front(); ++k) firstPeak = std::max(firstPeak, rows[k][1]);
  peaks.insert(peaks.begin(), firstPeak);
  ASSERT_GE(peaks.size(), 5u);
  const double halfRatio = -std::exp(-alpha * M_PI / wd);
  const double fullRatio = std::exp(-alpha * 2 * M_PI / wd);
  for (size_t j = 0; j + 1 < peaks.size(); ++j) {
    EXPECT_NEAR(peaks[j + 1] / peaks[j], halfRatio, 1.2e-3 * std::fabs(halfRatio))
        << "extreme " << j;
    if (j + 2 < peaks.size()) {
      EXPECT_NEAR(peaks[j + 2] / peaks[j], fullRatio, 1.2e-3 * fullRatio) << "peak " << j;
    }
  }
  std::printf(
      "rlc: worst current %.3g A, worst voltage %.3g V, half period %.6g s (closed form %.6g s), "
      "peak ratio %.5f (closed form %.5f)\n",
      worstCurrent, worstVoltage, halfPeriod, M_PI / wd, peaks[2] / peaks[0], fullRatio);
}

// ---- current source into a capacitor ----

TEST(ClosedForm, CurrentSourceChargesTheCapacitorAlongARamp) {
  const Rows rows = simulate("current_ramp", 1);
  ASSERT_EQ(rows.size(), 1001u);
  const double h = 10e-6, slope = 1e-3 / 1e-6;
  expectTimeGrid(rows, h);
  double worst = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const double expected = slope * static_cast<double>(k) * h;
    // Both formulas integrate a constant current exactly, and the circuit is linear,
    // so the Newton solve is exact too: only the print remains.
    ASSERT_NEAR(rows[k][1], expected, kPrinted * expected + 1e-12) << "row " << k;
    worst = std::max(worst, std::fabs(rows[k][1] - expected) / std::max(expected, 1e-12));
  }
  std::printf("ramp: worst relative deviation %.3g\n", worst);
}

// ---- non-inverting amplifier with saturation ----

TEST(ClosedForm, NonInvertingAmplifierHasGainElevenAndClampsAtItsLimits) {
  const Rows rows = simulate("amplifier_saturation", 2);  // time, input, output
  ASSERT_EQ(rows.size(), 101u);
  const double h = 10e-6, r2 = 10e3, r1 = 1e3, gain = 100e3, rOut = 10, rIn = 1e6, limit = 12;
  expectTimeGrid(rows, h);
  // The linear stage solved exactly, finite gain and both resistances included:
  //   b (1/R2 + 1/R1 + 1/Rin) = c / R2 + a / Rin     (inverting input)
  //   c = A (a - b) - Rout (c - b) / R2             (output behind Rout)
  auto linearOutput = [&](double a) {
    const double g = 1 / r2 + 1 / r1 + 1 / rIn;
    // b = (c / R2 + a / Rin) / g, put into the output equation:
    const double cb = (1 / r2) / g, ab = (1 / rIn) / g;
    // c (1 + Rout/R2) = A a - (A - Rout/R2) (cb c + ab a)
    const double k = gain - rOut / r2;
    return (gain * a - k * ab * a) / (1 + rOut / r2 + k * cb);
  };
  // Ideal: 1 + R2 / R1 = 11; the finite gain takes 1.1e-4 of it.
  EXPECT_NEAR(linearOutput(1.0), 11.0, 11 * 2e-4);

  int clampedHigh = 0, clampedLow = 0, linear = 0;
  double worst = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const double input = 4000 * static_cast<double>(k) * h - 2;
    ASSERT_NEAR(rows[k][1], input, kPrinted * std::fabs(input) + 1e-12) << "row " << k;
    const double expected = std::clamp(linearOutput(input), -limit, limit);
    // A static, piecewise-linear solve: exact but for the print.
    EXPECT_NEAR(rows[k][2], expected, kPrinted * std::fabs(expected) + 1e-9)
        << "row " << k << " input " << input;
    worst = std::max(worst, std::fabs(rows[k][2] - expected));
    if (expected == limit) ++clampedHigh;
    if (expected == -limit) ++clampedLow;
    if (std::fabs(expected) < limit) ++linear;
  }
  // The sweep covers both limits and the linear range between them.
  EXPECT_EQ(clampedHigh, 23);
  EXPECT_EQ(clampedLow, 23);
  EXPECT_EQ(linear, 55);
  std::printf("amplifier: worst output deviation %.3g V\n", worst);
}

// ---- PWM-driven switch ----

TEST(ClosedForm, PwmSwitchedLoadAveragesDutyTimesSupply) {
  // Time, the load's own period mean (c1111), switch node, load, switch signal.
  const Rows rows = simulate("pwm_switch", 4);
  const double period = 1 / 10e3, duty = 0.25, supply = 12, tau = 10e-3 / 10;
  // Two steps per period over 20 ms, plus the starting solution.
  ASSERT_EQ(rows.size(), 401u);
  const size_t periodMean = 1, switchNode = 2, load = 3, signal = 4;

  // The step grid: the starting solution, then per period the off part (1 - d) P
  // and the on part d P; the signal is 1 on even steps, 0 on odd ones.
  for (size_t k = 0; k < rows.size(); ++k) {
    const double periods = static_cast<double>(k / 2);
    const double t = k % 2 == 0 ? periods * period : periods * period + (1 - duty) * period;
    ASSERT_NEAR(rows[k][0], t, kPrinted * t + 1e-15) << "row " << k;
    ASSERT_EQ(rows[k][signal], k % 2 == 0 ? 1.0 : 0.0) << "row " << k;
    // The supply is off in the starting solution (p2 = 0), then the switch node is
    // the supply during the on part and ground during the off part.
    ASSERT_EQ(rows[k][switchNode], k > 0 && k % 2 == 0 ? supply : 0.0) << "row " << k;
  }

  // A step stands for its own part of the period: weight d P for an on step,
  // (1 - d) P for an off step.
  auto weight = [&](size_t k) { return (k % 2 == 0 ? duty : 1 - duty) * period; };
  // The resistor's mean covers its present step and the one before: the same
  // weighted mean, to the print of the three numbers (5e-4 of 3.2 V each).
  for (size_t k = 2; k < rows.size(); ++k) {
    const double mean = (weight(k) * rows[k][load] + weight(k - 1) * rows[k - 1][load]) / period;
    ASSERT_NEAR(rows[k][periodMean], mean, 3 * kPrinted * 3.2) << "row " << k;
  }

  // Over the last 50 periods (15 to 20 load time constants in, the start has died
  // out to exp(-15)):
  double sum = 0, weights = 0, switchSum = 0, worstPeriodMean = 0;
  for (size_t k = 301; k <= 400; ++k) {
    sum += weight(k) * rows[k][load];
    switchSum += weight(k) * rows[k][switchNode];
    weights += weight(k);
    worstPeriodMean = std::max(worstPeriodMean, std::fabs(rows[k][periodMean] - duty * supply));
  }
  EXPECT_NEAR(weights, 50 * period, 1e-12);
  EXPECT_NEAR(switchSum / weights, duty * supply, 1e-12);
  // The first-order formula keeps the mean exact in the periodic state: summed over
  // a period, L di vanishes, and what remains is the weighted mean of R i against
  // that of the switch node. So only the print is left: 5e-4 of 3.2 V.
  const double mean = sum / weights;
  EXPECT_NEAR(mean, duty * supply, kPrinted * 3.2);
  // Each period mean of the resistor likewise; it is printed once.
  EXPECT_LT(worstPeriodMean, kPrinted * 3.2);

  // Ripple of the last period against the continuous closed form. One step per
  // part of the period: the first-order formula's decay over a part,
  // 1 / (1 + h / tau) for exp(-h / tau), errs by about h / (2 tau) of the swing,
  // 3.8 % for the 75 us off part; 5 %.
  const double ripple = rows[400][load] - rows[399][load];
  const double expectedRipple = supply * (1 - std::exp(-duty * period / tau)) *
                                (1 - std::exp(-(1 - duty) * period / tau)) /
                                (1 - std::exp(-period / tau));
  EXPECT_NEAR(ripple, expectedRipple, 0.05 * expectedRipple);
  std::printf(
      "pwm: mean load voltage %.6g V, worst period mean of the resistor off by %.3g V "
      "(closed form %.6g V), ripple %.4g V (closed form %.4g V)\n",
      mean, worstPeriodMean, duty * supply, ripple, expectedRipple);
}

}  // namespace

// The MOSFET switch (32): a symmetric square-law channel whose gain is fitted so
// that it shows the user's on-resistance at the stated gate voltage and drain
// current, the gate capacitance split between drain and source, and the body
// diode, which is the diode evaluator run in its forced mode. "Mp" is the
// p-channel variant: every voltage and current of the law changes sign.
#include <cmath>

#include "elements/circuit/circuit.h"
#include "elements/circuit/junction.h"
#include "elements/conventions.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
constexpr char kNoGain[] = "@ 条件データが？ \n\n %s";
// The stated point lies where the channel saturates (Ion·Ron above Von - Vt): no
// square law shows Ron there. Values: Ion·Ron and Von - Vt.
constexpr char kSaturatedOnPoint[] = "@ 条件データが？ Ion·Ron > Von-Vt %e %e \n\n %s";

constexpr double kLargestOnResistance = 1000.0;  // ohm
constexpr double kChannelLeak = 1e-7;            // S, drain to source
constexpr double kGateLeak = 1e-7;               // S, across each half of the gate capacitance

// Real slots.
constexpr int kVoteMemory = 11;
constexpr int kGain = 20;  // K, A/V^2, fitted on the first iteration of every step

// Symbol states in the display record.
constexpr double kSymbolOn = 1.0;
constexpr double kSymbolOff = 2.0;

// A conductance g between p and q: F[p] -= g·(x[p] - x[q]), F[q] += the same.
void stampConductance(Run& run, int p, int q, double g) {
  const double current = g * (run.X[p] - run.X[q]);
  run.F[p] -= current;
  run.F[q] += current;
  run.jacobian(p, p) -= g;
  run.jacobian(p, q) += g;
  run.jacobian(q, p) += g;
  run.jacobian(q, q) -= g;
}

// Capacitance c with its parallel leak from p to q, as the capacitor stamps it:
//   i = c·a0·((x[p] - H[p]) - (x[q] - H[q])) + 1e-7·(x[p] - x[q]),  di/dx[p] = c·a0 + 1e-7.
void stampGateHalf(Run& run, int p, int q, double c) {
  const double a0 = run.a0();
  const double change = (run.X[p] - historyOf(run, p)) - (run.X[q] - historyOf(run, q));
  const double current = c * a0 * change + kGateLeak * (run.X[p] - run.X[q]);
  const double g = c * a0 + kGateLeak;
  run.F[p] -= current;
  run.F[q] += current;
  run.jacobian(p, p) -= g;
  run.jacobian(p, q) += g;
  run.jacobian(q, p) += g;
  run.jacobian(q, q) -= g;
}

bool invalid(const double* p) {
  return p[1] <= 0.0 || p[2] <= 0.0 || p[2] > kLargestOnResistance || p[3] <= 0.0 || p[4] <= 0.0 ||
         p[5] < 0.0;
}

}  // namespace

// Drain d, gate g, source s; s = +1 (n channel) or -1 ("Mp"); Vt = P1, gain K:
//   ugs = s·(x[g] - x[s]) - Vt, ugd = s·(x[g] - x[d]) - Vt  (V)
//   I = s·K·(max(ugs, 0)^2 - max(ugd, 0)^2), from drain to source (A)
//   dI/dx[g] = 2K·(max(ugs,0) - max(ugd,0)), dI/dx[d] = 2K·max(ugd,0), dI/dx[s] = -2K·max(ugs,0)
//   F[d] -= I, F[s] += I;  1e-7 S from d to s;  Cg/2 from d to g and from g to s;
//   the body diode from s to d (n) or d to s (p).
// K = 1/((2·(Von - Vt) - Ion·Ron)·Ron) passes Ion at Vds = Ion·Ron with Vgs = Von,
// which the triode law reaches only while Ion·Ron ≤ Von - Vt.
int evaluateMosfet(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  if (isFirstIteration(run)) {
    if (invalid(p)) return context.reporter.modelError(kBadData, quotedLine(*element));
    const double overdrive = p[3] - p[1];
    const double denominator = (2.0 * overdrive - p[4] * p[2]) * p[2];
    if (!(overdrive > 0.0) || !(denominator > 0.0)) {
      return context.reporter.modelError(kNoGain, quotedLine(*element));
    }
    // Beyond the overdrive the drain end of the channel is pinched off: the law
    // carries K·(Von - Vt)² at Vds = Ion·Ron, not Ion, and passes Ion at a lower
    // voltage (0.067 ohm for a stated 0.1 ohm when Ion·Ron = 1.2·(Von - Vt)).
    if (p[4] * p[2] > overdrive) {
      return context.reporter.modelError(kSaturatedOnPoint, p[4] * p[2], overdrive,
                                         quotedLine(*element));
    }
    p[kGain] = 1.0 / denominator;
  }
  const double gain = p[kGain];
  const double threshold = p[1];
  const double sign = element->pVariant != 0 ? -1.0 : 1.0;

  const int d = unknownSlot(run, *element, 1);
  const int g = unknownSlot(run, *element, 2);
  const int s = unknownSlot(run, *element, 3);
  const double sourceSide = std::fmax(sign * (run.X[g] - run.X[s]) - threshold, 0.0);
  const double drainSide = std::fmax(sign * (run.X[g] - run.X[d]) - threshold, 0.0);
  const double channel = sign * gain * (sourceSide * sourceSide - drainSide * drainSide);
  const double byDrain = 2.0 * gain * drainSide;
  const double byGate = 2.0 * gain * (sourceSide - drainSide);
  const double bySource = -2.0 * gain * sourceSide;

  run.F[d] -= channel;
  run.jacobian(d, d) -= byDrain;
  run.jacobian(d, g) -= byGate;
  run.jacobian(d, s) -= bySource;
  run.F[s] += channel;
  run.jacobian(s, d) += byDrain;
  run.jacobian(s, g) += byGate;
  run.jacobian(s, s) += bySource;
  stampConductance(run, d, s, kChannelLeak);
  stampGateHalf(run, d, g, 0.5 * p[5]);
  stampGateHalf(run, g, s, 0.5 * p[5]);

  const int forced = sign > 0.0 ? kBodyDiodeSourceToDrain : kBodyDiodeDrainToSource;
  const int diodeResult = runDiode(context, row, forced);
  if (diodeResult != 0) return diodeResult;
  voteChange(run, circuitTolerances(context.model), channel, p[kVoteMemory]);

  // The element current from drain to source: the channel less the body diode's
  // current where that runs from source to drain.
  const double diode = p[kBodyDiodeCurrentSlot];
  const double bodyCurrent = forced == kBodyDiodeSourceToDrain ? -diode : diode;
  const double current = channel + bodyCurrent;
  const double voltage = run.X[d] - run.X[s];
  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double power = -voltage * current;
    store[id + 1] = voltage;
    store[id + 2] = current;
    store[id + 3] = power;
    store[id + 4] = channel;
    store[id + 5] = bodyCurrent;
    store[id + 6] = run.X[g] - run.X[s];
    store[id + 7] = gain;
    store[id + 9] += power * recordedStepLength(run);
    recordPeriodMeans(store, id, run, voltage, current, power);
  }
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayFlow] = current;
      record[kDisplayAcross] = voltage;
      record[kDisplayState] = sourceSide > 0.0 || drainSide > 0.0 ? kSymbolOn : kSymbolOff;
    }
  }
  return 0;
}

}  // namespace movra

// The bipolar transistor (31): the transport form of the Ebers-Moll model, the
// large-signal law of every circuit text (e.g. Sedra and Smith, "Microelectronic
// Circuits", and the SPICE Gummel-Poon model without its second-order effects).
// Each junction uses the diode's law with Is and n = 1: linear below 0 V and the
// tangent above the limit voltage, so Newton converges from any start. "Qp" is
// the pnp variant: every voltage and current of the law changes sign.
#include <cmath>

#include "elements/circuit/circuit.h"
#include "elements/circuit/junction.h"
#include "elements/conventions.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ b \n\n %s";

constexpr double kDefaultReverseGain = 1.0;

// Real slots with the remembered own currents of the convergence vote.
constexpr int kCollectorVote = 11;
constexpr int kBaseVote = 12;

// Symbol states in the display record.
constexpr double kSymbolConducting = 1.0;
constexpr double kSymbolOff = 0.0;
// Collector current from which the symbol shows conduction, A.
constexpr double kConductingCurrent = 1e-4;

}  // namespace

// Collector c, base b, emitter e; own unknowns ic (into the collector) and ib (into
// the base); s = +1 npn, -1 pnp. With f(v) the junction law of the diode (Is, N = Vt)
// at vbe = s·(x[b] - x[e]) and vbc = s·(x[b] - x[c]):
//   Ic = f(vbe) - f(vbc) - f(vbc)/betaR,  Ib = f(vbe)/betaF + f(vbc)/betaR   (A)
//   F[ic] = x[ic] - s·Ic,  F[ib] = x[ib] - s·Ib   (own rows, A)
//   dF[ic]/dx[b] = -(dIc/dvbe + dIc/dvbc), dx[e] = dIc/dvbe, dx[c] = dIc/dvbc, dx[ic] = 1
//   F[c] -= x[ic], F[b] -= x[ib], F[e] += x[ic] + x[ib];  leak 1e-9 S at c, b and e.
int evaluateTransistor(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  if (isFirstIteration(run) && (!(p[1] > 0.0) || p[2] < 0.0 || p[3] < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  const double forwardGain = p[1];
  const double reverseGain = p[3] > 0.0 ? p[3] : kDefaultReverseGain;
  DiodeLaw law;
  if (p[2] > 0.0) law.saturation = p[2];
  completeLaw(law, 0.0);
  const double sign = element->pVariant != 0 ? -1.0 : 1.0;

  const int c = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);
  const int e = unknownSlot(run, *element, 3);
  const int ic = unknownSlot(run, *element, 4);
  const int ib = unknownSlot(run, *element, 5);
  const double vbe = sign * (run.X[b] - run.X[e]);
  const double vbc = sign * (run.X[b] - run.X[c]);
  const JunctionPoint emitter = junctionCurrent(law, vbe, pieceOf(law, vbe));
  const JunctionPoint collector = junctionCurrent(law, vbc, pieceOf(law, vbc));
  const double reverseShare = 1.0 + 1.0 / reverseGain;
  const double collectorCurrent = emitter.current - collector.current * reverseShare;
  const double baseCurrent = emitter.current / forwardGain + collector.current / reverseGain;
  const double icByVbe = emitter.conductance;
  const double icByVbc = -collector.conductance * reverseShare;
  const double ibByVbe = emitter.conductance / forwardGain;
  const double ibByVbc = collector.conductance / reverseGain;

  // Own rows: written outright, no other element touches them.
  run.F[ic] = run.X[ic] - sign * collectorCurrent;
  run.jacobian(ic, c) = 0.0;
  run.jacobian(ic, b) = 0.0;
  run.jacobian(ic, e) = 0.0;
  run.jacobian(ic, ic) = 0.0;
  run.jacobian(ic, ib) = 0.0;
  run.F[ib] = run.X[ib] - sign * baseCurrent;
  run.jacobian(ib, c) = 0.0;
  run.jacobian(ib, b) = 0.0;
  run.jacobian(ib, e) = 0.0;
  run.jacobian(ib, ic) = 0.0;
  run.jacobian(ib, ib) = 0.0;
  run.jacobian(ic, ic) += 1.0;
  run.jacobian(ic, b) -= icByVbe + icByVbc;
  run.jacobian(ic, e) += icByVbe;
  run.jacobian(ic, c) += icByVbc;
  run.jacobian(ib, ib) += 1.0;
  run.jacobian(ib, b) -= ibByVbe + ibByVbc;
  run.jacobian(ib, e) += ibByVbe;
  run.jacobian(ib, c) += ibByVbc;

  run.F[c] -= run.X[ic];
  run.jacobian(c, ic) -= 1.0;
  run.F[b] -= run.X[ib];
  run.jacobian(b, ib) -= 1.0;
  run.F[e] += run.X[ic] + run.X[ib];
  run.jacobian(e, ic) += 1.0;
  run.jacobian(e, ib) += 1.0;
  addLeak(run, c);
  addLeak(run, b);
  addLeak(run, e);
  const Tolerances tolerances = circuitTolerances(context.model);
  voteOwnUnknown(run, tolerances, ic, element->realSlots[kCollectorVote]);
  voteOwnUnknown(run, tolerances, ib, element->realSlots[kBaseVote]);

  const double vce = run.X[c] - run.X[e];
  const double vbeTerminal = run.X[b] - run.X[e];
  const double collectorIn = run.X[ic];
  const double baseIn = run.X[ib];
  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double power = -(vce * collectorIn + vbeTerminal * baseIn);
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      store[id + 1] = vce;
      store[id + 2] = collectorIn;
      store[id + 3] = power;
      store[id + 4] = baseIn;
      store[id + 5] = vbeTerminal;
      store[id + 6] = collectorIn + baseIn;
      store[id + 7] = std::fabs(baseIn) > 1e-15 ? collectorIn / baseIn : 0.0;
      store[id + 9] += power * recordedStepLength(run);
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayFlow] = collectorIn;
      record[kDisplayAcross] = vce;
      record[kDisplayState] =
          std::fabs(collectorIn) > kConductingCurrent ? kSymbolConducting : kSymbolOff;
    }
  }
  return 0;
}

}  // namespace movra

// The diode (25): an exponential junction fitted from the forward voltage and
// current the user gives, linear below 0 V and continued by its tangent above a
// limit voltage, so a large Newton step can neither overflow nor stall in the
// flat reverse region. The same core runs the body diode of the MOSFET switch.
#include <cmath>
#include <cstdint>

#include "elements/circuit/circuit.h"
#include "elements/circuit/junction.h"
#include "elements/conventions.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";

constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kSmallestForwardVoltage = 0.1;  // V; a written V_F below it is a mistake
constexpr double kLimitAboveKnee = 0.3;          // V from the knee to the tangent
constexpr int kEmissionFitSteps = 10;
constexpr double kEmissionFitTolerance = 1e-9;  // V
// From this iteration on an unsettled diode may not jump between reverse and
// strong forward conduction in one Newton step.
constexpr int kDampingIteration = 5;
// The symbol shows conduction from this share of the knee current N/sqrt2 on
// (about 0.1 V below the knee).
constexpr double kConductingShareOfKnee = 0.02;

// Sub-kinds from the model reader: a diode written with a third field is a pair,
// the statement's own entry (9) and an anti-parallel diode attached after it (11)
// whose forward voltage and current are the first one's P3 and P4.
constexpr int kPairedDiode = 9;
constexpr int kAttachedDiode = 11;

// Real slots.
constexpr int kFittedEmission = 8;  // N of the emission fit, kept through the step
constexpr int kVoteMemory = 12;
// Integer slots.
constexpr int kPiece = 13;
constexpr int kPreviousPiece = 16;
constexpr int kSettled = 18;

// Symbol states in the display record: the view colours 1 and 3.
constexpr double kSymbolConducting = 1.0;
constexpr double kSymbolPastLimit = 3.0;
constexpr double kSymbolBlocking = 0.0;

// The emission voltage N with N·log(N/(sqrt2·Is)) = vf, by Newton from Vt.
double fitEmission(double vf, double saturation) {
  double emission = kThermalVoltage;
  for (int k = 0; k < kEmissionFitSteps; ++k) {
    const double logarithm = clampedLog(emission / (kSqrt2 * saturation));
    const double residual = emission * logarithm - vf;
    if (std::fabs(residual) < kEmissionFitTolerance) break;
    const double slope = logarithm + 1.0;
    if (!(slope > 0.0)) break;
    emission -= residual / slope;
  }
  return emission;
}

struct Terminals {
  int anode = 0;
  int cathode = 0;
  double forwardVoltage = 0.0;
  double forwardCurrent = 0.0;
};

// Which unknowns the junction joins and which data fit it, by mode.
bool terminalsOf(Model& model, const Run& run, int row, int forced, Terminals& terminals) {
  const ElementEntry* element = elementAt(model, row);
  if (element == nullptr) return false;
  if (forced != 0) {
    const int source = unknownSlot(run, *element, 3);
    const int drain = unknownSlot(run, *element, 1);
    terminals.anode = forced > 0 ? source : drain;
    terminals.cathode = forced > 0 ? drain : source;
    return true;
  }
  if (element->mode == kAttachedDiode) {
    const ElementEntry* partner = elementAt(model, row - 1);
    if (partner == nullptr) return false;
    terminals.anode = unknownSlot(run, *partner, 2);
    terminals.cathode = unknownSlot(run, *partner, 1);
    terminals.forwardVoltage = partner->realSlots[3];
    terminals.forwardCurrent = partner->realSlots[4];
    return true;
  }
  terminals.anode = unknownSlot(run, *element, 1);
  terminals.cathode = unknownSlot(run, *element, 2);
  terminals.forwardVoltage = element->realSlots[1];
  terminals.forwardCurrent = element->realSlots[2];
  return true;
}

// The element's law; the emission fit runs on the first iteration of a step, or
// whenever no fitted value is kept yet.
DiodeLaw lawOf(ElementEntry& element, const Terminals& terminals, bool firstIteration) {
  double& fitted = element.realSlots[kFittedEmission];
  return fitDiodeLaw(terminals.forwardVoltage, terminals.forwardCurrent, fitted,
                     firstIteration || !(fitted > 0.0));
}

// Current of the attached diode after `row` at the present iterate (A, from the
// pair's cathode to its anode), for the pair's record.
double attachedCurrent(Model& model, const Run& run, int row) {
  ElementEntry* attached = elementAt(model, row + 1);
  Terminals terminals;
  if (attached == nullptr || attached->mode != kAttachedDiode ||
      !terminalsOf(model, run, row + 1, 0, terminals)) {
    return 0.0;
  }
  const DiodeLaw law = lawOf(*attached, terminals, false);
  const double v = run.X[terminals.anode] - run.X[terminals.cathode];
  return junctionCurrent(law, v, pieceOf(law, v)).current;
}

bool invalid(const ElementEntry& element) {
  const double* p = element.realSlots;
  const bool thirdBad = element.mode == kPairedDiode ? !(p[3] > 0.0) : p[3] < 0.0;
  return (p[1] >= 0.0 && p[1] < kSmallestForwardVoltage) || p[2] < 0.0 || p[4] < 0.0 || thirdBad;
}

}  // namespace

double clampedExp(double argument) {
  return std::exp(std::fmin(std::fmax(argument, -600.0), 600.0));
}

double clampedLog(double argument) {
  return std::log(std::fmin(std::fmax(argument, 1e-260), 1e260));
}

void completeLaw(DiodeLaw& law, double forwardVoltage) {
  law.knee = law.emission * clampedLog(law.emission / (kSqrt2 * law.saturation));
  law.limit = std::fmax(law.knee + kLimitAboveKnee, forwardVoltage);
}

DiodeLaw fitDiodeLaw(double vf, double forwardCurrent, double& fittedEmission, bool refit) {
  DiodeLaw law;
  if (vf > 0.0 && forwardCurrent != 0.0) {
    law.saturation = forwardCurrent / (clampedExp(vf / law.emission) - 1.0);
    if (!(law.saturation > kDefaultSaturationCurrent)) {
      // Is would fall below its floor: keep the floor and let N pass I_F at V_F.
      law.saturation = kDefaultSaturationCurrent;
      law.emission = vf / clampedLog(forwardCurrent / kDefaultSaturationCurrent + 1.0);
    }
  } else if (vf > 0.0) {
    // Only V_F: place the knee (dI/dV = 1/sqrt2 S) at V_F.
    law.saturation = law.emission / (kSqrt2 * clampedExp(vf / law.emission));
    if (!(law.saturation > kDefaultSaturationCurrent)) {
      law.saturation = kDefaultSaturationCurrent;
      if (refit) fittedEmission = fitEmission(vf, law.saturation);
      law.emission = fittedEmission;
    }
  }
  completeLaw(law, vf);
  return law;
}

int pieceOf(const DiodeLaw& law, double v) {
  if (v > law.limit) return 1;
  return v > 0.0 ? 0 : -1;
}

//   reverse (v <= 0):  I = (Is/N)·v,                       G = Is/N
//   exponential:       I = Is·(exp(v/N) - 1),              G = Is·exp(v/N)/N
//   tangent (v > Vlim): I = Is·(exp(Vlim/N) - 1) + Glim·(v - Vlim), G = Glim
// Current and slope are continuous at 0 and at Vlim.
JunctionPoint junctionCurrent(const DiodeLaw& law, double v, int piece) {
  const double is = law.saturation;
  const double n = law.emission;
  JunctionPoint point;
  if (piece < 0) {
    point.conductance = is / n;
    point.current = point.conductance * v;
  } else if (piece == 0) {
    const double e = clampedExp(v / n);
    point.current = is * (e - 1.0);
    point.conductance = is * e / n;
  } else {
    const double e = clampedExp(law.limit / n);
    point.conductance = is * e / n;
    point.current = is * (e - 1.0) + point.conductance * (v - law.limit);
  }
  return point;
}

// Diode from anode a to cathode k, current I from a to k (A), G = dI/dV (S):
//   F[k] += I, J[k][a] += G, J[k][k] -= G;  F[a] -= I, J[a][a] -= G, J[a][k] += G
//   leak 1e-9 S at a and k; vote on the change of I.
int runDiode(EvaluationContext& context, int row, int forced) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const bool attached = forced == 0 && element->mode == kAttachedDiode;
  if (isFirstIteration(run) && forced == 0 && !attached && invalid(*element)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  Terminals terminals;
  if (!terminalsOf(context.model, run, row, forced, terminals)) return 0;
  const DiodeLaw law = lawOf(*element, terminals, isFirstIteration(run));

  // The piece, with the previous one holding back an unsettled late iteration:
  // it must pass through the exponential, restarted at the knee.
  int32_t* state = element->variableSlots;
  double v = run.X[terminals.anode] - run.X[terminals.cathode];
  int piece = pieceOf(law, v);
  if (run.recordingFlag == 0 && run.iteration > kDampingIteration && state[kSettled] == 0) {
    const int previous = state[kPreviousPiece];
    if (previous == 1 && piece != 1) {
      piece = 0;
      if (v <= 0.0) v = law.knee;
    } else if (previous == -1 && piece == 1) {
      piece = 0;
      v = law.knee;
    }
  }
  state[kPreviousPiece] = piece;
  state[kPiece] = piece;
  const JunctionPoint point = junctionCurrent(law, v, piece);
  const double current = point.current;
  const double g = point.conductance;
  const int a = terminals.anode;
  const int k = terminals.cathode;

  run.F[k] += current;
  run.jacobian(k, a) += g;
  run.jacobian(k, k) -= g;
  run.F[a] -= current;
  run.jacobian(a, a) -= g;
  run.jacobian(a, k) += g;
  addLeak(run, a);
  addLeak(run, k);
  const bool unsettled =
      voteChange(run, circuitTolerances(context.model), current, element->realSlots[kVoteMemory]);
  state[kSettled] = unsettled ? 0 : 1;

  const double voltage = run.X[a] - run.X[k];
  if (forced != 0) {
    element->realSlots[kBodyDiodeCurrentSlot] = current;
    element->realSlots[kBodyDiodePowerSlot] = voltage * current;
    return 0;
  }
  if (attached) return 0;

  // A pair records its net current: forward minus the attached diode's.
  const double net =
      element->mode == kPairedDiode ? current - attachedCurrent(context.model, run, row) : current;
  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double power = -voltage * net;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      store[id + 1] = voltage;
      store[id + 2] = net;
      store[id + 3] = power;
      store[id + 5] = law.saturation;
      store[id + 6] = law.knee;
      store[id + 8] = law.emission / kThermalVoltage;
      store[id + 9] += power * recordedStepLength(run);
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayFlow] = net;
      record[kDisplayAcross] = voltage;
      double symbol = kSymbolBlocking;
      if (piece == 1) {
        symbol = kSymbolPastLimit;
      } else if (std::fabs(net) > kConductingShareOfKnee * law.emission / kSqrt2) {
        symbol = kSymbolConducting;
      }
      record[kDisplayState] = symbol;
    }
  }
  return 0;
}

int evaluateDiode(EvaluationContext& context, int row) {
  return runDiode(context, row, 0);
}

}  // namespace movra

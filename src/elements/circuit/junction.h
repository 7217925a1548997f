// The pn junction shared by the semiconductor evaluators: the diode's fitted
// exponential law with its linear reverse piece and tangent continuation, and the
// diode evaluator's core, which the MOSFET switch runs as its body diode.
#pragma once

#include "elements/evaluator.h"

namespace movra {

inline constexpr double kThermalVoltage = 0.02585;          // V at about 27 degC
inline constexpr double kDefaultSaturationCurrent = 1e-14;  // A

// exp and log with their arguments held in [-600, 600] and [1e-260, 1e260], so a
// wild iterate can never produce an infinity or a NaN.
double clampedExp(double argument);
double clampedLog(double argument);

// A fitted junction: i = Is·(exp(v/N) - 1) between 0 and the limit voltage,
// (Is/N)·v below 0, and the tangent at the limit above it.
struct DiodeLaw {
  double saturation = kDefaultSaturationCurrent;  // Is, A
  double emission = kThermalVoltage;              // N = n·Vt, V
  double knee = 0.0;                              // Vx, V: dI/dV = 1/sqrt(2) S there
  double limit = 0.0;                             // Vlim, V: the tangent starts here
};

// Pieces of the law: -1 linear reverse (v <= 0), 0 exponential, +1 tangent.
struct JunctionPoint {
  double current = 0.0;      // A
  double conductance = 0.0;  // dI/dV, S
};

// Knee and limit voltage of a law whose Is and N are set.
void completeLaw(DiodeLaw& law, double forwardVoltage);

// The plain piece for v, without the late-iteration damping.
int pieceOf(const DiodeLaw& law, double v);

// Current and conductance on a given piece.
JunctionPoint junctionCurrent(const DiodeLaw& law, double v, int piece);

// Fit from forward voltage vf (<= 0: not given) and current at vf (0: not given).
// `fittedEmission` is the N of the one case that needs an iteration (only vf given,
// Is would fall below 1e-14); `refit` says whether to run it or to use the value.
DiodeLaw fitDiodeLaw(double vf, double forwardCurrent, double& fittedEmission, bool refit);

// Forced mode of the diode core: the body diode of a switch from slot 3 to slot 1
// (+1) or from slot 1 to slot 3 (-1) of its element, with the default junction.
inline constexpr int kBodyDiodeSourceToDrain = 1;
inline constexpr int kBodyDiodeDrainToSource = -1;

// Real slots where a forced diode leaves its current (anode to cathode, A) and
// power for the element that runs it, on every pass.
inline constexpr int kBodyDiodeCurrentSlot = 21;
inline constexpr int kBodyDiodePowerSlot = 22;

// The diode evaluator on element `row`, in forced mode `forced` (0 normal).
int runDiode(EvaluationContext& context, int row, int forced);

}  // namespace movra

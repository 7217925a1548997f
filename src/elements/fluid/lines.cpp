// Pipes and restrictions of the fluid network: the liquid pipe or line (53, 56)
// with its laminar, Blasius and Colebrook–White regimes, the liquid orifice (55),
// the air orifice with its subsonic and choked regimes (57, and 53 with a gas
// density) and the isothermal air line (58). Each owns its flow row; the
// Jacobian of its law is taken by central differences.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/fluid/fluid.h"
#include "elements/fluid/line_laws.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
constexpr char kBadOrifice[] = "データが？ho \n\n %s";
constexpr char kBadLine[] = "データが？hl  %e %e %e %e %e \n\n %s";
constexpr char kBadRoughness[] = "面租度が？hl  %e %e \n\n %s";
constexpr char kBadAirOrifice[] = "データが？ao \n\n %s";
constexpr char kBadAirLine[] = "データが？al \n\n %s";

// Real slot of the convergence vote; integer slot of the regime.
constexpr int kVoteMemory = 11;
constexpr int kRegimeSlot = 12;

// A gas below this density (kg/m³) turns the pipe element into an air orifice.
constexpr double kGasDensityLimit = 100.0;

constexpr double kLitresPerMinute = 1000.0 * 60.0;

// Field values, with the defaults of an empty field.
double field(const ElementEntry& element, int k, double fallback) {
  return element.empty[k] == 1 ? fallback : element.realSlots[k];
}

bool checking(const Run& run) { return run.initialPass != 0 || isFirstIteration(run); }

// Reads the law of an element; returns 0 or 9 after the message.
int readLaw(EvaluationContext& context, ElementEntry& element, int variant, LineLaw& law) {
  const bool check = checking(context.run);
  Reporter& reporter = context.reporter;
  const char* line = quotedLine(element);
  switch (variant) {
    case kLiquidLineVariant: {
      law.kind = LineKind::kLiquidPipe;
      law.diameter = element.realSlots[1];
      law.length = element.realSlots[2];
      law.density = field(element, 3, kOilDensity);
      law.viscosity = field(element, 4, kOilViscosity);
      law.roughness = field(element, 5, 0.0);
      if (!check) return 0;
      if (!(law.diameter > 0.0) || !(law.length > 0.0) || !(law.density > 0.0) ||
          !(law.viscosity > 0.0)) {
        return reporter.modelError(kBadLine, law.diameter, law.length, law.density,
                                   law.viscosity, law.roughness, line);
      }
      if (!roughnessInRange(law.roughness, law.diameter)) {
        return reporter.modelError(kBadRoughness, law.roughness, law.diameter, line);
      }
      return 0;
    }
    case kLiquidOrificeVariant: {
      law.kind = LineKind::kLiquidOrifice;
      law.diameter = element.realSlots[1];
      law.discharge = field(element, 2, kSharpEdgeDischarge);
      law.density = field(element, 3, kOilDensity);
      law.viscosity = field(element, 4, kOilViscosity);
      if (check && (!(law.diameter > 0.0) || !(law.discharge > 0.0) || law.discharge > 1.0 ||
                    !(law.density > 0.0) || !(law.viscosity > 0.0))) {
        return reporter.modelError(kBadOrifice, line);
      }
      return 0;
    }
    case kAirOrificeVariant: {
      law.kind = LineKind::kAirOrifice;
      law.diameter = element.realSlots[1];
      law.discharge = field(element, 2, kSharpEdgeDischarge);
      if (check && (!(law.diameter > 0.0) || !(law.discharge > 0.0) || law.discharge > 1.0)) {
        return reporter.modelError(kBadAirOrifice, line);
      }
      return 0;
    }
    case kAirLineVariant: {
      law.kind = LineKind::kAirLine;
      law.diameter = element.realSlots[1];
      law.length = element.realSlots[2];
      law.viscosity = field(element, 3, kAirViscosity);
      law.roughness = field(element, 4, 0.0);
      if (check && (!(law.diameter > 0.0) || !(law.length > 0.0) || !(law.viscosity > 0.0) ||
                    !roughnessInRange(law.roughness, law.diameter))) {
        return reporter.modelError(kBadAirLine, line);
      }
      return 0;
    }
    default: {  // the pipe element 53: a liquid pipe, or an air orifice for a gas density
      law.diameter = element.realSlots[1];
      law.length = element.realSlots[2];
      law.density = field(element, 3, kOilDensity);
      const bool gas = law.density <= kGasDensityLimit;
      law.kind = gas ? LineKind::kAirOrifice : LineKind::kLiquidPipe;
      law.viscosity = field(element, 4, kOilViscosity);
      law.roughness = field(element, 5, 0.0);
      law.discharge = field(element, 6, kSharpEdgeDischarge);
      if (!check) return 0;
      const bool bad = gas ? !(law.diameter > 0.0) || !(law.discharge > 0.0) ||
                                 law.discharge > 1.0 || law.density < 0.0
                           : !(law.diameter > 0.0) || !(law.length > 0.0) ||
                                 !(law.viscosity > 0.0) ||
                                 !roughnessInRange(law.roughness, law.diameter);
      if (bad) return reporter.modelError(kBadData, line);
      return 0;
    }
  }
}

void record(EvaluationContext& context, const ElementEntry& element, const LineLaw& law,
            const LinePoint& point, double drop, double flow, int regime) {
  ParameterStore& store = context.model.parameters;
  const int id = element.returnBlockId;
  store[id + 1] = drop;
  store[id + 2] = flow;
  store[id + 3] = point.reynolds;
  store[id + 4] = point.friction;
  store[id + 5] = regime;
  store[id + 6] = flow / law.area();
  store[id + 7] = point.massFlow;
  store[id + 8] = drop * flow;
  store[id + 9] = flow * kLitresPerMinute;
}

int evaluateLine(EvaluationContext& context, int row, int variant) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  LineLaw law;
  if (readLaw(context, *element, variant, law) != 0) return 9;
  int32_t& regime = element->variableSlots[kRegimeSlot];
  if (run.initialPass != 0) regime = kLaminar;

  const Branch branch = branchOf(run, *element);
  const int before = regime;
  LineRow lineRow = lineRowOf(law, regime, run.X[branch.m], run.X[branch.n], branch.current);
  regime = lineRow.regime;
  run.F[branch.i] = lineRow.residual;
  run.jacobian(branch.i, branch.m) = 0.0;
  run.jacobian(branch.i, branch.n) = 0.0;
  run.jacobian(branch.i, branch.i) = 0.0;
  run.jacobian(branch.i, branch.m) += lineRow.byUpstream;
  run.jacobian(branch.i, branch.n) += lineRow.byDownstream;
  run.jacobian(branch.i, branch.i) += lineRow.byFlow;
  stampBranchCurrent(run, branch);
  voteOwnUnknown(run, circuitTolerances(context.model), branch.i,
                 element->realSlots[kVoteMemory]);
  if (regime != before) ++run.nonConvergence;

  if (recording(run)) {
    if (ownsReturnRecord(*element)) {
      record(context, *element, law, lineRow.point, branch.voltage, branch.current, regime);
    }
    if (displaying(run)) {
      if (double* display = displayRecord(context.model, *element)) {
        display[kDisplayFlow] = branch.current;
        display[kDisplayAcross] = branch.voltage;
        display[kDisplayState] = regime;
      }
    }
  }
  return 0;
}

}  // namespace

int evaluatePipe(EvaluationContext& context, int row) {
  return evaluateLine(context, row, kPipeVariant);
}

int evaluateFluidVariant(EvaluationContext& context, int row, int variant) {
  return evaluateLine(context, row, variant);
}

int evaluateLiquidOrifice(EvaluationContext& context, int row) {
  return evaluateLine(context, row, kLiquidOrificeVariant);
}
int evaluateLiquidLine(EvaluationContext& context, int row) {
  return evaluateLine(context, row, kLiquidLineVariant);
}
int evaluateAirOrifice(EvaluationContext& context, int row) {
  return evaluateLine(context, row, kAirOrificeVariant);
}
int evaluateAirLine(EvaluationContext& context, int row) {
  return evaluateLine(context, row, kAirLineVariant);
}

}  // namespace movra

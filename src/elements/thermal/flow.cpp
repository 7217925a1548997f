// Forced convection. 46: a body in a flowing fluid (flat plate along the flow,
// cylinder across it, sphere), a conductance h·A between the surface node and the
// free-stream node. 47: a stream through a tube between an inlet and an outlet
// node, each joined to an advection link; it carries the stream's enthalpy from
// inlet to outlet and publishes the film conductance of the tube for the
// heat-exchanger wall (43, shape 4) that lines it.
// Properties: the fluid table (temperature, λ, ρ, c_p, μ, β) at the mean of the
// two node temperatures, looked up on the first iteration of every step.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/thermal/thermal.h"

namespace movra {

namespace {

using thermal::kBadMaterial;
using thermal::kCouplingFloor;

constexpr char kBadNumber[] = "数値が？ \n\n %s";
constexpr char kBadShapeOrVelocity[] = "形状 or 流速が？ \n\n %s";
constexpr char kBadShapeOrMassFlow[] = "形状や流速が？ \n\n %s";
constexpr char kNotBetweenAdvections[] = "入口 or 出口が移流でない？ \n\n %s";
constexpr char kBadDimensions[] = "形状寸法が？ \n\n %s";

constexpr int kBodyInFlow = 46;
constexpr int kPlate = 1;
constexpr int kCylinder = 2;
constexpr int kSphere = 3;
constexpr int kTube = 1;

constexpr int kFluidRow = 20;
constexpr int kFluidValues = 5;
constexpr int kVoteMemory = 11;
constexpr int kInletSpecificHeat = 27;

// Pipe flow: fully developed laminar flow at constant wall temperature, and the
// Reynolds number from which the turbulent correlation takes over.
constexpr double kLaminarNusselt = 3.66;
constexpr double kTransitionReynolds = 2300.0;
// Flat plate: the laminar boundary layer turns turbulent at this Reynolds number.
constexpr double kPlateTransition = 5e5;

struct Fluid {
  double lambda, density, specificHeat, viscosity;
  double prandtl() const { return viscosity * specificHeat / lambda; }
};

int shapeOf(double value) {
  return std::isfinite(value) && value > -1e9 && value < 1e9 ? static_cast<int>(value) : 0;
}

struct Film {
  double nusselt = 0.0;
  double reynolds = 0.0;
  double h = 0.0;
  double area = 0.0;
};

// Gnielinski, with Petukhov's friction factor, for turbulent tube flow.
double gnielinski(double re, double pr) {
  const double f = std::pow(0.790 * std::log(re) - 1.64, -2.0);
  return (f / 8.0) * (re - 1000.0) * pr /
         (1.0 + 12.7 * std::sqrt(f / 8.0) * (std::pow(pr, 2.0 / 3.0) - 1.0));
}

// Tube of diameter D and length L carrying the mass flow m.
Film tubeFilm(const double* p, const Fluid& fluid) {
  Film film;
  const double d = p[3];
  film.area = kPi * d * p[4];
  film.reynolds = 4.0 * p[5] / (kPi * d * fluid.viscosity);
  film.nusselt = film.reynolds < kTransitionReynolds
                     ? kLaminarNusselt
                     : std::max(kLaminarNusselt, gnielinski(film.reynolds, fluid.prandtl()));
  film.h = film.nusselt * fluid.lambda / d;
  return film;
}

// Body of shape P2 in a stream of velocity P3: plate (length P4 along the flow,
// width P5), cylinder (diameter P4, length P5), sphere (diameter P4).
Film bodyFilm(int shape, const double* p, const Fluid& fluid) {
  Film film;
  const double u = p[3];
  const double x = p[4];
  const double pr = fluid.prandtl();
  film.reynolds = fluid.density * u * x / fluid.viscosity;
  const double re = film.reynolds;
  switch (shape) {
    case kPlate:  // laminar, or mixed laminar and turbulent boundary layer
      film.nusselt = re <= kPlateTransition
                         ? 0.664 * std::sqrt(re) * std::cbrt(pr)
                         : (0.037 * std::pow(re, 0.8) - 871.0) * std::cbrt(pr);
      film.area = x * p[5];
      break;
    case kCylinder:  // Churchill and Bernstein
      film.nusselt = 0.3 + 0.62 * std::sqrt(re) * std::cbrt(pr) /
                               std::pow(1.0 + std::pow(0.4 / pr, 2.0 / 3.0), 0.25) *
                               std::pow(1.0 + std::pow(re / 282000.0, 5.0 / 8.0), 0.8);
      film.area = kPi * x * p[5];
      break;
    default:  // sphere, Whitaker without the viscosity ratio
      film.nusselt = 2.0 + (0.4 * std::sqrt(re) + 0.06 * std::pow(re, 2.0 / 3.0)) * std::pow(pr, 0.4);
      film.area = kPi * x * x;
      break;
  }
  film.h = film.nusselt * fluid.lambda / x;
  return film;
}

bool isAdvectionAt(const Model& model, int unknown, int self) {
  for (int e = 1; e <= model.count.elements && e < kElementCapacity; ++e) {
    const ElementEntry& other = model.elements[e];
    if (e == self || other.typeCode != 42 || shapeOf(other.realSlots[2]) != 1) continue;
    if (other.variableSlots[1] == unknown || other.variableSlots[2] == unknown) return true;
  }
  return false;
}

int validate(EvaluationContext& context, ElementEntry& element, int row) {
  Reporter& reporter = context.reporter;
  const char* line = quotedLine(element);
  const double* p = element.realSlots;
  const bool body = element.typeCode == kBodyInFlow;
  const int shape = shapeOf(p[2]);
  for (int k = 2; k <= 5; ++k) {
    if (!std::isfinite(p[k])) return reporter.modelError(kBadNumber, line);
  }
  double* out = element.realSlots + kFluidRow;
  const ParameterStatement* table =
      thermal::lookupTable(context.model, thermal::materialTableId(element));
  const int a = unknownSlot(context.run, element, 1);
  const int b = unknownSlot(context.run, element, 2);
  bool positive = table != nullptr &&
                  thermal::materialRow(context.model, *table,
                                       (context.run.X[a] + context.run.X[b]) / 2.0, out,
                                       kFluidValues);
  for (int k = 1; k <= 4; ++k) positive = positive && out[k] > 0.0;
  // The stream carries its enthalpy with c_p at its inlet, as the advection links
  // do: then the inlet takes the temperature the feeding link brings.
  double inlet[kFluidValues + 1];
  positive = positive && thermal::materialRow(context.model, *table, context.run.X[a], inlet,
                                              kFluidValues) &&
             inlet[3] > 0.0;
  if (!positive) return reporter.modelError(kBadMaterial, line);
  element.realSlots[kInletSpecificHeat] = inlet[3];
  if (body && ((shape != kPlate && shape != kCylinder && shape != kSphere) || p[3] < 0.0)) {
    return reporter.modelError(kBadShapeOrVelocity, line);
  }
  if (!body && (shape != kTube || p[5] < 0.0)) {
    return reporter.modelError(kBadShapeOrMassFlow, line);
  }
  if (!body && (!isAdvectionAt(context.model, a, row) || !isAdvectionAt(context.model, b, row))) {
    return reporter.modelError(kNotBetweenAdvections, line);
  }
  const bool dimensioned = body ? p[4] > 0.0 && (shape == kSphere || p[5] > 0.0)
                                 : p[3] > 0.0 && p[4] > 0.0;
  if (!dimensioned) {
    return reporter.modelError(kBadDimensions, line);
  }
  return 0;
}

}  // namespace

// 46: G = h·A (+1e-9 W/K) between the surface a and the free stream b, as a
// conductance; leak at both nodes.
// 47: G = m·c_p (c_p at the inlet) carries the inlet enthalpy to the outlet:
//   q = G·x[a];  F[a] -= q, F[b] += q;  J[a][a] -= G, J[b][a] += G
// and h·A of the tube goes to the real slot the exchanger wall reads.
int evaluateForcedConvection(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* slots = element->realSlots;
  const bool body = element->typeCode == kBodyInFlow;
  if ((run.initialPass != 0 || isFirstIteration(run)) &&
      thermal::checkMaterialTable(context, *element) != 0) {
    return 9;
  }
  if (isFirstIteration(run) && validate(context, *element, row) != 0) return 9;

  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);
  const Fluid fluid{slots[kFluidRow + 1], slots[kFluidRow + 2], slots[kFluidRow + 3],
                    slots[kFluidRow + 4]};
  const bool known = fluid.lambda > 0.0 && fluid.density > 0.0 && fluid.specificHeat > 0.0 &&
                     fluid.viscosity > 0.0;
  Film film;
  if (known) film = body ? bodyFilm(static_cast<int>(slots[2]), slots, fluid) : tubeFilm(slots, fluid);
  const double difference = run.X[a] - run.X[b];
  double flow = 0.0;
  double watched = 0.0;
  if (body) {
    flow = thermal::stampConductance(run, a, b, film.h * film.area + kCouplingFloor);
    addLeak(run, a);
    addLeak(run, b);
    watched = flow;
  } else {
    slots[thermal::kFilmConductanceSlot] = film.h * film.area;
    const double capacityFlow =
        (std::max(slots[5], 0.0) + kCouplingFloor) * slots[kInletSpecificHeat];
    const double carried = capacityFlow * run.X[a];
    run.F[a] -= carried;
    run.F[b] += carried;
    run.jacobian(a, a) -= capacityFlow;
    run.jacobian(b, a) += capacityFlow;
    flow = capacityFlow * (run.X[b] - run.X[a]);  // heat the stream took up
    watched = difference;
  }
  voteChange(run, circuitTolerances(context.model), watched, slots[kVoteMemory]);

  if (recording(run)) {
    thermal::recordThermal(context.model, run, *element, difference, flow);
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      store[id + 14] = film.nusselt;
      store[id + 15] = film.reynolds;
      store[id + 16] = known ? fluid.prandtl() : 0.0;
      store[id + 17] = film.h;
      store[id + 18] = film.h * film.area;
      store[id + 19] = slots[kInletSpecificHeat];
      store[id + 20] = slots[kFluidRow];
    }
  }
  return 0;
}

}  // namespace movra

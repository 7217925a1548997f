// Reference rows of the fluid and thermal elements, word for word from the tables
// of their sections in the model format.
#include "note/catalogue_rows.h"

namespace movra::note {
namespace {

// A field with the default "—" has none: the element cannot do without it.
constexpr FieldInfo field(std::string_view name, std::string_view meaning, std::string_view unit,
                          std::string_view defaultText, std::string_view rangeText) {
  return {name, meaning, unit, defaultText, rangeText, defaultText == "—"};
}

constexpr NodeInfo kFluidNodes[] = {{"a", kFluid}, {"b", kFluid}};
constexpr NodeInfo kThermalNodes[] = {{"A", kThermal}, {"B", kThermal}};

constexpr FieldInfo kPressureSourceFields[] = {
    field("pressure E", "pressure E of a above b", "Pa", "0", "any"),
    field("conversion parameter c",
          "conversion parameter c: the recorded flow is q/k, k = 1e5/(c·273) for c > 0, else 1", "",
          "0", "≥ 0"),
};
constexpr ReturnValueInfo kPressureSourceReturns[] = {
    {1, "p_a − p_b", "Pa"},
    {2, "q", "m³/s"},
    {3, "q/k", ""},
};

constexpr NodeInfo kFlowSourceNodes[] = {{"a (suction)", kFluid}, {"b (delivery)", kFluid}};
constexpr FieldInfo kFlowSourceFields[] = {
    field("set flow Q", "set flow Q", "m³/s", "0", "≥ 0"),
    field("relief pressure p_r", "relief pressure p_r", "Pa", "0", "≥ 0"),
    field("conversion parameter c",
          "conversion parameter c; with c > 0 the set flow is Q·p_a/(c·273.15) and "
          "k = 1e5/(c·273.15)",
          "", "0", "≥ 0"),
};
constexpr ReturnValueInfo kFlowSourceReturns[] = {
    {1, "p_b − p_a", "Pa"},
    {2, "q", "m³/s"},
    {3, "q/k", ""},
    {9, "q in l/min", "l/min"},
    {10, "mode: −1 delivering, 0 relieving, 1 blocked", ""},
};

constexpr FieldInfo kPipeFields[] = {
    field("inner diameter d", "inner diameter d", "m", "—", "> 0"),
    field("length L", "length L (not read by the air orifice)", "m", "— for a liquid",
          "> 0 for a liquid"),
    field("density ρ", "density ρ; ≤ 100 selects the air orifice", "kg/m³", "870", "> 0"),
    field("dynamic viscosity μ", "dynamic viscosity μ", "Pa·s", "0.0278", "> 0"),
    field("wall roughness ε", "wall roughness ε (0: smooth, Blasius up to Re 1e5)", "m", "0",
          "0 to 0.05·d"),
    field("discharge coefficient C_d", "discharge coefficient C_d of the air orifice", "", "0.61",
          "0 < C_d ≤ 1"),
};
// Codes 53 and 55 to 58 record alike.
constexpr ReturnValueInfo kLineReturns[] = {
    {1, "Δp = p_a − p_b", "Pa"},
    {2, "q", "m³/s"},
    {3, "Reynolds number", ""},
    {4, "Darcy factor (0 for orifices)", ""},
    {5,
     "regime: 0 laminar, 1 Blasius, 2 Colebrook–White, 3 orifice turbulent or subsonic, 4 "
     "choked, 5 orifice linear near zero",
     ""},
    {6, "mean velocity q/A", "m/s"},
    {7, "mass flow", "kg/s"},
    {8, "Δp·q", "W"},
    {9, "q in l/min", "l/min"},
};

constexpr FieldInfo kLiquidOrificeFields[] = {
    field("diameter d", "diameter d", "m", "—", "> 0"),
    field("discharge coefficient C_d", "discharge coefficient C_d", "", "0.61", "0 < C_d ≤ 1"),
    field("density ρ", "density ρ", "kg/m³", "870", "> 0"),
    field("viscosity μ", "viscosity μ (sets the laminar limit)", "Pa·s", "0.0278", "> 0"),
};

constexpr FieldInfo kLiquidLineFields[] = {
    field("diameter d", "diameter d", "m", "—", "> 0"),
    field("length L", "length L", "m", "—", "> 0"),
    field("density ρ", "density ρ", "kg/m³", "870", "> 0"),
    field("viscosity μ", "viscosity μ", "Pa·s", "0.0278", "> 0"),
    field("roughness ε", "roughness ε", "m", "0", "0 to 0.05·d"),
};

constexpr FieldInfo kAirOrificeFields[] = {
    field("diameter d", "diameter d", "m", "—", "> 0"),
    field("discharge coefficient C_d", "discharge coefficient C_d", "", "0.61", "0 < C_d ≤ 1"),
};

constexpr FieldInfo kAirLineFields[] = {
    field("diameter d", "diameter d", "m", "—", "> 0"),
    field("length L", "length L", "m", "—", "> 0"),
    field("viscosity μ", "viscosity μ", "Pa·s", "1.81e-5", "> 0"),
    field("roughness ε", "roughness ε", "m", "0", "0 to 0.05·d"),
};

constexpr NodeInfo kCylinderNodes[] = {{"chamber 1 (bore side)", kFluid},
                                       {"chamber 2 (rod side)", kFluid}};
constexpr FieldInfo kCylinderFields[] = {
    field("area A1", "area A1 of chamber 1", "m²", "0", "≥ 0"),
    field("area A2", "area A2 of chamber 2", "m²", "0", "≥ 0"),
    field("stroke L", "stroke L", "m", "0", "≥ 0"),
    field("liquid compressibility β", "liquid compressibility β (1/bulk modulus; 0 incompressible)",
          "1/Pa", "0", "≥ 0"),
    field("gas coefficient c_g",
          "gas coefficient c_g (> 0 selects the gas formula; 101300·300/(273.15·273) = 407.6 "
          "gives normal flows of air at 300 K)",
          "", "0", "≥ 0, not with β > 0"),
    field("mechanical node A", "mechanical node A (the body's mount)", "", "0",
          "node id, a whole number 0 to 200"),
    field("mechanical node B", "mechanical node B (the rod end)", "", "0",
          "node id, a whole number 0 to 200"),
    field("axis offset φ0",
          "axis offset φ0 from node A's rotation; empty: the direction from A to B at the start",
          "deg", "from `.in`", "any"),
};
constexpr ReturnValueInfo kCylinderReturns[] = {
    {1, "p1 − p2", "Pa"},
    {2, "(q2 − q1)/2", "m³/s"},
    {3, "−q1 (flow drawn into chamber 1)", "m³/s"},
    {4, "q2 (pushed out of chamber 2)", "m³/s"},
    {7, "ṡ", "m/s"},
    {8, "ṡ times the value at offset 5 of its block", ""},
    {9, "−p1·q1 − p2·q2", "W"},
    {11, "F_x", "N"},
    {12, "F_y", "N"},
    {13, "|F|", "N"},
    {14, "direction of F", "deg"},
    {15, "s", "m"},
    {16, "s − s0", "m"},
    {17, "ℓ1", "m"},
    {18, "ℓ2", "m"},
    {19, "s0", "m"},
};

constexpr FieldInfo kTemperatureDifferenceFields[] = {
    field("temperature difference dT", "temperature difference dT held as x[A] − x[B]", "°C", "0",
          "any"),
};
constexpr ReturnValueInfo kTemperatureDifferenceReturns[] = {
    {1, "temperature difference", "°C"},
    {2, "heat flow", "W"},
    {3, "−difference·flow", ""},
    {5, "energy", ""},
    {10, "energy", ""},
    {11, "mean temperature difference over the last PWM period", "°C"},
    {12, "mean heat flow over the last PWM period", "W"},
    {13, "mean of −difference·flow over the last PWM period", ""},
};

constexpr FieldInfo kHeatFlowSourceFields[] = {
    field("material table", "material table (mode 1)", "", "none", "a `:u` table, mode 1 only"),
    field("mode", "mode: 0 heat-flow source, 1 advection", "", "0", "0 or 1"),
    field("heat flow or mass flow", "mode 0: heat flow from A to B; mode 1: mass flow from A to B",
          "W; kg/s", "0", "≥ 0 in mode 1"),
};
constexpr ReturnValueInfo kHeatFlowSourceReturns[] = {
    {1, "temperature difference", "°C"},
    {2, "field 3", ""},
    {6, "the heat carried", "W"},
};

constexpr FieldInfo kWallFields[] = {
    field("material table", "material table: λ, ρ, c_p", "", "—", "a `:u` table of the model"),
    field("shape", "shape: 1 slab, 2 or 20 sphere, 3 or 30 cylinder, 4 exchanger tube", "", "—",
          "1, 2, 3, 4, 20, 30"),
    field("area or inner radius", "area (slab) or inner radius r1 (spheres, cylinders, tube)",
          "m² or m", "0", "> 0 (slab); ≥ 0, below r2 (others)"),
    field("thickness or outer radius", "thickness (slab) or outer radius r2", "m", "—", "> 0"),
    field("length L", "length L (cylinders, tube)", "m", "0", "> 0 (shapes 3, 4)"),
    field("not used", "(not used)", "", "", ""),
    field("heat generated", "heat generated in the wall", "W", "0", "any"),
};
constexpr NodeInfo kWallNodes[] = {{"face A", kThermal}, {"face B", kThermal}};
constexpr ReturnValueInfo kWallReturns[] = {
    {1, "x[A] − x[B]", "°C"},
    {2, "the flow through the wall from A to B (shape 4: Q)", "W"},
    {3, "−difference·flow", ""},
    {6, "heat entering at face A (shape 4: UA, W/K)", "W"},
    {7, "heat leaving at face B (shape 4: ΔT_lm, K)", "W"},
    {9, "middle temperature", "°C"},
    {14, "conductance of the first half", "W/K"},
    {15, "conductance of the second half", "W/K"},
    {16, "heat capacity", "J/K"},
    {17, "outer surface", "m²"},
    {18, "rate the wall stores heat", "W"},
};

constexpr NodeInfo kBodyInFluidNodes[] = {{"surface", kThermal}, {"fluid", kThermal}};
constexpr FieldInfo kNaturalConvectionBodyFields[] = {
    field("material table", "material table of the fluid: λ, ρ, c_p, μ, β", "", "—",
          "a `:u` table of the model"),
    field("shape",
          "shape: 1 inclined plate, 2 sphere, 3 horizontal cylinder, 103 or 130 concentric "
          "cylinders",
          "", "—", "1, 2, 3, 103, 130"),
    field("length or radius", "length a (plate), radius (sphere, cylinder) or r1 (103, 130)", "m",
          "—", "> 0"),
    field("width or length", "width b (plate), length (cylinder) or r2 (103, 130)", "m", "0",
          "> 0 (plate, cylinder); ≥ r1 (103, 130)"),
    field("orientation or length",
          "orientation o (plate): 1 heated side up, 0 vertical, −1 heated side down; L (103, 130)",
          "", "0", "−1 to 1 (plate); > 0 (103, 130)"),
};
// Natural convection records alike on either keyword.
constexpr ReturnValueInfo kNaturalConvectionReturns[] = {
    {1, "temperature difference", "°C"},
    {2, "q", "W"},
    {3, "Nu (or the conductivity ratio)", ""},
    {4, "Ra", ""},
    {5, "Pr", ""},
    {6, "H/δ (vertical gap)", ""},
    {7, "λ", "W/(m·K)"},
    {8, "c_p", "J/(kg·K)"},
    {9, "β", "1/K"},
    {10, "the mean temperature", "°C"},
    {14, "h", "W/(m²·K)"},
    {15, "A", "m²"},
    {16, "G", "W/K"},
    {17, "1 when the correlation is used outside its range", ""},
};

constexpr NodeInfo kGapWallNodes[] = {{"first wall", kThermal}, {"second wall", kThermal}};
constexpr FieldInfo kNaturalConvectionGapFields[] = {
    field("material table", "material table of the fluid: λ, ρ, c_p, μ, β", "", "—",
          "a `:u` table of the model"),
    field("shape", "shape: 1 plate gap, 2 concentric spheres, 3, 103 or 130 concentric cylinders",
          "", "—", "1, 2, 3, 103, 130"),
    field("height or inner radius", "height H (plate gap) or r1", "m", "—", "> 0"),
    field("width or outer radius", "width W (plate gap) or r2", "m", "—", "> 0; r2 ≥ r1"),
    field("gap or length", "gap δ (plate gap) or L (cylinders)", "m", "0", "≥ 0; L > 0"),
    field("orientation",
          "orientation o (plate gap): 1 heated side up, 0 vertical, −1 heated side down", "", "0",
          "−1 to 1"),
};

constexpr FieldInfo kForcedConvectionBodyFields[] = {
    field("material table", "material table of the fluid: λ, ρ, c_p, μ, β", "", "—",
          "a `:u` table of the model"),
    field("shape", "shape: 1 flat plate along the flow, 2 cylinder across the flow, 3 sphere", "",
          "—", "1 to 3"),
    field("flow velocity u", "flow velocity u", "m/s", "0", "≥ 0"),
    field("length or diameter", "x: length along the flow (plate) or diameter", "m", "—", "> 0"),
    field("width or length", "y: width (plate) or length (cylinder)", "m", "0",
          "> 0 (plate, cylinder)"),
};
constexpr ReturnValueInfo kForcedConvectionReturns[] = {
    {1, "x[A] − x[B]", "°C"},
    {2, "the heat flow", "W"},
    {14, "Nu", ""},
    {15, "Re", ""},
    {16, "Pr", ""},
    {17, "h", "W/(m²·K)"},
    {18, "h·A", "W/K"},
    {19, "c_p", "J/(kg·K)"},
    {20, "the lookup temperature", "°C"},
};

constexpr NodeInfo kStreamNodes[] = {{"inlet", kThermal}, {"outlet", kThermal}};
constexpr FieldInfo kForcedConvectionStreamFields[] = {
    field("material table", "material table of the fluid: λ, ρ, c_p, μ, β", "", "—",
          "a `:u` table of the model"),
    field("shape", "shape: 1 tube", "", "—", "1"),
    field("tube diameter D", "tube diameter D", "m", "—", "> 0"),
    field("tube length L", "tube length L", "m", "—", "> 0"),
    field("mass flow m", "mass flow m", "kg/s", "0", "≥ 0"),
};

constexpr FieldInfo kRadiationFields[] = {
    field("material table", "material table: ε at node 1, ε at node 2", "", "— for shapes 1 to 4",
          "a `:u` table of the model"),
    field("shape",
          "shape: 1 parallel plates, 2 concentric spheres, 3 coaxial cylinders, 4 surface "
          "resistance, 5 space resistance",
          "", "—", "1 to 5"),
    field("first size", "A1 (shape 1), r1 (2, 3), r (4; negative: concave) or d (5)", "m² or m",
          "0", ""),
    field("second size", "A2 (shape 1, A2 ≥ A1), r2 (2, 3) or L (4)", "m² or m", "0", ""),
    field("length L", "L (shape 3)", "m", "0", ""),
};
constexpr ReturnValueInfo kRadiationReturns[] = {
    {1, "temperature difference", "°C"},
    {2, "q", "W"},
    {4, "A (shape 4)", "m²"},
    {5, "F (shape 5)", ""},
    {7, "K", "W/K⁴"},
    {8, "ε1", ""},
    {9, "ε2", ""},
};

static_assert(fieldsConsistent(kPressureSourceFields) && fieldsConsistent(kFlowSourceFields) &&
              fieldsConsistent(kPipeFields) && fieldsConsistent(kLiquidOrificeFields) &&
              fieldsConsistent(kLiquidLineFields) && fieldsConsistent(kAirOrificeFields) &&
              fieldsConsistent(kAirLineFields) && fieldsConsistent(kCylinderFields) &&
              fieldsConsistent(kTemperatureDifferenceFields) &&
              fieldsConsistent(kHeatFlowSourceFields) && fieldsConsistent(kWallFields) &&
              fieldsConsistent(kNaturalConvectionBodyFields) &&
              fieldsConsistent(kNaturalConvectionGapFields) &&
              fieldsConsistent(kForcedConvectionBodyFields) &&
              fieldsConsistent(kForcedConvectionStreamFields) &&
              fieldsConsistent(kRadiationFields));
static_assert(returnValuesConsistent(kPressureSourceReturns) &&
              returnValuesConsistent(kFlowSourceReturns) && returnValuesConsistent(kLineReturns) &&
              returnValuesConsistent(kCylinderReturns) &&
              returnValuesConsistent(kTemperatureDifferenceReturns) &&
              returnValuesConsistent(kHeatFlowSourceReturns) &&
              returnValuesConsistent(kWallReturns) &&
              returnValuesConsistent(kNaturalConvectionReturns) &&
              returnValuesConsistent(kForcedConvectionReturns) &&
              returnValuesConsistent(kRadiationReturns));

}  // namespace

extern const KeywordReference kPressureSourceRows{kFluidNodes, kPressureSourceFields,
                                                  kPressureSourceReturns};
extern const KeywordReference kFlowSourceRows{kFlowSourceNodes, kFlowSourceFields,
                                              kFlowSourceReturns};
extern const KeywordReference kPipeRows{kFluidNodes, kPipeFields, kLineReturns};
extern const KeywordReference kLiquidOrificeRows{kFluidNodes, kLiquidOrificeFields, kLineReturns};
extern const KeywordReference kLiquidLineRows{kFluidNodes, kLiquidLineFields, kLineReturns};
extern const KeywordReference kAirOrificeRows{kFluidNodes, kAirOrificeFields, kLineReturns};
extern const KeywordReference kAirLineRows{kFluidNodes, kAirLineFields, kLineReturns};
extern const KeywordReference kCylinderRows{kCylinderNodes, kCylinderFields, kCylinderReturns};
extern const KeywordReference kTemperatureDifferenceRows{
    kThermalNodes, kTemperatureDifferenceFields, kTemperatureDifferenceReturns};
extern const KeywordReference kHeatFlowSourceRows{kThermalNodes, kHeatFlowSourceFields,
                                                  kHeatFlowSourceReturns};
extern const KeywordReference kWallRows{kWallNodes, kWallFields, kWallReturns};
extern const KeywordReference kNaturalConvectionBodyRows{
    kBodyInFluidNodes, kNaturalConvectionBodyFields, kNaturalConvectionReturns};
extern const KeywordReference kNaturalConvectionGapRows{kGapWallNodes, kNaturalConvectionGapFields,
                                                        kNaturalConvectionReturns};
extern const KeywordReference kForcedConvectionBodyRows{
    kBodyInFluidNodes, kForcedConvectionBodyFields, kForcedConvectionReturns};
extern const KeywordReference kForcedConvectionStreamRows{
    kStreamNodes, kForcedConvectionStreamFields, kForcedConvectionReturns};
extern const KeywordReference kRadiationRows{kThermalNodes, kRadiationFields, kRadiationReturns};

}  // namespace movra::note

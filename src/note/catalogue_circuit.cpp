// Reference rows of the circuit and magnetic-circuit elements. Meanings, units,
// defaults and ranges are the cells of their tables in the reference, word for word.
#include "note/catalogue_rows.h"

namespace movra::note {
namespace {

// A field with the default "—" has none: the element cannot do without it.
constexpr FieldInfo field(std::string_view name, std::string_view meaning, std::string_view unit,
                          std::string_view defaultText, std::string_view rangeText) {
  return {name, meaning, unit, defaultText, rangeText, defaultText == "—"};
}

constexpr NodeInfo kTwoCircuitNodes[] = {{"first node", kElectrical}, {"second node", kElectrical}};

constexpr FieldInfo kVoltageSourceFields[] = {
    field("source voltage E", "source voltage E: x[first] − x[second] = E + R·i", "V", "0", "any"),
    field("series resistance R", "series resistance R", "Ω", "0", "≥ 0"),
};
constexpr ReturnValueInfo kVoltageSourceReturns[] = {
    {1, "voltage", "V"},
    {2, "current", "A"},
    {3, "power −V·i (positive while it delivers)", "W"},
    {4, "energy", "J"},
    {5, "energy", "J"},
    {8, "power", "W"},
    {10, "energy", "J"},
    {11, "mean voltage over the last PWM period", "V"},
    {12, "mean current over the last PWM period", "A"},
    {13, "mean power over the last PWM period", "W"},
};

constexpr FieldInfo kCurrentSourceFields[] = {
    field("source current I",
          "source current I, flowing from the first node through the source to the second: it "
          "is drawn out of the circuit at the first node and pushed into it at the second",
          "A", "0", "any"),
};
constexpr ReturnValueInfo kCurrentSourceReturns[] = {
    {1, "voltage x[first] − x[second]", "V"},
    {2, "current", "A"},
    {3, "power −V·I", "W"},
    {8, "power", "W"},
    {9, "energy", "J"},
};

constexpr FieldInfo kResistorFields[] = {
    field("resistance R",
          "resistance R; write 0 for a short (the current is still solved), an empty field is "
          "taken for a forgotten value",
          "Ω", "—", "≥ 0"),
    field("switch state", "(only used by a resistor the editor marks as a switch)", "", "", ""),
    field("resistance for current flowing backwards",
          "resistance for current flowing backwards (second to first node); left out, the "
          "resistor is the same both ways",
          "Ω", "field 1", "≥ 0"),
};
constexpr ReturnValueInfo kResistorReturns[] = {
    {1, "voltage", "V"},
    {2, "current", "A"},
    {3, "power −V·i", "W"},
    {6, "the resistance in use", "Ω"},
    {8, "power", "W"},
    {10, "energy", "J"},
    {11, "mean voltage over the last PWM period", "V"},
    {12, "mean current over the last PWM period", "A"},
    {13, "mean power over the last PWM period", "W"},
};

constexpr FieldInfo kCapacitorFields[] = {
    field("capacitance C", "capacitance C", "F", "0", "≥ 0"),
};
constexpr ReturnValueInfo kCapacitorReturns[] = {
    {1, "voltage", "V"},
    {2, "current", "A"},
    {3, "power V·i", "W"},
};

constexpr FieldInfo kInductorFields[] = {
    field("inductance L", "inductance L", "H", "0", "≥ 0"),
    field("series resistance R", "series resistance R", "Ω", "0", "≥ 0"),
    field("starting current", "starting current, held by the starting solution", "A",
          "(as the starting solution leaves it)", ""),
};
constexpr ReturnValueInfo kInductorReturns[] = {
    {0, "voltage (as +1)", "V"},
    {1, "voltage", "V"},
    {2, "current", "A"},
    {3, "power V·i", "W"},
};

// Its nodes take the kind the other elements give them: circuit or mechanical.
constexpr NodeInfo kSwitchNodes[] = {{"first node", kNoDomain}, {"second node", kNoDomain}};
constexpr FieldInfo kSwitchFields[] = {
    field("closing threshold", "closing threshold: the switch is \"on\" once u > field 1", "as u",
          "0", "≥ field 2"),
    field("opening threshold", "opening threshold: \"off\" once u ≤ field 2", "as u", "0",
          "≤ field 1"),
    field("delay", "delay: while it changes over, neither on nor off conducts", "s", "0", "≥ 0"),
    field("resistance while conducting", "resistance while conducting", "Ω", "0", "≥ 0"),
    field("contact kind",
          "contact kind: 0 conducts while on (normally open), non-zero conducts while off "
          "(normally closed)",
          "", "0", ""),
    field("controlling value u",
          "controlling value u, usually a reference such as `p30` (the PWM signal) or `c1102`", "",
          "0", ""),
    field("return value to show", "id of a return value to show beside the switch", "", "0", ""),
};
constexpr ReturnValueInfo kSwitchReturns[] = {
    {1, "voltage", "V"},
    {2, "current", "A"},
    {3, "power", "W"},
    {5, "u", ""},
    {6, "conducting (1 or 0)", ""},
    {10, "field 7", ""},
    {11, "u", ""},
    {12, "the value of return value field 7", ""},
    {13, "field 1", ""},
    {14, "field 2", ""},
    {15, "field 3", "s"},
    {16, "field 5", ""},
    {18, "on flag", ""},
    {19, "off flag", ""},
};

constexpr NodeInfo kAmplifierNodes[] = {{"non-inverting input", kElectrical},
                                        {"inverting input", kElectrical},
                                        {"output", kElectrical}};
constexpr FieldInfo kAmplifierFields[] = {
    field("upper output limit", "upper output limit", "V", "0", "> field 2"),
    field("lower output limit", "lower output limit", "V", "0", "< field 1"),
    field("gain A", "gain A", "V/V", "—", "> 0"),
    field("output resistance", "output resistance", "Ω", "—", "> 0.001"),
    field("input resistance", "input resistance between the inputs", "Ω", "—", "> 0.001"),
};
constexpr ReturnValueInfo kAmplifierReturns[] = {
    {1, "output voltage", "V"},
    {2, "output current", "A"},
    {3, "output power", "W"},
    {4, "input voltage difference", "V"},
    {5, "state: 1 at the upper limit, 0 linear, −1 at the lower", ""},
};

constexpr NodeInfo kDiodeNodes[] = {{"anode", kElectrical}, {"cathode", kElectrical}};
constexpr FieldInfo kDiodeFields[] = {
    field("forward voltage V_F", "forward voltage V_F", "V", "—",
          "≥ 0.1; a negative value means \"not given\": the default junction Is = 1e-14 A, n = 1"),
    field("forward current I_F", "forward current I_F at V_F", "A",
          "0 = not given: the knee (dI/dV = 1/√2 S) is put at V_F", "≥ 0"),
    field("reverse voltage", "reverse (breakdown) voltage of the pair", "V",
          "empty: a single diode", "> 0 when written"),
    field("reverse current", "current of the pair's reverse diode at field 3", "A",
          "0 = the knee at field 3", "≥ 0"),
};
constexpr ReturnValueInfo kDiodeReturns[] = {
    {1, "V = x[anode] − x[cathode]", "V"},
    {2, "current", "A"},
    {3, "power −V·I", "W"},
    {5, "Is", "A"},
    {6, "knee voltage V_x", "V"},
    {8, "emission coefficient n", ""},
    {9, "energy", "J"},
};

constexpr NodeInfo kMosfetNodes[] = {
    {"drain", kElectrical}, {"gate", kElectrical}, {"source", kElectrical}};
constexpr FieldInfo kMosfetFields[] = {
    field("threshold voltage V_t", "threshold voltage V_t", "V", "—", "> 0"),
    field("on-resistance R_on", "on-resistance R_on", "Ω", "—", "> 0, ≤ 1000"),
    field("gate-source voltage V_on", "gate-source voltage V_on at which R_on holds", "V", "—",
          "> V_t"),
    field("drain current I_on", "drain current I_on at which R_on holds", "A", "—",
          "> 0, with I_on·R_on ≤ V_on − V_t"),
    field("gate capacitance C_g", "gate capacitance C_g, half to the drain, half to the source",
          "F", "0", "≥ 0"),
};
constexpr ReturnValueInfo kMosfetReturns[] = {
    {1, "V_DS", "V"},
    {2, "drain current, channel plus body diode", "A"},
    {3, "power −V_DS·I", "W"},
    {4, "channel current", "A"},
    {5, "body-diode current, drain to source", "A"},
    {6, "V_GS", "V"},
    {7, "K", "A/V²"},
    {9, "energy", "J"},
    {11, "mean V_DS over the latest PWM period", "V"},
    {12, "mean drain current over the latest PWM period", "A"},
    {13, "mean power over the latest PWM period", "W"},
};

constexpr NodeInfo kTransistorNodes[] = {
    {"collector", kElectrical}, {"base", kElectrical}, {"emitter", kElectrical}};
constexpr FieldInfo kTransistorFields[] = {
    field("forward current gain β_F", "forward current gain β_F", "", "—", "> 0"),
    field("saturation current Is", "saturation current Is", "A", "1e-14 (empty or 0)", "≥ 0"),
    field("reverse current gain β_R", "reverse current gain β_R", "", "1 (empty or 0)", "≥ 0"),
};
constexpr ReturnValueInfo kTransistorReturns[] = {
    {1, "V_CE", "V"},
    {2, "collector current into the collector", "A"},
    {3, "power −(V_CE·I_C + V_BE·I_B)", "W"},
    {4, "base current into the base", "A"},
    {5, "V_BE", "V"},
    {6, "emitter current out of the emitter", "A"},
    {7, "I_C/I_B", ""},
    {9, "energy", "J"},
};

constexpr NodeInfo kMotorNodes[] = {{"armature terminal m", kElectrical},
                                    {"armature terminal n", kElectrical}};
constexpr FieldInfo kMotorFields[] = {
    field("motor constant K", "motor constant K (torque per ampere = volts per rad/s)", "N·m/A",
          "0", "≥ 0"),
    field("armature resistance R", "armature resistance R", "Ω", "0", "≥ 0"),
    field("armature inductance L", "armature inductance L", "H", "0", "≥ 0"),
    field("stator node", "stator node id (0: the fixed frame)", "", "0",
          "a mechanical node with a rotation"),
    field("rotor node", "rotor node id (0: the fixed frame)", "", "0",
          "a mechanical node with a rotation; fields 4 and 5 not both left out"),
};
constexpr ReturnValueInfo kMotorReturns[] = {
    {1, "V = x[m] − x[n]", "V"},
    {2, "i", "A"},
    {3, "electrical power V·i", "W"},
    {5, "electrical energy ∫V·i dt", "J"},
    {6, "torque K·i", "N·m"},
    {7, "ω", "rad/s"},
    {8, "mechanical power K·i·ω", "W"},
    {9, "mechanical energy", "J"},
    {10, "efficiency +8/+3", ""},
    {11, "mean V over the last PWM period", "V"},
    {12, "mean i over the last PWM period", "A"},
    {13, "mean V·i over the last PWM period", "W"},
    {48, "efficiency +8/+3", ""},
    {51, "sum kept for the PWM-period means", ""},
    {52, "sum kept for the PWM-period means", ""},
    {53, "sum kept for the PWM-period means", ""},
    {54, "sum kept for the PWM-period means", ""},
};

constexpr NodeInfo kTwoPortNodes[] = {{"terminal a of port 1", kElectrical},
                                      {"terminal b of port 1", kElectrical}};
constexpr FieldInfo kTwoPortFields[] = {
    field("α", "α; for a winding the number of turns N", "", "—",
          "≠ 0 (abs(α) below 1e-9 counts as 1e-9)"),
    field("β", "β; for a winding its resistance", "Ω", "0", "≥ 0 (below 1e-9 counts as 1e-9)"),
    field("node c of port 2", "node id c of port 2", "", "0", "a node of the model, or ground"),
    field("node d of port 2", "node id d of port 2", "", "0", "a node of the model, or ground"),
};
constexpr ReturnValueInfo kTwoPortReturns[] = {
    {1, "V_1 = x[a] − x[b]", "V"},
    {2, "i_1", "A"},
    {3, "power into port 1 V_1·i_1", "W"},
    {4, "V_2 = x[d] − x[c] (A-turns for a winding)", ""},
    {5, "i_2 (the flux, Wb, for a winding)", ""},
    {6, "di_2/dt (V per turn)", "V"},
    {7, "power handed to port 2, V_2·di_2/dt", "W"},
    {8, "loss β·i_1²", "W"},
    {9, "energy ∫+3 dt", "J"},
    {10, "energy ∫+7 dt", "J"},
    {11, "mean V_1 over the last PWM period", "V"},
    {12, "mean i_1 over the last PWM period", "A"},
    {13, "mean power into port 1 over the last PWM period", "W"},
};

constexpr NodeInfo kCoreNodes[] = {{"m", kMagnetic}, {"n", kMagnetic}};
constexpr FieldInfo kCoreFields[] = {
    field("cross-section A", "cross-section A", "m²", "0", "≥ 0"),
    field("path length l", "path length l", "m", "—", "> 0 (below 1e-9 counts as 1e-9)"),
    field("relative recoil permeability", "relative recoil permeability μ_a/μ0", "", "0", "≥ 0"),
    field("remanent flux density B_r", "remanent flux density B_r", "T", "0", "≥ 0"),
    field("coercive field H_c", "coercive field H_c", "A/m", "0", "≥ 0"),
    field("relative steep slope", "relative slope of the steep branches μ_s/μ0", "", "10·field 3",
          "above field 3"),
    field("flux-density offset B_0", "flux-density offset B_0, applied once whenever it changes",
          "T", "0", ""),
};
constexpr ReturnValueInfo kCoreReturns[] = {
    {1, "H", "A/m"},
    {2, "B", "T"},
    {3, "x[m] − x[n]", "A"},
    {4, "Φ", "Wb"},
    {5, "B·H", "J/m³"},
    {6, "B_r", "T"},
    {7, "x[m]", "A"},
    {8, "x[n]", "A"},
    {9, "power taken in (x[m] − x[n])·dΦ/dt", "W"},
    {11, "B_0", "T"},
    {12, "the B intercept of the present recoil line", "T"},
    {13, "branch state: 0 recoil, ±1 steep, ±2 saturated", ""},
    {14, "μ_s", "H/m"},
    {15, "μ_a", "H/m"},
    {16, "branch state: 0 recoil, ±1 steep, ±2 saturated", ""},
    {17, "R", "A/m"},
    {70, "(x[m] − x[n])·Φ/2", "J"},
};

constexpr FieldInfo kMaterialCoreFields[] = {
    field("cross-section A", "cross-section A", "m²", "—", "> 0"),
    field("path length l", "path length l", "m", "—", "> 0"),
    field("relative steep slope", "relative steep slope μ_st/μ0", "", "—", "> 0"),
    field("remanent flux density B_r", "remanent flux density B_r", "T", "0", "≥ 0"),
    field("coercive field H_c", "coercive field H_c", "A/m", "0", "≥ 0"),
    field("relative recoil slope", "relative recoil slope μ_rec/μ0", "", "0.1·field 3",
          "below field 3 in the loop mode; any in the linear and steep-only modes, which take "
          "their slope as written"),
    field("knee remanence",
          "knee remanence: when above 0, R = (field 7 + μ_st·H_c)/(μ_st − μ_rec), the recoil "
          "intercepts are held within ±field 7 and the saturation starts at μ_st·(R − H_c)",
          "T", "0", ""),
    field("B at H = 0", "B at H = 0 in the linear mode", "T", "0", ""),
    field("material statement", "id of the material statement (the plain number, not `p300`)", "",
          "—", "a `:u` table of the model"),
};

static_assert(fieldsConsistent(kVoltageSourceFields) && fieldsConsistent(kCurrentSourceFields) &&
              fieldsConsistent(kResistorFields) && fieldsConsistent(kCapacitorFields) &&
              fieldsConsistent(kInductorFields) && fieldsConsistent(kSwitchFields) &&
              fieldsConsistent(kAmplifierFields) && fieldsConsistent(kDiodeFields) &&
              fieldsConsistent(kMosfetFields) && fieldsConsistent(kTransistorFields) &&
              fieldsConsistent(kMotorFields) && fieldsConsistent(kTwoPortFields) &&
              fieldsConsistent(kCoreFields) && fieldsConsistent(kMaterialCoreFields));
static_assert(returnValuesConsistent(kVoltageSourceReturns) &&
              returnValuesConsistent(kCurrentSourceReturns) &&
              returnValuesConsistent(kResistorReturns) &&
              returnValuesConsistent(kCapacitorReturns) &&
              returnValuesConsistent(kInductorReturns) && returnValuesConsistent(kSwitchReturns) &&
              returnValuesConsistent(kAmplifierReturns) && returnValuesConsistent(kDiodeReturns) &&
              returnValuesConsistent(kMosfetReturns) &&
              returnValuesConsistent(kTransistorReturns) && returnValuesConsistent(kMotorReturns) &&
              returnValuesConsistent(kTwoPortReturns) && returnValuesConsistent(kCoreReturns));

}  // namespace

extern const KeywordReference kVoltageSourceRows{kTwoCircuitNodes, kVoltageSourceFields,
                                                 kVoltageSourceReturns};
extern const KeywordReference kCurrentSourceRows{kTwoCircuitNodes, kCurrentSourceFields,
                                                 kCurrentSourceReturns};
extern const KeywordReference kResistorRows{kTwoCircuitNodes, kResistorFields, kResistorReturns};
extern const KeywordReference kCapacitorRows{kTwoCircuitNodes, kCapacitorFields, kCapacitorReturns};
extern const KeywordReference kInductorRows{kTwoCircuitNodes, kInductorFields, kInductorReturns};
extern const KeywordReference kSwitchRows{kSwitchNodes, kSwitchFields, kSwitchReturns};
extern const KeywordReference kAmplifierRows{kAmplifierNodes, kAmplifierFields, kAmplifierReturns};
extern const KeywordReference kDiodeRows{kDiodeNodes, kDiodeFields, kDiodeReturns};
extern const KeywordReference kMosfetRows{kMosfetNodes, kMosfetFields, kMosfetReturns};
extern const KeywordReference kTransistorRows{kTransistorNodes, kTransistorFields,
                                              kTransistorReturns};
extern const KeywordReference kMotorRows{kMotorNodes, kMotorFields, kMotorReturns};
extern const KeywordReference kTwoPortRows{kTwoPortNodes, kTwoPortFields, kTwoPortReturns};
extern const KeywordReference kCoreRows{kCoreNodes, kCoreFields, kCoreReturns};
extern const KeywordReference kMaterialCoreRows{kCoreNodes, kMaterialCoreFields, kCoreReturns};

}  // namespace movra::note

#include "note/catalogue.h"

#include <array>

#include "note/catalogue_rows.h"

namespace movra::note {
namespace {

using enum Category;

// Element node counts follow from the type code; a row only needs the code.
constexpr int elementNodes(int typeCode) {
  return typeCode >= 30 && typeCode <= 39 ? 3 : 2;
}

constexpr CatalogueEntry element(std::string_view keyword, int typeCode, int domain,
                                 std::string_view description) {
  return {keyword, typeCode, kElement, elementNodes(typeCode), domain, description};
}

constexpr CatalogueEntry withFieldNodes(CatalogueEntry entry, int first, int last, int domain) {
  entry.fieldNodes = {first, last, domain};
  return entry;
}

constexpr CatalogueEntry withOutputItems(CatalogueEntry entry, int first, int last) {
  entry.outputItems = {first, last};
  return entry;
}

constexpr CatalogueEntry withNodeOfItsOwn(CatalogueEntry entry, int node) {
  entry.nodeOfItsOwn = node;
  return entry;
}

constexpr CatalogueEntry capacitor(CatalogueEntry entry) {
  entry.blocksSteadyCurrent = true;
  return entry;
}

constexpr CatalogueEntry source(CatalogueEntry entry) {
  entry.joinsNodes = false;
  return entry;
}

constexpr CatalogueEntry with(CatalogueEntry entry, const KeywordReference& reference) {
  entry.reference = &reference;
  return entry;
}

constexpr CatalogueEntry statement(std::string_view keyword, int typeCode, Category category,
                                   std::string_view description) {
  return {keyword, typeCode, category, 0, kNoDomain, description};
}

// Adding a keyword means adding one row here (and the row in docs/model-format.md).
// Aliases the simulator folds ("Qp" to "qn", "af" to "U", ...) have rows of their own.
constexpr auto kCatalogue = std::to_array<CatalogueEntry>({
    // Planar mechanism.
    with(element("lr", 6, kMechanical, "rigid link"), kRigidLinkRows),
    with(element("lb", 7, kMechanical, "elastic beam"), kBeamRows),
    with(element("ls", 8, kMechanical, "slider joint"), kSliderRows),
    with(element("sp", 9, kMechanical, "combined spring"), kCombinedSpringRows),
    with(element("tr", 10, kMechanical, "rotary spring, damper and friction"), kRotarySpringRows),
    with(element("mj", 11, kMechanical, "body: mass and moment of inertia"), kBodyRows),
    with(element("b", 11, kMechanical, "body"), kBodyRows),
    with(element("ge", 12, kMechanical, "gear element of one radius"), kGearOfOneRadiusRows),
    with(element("gs", 13, kMechanical, "gear mesh"), kGearMeshRows),
    with(element("pu", 14, kMechanical, "pulley and belt"), kPulleyRows),
    with(element("st", 15, kMechanical, "gear pair"), kGearPairRows),
    with(element("wh", 16, kMechanical, "wheel on a support set"), kWheelRows),
    with(element("pc", 17, kMechanical, "rigid joint"), kRigidJointRows),
    with(element("fc", 18, kMechanical, "applied force"), kAppliedForceRows),
    with(element("cb", 62, kMechanical, "cone or cylinder contact"), kFrictionDriveRows),
    with(element("gap", 65, kMechanical, "gap contact"), kGapRows),
    // Circuit.
    with(element("V", 21, kElectrical, "voltage source"), kVoltageSourceRows),
    with(source(element("I", 22, kElectrical, "current source")), kCurrentSourceRows),
    with(element("R", 23, kElectrical, "resistor"), kResistorRows),
    with(capacitor(element("C", 24, kElectrical, "capacitor")), kCapacitorRows),
    with(element("D", 25, kElectrical, "diode"), kDiodeRows),
    with(element("L", 26, kElectrical, "inductor"), kInductorRows),
    with(element("Sw", 27, kElectrical, "controlled switch"), kSwitchRows),
    with(element("Ry", 27, kElectrical, "relay contact"), kSwitchRows),
    with(withFieldNodes(element("Md", 20, kElectrical, "DC motor"), 4, 5, kMechanical), kMotorRows),
    with(withFieldNodes(element("em0", 20, kElectrical, "DC motor"), 4, 5, kMechanical),
         kMotorRows),
    with(withFieldNodes(element("Mdc", 20, kElectrical, "DC motor"), 4, 5, kMechanical),
         kMotorRows),
    with(withFieldNodes(element("Gr", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
         kTwoPortRows),
    with(withFieldNodes(element("Gr_", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
         kTwoPortRows),
    with(withFieldNodes(element("Gp", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
         kTwoPortRows),
    with(withFieldNodes(element("_Gp", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
         kTwoPortRows),
    with(element("Q", 31, kElectrical, "transistor"), kTransistorRows),
    with(element("Qn", 31, kElectrical, "transistor"), kTransistorRows),
    with(element("Qp", 31, kElectrical, "transistor, p variant"), kTransistorRows),
    with(element("qn", 31, kElectrical, "transistor"), kTransistorRows),
    with(element("M", 32, kElectrical, "MOSFET switch"), kMosfetRows),
    with(element("Mn", 32, kElectrical, "MOSFET switch"), kMosfetRows),
    with(element("Mp", 32, kElectrical, "MOSFET switch, p variant"), kMosfetRows),
    with(element("Pm", 32, kElectrical, "MOSFET switch"), kMosfetRows),
    with(element("Tm", 32, kElectrical, "MOSFET switch"), kMosfetRows),
    with(element("mn", 32, kElectrical, "MOSFET switch"), kMosfetRows),
    with(element("U", 35, kElectrical, "amplifier"), kAmplifierRows),
    with(element("af", 35, kElectrical, "amplifier"), kAmplifierRows),
    // Magnetic circuit.
    with(element("Ma", 28, kMagnetic, "magnetic core with hysteresis"), kCoreRows),
    with(element("_Ma", 28, kMagnetic, "magnetic core with hysteresis"), kCoreRows),
    with(element("Pe", 28, kMagnetic, "magnetic core with hysteresis"), kCoreRows),
    with(element("P_", 28, kMagnetic, "magnetic core with hysteresis"), kCoreRows),
    with(element("_P", 28, kMagnetic, "magnetic core with hysteresis"), kCoreRows),
    with(element("Mf", 68, kMagnetic, "magnetic core with hysteresis"), kCoreRows),
    with(element("Mr", 69, kMagnetic, "magnetic core of a material statement"), kMaterialCoreRows),
    // Fluid network.
    with(element("p", 51, kFluid, "pressure source"), kPressureSourceRows),
    with(element("Ps", 51, kFluid, "pressure source"), kPressureSourceRows),
    with(source(element("Fs", 52, kFluid, "flow source with pressure relief")), kFlowSourceRows),
    with(element("Lf", 53, kFluid, "pipe"), kPipeRows),
    with(element("Of", 53, kFluid, "orifice"), kPipeRows),
    with(withFieldNodes(element("Cy", 54, kFluid, "fluid cylinder"), 6, 7, kMechanical),
         kCylinderRows),
    with(withFieldNodes(element("Cf", 54, kFluid, "fluid cylinder"), 6, 7, kMechanical),
         kCylinderRows),
    with(element("Ho", 55, kFluid, "liquid orifice"), kLiquidOrificeRows),
    with(element("Hl", 56, kFluid, "liquid line"), kLiquidLineRows),
    with(element("Ao", 57, kFluid, "air orifice"), kAirOrificeRows),
    with(element("Al", 58, kFluid, "air line"), kAirLineRows),
    // Thermal network.
    with(element("t", 41, kThermal, "temperature difference"), kTemperatureDifferenceRows),
    with(element("Ts", 41, kThermal, "temperature difference"), kTemperatureDifferenceRows),
    with(element("Qs", 42, kThermal, "heat-flow source or advection"), kHeatFlowSourceRows),
    with(withNodeOfItsOwn(element("Hc", 43, kThermal, "thermal wall"), 2), kWallRows),
    with(element("Ne", 44, kThermal, "natural convection from a body"), kNaturalConvectionBodyRows),
    with(element("Ni", 45, kThermal, "natural convection across a gap"), kNaturalConvectionGapRows),
    with(element("Fe", 46, kThermal, "forced convection, pipe"), kForcedConvectionBodyRows),
    with(element("Fi", 47, kThermal, "forced convection, flow element"),
         kForcedConvectionStreamRows),
    with(element("Hr", 48, kThermal, "thermal radiation"), kRadiationRows),
    // Accepted, but without a model: they add nothing and claim no node kind.
    element("x0", 1, kNoDomain, "displacement, refused (no evaluator)"),
    element("p-", 1, kNoDomain, "displacement, refused (no evaluator)"),
    element("f0", 2, kNoDomain, "force, refused (no evaluator)"),
    element("f-", 2, kNoDomain, "force, refused (no evaluator)"),
    element("s0", 3, kNoDomain, "spring, refused (no evaluator)"),
    element("sr0", 3, kNoDomain, "rotary spring, refused (no evaluator)"),
    element("d0", 4, kNoDomain, "damper, refused (no evaluator)"),
    element("dr0", 4, kNoDomain, "rotary damper, refused (no evaluator)"),
    element("m0", 19, kNoDomain, "point mass, refused (no evaluator)"),
    element("n", 30, kNoDomain, "three-terminal part, refused (no evaluator)"),
    element("f#", 33, kNoDomain, "three-terminal part, refused (no evaluator)"),
    element("fe", 34, kNoDomain, "three-terminal part, refused (no evaluator)"),
    element("Hv", 49, kNoDomain, "thermal part, refused (no evaluator)"),
    // Commands.
    with(statement(".vc", 0, kCommand, "view and quantity scales"), kViewRows),
    withOutputItems(statement(".o", 0, kCommand, "output items"), 1, 11),
    withOutputItems(statement(".oo", 0, kCommand, "output items on a second axis"), 1, 2),
    withOutputItems(statement(".or", 0, kCommand, "output items with ranges"), 3, 11),
    with(statement(".in", 0, kNodePosition, "node position"), kNodePositionRows),
    with(statement(".iv", 0, kStartingValue,
                   "starting value of a node, held by the starting solution"),
         kStartingValueRows),
    with(statement(".t", 71, kTime, "time conditions"), kTimeRows),
    statement(".key", 99, kKeyFile, "control-key file"),
    statement(".ic", 0, kEndOfModel, "end of the model; later lines are notes"),
    statement(":u", 80, kDataTable, "table: lookup table or function with return values"),
    statement(".sd", 0, kSupportSet, "support set"),
    // Function statements.
    with(statement(":pi", 81, kFunction, "PI controller"), kPiRows),
    with(statement(":sum", 82, kFunction, "sum"), kSumRows),
    with(statement(":sin", 83, kFunction, "sine generator"), kSineRows),
    with(statement(":circle", 84, kFunction, "circle coordinates"), kCircleRows),
    with(statement(":sdeg", 85, kFunction, "sine generator, angle in degrees"), kSineDegreesRows),
    with(statement(":ramp", 86, kFunction, "constant or ramp generator"), kRampRows),
    with(statement(":pwm", 89, kFunction, "PWM switching"), kPwmRows),
    with(statement(":pw", 89, kFunction, "PWM switching"), kPwmRows),
    with(statement(":set", 90, kFunction, "assignment"), kSetRows),
    with(statement(":copy", 92, kFunction, "copy"), kSetRows),
    with(statement(":int", 93, kFunction, "integrator"), kIntegratorRows),
    with(statement(":dif", 94, kFunction, "differentiator"), kDifferentiatorRows),
    with(statement(":lag", 95, kFunction, "first-order lag"), kLagRows),
    with(statement(":lag2", 96, kFunction, "second-order lag"), kLag2Rows),
});

// The simulator reads keywords with "%10s"; the other rules keep the rows
// consistent with what the reader and the simulator expect of each category.
constexpr bool rowsConsistent() {
  for (size_t i = 0; i < kCatalogue.size(); ++i) {
    const CatalogueEntry& e = kCatalogue[i];
    if (e.keyword.empty() || e.keyword.size() > 10) return false;
    for (char c : e.keyword) {
      if (c == ' ' || c == '\t' || c == '{' || c == '/') return false;
    }
    for (size_t j = i + 1; j < kCatalogue.size(); ++j) {
      if (kCatalogue[j].keyword == e.keyword) return false;
    }
    if (e.domain < kNoDomain || e.domain > kThermal) return false;
    switch (e.category) {
      case kElement:
        if (e.typeCode < 1 || e.typeCode > 69) return false;
        if (e.nodeCount != elementNodes(e.typeCode)) return false;
        break;
      case kFunction:
        if (e.typeCode < 81 || e.typeCode > 96) return false;
        if (e.nodeCount != 0 || e.domain != kNoDomain) return false;
        break;
      default:
        if (e.nodeCount != 0 || e.domain != kNoDomain) return false;
        if (e.typeCode >= 1 && e.typeCode <= 69) return false;
        break;
    }
  }
  return true;
}
static_assert(rowsConsistent(), "catalogue row breaks a rule of its category");

}  // namespace

const CatalogueEntry* findKeyword(std::string_view keyword) {
  for (const CatalogueEntry& entry : kCatalogue) {
    if (entry.keyword == keyword) return &entry;
  }
  return nullptr;
}

std::span<const CatalogueEntry> catalogueEntries() {
  return kCatalogue;
}

const KeywordReference& referenceOf(const CatalogueEntry& entry) {
  static constexpr KeywordReference kNone{};
  return entry.reference != nullptr ? *entry.reference : kNone;
}

const FieldInfo* fieldInfo(const CatalogueEntry& entry, int k) {
  const std::span<const FieldInfo> fields = referenceOf(entry).fields;
  return k >= 1 && k <= static_cast<int>(fields.size()) ? &fields[k - 1] : nullptr;
}

std::string_view categoryName(Category category) {
  switch (category) {
    case kElement:
      return "element";
    case kCommand:
      return "command";
    case kNodePosition:
      return "node-position";
    case kStartingValue:
      return "starting-value";
    case kDataTable:
      return "data-table";
    case kSupportSet:
      return "support-set";
    case kFunction:
      return "function";
    case kTime:
      return "time";
    case kKeyFile:
      return "key-file";
    case kEndOfModel:
      return "end-of-model";
  }
  return "?";
}

std::string_view domainName(int domain) {
  switch (domain) {
    case kMechanical:
      return "mechanical";
    case kElectrical:
      return "electrical";
    case kFluid:
      return "fluid";
    case kMagnetic:
      return "magnetic";
    case kThermal:
      return "thermal";
    default:
      return "none";
  }
}

}  // namespace movra::note

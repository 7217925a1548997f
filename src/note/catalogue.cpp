#include "note/catalogue.h"

#include <array>

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

constexpr CatalogueEntry statement(std::string_view keyword, int typeCode, Category category,
                                   std::string_view description) {
  return {keyword, typeCode, category, 0, kNoDomain, description};
}

// Adding a keyword means adding one row here (and the row in docs/model-format.md).
// Aliases the simulator folds ("Qp" to "qn", "af" to "U", ...) have rows of their own.
constexpr auto kCatalogue = std::to_array<CatalogueEntry>({
    // Planar mechanism.
    element("lr", 6, kMechanical, "rigid link"),
    element("lb", 7, kMechanical, "elastic beam"),
    element("ls", 8, kMechanical, "slider joint"),
    element("sp", 9, kMechanical, "combined spring"),
    element("tr", 10, kMechanical, "rotary spring, damper and friction"),
    element("mj", 11, kMechanical, "body: mass and moment of inertia"),
    element("b", 11, kMechanical, "body"),
    element("ge", 12, kMechanical, "gear element of one radius"),
    element("gs", 13, kMechanical, "gear mesh"),
    element("pu", 14, kMechanical, "pulley and belt"),
    element("st", 15, kMechanical, "gear pair"),
    element("wh", 16, kMechanical, "wheel on a support set"),
    element("pc", 17, kMechanical, "rigid joint"),
    element("fc", 18, kMechanical, "applied force"),
    element("cb", 62, kMechanical, "cone or cylinder contact"),
    element("gap", 65, kMechanical, "gap contact"),
    // Circuit.
    element("V", 21, kElectrical, "voltage source"),
    source(element("I", 22, kElectrical, "current source")),
    element("R", 23, kElectrical, "resistor"),
    capacitor(element("C", 24, kElectrical, "capacitor")),
    element("D", 25, kElectrical, "diode"),
    element("L", 26, kElectrical, "inductor"),
    element("Sw", 27, kElectrical, "controlled switch"),
    element("Ry", 27, kElectrical, "relay contact"),
    withFieldNodes(element("Md", 20, kElectrical, "DC motor"), 4, 5, kMechanical),
    withFieldNodes(element("em0", 20, kElectrical, "DC motor"), 4, 5, kMechanical),
    withFieldNodes(element("Mdc", 20, kElectrical, "DC motor"), 4, 5, kMechanical),
    withFieldNodes(element("Gr", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
    withFieldNodes(element("Gr_", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
    withFieldNodes(element("Gp", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
    withFieldNodes(element("_Gp", 29, kElectrical, "coupled two-port"), 3, 4, kNoDomain),
    element("Q", 31, kElectrical, "transistor"),
    element("Qn", 31, kElectrical, "transistor"),
    element("Qp", 31, kElectrical, "transistor, p variant"),
    element("qn", 31, kElectrical, "transistor"),
    element("M", 32, kElectrical, "MOSFET switch"),
    element("Mn", 32, kElectrical, "MOSFET switch"),
    element("Mp", 32, kElectrical, "MOSFET switch, p variant"),
    element("Pm", 32, kElectrical, "MOSFET switch"),
    element("Tm", 32, kElectrical, "MOSFET switch"),
    element("mn", 32, kElectrical, "MOSFET switch"),
    element("U", 35, kElectrical, "amplifier"),
    element("af", 35, kElectrical, "amplifier"),
    // Magnetic circuit.
    element("Ma", 28, kMagnetic, "magnetic core with hysteresis"),
    element("_Ma", 28, kMagnetic, "magnetic core with hysteresis"),
    element("Pe", 28, kMagnetic, "magnetic core with hysteresis"),
    element("P_", 28, kMagnetic, "magnetic core with hysteresis"),
    element("_P", 28, kMagnetic, "magnetic core with hysteresis"),
    element("Mf", 68, kMagnetic, "magnetic core with hysteresis"),
    element("Mr", 69, kMagnetic, "magnetic core of a material statement"),
    // Fluid network.
    element("p", 51, kFluid, "pressure source"),
    element("Ps", 51, kFluid, "pressure source"),
    source(element("Fs", 52, kFluid, "flow source with pressure relief")),
    element("Lf", 53, kFluid, "pipe"),
    element("Of", 53, kFluid, "orifice"),
    withFieldNodes(element("Cy", 54, kFluid, "fluid cylinder"), 6, 7, kMechanical),
    withFieldNodes(element("Cf", 54, kFluid, "fluid cylinder"), 6, 7, kMechanical),
    element("Ho", 55, kFluid, "liquid orifice"),
    element("Hl", 56, kFluid, "liquid line"),
    element("Ao", 57, kFluid, "air orifice"),
    element("Al", 58, kFluid, "air line"),
    // Thermal network.
    element("t", 41, kThermal, "temperature difference"),
    element("Ts", 41, kThermal, "temperature difference"),
    element("Qs", 42, kThermal, "heat-flow source or advection"),
    withNodeOfItsOwn(element("Hc", 43, kThermal, "thermal wall"), 2),
    element("Ne", 44, kThermal, "natural convection from a body"),
    element("Ni", 45, kThermal, "natural convection across a gap"),
    element("Fe", 46, kThermal, "forced convection, pipe"),
    element("Fi", 47, kThermal, "forced convection, flow element"),
    element("Hr", 48, kThermal, "thermal radiation"),
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
    statement(".vc", 0, kCommand, "view and quantity scales"),
    statement(".o", 0, kCommand, "output items"),
    statement(".oo", 0, kCommand, "output items on a second axis"),
    statement(".or", 0, kCommand, "output items with ranges"),
    statement(".in", 0, kNodePosition, "node position"),
    statement(".iv", 0, kStartingValue, "starting value of a node, held by the starting solution"),
    statement(".t", 71, kTime, "time conditions"),
    statement(".key", 99, kKeyFile, "control-key file"),
    statement(".ic", 0, kEndOfModel, "end of the model; later lines are notes"),
    statement(":u", 80, kDataTable, "table: lookup table or function with return values"),
    statement(".sd", 0, kSupportSet, "support set"),
    // Function statements.
    statement(":pi", 81, kFunction, "PI controller"),
    statement(":sum", 82, kFunction, "sum"),
    statement(":sin", 83, kFunction, "sine generator"),
    statement(":circle", 84, kFunction, "circle coordinates"),
    statement(":sdeg", 85, kFunction, "sine generator, angle in degrees"),
    statement(":ramp", 86, kFunction, "constant or ramp generator"),
    statement(":pwm", 89, kFunction, "PWM switching"),
    statement(":pw", 89, kFunction, "PWM switching"),
    statement(":set", 90, kFunction, "assignment"),
    statement(":copy", 92, kFunction, "copy"),
    statement(":int", 93, kFunction, "integrator"),
    statement(":dif", 94, kFunction, "differentiator"),
    statement(":lag", 95, kFunction, "first-order lag"),
    statement(":lag2", 96, kFunction, "second-order lag"),
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

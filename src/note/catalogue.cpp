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

constexpr CatalogueEntry statement(std::string_view keyword, int typeCode, Category category,
                                   std::string_view description) {
  return {keyword, typeCode, category, 0, kNoDomain, description};
}

// Adding a keyword means adding one row here (and the row in docs/model-format.md).
constexpr auto kCatalogue = std::to_array<CatalogueEntry>({
    // Circuit elements.
    element("V", 21, kElectrical, "voltage source"),
    element("I", 22, kElectrical, "current source"),
    element("R", 23, kElectrical, "resistor"),
    element("C", 24, kElectrical, "capacitor"),
    element("D", 25, kElectrical, "diode"),
    element("L", 26, kElectrical, "inductor"),
    element("Sw", 27, kElectrical, "controlled switch"),
    element("U", 35, kElectrical, "amplifier"),
    element("Md", 20, kElectrical, "DC motor"),
    // Mechanical elements.
    element("b", 11, kMechanical, "body"),
    element("lr", 6, kMechanical, "rigid link"),
    element("pc", 17, kMechanical, "rigid joint"),
    element("fc", 18, kMechanical, "applied force"),
    element("sp", 9, kMechanical, "combined spring"),
    // Commands.
    statement(".vc", 0, kCommand, "view and graph scales"),
    statement(".o", 0, kCommand, "output items"),
    statement(".oo", 0, kCommand, "output items on a second axis"),
    statement(".or", 0, kCommand, "output items with ranges"),
    statement(".in", 0, kNodePosition, "node position"),
    statement(".t", 71, kTime, "time conditions"),
    statement(".key", 99, kKeyFile, "control-key file"),
    statement(".ic", 0, kEndOfModel, "end of the model; later lines are notes"),
    statement(":u", 80, kDataTable, "table: lookup table or function with return values"),
    statement(".sd", 0, kSupportSet, "support set"),
    // Function statements.
    statement(":pi", 81, kFunction, "PI controller"),
    statement(":sum", 82, kFunction, "sum"),
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

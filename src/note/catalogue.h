// The keywords movra-note knows: one row per keyword with the type code it hands
// over, what kind of statement it opens and which node domain its nodes belong to.
// The reader, the node-kind table and docs/model-format.md all follow this table.
#pragma once

#include <span>
#include <string_view>

namespace movra::note {

enum class Category {
  kElement,       // nodes, then fields and annotations
  kCommand,       // fields only (.vc .o .oo .or)
  kNodePosition,  // .in
  kStartingValue, // .iv, a potential the starting solution holds
  kDataTable,     // :u, rows follow
  kSupportSet,    // .sd, rows follow
  kFunction,      // type codes 81..96, one expression per row
  kTime,          // .t, one value per row
  kKeyFile,       // .key
  kEndOfModel,    // .ic, later lines are notes
};

// Values of the NodeKindTable.
enum NodeDomain : int {
  kNoDomain = 0,  // none, or an element between domains
  kMechanical = 1,
  kElectrical = 2,
  kFluid = 3,  // fluid and pressure
  kMagnetic = 4,
  kThermal = 5,
};

// What the reference says about a keyword, for messages, hover, completion and the
// plots' units. Texts are the reference's own words (docs/reference.md or the
// element sections of docs/model-format.md), so that the two can be compared.
struct NodeInfo {
  std::string_view role;  // "anode", "the body's node", ...
  int domain;             // NodeDomain; kNoDomain for whichever the model gives it
};

struct FieldInfo {
  std::string_view name;     // short: "resistance R"
  std::string_view meaning;  // the reference's meaning cell
  std::string_view unit;     // "" for a pure number, an id or a flag
  std::string_view defaultText;
  std::string_view rangeText;
  // Left out or empty, the element is refused or means nothing (default "—").
  bool required = false;
};

// Offsets of the return-value block {h B ...}: B + offset holds the value.
struct ReturnValueInfo {
  int offset;
  std::string_view meaning;
  std::string_view unit;
};

struct KeywordReference {
  std::span<const NodeInfo> nodes;  // the node list, in order
  // Fields in order from field 1; for a statement with rows, row 1 on.
  std::span<const FieldInfo> fields;
  std::span<const ReturnValueInfo> returnValues;
};

// Nodes an element names in fields rather than in its node list: a motor's stator
// and rotor, a two-port's second port, a cylinder's mechanical ends. Domain
// kNoDomain: whichever potential domain the other elements give them.
struct FieldNodes {
  int first = 0;
  int last = -1;
  int domain = kNoDomain;
};

// Fields that are output items, each of which may carry a label in double quotes.
struct FieldSpan {
  int first = 0;
  int last = -1;
  bool contains(int k) const { return k >= first && k <= last; }
};

struct CatalogueEntry {
  std::string_view keyword;
  int typeCode;
  Category category;
  int nodeCount;  // 3 for element type codes 30..39, 2 for other elements, else 0
  int domain;     // NodeDomain of the nodes an element uses
  std::string_view description;
  FieldNodes fieldNodes = {};
  // A source of current or flow pushes into its nodes without joining them: no
  // path for the starting potentials. (A heat-flow source is also an advection
  // link, which does carry its stream's temperature on.)
  bool joinsNodes = true;
  // A capacitor joins its nodes for a change but not for a steady current.
  bool blocksSteadyCurrent = false;
  // The node (1-based) that may belong to this element alone: a wall with nothing
  // behind it is a body that only stores heat.
  int nodeOfItsOwn = 0;
  // The output items of .o, .oo and .or (ranges of .or and .oo excluded).
  FieldSpan outputItems = {};
  // The reference's rows; keywords of one element share them.
  const KeywordReference* reference = nullptr;
};

// The entry of a keyword (exact, case-sensitive), or nullptr.
const CatalogueEntry* findKeyword(std::string_view keyword);

// All entries in table order.
std::span<const CatalogueEntry> catalogueEntries();

// The entry's reference rows; empty spans for a keyword the reference gives none.
const KeywordReference& referenceOf(const CatalogueEntry& entry);

// The field numbered k (1-based), or nullptr.
const FieldInfo* fieldInfo(const CatalogueEntry& entry, int k);

std::string_view categoryName(Category category);
std::string_view domainName(int domain);  // "mechanical", "electrical", ...

}  // namespace movra::note

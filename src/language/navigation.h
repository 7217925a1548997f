// Go to definition, references and the outline of a model.
#pragma once

#include <string>
#include <vector>

#include "language/model_index.h"

namespace movra::language {

struct Location {
  const FileIndex* file = nullptr;  // the top file or one it includes
  Range range;
};

// Where the node, parameter, return value, table, support set or function output
// under the position is defined (a node: its ".in" line, else its first use), or the
// file an include statement names.
std::vector<Location> definitionAt(const FileIndex& top, Position position);

// Every place that names the same id; with the definition when includeDefinition.
std::vector<Location> referencesAt(const FileIndex& top, Position position, bool includeDefinition);

enum class OutlineKind {
  kGroup,  // the elements of one domain, the node positions
  kElement,
  kPosition,
  kTable,
  kSupportSet,
  kFunction,
  kTime,
  kCommand,
  kInclude,
  kOther,
};

struct OutlineSymbol {
  std::string name;
  std::string detail;
  OutlineKind kind = OutlineKind::kOther;
  Range range;           // the statement with its rows
  Range selectionRange;  // its keyword
  std::vector<OutlineSymbol> children;
};

// The elements grouped by domain, the node positions, then the other statements in
// the order of the file.
std::vector<OutlineSymbol> documentSymbols(const FileIndex& top);

}  // namespace movra::language

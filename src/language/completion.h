// Completion: keywords with their nodes and fields as a snippet at the start of a
// line, node ids in a node position, and in a field the references the model
// offers, the functions and the unit letters.
#pragma once

#include <string>
#include <vector>

#include "language/model_index.h"

namespace movra::language {

enum class CompletionKind { kKeyword, kNode, kValue, kFunction, kUnit };

struct Completion {
  std::string label;
  std::string detail;
  std::string insertText;  // a snippet ($1, ${2:name}) when snippet is true
  bool snippet = false;
  CompletionKind kind = CompletionKind::kKeyword;
};

std::vector<Completion> completionsAt(const FileIndex& top, Position position);

// The snippet a keyword completes to: its nodes and, for a block statement, a row.
std::string keywordSnippet(const note::CatalogueEntry& entry);

}  // namespace movra::language

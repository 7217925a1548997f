// What the pointer rests on, in words: a keyword's catalogue entry, a field and
// its value, a node and where it is placed and used, pN, cN and xN.D.
#pragma once

#include <optional>
#include <string>

#include "language/model_index.h"

namespace movra::language {

struct HoverText {
  std::string markdown;
  Range range;  // the word the text is about
};

std::optional<HoverText> hoverAt(const FileIndex& top, Position position);

// A keyword's catalogue entry as hover shows it.
std::string keywordEntry(const note::CatalogueEntry& entry);

}  // namespace movra::language

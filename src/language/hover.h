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

// A recorded output item ("t", "x3.9", "c1102", "p21", "1102") in plain words with
// its unit, from the same reference rows hover shows: "current of L 2 3 (line 34)", "A".
// The unit is empty for a value without one.
struct OutputMeaning {
  std::string words;
  std::string unit;
};
OutputMeaning outputMeaning(const FileIndex& top, const std::string& item);

// The label the model gives an output item (`.o x2.9 "input"`, `{h1100 c1102
// "motor"}`), the first one written in the model and its includes; empty when
// none. Items match as the simulator reads them: "1102", "p1102" and "C1102" are
// c1102.
std::string outputLabel(const FileIndex& top, const std::string& item);

// A keyword's catalogue entry as hover shows it.
std::string keywordEntry(const note::CatalogueEntry& entry);

}  // namespace movra::language

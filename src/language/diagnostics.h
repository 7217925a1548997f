// The mistakes and doubtful lines of a model as an editor underlines them: every
// reading error, the simulator reader's own messages and the warnings "check"
// prints, each at the columns it concerns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "language/model_index.h"

namespace movra::language {

enum class Severity { kError = 1, kWarning = 2 };

struct Diagnostic {
  Range range;
  Severity severity = Severity::kError;
  std::string message;
};

// The diagnostics of a model text whose file is at path (its folder resolves the
// include statements; path may be empty). index is indexModel of the same text.
std::vector<Diagnostic> diagnose(std::string_view text, const std::string& path,
                                 const FileIndex& index);

// The columns a message at a line (0-based) of the file is about: the field, node
// or quoted word it names when the line holds it, else the statement's text.
Range rangeFor(const FileIndex& index, int line, std::string_view message);

}  // namespace movra::language

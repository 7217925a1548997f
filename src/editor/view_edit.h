// The simulator's view window and scales reports as an edit of the model's ".vc"
// line: which line changes and what it becomes. No Qt: the editor shows the edit
// and applies it, tests check it without a display.
#pragma once

#include <string>
#include <string_view>

#include "platform/editor_link.h"

namespace movra::editor {

using platform::kScalesReport;
using platform::kViewWindowReport;

struct ViewEdit {
  enum class Kind {
    kReplace,   // line's text becomes newLine
    kInsert,    // newLine is inserted before line (line may be the line count)
    kIncluded,  // the ".vc" line is in an included file: nothing is edited
    kInvalid,   // not a view report, or its numbers are not what it should carry
  };
  Kind kind = Kind::kInvalid;
  int line = 0;  // 0-based line of the model text
  std::string oldLine;
  std::string newLine;
  std::string includedFile;  // for kIncluded: the file that holds the ".vc" line
  int includedLine = 0;      // and its line, 0-based
};

// The edit a report asks for in the model text of the file at path (path may be
// empty; it resolves include statements). The line keeps its other fields, its
// annotations and its comment; fields before the reported ones that the line
// leaves out get their defaults. A model without a ".vc" line gets one before its
// time statement (else before ".ic", else at the end).
ViewEdit proposeViewEdit(std::string_view modelText, const std::string& path, int dataWord,
                         const std::string& reportText);

}  // namespace movra::editor

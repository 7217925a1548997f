// The colouring of a model line, without Qt: which columns are the keyword, node
// ids, numbers (with their unit letters), references (p2, x2.1), an output's
// quoted label, annotations and the comment. The editor's lexer paints these runs.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace movra::editor {

enum class TextStyle {
  kDefault = 0,
  kKeyword,
  kNumber,
  kNode,
  kReference,
  kAnnotation,
  kComment,
  kLabel
};
inline constexpr int kTextStyleCount = 8;

struct StyleRun {
  size_t start = 0;  // byte column
  size_t length = 0;
  TextStyle style = TextStyle::kDefault;
  friend bool operator==(const StyleRun&, const StyleRun&) = default;
};

// The styled runs of one line, in order; unstyled text is left out.
std::vector<StyleRun> styleModelLine(std::string_view line);

}  // namespace movra::editor

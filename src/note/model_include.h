// The include statement of model files: a line ".include PATH" is replaced by
// the lines of that file (a path relative to the including file's folder, else
// to the material tables that come with the programs), so a model can use the
// ready material tables without copying them.
#pragma once

#include <string>
#include <vector>

#include "note/hand_over_image.h"

namespace movra::note {

// Where a line of the expanded text came from: the line of the top file that
// holds it or the include statement that brought it in, and for an included line
// the file and its own line.
struct IncludedLine {
  int topLine = 0;
  std::string file;  // empty for a line of the top file
  int fileLine = 0;
};

// Expands the include statements of text (already decoded to UTF-8), read from a
// file in `folder`. Nested includes are followed up to a depth of 8; a missing or
// unreadable file, or deeper nesting (a file that includes itself), is an error at
// the including line of the top file. `origin` gets one entry per expanded line.
bool expandIncludes(const std::string& text, const std::string& folder, std::string& expanded,
                    std::vector<IncludedLine>& origin, std::vector<FileError>& errors);

// Errors at lines of the expanded text moved to the top file's lines, naming the
// included file and its line when the mistake is inside one.
void mapErrorLines(const std::vector<IncludedLine>& origin, std::vector<FileError>& errors);

// The file lines an image keeps for its records and text lines, moved likewise, so
// the simulator's messages name the include statement.
void mapImageLines(const std::vector<IncludedLine>& origin, HandOverImage& image);

}  // namespace movra::note

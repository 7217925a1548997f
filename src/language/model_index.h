// Where everything on a model's lines stands: statements with their keyword, nodes,
// fields, rows and annotations as column ranges, and every place a node id or a
// parameter id is named. Diagnostics, hover, completion and navigation all look
// things up here instead of reading the text again.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "note/catalogue.h"

namespace movra::language {

// Lines from 0; columns are byte offsets into the line's UTF-8 text (a client that
// counts UTF-16 units converts at its edge).
struct Position {
  int line = 0;
  int column = 0;
  friend bool operator==(const Position&, const Position&) = default;
};

struct Range {
  Position start;
  Position end;
  bool contains(Position p) const;
  friend bool operator==(const Range&, const Range&) = default;
};

struct NodeToken {
  int id = 0;
  char suffix = 0;  // 0, 'n' or 'p'
  int index = 0;    // 1-based place in the node list
  Range range;
};

// A field of an element or command, a row of a block statement, or the text after
// a block keyword (index 0).
struct FieldToken {
  int index = 0;  // 1-based field or row number; 0 for a block statement's head
  std::string text;
  Range range;
};

// What an id names: nodes have their own numbers; parameters, return values,
// tables, support sets and function outputs share the other numbering.
enum class SymbolKind { kNode, kValue };

struct Occurrence {
  SymbolKind kind = SymbolKind::kNode;
  int id = 0;
  int component = 0;  // the digit of xN.D, 0 otherwise
  char letter = 0;    // the letter written before the id in a field, 0 elsewhere
  bool definition = false;
  int span = 1;        // ids a definition covers: 100 for a {h B} block, 3 for ':circle'
  int statement = -1;  // index into ModelIndex::statements of its file
  Range range;
};

// A label the model gives an output item: `.o x2.9 "input"` or `{h1100 c1102 "motor"}`.
struct OutputLabel {
  std::string item;  // "x2.9", "c1102", as written
  std::string text;  // the words between the quotes, trimmed
  Range range;       // the label with its quotes
};

struct Statement {
  int line = 0;
  int lastLine = 0;  // its last row
  std::string keyword;
  Range keywordRange;
  Range textRange;                              // the line without its comment and trailing blanks
  const note::CatalogueEntry* entry = nullptr;  // nullptr for unknown words and .include
  std::vector<NodeToken> nodes;
  std::vector<FieldToken> fields;  // head (0) and rows, or fields 1..
  std::vector<OutputLabel> labels;  // on its output items and {h} ids
  int outputBlock = -1;            // B of {h B ...}
  Range outputRange;
  std::string includePath;  // for ".include"
  Range includeRange;
  int includeIndex = -1;  // into FileIndex::includes
};

// One file of a model: the top file (whose text the editor holds) or a file it
// includes, read from disk.
struct FileIndex {
  std::string path;  // absolute when known; empty for an unsaved top file
  std::vector<std::string> lines;
  std::vector<Statement> statements;
  std::vector<Occurrence> occurrences;
  std::vector<std::unique_ptr<FileIndex>> includes;  // in the order of the statements
  int endLine = -1;                                  // the ".ic" line, -1 when none

  // The statement whose line or rows hold line, or -1.
  int statementAt(int line) const;
  // The include statement's file, nullptr when it could not be read.
  const FileIndex* includedBy(const Statement& statement) const;
};

// Indexes a model text; path is the file's place on disk (its folder resolves
// include statements) and may be empty.
std::unique_ptr<FileIndex> indexModel(std::string_view text, const std::string& path);

// Every occurrence of kind and id in the file and the files it includes.
struct Located {
  const FileIndex* file = nullptr;
  const Occurrence* occurrence = nullptr;
};
std::vector<Located> findOccurrences(const FileIndex& top, SymbolKind kind, int id);

// The occurrence under a position of the top file, or nullptr.
const Occurrence* occurrenceAt(const FileIndex& file, Position position);

// The block of 100 return values an element's {h B} annotation fills holds id.
constexpr int kReturnBlockSize = 100;

// Splits a text into lines at LF, dropping a CR before it.
std::vector<std::string> splitLines(std::string_view text);

}  // namespace movra::language

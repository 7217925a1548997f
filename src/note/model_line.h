// The pieces of one model-file line: comments, nodes, fields and annotations.
// Each reader returns false and a message (without the line number, which the
// caller knows) when the text does not fit the language.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace movra::note {

inline bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// The text in single quotes, as messages show a word of the model.
std::string quoted(std::string_view text);

std::string_view trim(std::string_view text);
std::string_view trimRight(std::string_view text);

// The text before the first "//".
std::string_view withoutComment(std::string_view line);

// The first blank-separated word of text (text must not start with a blank).
std::string_view firstWord(std::string_view text);

// Reads a whole number (optional "-", digits) that is all of text.
bool readWholeNumber(std::string_view text, int& value);

struct NodeRef {
  int id = 0;
  char suffix = 0;  // 0, 'n' or 'p'
};

// Reads count nodes from the front of text and an optional comma after the last
// one; text is left at the fields.
bool readNodes(std::string_view& text, int count, NodeRef* nodes, std::string& error);

// Splits a field list at commas outside parentheses; fields are trimmed and may be
// empty. At most kFieldCount fields of at most kFieldTextBytes - 1 bytes.
bool splitFields(std::string_view text, std::vector<std::string_view>& fields, std::string& error);

// Annotation texts as the records carry them; empty when not written.
struct Annotations {
  std::string drawing;        // "f N"
  std::string transcription;  // "c N"
  std::string output;         // "hB cI cI ..."
  // "{r x y a}": the directions a rigid joint leaves free, as the release bits of
  // StatementRecord::flags (kRecordReleaseX, kRecordReleaseY, kRecordReleaseAngle).
  int release = 0;
};

// Reads the annotations "{...}" that make up text (blanks between them are fine).
bool readAnnotations(std::string_view text, Annotations& annotations, std::string& error);

}  // namespace movra::note

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

// The first place of what in text from `from` on that is not inside a label in
// double quotes ("input voltage"), or npos.
size_t findOutsideLabels(std::string_view text, std::string_view what, size_t from = 0);

// The text before the first "//" outside a label.
std::string_view withoutComment(std::string_view line);

// An output item and the label it may carry: `x2.9 "input voltage"` gives the
// item x2.9 and the label input voltage (trimmed, never empty). Without quotes the
// whole field is the item and the label is empty. False with a message when the
// quotes do not make one label at the field's end.
bool splitLabel(std::string_view field, std::string_view& item, std::string_view& label,
                std::string& error);

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

// An output item as the simulator reads it, so that two spellings compare equal:
// "1102", "p1102" and "C1102" are "c1102", "X2.9" is "x2.9".
std::string sameOutputItem(std::string_view item);

// Splits a field list at commas outside parentheses and labels; fields are trimmed and may be
// empty. At most kFieldCount fields of at most kFieldTextBytes - 1 bytes.
bool splitFields(std::string_view text, std::vector<std::string_view>& fields, std::string& error);

// Annotation texts as the records carry them; empty when not written.
struct Annotations {
  std::string drawing;        // "f N"
  std::string transcription;  // "c N"
  std::string output;         // "hB cI cI ..."
  std::vector<std::pair<std::string, std::string>> labels;  // {"c1102", "coil current"}
  // "{r x y a}": the directions a rigid joint leaves free, as the release bits of
  // StatementRecord::flags (kRecordReleaseX, kRecordReleaseY, kRecordReleaseAngle).
  int release = 0;
};

// Reads the annotations "{...}" that make up text (blanks between them are fine).
bool readAnnotations(std::string_view text, Annotations& annotations, std::string& error);

}  // namespace movra::note

// What this program knows about each of the simulator's messages: its text as the
// code formats it, what it means and what to do about it, in English. The texts
// stay in their Japanese wording; movra-note prints the English line beside them
// and docs/messages.md is made from the same rows.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace movra::note {

struct MessageRow {
  // The printf format handed to the reporter, byte for byte. A row that starts
  // with a conversion stands for a text composed elsewhere and passed on.
  const char* text;
  // How it reaches the user: "error" (a model error, reported to the editor),
  // "question" (yes/no box), "notice" (start-up box), "refusal" (a file that
  // cannot be opened); "error/notice" when both.
  const char* shown;
  const char* meaning;  // what it says, and what its numbers are
  const char* todo;     // the usual causes and what to do
};

std::span<const MessageRow> messageTable();

// True when text is what format prints for some values: conversions match the
// characters a conversion of that letter can print, %s anything.
bool matchesFormat(std::string_view format, std::string_view text);

// The row whose format prints text; of several, the one with the most fixed
// characters. nullptr when none does.
const MessageRow* findMessageRow(std::string_view text);

// "hint: <meaning> <todo>" for a message, or "" when the table has no row for it.
std::string messageHint(std::string_view text);

// docs/messages.md: the whole table as Markdown.
std::string messageTableMarkdown();

}  // namespace movra::note

// Finding a message's row: a printf format matched against the text it printed.
#include <cstring>

#include "note/message_table.h"

namespace movra::note {

namespace {

struct Conversion {
  char letter = 0;    // d, x, e, s, ... ; 0 for a literal character
  size_t length = 1;  // characters of the format it takes
};

Conversion conversionAt(std::string_view format, size_t at) {
  if (format[at] != '%' || at + 1 >= format.size()) return {};
  size_t end = at + 1;
  if (format[end] == '%') return {};
  while (end < format.size() && std::strchr("-+ #0123456789.lhzjt", format[end]) != nullptr) ++end;
  if (end >= format.size()) return {};
  return {format[end], end + 1 - at};
}

// The characters a conversion of this letter can print (after its padding).
bool printable(char letter, char c) {
  switch (letter) {
    case 'd':
    case 'i':
    case 'u':
      return (c >= '0' && c <= '9') || c == '-';
    case 'x':
    case 'X':
      return std::strchr("0123456789abcdefABCDEF", c) != nullptr && c != 0;
    case 'e':
    case 'E':
    case 'f':
    case 'g':
    case 'G':
      return std::strchr("0123456789+-.eEinfaINFA", c) != nullptr && c != 0;
    default:
      return false;
  }
}

bool isPercent(std::string_view format, size_t at) {
  return format[at] == '%' && at + 1 < format.size() && format[at + 1] == '%';
}

bool matchFrom(std::string_view format, size_t f, std::string_view text, size_t t) {
  while (f < format.size()) {
    const Conversion conversion = conversionAt(format, f);
    if (conversion.letter == 's') {
      size_t next = f + conversion.length;
      // Two strings in a row match what one matches: saves the search.
      while (next < format.size() && conversionAt(format, next).letter == 's')
        next += conversionAt(format, next).length;
      for (size_t end = t; end <= text.size(); ++end) {
        if (matchFrom(format, next, text, end)) return true;
      }
      return false;
    }
    if (conversion.letter != 0) {
      size_t end = t;
      while (end < text.size() && text[end] == ' ') ++end;  // width padding
      const size_t first = end;
      while (end < text.size() && printable(conversion.letter, text[end])) ++end;
      for (; end > first; --end) {
        if (matchFrom(format, f + conversion.length, text, end)) return true;
      }
      return false;
    }
    const size_t step = isPercent(format, f) ? 2 : 1;  // "%%" prints one '%'
    if (t >= text.size() || text[t] != format[f + step - 1]) return false;
    f += step;
    ++t;
  }
  return t == text.size();
}

size_t fixedCharacters(std::string_view format) {
  size_t count = 0;
  for (size_t f = 0; f < format.size();) {
    const Conversion conversion = conversionAt(format, f);
    if (conversion.letter != 0) {
      f += conversion.length;
    } else {
      f += isPercent(format, f) ? 2 : 1;
      ++count;
    }
  }
  return count;
}

// A format as C source, so that its blanks and line breaks can be seen.
std::string quotedFormat(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

bool matchesFormat(std::string_view format, std::string_view text) {
  return matchFrom(format, 0, text, 0);
}

const MessageRow* findMessageRow(std::string_view text) {
  const MessageRow* best = nullptr;
  size_t bestFixed = 0;
  for (const MessageRow& row : messageTable()) {
    const size_t fixed = fixedCharacters(row.text);
    if ((best == nullptr || fixed > bestFixed) && matchesFormat(row.text, text)) {
      best = &row;
      bestFixed = fixed;
    }
  }
  return best;
}

std::string messageHint(std::string_view text) {
  const MessageRow* row = findMessageRow(text);
  if (row == nullptr) return "";
  return std::string("hint: ") + row->meaning + " " + row->todo;
}

std::string messageTableMarkdown() {
  std::string table = "| Message | Shown as | Meaning | Usual causes and what to do |\n";
  table += "|---|---|---|---|\n";
  for (const MessageRow& row : messageTable()) {
    table += "| `" + quotedFormat(row.text) + "` | " + row.shown + " | " + row.meaning + " | " +
             row.todo + " |\n";
  }
  return table;
}

}  // namespace movra::note

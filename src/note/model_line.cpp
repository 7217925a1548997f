#include "note/model_line.h"

#include <charconv>

#include "input/limits.h"
#include "input/statement_record.h"

namespace movra::note {
namespace {

constexpr int kOutputItemLimit = 26;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t skipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

// The word at i, for quoting in messages.
std::string_view wordAt(std::string_view text, size_t i) {
  size_t end = i;
  while (end < text.size() && !isBlank(text[end]) && text[end] != ',') ++end;
  return text.substr(i, end - i);
}


// Reads "-"? digits at i; i is left after them.
bool readNumberAt(std::string_view text, size_t& i, int& value) {
  const size_t start = i;
  if (i < text.size() && text[i] == '-') ++i;
  const size_t digits = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  if (i == digits) {
    i = start;
    return false;
  }
  const auto [end, code] = std::from_chars(text.data() + start, text.data() + i, value);
  return code == std::errc() && end == text.data() + i;
}

}  // namespace

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  out += text;
  out += '\'';
  return out;
}

std::string_view trim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && isBlank(text[begin])) ++begin;
  return trimRight(text.substr(begin));
}

std::string_view trimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && isBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

size_t findOutsideLabels(std::string_view text, std::string_view what, size_t from) {
  bool inLabel = false;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"') inLabel = !inLabel;
    if (!inLabel && text.substr(i, what.size()) == what) return i;
  }
  return std::string_view::npos;
}

std::string_view withoutComment(std::string_view line) {
  return line.substr(0, findOutsideLabels(line, "//"));
}

std::string sameOutputItem(std::string_view item) {
  std::string text(trim(item));
  if (text.empty()) return text;
  if (isDigit(text[0])) return "c" + text;
  if (text[0] == 'p' || text[0] == 'P' || text[0] == 'C') text[0] = 'c';
  if (text[0] == 'X') text[0] = 'x';
  return text;
}

bool splitLabel(std::string_view field, std::string_view& item, std::string_view& label,
                std::string& error) {
  item = trim(field);
  label = {};
  const size_t open = item.find('"');
  if (open == std::string_view::npos) return true;
  const size_t close = item.find('"', open + 1);
  if (close == std::string_view::npos) {
    error = "the label " + quoted(item.substr(open)) + " is not closed by '\"'";
    return false;
  }
  if (close + 1 != item.size()) {
    error = "a label in double quotes must end its field; found " +
            quoted(trim(item.substr(close + 1))) + " after it";
    return false;
  }
  label = trim(item.substr(open + 1, close - open - 1));
  const std::string_view before = trim(item.substr(0, open));
  if (before.empty()) {
    error = "the label " + quoted(item.substr(open)) + " has no output item before it";
    return false;
  }
  if (label.empty()) {
    error = "the label after " + quoted(before) + " is empty";
    return false;
  }
  if (open > 0 && !isBlank(item[open - 1])) {
    error = "a blank must stand between the output item and its label (" + std::string(before) +
            " \"" + std::string(label) + "\")";
    return false;
  }
  item = before;
  return true;
}

std::string_view firstWord(std::string_view text) {
  size_t end = 0;
  while (end < text.size() && !isBlank(text[end])) ++end;
  return text.substr(0, end);
}

bool readWholeNumber(std::string_view text, int& value) {
  size_t i = 0;
  return readNumberAt(text, i, value) && i == text.size();
}

bool readNodes(std::string_view& text, int count, NodeRef* nodes, std::string& error) {
  size_t i = 0;
  for (int k = 0; k < count; ++k) {
    const std::string which = "node " + std::to_string(k + 1);
    i = skipBlanks(text, i);
    if (i == text.size() || text[i] == '{' || text[i] == ',') {
      error = "this element needs " + std::to_string(count) + " nodes; " + which + " is missing";
      return false;
    }
    const size_t start = i;
    int id = 0;
    if (!readNumberAt(text, i, id)) {
      if (i == start) {
        error = which + ": expected a node id, found " + quoted(wordAt(text, start));
      } else {
        error = which + " " + quoted(wordAt(text, start)) + " is out of range -2..999";
      }
      return false;
    }
    char suffix = 0;
    if (i < text.size() && (text[i] == 'n' || text[i] == 'p')) suffix = text[i++];
    const bool lastNode = k + 1 == count;
    if (!lastNode && skipBlanks(text, i) < text.size() && text[skipBlanks(text, i)] == ',') {
      error = "this element needs " + std::to_string(count) + " nodes; node " +
              std::to_string(k + 2) + " is missing (a comma may follow only the last node)";
      return false;
    }
    if (i < text.size() && !isBlank(text[i]) && text[i] != '{' && !(lastNode && text[i] == ',')) {
      error = which + ": " + quoted(wordAt(text, start)) +
              " is not a node id (a whole number with an optional suffix n or p)";
      return false;
    }
    if (id < -2 || id > 999) {
      error = which + " " + quoted(wordAt(text, start)) + " is out of range -2..999";
      return false;
    }
    // The simulator takes an "n" or "p" after blanks as this node's suffix.
    const size_t next = skipBlanks(text, i);
    if (suffix == 0 && next < text.size() && (text[next] == 'n' || text[next] == 'p')) {
      error = which + ": a terminal suffix must follow the node id directly (" +
              std::to_string(id) + text[next] + "); a field that starts with '" + text[next] +
              "' needs a comma after the last node";
      return false;
    }
    nodes[k] = NodeRef{id, suffix};
  }
  i = skipBlanks(text, i);
  if (i < text.size() && text[i] == ',') ++i;
  text = text.substr(i);
  return true;
}

bool splitFields(std::string_view text, std::vector<std::string_view>& fields, std::string& error) {
  fields.clear();
  if (trim(text).empty()) return true;
  int depth = 0;
  size_t start = 0;
  bool inLabel = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ',';
    if (c == '"') inLabel = !inLabel;
    if (inLabel && i < text.size()) continue;
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (c != ',' || (depth > 0 && i < text.size())) continue;
    const std::string_view field = trim(text.substr(start, i - start));
    if (static_cast<int>(fields.size()) == kFieldCount) {
      error = "more than " + std::to_string(kFieldCount) + " fields";
      return false;
    }
    if (field.size() >= static_cast<size_t>(kFieldTextBytes)) {
      error = "field " + std::to_string(fields.size() + 1) + " is " + std::to_string(field.size()) +
              " bytes long; a field holds at most " + std::to_string(kFieldTextBytes - 1);
      return false;
    }
    fields.push_back(field);
    start = i + 1;
  }
  return true;
}

namespace {

bool readOutputAnnotation(std::string_view inner, std::string& out,
                          std::vector<std::pair<std::string, std::string>>& labels,
                          std::string& error) {
  // inner starts after the "h".
  size_t i = skipBlanks(inner, 0);
  int block = 0;
  if (!readNumberAt(inner, i, block)) {
    error = "output annotation: 'h' must be followed by a whole-number block id";
    return false;
  }
  out = "h" + std::to_string(block);
  int items = 0;
  for (i = skipBlanks(inner, i); i < inner.size(); i = skipBlanks(inner, i)) {
    if (inner[i] != 'c') {
      error = "output annotation: expected 'c' and an id, found " + quoted(wordAt(inner, i));
      return false;
    }
    i = skipBlanks(inner, i + 1);
    int id = 0;
    if (!readNumberAt(inner, i, id)) {
      error = "output annotation: 'c' must be followed by a whole-number id";
      return false;
    }
    if (++items > kOutputItemLimit) {
      error = "output annotation: more than " + std::to_string(kOutputItemLimit) + " ids";
      return false;
    }
    out += " c" + std::to_string(id);
    // A label names the output in plots; the simulator never sees it.
    i = skipBlanks(inner, i);
    if (i < inner.size() && inner[i] == '"') {
      const size_t close = inner.find('"', i + 1);
      if (close == std::string_view::npos || trim(inner.substr(i + 1, close - i - 1)).empty()) {
        error = "output annotation: the label after c" + std::to_string(id) +
                (close == std::string_view::npos ? " is not closed by '\"'" : " is empty");
        return false;
      }
      labels.emplace_back("c" + std::to_string(id),
                          std::string(trim(inner.substr(i + 1, close - i - 1))));
      i = close + 1;
    }
  }
  if (out.size() >= static_cast<size_t>(kOutputAnnotationBytes)) {
    error =
        "output annotation is longer than " + std::to_string(kOutputAnnotationBytes - 1) + " bytes";
    return false;
  }
  return true;
}

bool readSingle(char kind, std::string_view inner, std::string& out, std::string& error) {
  int value = 0;
  if (!readWholeNumber(trim(inner), value)) {
    error = std::string("annotation {") + kind + " N} needs one whole number";
    return false;
  }
  out = std::string(1, kind) + " " + std::to_string(value);
  return true;
}

// "r x y a": one letter per released direction, in any order, blanks between
// them allowed ("r xa" is "r x a").
bool readRelease(std::string_view inner, int& release, std::string& error) {
  release = 0;
  for (size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    if (isBlank(c)) continue;
    const int bit = c == 'x'   ? kRecordReleaseX
                    : c == 'y' ? kRecordReleaseY
                    : c == 'a' ? kRecordReleaseAngle
                               : 0;
    if (bit == 0) {
      // The whole word, so that a letter of several bytes is quoted whole.
      error = "release annotation {r ...}: expected the directions x, y and a (angle), found " +
              quoted(wordAt(inner, i));
      return false;
    }
    if ((release & bit) != 0) {
      error = "release annotation {r ...} names " + quoted(std::string_view(&c, 1)) + " twice";
      return false;
    }
    release |= bit;
  }
  if (release == 0) {
    error = "release annotation {r ...} names no direction: write x, y or a (angle)";
    return false;
  }
  return true;
}

}  // namespace

bool readAnnotations(std::string_view text, Annotations& annotations, std::string& error) {
  annotations = Annotations{};
  for (size_t i = skipBlanks(text, 0); i < text.size(); i = skipBlanks(text, i)) {
    if (text[i] != '{') {
      error = "unexpected " + quoted(wordAt(text, i)) + " after the annotations";
      return false;
    }
    const size_t close = findOutsideLabels(text, "}", i);
    const size_t nested = findOutsideLabels(text, "{", i + 1);
    if (close == std::string_view::npos || nested < close) {
      error = "annotation " + quoted(wordAt(text, i)) + " is not closed by '}'";
      return false;
    }
    const std::string_view whole = text.substr(i, close + 1 - i);
    const std::string_view inner = trim(text.substr(i + 1, close - i - 1));
    i = close + 1;
    const char kind = inner.empty() ? 0 : inner[0];
    if (kind == 'r') {
      if (annotations.release != 0) {
        error = "a second {r ...} annotation on one line";
        return false;
      }
      if (!readRelease(inner.substr(1), annotations.release, error)) return false;
      continue;
    }
    std::string* slot = kind == 'f'   ? &annotations.drawing
                        : kind == 'c' ? &annotations.transcription
                        : kind == 'h' ? &annotations.output
                                      : nullptr;
    if (slot == nullptr) {
      error = "unknown annotation " + quoted(whole) +
              "; expected {f N}, {c N}, {h B c I ...} or {r x y a}";
      return false;
    }
    if (!slot->empty()) {
      error = "a second {" + std::string(1, kind) + " ...} annotation on one line";
      return false;
    }
    const bool ok = kind == 'h'
                        ? readOutputAnnotation(inner.substr(1), *slot, annotations.labels, error)
                        : readSingle(kind, inner.substr(1), *slot, error);
    if (!ok) return false;
  }
  return true;
}

}  // namespace movra::note

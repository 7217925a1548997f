#include "language/diagnostics.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <regex>

#include "input/model.h"
#include "note/in_process.h"
#include "note/message_table.h"
#include "note/model_file.h"
#include "note/model_file_text.h"
#include "note/model_include.h"
#include "note/model_line.h"
#include "note/model_warnings.h"
#include "note/required_fields.h"

namespace movra::language {
namespace {

using note::FileError;

// The reader stops at a model's first mistake. To show the others too, the line
// is blanked (with the rows of its statement) and the text read again, up to a
// limit; a limit of the whole model is reported once.
constexpr int kErrorsShown = 25;

bool passesWholeModelLimit(const std::string& message) {
  return message.find("the model needs more than") != std::string::npos ||
         message.find("the model text passes") != std::string::npos ||
         message.find("holds no statement") != std::string::npos;
}

// Blanks line (1-based) and, for a statement line, the rows that follow it.
bool blankStatement(std::vector<std::string>& lines, int line) {
  const size_t at = static_cast<size_t>(line - 1);
  if (at >= lines.size() || note::trim(note::withoutComment(lines[at])).empty()) return false;
  const bool row = note::isBlank(lines[at][0]);
  lines[at].clear();
  if (row) return true;
  for (size_t k = at + 1; k < lines.size(); ++k) {
    if (!lines[k].empty() && !note::isBlank(lines[k][0]) &&
        !note::trim(note::withoutComment(lines[k])).empty()) {
      break;
    }
    lines[k].clear();
  }
  return true;
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

// Reads the expanded text again and again, each time without the line of the last
// mistake; true when the first reading succeeded.
bool readAllErrors(const std::string& expanded, note::HandOverImage& image,
                   std::vector<FileError>& errors) {
  std::vector<FileError> found;
  if (note::readModelFile(expanded, image, found)) return true;
  errors.insert(errors.end(), found.begin(), found.end());
  std::vector<std::string> lines = splitLines(expanded);
  note::HandOverImage scratch;
  for (int shown = 1; shown < kErrorsShown; ++shown) {
    const FileError last = errors.back();
    if (last.line <= 0 || passesWholeModelLimit(last.message)) break;
    if (!blankStatement(lines, last.line)) break;
    found.clear();
    if (note::readModelFile(joinLines(lines), scratch, found) || found.empty()) break;
    if (passesWholeModelLimit(found.front().message)) break;  // only the blanking left it empty
    errors.push_back(found.front());
  }
  return false;
}

// The whitespace of the simulator's messages (line ends, runs of blanks) as one blank.
std::string oneLine(std::string_view text) {
  std::string out;
  bool blank = true;
  for (const char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      if (!blank) out += ' ';
      blank = true;
    } else {
      out += c;
      blank = false;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

void addFileErrors(const FileIndex& index, const std::vector<FileError>& errors, Severity severity,
                   std::vector<Diagnostic>& out) {
  for (const FileError& error : errors) {
    std::string message = error.message;
    if (message.starts_with("warning: ")) message.erase(0, 9);
    out.push_back({rangeFor(index, error.line - 1, message), severity, std::move(message)});
  }
}

Range lineText(const FileIndex& index, int line) {
  if (line < 0 || line >= static_cast<int>(index.lines.size())) return {{0, 0}, {0, 0}};
  const std::string_view text = index.lines[static_cast<size_t>(line)];
  const std::string_view code = note::trimRight(note::withoutComment(text));
  int begin = 0;
  while (begin < static_cast<int>(code.size()) && note::isBlank(code[begin])) ++begin;
  // A line of only a comment: the whole line.
  const int end = code.empty() ? static_cast<int>(text.size()) : static_cast<int>(code.size());
  return {{line, code.empty() ? 0 : begin}, {line, end}};
}

const FieldToken* fieldOn(const Statement& s, int line, int index) {
  for (const FieldToken& f : s.fields) {
    if (f.index == index && f.range.start.line == line) return &f;
  }
  return nullptr;
}

// A number of a message; -1 when it does not fit an int (a quoted field may hold
// any digits).
int numberIn(const std::ssub_match& digits) {
  int value = -1;
  const std::string text = digits.str();
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
  return code == std::errc() && end == text.data() + text.size() ? value : -1;
}

}  // namespace

Range rangeFor(const FileIndex& index, int line, std::string_view message) {
  if (line < 0 || line >= static_cast<int>(index.lines.size())) return lineText(index, 0);
  const int at = index.statementAt(line);
  if (at < 0) return lineText(index, line);
  const Statement& s = index.statements[static_cast<size_t>(at)];
  if (!s.includePath.empty() && s.line == line) return s.includeRange;
  const std::string text(message);
  std::smatch match;

  // "field 3", "fields 4 to 6": the fields themselves.
  static const std::regex fieldWords(R"(\bfields? (\d+)(?: to (\d+))?)");
  if (s.line == line && std::regex_search(text, match, fieldWords)) {
    const int first = numberIn(match[1]);
    const int last = match[2].matched ? numberIn(match[2]) : first;
    const FieldToken* a = fieldOn(s, line, first);
    const FieldToken* b = fieldOn(s, line, last);
    // An empty field has no width to underline: the statement is underlined instead.
    if (a != nullptr && b != nullptr && a->range.start != b->range.end) {
      return {a->range.start, b->range.end};
    }
  }

  // A quoted word of the line, other than the keyword the message starts with.
  const std::string_view code = note::withoutComment(index.lines[static_cast<size_t>(line)]);
  static const std::regex quotedWord(R"('([^']+)')");
  const size_t searchFrom = s.line == line ? s.keyword.size() : 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), quotedWord);
       it != std::sregex_iterator(); ++it) {
    const std::string word = (*it)[1].str();
    if (s.line == line && word == s.keyword) {
      if (text.starts_with("unknown keyword")) return s.keywordRange;
      continue;
    }
    const size_t found = code.find(word, searchFrom);
    if (found != std::string_view::npos) {
      return {{line, static_cast<int>(found)}, {line, static_cast<int>(found + word.size())}};
    }
  }

  // "node 2: ..." or "node 2 '...'" counts the nodes of the line; "node 12 is
  // used ..." names an id.
  static const std::regex nodeWords(R"(\bnode (\d+)(:| ')?)");
  if (s.line == line && text.find("is missing") == std::string::npos &&
      std::regex_search(text, match, nodeWords)) {
    const int number = numberIn(match[1]);
    const bool byPlace = match[2].matched;
    for (const NodeToken& node : s.nodes) {
      if ((byPlace ? node.index : node.id) == number) return node.range;
    }
  }
  if (s.line != line) return lineText(index, line);
  return s.textRange;
}

std::vector<Diagnostic> diagnose(std::string_view text, const std::string& path,
                                 const FileIndex& index) {
  std::vector<Diagnostic> out;
  std::vector<FileError> errors;
  std::string decoded;
  if (!note::decodeFileText(text, decoded, errors)) {
    addFileErrors(index, errors, Severity::kError, out);
    return out;
  }
  std::string expanded;
  std::vector<note::IncludedLine> origin;
  const std::string folder =
      path.empty() ? std::string(".") : std::filesystem::path(path).parent_path().string();
  if (!note::expandIncludes(decoded, folder.empty() ? "." : folder, expanded, origin, errors)) {
    addFileErrors(index, errors, Severity::kError, out);
    return out;
  }
  note::HandOverImage image;
  const bool read = readAllErrors(expanded, image, errors);
  note::mapErrorLines(origin, errors);
  addFileErrors(index, errors, Severity::kError, out);
  if (!read) return out;
  note::mapImageLines(origin, image);
  // An element without a field it cannot do without is refused before the
  // simulator's reader sees the model, as "check" refuses it.
  if (std::vector<FileError> missing = note::missingFields(image); !missing.empty()) {
    addFileErrors(index, missing, Severity::kError, out);
    return out;
  }

  // What "check" adds before it starts the simulator: the simulator's own reader,
  // run here in-process, and the doubtful lines.
  auto model = makeModel();
  const note::ReadOutcome outcome = note::readImage(image, *model, 1);
  addFileErrors(index, note::doubtfulLines(image, *model, outcome.ok()), Severity::kWarning, out);
  for (const note::ReaderMessage& message : outcome.messages) {
    std::string words = oneLine(message.text);
    const Range range = rangeFor(index, message.fileLine - 1, words);
    // The simulator's words stay as they are; the English hint follows them.
    if (const std::string hint = note::messageHint(message.text); !hint.empty()) {
      words += "\n" + hint;
    }
    out.push_back({range, outcome.ok() ? Severity::kWarning : Severity::kError, words});
  }
  std::stable_sort(out.begin(), out.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.range.start.line < b.range.start.line;
  });
  return out;
}

}  // namespace movra::language

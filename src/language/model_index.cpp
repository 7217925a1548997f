#include "language/model_index.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "note/model_file_text.h"
#include "note/model_line.h"

namespace movra::language {

using note::Category;
using note::isBlank;

bool Range::contains(Position p) const {
  const auto before = [](Position a, Position b) {
    return a.line < b.line || (a.line == b.line && a.column <= b.column);
  };
  return before(start, p) && before(p, end);
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (true) {
    const size_t end = text.find('\n', at);
    std::string_view line = text.substr(at, end == std::string_view::npos ? end : end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return lines;
}

int FileIndex::statementAt(int line) const {
  for (size_t i = 0; i < statements.size(); ++i) {
    if (statements[i].line <= line && line <= statements[i].lastLine) return static_cast<int>(i);
  }
  return -1;
}

const FileIndex* FileIndex::includedBy(const Statement& statement) const {
  if (statement.includeIndex < 0 || statement.includeIndex >= static_cast<int>(includes.size())) {
    return nullptr;
  }
  return includes[static_cast<size_t>(statement.includeIndex)].get();
}

namespace {

constexpr std::string_view kInclude = ".include";
constexpr int kIncludeDepthLimit = 8;  // as the reader's own expansion
constexpr int kCircleTypeCode = 84;
constexpr int kFirstTableId = 100;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

Range onLine(int line, size_t begin, size_t end) {
  return {{line, static_cast<int>(begin)}, {line, static_cast<int>(end)}};
}

// An id with an optional "p" in front, as table and function ids may be written.
bool readId(std::string_view word, int& id) {
  if (word.starts_with('p')) word.remove_prefix(1);
  return note::readWholeNumber(word, id);
}

class FileScanner {
 public:
  FileScanner(FileIndex& file, std::set<std::string>& open, int depth)
      : file_(file), open_(open), depth_(depth) {}

  void scan() {
    for (size_t n = 0; n < file_.lines.size(); ++n) {
      const int line = static_cast<int>(n);
      const std::string_view text = file_.lines[n];
      if (file_.endLine >= 0) break;  // notes
      const std::string_view code = note::trimRight(note::withoutComment(text));
      if (note::trim(code).empty()) continue;
      if (isBlank(text[0])) {
        scanRow(line, code);
        continue;
      }
      block_ = -1;
      scanStatement(line, code);
    }
  }

 private:
  Statement& current() { return file_.statements.back(); }
  int currentIndex() const { return static_cast<int>(file_.statements.size()) - 1; }

  void add(SymbolKind kind, int id, Range range, bool definition, int component = 0,
           char letter = 0, int span = 1) {
    Occurrence o;
    o.kind = kind;
    o.id = id;
    o.component = component;
    o.letter = letter;
    o.definition = definition;
    o.span = span;
    o.statement = currentIndex();
    o.range = range;
    file_.occurrences.push_back(o);
  }

  void scanStatement(int line, std::string_view code) {
    Statement s;
    s.line = s.lastLine = line;
    s.keyword = std::string(note::firstWord(code));
    s.keywordRange = onLine(line, 0, s.keyword.size());
    s.textRange = onLine(line, 0, code.size());
    s.entry = note::findKeyword(s.keyword);
    file_.statements.push_back(std::move(s));
    const size_t after = current().keyword.size();
    if (current().keyword == kInclude) return scanInclude(line, code, after);
    const note::CatalogueEntry* entry = current().entry;
    if (entry == nullptr) return;
    switch (entry->category) {
      case Category::kElement:
        return scanElement(line, code, after, *entry);
      case Category::kCommand:
        return scanFieldsAndAnnotations(line, code, after);
      case Category::kNodePosition:
      case Category::kStartingValue:
        return scanNodeLine(line, code, after, entry->category == Category::kNodePosition);
      case Category::kEndOfModel:
        file_.endLine = line;
        return;
      case Category::kDataTable:
      case Category::kSupportSet:
      case Category::kFunction:
      case Category::kTime:
        return scanBlockHead(line, code, after, *entry);
      case Category::kKeyFile:
        return;
    }
  }

  void scanInclude(int line, std::string_view code, size_t at) {
    while (at < code.size() && isBlank(code[at])) ++at;
    size_t end = code.size();
    if (end - at >= 2 && code[at] == '"' && code[end - 1] == '"') {
      ++at;
      --end;
    }
    current().includePath = std::string(code.substr(at, end - at));
    current().includeRange = onLine(line, at, end);
    if (current().includePath.empty() || depth_ >= kIncludeDepthLimit) return;
    namespace fs = std::filesystem;
    const fs::path folder =
        file_.path.empty() ? fs::current_path() : fs::path(file_.path).parent_path();
    std::error_code error;
    fs::path target = fs::weakly_canonical(folder / current().includePath, error);
    if (error) target = folder / current().includePath;
    // A file that includes itself is the reader's mistake to report; index it once.
    if (open_.count(target.string()) != 0) return;
    std::ifstream stream(target, std::ios::binary);
    if (!stream || fs::is_directory(target, error)) return;
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    std::string decoded;
    std::vector<note::FileError> ignored;
    if (!note::decodeFileText(bytes.str(), decoded, ignored)) return;
    auto included = std::make_unique<FileIndex>();
    included->path = target.string();
    included->lines = splitLines(decoded);
    open_.insert(included->path);
    FileScanner(*included, open_, depth_ + 1).scan();
    open_.erase(included->path);
    current().includeIndex = static_cast<int>(file_.includes.size());
    file_.includes.push_back(std::move(included));
  }

  void scanElement(int line, std::string_view code, size_t at, const note::CatalogueEntry& entry) {
    for (int k = 0; k < entry.nodeCount; ++k) {
      while (at < code.size() && isBlank(code[at])) ++at;
      const size_t start = at;
      if (at < code.size() && code[at] == '-') ++at;
      const size_t digits = at;
      while (at < code.size() && isDigit(code[at])) ++at;
      if (at == digits) {
        at = start;
        break;
      }
      int id = 0;
      if (!note::readWholeNumber(code.substr(start, at - start), id)) break;
      char suffix = 0;
      if (at < code.size() && (code[at] == 'n' || code[at] == 'p')) suffix = code[at++];
      if (at < code.size() && !isBlank(code[at]) && code[at] != ',' && code[at] != '{') break;
      current().nodes.push_back({id, suffix, k + 1, onLine(line, start, at)});
      add(SymbolKind::kNode, id, onLine(line, start, at), false);
    }
    while (at < code.size() && isBlank(code[at])) ++at;
    if (at < code.size() && code[at] == ',') ++at;
    scanFieldsAndAnnotations(line, code, at);
    // Nodes some elements name in fields: a motor's stator and rotor, a two-port's
    // second port, a cylinder's ends.
    for (const FieldToken& field : current().fields) {
      if (field.index < entry.fieldNodes.first || field.index > entry.fieldNodes.last) continue;
      int id = 0;
      if (note::readWholeNumber(field.text, id)) add(SymbolKind::kNode, id, field.range, false);
    }
  }

  void scanFieldsAndAnnotations(int line, std::string_view code, size_t at) {
    const size_t brace = std::min(note::findOutsideLabels(code, "{", at), code.size());
    scanFieldList(line, code, at, brace);
    if (brace < code.size()) scanAnnotations(line, code, brace);
  }

  // Fields split at commas outside parentheses, as the reader splits them.
  void scanFieldList(int line, std::string_view code, size_t begin, size_t end) {
    if (note::trim(code.substr(begin, end - begin)).empty()) return;
    int depth = 0;
    size_t start = begin;
    int index = 0;
    bool inLabel = false;
    for (size_t i = begin; i <= end; ++i) {
      const char c = i < end ? code[i] : ',';
      if (c == '"') inLabel = !inLabel;
      if (inLabel && i < end) continue;
      if (c == '(') ++depth;
      if (c == ')' && depth > 0) --depth;
      if (c != ',' || (depth > 0 && i < end)) continue;
      size_t a = start, b = i;
      while (a < b && isBlank(code[a])) ++a;
      while (b > a && isBlank(code[b - 1])) --b;
      addField(line, ++index, code, a, b, true);
      start = i + 1;
    }
  }

  void addField(int line, int index, std::string_view code, size_t a, size_t b, bool references) {
    // An output item's label is words, not references; the field is the item.
    const size_t quote = std::min(code.substr(0, b).find('"', a), b);
    const note::CatalogueEntry* entry = current().entry;
    if (quote < b && entry != nullptr && entry->outputItems.contains(index)) {
      std::string_view item, label;
      std::string ignored;  // the reader reports a malformed label
      if (note::splitLabel(code.substr(a, b - a), item, label, ignored)) {
        size_t itemEnd = quote;
        while (itemEnd > a && isBlank(code[itemEnd - 1])) --itemEnd;
        current().fields.push_back({index, std::string(item), onLine(line, a, itemEnd)});
        current().labels.push_back({std::string(item), std::string(label), onLine(line, quote, b)});
        if (references) scanReferences(line, code, a, itemEnd);
        return;
      }
    }
    current().fields.push_back({index, std::string(code.substr(a, b - a)), onLine(line, a, b)});
    if (references) scanReferences(line, code, a, quote);
  }

  // pN, cN (any letter and a whole number) and xN.D in an expression.
  void scanReferences(int line, std::string_view code, size_t a, size_t b) {
    for (size_t i = a; i < b; ++i) {
      if (!isLetter(code[i]) || i + 1 >= b || !isDigit(code[i + 1])) continue;
      if (i > a && (isLetter(code[i - 1]) || isDigit(code[i - 1]) || code[i - 1] == '.' ||
                    code[i - 1] == '_')) {
        continue;
      }
      size_t j = i + 1;
      int id = 0;
      while (j < b && isDigit(code[j])) id = id * 10 + (code[j++] - '0');
      if (j + 1 < b && code[j] == '.' && isDigit(code[j + 1])) {
        add(SymbolKind::kNode, id, onLine(line, i, j + 2), false, code[j + 1] - '0', code[i]);
        i = j + 1;
      } else {
        add(SymbolKind::kValue, id, onLine(line, i, j), false, 0, code[i]);
        i = j - 1;
      }
    }
  }

  void scanAnnotations(int line, std::string_view code, size_t at) {
    while (at < code.size()) {
      const size_t open = note::findOutsideLabels(code, "{", at);
      if (open == std::string_view::npos) return;
      const size_t close = note::findOutsideLabels(code, "}", open);
      if (close == std::string_view::npos) return;
      size_t i = open + 1;
      while (i < close && isBlank(code[i])) ++i;
      if (i < close && code[i] == 'h') scanOutputAnnotation(line, code, i + 1, close);
      at = close + 1;
    }
  }

  // {h B c I ...}: the element fills ids B to B + 99; each cI puts one on an output.
  void scanOutputAnnotation(int line, std::string_view code, size_t i, size_t close) {
    const auto number = [&](size_t& k, int& value) {
      while (k < close && isBlank(code[k])) ++k;
      const size_t start = k;
      value = 0;
      while (k < close && isDigit(code[k])) value = value * 10 + (code[k++] - '0');
      return k > start;
    };
    size_t start = i;
    while (start < close && isBlank(code[start])) ++start;
    int block = 0;
    if (!number(i, block)) return;
    current().outputBlock = block;
    current().outputRange = onLine(line, start > 0 ? start - 1 : start, i);
    add(SymbolKind::kValue, block, current().outputRange, true, 0, 0, kReturnBlockSize);
    while (i < close) {
      while (i < close && isBlank(code[i])) ++i;
      if (i >= close || code[i] != 'c') return;
      const size_t letter = i++;
      int id = 0;
      if (!number(i, id)) return;
      add(SymbolKind::kValue, id, onLine(line, letter, i), false, 0, 'c');
      while (i < close && isBlank(code[i])) ++i;
      if (i < close && code[i] == '"') {
        const size_t end = code.find('"', i + 1);
        if (end >= close) return;
        const std::string_view text = note::trim(code.substr(i + 1, end - i - 1));
        current().labels.push_back(
            {"c" + std::to_string(id), std::string(text), onLine(line, i, end + 1)});
        i = end + 1;
      }
    }
  }

  void scanNodeLine(int line, std::string_view code, size_t at, bool placement) {
    while (at < code.size() && isBlank(code[at])) ++at;
    size_t end = at;
    while (end < code.size() && !isBlank(code[end]) && code[end] != ',') ++end;
    int id = 0;
    if (note::readWholeNumber(code.substr(at, end - at), id)) {
      current().nodes.push_back({id, 0, 1, onLine(line, at, end)});
      add(SymbolKind::kNode, id, onLine(line, at, end), placement);
    }
    scanFieldList(line, code, end < code.size() && code[end] == ',' ? end + 1 : end, code.size());
  }

  void scanBlockHead(int line, std::string_view code, size_t at,
                     const note::CatalogueEntry& entry) {
    while (at < code.size() && isBlank(code[at])) ++at;
    addField(line, 0, code, at, code.size(), false);
    block_ = currentIndex();
    rows_ = 0;
    functionTable_ = false;
    const std::string_view head = code.substr(at);
    if (entry.category == Category::kTime || head.empty()) return;
    // Ids in the head, each with its column.
    std::vector<std::pair<int, Range>> ids;
    size_t i = at;
    bool allRead = true;
    while (i < code.size()) {
      while (i < code.size() && (isBlank(code[i]) || code[i] == ',')) ++i;
      const size_t start = i;
      while (i < code.size() && !isBlank(code[i]) && code[i] != ',') ++i;
      if (i == start) break;
      int id = 0;
      if (readId(code.substr(start, i - start), id)) {
        ids.push_back({id, onLine(line, start, i)});
      } else {
        allRead = false;
      }
    }
    if (!allRead || ids.empty()) return;
    if (entry.category == Category::kDataTable) {
      functionTable_ = !(ids.size() == 1 && ids[0].first >= kFirstTableId);
    }
    const int span = entry.typeCode == kCircleTypeCode ? 3 : 1;
    for (const auto& [id, range] : ids) add(SymbolKind::kValue, id, range, true, 0, 0, span);
  }

  void scanRow(int line, std::string_view code) {
    if (block_ < 0) return;
    Statement& s = file_.statements[static_cast<size_t>(block_)];
    s.lastLine = line;
    ++rows_;
    size_t a = 0;
    while (a < code.size() && isBlank(code[a])) ++a;
    const Category category = s.entry->category;
    // Function rows and the argument row of a function table are expressions.
    const bool expression = category == Category::kFunction || (functionTable_ && rows_ == 1);
    // Occurrences name the statement the rows belong to.
    const int statement = block_;
    const size_t before = file_.occurrences.size();
    s.fields.push_back({rows_, std::string(code.substr(a)), onLine(line, a, code.size())});
    if (expression) scanReferences(line, code, a, code.size());
    for (size_t k = before; k < file_.occurrences.size(); ++k) {
      file_.occurrences[k].statement = statement;
    }
  }

  FileIndex& file_;
  std::set<std::string>& open_;
  int depth_;
  int block_ = -1;  // the statement whose rows follow, -1 when none
  int rows_ = 0;
  bool functionTable_ = false;
};

void collect(const FileIndex& file, SymbolKind kind, int id, std::vector<Located>& out) {
  for (const Occurrence& o : file.occurrences) {
    if (o.kind != kind) continue;
    const bool covers = o.definition ? (o.id <= id && id < o.id + o.span) : o.id == id;
    if (covers) out.push_back({&file, &o});
  }
  for (const auto& included : file.includes) collect(*included, kind, id, out);
}

}  // namespace

std::unique_ptr<FileIndex> indexModel(std::string_view text, const std::string& path) {
  auto file = std::make_unique<FileIndex>();
  if (!path.empty()) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    file->path = error ? path : absolute.lexically_normal().string();
  }
  file->lines = splitLines(text);
  std::set<std::string> open;
  if (!file->path.empty()) open.insert(file->path);
  FileScanner(*file, open, 0).scan();
  return file;
}

std::vector<Located> findOccurrences(const FileIndex& top, SymbolKind kind, int id) {
  std::vector<Located> out;
  collect(top, kind, id, out);
  return out;
}

const Occurrence* occurrenceAt(const FileIndex& file, Position position) {
  for (const Occurrence& o : file.occurrences) {
    if (o.range.contains(position)) return &o;
  }
  return nullptr;
}

}  // namespace movra::language

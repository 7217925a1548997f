#include "language/completion.h"

#include <cctype>
#include <map>
#include <set>

#include "language/hover.h"
#include "note/model_line.h"

namespace movra::language {
namespace {

using note::Category;

constexpr int kLastNamedNode = 99;  // node quantities name nodes 0 to 99
constexpr int kSwitchTypeCode = 27;

struct Unit {
  char letter;
  const char* factor;
};
// The unit letters of the evaluator.
constexpr Unit kUnits[] = {{'k', "1e3"},  {'M', "1e6"},  {'G', "1e9"},  {'m', "1e-3"},
                           {'u', "1e-6"}, {'n', "1e-9"}, {'p', "1e-12"}};

bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_';
}

class Collector {
 public:
  void add(Completion c) {
    if (seen_.insert(c.label).second) items_.push_back(std::move(c));
  }
  std::vector<Completion> take() { return std::move(items_); }

 private:
  std::set<std::string> seen_;
  std::vector<Completion> items_;
};

void addKeywords(Collector& out) {
  for (const note::CatalogueEntry& entry : note::catalogueEntries()) {
    out.add({std::string(entry.keyword), std::string(entry.description), keywordSnippet(entry),
             true, CompletionKind::kKeyword});
  }
  out.add({".include", "read a file's lines here", ".include ${1:file.model}", true,
           CompletionKind::kKeyword});
}

// Node id -> domain of the elements that name it (0 when none says).
std::map<int, int> nodesInUse(const FileIndex& top) {
  std::map<int, int> nodes;
  for (const Statement& s : top.statements) {
    if (s.entry == nullptr) continue;
    for (const NodeToken& node : s.nodes) {
      int& domain = nodes[node.id];
      const bool says =
          s.entry->category == Category::kElement && s.entry->typeCode != kSwitchTypeCode;
      if (domain == 0 && says) domain = s.entry->domain;
    }
  }
  return nodes;
}

void addNodes(const FileIndex& top, Collector& out) {
  for (const auto& [id, domain] : nodesInUse(top)) {
    out.add({std::to_string(id), "node, " + std::string(note::domainName(domain)),
             std::to_string(id), false, CompletionKind::kNode});
  }
}

void addFieldWords(const FileIndex& top, Collector& out) {
  out.add({"sin", "sine of x in radians", "sin(${1:x})", true, CompletionKind::kFunction});
  out.add({"pow", "a to the power b", "pow(${1:a}, ${2:b})", true, CompletionKind::kFunction});
  out.add({"pi", "3.141592653589793", "pi", false, CompletionKind::kFunction});
  out.add({"p1", "time of the step being solved, s", "p1", false, CompletionKind::kValue});
  out.add(
      {"p2", "step flag: 0 in the starting solution, then 1", "p2", false, CompletionKind::kValue});
  const std::vector<const FileIndex*> files = [&top] {
    std::vector<const FileIndex*> all{&top};
    for (size_t i = 0; i < all.size(); ++i) {
      for (const auto& included : all[i]->includes) all.push_back(included.get());
    }
    return all;
  }();
  for (const FileIndex* file : files) {
    for (const Occurrence& o : file->occurrences) {
      if (o.kind != SymbolKind::kValue) continue;
      const Statement& s = file->statements[static_cast<size_t>(o.statement)];
      if (o.definition && o.span == kReturnBlockSize) continue;  // its offsets are named below
      if (!o.definition) {
        const std::string label =
            std::string(1, o.letter != 0 ? o.letter : 'p') + std::to_string(o.id);
        out.add({label, "in use", label, false, CompletionKind::kValue});
        continue;
      }
      const std::string detail =
          s.entry != nullptr ? "from " + s.keyword + ", " + std::string(s.entry->description)
                             : s.keyword;
      for (int k = 0; k < o.span; ++k) {
        const std::string label = "p" + std::to_string(o.id + k);
        out.add({label, detail, label, false, CompletionKind::kValue});
      }
    }
  }
  for (const auto& [id, domain] : nodesInUse(top)) {
    if (id < 1 || id > kLastNamedNode) continue;
    const std::string node = "x" + std::to_string(id);
    if (domain == note::kMechanical) {
      out.add({node + ".1", "x of node " + std::to_string(id) + ", m", node + ".1", false,
               CompletionKind::kNode});
      out.add({node + ".2", "y of node " + std::to_string(id) + ", m", node + ".2", false,
               CompletionKind::kNode});
      out.add({node + ".3", "angle of node " + std::to_string(id) + ", rad", node + ".3", false,
               CompletionKind::kNode});
      out.add({node + ".4", "angle of node " + std::to_string(id) + ", degrees", node + ".4", false,
               CompletionKind::kNode});
    } else {
      out.add(
          {node + ".9",
           "potential of " + std::string(note::domainName(domain)) + " node " + std::to_string(id),
           node + ".9", false, CompletionKind::kNode});
    }
  }
}

void addUnits(std::string_view number, Collector& out) {
  for (const Unit& unit : kUnits) {
    const std::string text = std::string(number) + unit.letter;
    out.add({text, std::string("unit ") + unit.letter + " = " + unit.factor, text, false,
             CompletionKind::kUnit});
  }
}

// Field completions for the word that ends at column in text.
void addFieldCompletions(const FileIndex& top, std::string_view text, Collector& out) {
  size_t start = text.size();
  while (start > 0 && isWordChar(text[start - 1])) --start;
  const std::string_view word = text.substr(start);
  if (!word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) != 0 || word[0] == '.')) {
    addUnits(word, out);
    return;
  }
  addFieldWords(top, out);
}

}  // namespace

namespace {

// A snippet placeholder's text with the characters snippets reserve escaped.
std::string placeholder(int number, std::string_view name) {
  std::string text = "${" + std::to_string(number) + ":";
  for (const char c : name) {
    if (c == '$' || c == '}' || c == '\\') text += '\\';
    text += c;
  }
  return text + "}";
}

// The fields a snippet names: up to the last one the element cannot do without,
// and at least the first.
size_t namedFields(const note::KeywordReference& reference) {
  size_t count = reference.fields.empty() ? 0 : 1;
  for (size_t k = 0; k < reference.fields.size(); ++k) {
    if (reference.fields[k].required) count = k + 1;
  }
  return count;
}

}  // namespace

std::string keywordSnippet(const note::CatalogueEntry& entry) {
  constexpr size_t kLongestRole = 24;  // longer roles read badly as a placeholder
  const note::KeywordReference& reference = note::referenceOf(entry);
  std::string text(entry.keyword);
  int number = 1;
  const auto fields = [&](std::string_view first, std::string_view between) {
    const size_t count = namedFields(reference);
    for (size_t k = 0; k < count; ++k) {
      text += k == 0 ? first : between;
      text += placeholder(number++, reference.fields[k].name);
    }
    if (count == 0) text += std::string(first) + placeholder(number++, "fields");
  };
  switch (entry.category) {
    case Category::kElement:
      for (int k = 1; k <= entry.nodeCount; ++k) {
        const bool known = static_cast<size_t>(k) <= reference.nodes.size() &&
                           reference.nodes[k - 1].role.size() <= kLongestRole;
        text += " " + placeholder(number++, known ? std::string(reference.nodes[k - 1].role)
                                                  : "node" + std::to_string(k));
      }
      fields(", ", ", ");
      return text;
    case Category::kCommand:
      fields(" ", ", ");
      return text;
    case Category::kNodePosition:
      return text + " ${1:node} ${2:x} ${3:y}";
    case Category::kStartingValue:
      return text + " ${1:node}, ${2:value}";
    case Category::kFunction:
      text += " " + placeholder(number++, "id");
      fields("\n   ", "\n   ");
      return text;
    case Category::kTime:
      text += " " + placeholder(number++, "method");
      fields("\n   ", "\n   ");
      return text;
    case Category::kDataTable:
    case Category::kSupportSet:
      return text + " ${1:id}\n   ${2:row}";
    case Category::kKeyFile:
      return text + " c:${1:keys}.log";
    case Category::kEndOfModel:
      return text;
  }
  return text;
}

namespace {

// After an output item and a blank (".o x2.9 |"): a label, its words proposed.
bool labelCompletion(const FileIndex& top, const note::CatalogueEntry& entry, std::string_view rest,
                     Collector& out) {
  int index = 1;
  size_t start = 0;
  for (size_t at = note::findOutsideLabels(rest, ","); at != std::string_view::npos;
       at = note::findOutsideLabels(rest, ",", start)) {
    ++index;
    start = at + 1;
  }
  const std::string_view field = rest.substr(start);
  const std::string_view item = note::trim(field);
  if (!entry.outputItems.contains(index) || item.empty() ||
      field.find('"') != std::string_view::npos || !note::isBlank(field.back()) ||
      item.find_first_of(" \t") != std::string_view::npos) {
    return false;
  }
  std::string words = outputMeaning(top, std::string(item)).words;
  std::string escaped;
  for (const char c : words) {
    if (c == '$' || c == '}' || c == '\\') escaped += '\\';
    if (c != '"') escaped += c;
  }
  out.add({"\"" + words + "\"", "label: the output's name in plots", "\"${1:" + escaped + "}\"",
           true, CompletionKind::kValue});
  return true;
}

}  // namespace

std::vector<Completion> completionsAt(const FileIndex& top, Position position) {
  Collector out;
  std::string_view line;
  if (position.line >= 0 && position.line < static_cast<int>(top.lines.size())) {
    line = top.lines[static_cast<size_t>(position.line)];
  }
  const size_t column = std::min(static_cast<size_t>(std::max(position.column, 0)), line.size());
  const std::string_view before = line.substr(0, column);
  if (note::findOutsideLabels(before, "//") != std::string_view::npos) return {};
  if (before.find_first_of(" \t") == std::string_view::npos) {
    addKeywords(out);
    return out.take();
  }
  const int at = top.statementAt(position.line);
  if (at < 0) return {};
  const Statement& s = top.statements[static_cast<size_t>(at)];
  if (s.entry == nullptr) return {};
  const Category category = s.entry->category;
  if (s.line != position.line) {
    // A row: expressions in function statements and a function table's argument.
    const bool expression =
        category == Category::kFunction || (category == Category::kDataTable && !s.fields.empty() &&
                                            s.fields[0].text.find(',') != std::string::npos);
    if (expression || category == Category::kTime) addFieldCompletions(top, before, out);
    return out.take();
  }
  const std::string_view rest = before.substr(s.keyword.size());
  if (category == Category::kElement || category == Category::kNodePosition ||
      category == Category::kStartingValue) {
    const int nodes = category == Category::kElement ? s.entry->nodeCount : 1;
    // Words written after the keyword, the one being typed included.
    int words = 0;
    bool inWord = false;
    for (const char c : rest) {
      const bool blank = note::isBlank(c);
      if (!blank && !inWord) ++words;
      inWord = !blank;
    }
    if (!inWord) ++words;
    const bool fieldsBegun = rest.find_first_of(",{") != std::string_view::npos;
    if (!fieldsBegun && words <= nodes) {
      addNodes(top, out);
      return out.take();
    }
  }
  if (labelCompletion(top, *s.entry, rest, out)) return out.take();
  if (note::findOutsideLabels(rest, "{") != std::string_view::npos) return {};
  addFieldCompletions(top, before, out);
  return out.take();
}

}  // namespace movra::language

#include "language/navigation.h"

#include <map>

#include "note/model_line.h"

namespace movra::language {
namespace {

using note::Category;

bool onInclude(const FileIndex& top, Position position, const Statement*& found) {
  for (const Statement& s : top.statements) {
    if (!s.includePath.empty() && s.line == position.line &&
        (s.includeRange.contains(position) || s.keywordRange.contains(position))) {
      found = &s;
      return true;
    }
  }
  return false;
}

// The ids an occurrence stands for: a definition of a block covers all of them.
std::vector<Located> sameIds(const FileIndex& top, const Occurrence& at) {
  if (!at.definition || at.span == 1) return findOccurrences(top, at.kind, at.id);
  std::vector<Located> all;
  for (int id = at.id; id < at.id + at.span; ++id) {
    for (const Located& l : findOccurrences(top, at.kind, id)) {
      bool seen = false;
      for (const Located& a : all) seen = seen || a.occurrence == l.occurrence;
      if (!seen) all.push_back(l);
    }
  }
  return all;
}

std::string nodeList(const Statement& s) {
  std::string name = s.keyword;
  for (const NodeToken& node : s.nodes) {
    name += ' ';
    name += std::to_string(node.id);
    if (node.suffix != 0) name += node.suffix;
  }
  return name;
}

std::string shortText(const FileIndex& file, const Statement& s) {
  constexpr size_t kLongest = 48;
  std::string text(note::trimRight(note::withoutComment(file.lines[static_cast<size_t>(s.line)])));
  if (text.size() > kLongest) text = text.substr(0, kLongest - 3) + "...";
  return text;
}

OutlineKind kindOf(const Statement& s) {
  if (!s.includePath.empty() || s.keyword == ".include") return OutlineKind::kInclude;
  if (s.entry == nullptr) return OutlineKind::kOther;
  switch (s.entry->category) {
    case Category::kElement:
      return OutlineKind::kElement;
    case Category::kNodePosition:
    case Category::kStartingValue:
      return OutlineKind::kPosition;
    case Category::kDataTable:
      return OutlineKind::kTable;
    case Category::kSupportSet:
      return OutlineKind::kSupportSet;
    case Category::kFunction:
      return OutlineKind::kFunction;
    case Category::kTime:
      return OutlineKind::kTime;
    case Category::kCommand:
      return OutlineKind::kCommand;
    default:
      return OutlineKind::kOther;
  }
}

}  // namespace

std::vector<Location> definitionAt(const FileIndex& top, Position position) {
  const Statement* include = nullptr;
  if (onInclude(top, position, include)) {
    const FileIndex* file = top.includedBy(*include);
    if (file == nullptr) return {};
    return {{file, {{0, 0}, {0, 0}}}};
  }
  const Occurrence* at = occurrenceAt(top, position);
  if (at == nullptr) return {};
  std::vector<Location> out;
  const std::vector<Located> all = findOccurrences(top, at->kind, at->id);
  for (const Located& l : all) {
    if (l.occurrence->definition) out.push_back({l.file, l.occurrence->range});
  }
  // A node that no ".in" places is defined where it is first used.
  if (out.empty() && at->kind == SymbolKind::kNode && !all.empty()) {
    out.push_back({all.front().file, all.front().occurrence->range});
  }
  return out;
}

std::vector<Location> referencesAt(const FileIndex& top, Position position,
                                   bool includeDefinition) {
  const Occurrence* at = occurrenceAt(top, position);
  if (at == nullptr) return {};
  std::vector<Location> out;
  for (const Located& l : sameIds(top, *at)) {
    if (l.occurrence->definition && !includeDefinition) continue;
    out.push_back({l.file, l.occurrence->range});
  }
  return out;
}

std::vector<OutlineSymbol> documentSymbols(const FileIndex& top) {
  std::map<int, OutlineSymbol> domains;  // by NodeDomain, in that order
  OutlineSymbol positions;
  positions.name = "node positions";
  positions.kind = OutlineKind::kGroup;
  std::vector<OutlineSymbol> others;
  for (const Statement& s : top.statements) {
    const int lastColumn =
        static_cast<int>(note::trimRight(top.lines[static_cast<size_t>(s.lastLine)]).size());
    OutlineSymbol symbol;
    symbol.kind = kindOf(s);
    symbol.range = {{s.line, 0}, {s.lastLine, lastColumn}};
    symbol.selectionRange = s.keywordRange;
    symbol.detail = s.entry != nullptr ? std::string(s.entry->description) : "";
    switch (symbol.kind) {
      case OutlineKind::kElement: {
        symbol.name = nodeList(s);
        OutlineSymbol& group = domains[s.entry->domain];
        if (group.name.empty()) {
          group.name = s.entry->domain == note::kNoDomain
                           ? "other elements"
                           : std::string(note::domainName(s.entry->domain)) + " elements";
          group.kind = OutlineKind::kGroup;
          group.range = symbol.range;
          group.selectionRange = symbol.selectionRange;
        }
        group.range.end = symbol.range.end;
        group.children.push_back(std::move(symbol));
        continue;
      }
      case OutlineKind::kPosition:
        symbol.name = shortText(top, s);
        if (positions.children.empty()) {
          positions.range = symbol.range;
          positions.selectionRange = symbol.selectionRange;
        }
        positions.range.end = symbol.range.end;
        positions.children.push_back(std::move(symbol));
        continue;
      case OutlineKind::kInclude:
        symbol.name = ".include " + s.includePath;
        symbol.detail = "included file";
        break;
      default:
        symbol.name = shortText(top, s);
        break;
    }
    others.push_back(std::move(symbol));
  }
  std::vector<OutlineSymbol> out;
  for (auto& [domain, group] : domains) out.push_back(std::move(group));
  if (!positions.children.empty()) out.push_back(std::move(positions));
  for (OutlineSymbol& symbol : others) out.push_back(std::move(symbol));
  return out;
}

}  // namespace movra::language

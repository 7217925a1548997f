#include "language/hover.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "input/expression.h"
#include "note/field_text.h"
#include "note/model_line.h"

namespace movra::language {
namespace {

using note::Category;

constexpr int kFirstGroundPoint = 100;
constexpr int kLastGroundPoint = 198;
constexpr int kTimeParameter = 1;
constexpr int kStepFlagParameter = 2;
constexpr int kSwitchTypeCode = 27;  // its nodes take the domain of the others

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string lineWord(int line) {
  return "line " + std::to_string(line + 1);
}

std::string where(const FileIndex& top, const FileIndex& file, int line) {
  if (&file == &top) return lineWord(line);
  return std::filesystem::path(file.path).filename().string() + " " + lineWord(line);
}

const Statement& statementOf(const FileIndex& file, const Occurrence& o) {
  return file.statements[static_cast<size_t>(o.statement)];
}

std::string describe(const Statement& s) {
  std::string text = "`" + s.keyword;
  for (const NodeToken& node : s.nodes) {
    text += ' ' + std::to_string(node.id);
    if (node.suffix != 0) text += node.suffix;
  }
  text += "`";
  if (s.entry != nullptr) text += " (" + std::string(s.entry->description) + ")";
  return text;
}

// The domain of a node from the elements that name it in their node lists.
std::string nodeDomains(const std::vector<Located>& uses) {
  std::set<int> domains;
  for (const Located& l : uses) {
    const Statement& s = statementOf(*l.file, *l.occurrence);
    if (s.entry == nullptr || s.entry->category != Category::kElement) continue;
    if (s.entry->domain == note::kNoDomain || s.entry->typeCode == kSwitchTypeCode) continue;
    bool inNodeList = false;
    for (const NodeToken& node : s.nodes)
      inNodeList = inNodeList || node.range == l.occurrence->range;
    if (inNodeList) domains.insert(s.entry->domain);
  }
  std::string text;
  for (const int d : domains) {
    if (!text.empty()) text += " and ";
    text += note::domainName(d);
  }
  return text;
}

std::string componentWords(int digit, const std::string& domain) {
  switch (digit) {
    case 1:
      return "x coordinate (m)";
    case 2:
      return "y coordinate (m)";
    case 3:
      return "angle (rad)";
    case 4:
      return "angle (degrees)";
    case 9:
      if (domain == "electrical") return "potential (V)";
      if (domain == "magnetic") return "magnetic potential (A-turns)";
      if (domain == "fluid") return "pressure (Pa)";
      if (domain == "thermal") return "temperature (degC)";
      return "potential (V, A-turns, Pa or degC by the node's domain)";
    default:
      return "an unknown component: the evaluator takes .1, .2, .3, .4 and .9";
  }
}

std::string nodeText(const FileIndex& top, const Occurrence& at) {
  const std::vector<Located> all = findOccurrences(top, SymbolKind::kNode, at.id);
  const std::string domain = nodeDomains(all);
  std::string text;
  if (at.component != 0) {
    text = "**x" + std::to_string(at.id) + "." + std::to_string(at.component) + "**: node " +
           std::to_string(at.id) + "'s " + componentWords(at.component, domain) + "\n\n";
  }
  text += "**node " + std::to_string(at.id) + "**";
  if (at.id <= 0) {
    text +=
        ": ground of every domain (the fixed frame, 0 V, the reference of magnetic, "
        "fluid and thermal networks)";
  } else if (at.id >= kFirstGroundPoint && at.id <= kLastGroundPoint && domain != "mechanical") {
    text += ": a ground point, held at 0 like node 0";
  }
  if (!domain.empty()) text += "\n\ndomain: " + domain;
  std::string placed;
  std::vector<int> lines;
  for (const Located& l : all) {
    const Statement& s = statementOf(*l.file, *l.occurrence);
    if (l.occurrence->definition) {
      // "X Y" without a comma is one field of two words.
      std::string at_;
      for (const FieldToken& f : s.fields) {
        if (s.fields.size() > 1) {
          at_ += (at_.empty() ? "" : ", ") + f.text;
          continue;
        }
        std::istringstream words(f.text);
        for (std::string w; words >> w;) at_ += (at_.empty() ? "" : ", ") + w;
      }
      placed = "placed at " + at_ + " (" + where(top, *l.file, s.line) + ")";
    } else if (l.file == &top && (lines.empty() || lines.back() != s.line)) {
      lines.push_back(s.line);
    }
  }
  text += "\n\n" + (placed.empty() ? std::string("not placed by `.in`") : placed);
  if (!lines.empty()) {
    text += "\n\nused on line" + std::string(lines.size() == 1 ? " " : "s ");
    for (size_t i = 0; i < lines.size(); ++i)
      text += (i == 0 ? "" : ", ") + std::to_string(lines[i] + 1);
  }
  return text;
}

std::string valueText(const FileIndex& top, const Occurrence& at) {
  const std::string name =
      (at.letter != 0 ? std::string(1, at.letter) : "p") + std::to_string(at.id);
  if (!at.definition && at.id == kTimeParameter) {
    return "**" + name + "**: the time of the step being solved, s";
  }
  if (!at.definition && at.id == kStepFlagParameter) {
    return "**" + name + "**: the step flag, 0 in the starting solution and 1 at every later step";
  }
  const std::vector<Located> all = findOccurrences(top, SymbolKind::kValue, at.id);
  for (const Located& l : all) {
    const Occurrence& d = *l.occurrence;
    if (!d.definition) continue;
    const Statement& s = statementOf(*l.file, d);
    const std::string place = where(top, *l.file, s.line);
    if (at.definition && at.span == kReturnBlockSize) {
      return "**{h" + std::to_string(at.id) + "}**: this element writes its return values to ids " +
             std::to_string(at.id) + " to " + std::to_string(at.id + at.span - 1) + " (c" +
             std::to_string(at.id) + " + offset)";
    }
    if (d.span == kReturnBlockSize) {
      const int offset = at.id - d.id;
      std::string meaning = "offset " + std::to_string(offset);
      if (s.entry != nullptr) {
        for (const note::ReturnValueInfo& r : note::referenceOf(*s.entry).returnValues) {
          if (r.offset != offset) continue;
          meaning = std::string(r.meaning) +
                    (r.unit.empty() ? "" : " (" + std::string(r.unit) + ")") + ", offset " +
                    std::to_string(offset);
        }
      }
      return "**" + name + "**: " + meaning + " of " + describe(s) + " on " + place + ", whose {h" +
             std::to_string(d.id) + "} block it is in";
    }
    if (s.entry != nullptr && s.entry->category == Category::kDataTable && at.id >= 100 &&
        d.span == 1 && s.fields.size() > 0 && s.fields[0].text.find(',') == std::string::npos) {
      return "**" + name + "**: table " + std::to_string(at.id) + ", `:u` on " + place;
    }
    if (s.entry != nullptr && s.entry->category == Category::kSupportSet) {
      return "**" + name + "**: support set " + std::to_string(at.id) + ", `.sd` on " + place;
    }
    std::string what = "value set by " + describe(s) + " on " + place;
    if (d.span > 1)
      what +=
          " (output " + std::to_string(at.id - d.id + 1) + " of " + std::to_string(d.span) + ")";
    return "**" + name + "**: " + what;
  }
  return "**" + name + "**: parameter or return value " + std::to_string(at.id) +
         "; nothing in this model sets it";
}

// A field's value as the run starts, or why there is none.
std::string fieldValue(const std::string& text) {
  if (text.empty()) return "empty: not given, the element's default applies";
  const std::string why = note::unreadableField(text);
  if (!why.empty()) return "the simulator cannot read it: " + why;
  std::string buffer = text + " ";
  if (buffer.size() > static_cast<size_t>(kExpressionChars)) return "longer than a field";
  static const ParameterStore zero;
  ValueSources sources;
  sources.parameters = &zero;
  EvaluationResult result;
  const int status = evaluateExpression(buffer.c_str(), sources, result);
  if (status != 0) return "the evaluator refuses it (status " + std::to_string(status) + ")";
  if (result.parameterId != -1 || result.variableSlot != -1) {
    return "follows the run: it names a parameter or a node quantity (" + number(result.value) +
           " with all of them 0)";
  }
  return "value: " + number(result.value);
}

// "unit Ω · default 0 · range ≥ 0" of a field row, the parts it gives.
std::string fieldFacts(const note::FieldInfo& info) {
  std::string facts;
  const auto add = [&facts](std::string_view label, std::string_view value) {
    if (value.empty()) return;
    facts += (facts.empty() ? "" : " · ") + std::string(label) + " " + std::string(value);
  };
  add("unit", info.unit);
  add("default", info.defaultText);
  add("range", info.rangeText);
  if (info.required) facts += (facts.empty() ? "" : " · ") + std::string("required");
  return facts;
}

std::string fieldText(const Statement& s, const FieldToken& f) {
  std::string which;
  const Category category = s.entry->category;
  if (f.index == 0) {
    which = "text after the keyword";
  } else if (category == Category::kElement || category == Category::kCommand) {
    which = "field " + std::to_string(f.index);
  } else {
    which = "row " + std::to_string(f.index);
  }
  const note::FieldInfo* info = f.index > 0 ? note::fieldInfo(*s.entry, f.index) : nullptr;
  if (info != nullptr) which += ", " + std::string(info->name);
  std::string text = "**" + which + "** of " + describe(s);
  if (info != nullptr) {
    if (info->meaning != info->name) text += "\n\n" + std::string(info->meaning);
    if (const std::string facts = fieldFacts(*info); !facts.empty()) text += "\n\n" + facts;
  } else if (f.index > 0 && (category == Category::kElement || category == Category::kCommand)) {
    text += "\n\nthe reference names no such field: the element does not read it";
  }
  text += "\n\n`" + f.text + "`";
  const bool data = category == Category::kDataTable || category == Category::kSupportSet;
  if (!data && f.index > 0) text += " — " + fieldValue(f.text);
  return text;
}

}  // namespace

std::string keywordEntry(const note::CatalogueEntry& entry) {
  std::string text = "**" + std::string(entry.keyword) + "** — " + std::string(entry.description);
  text += "\n\n" + std::string(note::categoryName(entry.category));
  if (entry.typeCode != 0) text += ", type code " + std::to_string(entry.typeCode);
  const note::KeywordReference& reference = note::referenceOf(entry);
  if (entry.category == Category::kElement) {
    text += "\n\nnodes:";
    for (int k = 1; k <= entry.nodeCount; ++k) {
      const bool known = static_cast<size_t>(k) <= reference.nodes.size();
      const int domain = known ? reference.nodes[k - 1].domain : entry.domain;
      text += std::string(k == 1 ? " " : ", ") + std::to_string(k) + ". ";
      text += known ? std::string(reference.nodes[k - 1].role) : "node";
      text += " (" + std::string(note::domainName(domain)) + ")";
    }
    if (entry.fieldNodes.last >= entry.fieldNodes.first) {
      text += "; fields " + std::to_string(entry.fieldNodes.first) + " to " +
              std::to_string(entry.fieldNodes.last) + " name nodes too";
      if (entry.fieldNodes.domain != note::kNoDomain) {
        text += " (" + std::string(note::domainName(entry.fieldNodes.domain)) + ")";
      }
    }
  }
  if (!reference.fields.empty()) {
    const bool rows = entry.category != Category::kElement && entry.category != Category::kCommand;
    text += std::string("\n\n") + (rows ? "rows:" : "fields:");
    for (size_t k = 0; k < reference.fields.size(); ++k) {
      const note::FieldInfo& info = reference.fields[k];
      text += "\n" + std::to_string(k + 1) + ". " + std::string(info.name);
      if (const std::string facts = fieldFacts(info); !facts.empty()) text += " — " + facts;
    }
  }
  if (!reference.returnValues.empty()) {
    text += "\n\nreturn values {h B}:";
    for (const note::ReturnValueInfo& r : reference.returnValues) {
      text += " +" + std::to_string(r.offset) + " " + std::string(r.meaning);
      if (!r.unit.empty()) text += " (" + std::string(r.unit) + ")";
      text += ";";
    }
    text.pop_back();
  }
  std::string aliases;
  for (const note::CatalogueEntry& other : note::catalogueEntries()) {
    if (&other == &entry || other.typeCode != entry.typeCode || entry.typeCode == 0) continue;
    if (other.description != entry.description) continue;
    aliases += (aliases.empty() ? "" : ", ") + std::string("`") + std::string(other.keyword) + "`";
  }
  if (!aliases.empty()) text += "\n\nsame as " + aliases;
  return text;
}

namespace {

std::string plainStatement(const Statement& s) {
  std::string text = s.keyword;
  for (const NodeToken& node : s.nodes) {
    text += ' ' + std::to_string(node.id);
    if (node.suffix != 0) text += node.suffix;
  }
  return text;
}

// "potential (V)" -> words "potential", unit "V".
OutputMeaning splitUnit(const std::string& text) {
  const size_t open = text.rfind(" (");
  if (open == std::string::npos || text.back() != ')') return {text, ""};
  return {text.substr(0, open), text.substr(open + 2, text.size() - open - 3)};
}

int readId(const std::string& digits) {
  if (digits.empty() || digits.size() > 6) return -1;
  for (const char c : digits)
    if (c < '0' || c > '9') return -1;
  return std::stoi(digits);
}

}  // namespace

namespace {

void labelsOf(const FileIndex& file, const std::string& item, std::string& found) {
  for (const Statement& s : file.statements) {
    if (!found.empty()) return;
    for (const OutputLabel& l : s.labels) {
      if (note::sameOutputItem(l.item) == item) {
        found = l.text;
        return;
      }
    }
    if (const FileIndex* included = file.includedBy(s); included != nullptr)
      labelsOf(*included, item, found);
  }
}

}  // namespace

std::string outputLabel(const FileIndex& top, const std::string& item) {
  std::string found;
  labelsOf(top, note::sameOutputItem(item), found);
  return found;
}

OutputMeaning outputMeaning(const FileIndex& top, const std::string& item) {
  if (item == "t") return {"time", "s"};
  if (item.size() > 3 && (item[0] == 'x' || item[0] == 'X')) {
    const size_t dot = item.find('.');
    const int node = readId(item.substr(1, dot == std::string::npos ? 0 : dot - 1));
    const int digit = dot == std::string::npos ? -1 : readId(item.substr(dot + 1));
    if (node >= 0 && digit >= 0) {
      const std::string domain = nodeDomains(findOccurrences(top, SymbolKind::kNode, node));
      OutputMeaning m = splitUnit(componentWords(digit, domain));
      // Without a known domain the unit is one of several.
      if (digit == 9 && domain.empty()) m = {"potential", ""};
      if (m.unit == "V") m.words = "voltage";
      m.words += " of node " + std::to_string(node);
      return m;
    }
    return {item, ""};
  }
  const bool lettered = !item.empty() && (item[0] == 'c' || item[0] == 'C' || item[0] == 'p' ||
                                          item[0] == 'P');
  const int id = readId(lettered ? item.substr(1) : item);
  if (id < 0) return {item, ""};
  if (id == kTimeParameter) return {"time", "s"};
  for (const Located& l : findOccurrences(top, SymbolKind::kValue, id)) {
    const Occurrence& d = *l.occurrence;
    if (!d.definition) continue;
    const Statement& s = statementOf(*l.file, d);
    // A statement without nodes (":set 21") is named by the id it defines.
    const std::string named = plainStatement(s) + (s.nodes.empty() ? " " + std::to_string(d.id) : "");
    const std::string of = " of " + named + " (" + where(top, *l.file, s.line) + ")";
    if (d.span == kReturnBlockSize && s.entry != nullptr) {
      for (const note::ReturnValueInfo& r : note::referenceOf(*s.entry).returnValues) {
        if (r.offset == id - d.id) return {std::string(r.meaning) + of, std::string(r.unit)};
      }
      return {"return value " + std::to_string(id - d.id) + of, ""};
    }
    std::string words = "value" + of;
    if (d.span > 1)
      words = "output " + std::to_string(id - d.id + 1) + " of " + std::to_string(d.span) + of;
    return {words, ""};
  }
  return {item, ""};
}

std::optional<HoverText> hoverAt(const FileIndex& top, Position position) {
  const int at = top.statementAt(position.line);
  if (at < 0) return std::nullopt;
  const Statement& s = top.statements[static_cast<size_t>(at)];
  if (s.line == position.line && s.keywordRange.contains(position)) {
    if (s.keyword == ".include") {
      return HoverText{
          "**.include** — the lines of the named file are read in place of this line "
          "(a path relative to this file's folder)",
          s.keywordRange};
    }
    if (s.entry == nullptr) return std::nullopt;
    return HoverText{keywordEntry(*s.entry), s.keywordRange};
  }
  if (!s.includePath.empty() && s.includeRange.contains(position)) {
    const FileIndex* file = top.includedBy(s);
    return HoverText{file != nullptr ? "included file `" + file->path + "`"
                                     : "cannot read `" + s.includePath + "`",
                     s.includeRange};
  }
  for (const OutputLabel& l : s.labels) {
    if (!l.range.contains(position)) continue;
    const OutputMeaning m = outputMeaning(top, l.item);
    return HoverText{"label of `" + l.item + "` (" + m.words +
                         (m.unit.empty() ? "" : ", " + m.unit) + "): plots name the output \"" +
                         l.text + "\"",
                     l.range};
  }
  if (const Occurrence* o = occurrenceAt(top, position); o != nullptr) {
    return HoverText{o->kind == SymbolKind::kNode ? nodeText(top, *o) : valueText(top, *o),
                     o->range};
  }
  if (s.entry == nullptr) return std::nullopt;
  for (const FieldToken& f : s.fields) {
    if (f.range.contains(position)) return HoverText{fieldText(s, f), f.range};
  }
  return std::nullopt;
}

}  // namespace movra::language

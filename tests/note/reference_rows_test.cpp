// The reference rows of the catalogue against the two documents that state them:
// the field tables, the return-value offsets and the function-statement rows of
// docs/reference.md and of the element sections of docs/model-format.md.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "note/catalogue.h"
#include "support/text_files.h"

namespace movra::note {
namespace {

const std::filesystem::path kSource(MOVRA_SOURCE_DIR);

using testing::fileText;

std::vector<std::string> cells(const std::string& row) { return testing::tableCells(row); }

// The keywords a text names in backticks that the catalogue knows.
std::vector<const CatalogueEntry*> namedKeywords(const std::string& text) {
  std::vector<const CatalogueEntry*> out;
  static const std::regex quoted("`([^`]+)`");
  for (std::sregex_iterator it(text.begin(), text.end(), quoted), end; it != end; ++it) {
    if (const CatalogueEntry* entry = findKeyword((*it)[1].str())) out.push_back(entry);
  }
  return out;
}

struct Section {
  std::string heading;
  std::vector<std::string> lines;
};

// The sections whose heading starts with a keyword: "### `R` resistor ...".
std::vector<Section> keywordSections(const std::string& text) {
  std::vector<Section> out;
  bool open = false;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.starts_with('#')) {
      open = line.starts_with("### `");
      if (open) out.push_back({line, {}});
    } else if (open) {
      out.back().lines.push_back(line);
    }
  }
  return out;
}

// A unit cell of "—" or "–" says the same as an empty one.
std::string unitOf(const std::string& cell) {
  return cell == "—" || cell == "–" ? "" : cell;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::set<int> offsetsIn(const std::string& paragraph) {
  std::set<int> out;
  static const std::regex offset(R"(\+(\d+)(?: to \+(\d+))?)");
  for (std::sregex_iterator it(paragraph.begin(), paragraph.end(), offset), end; it != end; ++it) {
    const int first = std::stoi((*it)[1].str());
    const int last = (*it)[2].matched ? std::stoi((*it)[2].str()) : first;
    for (int k = first; k <= last; ++k) out.insert(k);
  }
  return out;
}

struct Agreement {
  std::vector<std::string> problems;
  std::set<const void*> fieldsCompared;   // KeywordReference::fields.data()
  std::set<const void*> returnsCompared;  // KeywordReference::returnValues.data()
};

// A field table: "| Field | Meaning | Unit | Default | Range |" (or fewer columns,
// or "| Row | Value | Default |"); "| `Ne` field | ..." holds for that keyword only.
void compareTable(const std::vector<std::string>& header, const std::vector<std::string>& rows,
                  const std::vector<const CatalogueEntry*>& keywords, Agreement& out) {
  std::vector<const CatalogueEntry*> applies = keywords;
  if (header[0] != "Field" && header[0] != "Row") applies = namedKeywords(header[0]);
  for (const CatalogueEntry* entry : applies) {
    const KeywordReference& reference = referenceOf(*entry);
    const std::string keyword(entry->keyword);
    size_t numbered = 0;
    for (const std::string& row : rows) {
      const std::vector<std::string> cell = cells(row);
      if (cell.empty() || cell[0].find_first_not_of("0123456789") != std::string::npos) continue;
      ++numbered;
      const int k = std::stoi(cell[0]);
      const FieldInfo* field = fieldInfo(*entry, k);
      if (field == nullptr) {
        out.problems.push_back(keyword + " field " + cell[0] + ": in the docs, not in the rows");
        continue;
      }
      for (size_t c = 1; c < header.size() && c < cell.size(); ++c) {
        std::string_view expected;
        std::string documented = cell[c];
        if (header[c] == "Meaning" || header[c] == "Value") {
          expected = field->meaning;
        } else if (header[c] == "Unit") {
          expected = field->unit;
          documented = unitOf(documented);
        } else if (header[c] == "Default") {
          expected = field->defaultText;
        } else if (header[c] == "Range") {
          expected = field->rangeText;
        } else {
          continue;
        }
        if (documented != expected) {
          out.problems.push_back(keyword + " field " + cell[0] + " " + header[c] + ": docs '" +
                                 documented + "', rows '" + std::string(expected) + "'");
        }
      }
    }
    if (numbered != reference.fields.size()) {
      out.problems.push_back(keyword + ": " + std::to_string(numbered) + " fields in the docs, " +
                             std::to_string(reference.fields.size()) + " in the rows");
    }
    out.fieldsCompared.insert(reference.fields.data());
  }
}

// The paragraph from "Return values" or "Record" on lists the offsets; "Return
// values as `Ma`." shares another keyword's.
void compareReturnValues(const Section& section, const std::vector<const CatalogueEntry*>& keywords,
                         Agreement& out) {
  const std::string text = join(section.lines);
  const size_t start = std::min(text.find("Return values"), text.find("Record"));
  if (start == std::string::npos) return;
  const std::string paragraph = text.substr(start, text.find("\n\n", start) - start);
  const std::set<int> documented = offsetsIn(paragraph);
  for (const CatalogueEntry* entry : keywords) {
    const KeywordReference& reference = referenceOf(*entry);
    const std::string keyword(entry->keyword);
    if (documented.empty()) {
      const std::vector<const CatalogueEntry*> other = namedKeywords(paragraph);
      if (other.empty() ||
          referenceOf(*other[0]).returnValues.data() != reference.returnValues.data()) {
        out.problems.push_back(keyword + ": return values named after another keyword differ");
      }
      continue;
    }
    std::set<int> rows;
    for (const ReturnValueInfo& value : reference.returnValues) rows.insert(value.offset);
    if (rows != documented) {
      std::string listed;
      for (int k : documented) listed += " +" + std::to_string(k);
      out.problems.push_back(keyword + ": return-value offsets differ; the docs list" + listed);
    }
    out.returnsCompared.insert(reference.returnValues.data());
  }
}

void compareDocument(const std::string& text, Agreement& out) {
  for (const Section& section : keywordSections(text)) {
    const std::vector<const CatalogueEntry*> keywords = namedKeywords(section.heading);
    for (size_t i = 0; i + 1 < section.lines.size(); ++i) {
      if (!section.lines[i].starts_with('|') || !section.lines[i + 1].starts_with("|---")) {
        continue;
      }
      const std::vector<std::string> header = cells(section.lines[i]);
      if (header.size() < 2 || (header[1] != "Meaning" && header[1] != "Value")) continue;
      if (!header[0].ends_with("Field") && !header[0].ends_with("field") && header[0] != "Row") {
        continue;
      }
      std::vector<std::string> rows;
      for (i += 2; i < section.lines.size() && section.lines[i].starts_with('|'); ++i) {
        rows.push_back(section.lines[i]);
      }
      compareTable(header, rows, keywords, out);
    }
    compareReturnValues(section, keywords, out);
  }
}

// "| `:pi ID` | ... f2 ... f7 ... |": the values a function statement's rows hold
// after its input are the fk the table names.
void compareFunctionTable(const std::string& text, Agreement& out) {
  std::istringstream stream(text);
  static const std::regex value(R"(\bf(\d+)\b)");
  for (std::string line; std::getline(stream, line);) {
    if (!line.starts_with("| `:")) continue;
    const std::vector<std::string> cell = cells(line);
    if (cell.size() != 2) continue;
    std::set<int> named;
    for (std::sregex_iterator it(cell[1].begin(), cell[1].end(), value), end; it != end; ++it) {
      named.insert(std::stoi((*it)[1].str()));
    }
    static const std::regex keywordCell("`(:[a-z0-9]+) ID`");
    for (std::sregex_iterator it(cell[0].begin(), cell[0].end(), keywordCell), end; it != end;
         ++it) {
      const CatalogueEntry* entry = findKeyword((*it)[1].str());
      if (entry == nullptr) {
        out.problems.push_back((*it)[1].str() + ": in the function table, not a keyword");
        continue;
      }
      const KeywordReference& reference = referenceOf(*entry);
      std::set<int> rows;
      for (size_t k = 2; k <= reference.fields.size(); ++k) rows.insert(static_cast<int>(k));
      if (rows != named) {
        out.problems.push_back(std::string(entry->keyword) + ": the table names " +
                               std::to_string(named.size()) + " values, the rows hold " +
                               std::to_string(rows.size()));
      }
      out.fieldsCompared.insert(reference.fields.data());
    }
  }
}

Agreement compareDocs(const std::string& reference, const std::string& format) {
  Agreement out;
  compareDocument(reference, out);
  compareDocument(format, out);
  compareFunctionTable(reference, out);
  return out;
}

std::string listed(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& problem : problems) text += problem + "\n";
  return text;
}

TEST(ReferenceRows, DocsAndRowsAgree) {
  const Agreement agreement = compareDocs(fileText(kSource / "docs/reference.md"),
                                          fileText(kSource / "docs/model-format.md"));
  EXPECT_TRUE(agreement.problems.empty()) << listed(agreement.problems);
  // Every element with a model, and every statement with rows, was compared.
  for (const CatalogueEntry& entry : catalogueEntries()) {
    const KeywordReference& reference = referenceOf(entry);
    const bool modelled = entry.category == Category::kElement && entry.domain != kNoDomain;
    if (modelled) {
      EXPECT_FALSE(reference.fields.empty()) << entry.keyword << " has no field rows";
      EXPECT_FALSE(reference.nodes.empty()) << entry.keyword << " has no node rows";
      EXPECT_EQ(static_cast<int>(reference.nodes.size()), entry.nodeCount) << entry.keyword;
    }
    if (reference.fields.empty()) continue;
    const bool inATable =
        entry.category != Category::kNodePosition && entry.category != Category::kStartingValue;
    if (inATable) {
      EXPECT_TRUE(agreement.fieldsCompared.contains(reference.fields.data()))
          << entry.keyword << ": no table of the docs states its fields";
    }
    if (!reference.returnValues.empty()) {
      EXPECT_TRUE(agreement.returnsCompared.contains(reference.returnValues.data()))
          << entry.keyword << ": no section of the docs lists its return values";
    }
  }
}

// The comparison must notice a document that drifts from the rows.
TEST(ReferenceRows, ADocumentThatDriftsIsNoticed) {
  const std::string reference = fileText(kSource / "docs/reference.md");
  const std::string format = fileText(kSource / "docs/model-format.md");
  struct Drift {
    bool inReference;
    std::string from;
    std::string to;
  };
  const Drift drifts[] = {
      {true, "| 2 | series resistance R | Ω | 0 | ≥ 0 |",
       "| 2 | series resistance R | kΩ | 0 | ≥ 0 |"},
      {true, "| 3 | gain A | V/V | — | > 0 |", "| 3 | gain A | V/V | 1 | > 0 |"},
      {true, "| 4 | force magnitude F_a, added along field 5 | N | 0 | any |\n", ""},
      {true, "+6 the resistance in use", "+7 the resistance in use"},
      {true, "| 3 | step h (s), ≥ 1e-9 | — |", "| 3 | step h (s), at least 1e-9 | — |"},
      {true, "damping ratio f3 |", "damping ratio f3, gain f4 |"},
      {false, "| 2 | path length l | m | — | > 0 |", "| 2 | path length l | m | 0 | > 0 |"},
      {false, "| 4 | tube length L | m | — | > 0 |", "| 4 | tube length | m | — | > 0 |"},
      {false, "+19 s0.", "+19 s0, +20 s1."},
      {false, "Return values as `Ma`.", "Return values as `Md`."},
  };
  for (const Drift& drift : drifts) {
    std::string changed = drift.inReference ? reference : format;
    const size_t at = changed.find(drift.from);
    ASSERT_NE(at, std::string::npos) << drift.from;
    changed.replace(at, drift.from.size(), drift.to);
    const Agreement agreement =
        drift.inReference ? compareDocs(changed, format) : compareDocs(reference, changed);
    EXPECT_FALSE(agreement.problems.empty()) << drift.from;
  }
}

// Aliases of one element share its rows; keywords the simulator does not model
// have none, so nothing about them can be claimed.
TEST(ReferenceRows, KeywordsOfOneTypeCodeShareTheirRows) {
  for (const CatalogueEntry& a : catalogueEntries()) {
    if (a.category != Category::kElement) continue;
    EXPECT_EQ(a.reference == nullptr, a.domain == kNoDomain) << a.keyword;
    for (const CatalogueEntry& b : catalogueEntries()) {
      if (b.category == Category::kElement && b.typeCode == a.typeCode) {
        EXPECT_EQ(a.reference, b.reference) << a.keyword << " and " << b.keyword;
      }
    }
  }
}

}  // namespace
}  // namespace movra::note

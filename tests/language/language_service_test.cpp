// The language service over real model texts: where each mistake is underlined,
// what hover says, what completes where, and where definitions lead.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "language/completion.h"
#include "language/diagnostics.h"
#include "language/hover.h"
#include "language/model_index.h"
#include "language/navigation.h"
#include "support/text_files.h"

namespace movra::language {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) { return testing::fileText(path); }

// The text a range covers (on one line).
std::string covered(const FileIndex& index, const Range& range) {
  if (range.start.line != range.end.line) return "<several lines>";
  const std::string& line = index.lines.at(static_cast<size_t>(range.start.line));
  return line.substr(static_cast<size_t>(range.start.column),
                     static_cast<size_t>(range.end.column - range.start.column));
}

// A folder of its own for models that include files.
class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            ("movra-language-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  fs::path write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return path_ / name;
  }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

struct Analysed {
  std::unique_ptr<FileIndex> index;
  std::vector<Diagnostic> diagnostics;
};

Analysed analyse(const std::string& text, const std::string& path = {}) {
  Analysed a;
  a.index = indexModel(text, path);
  a.diagnostics = diagnose(text, path, *a.index);
  return a;
}

// A circuit that reads and runs, the base the mistakes below are written into.
const std::string kGood =
    ".in 1 0 0\n"
    "V 1 0, 5 * p2, 0\n"
    "R 1 2, 1k\n"
    "C 2 0, 1u\n"
    ".t 2\n"
    "   0\n"
    "   1m\n"
    "   10u\n"
    "   1\n";

struct MistakeCase {
  const char* what;
  std::string text;
  int line;  // 0-based
  const char* underlined;
  Severity severity;
  const char* says;  // part of the message
};

TEST(Diagnostics, EachMistakeIsUnderlinedWhereItIs) {
  const MistakeCase cases[] = {
      {"unknown keyword", "Rx 1 2, 1k\n" + kGood, 0, "Rx", Severity::kError, "unknown keyword"},
      {"missing node", kGood + "R 3\n", 9, "R 3", Severity::kError, "node 2 is missing"},
      {"node not an id", kGood + "R 3 x\n", 9, "x", Severity::kError, "expected a node id"},
      {"node out of range", kGood + "R 3 1000, 1\n", 9, "1000", Severity::kError, "out of range"},
      {"suffix apart", kGood + "lr 3 n\n", 9, "n", Severity::kError, "suffix"},
      {"unreadable field", kGood + "R 1 2, 1k, 5 m\n", 9, "5 m", Severity::kError, "field 2"},
      {"too long a field", kGood + "R 1 2, " + std::string(300, '1') + "\n", 9, nullptr,
       Severity::kError, "field 1 is 300 bytes"},
      {"unknown annotation", kGood + "R 1 2, 1k {z 1}\n", 9, "{z 1}", Severity::kError,
       "unknown annotation"},
      {"unclosed annotation", kGood + "R 1 2, 1k {f 1\n", 9, "{f", Severity::kError, "not closed"},
      {"release off a joint", kGood + "R 1 2, 1k {r x}\n", 9, "R 1 2, 1k {r x}", Severity::kError,
       "release"},
      {"two domains", kGood + "lr 2n 3p\n", 9, "2n", Severity::kError, "domain"},
      {"placement without id", kGood + ".in x 0 0\n", 9, "x", Severity::kError, "'.in'"},
      {"placed twice", kGood + ".in 1 1 1\n", 9, "1", Severity::kError, "placed twice"},
      {"coordinate not constant", kGood + ".in 2 p3 0\n", 9, "p3", Severity::kError,
       "must be a constant"},
      {"annotation on a command", kGood + ".o x1.9 {h 1}\n", 9, ".o x1.9 {h 1}", Severity::kError,
       "takes none"},
      {"key file", kGood + ".key d:/keys.log\n", 9, ".key d:/keys.log", Severity::kError, "c:"},
      {"table id too high", kGood + ":u 995\n   0 1\n", 9, ":u 995", Severity::kError, "above 990"},
      {"table without rows", kGood + ":u 200\n", 9, ":u 200", Severity::kError, "no data rows"},
      {"bad return ids", kGood + ":u 11, x\n   p1\n   0 1\n", 9, "x", Severity::kError,
       "neither a table id"},
      {"row without a block", kGood + "R 2 0, 1k\n   5\n", 10, "5", Severity::kError,
       "indented line"},
      {"time row", ".in 1 0 0\nV 1 0, 5, 0\nR 1 0, 1k\n.t 2\n   0\n   1/p2\n", 5, "1/p2",
       Severity::kError, "row 2"},
      {"starting value on nothing", kGood + ".iv 7, 3\n", 9, "7", Severity::kError,
       "no element uses node 7"},
      {"include missing", ".include nothing-here.model\n" + kGood, 0, "nothing-here.model",
       Severity::kError, "cannot read"},
      {"empty model", "// only a comment\n", 0, "// only a comment", Severity::kError,
       "holds no statement"},
      {"zero byte", std::string("R 1 2, 1k\n.o x") + '\0' + "\n", 1, nullptr, Severity::kError, ""},
      {"too many fields",
       kGood + "R 1 2, " +
           [] {
             std::string f;
             for (int k = 0; k < 21; ++k) f += "1, ";
             return f + "1";
           }() +
           "\n",
       9, nullptr, Severity::kError, "more than 20 fields"},
      {"annotation twice", kGood + "R 1 2, 1k {f 1} {f 2}\n", 9, "R 1 2, 1k {f 1} {f 2}",
       Severity::kError, "a second {f"},
      {"output annotation", kGood + "R 1 2, 1k {h x}\n", 9, "h", Severity::kError, "'h' must be"},
      {"release twice", ".in 1 0 0\npc 0n 1n {r x} {r y}\n", 1, "pc 0n 1n {r x} {r y}",
       Severity::kError, "a second {r"},
      {"starting value twice", kGood + ".iv 2, 1\n.iv 2, 3\n", 10, "2", Severity::kError,
       "has a starting value on line 10"},
      {"second key file", kGood + ".key c:/a.log\n.key c:/b.log\n", 10, ".key c:/b.log",
       Severity::kError, "a second '.key'"},
      {"circle id", kGood + ":circle 5\n   0\n   1\n", 9, "5", Severity::kError, "':circle' needs"},
      {"time method", ".in 1 0 0\nV 1 0, 5, 0\nR 1 0, 1k\n.t x\n", 3, "x", Severity::kError,
       "the method after '.t'"},
      {"one coordinate", kGood + ".in 3 1\n", 9, ".in 3 1", Severity::kError, "two coordinates"},
      {"a quoted field that reads like a node", kGood + "R 1 2, node 99999999999\n", 9,
       "node 99999999999", Severity::kError, "field 1"},
      {"record limit",
       [] {
         std::string m;
         for (int k = 0; k < 136; ++k) m += "R 1 0, 1k\n";
         return m;
       }(),
       135, "R 1 0, 1k", Severity::kError, "more than 135 records"},
      // The simulator's own reader, run in-process: a link without its suffixes.
      {"simulator's reader", ".in 1 0 0\n.in 2 1 0\npc 0n 1n\nlr 1 2\nb 0n 2n, 1\n", 3, "lr 1 2",
       Severity::kError, "\xE7\xAF\x80"},
      {"simulator's hint", ".in 1 0 0\n.in 2 1 0\npc 0n 1n\nlr 1 2\nb 0n 2n, 1\n", 3, "lr 1 2",
       Severity::kError, "\nhint: "},
      {"required field", kGood + "R 2 0\n", 9, "R 2 0", Severity::kError,
       "field 1, the resistance R"},
      {"required field empty", kGood + "R 2 0, , 3\n", 9, "R 2 0, , 3", Severity::kError,
       "is missing"},
      // The warnings of "check".
      {"field not read", kGood + "R 2 0, 1k, 2, 3, 4\n", 9, "4", Severity::kWarning,
       "reads 3 fields"},
      {"ground point", kGood + "R 2 105, 1k\n", 9, "105", Severity::kWarning, "ground points"},
      {"dangling node", kGood + "R 2 7, 1k\n", 9, "7", Severity::kWarning,
       "used by this element alone"},
  };
  for (const MistakeCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Analysed a = analyse(c.text);
    ASSERT_FALSE(a.diagnostics.empty());
    const Diagnostic* found = nullptr;
    for (const Diagnostic& d : a.diagnostics) {
      if (d.range.start.line == c.line && d.message.find(c.says) != std::string::npos) found = &d;
    }
    ASSERT_NE(found, nullptr) << "first: line " << a.diagnostics[0].range.start.line + 1 << ": "
                              << a.diagnostics[0].message;
    EXPECT_EQ(found->severity, c.severity) << found->message;
    if (c.underlined != nullptr) {
      EXPECT_EQ(covered(*a.index, found->range), c.underlined) << found->message;
    }
    EXPECT_LE(found->range.start.column, found->range.end.column);
  }
}

TEST(Diagnostics, AWholeModelLimitIsShownOnce) {
  std::string model;
  for (int k = 0; k < 140; ++k) model += "R 1 0, 1k\n";
  EXPECT_EQ(analyse(model).diagnostics.size(), 1u);
}

TEST(Diagnostics, SeveralMistakesAreAllShownAndAMendClearsThem) {
  const std::string broken =
      "V 1 0, 5, 0\n"
      "R 1 2, 1k\n"
      "Rx 2 0, 1k\n"
      ":u 200\n"
      "C 2 0, 1u\n"
      ".in 9 q 0\n";
  const Analysed a = analyse(broken);
  std::vector<int> lines;
  for (const Diagnostic& d : a.diagnostics) lines.push_back(d.range.start.line);
  EXPECT_EQ(lines, (std::vector<int>{2, 3, 5}));

  std::string mended = broken;
  mended.replace(mended.find("Rx"), 2, "R");
  mended.replace(mended.find(":u 200\n"), 7, "");
  mended.replace(mended.find(".in 9 q 0"), 9, ".in 2 0 0");
  EXPECT_TRUE(analyse(mended).diagnostics.empty()) << analyse(mended).diagnostics[0].message;
}

const fs::path kExamples = fs::path(MOVRA_SOURCE_DIR) / "examples";

std::vector<fs::path> examples() {
  std::vector<fs::path> all;
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() == ".model") all.push_back(entry.path());
  }
  std::sort(all.begin(), all.end());
  return all;
}

// Every example reads without an error, and hover on each of its keywords gives
// the keyword's catalogue entry.
TEST(Examples, ReadCleanAndEveryKeywordHovers) {
  const std::vector<fs::path> all = examples();
  ASSERT_GT(all.size(), 20u);
  int keywords = 0;
  for (const fs::path& path : all) {
    SCOPED_TRACE(path.filename().string());
    const std::string text = readFile(path);
    const Analysed a = analyse(text, path.string());
    for (const Diagnostic& d : a.diagnostics) {
      EXPECT_NE(d.severity, Severity::kError) << d.range.start.line + 1 << ": " << d.message;
    }
    for (const Statement& s : a.index->statements) {
      if (s.entry == nullptr) {
        EXPECT_EQ(s.keyword, ".include");
        continue;
      }
      const auto hover = hoverAt(*a.index, s.keywordRange.start);
      ASSERT_TRUE(hover.has_value()) << s.keyword;
      EXPECT_EQ(hover->range, s.keywordRange);
      EXPECT_NE(hover->markdown.find("**" + s.keyword + "**"), std::string::npos);
      EXPECT_NE(hover->markdown.find(s.entry->description), std::string::npos);
      if (s.entry->typeCode != 0) {
        EXPECT_NE(hover->markdown.find("type code " + std::to_string(s.entry->typeCode)),
                  std::string::npos);
      }
      ++keywords;
    }
  }
  EXPECT_GT(keywords, 300);
}

const std::string kCircuit =
    ".in 1 -0.4 0.3\n"                    // 0
    "V 1 0, 5 * p2, 0\n"                  // 1
    "R 1 2, 1k, , 2 * (1 + p20)\n"        // 2
    "C 2 0, 1u {h1000 c1002}\n"           // 3
    ":pi 20\n"                            // 4
    "   x2.9 - c1002\n"                   // 5
    "   0.5\n"                            // 6
    ".o x1.9, x2.9, c1002\n"              // 7
    ".t 2\n   0\n   5m\n   10u\n   1\n";  // 8..12

Position at(const FileIndex& index, int line, const std::string& word, int offset = 0) {
  const size_t column = index.lines.at(static_cast<size_t>(line)).find(word);
  EXPECT_NE(column, std::string::npos) << word;
  return {line, static_cast<int>(column) + offset};
}

TEST(Hover, NodesFieldsAndReferencesInWords) {
  const Analysed a = analyse(kCircuit);
  ASSERT_TRUE(a.diagnostics.empty()) << a.diagnostics[0].message;
  struct Case {
    int line;
    const char* word;
    std::vector<const char*> says;
  } cases[] = {
      {2, "2,", {"node 2", "electrical", "not placed", "lines 3, 4"}},
      {1, "1 0", {"node 1", "placed at -0.4, 0.3", "line 1", "lines 2, 3"}},
      {2,
       "1k",
       {"field 1, resistance R", "`R 1 2` (resistor)", "unit Ω", "required", "value: 1000"}},
      {2, "2 * (1", {"field 3, resistance for current flowing backwards", "follows the run"}},
      {2, "p20", {"p20", "`:pi` (PI controller)", "line 5"}},
      {1, "p2,", {"step flag"}},
      {5, "c1002", {"current (A), offset 2", "`C 2 0` (capacitor)", "line 4"}},
      {5, "x2.9", {"x2.9", "potential (V)", "node 2"}},
      {3, "h1000", {"ids 1000 to 1099"}},
      {6, "0.5", {"row 2, f2", "`:pi` (PI controller)", "added to x", "value: 0.5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const auto hover = hoverAt(*a.index, at(*a.index, c.line, c.word));
    ASSERT_TRUE(hover.has_value());
    for (const char* part : c.says)
      EXPECT_NE(hover->markdown.find(part), std::string::npos) << hover->markdown;
  }
}

std::vector<std::string> labels(const std::vector<Completion>& items) {
  std::vector<std::string> out;
  for (const Completion& c : items) out.push_back(c.label);
  return out;
}

bool has(const std::vector<std::string>& all, const std::string& one) {
  return std::find(all.begin(), all.end(), one) != all.end();
}

TEST(Completion, KeywordsNodesFieldsAndUnits) {
  std::string text = kCircuit + "R \nR 1 2, \nR 1 2, 4.7\nC";
  const auto index = indexModel(text, "");
  const int last = static_cast<int>(index->lines.size()) - 1;

  const auto start = completionsAt(*index, {last, 1});
  ASSERT_FALSE(start.empty());
  // Snippets name the nodes and the fields up to the last one the element needs.
  const auto snippet = [&start](const std::string& keyword) {
    const auto it = std::find_if(start.begin(), start.end(),
                                 [&](const Completion& c) { return c.label == keyword; });
    EXPECT_TRUE(it != start.end() && it->snippet) << keyword;
    return it == start.end() ? std::string() : it->insertText;
  };
  EXPECT_EQ(snippet("R"), "R ${1:first node} ${2:second node}, ${3:resistance R}");
  EXPECT_EQ(snippet(".t"), ".t ${1:method}\n   ${2:start time}\n   ${3:end time}\n   ${4:step h}");
  EXPECT_EQ(snippet(".ic"), ".ic");
  EXPECT_TRUE(has(labels(start), ":pi") && has(labels(start), ".include") &&
              has(labels(start), "Qp"));

  const auto nodes = labels(completionsAt(*index, {last - 3, 2}));  // after "R "
  EXPECT_TRUE(has(nodes, "1") && has(nodes, "2") && has(nodes, "0"));
  EXPECT_FALSE(has(nodes, "sin"));

  const auto field = labels(completionsAt(*index, {last - 2, 7}));  // after "R 1 2, "
  for (const char* word : {"sin", "pow", "pi", "p1", "p2", "p20", "c1002", "x1.9", "x2.9"}) {
    EXPECT_TRUE(has(field, word)) << word;
  }
  EXPECT_FALSE(has(field, "1"));

  const auto units = labels(completionsAt(*index, {last - 1, 10}));  // after "4.7"
  EXPECT_EQ(units,
            (std::vector<std::string>{"4.7k", "4.7M", "4.7G", "4.7m", "4.7u", "4.7n", "4.7p"}));

  const auto row = labels(completionsAt(*index, {5, 3}));  // in a function row
  EXPECT_TRUE(has(row, "x2.9"));
  EXPECT_TRUE(completionsAt(*index, {7, 20}).size() > 3);  // in an output item
  EXPECT_TRUE(completionsAt(*index, {3, 20}).empty());     // inside an annotation
}

// A label names its item wherever the item is written; its words are no
// references, hover explains it and completion proposes one after an item.
TEST(Labels, NameTheirItemsInHoverCompletionAndPlots) {
  std::string text = kCircuit;
  text.replace(text.find("{h1000 c1002}"), 13, "{h1000 c1002 \"charge, {x1.9}\"}");
  text.replace(text.find(".o x1.9, x2.9"), 13, ".o x1.9 \"in // x2.9\", x2.9");
  text += ".or -1, 1, 1002, x2.9 \n";
  const Analysed a = analyse(text);
  ASSERT_TRUE(a.diagnostics.empty()) << a.diagnostics[0].message;
  EXPECT_EQ(outputLabel(*a.index, "x1.9"), "in // x2.9");
  for (const char* item : {"c1002", "1002", "C1002", "p1002"})
    EXPECT_EQ(outputLabel(*a.index, item), "charge, {x1.9}") << item;
  EXPECT_EQ(outputLabel(*a.index, "x2.9"), "");
  // R, C, row 5, .o and .or name node 2; the labels' words do not.
  EXPECT_EQ(findOccurrences(*a.index, SymbolKind::kNode, 2).size(), 5u);
  const auto onLabel = hoverAt(*a.index, at(*a.index, 7, "in //", 1));
  ASSERT_TRUE(onLabel.has_value());
  EXPECT_NE(onLabel->markdown.find("label of `x1.9` (voltage of node 1, V)"), std::string::npos)
      << onLabel->markdown;
  const auto onItem = hoverAt(*a.index, at(*a.index, 3, "c1002"));
  ASSERT_TRUE(onItem.has_value());
  EXPECT_NE(onItem->markdown.find("current (A)"), std::string::npos) << onItem->markdown;

  const int last = 13;
  const auto proposed =
      completionsAt(*a.index, {last, static_cast<int>(a.index->lines[last].size())});
  ASSERT_EQ(proposed.size(), 1u);
  EXPECT_EQ(proposed[0].insertText, "\"${1:voltage of node 2}\"");
  EXPECT_FALSE(has(labels(completionsAt(*a.index, {last, 7})), proposed[0].label));  // a range

  const Analysed unclosed = analyse(kCircuit + ".o x2.9 \"open\n");
  ASSERT_EQ(unclosed.diagnostics.size(), 1u);
  EXPECT_EQ(unclosed.diagnostics[0].range.start.line, 13);
  EXPECT_NE(unclosed.diagnostics[0].message.find("not closed"), std::string::npos);
}

TEST(Navigation, DefinitionsAndReferencesOfNodesParametersAndIncludes) {
  TempFolder folder;
  folder.write("table.model", "// a table\n:u 560\n   0 1\n   1 2\n");
  const std::string top = ".include table.model\n" + kCircuit + "R 2 0, p560\n";
  const fs::path path = folder.write("top.model", top);
  const Analysed a = analyse(top, path.string());
  ASSERT_TRUE(a.diagnostics.empty() || a.diagnostics[0].severity == Severity::kWarning)
      << a.diagnostics[0].message;
  const FileIndex& index = *a.index;

  struct Case {
    const char* what;
    Position from;
    const char* file;  // nullptr: the top file
    int line;
    const char* covers;
  } cases[] = {
      {"placed node", at(index, 2, "1 0"), nullptr, 1, "1"},
      {"unplaced node", at(index, 4, "2 0"), nullptr, 3, "2"},
      {"function output", at(index, 3, "p20"), nullptr, 5, "20"},
      {"return value", at(index, 6, "c1002"), nullptr, 4, "h1000"},
      {"table in an include", at(index, 14, "p560"), "table.model", 1, "560"},
      {"include", at(index, 0, "table"), "table.model", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<Location> found = definitionAt(index, c.from);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(fs::path(found[0].file->path).filename().string(), c.file ? c.file : "top.model");
    EXPECT_EQ(found[0].range.start.line, c.line);
    EXPECT_EQ(covered(*found[0].file, found[0].range), c.covers);
  }

  // Node 2: R, C, x2.9 in a row and in .o, and the last R.
  EXPECT_EQ(referencesAt(index, at(index, 4, "2 0"), false).size(), 5u);
  // c1002 from the block: the annotation, the row and the output; with the block itself.
  EXPECT_EQ(referencesAt(index, at(index, 4, "c1002", 1), true).size(), 4u);
  EXPECT_EQ(referencesAt(index, at(index, 4, "h1000", 1), false).size(), 3u);
  EXPECT_TRUE(definitionAt(index, at(index, 2, "5 *")).empty());
}

TEST(Navigation, OutlineGroupsElementsByDomain) {
  const Analysed a = analyse(".in 1 0 0\nb 0n 1n, 1\n" + kCircuit);
  const std::vector<OutlineSymbol> symbols = documentSymbols(*a.index);
  std::vector<std::string> names;
  for (const OutlineSymbol& s : symbols) names.push_back(s.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"mechanical elements", "electrical elements",
                                      "node positions", ":pi 20", ".o x1.9, x2.9, c1002", ".t 2"}));
  ASSERT_EQ(symbols[1].children.size(), 3u);
  EXPECT_EQ(symbols[1].children[1].name, "R 1 2");
  EXPECT_EQ(symbols[1].children[1].detail, "resistor");
  EXPECT_EQ(symbols[3].range.end.line, 8);  // the function with its rows
  EXPECT_EQ(symbols[5].range.end.line, 14);
}

}  // namespace
}  // namespace movra::language

namespace movra::language {
namespace {

bool within(const FileIndex& file, const Range& r) {
  const auto fits = [&file](Position p) {
    return p.line >= 0 && p.line < static_cast<int>(file.lines.size()) && p.column >= 0 &&
           p.column <= static_cast<int>(file.lines[static_cast<size_t>(p.line)].size());
  };
  return fits(r.start) && fits(r.end) &&
         (r.start.line < r.end.line ||
          (r.start.line == r.end.line && r.start.column <= r.end.column));
}

// Every position of every example asked for hover, completion and definitions,
// and every example cut short in the middle of each line: whatever the text, the
// ranges given back lie on the lines they name.
TEST(Robustness, EveryPositionAndEveryCutLine) {
  for (const fs::path& path : examples()) {
    SCOPED_TRACE(path.filename().string());
    const std::string text = readFile(path);
    const auto index = indexModel(text, path.string());
    for (int line = 0; line < static_cast<int>(index->lines.size()); ++line) {
      const int length = static_cast<int>(index->lines[static_cast<size_t>(line)].size());
      for (int column = 0; column <= length; ++column) {
        const Position p{line, column};
        if (const auto hover = hoverAt(*index, p)) {
          EXPECT_TRUE(within(*index, hover->range) && hover->range.contains(p))
              << line << ":" << column;
        }
        for (const Location& l : definitionAt(*index, p)) EXPECT_TRUE(within(*l.file, l.range));
        for (const Completion& c : completionsAt(*index, p)) EXPECT_FALSE(c.label.empty());
      }
    }
    for (const OutlineSymbol& s : documentSymbols(*index)) EXPECT_TRUE(within(*index, s.range));
  }
  const fs::path path = kExamples / "pwm_motor_four_bar.model";
  const std::vector<std::string> lines = splitLines(readFile(path));
  for (size_t cut = 0; cut < lines.size(); ++cut) {
    std::string text;
    for (size_t k = 0; k < lines.size(); ++k) {
      text += k == cut ? lines[k].substr(0, lines[k].size() / 2) : lines[k];
      text += '\n';
    }
    const Analysed a = analyse(text, path.string());
    for (const Diagnostic& d : a.diagnostics) {
      EXPECT_TRUE(within(*a.index, d.range)) << "cut line " << cut + 1 << ": " << d.message;
    }
  }
}

}  // namespace
}  // namespace movra::language

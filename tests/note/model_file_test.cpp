#include "note/model_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "note/catalogue.h"

namespace movra::note {
namespace {

std::string model(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

struct Result {
  bool ok = false;
  HandOverImage image;
  std::vector<FileError> errors;
  int errorLine() const { return errors.empty() ? -1 : errors.front().line; }
  std::string message() const { return errors.empty() ? "" : errors.front().message; }
};

std::vector<std::string> textLines(const HandOverImage& image) {
  std::vector<std::string> lines;
  const std::string& text = image.modelText;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) break;  // the simulator drops an unterminated line
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Walks the handed-over text the way the simulator does and checks that records,
// text lines and line maps agree, and that the simulator's own node reading
// finds the nodes the records carry.
void expectSimulatorAgrees(const HandOverImage& image) {
  const std::vector<std::string> lines = textLines(image);
  ASSERT_EQ(lines.size(), image.textFileLine.size());
  ASSERT_EQ(image.records.size(), image.recordFileLine.size());
  EXPECT_EQ(image.secondCount, static_cast<int>(lines.size()));
  EXPECT_TRUE(image.modelText.ends_with("\r\n"));
  int index = -1;
  int skip = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (skip > 0) {
      --skip;
      continue;
    }
    ++index;
    ASSERT_LT(index, static_cast<int>(image.records.size()));
    const StatementRecord& record = image.records[index];
    EXPECT_EQ(image.textFileLine[i], image.recordFileLine[index]) << "text line " << i;
    EXPECT_EQ(record.sourceLine, image.recordFileLine[index]);
    std::string line = lines[i];
    std::replace(line.begin(), line.end(), '>', ' ');
    char keyword[11] = {};
    int used = 0;
    if (std::sscanf(line.c_str(), "%10s%n", keyword, &used) != 1) continue;
    if (std::strcmp(keyword, ":u") == 0 || std::strcmp(keyword, ".sd") == 0) {
      skip = record.continuationCount;
    }
    const CatalogueEntry* entry = findKeyword(keyword);
    if (record.echoFlag == 1 || entry == nullptr || entry->category != Category::kElement) continue;
    const char* rest = line.c_str() + used;
    const int expected[3] = {record.firstNode, record.secondNode, record.thirdNode};
    for (int k = 0; k < entry->nodeCount; ++k) {
      int node = 0;
      int n = 0;
      ASSERT_EQ(std::sscanf(rest, " %d%n", &node, &n), 1) << line;
      EXPECT_EQ(node, expected[k]) << line;
      rest += n;
      while (*rest == ' ') ++rest;
      if (*rest == 'n' || *rest == 'p') ++rest;
    }
  }
  EXPECT_EQ(skip, 0) << "the last block claims lines that were not handed over";
  EXPECT_EQ(index + 1, static_cast<int>(image.records.size()));
}

Result read(const std::string& text) {
  Result result;
  result.ok = readModelFile(text, result.image, result.errors);
  if (result.ok) expectSimulatorAgrees(result.image);
  return result;
}

// ---- Layout and line maps ----

TEST(ModelFileLayout, BlankAndCommentLinesAreNotHandedOver) {
  const Result r = read(
      "\xEF\xBB\xBF// RC circuit\r\n"
      "\r\n"
      "V 1 0, 5   // supply\r\n"
      "   // an indented comment is layout too\n"
      "\t\n"
      "R 1 2, 1k\n"
      "C 2 0, 1u");  // no final line end in the file
  ASSERT_TRUE(r.ok) << r.message();
  ASSERT_EQ(r.image.records.size(), 3u);
  EXPECT_EQ(r.image.recordFileLine, (std::vector<int>{3, 6, 7}));
  EXPECT_EQ(r.image.textFileLine, (std::vector<int>{3, 6, 7}));
  EXPECT_EQ(r.image.modelText, "V 1 0, 5   // supply\r\nR 1 2, 1k\r\nC 2 0, 1u\r\n");
  EXPECT_EQ(r.image.records[1].typeCode, 23);
  EXPECT_EQ(r.image.records[1].elementNumber, -1);
  EXPECT_EQ(r.image.records[1].echoFlag, 0);
}

TEST(ModelFileLayout, RefusesAModelWithoutStatements) {
  const Result r = read(model({"// nothing", ""}));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errorLine(), 0);
}

// ---- Elements: nodes and fields ----

TEST(ModelFileElement, FieldsKeepExpressionsWholeAndMarkEmptyOnes) {
  const Result r = read(model({"R 3 4, pow(2, 3) * 1k ,, 2 * (1 + p12),  {f 1}"}));
  ASSERT_TRUE(r.ok) << r.message();
  const StatementRecord& rec = r.image.records[0];
  EXPECT_STREQ(rec.fieldText[1], "pow(2, 3) * 1k");
  EXPECT_EQ(rec.fieldPresent[1], 1);
  EXPECT_STREQ(rec.fieldText[2], "");
  EXPECT_EQ(rec.fieldPresent[2], 0);
  EXPECT_STREQ(rec.fieldText[3], "2 * (1 + p12)");
  EXPECT_EQ(rec.fieldPresent[3], 1);
  EXPECT_EQ(rec.fieldPresent[4], 0);
  EXPECT_EQ(rec.fieldPresent[5], 0);
}

TEST(ModelFileElement, NodesWithSuffixesSignsAndThirdNode) {
  const Result r = read(model({
      "b 5n 12p 0.1, 2",  // fields may follow the nodes without a comma
      "pc -1n 0n",
      "U 1 2 3, 100k",
      "R 7 8{c 3}",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto& recs = r.image.records;
  EXPECT_EQ(recs[0].firstNode, 5);
  EXPECT_EQ(recs[0].secondNode, 12);
  EXPECT_STREQ(recs[0].fieldText[1], "0.1");
  EXPECT_STREQ(recs[0].fieldText[2], "2");
  EXPECT_EQ(recs[1].firstNode, -1);
  EXPECT_EQ(recs[2].thirdNode, 3);
  EXPECT_EQ(recs[2].typeCode, 35);
  EXPECT_STREQ(recs[2].fieldText[1], "100k");
  EXPECT_EQ(recs[3].secondNode, 8);
  EXPECT_STREQ(recs[3].transcriptionAnnotation, "c 3");
}

TEST(ModelFileElement, RefusesNodesTheSimulatorWouldReadDifferently) {
  const struct {
    const char* line;
    const char* says;
  } cases[] = {
      {"R 1 2 p12", "comma"},        // the simulator would read 2p
      {"R 1 n 2, 5", "suffix"},      // suffix apart from its node
      {"R 1, 2, 5", "missing"},      // comma between nodes
      {"R 1 2.5, 5", "not a node"},  // not a whole number
      {"R 1000 2, 5", "range"},      // above 999
      {"R -3 2, 5", "range"},        // below -2
      {"R 99999999999 2", "range"},  // past int
      {"U 1 2, 5", "node 3"},        // three nodes for type code 35
      {"R 1", "missing"},            // one node short
  };
  for (const auto& c : cases) {
    const Result r = read(model({"// models", c.line}));
    EXPECT_FALSE(r.ok) << c.line;
    EXPECT_EQ(r.errorLine(), 2) << c.line;
    EXPECT_NE(r.message().find(c.says), std::string::npos) << c.line << ": " << r.message();
  }
}

TEST(ModelFileElement, FieldLimitsAndRecordBounds) {
  const std::string longest(255, '7');
  std::string twenty = "R 1 2";
  for (int k = 1; k <= 20; ++k) twenty += k == 20 ? ", " + longest : ", " + std::to_string(k);
  const Result fits = read(model({twenty}));
  ASSERT_TRUE(fits.ok) << fits.message();
  const StatementRecord& rec = fits.image.records[0];
  EXPECT_EQ(std::strlen(rec.fieldText[20]), 255u);
  EXPECT_EQ(rec.fieldPresent[20], 1);
  EXPECT_STREQ(rec.fieldText[19], "19");

  const Result tooMany = read(model({"", twenty + ", 21"}));
  EXPECT_FALSE(tooMany.ok);
  EXPECT_EQ(tooMany.errorLine(), 2);
  EXPECT_NE(tooMany.message().find("more than 20"), std::string::npos);

  const Result tooLong = read(model({"", "", "R 1 2, 1, " + longest + "8"}));
  EXPECT_FALSE(tooLong.ok);
  EXPECT_EQ(tooLong.errorLine(), 3);
  EXPECT_NE(tooLong.message().find("field 2"), std::string::npos) << tooLong.message();
}

// ---- Annotations ----

TEST(ModelFileAnnotations, AreNormalised) {
  const Result r = read(model({
      "R 1 2, 1k {f1} {c 12} {h 1000 c 1001 c1002}  // note",
      ".vc 0, 0, 1 {f 1}",
      "C 2 0, 1u {h1100}",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto& recs = r.image.records;
  EXPECT_STREQ(recs[0].drawingAnnotation, "f 1");
  EXPECT_STREQ(recs[0].transcriptionAnnotation, "c 12");
  EXPECT_STREQ(recs[0].outputAnnotation, "h1000 c1001 c1002");
  EXPECT_STREQ(recs[0].fieldText[1], "1k");
  EXPECT_EQ(recs[0].fieldPresent[2], 0);
  EXPECT_STREQ(recs[1].drawingAnnotation, "f 1");
  EXPECT_STREQ(recs[1].fieldText[3], "1");
  EXPECT_STREQ(recs[2].outputAnnotation, "h1100");
}

TEST(ModelFileAnnotations, BadAnnotationsNameTheLine) {
  std::string items = "{h1000";
  for (int k = 1; k <= 27; ++k) items += " c" + std::to_string(1000 + k);
  items += "}";
  const char* bad[] = {
      "R 1 2, 1 {x 1}", "R 1 2, 1 {f}",     "R 1 2, 1 {f 1.5}",   "R 1 2, 1 {f 1} {f 2}",
      "R 1 2, 1 {c 1",  "R 1 2, 1 {c 1} 5", "R 1 2, 1 {h c1001}", "R 1 2, 1 {h1000 x1}",
      ".vc 1, 2 {c 4}", ".in 1 0 0 {f 1}",  ":pi 10 {f 1}",
  };
  for (const char* line : bad) {
    const Result r = read(model({"V 1 0, 1", line}));
    EXPECT_FALSE(r.ok) << line;
    EXPECT_EQ(r.errorLine(), 2) << line;
  }
  const Result tooMany = read(model({"R 1 2, 1 " + items}));
  EXPECT_FALSE(tooMany.ok);
  EXPECT_NE(tooMany.message().find("26"), std::string::npos) << tooMany.message();

  // 26 ids of ten digits fit the count but not the 256-byte record slot.
  std::string wide = "{h1000000000";
  for (int k = 1; k <= 26; ++k) wide += " c" + std::to_string(1000000000 + k);
  const Result tooWide = read(model({"R 1 2, 1 " + wide + "}"}));
  EXPECT_FALSE(tooWide.ok);
  EXPECT_NE(tooWide.message().find("255"), std::string::npos) << tooWide.message();
}

// Labels name outputs for the plots: the records carry the items alone, and a
// label's commas, braces and "//" are words, not syntax.
TEST(ModelFileLabels, RecordsHoldTheItemsAndMisplacedLabelsAreRefused) {
  const Result r = read(model({
      "R 1 2, 1k {h1100 c1102 \"current {in}, R\" c1101} // note",
      ".o x1.9 \"source, on // off\", x2.9,c1102   \"R's\"  // comment",
      ".or -1, 1, x2.9 \"output\"",
      ".oo x1.9 \"in\", x2.9, -5, 5",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto& recs = r.image.records;
  EXPECT_STREQ(recs[0].outputAnnotation, "h1100 c1102 c1101");
  EXPECT_STREQ(recs[0].fieldText[1], "1k");
  EXPECT_STREQ(recs[1].fieldText[1], "x1.9");
  EXPECT_STREQ(recs[1].fieldText[2], "x2.9");
  EXPECT_STREQ(recs[1].fieldText[3], "c1102");
  EXPECT_EQ(recs[1].fieldPresent[4], 0);
  EXPECT_STREQ(recs[2].fieldText[3], "x2.9");
  EXPECT_STREQ(recs[3].fieldText[1], "x1.9");
  EXPECT_STREQ(recs[3].fieldText[3], "-5");

  const struct {
    const char* line;
    const char* says;
  } bad[] = {
      {".o x1.9 \"open", "not closed"},
      {".o x1.9 \"a\" b", "must end its field"},
      {".o \"alone\"", "no output item"},
      {".o x1.9 \" \"", "empty"},
      {".o x1.9\"tight\"", "a blank must stand"},
      {".or -1 \"low\", 1, x1.9", "may follow only an output item"},
      {".oo x1.9, x2.9, -1 \"r\", 1", "may follow only an output item"},
      {"R 1 2, 1k \"load\"", "may follow only an output item"},
      {"R 1 2, 1k {h1100 c1102 \"open}", "not closed"},
      {"R 1 2, 1k {h1100 c1102 \"\"}", "empty"},
  };
  for (const auto& c : bad) {
    const Result refused = read(model({"V 1 0, 1", c.line}));
    EXPECT_FALSE(refused.ok) << c.line;
    EXPECT_EQ(refused.errorLine(), 2) << c.line;
    EXPECT_NE(refused.message().find(c.says), std::string::npos)
        << c.line << ": " << refused.message();
  }
}

// The release annotation of the rigid joint: one letter per free direction, in any
// order, handed over as the release bits of the record's flags.
TEST(ModelFileAnnotations, ReleaseBitsOfTheRigidJoint) {
  const Result r = read(model({
      "pc 0n 1n {r x}",
      "pc 1n 2n, 0, 0.5 {r a y} {h1000 c1001}",
      "pc 2n 3n {r xya}",
      "pc 3n 4n",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto& recs = r.image.records;
  EXPECT_EQ(recs[0].flags, kRecordReleaseX);
  EXPECT_EQ(recs[1].flags, kRecordReleaseY | kRecordReleaseAngle);
  EXPECT_STREQ(recs[1].outputAnnotation, "h1000 c1001");
  EXPECT_STREQ(recs[1].fieldText[2], "0.5");
  EXPECT_EQ(recs[2].flags, kRecordReleaseX | kRecordReleaseY | kRecordReleaseAngle);
  EXPECT_EQ(recs[3].flags, 0);

  const char* bad[] = {"pc 0n 1n {r}", "pc 0n 1n {r z}", "pc 0n 1n {r x x}",
                       "pc 0n 1n {r x} {r y}", "lr 0n 1n {r x}", "R 1 2, 1 {r x}"};
  for (const char* line : bad) {
    const Result refused = read(model({"V 5 0, 1", line}));
    EXPECT_FALSE(refused.ok) << line;
    EXPECT_EQ(refused.errorLine(), 2) << line;
  }
  const Result greek = read(model({"pc 0n 1n {r θ}"}));
  EXPECT_FALSE(greek.ok);
  EXPECT_NE(greek.message().find("'θ'"), std::string::npos) << greek.message();
}

// ---- Tables, support sets, functions, time ----

TEST(ModelFileBlocks, LookupTableGetsItsClosingLine) {
  const Result r = read(model({
      "R 1 2, 1k",
      ":u 200   // a lookup table",
      "   0    1.5k",
      "",
      "   1,   2.5   // commas read as blanks",
      "   2    4",
      "R 2 0, 1k",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto lines = textLines(r.image);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], ":u 200   // a lookup table");
  EXPECT_EQ(lines[5], "  end");
  EXPECT_EQ(r.image.textFileLine, (std::vector<int>{1, 2, 3, 5, 6, 6, 7}));
  ASSERT_EQ(r.image.records.size(), 3u);
  const StatementRecord& table = r.image.records[1];
  EXPECT_EQ(table.typeCode, 80);
  EXPECT_EQ(table.continuationCount, 4);
  EXPECT_EQ(table.tableId, 200);
  EXPECT_EQ(table.returnValueCount, 0);
  EXPECT_EQ(table.columnCount, 2);
  EXPECT_STREQ(table.blockText, "200\n0    1.5k\n1    2.5\n2    4\nend");
  EXPECT_STREQ(table.fieldText[1], "200");
  EXPECT_EQ(table.fieldPresent[1], 1);
  EXPECT_EQ(r.image.recordFileLine, (std::vector<int>{1, 2, 7}));
}

TEST(ModelFileBlocks, FunctionTableAndSupportSet) {
  const Result r = read(model({
      ":u 11, 12",
      "  pow(x1.1, 2)",
      "  0 1 2",
      "  1 3 4",
      ".sd p300",
      "  0 -1 1",
      "  0.5 1 2",
      ":u p400",
      "  0 1 2 3",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const StatementRecord& function = r.image.records[0];
  EXPECT_EQ(function.returnValueCount, 2);
  EXPECT_EQ(function.returnValueIds[1], 11);
  EXPECT_EQ(function.returnValueIds[2], 12);
  EXPECT_EQ(function.columnCount, 3);
  EXPECT_EQ(function.continuationCount, 4);
  EXPECT_STREQ(function.blockText, "11, 12\npow(x1.1, 2)\n0 1 2\n1 3 4\nend");
  const StatementRecord& set = r.image.records[1];
  EXPECT_EQ(set.typeCode, 0);
  EXPECT_EQ(set.continuationCount, 3);
  EXPECT_STREQ(set.blockText, "p300\n0 -1 1\n0.5 1 2\nend");
  EXPECT_STREQ(set.fieldText[1], "p300");
  EXPECT_EQ(r.image.records[2].tableId, 400);
  EXPECT_EQ(r.image.records[2].columnCount, 4);
  EXPECT_EQ(r.image.records.size(), 3u);
}

TEST(ModelFileBlocks, FunctionAndTimeRowsAreRecordsOutsideTheListing) {
  const Result r = read(model({
      ":pi 20",
      "  x2.1 - 5   // error",
      "  // layout inside a block",
      "  0.5",
      ".t 1",
      "  10m",
      "  1u",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto& recs = r.image.records;
  ASSERT_EQ(recs.size(), 6u);
  EXPECT_EQ(recs[0].typeCode, 81);
  EXPECT_EQ(recs[0].continuationCount, 2);
  EXPECT_EQ(recs[0].echoFlag, 0);
  EXPECT_STREQ(recs[0].blockText, "20\nx2.1 - 5\n0.5");
  EXPECT_STREQ(recs[0].fieldText[1], "20");
  for (int row : {1, 2, 4, 5}) {
    EXPECT_EQ(recs[row].echoFlag, 1) << row;
    EXPECT_EQ(recs[row].typeCode, 0) << row;
  }
  EXPECT_EQ(recs[3].typeCode, 71);
  EXPECT_EQ(recs[3].continuationCount, 2);
  EXPECT_STREQ(recs[3].blockText, "1\n0.01\n1e-06");
  EXPECT_EQ(r.image.recordFileLine, (std::vector<int>{1, 2, 4, 5, 6, 7}));
}

TEST(ModelFileBlocks, Refusals) {
  const struct {
    std::vector<std::string_view> lines;
    int line;
  } cases[] = {
      {{"R 1 2, 1", "  3"}, 2},                // element takes no rows
      {{"   1 2"}, 1},                         // nothing above
      {{".in 1 0 0", "", "\t1"}, 3},           // nor does .in
      {{":u", "  1 2"}, 1},                    // no id
      {{":u 12, p3", "  x", "  1 2"}, 1},      // bad return-value id
      {{":u 1,2,3,4,5,6,7,8,9,10,11"}, 1},     // more than ten
      {{"R 1 2, 1", ":u 300", "// none"}, 2},  // lookup table without rows
      {{":u 300", "  ,", "  1 2"}, 2},         // data row without values
  };
  for (const auto& c : cases) {
    std::string text;
    for (std::string_view line : c.lines) text += std::string(line) + "\n";
    const Result r = read(text);
    EXPECT_FALSE(r.ok) << text;
    EXPECT_EQ(r.errorLine(), c.line) << text << r.message();
  }
}

TEST(ModelFileBlocks, BlockTextFillsItsRecordExactly) {
  // Head "200" and the closing "end" take 3 + 4 bytes; rows fill the rest to 4095.
  std::vector<std::string> rows;
  size_t size = 3 + 4;
  while (size + 100 + 2 <= 4095) {
    rows.push_back("  1 " + std::string(96, '0') + "1");  // 99 bytes and an LF
    size += 100;
  }
  rows.push_back("  " + std::string(4095 - size - 1, '2'));
  std::string text = ":u 200\n";
  for (const auto& row : rows) text += row + "\n";
  const Result fits = read(text);
  ASSERT_TRUE(fits.ok) << fits.message();
  EXPECT_EQ(std::strlen(fits.image.records[0].blockText), 4095u);
  EXPECT_EQ(fits.image.records[0].fieldText[0][0], '\0');  // the slot after is untouched

  const Result over = read(text + "  3\n");
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.errorLine(), static_cast<int>(rows.size()) + 2);
}

// ---- Notes, key file, node positions ----

TEST(ModelFileEnd, LinesAfterTheEndAreNotes) {
  const Result r = read(model({
      "R 1 0, 1",
      ".ic",
      "free text: R 1 2 // kept",
      "",
      "  :u 5 indented too",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const auto& recs = r.image.records;
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[1].echoFlag, 0);
  EXPECT_EQ(recs[2].echoFlag, 1);
  EXPECT_EQ(recs[3].echoFlag, 1);
  EXPECT_EQ(recs[3].typeCode, 0);
  EXPECT_EQ(textLines(r.image)[2], "free text: R 1 2 // kept");
  EXPECT_EQ(r.image.recordFileLine.back(), 5);
}

TEST(ModelFileKey, NamesTheControlKeyFile) {
  const Result r = read(model({".key c:/home/u/run 1.log  // keys", "R 1 0, 1"}));
  ASSERT_TRUE(r.ok) << r.message();
  EXPECT_EQ(r.image.records[0].typeCode, 99);
  const char* bad[] = {".key /home/u/a.log", ".key c:/home/u/a.txt", ".key c:/a.log.old",
                       ".key c:a.log2"};
  for (const char* line : bad) {
    const Result refused = read(model({"R 1 0, 1", line}));
    EXPECT_FALSE(refused.ok) << line;
    EXPECT_EQ(refused.errorLine(), 2) << line;
  }
  const Result twice = read(model({".key c:a.log", ".key c:b.log"}));
  EXPECT_EQ(twice.errorLine(), 2);
  EXPECT_NE(twice.message().find("line 1"), std::string::npos);
}

TEST(ModelFileNodes, PositionsKindsAndNodeList) {
  const Result r = read(model({
      ".in 5 0.1 -0.2",             // blank-separated
      ".in 3, 2 * 0.5, pow(2, 2)",  // comma-separated, blanks inside
      ".in 4 1m 0",                 // unit letters
      ".in 7 0 0",                  // electrical node
      ".in 198 0 0",                // reserved node
      "lr 5n 3n, 1",
      "b 0n 4p, 2",   // ground joins mechanical nodes too
      "R 7 0, 1k",    // placed but electrical
      "pc 198n 0n",   // mechanical but reserved for the hand-over modes
      "sp 9n 3n, 1",  // mechanical, not placed
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const NodeTables& nodes = *r.image.nodes;
  EXPECT_DOUBLE_EQ(nodes.x[5], 0.1);
  EXPECT_DOUBLE_EQ(nodes.y[5], -0.2);
  EXPECT_DOUBLE_EQ(nodes.x[3], 1.0);
  EXPECT_DOUBLE_EQ(nodes.y[3], 4.0);
  EXPECT_DOUBLE_EQ(nodes.x[4], 1e-3);
  EXPECT_EQ(nodes.kind[3], kMechanical);
  EXPECT_EQ(nodes.kind[7], kElectrical);
  EXPECT_EQ(nodes.kind[0], 0);
  EXPECT_EQ(nodes.kind[1], 0);
  EXPECT_EQ(nodes.nodeList[0], 3);
  EXPECT_EQ(nodes.nodeList[1], 4);
  EXPECT_EQ(nodes.nodeList[2], 5);
  EXPECT_EQ(nodes.nodeList[3], -1);
  EXPECT_EQ(nodes.nodeList[kNodeListCount - 1], -1);
  EXPECT_EQ(nodes.nodeMap[5], -1);
  EXPECT_EQ(nodes.editorFlags[5], 0);
}

TEST(ModelFileNodes, UnplacedCircuitNodesSpreadOverTheViewWindow) {
  // Four nodes without ".in": a 2 x 2 grid over 70 % of the window, ground under it.
  const auto grid = [](const NodeTables& nodes, double cx, double cy, double half) {
    EXPECT_DOUBLE_EQ(nodes.x[1], cx - 0.7 * half);
    EXPECT_DOUBLE_EQ(nodes.y[1], cy + 0.7 * half);
    EXPECT_DOUBLE_EQ(nodes.x[4], cx + 0.7 * half);
    EXPECT_DOUBLE_EQ(nodes.y[4], cy - 0.7 * half);
    EXPECT_DOUBLE_EQ(nodes.x[0], cx);
    EXPECT_DOUBLE_EQ(nodes.y[0], cy - 0.9 * half);
  };
  const std::string circuit = model({"R 1 2, 1", "R 2 3, 1", "R 3 4, 1", "R 4 0, 1"});
  const Result plain = read(circuit);
  ASSERT_TRUE(plain.ok) << plain.message();
  grid(*plain.image.nodes, 0, 0, 1);

  const Result inWindow = read(circuit + ".vc 2, 500m, 8 * 0.5, 1000\n");
  ASSERT_TRUE(inWindow.ok) << inWindow.message();
  grid(*inWindow.image.nodes, 2, 0.5, 4);

  // A window the editor cannot evaluate leaves the default one.
  const Result unknown = read(circuit + ".vc 2 * p3, 0.5, 4\n");
  ASSERT_TRUE(unknown.ok) << unknown.message();
  grid(*unknown.image.nodes, 0, 0, 1);
}

TEST(ModelFileNodes, Refusals) {
  const struct {
    std::vector<std::string_view> lines;
    int line;
    const char* says;
  } cases[] = {
      {{".in 2 0 0", "", ".in 2 1 1"}, 3, "line 1"},
      {{"R 4 0, 1", "b 4n 0n, 1"}, 2, "line 1"},
      {{"R 1 0, 1", ".in 1000 0 0"}, 2, "0..999"},
      {{".in 1 p3 0"}, 1, "constant"},
      {{".in 1 0 x2.1"}, 1, "constant"},
      {{".in 1 0 (1"}, 1, "evaluat"},
      {{".in 1 0"}, 1, "two coordinates"},
      {{".in 1 0 1 2"}, 1, "two coordinates"},
  };
  for (const auto& c : cases) {
    std::string text;
    for (std::string_view line : c.lines) text += std::string(line) + "\n";
    const Result r = read(text);
    EXPECT_FALSE(r.ok) << text;
    EXPECT_EQ(r.errorLine(), c.line) << text;
    EXPECT_NE(r.message().find(c.says), std::string::npos) << r.message();
  }
}

// ---- Limits of the hand-over ----

TEST(ModelFileLimits, RecordLimitNamesTheFileLineOfRecord136) {
  std::string text = "// header\n";
  for (int i = 0; i < 135; ++i) text += "R " + std::to_string(i) + " 0, 1\n\n";
  const Result fits = read(text);
  ASSERT_TRUE(fits.ok) << fits.message();
  EXPECT_EQ(fits.image.records.size(), 135u);

  const Result over = read(text + ".ic\n");
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.errorLine(), 2 + 2 * 135);
}

TEST(ModelFileLimits, ModelTextMustFitItsBlock) {
  // ".ic" and 63 notes of 1022 bytes take 5 + 63 * 1024 bytes with their CR LF; a last
  // note of 1016 bytes brings the text to 65535 bytes, leaving room for the zero.
  std::string text = ".ic\n";
  for (int i = 0; i < 63; ++i) text += std::string(1022, 'x') + "\n";
  const Result fits = read(text + std::string(1016, 'y') + "\n");
  ASSERT_TRUE(fits.ok) << fits.message();
  EXPECT_EQ(fits.image.modelText.size(), 65535u);

  const Result over = read(text + std::string(1017, 'y') + "\n");
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.errorLine(), 65);
}

// ---- Encodings ----

TEST(ModelFileEncoding, CodePage932IsConvertedToUtf8) {
  // "抵抗" and a half-width katakana in code page 932.
  const Result r = read("R 1 0, 1k // \x92\xEF\x8D\x52 \xB1\r\n");
  ASSERT_TRUE(r.ok) << r.message();
  EXPECT_EQ(r.image.modelText, "R 1 0, 1k // \xE6\x8A\xB5\xE6\x8A\x97 \xEF\xBD\xB1\r\n");
  EXPECT_STREQ(r.image.records[0].fieldText[1], "1k");
}

TEST(ModelFileEncoding, BadBytesNameTheirLine) {
  const Result neither = read("R 1 0, 1\nR 2 0, 1 // \x81\x7F\n");
  EXPECT_FALSE(neither.ok);
  EXPECT_EQ(neither.errorLine(), 2);
  const Result zero = read(std::string("R 1 0, 1\n\nR 2 0\0, 1\n", 20));
  EXPECT_EQ(zero.errorLine(), 3);
  const Result strayReturn = read("R 1 0, 1\nR 2\r0, 1\n");
  EXPECT_EQ(strayReturn.errorLine(), 2);
}

TEST(ModelFileEncoding, UnknownKeywordAndUnreadableFile) {
  const Result r = read(model({"R 1 0, 1", "// comment", "Xyz 1 2"}));
  EXPECT_EQ(r.errorLine(), 3);
  EXPECT_NE(r.message().find("'Xyz'"), std::string::npos);

  HandOverImage image;
  std::vector<FileError> errors;
  EXPECT_FALSE(readModelFilePath("/nonexistent/movra/none.model", image, errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 0);
}

TEST(ModelFileExamples, ReadWithoutErrors) {
  const auto examples = std::filesystem::path(MOVRA_SOURCE_DIR) / "examples";
  for (const char* name : {"rc_circuit.model", "pendulum.model"}) {
    Result r;
    r.ok = readModelFilePath((examples / name).string(), r.image, r.errors);
    EXPECT_TRUE(r.ok) << name << ":" << r.errorLine() << ": " << r.message();
    if (r.ok) expectSimulatorAgrees(r.image);
  }
}

}  // namespace
}  // namespace movra::note

namespace movra::note {
namespace {

// ---- Time values and switch nodes ----

// The simulator reads each ".t" value as one plain number: the editor hands over
// the value of an expression, and refuses a row that would be read as something
// else than was written.
TEST(ModelFileTime, RowsAreEvaluatedIntoNumbers) {
  const Result r = read(model({
      ".t 1 + 1",
      "  0",
      "  1/50      // end: one period at 50 Hz",
      "  20m / 1k",
      "  pow(2, 3)",
  }));
  ASSERT_TRUE(r.ok) << r.message();
  EXPECT_STREQ(r.image.records[0].blockText, "2\n0\n0.02\n2e-05\n8");
  // Rows are still handed over as written for the listing.
  EXPECT_NE(r.image.modelText.find("  1/50      // end"), std::string::npos);

  const struct {
    std::vector<std::string_view> lines;
    int line;
    const char* says;
  } refused[] = {
      {{".t 2", "  0", "  5 m"}, 3, "5m, not 5 m"},
      {{".t 2", "  0", "  p3"}, 3, "constant"},
      {{".t 2", "  0", "  1/0"}, 3, "row 2"},
      {{".t x"}, 1, "method"},
  };
  for (const auto& c : refused) {
    std::string text;
    for (std::string_view line : c.lines) text += std::string(line) + "\n";
    const Result bad = read(text);
    EXPECT_FALSE(bad.ok) << text;
    EXPECT_EQ(bad.errorLine(), c.line) << text;
    EXPECT_NE(bad.message().find(c.says), std::string::npos) << bad.message();
  }
}

TEST(ModelFileBlocks, TableIdsRunFrom100To990) {
  EXPECT_TRUE(read(model({":u 990", "  0 1"})).ok);
  EXPECT_TRUE(read(model({":u p100", "  0 1"})).ok);
  const Result above = read(model({"R 1 0, 1", ":u 1000", "  0 1"}));
  EXPECT_FALSE(above.ok);
  EXPECT_EQ(above.errorLine(), 2);
  EXPECT_NE(above.message().find("100 to 990"), std::string::npos) << above.message();
}

TEST(ModelFileNodes, SwitchTakesTheKindOfItsNodes) {
  const Result r = read(model({
      "b 0n 2n, 1",
      "tr 0n 3n, 1",
      "Sw 2 3, 1, 0, 0, 0, 0, 1",  // between two angles
      "Sw 4 0, 1, 0, 0, 0, 0, 1",  // alone: a circuit switch
      "R 5 0, 1k",
      "Sw 5 6, 1, 0, 0, 0, 0, 1",  // beside a resistor
  }));
  ASSERT_TRUE(r.ok) << r.message();
  const NodeTables& nodes = *r.image.nodes;
  EXPECT_EQ(nodes.kind[2], kMechanical);
  EXPECT_EQ(nodes.kind[3], kMechanical);
  EXPECT_EQ(nodes.kind[4], kElectrical);
  EXPECT_EQ(nodes.kind[5], kElectrical);
  EXPECT_EQ(nodes.kind[6], kElectrical);
  // A node that two other elements put in two domains is still refused.
  const Result mixed = read(model({"R 2 0, 1", "Sw 2 3, 1", "b 0n 2n, 1"}));
  EXPECT_FALSE(mixed.ok);
  EXPECT_EQ(mixed.errorLine(), 3);
}

}  // namespace
}  // namespace movra::note

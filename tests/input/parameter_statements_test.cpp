#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using Rows = std::vector<std::string>;

// A record line with the fields the editor fills for tables and function statements.
struct Statement {
  testing::RecordLine line;
  int tableId = 0;
  std::vector<int> returnValues;
  int columnCount = 0;
  int mode = 0;
  double radius = 0.0;
};

// ":u" and ".sd" hand over their rows and one closing line, in the text and the block.
Statement data(const std::string& keyword, const std::string& head, Rows rows) {
  Statement s{{keyword + " " + head, keyword == ":u" ? 80 : 0, static_cast<int>(rows.size()) + 1}};
  s.line.block = head;
  for (const std::string& row : rows) s.line.block += "\n" + row;
  s.line.block += "\nend";
  rows.push_back("end");
  for (const std::string& row : rows) s.line.continuation.push_back("  " + row);
  return s;
}

Statement lookup(int id, const Rows& rows) {
  Statement s = data(":u", std::to_string(id), rows);
  s.tableId = id;
  s.columnCount = 2;
  return s;
}

Statement function(const std::vector<int>& ids, const std::string& argument, Rows rows) {
  std::string head;
  for (int id : ids) head += (head.empty() ? "" : ", ") + std::to_string(id);
  rows.insert(rows.begin(), argument);
  Statement s = data(":u", head, rows);
  s.returnValues = ids;
  s.columnCount = static_cast<int>(ids.size()) + 1;
  return s;
}

// A function statement and its row records, which stay out of the numbered text.
std::vector<Statement>& add(std::vector<Statement>& lines, const std::string& keyword, int type,
                            const std::string& id, const Rows& rows = {"x1.1"}) {
  lines.push_back({{keyword + " " + id, type, static_cast<int>(rows.size())}});
  lines.back().line.block = id;
  for (const std::string& row : rows) lines.back().line.block += "\n" + row;
  for (const std::string& row : rows) lines.push_back({{"  " + row, 0, 0, 1}});
  return lines;
}

// The statement line as messages quote it.
std::string quoted(int record, const std::string& text) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "$%3d  ", record);
  return prefix + text + " ";
}

struct Refusal {
  std::vector<Statement> lines;
  std::string message;
};

class ParameterStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override { reporter.setSink(log.sink()); }
  int read(const std::vector<Statement>& lines) {
    resetModel(*model);
    std::vector<testing::RecordLine> records;
    for (const Statement& s : lines) records.push_back(s.line);
    testing::handOver(*model, records);
    for (size_t r = 0; r < lines.size(); ++r) {
      StatementRecord& record = model->records[r];
      record.tableId = lines[r].tableId;
      record.returnValueCount = static_cast<int>(lines[r].returnValues.size());
      for (size_t j = 0; j < lines[r].returnValues.size() && j < kMaxReturnValues; ++j) {
        record.returnValueIds[j + 1] = lines[r].returnValues[j];
      }
      record.columnCount = lines[r].columnCount;
      record.mode = lines[r].mode;
      record.radius = lines[r].radius;
    }
    if (numberModelText(*model, reporter, "") != 0) return -1;
    return readStatements(*model, reporter);
  }
  void expectRefusals(const std::vector<Refusal>& cases) {
    for (const Refusal& c : cases) {
      EXPECT_EQ(read(c.lines), 9) << c.message;
      EXPECT_EQ(last(), c.message);
    }
  }
  const ParameterStatement& entry(int number) const { return model->parameterStatements[number]; }
  const double* row(int number, int index) const {
    return model->parameterRows[entry(number).firstPoolRow + index];
  }
  std::string last() const { return log.texts.empty() ? "" : log.texts.back(); }

  std::unique_ptr<Model> model = makeModel();
  Reporter reporter;
  testing::MessageLog log;
};

TEST_F(ParameterStatementsTest, SupportSetsKeepTheirRowsUnderTheirId) {
  const Statement resistor{{"R 1 0, 1k", 23, 0, 0, {"1k"}}};
  ASSERT_EQ(
      read({data(".sd", "p300", {"0 -1 1", "0.5 1 2"}), resistor, data(".sd", "310", {"1m 1 1"})}),
      0)
      << last();
  EXPECT_EQ(model->count.elements, 1);             // the rows were not read as statements
  EXPECT_EQ(model->count.parameterStatements, 6);  // each set takes two more entries
  EXPECT_EQ(entry(1).id, 300);
  EXPECT_EQ(entry(1).rowCount, 2);
  EXPECT_EQ(row(1, 1)[2], 2.0);
  EXPECT_EQ(model->parameters.get(300), 1.0);  // "wh" finds the set through it
  EXPECT_EQ(model->parameters.get(310), 4.0);
  EXPECT_EQ(row(4, 0)[0], 1e-3);
  EXPECT_GE(entry(4).firstPoolRow, entry(1).firstPoolRow + 2);
}

TEST_F(ParameterStatementsTest, SupportSetRefusals) {
  const std::string set = quoted(0, ".sd 300");
  expectRefusals({
      {{lookup(150, {"0 1"}), data(".sd", "150", {"0 1 1"})},
       " パラメタ組ｉｄがダブる.  3 150 \n\n " + quoted(1, ".sd 150")},
      {{data(".sd", "300", {"1 2 1"})}, " !台は h>=0 ，x0<=x1 ？ \n\n " + set},
      {{data(".sd", "300", {"-1 0 1"})}, " !台は h>=0 ，x0<=x1 ？ \n\n " + set},
      {{data(".sd", "300", {"0 1 1", "1 2"})},
       " データが？？ 2 2 \n\n 300\n0 1 1\n1 2\nend \n\n " + set},
      {{data(".sd", "991", {"0 1 1"})},
       " パラメタ組は 100 ～ 990 ？ 1 991 \n\n " + quoted(0, ".sd 991")},
      {{data(".sd", "2.5", {"0 1 1"})}, " パラメタ組ｉｄが？ 2.5 \n\n " + quoted(0, ".sd 2.5")},
      {{{{".sd 300", 0, 0, 0, {}, {}, "300"}}}, " エラー?？ \n\n " + set},
  });
  EXPECT_EQ(read({data(".sd", "300", {"0 1 1"})}), 0);  // h = 0 and x0 = x1 are allowed
}

TEST_F(ParameterStatementsTest, TablesCountTheirRowsByKindAndTakeAnEntryPerValue) {
  Statement table = lookup(200, {"1 0", "1.5k 2", "2k 4"});
  table.tableId = 0;  // read from the text instead
  const Statement values = function({11, 12}, "pow(x1.1, 2)", {"0 1 2", "1 3 4"});
  ASSERT_EQ(table.line.continuationCount, values.line.continuationCount);
  ASSERT_EQ(read({{{"R 1 0, 1k", 23, 0, 0, {"1k"}}}, table, values}), 0) << last();
  EXPECT_EQ(entry(1).id, 200);
  EXPECT_EQ(entry(1).rowCount, 3);
  EXPECT_EQ(row(1, 1)[0], 1500.0);
  EXPECT_EQ(row(1, 1)[1], 2.0);
  EXPECT_EQ(model->parameters.get(200), 1.0);  // the statement line
  EXPECT_EQ(model->records[2].parameterStatementNumber, 3);
  EXPECT_EQ(entry(3).rowCount, 2);
  EXPECT_EQ(entry(3).returnValueIds[2], 12);
  EXPECT_EQ(row(3, 1)[2], 4.0);
  EXPECT_NE(model->idRegistry[12], 0);
  EXPECT_EQ(model->count.parameterStatements, 5);
}

TEST_F(ParameterStatementsTest, TableAndReturnValueIds) {
  std::vector<Statement> lines;
  add(add(lines, ":int", 93, "100"), ":int", 93, "p999");  // function statements go to 999
  ASSERT_EQ(read(lines), 0) << last();
  EXPECT_EQ(entry(2).id, 999);

  lines.clear();
  add(lines, ":int", 93, "11").push_back(function({12, 11}, "x1.1", {"0 1 2"}));
  // More ids than the record has room for are refused by the rows.
  Statement crowded = function({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, "1", {"0 1 2 3 4 5"});
  crowded.returnValues.push_back(21);
  expectRefusals({
      {{function({11, 100}, "x1.1", {"0 1 2"})},
       " 戻り値ｉｄは 10 ～ 999 ？.  2 100 \n\n " + quoted(0, ":u 11, 100")},
      {{function({9, 11}, "x1.1", {"0 1 2"})},
       " 戻り値ｉｄは 10 ～ 999 ？.  1 9 \n\n " + quoted(0, ":u 9, 11")},
      {lines, " 戻り値ｉｄがダブる.  11 \n\n " + quoted(2, ":u 12, 11")},
      {{crowded}, " 項目数が？ 12 ≠ 6  \n\n " + quoted(0, crowded.line.text) + " "},
      {{lookup(200, {"0 1"}), lookup(200, {"0 1"})},
       " 表ｉｄがダブる.  200 \n\n " + quoted(1, ":u 200")},
      // Past the registry: refused before it indexes anything.
      {{lookup(12000, {"0 1"})}, " 表ｉｄは 100～990 \n\n " + quoted(0, ":u 12000") + " ... 12000"},
  });
}

TEST_F(ParameterStatementsTest, PlaceholderReturnValuesCompleteShortRows) {
  ASSERT_EQ(read({function({11, 12, 9}, "x1.1", {"0 1 2", "1 3 4"}),
                  function({13, 14, 9, 9}, "x1.1", {"0 5 6"})}),
            0)
      << last();
  EXPECT_EQ(row(1, 1)[2], 4.0);
  EXPECT_EQ(row(1, 1)[3], 0.0);
  EXPECT_EQ(row(5, 0)[2], 6.0);
  EXPECT_EQ(row(5, 0)[3], 2.225073e-308);
  EXPECT_EQ(row(5, 0)[4], 2.225073e-308);
  EXPECT_EQ(read({function({11, 12, 13}, "x1.1", {"0 1 2"})}), 9);
  EXPECT_EQ(last(), " 項目数が？ 4 ≠ 3  \n\n " + quoted(0, ":u 11, 12, 13") + " ");
}

TEST_F(ParameterStatementsTest, TableRowRefusals) {
  const std::string table = quoted(0, ":u 200");
  const std::string values = quoted(0, ":u 11");
  Statement missingRows = lookup(200, {"0 1"});
  missingRows.line.continuationCount = 4;
  missingRows.line.continuation.insert(missingRows.line.continuation.begin(), 2, "  ");
  Statement shortBlock = lookup(200, {"0 1"});
  shortBlock.line.block = "200";
  Statement longBlock = lookup(200, {"0 1"});
  longBlock.line.block = "200\n" + std::string(4090, ' ') + "\n0 1\nend";
  expectRefusals({
      {{lookup(200, {"0 1", "1"})}, " 項目数が？_ 2 ≠ 1  2 \n\n " + table + " "},
      {{lookup(200, {"0 1", "0 2"})}, " ｘ_引数は昇順？_ \n\n " + table + " \n 0 2  2 "},
      {{function({11}, "x1.1", {"1 1", "0.5 2"})}, " ｘ_引数は昇順？ \n\n " + values + " \n 0.5"},
      // A single value that still rises is a short row, not the end.
      {{function({11}, "x1.1", {"0 1", "1 2", "5"})}, " 項目数が？ 2 ≠ 1  \n\n " + values + " "},
      // The block holds fewer rows than the record counts.
      {{missingRows}, " 項目数が？_ 2 ≠ 0  2 \n\n " + table + " "},
      {{function({11}, "x1.1", {})}, "行数が？ 0 \n\n " + values},
      {{function({11}, "", {"0 1"})}, "引数(式)が？ \n\n " + values},
      {{shortBlock}, " エラー? \n\n " + table},
      {{longBlock}, " :u のデータが多過ぎ？ \n\n " + table},
  });
}

TEST_F(ParameterStatementsTest, RowsSkipLinesWithoutNumbersAndEndOnAFallingSingleValue) {
  Statement spaced = lookup(200, {"0 1", "1 2"});
  spaced.line.block = "200\n0 1\n\n--\n1 2\nend";
  ASSERT_EQ(read({spaced, function({11}, "x1.1", {"0 1", "1 2", "0.5"})}), 0) << last();
  EXPECT_EQ(entry(1).rowCount, 2);
  EXPECT_EQ(row(1, 1)[1], 2.0);
  EXPECT_EQ(entry(3).rowCount, 2);
}

TEST_F(ParameterStatementsTest, FunctionStatements) {
  std::vector<Statement> lines;
  add(add(lines, ":int", 93, "p20", {"x1.1", "1m"}), ":pwm", 90, "30");
  ASSERT_EQ(read(lines), 0) << last();
  EXPECT_EQ(entry(1).id, 20);
  EXPECT_EQ(entry(1).rowCount, 10);
  EXPECT_GE(entry(2).firstPoolRow, entry(1).firstPoolRow + 10);
  EXPECT_NE(model->idRegistry[20], 0);
  EXPECT_EQ(model->pwmStatement, 2);
  EXPECT_TRUE(model->pwmSwitching);
  lines.clear();
  ASSERT_EQ(read(add(lines, ":pw", 90, "31")), 0);
  EXPECT_EQ(model->pwmStatement, 1);

  std::vector<Statement> badId, low, high, noRows;
  expectRefusals({
      {add(badId, ":int", 93, "x1.1"), " 戻り値ｉｄが？_ x1.1 \n\n " + quoted(0, ":int x1.1")},
      {add(low, ":int", 93, "5"), " 戻り値ｉｄは 10 ～ 999 ？..  1 5 \n\n " + quoted(0, ":int 5")},
      {add(high, ":int", 93, "1000"),
       " 戻り値ｉｄは 10 ～ 999 ？..  1 1000 \n\n " + quoted(0, ":int 1000")},
      {add(noRows, ":int", 93, "20", {}), " エラー?？ \n\n " + quoted(0, ":int 20")},
  });
}

TEST_F(ParameterStatementsTest, TypeEightyFourShowsThreeQuantities) {
  std::vector<Statement> lines;
  add(add(add(lines, ":sr", 84, "40"), ":sr", 84, "41"), ":sr", 84, "42");
  lines[0].tableId = 200;
  lines[0].radius = 0.5;
  lines[2].mode = 1;
  lines[2].returnValues = {60};
  lines[4].mode = 2;
  lines[4].tableId = 300;
  ASSERT_EQ(read(lines), 0) << last();
  const OutputItem* items = model->outputs;
  EXPECT_STREQ(items[2].name, "s207");
  EXPECT_FALSE(items[2].hasRange);
  EXPECT_EQ(items[3].slot, 208);
  EXPECT_EQ(items[3].rangeLow, -0.5);
  EXPECT_STREQ(items[4].name, "t209");
  EXPECT_EQ(items[4].rangeHigh, 0.5);
  EXPECT_STREQ(items[6].name, "r61");
  EXPECT_STREQ(items[9].name, "r301");

  lines.resize(2);
  lines[0].radius = -1.0;
  EXPECT_EQ(read(lines), 9);
  EXPECT_EQ(last(), " ｒの範囲が？.   -1.000000e+00 \n\n " + quoted(0, ":sr 40"));
}

TEST_F(ParameterStatementsTest, TablesThatWouldOverfillTheRowPoolAreRefused) {
  // 800 one-column rows per table: the pool is full before the 41st table ends.
  std::string block = "0";
  for (int x = 1; x <= 800; ++x) block += "\n" + std::to_string(x);
  testing::fillRecord(model->records[0], {":u", 80, 801, 0, {}, {}, block + "\nend"});
  model->records[0].columnCount = 1;
  int status = 0;
  int tables = 0;
  while (status == 0 && tables < kStatementLimit) {
    model->records[0].tableId = 100 + tables++;
    StatementLine line{*model, reporter, 0, 80, ":u", "", "$  0  :u"};
    status = readTable(line);
  }
  EXPECT_EQ(status, 9);
  EXPECT_EQ(tables, kParameterRowPool / 800 + 1);
  EXPECT_EQ(last(), " :u のデータが多過ぎ？ \n\n $  0  :u");
  EXPECT_LE(model->parameterRowsUsed, kParameterRowPool);
}

}  // namespace
}  // namespace movra

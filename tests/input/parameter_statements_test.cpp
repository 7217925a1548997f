#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using testing::MessageLog;
using testing::RecordLine;

// A record line with the fields the editor fills for tables and function statements.
struct Statement {
  RecordLine line;
  int tableId = 0;
  std::vector<int> returnValues;
  int columnCount = 0;
  int mode = 0;
  double radius = 0.0;
};

// ":u" and ".sd" hand over their rows and one closing line, in the text and the block.
Statement dataStatement(const std::string& keyword, const std::string& head, int typeCode,
                        const std::vector<std::string>& rows) {
  Statement s{{keyword + " " + head, typeCode, static_cast<int>(rows.size()) + 1}};
  s.line.block = head;
  for (const std::string& row : rows) {
    s.line.continuation.push_back("  " + row);
    s.line.block += "\n" + row;
  }
  s.line.continuation.push_back("  end");
  s.line.block += "\nend";
  return s;
}

Statement supportSet(const std::string& id, const std::vector<std::string>& rows) {
  return dataStatement(".sd", id, 0, rows);
}

Statement lookupTable(int id, const std::vector<std::string>& rows, int columns = 2) {
  Statement s = dataStatement(":u", std::to_string(id), 80, rows);
  s.tableId = id;
  s.columnCount = columns;
  return s;
}

Statement functionTable(const std::vector<int>& ids, const std::string& argument,
                        std::vector<std::string> rows) {
  std::string head;
  for (int id : ids) head += (head.empty() ? "" : ", ") + std::to_string(id);
  rows.insert(rows.begin(), argument);
  Statement s = dataStatement(":u", head, 80, rows);
  s.returnValues = ids;
  s.columnCount = static_cast<int>(ids.size()) + 1;
  return s;
}

// A function statement and its row records, which stay out of the numbered text.
void addFunction(std::vector<Statement>& lines, const std::string& keyword, int typeCode,
                 const std::string& id, const std::vector<std::string>& rows = {"x1.1"}) {
  Statement s{{keyword + " " + id, typeCode, static_cast<int>(rows.size())}};
  s.line.block = id;
  for (const std::string& row : rows) s.line.block += "\n" + row;
  lines.push_back(s);
  for (const std::string& row : rows) lines.push_back({{"  " + row, 0, 0, 1}});
}

Statement resistor() {
  return {{"R 1 0, 1k", 23, 0, 0, {"1k"}}};
}

// The statement line as messages quote it.
std::string quoted(int record, const std::string& text) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "$%3d  ", record);
  return prefix + text + " ";
}

class ParameterStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = makeModel();
    reporter.setSink(log.sink());
  }
  int read(const std::vector<Statement>& lines) {
    resetModel(*model);
    log.texts.clear();
    std::vector<RecordLine> records;
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
  const double* row(int statement, int index) const {
    return model->parameterRows[model->parameterStatements[statement].firstPoolRow + index];
  }
  std::string lastMessage() const { return log.texts.empty() ? "" : log.texts.back(); }

  std::unique_ptr<Model> model;
  Reporter reporter;
  MessageLog log;
};

TEST_F(ParameterStatementsTest, SupportSetsKeepRowsAndAreFoundThroughTheirId) {
  ASSERT_EQ(
      read({supportSet("p300", {"0 -1 1", "0.5 1 2"}), resistor(), supportSet("310", {"1m 1 1"})}),
      0)
      << lastMessage();
  EXPECT_EQ(model->count.elements, 1);             // the rows were not read as statements
  EXPECT_EQ(model->count.parameterStatements, 6);  // each set takes two more entries
  const ParameterStatement& first = model->parameterStatements[1];
  EXPECT_EQ(first.id, 300);
  EXPECT_EQ(first.rowCount, 2);
  EXPECT_EQ(row(1, 1)[0], 0.5);
  EXPECT_EQ(row(1, 1)[2], 2.0);
  EXPECT_EQ(model->parameters.get(300), 1.0);
  EXPECT_EQ(model->records[0].parameterStatementNumber, 1);
  EXPECT_NE(model->idRegistry[300], 0);
  EXPECT_EQ(model->parameterStatements[4].id, 310);
  EXPECT_EQ(model->parameters.get(310), 4.0);
  EXPECT_EQ(row(4, 0)[0], 1e-3);
  EXPECT_GE(model->parameterStatements[4].firstPoolRow, first.firstPoolRow + first.rowCount);
}

TEST_F(ParameterStatementsTest, SupportSetRefusals) {
  const std::string set = quoted(0, ".sd 300");
  const struct {
    std::vector<Statement> lines;
    std::string message;
  } cases[] = {
      {{lookupTable(150, {"0 1"}), supportSet("150", {"0 1 1"})},
       " パラメタ組ｉｄがダブる.  3 150 \n\n " + quoted(1, ".sd 150")},
      {{supportSet("300", {"1 2 1"})}, " !台は h>=0 ，x0<=x1 ？ \n\n " + set},
      {{supportSet("300", {"-1 0 1"})}, " !台は h>=0 ，x0<=x1 ？ \n\n " + set},
      {{supportSet("300", {"0 1 1", "1 2"})},
       " データが？？ 2 2 \n\n 300\n0 1 1\n1 2\nend \n\n " + set},
      {{supportSet("99", {"0 1 1"})},
       " パラメタ組は 100 ～ 990 ？ 1 99 \n\n " + quoted(0, ".sd 99")},
      {{supportSet("991", {"0 1 1"})},
       " パラメタ組は 100 ～ 990 ？ 1 991 \n\n " + quoted(0, ".sd 991")},
      {{supportSet("x1.1", {"0 1 1"})}, " パラメタ組ｉｄが？ x1.1 \n\n " + quoted(0, ".sd x1.1")},
      {{supportSet("2.5", {"0 1 1"})}, " パラメタ組ｉｄが？ 2.5 \n\n " + quoted(0, ".sd 2.5")},
      {{{{".sd 300", 0, 0, 0, {}, {}, "300"}}}, " エラー?？ \n\n " + set},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read(c.lines), 9) << c.message;
    EXPECT_EQ(lastMessage(), c.message);
  }
  EXPECT_EQ(read({supportSet("300", {"0 1 1"})}), 0);  // h = 0 and x0 = x1 are allowed
}

TEST_F(ParameterStatementsTest, TablesCountTheirRowsByKind) {
  Statement lookup = lookupTable(200, {"1 0", "1.5k 2", "2k 4"});
  Statement function = functionTable({11, 12}, "pow(x1.1, 2)", {"0 1 2", "1 3 4"});
  ASSERT_EQ(lookup.line.continuationCount, function.line.continuationCount);
  ASSERT_EQ(read({resistor(), lookup, function, resistor()}), 0) << lastMessage();
  EXPECT_EQ(model->count.elements, 2);

  const ParameterStatement& table = model->parameterStatements[1];
  EXPECT_EQ(table.id, 200);
  EXPECT_EQ(table.rowCount, 3);
  EXPECT_EQ(row(1, 1)[0], 1500.0);
  EXPECT_EQ(row(1, 1)[1], 2.0);
  EXPECT_EQ(model->parameters.get(200), 1.0);  // the statement line
  EXPECT_EQ(model->records[1].parameterStatementNumber, 1);

  // The lookup table took one more entry for its one value column.
  const ParameterStatement& values = model->parameterStatements[3];
  EXPECT_EQ(model->records[2].parameterStatementNumber, 3);
  EXPECT_EQ(values.rowCount, 2);
  EXPECT_EQ(values.returnValueCount, 2);
  EXPECT_EQ(values.returnValueIds[2], 12);
  EXPECT_EQ(row(3, 1)[2], 4.0);
  EXPECT_NE(model->idRegistry[11], 0);
  EXPECT_NE(model->idRegistry[12], 0);
  EXPECT_EQ(model->count.parameterStatements, 5);
}

TEST_F(ParameterStatementsTest, TableIdsComeFromTheRecordOrTheText) {
  Statement written = lookupTable(250, {"0 1"});
  written.tableId = 0;
  written.line.block = "p250\n0 1\nend";
  ASSERT_EQ(read({written}), 0) << lastMessage();
  EXPECT_EQ(model->parameterStatements[1].id, 250);
  EXPECT_NE(model->idRegistry[250], 0);

  EXPECT_EQ(read({lookupTable(200, {"0 1"}), lookupTable(200, {"0 1"})}), 9);
  EXPECT_EQ(lastMessage(), " 表ｉｄがダブる.  200 \n\n " + quoted(1, ":u 200"));
  // Ids outside the registry are refused before they index anything.
  for (int id : {1000, 12000}) {
    EXPECT_EQ(read({lookupTable(id, {"0 1"})}), 9);
    EXPECT_EQ(lastMessage(), " 表ｉｄは 100～990 \n\n " + quoted(0, ":u " + std::to_string(id)) +
                                 " ... " + std::to_string(id));
  }
}

TEST_F(ParameterStatementsTest, ReturnValueIdRanges) {
  EXPECT_EQ(read({functionTable({11, 100}, "x1.1", {"0 1 2"})}), 9);
  EXPECT_EQ(lastMessage(), " 戻り値ｉｄは 10 ～ 999 ？.  2 100 \n\n " + quoted(0, ":u 11, 100"));
  EXPECT_EQ(read({functionTable({9, 11}, "x1.1", {"0 1 2"})}), 9);
  EXPECT_NE(lastMessage().find("？.  1 9 "), std::string::npos);

  std::vector<Statement> lines;
  addFunction(lines, ":int", 93, "100");
  addFunction(lines, ":int", 93, "p999");
  ASSERT_EQ(read(lines), 0) << lastMessage();
  EXPECT_EQ(model->parameterStatements[2].id, 999);
  EXPECT_NE(model->idRegistry[100], 0);

  lines.clear();
  addFunction(lines, ":int", 93, "11");
  lines.push_back(functionTable({12, 11}, "x1.1", {"0 1 2"}));
  EXPECT_EQ(read(lines), 9);
  EXPECT_EQ(lastMessage(), " 戻り値ｉｄがダブる.  11 \n\n " + quoted(2, ":u 12, 11"));

  // A record listing more ids than it has room for is refused by its rows.
  Statement crowded =
      functionTable({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, "x1.1", {"0 1 2 3 4 5 6 7 8 9 10"});
  crowded.returnValues.push_back(21);
  EXPECT_EQ(read({crowded}), 9);
  EXPECT_NE(lastMessage().find(" 項目数が？ 12 ≠ 10"), std::string::npos);
}

TEST_F(ParameterStatementsTest, PlaceholderReturnValuesCompleteShortRows) {
  ASSERT_EQ(read({functionTable({11, 12, 9}, "x1.1", {"0 1 2", "1 3 4"}),
                  functionTable({13, 14, 9, 9}, "x1.1", {"0 5 6"})}),
            0)
      << lastMessage();
  EXPECT_EQ(row(1, 1)[2], 4.0);
  EXPECT_EQ(row(1, 1)[3], 0.0);
  EXPECT_EQ(model->parameterStatements[5].rowCount, 1);
  EXPECT_EQ(row(5, 0)[2], 6.0);
  EXPECT_EQ(row(5, 0)[3], 2.225073e-308);
  EXPECT_EQ(row(5, 0)[4], 2.225073e-308);

  EXPECT_EQ(read({functionTable({11, 12, 13}, "x1.1", {"0 1 2"})}), 9);
  EXPECT_EQ(lastMessage(), " 項目数が？ 4 ≠ 3  \n\n " + quoted(0, ":u 11, 12, 13") + " ");
}

TEST_F(ParameterStatementsTest, TableRowRefusals) {
  const std::string table = quoted(0, ":u 200");
  const std::string function = quoted(0, ":u 11");
  Statement missingRows = lookupTable(200, {"0 1"});
  missingRows.line.continuationCount = 4;
  missingRows.line.continuation.insert(missingRows.line.continuation.begin(), 2, "  ");
  Statement shortBlock = lookupTable(200, {"0 1"});
  shortBlock.line.block = "200";
  Statement longBlock = lookupTable(200, {"0 1"});
  longBlock.line.block = "200\n" + std::string(4090, ' ') + "\n0 1\nend";
  const struct {
    std::vector<Statement> lines;
    std::string message;
  } cases[] = {
      {{lookupTable(200, {"0 1", "1"})}, " 項目数が？_ 2 ≠ 1  2 \n\n " + table + " "},
      {{lookupTable(200, {"0 1", "0 2"})}, " ｘ_引数は昇順？_ \n\n " + table + " \n 0 2  2 "},
      {{functionTable({11}, "x1.1", {"1 1", "0.5 2"})},
       " ｘ_引数は昇順？ \n\n " + function + " \n 0.5"},
      {{functionTable({11}, "x1.1", {"0 1", "1 2", "5"})},
       " 項目数が？ 2 ≠ 1  \n\n " + function + " "},
      // The block holds fewer rows than the record counts.
      {{missingRows}, " 項目数が？_ 2 ≠ 0  2 \n\n " + table + " "},
      {{functionTable({11}, "x1.1", {})}, "行数が？ 0 \n\n " + function},
      {{functionTable({11}, "", {"0 1"})}, "引数(式)が？ \n\n " + function},
      {{functionTable({11}, "1 +", {"0 1"})}, "引数(式)が？ \n\n " + function},
      {{shortBlock}, " エラー? \n\n " + table},
      {{longBlock}, " :u のデータが多過ぎ？ \n\n " + table},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read(c.lines), 9) << c.message;
    EXPECT_EQ(lastMessage(), c.message);
  }
}

TEST_F(ParameterStatementsTest, RowsSkipLinesWithoutNumbersAndEndOnAFallingSingleValue) {
  Statement spaced = lookupTable(200, {"0 1", "1 2"});
  spaced.line.block = "200\n0 1\n\n--\n1 2\nend";
  ASSERT_EQ(read({spaced, functionTable({11}, "x1.1", {"0 1", "1 2", "0.5"})}), 0) << lastMessage();
  EXPECT_EQ(model->parameterStatements[1].rowCount, 2);
  EXPECT_EQ(row(1, 1)[1], 2.0);
  EXPECT_EQ(model->parameterStatements[3].rowCount, 2);
}

TEST_F(ParameterStatementsTest, FunctionStatementsRegisterTheirIdAndTheirPwmRole) {
  std::vector<Statement> lines;
  addFunction(lines, ":int", 93, "p20", {"x1.1", "1m"});
  addFunction(lines, ":pwm", 90, "30");
  ASSERT_EQ(read(lines), 0) << lastMessage();
  const ParameterStatement& first = model->parameterStatements[1];
  EXPECT_EQ(first.id, 20);
  EXPECT_EQ(first.returnValueIds[1], 20);
  EXPECT_EQ(first.rowCount, 10);
  EXPECT_GE(model->parameterStatements[2].firstPoolRow, first.firstPoolRow + 10);
  EXPECT_NE(model->idRegistry[20], 0);
  EXPECT_EQ(model->pwmStatement, 2);
  EXPECT_TRUE(model->pwmSwitching);

  lines.clear();
  addFunction(lines, ":pw", 90, "31");
  ASSERT_EQ(read(lines), 0);
  EXPECT_EQ(model->pwmStatement, 1);
  lines.clear();
  addFunction(lines, ":set", 90, "31");
  ASSERT_EQ(read(lines), 0);
  EXPECT_EQ(model->pwmStatement, 0);
  EXPECT_FALSE(model->pwmSwitching);

  const struct {
    std::string id;
    std::vector<std::string> rows;
    std::string message;
  } cases[] = {
      {"x1.1", {"1"}, " 戻り値ｉｄが？_ x1.1 \n\n " + quoted(0, ":int x1.1")},
      {"5", {"1"}, " 戻り値ｉｄは 10 ～ 999 ？..  1 5 \n\n " + quoted(0, ":int 5")},
      {"1000", {"1"}, " 戻り値ｉｄは 10 ～ 999 ？..  1 1000 \n\n " + quoted(0, ":int 1000")},
      {"20", {}, " エラー?？ \n\n " + quoted(0, ":int 20")},
  };
  for (const auto& c : cases) {
    lines.clear();
    addFunction(lines, ":int", 93, c.id, c.rows);
    EXPECT_EQ(read(lines), 9) << c.message;
    EXPECT_EQ(lastMessage(), c.message);
  }
}

TEST_F(ParameterStatementsTest, TypeEightyFourShowsThreeQuantities) {
  std::vector<Statement> lines;
  addFunction(lines, ":sr", 84, "40");
  lines[0].tableId = 200;
  lines[0].radius = 0.5;
  addFunction(lines, ":sr", 84, "41");
  lines[2].mode = 1;
  lines[2].returnValues = {60};
  addFunction(lines, ":sr", 84, "42");
  lines[4].mode = 2;
  lines[4].tableId = 300;
  ASSERT_EQ(read(lines), 0) << lastMessage();
  ASSERT_EQ(model->count.outputs, 10);
  const OutputItem* items = model->outputs;
  EXPECT_STREQ(items[2].name, "s207");
  EXPECT_EQ(items[2].slot, 207);
  EXPECT_FALSE(items[2].hasRange);
  EXPECT_STREQ(items[3].name, "r208");
  EXPECT_EQ(items[3].rangeLow, -0.5);
  EXPECT_EQ(items[4].rangeHigh, 0.5);
  EXPECT_STREQ(items[4].name, "t209");
  EXPECT_STREQ(items[6].name, "r61");
  EXPECT_FALSE(items[6].hasRange);
  EXPECT_STREQ(items[9].name, "r301");

  // The list ends at 33 items: the eleventh statement adds two.
  lines.clear();
  for (int i = 0; i < 11; ++i) addFunction(lines, ":sr", 84, std::to_string(40 + i));
  ASSERT_EQ(read(lines), 0);
  EXPECT_LE(model->count.outputs, kOutputListLimit);
  EXPECT_STREQ(model->outputs[kOutputListLimit].name, "r8");

  lines.clear();
  addFunction(lines, ":sr", 84, "40");
  lines[0].radius = -1.0;
  EXPECT_EQ(read(lines), 9);
  EXPECT_EQ(lastMessage(), " ｒの範囲が？.   -1.000000e+00 \n\n " + quoted(0, ":sr 40"));
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
    StatementLine line{*model, reporter};
    line.keyword = ":u";
    line.typeCode = 80;
    line.messageLine = "$  0  :u";
    status = readTable(line);
  }
  EXPECT_EQ(status, 9);
  EXPECT_EQ(tables, kParameterRowPool / 800 + 1);
  EXPECT_EQ(lastMessage(), " :u のデータが多過ぎ？ \n\n $  0  :u");
  EXPECT_LE(model->parameterRowsUsed, kParameterRowPool);
}

}  // namespace
}  // namespace movra

#include "input/statement_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "input/model_text.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using testing::MessageLog;
using testing::RecordLine;

class StatementReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = makeModel();
    reporter.setSink(log.sink());
  }
  int read(const std::vector<RecordLine>& lines) {
    testing::handOver(*model, lines);
    if (numberModelText(*model, reporter, "") != 0) return -1;
    return readStatements(*model, reporter);
  }

  std::unique_ptr<Model> model;
  Reporter reporter;
  MessageLog log;
};

RecordLine resistor(int node) {
  return {"R " + std::to_string(node) + " 0, 1k", 23, 0, 0, {"1k"}};
}

TEST_F(StatementReaderTest, PresetsEngineSettingsAndTheFirstOutputItem) {
  ASSERT_EQ(read({resistor(1)}), 0);
  EXPECT_EQ(model->parameters.get(-10001), 1e-09);
  EXPECT_EQ(model->parameters.get(-10005), 1e-12);
  EXPECT_EQ(model->parameters.get(-10010), 0.005);
  EXPECT_EQ(model->parameters.get(-10012), 1e-05);
  EXPECT_EQ(model->parameters.get(-10020), 0.001);
  EXPECT_EQ(model->parameters.get(-10021), 1e-07);
  EXPECT_EQ(model->parameters.get(-10022), 1e-06);
  EXPECT_EQ(model->count.outputs, 1);
  EXPECT_STREQ(model->outputs[1].name, "   c1");
  EXPECT_EQ(model->outputs[1].slot, 1);
}

TEST_F(StatementReaderTest, HundredElementsReadAndTheHundredFirstIsRefused) {
  std::vector<RecordLine> lines;
  for (int i = 1; i <= 100; ++i) lines.push_back(resistor(i));
  ASSERT_EQ(read(lines), 0);
  EXPECT_EQ(model->count.elements, 100);
  EXPECT_EQ(model->elements[100].statementLine, 99);
  EXPECT_EQ(model->records[99].elementNumber, 100);

  lines.push_back(resistor(101));  // the last line
  resetModel(*model);
  log.texts.clear();
  EXPECT_EQ(read(lines), 9);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_EQ(log.texts[0], " 要素の数が１００を超える ");
  EXPECT_EQ(model->currentRecord, 100);
}

TEST_F(StatementReaderTest, ParameterAndCommandStatementsHaveTheirOwnLimits) {
  std::vector<RecordLine> lines;
  for (int i = 0; i < 101; ++i) lines.push_back({".o x1.1", 0});
  EXPECT_EQ(read(lines), 9);
  EXPECT_EQ(log.texts.back(), " コマンド文が１００を超える ");

  lines.clear();
  for (int i = 0; i < 101; ++i) {
    RecordLine integrator{":int " + std::to_string(10 + i), 93};
    integrator.block = std::to_string(10 + i) + "\np1";
    lines.push_back(integrator);
  }
  resetModel(*model);
  EXPECT_EQ(read(lines), 9);
  EXPECT_EQ(log.texts.back(), " パラメタ文が１００を超える ");
  EXPECT_EQ(model->count.parameterStatements, 100);
}

TEST_F(StatementReaderTest, UnknownKeywordQuotesTheLineWithoutItsComment) {
  EXPECT_EQ(read({resistor(1), {"Zz 1 0, 5 // the comment", 23}}), 9);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_EQ(log.texts[0], "次の要素ｉｄが？・ \n\n $  1  Zz 1 0, 5 ");
}

TEST_F(StatementReaderTest, ALineWithoutAWordEndsTheModel) {
  // Record 1 holds only blanks: everything after it is not read.
  EXPECT_EQ(read({resistor(1), {"   ", 0}, {"Zz 1 0", 23}}), 0);
  EXPECT_EQ(model->count.elements, 1);
}

TEST_F(StatementReaderTest, LinesAfterIcKeepTheRecordBefore) {
  // ".ic" has no number, so it is read with the record of the line before; the
  // keyword itself needs no action.
  EXPECT_EQ(read({resistor(1), {".ic", 0}}), 0);
  EXPECT_EQ(model->count.elements, 1);
}

TEST_F(StatementReaderTest, MechanicalNodesNeedASuffixCircuitNodesDoNot) {
  ASSERT_EQ(read({{"lr 1n 2p, 1", 6}, {"R 3 0, 1", 23}}), 0);
  EXPECT_EQ(model->elements[1].node[1], 10);
  EXPECT_EQ(model->elements[1].terminalMark[1], -10);
  EXPECT_EQ(model->elements[1].node[2], 21);
  EXPECT_EQ(model->elements[1].terminalMark[2], -1);
  EXPECT_EQ(model->elements[2].node[1], 3);

  resetModel(*model);
  EXPECT_EQ(read({{"lr 1n 2, 1", 6}}), 9);
  EXPECT_EQ(log.texts.back(), " 節のｉｄが？・ \n\n $  0  lr 1n 2, 1 ");
  resetModel(*model);
  EXPECT_EQ(read({{"R 2001 0, 1", 23}}), 9);
  EXPECT_EQ(log.texts.back(), " 節のｉｄが範囲外. \n\n $  0  R 2001 0, 1 ");
  resetModel(*model);
  EXPECT_EQ(read({{"R x 0, 1", 23}}), 9);
  EXPECT_NE(log.texts.back().find(" 節のｉｄが？　."), std::string::npos);
}

TEST_F(StatementReaderTest, FieldsFollowTheFourEvaluationRules) {
  model->parameters[12] = 7.5;
  ASSERT_EQ(read({{"R 1 0", 23, 0, 0, {"2k", "", "p12", "p12 + 1"}}}), 0);
  const ElementEntry& element = model->elements[1];
  EXPECT_EQ(element.realSlots[1], 2000.0);
  EXPECT_EQ(element.given[1], 1);
  EXPECT_EQ(element.realSlots[2], 0.0);
  EXPECT_EQ(element.empty[2], 1);
  EXPECT_EQ(element.given[2], -1);
  // A reference below 100 stores the value it has while reading.
  EXPECT_EQ(element.realSlots[3], 7.5);
  EXPECT_EQ(element.realSlots[4], 8.5);
  // Fields beyond the last one are empty.
  EXPECT_EQ(element.empty[10], 1);
}

TEST_F(StatementReaderTest, KeywordAliasesFoldAndPVariantIsKept) {
  ASSERT_EQ(read({{"Qp 1 0, 1", 41}, {"Qn 2 0, 1", 41}, {"af 1 0 2", 35}}), 0);
  EXPECT_STREQ(model->elements[1].keyword, "qn");
  EXPECT_EQ(model->elements[1].pVariant, 1);
  EXPECT_STREQ(model->elements[2].keyword, "qn");
  EXPECT_EQ(model->elements[2].pVariant, 0);
  EXPECT_STREQ(model->elements[3].keyword, "U");
  EXPECT_EQ(model->elements[3].node[3], 2);  // type codes 30..39 have three nodes
}

TEST_F(StatementReaderTest, TableContinuationLinesAreNotStatements) {
  RecordLine table{":u 200", 80, 3};
  table.continuation = {"  1 2", "  3 4", "  end"};
  table.block = "200\n1 2\n3 4\nend";
  testing::handOver(*model, {table, resistor(1)});
  model->records[0].tableId = 200;
  model->records[0].columnCount = 2;
  ASSERT_EQ(numberModelText(*model, reporter, ""), 0);
  ASSERT_EQ(readStatements(*model, reporter), 0) << (log.texts.empty() ? "" : log.texts.back());
  // The table takes one more entry for its single return column.
  EXPECT_EQ(model->count.parameterStatements, 2);
  EXPECT_EQ(model->count.elements, 1);
  EXPECT_EQ(model->parameterStatementLine[1], 0);
}

}  // namespace
}  // namespace movra

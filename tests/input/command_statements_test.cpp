#include "input/command_statements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using testing::MessageLog;
using testing::RecordLine;

constexpr int kMechanical = 1;
constexpr int kElectrical = 2;

RecordLine command(const std::string& keyword, const std::vector<std::string>& fields) {
  std::string text = keyword;
  for (size_t k = 0; k < fields.size(); ++k) text += (k == 0 ? " " : ", ") + fields[k];
  return {text, 0, 0, 0, fields};
}

// The line as statement messages quote it: number prefix, text, a blank.
std::string quoted(int record, const RecordLine& line) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "$%3d  ", record);
  return prefix + line.text + " ";
}

class CommandStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = makeModel();
    reporter.setSink(log.sink());
    model->nodes.kind[3] = kMechanical;
    model->nodes.x[3] = 0.4;
    model->nodes.y[3] = -0.2;
    model->nodes.kind[4] = kElectrical;
    next = 0;
  }

  int read(const std::vector<RecordLine>& lines) {
    testing::handOver(*model, lines);
    if (numberModelText(*model, reporter, "") != 0) return -1;
    return readStatements(*model, reporter);
  }

  // Reads one statement without the loop and its model checks, on top of what the
  // model holds already.
  int readDirect(const RecordLine& line, int (*reader)(StatementLine&)) {
    if (model->count.outputs == 0) model->count.outputs = 1;  // the preset item
    const int record = next++;
    testing::fillRecord(model->records[record], line);
    StatementLine statement{*model, reporter};
    statement.record = record;
    statement.messageLine = line.text.c_str();
    return reader(statement);
  }

  const std::string& lastMessage() const { return log.texts.back(); }

  std::unique_ptr<Model> model;
  Reporter reporter;
  MessageLog log;
  int next = 0;
};

// ------------------------------------------------------------------ output items

TEST_F(CommandStatementTest, ItemsRecordNodeQuantitiesParametersAndBareIds) {
  ASSERT_EQ(read({command(".o", {"x3.1", "12", "p205", "x4.9", "x3.3", "node3.4", "x3.2 "})}), 0);
  // A bare number is the parameter or return value of that id, not a constant.
  const struct {
    int slot;
    int digit;
    const char* name;
  } expected[] = {{31, 1, "x3.1"}, {12, 0, "12"},      {205, 0, "p205"}, {1004, 9, "x4.9"},
                  {30, 3, "x3.3"}, {30, 4, "node3.4"}, {32, 2, "x3.2"}};
  ASSERT_EQ(model->count.outputs, 8);
  for (int i = 2; i <= 8; ++i) {
    const OutputItem& item = model->outputs[i];
    EXPECT_EQ(item.slot, expected[i - 2].slot) << i;
    EXPECT_EQ(item.componentDigit, expected[i - 2].digit) << i;
    EXPECT_STREQ(item.name, expected[i - 2].name);
    EXPECT_EQ(item.group, 1);
    EXPECT_EQ(item.element, -1);
    EXPECT_FALSE(item.hasRange);
  }
  EXPECT_EQ(model->groups[1].kind, 1);
  EXPECT_EQ(model->groups[1].firstItem, 2);
  EXPECT_EQ(model->groups[1].lastItem, 8);
}

TEST_F(CommandStatementTest, OnlyGivenFieldsAreItemsAndNamesAreCut) {
  // Letters after the first are dropped, so this long word reads as p12.
  const std::string longName = "p" + std::string(200, 'a') + "12";
  ASSERT_EQ(read({command(".o", {"x3.1", "", longName}), command(".o", {"", "", "", "7"})}), 0);
  ASSERT_EQ(model->count.outputs, 4);
  EXPECT_EQ(model->outputs[3].slot, 12);
  EXPECT_EQ(std::string(model->outputs[3].name), longName.substr(0, kOutputNameBytes - 1));
  EXPECT_EQ(model->outputs[4].slot, 7);
  EXPECT_EQ(model->outputs[4].group, 2);
  EXPECT_EQ(model->groups[2].firstItem, 4);
  EXPECT_EQ(model->groups[2].lastItem, 4);
}

TEST_F(CommandStatementTest, NodeKindDecidesWhichComponentsMayBeRecorded) {
  const RecordLine coordinateOfCircuitNode = command(".o", {"x4.1"});
  EXPECT_EQ(read({coordinateOfCircuitNode}), 9);
  EXPECT_EQ(lastMessage(), " メカ節の成分ｉｄ？_ \n\n " + quoted(0, coordinateOfCircuitNode));

  // An unused node has no coordinates either.
  resetModel(*model);
  EXPECT_EQ(read({command(".o", {"x7.4"})}), 9);
  EXPECT_EQ(lastMessage().rfind(" メカ節の成分ｉｄ？_ ", 0), 0u);

  const struct {
    const char* keyword;
    std::vector<std::string> fields;
    const char* dots;
  } potentialOfMechanicalNode[] = {
      {".o", {"x3.9"}, "."},
      {".oo", {"x3.9"}, ".."},
      {".or", {"", "", "x3.9"}, "..."},
  };
  for (const auto& c : potentialOfMechanicalNode) {
    SetUp();
    const RecordLine line = command(c.keyword, c.fields);
    EXPECT_EQ(read({line}), 9) << c.keyword;
    EXPECT_EQ(lastMessage(),
              std::string(" 電気節などの成分ｉｄ？") + c.dots + " \n 3 1 \n " + quoted(0, line));
  }

  // The potential of node 0 is the ground, whatever kind the table gives it.
  SetUp();
  model->nodes.kind[0] = kMechanical;
  EXPECT_EQ(read({command(".o", {"x0.9", "x4.9", "x9.9"})}), 0);
  EXPECT_EQ(model->outputs[2].slot, 1000);
}

TEST_F(CommandStatementTest, ItemsThatAreNoSingleQuantityAreRefused) {
  for (const char* field : {"x3.1 + 1", "2 * 6", "12.5", "-4", "x3.5", "(", "pi"}) {
    SetUp();
    const RecordLine line = command(".o", {"x3.1", field});
    EXPECT_EQ(read({line}), 9) << field;
    EXPECT_EQ(lastMessage(), std::string(" 項目行が？_   ") + field + " \n\n " + quoted(0, line));
  }
}

TEST_F(CommandStatementTest, ListTakesThirtyTwoItemsAfterThePresetOneAndDropsTheRest) {
  std::vector<std::string> fields[4];
  for (int i = 0; i < 44; ++i) fields[i / 11].push_back("p" + std::to_string(100 + i));
  for (const auto& group : fields)
    ASSERT_EQ(readDirect(command(".o", group), readOutputStatement), 0);
  EXPECT_TRUE(log.texts.empty());
  EXPECT_EQ(model->count.outputs, kOutputListLimit);
  EXPECT_EQ(model->outputs[33].slot, 131);  // the 32nd item from statements
  EXPECT_EQ(model->groups[3].lastItem, 33);
  EXPECT_EQ(model->groups[4].firstItem, 34);
  EXPECT_EQ(model->groups[4].lastItem, 33);

  // Dropped items are still checked.
  EXPECT_EQ(readDirect(command(".o", {"x4.1"}), readOutputStatement), 9);
  EXPECT_EQ(model->count.outputs, kOutputListLimit);
  log.texts.clear();

  // After reading, the engine gets 32 items and no group reaches past them; the
  // item cut off is not looked at.
  model->outputs[33].slot = 20000;
  EXPECT_EQ(checkOutputList(*model, reporter), 0);
  EXPECT_EQ(model->count.outputs, 32);
  EXPECT_EQ(model->groups[3].firstItem, 24);
  EXPECT_EQ(model->groups[3].lastItem, 32);
  EXPECT_EQ(model->groups[4].firstItem, 33);
  EXPECT_EQ(model->groups[4].lastItem, 32);
  EXPECT_TRUE(log.texts.empty());
}

// ------------------------------------------------------------------ ranges

TEST_F(CommandStatementTest, AxisStatementRangesFollowTheRangeRule) {
  const struct {
    std::vector<std::string> fields;
    bool hasRange;
    double low;
    double high;
  } cases[] = {
      {{"x3.1", "x3.2", "5"}, true, -5.0, 5.0},
      {{"x3.1", "x3.2", "5", "2"}, true, 2.0, 5.0},
      {{"x3.1", "x3.2", "-2", "3"}, true, -2.0, 3.0},
      {{"x3.1", "x3.2", "", "3"}, true, -3.0, 3.0},
      {{"x3.1", "x3.2", "-0.5"}, true, -0.5, 0.5},
      {{"x3.1", "x3.2", "2 * p7"}, true, -8.0, 8.0},
      {{"x3.1", "x3.2"}, false, 0.0, 0.0},
  };
  for (const auto& c : cases) {
    SetUp();
    model->parameters[7] = 4.0;
    const RecordLine line = command(".oo", c.fields);
    ASSERT_EQ(read({line}), 0) << line.text;
    const OutputItem& first = model->outputs[2];
    EXPECT_EQ(first.hasRange, c.hasRange);
    if (c.hasRange) {
      EXPECT_EQ(first.rangeLow, c.low);
      EXPECT_EQ(first.rangeHigh, c.high);
    }
    EXPECT_FALSE(model->outputs[3].hasRange);
  }

  SetUp();
  ASSERT_EQ(read({command(".oo", {"x3.1", "x3.2", "", "", "1", "4"})}), 0);
  EXPECT_FALSE(model->outputs[2].hasRange);
  EXPECT_TRUE(model->outputs[3].hasRange);
  EXPECT_EQ(model->outputs[3].rangeLow, 1.0);
  EXPECT_EQ(model->outputs[3].rangeHigh, 4.0);
  EXPECT_EQ(model->groups[1].kind, 1);

  // Without a first item the second one still takes its own range.
  SetUp();
  ASSERT_EQ(read({command(".oo", {"", "x3.2", "1", "", "6"})}), 0);
  ASSERT_EQ(model->count.outputs, 2);
  EXPECT_EQ(model->outputs[2].rangeHigh, 6.0);
}

TEST_F(CommandStatementTest, AxisStatementRefusesRangesWithoutExtent) {
  const struct {
    std::vector<std::string> fields;
    const char* message;
  } cases[] = {
      {{"x3.1", "x3.2", "2", "2"}, " 範囲が？.  \n\n "},
      {{"x3.1", "x3.2", "0"}, " 範囲が？.   \n\n "},
      {{"x3.1", "x3.2", "", "", "", "0"}, " 範囲が？.   \n\n "},
      {{"x3.1", "x3.2", "1", "3", "1e0", "1"}, " 範囲が？.  \n\n "},
  };
  for (const auto& c : cases) {
    SetUp();
    const RecordLine line = command(".oo", c.fields);
    EXPECT_EQ(read({line}), 9);
    EXPECT_EQ(lastMessage(), c.message + quoted(0, line));
  }

  SetUp();
  const RecordLine broken = command(".oo", {"x3.1", "x3.2", "1 / 0"});
  EXPECT_EQ(read({broken}), 9);
  EXPECT_EQ(lastMessage(), " 値が？ 1 / 0 \n\n " + quoted(0, broken));
  SetUp();
  const RecordLine overflowing = command(".oo", {"x3.1", "x3.2", "1e999"});
  EXPECT_EQ(read({overflowing}), 9);
  EXPECT_EQ(lastMessage(), " 値が？ 1e999 \n\n " + quoted(0, overflowing));
}

TEST_F(CommandStatementTest, RangeStatementGivesEveryItemItsRangeOrTiesThemToTheGroup) {
  ASSERT_EQ(read({command(".or", {"1", "-1", "x3.1", "", "12"}),
                  command(".or", {"", "", "x3.2", "x4.9"})}),
            0);
  ASSERT_EQ(model->count.outputs, 5);
  for (int i : {2, 3}) {
    EXPECT_TRUE(model->outputs[i].hasRange);
    EXPECT_EQ(model->outputs[i].rangeLow, -1.0);
    EXPECT_EQ(model->outputs[i].rangeHigh, 1.0);
    EXPECT_EQ(model->outputs[i].group, 1);
  }
  for (int i : {4, 5}) {
    EXPECT_FALSE(model->outputs[i].hasRange);
    EXPECT_EQ(model->outputs[i].group, 2);
  }
  EXPECT_EQ(model->groups[2].kind, 2);
  EXPECT_EQ(model->groups[2].firstItem, 4);
  EXPECT_EQ(model->groups[2].lastItem, 5);
}

TEST_F(CommandStatementTest, RangeStatementFaultsNameTheirValues) {
  const RecordLine equal = command(".or", {"2", "2", "x3.1"});
  EXPECT_EQ(read({equal}), 9);
  EXPECT_EQ(lastMessage(), " 範囲が？.   2.000000e+00  2.000000e+00 \n\n " + quoted(0, equal));

  SetUp();
  const RecordLine zero = command(".or", {"", "0", "x3.1"});
  EXPECT_EQ(read({zero}), 9);
  EXPECT_EQ(lastMessage(), " 範囲が？.   0.000000e+00  0.000000e+00 \n\n " + quoted(0, zero));

  SetUp();
  const RecordLine item = command(".or", {"-1", "1", "x3.1", "x3.1 * 2"});
  EXPECT_EQ(read({item}), 9);
  EXPECT_EQ(lastMessage(), " 項目行が？_   x3.1 * 2 \n\n " + quoted(0, item));
}

// ------------------------------------------------------------------ output list check

TEST_F(CommandStatementTest, OutputListCheckRefusesIdsBeyondTheParameterRange) {
  const RecordLine view = command(".vc", {"0"});
  const RecordLine items = command(".o", {"12", "x3.1"});
  ASSERT_EQ(read({view, items}), 0);
  for (int slot : {9999, -9999}) {
    model->outputs[2].slot = slot;
    EXPECT_EQ(checkOutputList(*model, reporter), 0) << slot;
  }
  for (int slot : {10000, -10000}) {
    model->outputs[2].slot = slot;
    EXPECT_EQ(checkOutputList(*model, reporter), 9) << slot;
    EXPECT_EQ(lastMessage(), " 出力並びのｉｄが？ \n\n " + quoted(1, items));
  }

  // An element's item without a group quotes the element; a group number that is
  // no group quotes nothing rather than reading past the table.
  std::snprintf(model->elements[1].text, sizeof model->elements[1].text, "R 1 0, 1k");
  model->count.elements = 1;
  model->outputs[2].group = 0;
  model->outputs[2].element = 1;
  EXPECT_EQ(checkOutputList(*model, reporter), 9);
  EXPECT_EQ(lastMessage(), " 出力並びのｉｄが？ \n\n R 1 0, 1k");
  model->outputs[2].group = 5000;
  model->outputs[2].element = -1;
  EXPECT_EQ(checkOutputList(*model, reporter), 9);
  EXPECT_EQ(lastMessage(), " 出力並びのｉｄが？ \n\n ");
}

// ------------------------------------------------------------------ view

TEST_F(CommandStatementTest, ViewDefaultsAreTheUnitWindowAndScalesOfAThousand) {
  model->view.centreX = 7.0;
  model->view.halfSize = 3.0;
  model->view.followedNodeX = 4;
  model->view.quantityScale[10] = 2.0;
  presetViewDefaults(*model);
  const ViewSettings& view = model->view;
  EXPECT_TRUE(model->viewDefaultsSet);
  EXPECT_EQ(view.left, -1.0);
  EXPECT_EQ(view.bottom, -1.0);
  EXPECT_EQ(view.halfSize, 1.0);
  EXPECT_EQ(view.scale, 300.0);
  EXPECT_EQ(view.followedNodeX, -1);
  EXPECT_EQ(view.followedNodeY, -1);
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    EXPECT_EQ(view.quantityScale[k], 1000.0);
    EXPECT_EQ(view.quantityInitial[k], 1000.0);
  }
  EXPECT_DOUBLE_EQ(view.forceFactor, 0.3);
  EXPECT_DOUBLE_EQ(view.momentFactor, 0.3);
}

TEST_F(CommandStatementTest, ViewCentresOnValuesOrFollowsNodes) {
  model->parameters[5] = 1.5;
  ASSERT_EQ(read({command(".vc", {"2.5", "p5", "2", "500", "250", "100", "", "-1"})}), 0);
  const ViewSettings& view = model->view;
  EXPECT_EQ(view.followedNodeX, -1);
  EXPECT_EQ(view.followedNodeY, -1);
  EXPECT_EQ(view.centreX, 2.5);
  EXPECT_EQ(view.centreY, 1.5);
  EXPECT_EQ(view.left, 0.5);
  EXPECT_EQ(view.bottom, -0.5);
  EXPECT_EQ(view.scale, 150.0);
  EXPECT_EQ(view.quantityScale[1], 500.0);
  EXPECT_EQ(view.quantityInitial[2], 250.0);
  EXPECT_EQ(view.quantityScale[3], 100.0);
  EXPECT_EQ(view.quantityScale[4], 0.0);  // an empty field switches a scale off
  EXPECT_EQ(view.quantityScale[5], -1.0);
  EXPECT_EQ(view.quantityScale[10], 0.0);
  EXPECT_DOUBLE_EQ(view.forceFactor, 0.6);
  EXPECT_DOUBLE_EQ(view.momentFactor, 1.2);
  EXPECT_EQ(model->groups[1].kind, 0);

  // Node 3's x and y: followed, and its starting place centres the window.
  SetUp();
  ASSERT_EQ(read({command(".vc", {"x3.1", "node3.2", "0.5"})}), 0);
  EXPECT_EQ(model->view.followedNodeX, 3);
  EXPECT_EQ(model->view.followedNodeY, 3);
  EXPECT_DOUBLE_EQ(model->view.left, 0.4 - 0.5);
  EXPECT_DOUBLE_EQ(model->view.bottom, -0.2 - 0.5);
  EXPECT_EQ(model->view.scale, 600.0);
  EXPECT_EQ(model->view.forceFactor, 0.0);

  // The other component is only a value; a later ".vc" forgets the followed node.
  SetUp();
  ASSERT_EQ(read({command(".vc", {"x3.1", "x3.2"}), command(".vc", {"x3.2", "x3.1"})}), 0);
  EXPECT_EQ(model->view.followedNodeX, -1);
  EXPECT_EQ(model->view.followedNodeY, -1);
  EXPECT_EQ(model->view.centreX, -0.2);
  EXPECT_EQ(model->view.centreY, 0.4);
  EXPECT_EQ(model->view.halfSize, 1.0);  // no half-size given: the default window
}

TEST_F(CommandStatementTest, ViewRefusesFieldsThatAreNoSingleValue) {
  for (const char* field : {"x3.1 + 1", "1 / 0", "2 3", "1e999", "0", "-2"}) {
    SetUp();
    const RecordLine line = command(".vc", {"0", "0", field});
    EXPECT_EQ(read({line}), 9) << field;
    EXPECT_EQ(lastMessage(), std::string(" 値が？ ") + field + " \n\n " + quoted(0, line));
  }
  // Only the half-size has to be above 0.
  SetUp();
  EXPECT_EQ(read({command(".vc", {"0", "0", "1", "0", "-3"})}), 0);
}

// ------------------------------------------------------------------ time

RecordLine timeStatement(const std::string& block) {
  return {".t", 71, 0, 0, {}, {}, block};
}

TEST_F(CommandStatementTest, TimeConditionsOneValuePerLine) {
  ASSERT_EQ(read({timeStatement(" 2\n 0\n 5m\n 10u\n 1")}), 0);
  const double* t = model->timeConditions;
  EXPECT_EQ(t[1], 2.0);
  EXPECT_EQ(t[2], 0.0);
  EXPECT_DOUBLE_EQ(t[3], 5e-3);
  EXPECT_DOUBLE_EQ(t[4], 10e-6);
  EXPECT_EQ(t[5], 1.0);
  EXPECT_EQ(t[6], 1e-99);  // no playback duration given
  EXPECT_EQ(t[7], 0.0);
  EXPECT_EQ(model->timeValueCount, 5);
  EXPECT_EQ(model->groups[1].kind, 0);

  // A line without a number leaves its condition; the eleventh line is not read.
  SetUp();
  ASSERT_EQ(read({timeStatement(" 1\n\n 0\n 1\n 1\n 0\n abc\n 3\n 4\n 5\n 6")}), 0);
  EXPECT_EQ(model->timeConditions[2], 0.0);
  EXPECT_EQ(model->timeConditions[6], 0.0);  // given as 0: not absent
  EXPECT_EQ(model->timeConditions[7], 0.0);
  EXPECT_EQ(model->timeConditions[10], 5.0);
  EXPECT_EQ(model->timeValueCount, 10);
}

TEST_F(CommandStatementTest, SecondTimeStatementReplacesTheFirst) {
  ASSERT_EQ(
      read({timeStatement(" 2\n 0\n 1\n 1m\n 1\n 4\n 1e-7\n 50"), timeStatement(" 1\n 0\n 2")}), 0);
  const double* t = model->timeConditions;
  EXPECT_EQ(t[1], 1.0);
  EXPECT_EQ(t[3], 2.0);
  EXPECT_EQ(t[4], 0.0);
  EXPECT_EQ(t[6], 1e-99);
  EXPECT_EQ(t[8], 0.0);
  EXPECT_EQ(model->timeValueCount, 3);
  EXPECT_EQ(model->count.commandStatements, 2);

  SetUp();
  ASSERT_EQ(read({timeStatement(" 2\n 0\n 1"), timeStatement(" none")}), 0);
  EXPECT_EQ(model->timeConditions[1], 0.0);
  EXPECT_EQ(model->timeValueCount, 0);
}

}  // namespace
}  // namespace movra

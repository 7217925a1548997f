#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using testing::MessageLog;
using testing::RecordLine;

class ElementStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = makeModel();
    reporter.setSink(log.sink());
  }
  // Lines with their annotations; annotations go into the records as the editor puts them.
  int read(const std::vector<RecordLine>& lines,
           const std::vector<std::array<std::string, 3>>& annotations = {}) {
    testing::handOver(*model, lines);
    for (size_t r = 0; r < annotations.size(); ++r) {
      StatementRecord& record = model->records[r];
      std::snprintf(record.drawingAnnotation, sizeof record.drawingAnnotation, "%s", annotations[r][0].c_str());
      std::snprintf(record.transcriptionAnnotation, sizeof record.transcriptionAnnotation, "%s",
                    annotations[r][1].c_str());
      std::snprintf(record.outputAnnotation, sizeof record.outputAnnotation, "%s", annotations[r][2].c_str());
    }
    if (numberModelText(*model, reporter, "") != 0) return -1;
    return readStatements(*model, reporter);
  }
  const std::string& lastMessage() const { return log.texts.back(); }

  std::unique_ptr<Model> model;
  Reporter reporter;
  MessageLog log;
};

TEST_F(ElementStatementTest, DrawingAnnotationSetsTheDrawingMode) {
  ASSERT_EQ(read({{"R 1 0, 1", 23}, {"R 2 0, 1", 23}, {"R 3 0, 1", 23}, {"R 4 0, 1", 23}},
                 {{"f -1", "", ""}, {"f 0", "", ""}, {"f 5", "", ""}, {"", "", ""}}),
            0);
  EXPECT_EQ(model->elements[1].drawingMode, -1);
  EXPECT_EQ(model->elements[3].drawingMode, 1);
  EXPECT_EQ(model->elements[4].drawingMode, 0);
  resetModel(*model);
  EXPECT_EQ(read({{"R 1 0, 1", 23}}, {{"f 101", "", ""}}), 9);
  EXPECT_EQ(lastMessage(), " 力の描画が？ \n\n $  0  R 1 0, 1 ");
}

TEST_F(ElementStatementTest, TranscriptionIdsAreRegisteredOnce) {
  EXPECT_EQ(read({{"R 1 0, 1", 23}, {"R 2 0, 1", 23}}, {{"", "c 12", ""}, {"", "c 12", ""}}), 9);
  EXPECT_EQ(lastMessage(), " 転記id  c 12 がダブる \n$  1  R 2 0, 1 ");
  resetModel(*model);
  EXPECT_EQ(read({{"R 1 0, 1", 23}}, {{"", "c 12000", ""}}), 9);
  EXPECT_NE(lastMessage().find("範囲外"), std::string::npos);
}

TEST_F(ElementStatementTest, OutputAnnotationPublishesABlockAndAddsItems) {
  ASSERT_EQ(read({{"R 1 0, 1", 23}}, {{"", "", "h1000 c1001 c1002"}}), 0);
  EXPECT_EQ(model->elements[1].returnBlockId, 1000);
  ASSERT_EQ(model->count.outputs, 3);
  EXPECT_EQ(model->outputs[2].slot, 1001);
  EXPECT_STREQ(model->outputs[3].name, "c1002");
  EXPECT_EQ(model->outputs[3].element, 1);
  EXPECT_NE(model->idRegistry[1099], 0);
  EXPECT_EQ(model->idRegistry[1100], 0);

  resetModel(*model);
  EXPECT_EQ(read({{"R 1 0, 1", 23}, {"R 2 0, 1", 23}}, {{"", "", "h1000"}, {"", "", "h1000 c1001"}}), 9);
  EXPECT_EQ(lastMessage(), " 出力パラメタがダブル \n$  1  R 2 0, 1 ");
  resetModel(*model);
  EXPECT_EQ(read({{"R 1 0, 1", 23}}, {{"", "", "h1000 c999"}}), 9);
  EXPECT_EQ(lastMessage(), " 出力パラメタｉｄが？ \n\n $  0  R 1 0, 1 ");
  // A block whose hundred ids would leave the registry.
  resetModel(*model);
  EXPECT_EQ(read({{"R 1 0, 1", 23}}, {{"", "", "h9950"}}), 9);
}

TEST_F(ElementStatementTest, EchoedOutLinesIgnoreTheirAnnotations) {
  RecordLine hidden{"R 1 0, 1", 23};
  hidden.echoFlag = 1;
  ASSERT_EQ(read({{"R 2 0, 1", 23}, hidden}, {{"", "", ""}, {"f 500", "", ""}}), 0);
}

TEST_F(ElementStatementTest, PulleyWithAPositiveFifthParameterIsThreeElements) {
  ASSERT_EQ(read({{"pu 1n 2n", 14, 0, 0, {"0.1", "0.2", "", "", "2"}}, {"R 3 0, 1", 23}}), 0);
  ASSERT_EQ(model->count.elements, 4);
  for (int e = 1; e <= 3; ++e) {
    EXPECT_EQ(model->elements[e].groupFirst, 1);
    EXPECT_EQ(model->elements[e].groupLast, 3);
    EXPECT_EQ(model->elements[e].node[2], 20);
  }
  EXPECT_EQ(model->elements[2].typeCode, 14);
  EXPECT_STREQ(model->elements[3].keyword, "pu");
  // Two slots for the statement, one for each added entry.
  EXPECT_EQ(model->elements[1].firstStateSlot, 1);
  EXPECT_EQ(model->elements[2].firstStateSlot, 3);
  EXPECT_EQ(model->elements[3].firstStateSlot, 4);
  EXPECT_EQ(model->elements[4].groupFirst, 4);
}

TEST_F(ElementStatementTest, HundredStatementsWithAnExpandedPulleyReachTheLimitEarly) {
  std::vector<RecordLine> lines = {{"pu 1n 2n", 14, 0, 0, {"0.1", "0.2", "", "", "1"}}};
  for (int i = 0; i < 99; ++i) lines.push_back({"R 3 0, 1", 23});
  EXPECT_EQ(read(lines), 9);
  EXPECT_EQ(lastMessage(), " 要素の数が１００を超える ");
  EXPECT_EQ(model->currentRecord, 98);
}

TEST_F(ElementStatementTest, DiodeWithAThirdFieldGetsItsForcedTwin) {
  ASSERT_EQ(read({{"D 1 0, 0.7, 1m, 1", 25, 0, 0, {"0.7", "1m", "1"}}, {"D 2 0, 0.7", 25, 0, 0, {"0.7"}}}), 0);
  ASSERT_EQ(model->count.elements, 3);
  EXPECT_EQ(model->elements[1].mode, 9);
  EXPECT_EQ(model->elements[2].mode, 11);
  EXPECT_EQ(model->elements[2].typeCode, 25);
  EXPECT_EQ(model->elements[2].node[1], 1);
  EXPECT_EQ(model->elements[3].mode, 0);
}

TEST_F(ElementStatementTest, ReferenceToAnUnclaimedHighIdReadsItsValue) {
  model->parameters[200] = 1.5;
  model->parameters[201] = 2.5;
  ASSERT_EQ(read({{"R 1 0", 23, 0, 0, {"1", "", "p200", "", "", "7"}}}), 0);
  const ElementEntry& element = model->elements[1];
  EXPECT_EQ(element.realSlots[3], 1.5);
  EXPECT_EQ(element.given[3], 1);
  EXPECT_EQ(element.realSlots[4], 0.0);
  EXPECT_EQ(element.empty[4], 1);
  EXPECT_EQ(element.realSlots[6], 7.0);
}

// A field that gives no finite number is refused at the element's line, whether
// the field overflows or takes a value that is none from a parameter.
TEST_F(ElementStatementTest, FieldsWithoutAFiniteNumberAreRefusedAtTheirLine) {
  struct Case {
    std::vector<std::string> fields;
    const char* field;
  };
  for (const Case& c : {Case{{"0 * pow(10, 400)"}, "欄 1"}, Case{{"1k", "1e400"}, "欄 2"},
                        Case{{"1k", "", "p200"}, "欄 3"}}) {
    SetUp();
    model->parameters[200] = std::nan("");
    EXPECT_EQ(read({{"R 1 0", 23, 0, 0, c.fields}}), 9) << c.field;
    ASSERT_FALSE(log.texts.empty());
    EXPECT_EQ(lastMessage().rfind(std::string(" 値が数にならない？ (桁あふれ)  ") + c.field + " \n\n", 0), 0u)
        << lastMessage();
  }
}

TEST_F(ElementStatementTest, TableIdsOfThermalKeywordsAreChecked) {
  ASSERT_EQ(read({{"Qs 1 0, p200", 42, 0, 0, {"p200"}}}), 0);
  EXPECT_EQ(model->elements[1].tableId, 200);
  resetModel(*model);
  EXPECT_EQ(read({{"Qs 1 0, p205", 42, 0, 0, {"p205"}}}), 9);
  EXPECT_EQ(lastMessage(), " 表ｉｄは 100～990 \n\n $  0  Qs 1 0, p205  ... 205");
}

TEST_F(ElementStatementTest, InteractiveModesAddThePointerElements) {
  model->handOverMode = 3;
  ASSERT_EQ(read({{"R 1 0, 1", 23}}), 0);
  ASSERT_EQ(model->count.elements, 2);
  EXPECT_STREQ(model->elements[2].keyword, "sc");
  EXPECT_EQ(model->elements[2].typeCode, 5);
  EXPECT_EQ(model->elements[2].realSlots[1], 1e6);
  EXPECT_EQ(model->elements[2].realSlots[3], 20000);

  resetModel(*model);
  model->handOverMode = 4;
  ASSERT_EQ(read({{"R 1 0, 1", 23}}), 0);
  ASSERT_EQ(model->count.elements, 5);
  EXPECT_EQ(model->elements[2].node[2], 1990);
  EXPECT_EQ(model->elements[4].node[1], 1980);
  EXPECT_STREQ(model->elements[5].keyword, "pc");
  EXPECT_EQ(model->elements[5].realSlots[4], 1);
  EXPECT_EQ(model->count.parameterStatements, 2);
  EXPECT_EQ(model->parameterStatements[2].id, -10072);
  EXPECT_EQ(model->nodes.kind[198], 1);
}

TEST_F(ElementStatementTest, NodeMapReplacesHighMechanicalNodesKeepingTheSuffix) {
  testing::handOver(*model, {{"lr 105n 3p, 1", 6, 0, 0, {"1"}}, {"R 105 0, 1", 23}});
  model->nodes.nodeMap[105] = 7;
  ASSERT_EQ(numberModelText(*model, reporter, ""), 0);
  ASSERT_EQ(readStatements(*model, reporter), 0);
  EXPECT_EQ(model->elements[1].node[1], 70);
  EXPECT_EQ(model->elements[1].writtenNode[1], 1050);
  EXPECT_EQ(model->elements[1].node[2], 31);
  EXPECT_EQ(model->elements[2].node[1], 105);  // not mechanical: not mapped
}

}  // namespace
}  // namespace movra

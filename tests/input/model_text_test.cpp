#include "input/model_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/model_fixture.h"

namespace movra {
namespace {

using testing::MessageLog;
using testing::RecordLine;

class ModelTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = makeModel();
    reporter.setSink(log.sink());
  }
  int number(const std::vector<RecordLine>& lines, const std::string& keyArgument = {}) {
    testing::handOver(*model, lines);
    return numberModelText(*model, reporter, keyArgument);
  }
  std::string numbered() const { return model->numberedText; }

  std::unique_ptr<Model> model;
  Reporter reporter;
  MessageLog log;
};

TEST_F(ModelTextTest, NumbersStatementLinesAndDropsAnUnterminatedLastLine) {
  testing::handOver(*model, {{"R 1 0, 10k", 23}, {".vc 0, 0, 1"}});
  // The last line loses its CR LF: it is not read.
  std::string text = model->modelText;
  text.resize(text.size() - 2);
  std::snprintf(model->modelText, sizeof model->modelText, "%s", text.c_str());
  ASSERT_EQ(numberModelText(*model, reporter, ""), 0);
  EXPECT_EQ(numbered(), "$  0  R 1 0, 10k \r\n");
  EXPECT_EQ(model->recordsRead, 1);
}

TEST_F(ModelTextTest, ReplacesAngleBracketsByBlanks) {
  ASSERT_EQ(number({{"R 1 0, a>b", 23}}), 0);
  EXPECT_EQ(numbered(), "$  0  R 1 0, a b \r\n");
}

TEST_F(ModelTextTest, TableTakesItsContinuationLinesUnnumbered) {
  RecordLine table{":u 200", 80, 3};
  table.continuation = {"  1 2", "  3 4", "  end"};
  ASSERT_EQ(number({table, {"R 1 0, 5", 23}}), 0);
  EXPECT_EQ(numbered(), "$  0  :u 200 \r\n  1 2\r\n  3 4\r\n  end\r\n$  1  R 1 0, 5 \r\n");
  EXPECT_STREQ(model->records[1].echoText, "$  1  R 1 0, 5 \r\n");
}

TEST_F(ModelTextTest, NumberingStopsAtIcAndEchoFlagOneLinesAreLeftOut) {
  ASSERT_EQ(number({{"R 1 0, 5", 23}, {"  row", 0, 0, 1}, {".ic", 23}, {"note", 0}}), 0);
  EXPECT_EQ(numbered(), "$  0  R 1 0, 5 \r\n.ic \r\nnote \r\n");
  EXPECT_EQ(model->records[2].typeCode, 0);
}

TEST_F(ModelTextTest, KeyFileLineOverridesCommandLineAndOnlyTheFirstCounts) {
  const std::string path = ::testing::TempDir() + "keys_model_line.log";
  std::ofstream(path) << "0 1 2 3 4 5 6 7 8 9 10 11 3000\n";
  const std::string other = ::testing::TempDir() + "keys_second_line.log";
  ASSERT_EQ(number({{".key c:" + path + " trailing", 99},
                    {".key c:" + other, 99},
                    {"R 1 0, 5", 23}},
                   "/nonexistent/from_command_line.log"),
            0);
  EXPECT_STREQ(model->controlKeyFile, path.c_str());
  EXPECT_EQ(model->replayMode, 2);
  EXPECT_EQ(model->controlKeys.rowsRead, 1);
  // Key-file lines are no statements.
  EXPECT_EQ(numbered(), "$  2  R 1 0, 5 \r\n");
}

TEST_F(ModelTextTest, UnopenableKeyFileIsRefusedWithItsName) {
  EXPECT_EQ(number({{"R 1 0, 5", 23}}, "/nonexistent/keys.log"), 9);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_EQ(log.texts[0], " ファイルが？  /nonexistent/keys.log ");
  EXPECT_EQ(model->replayMode, 1);
}

TEST_F(ModelTextTest, KeyFileNamesFromModelLinesMapTheDrive) {
  EXPECT_EQ(keyFilePathFromModel("c:/runs/a.log"), "/runs/a.log");
  EXPECT_EQ(keyFilePathFromModel("c:a.log"), "a.log");
  EXPECT_EQ(keyFilePathFromModel("c:\\runs\\a.log"), "/runs/a.log");
}

TEST_F(ModelTextTest, MoreLinesThanRecordsIsRefusedNotReadPastTheRecords) {
  testing::handOver(*model, {{"R 1 0, 5", 23}});
  std::snprintf(model->modelText, sizeof model->modelText, "R 1 0, 5\r\nC 1 0, 1u\r\n");
  EXPECT_EQ(numberModelText(*model, reporter, ""), 9);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_NE(log.texts[0].find("C 1 0, 1u"), std::string::npos);
}

TEST_F(ModelTextTest, OverlongLineIsCutButKeepsTheLineStructure) {
  const std::string longLine = "R 1 0, " + std::string(20000, '1');
  ASSERT_EQ(number({{longLine, 23}, {"C 1 0, 1u", 24}}), 0);
  const std::string text = numbered();
  EXPECT_LT(std::string(model->records[0].echoText).size(), static_cast<size_t>(kEchoTextBytes));
  EXPECT_NE(text.find(" \r\n$  1  C 1 0, 1u \r\n"), std::string::npos);
}

TEST_F(ModelTextTest, HandOverBlockThatCannotBeCreatedGives19) {
  model->handOverMode = 2;
  reporter.setHandOverMode(2);
  // A name longer than the system allows cannot become a shared-memory object.
  ModelTextArguments arguments{std::string(300, 'x'), ""};
  EXPECT_EQ(readModelText(*model, reporter, arguments), 19);
  // Under the editor the message is collected, not shown.
  EXPECT_TRUE(log.texts.empty());
  EXPECT_NE(std::string(reporter.errorBuffer()).find(" File失敗f1"), std::string::npos);
}

}  // namespace
}  // namespace movra

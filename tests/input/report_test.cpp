#include "input/report.h"

#include <gtest/gtest.h>

#include <string>

#include "support/model_fixture.h"

namespace movra {
namespace {

TEST(Reporter, ShowsOutsideTheEditorAndCollectsTheLatestUnderIt) {
  testing::MessageLog log;
  Reporter reporter;
  reporter.setSink(log.sink());
  EXPECT_EQ(reporter.modelError("データが？ \n\n %s", "R 1 0"), 9);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_EQ(log.texts[0], "データが？ \n\n R 1 0");
  EXPECT_FALSE(reporter.hasCollectedError());

  reporter.setHandOverMode(1);
  reporter.modelError("first %d", 1);
  reporter.modelError("second %d", 2);
  EXPECT_EQ(log.texts.size(), 1u);
  EXPECT_STREQ(reporter.errorBuffer(), "second 2");
  // Notices are shown in every mode.
  reporter.notice("notice");
  EXPECT_EQ(log.texts.back(), "notice");
}

TEST(Reporter, FormattingIsBoundedByTheMessageBuffer) {
  Reporter reporter;
  reporter.setHandOverMode(1);
  const std::string huge(100000, 'x');
  reporter.modelError("%s", huge.c_str());
  EXPECT_EQ(std::string(reporter.errorBuffer()).size(), static_cast<size_t>(kMessageBytes - 1));
}

TEST(Reporter, QuestionsTakeTheSinksAnswer) {
  int answer = 0;
  Reporter reporter;
  reporter.setSink(consoleSink(&answer));
  EXPECT_FALSE(reporter.ask("continue?"));
  answer = 1;
  EXPECT_TRUE(reporter.ask("continue?"));
}

TEST(LineMarker, CutsTheMarkerAndKeepsTheLineText) {
  char text[256];
  EXPECT_EQ(takeLineMarker(" データが？ \n\n $ 12  R 1 0, 5 ", 20, text, sizeof text), 12);
  EXPECT_STREQ(text, " データが？ \n\n R 1 0, 5 ");
  // Out of the handed-over records, or no number: the whole text, no line.
  EXPECT_EQ(takeLineMarker("x $ 30  R", 20, text, sizeof text), -1);
  EXPECT_STREQ(text, "x $ 30  R");
  EXPECT_EQ(takeLineMarker("costs $abc", 20, text, sizeof text), -1);
  EXPECT_EQ(takeLineMarker("no marker", 20, text, sizeof text), -1);
  // A marker at the very end does not read past the text.
  EXPECT_EQ(takeLineMarker("end $  3", 20, text, sizeof text), 3);
  EXPECT_STREQ(text, "end ");
}

}  // namespace
}  // namespace movra

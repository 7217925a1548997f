// Values that ran without a word, each now refused or warned at its line: a gap's
// shape that is neither plane nor round, a joint's offset mode other than 0 or 1, a
// negative output interval or tolerance, a sine whose frequency names an entry that
// nothing sets; and a playback duration too long for the timer runs without
// overflowing it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "note/model_file.h"
#include "note/model_warnings.h"
#include "support/in_process_run.h"

namespace movra {
namespace {

const std::string kShortRun = ".t 2\n   0\n   0.01\n   1m\n   1\n";

TEST(ValueChecks, TheSimulatorRefusesShapesAndModesItDoesNotKnow) {
  const std::string pendulum = ".in 1 0 0\n.in 2 0 1\npc 0n 1n\nb 0n 2n, 1, 1m\n.o x2.2\n";
  struct Case {
    std::string line;
    int status;
  };
  const Case cases[] = {
      {"gap 1n 2n, 0.1, 1000, 1, 90, 5e20\n", kRunRefused},
      {"gap 1n 2n, 0.1, 1000, 1, 90, 2\n", kRunRefused},
      {"gap 1n 2n, 0.1, 1000, 1, 90, 1\n", 0},
      {"pc 0n 2n, 0, 1, 0, 2\n", kRunRefused},
      {"pc 0n 2n, 0, 1, 0, 1\n", 0},
  };
  for (const Case& c : cases) {
    auto outcome = testing::runModelText(pendulum + c.line + kShortRun);
    EXPECT_EQ(outcome->status, c.status) << c.line << outcome->messages.last();
    if (c.status != 0) {
      EXPECT_NE(outcome->messages.last().find("データが？"), std::string::npos);
    }
  }
  auto slow = testing::runModelText(pendulum + ".t 2\n   0\n   0.01\n   1m\n   1\n   1e300\n");
  EXPECT_EQ(slow->status, 0);
  EXPECT_EQ(slow->run->playbackPeriodMs, 1000000000);
}

TEST(ValueChecks, TheEditorNamesSignSlipsAndUnsetFrequencies) {
  const std::string circuit = "V 1 0, 1, 0\nR 1 0, 1k\n";
  for (const char* rows : {"   0\n   1m\n   10u\n   -3\n", "   0\n   1m\n   10u\n   1\n   1\n   -1e-6\n"}) {
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    EXPECT_FALSE(note::readModelFile(circuit + ".t 2\n" + rows, image, errors)) << rows;
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].message.find("is negative; write 0 for the default"), std::string::npos)
        << errors[0].message;
  }
  const std::string sine = ":sin 20\n   p1\n   1\n   -12\n   0\n   0\n" + circuit + kShortRun;
  for (const bool summed : {false, true}) {
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    ASSERT_TRUE(note::readModelFile(sine + (summed ? ":sum 12\n   p1\n   0\n   50\n" : ""), image, errors));
    const auto warnings = note::modelWarnings(image);
    EXPECT_EQ(warnings.size(), summed ? 0u : 1u);
    if (!summed && !warnings.empty()) {
      EXPECT_EQ(warnings[0].line, 1);
      EXPECT_NE(warnings[0].message.find("stays at 0 Hz"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace movra

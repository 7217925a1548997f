// Every frame of a run is read with one layout, so an element must record the same
// shapes in every frame: a force that is zero at the first step still records its
// (zero-length) arrow.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/example_runs.h"

namespace movra {
namespace {

TEST(FrameLayout, ZeroForceAtTheFirstStepDoesNotShiftTheOutputs) {
  // Gravity switches on at the first step: the body's force arrow is zero at step 0.
  auto outcome = testing::runModelText(
      ".in 2 0.3 0.2\n"
      "b 0n 2n, 1, 1m, 9.81 * p2 {f 1}\n"
      ".o x2.1, x2.2\n"
      ".t 1\n   0\n   0.01\n   1m\n   1\n");
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  EXPECT_DOUBLE_EQ(outcome->output(0, 1), 0.0);  // the time
  EXPECT_DOUBLE_EQ(outcome->output(0, 2), 0.3);
  EXPECT_DOUBLE_EQ(outcome->output(0, 3), 0.2);
  // Falling along +y from the first step on.
  EXPECT_GT(outcome->output(10, 3), 0.2);
  EXPECT_DOUBLE_EQ(outcome->output(10, 2), 0.3);
}

// Every frame read with the layout of the last one: the run counters after the
// outputs hold the element and unknown counts in each frame, and the last frame is
// as long as the first, which set the record length.
void expectOneLayout(testing::InProcessRun& outcome, const std::string& label) {
  const int items = outcome.model->count.outputs;
  EXPECT_EQ(outcome.run->outputBlockStart + items + 7, outcome.run->frames.recordLength) << label;
  for (int frame = 0; frame <= outcome.run->lastFrame; ++frame) {
    ASSERT_EQ(outcome.output(frame, items + 1), outcome.model->count.elements)
        << label << " frame " << frame;
    ASSERT_EQ(outcome.output(frame, items + 2), outcome.run->unknownCount)
        << label << " frame " << frame;
  }
}

// Every example with forces drawn, and the ball's floor and the wheel's track with
// theirs drawn: forces that come and go (a contact touching and letting go) still
// record their arrow while it is zero.
TEST(FrameLayout, EveryExampleWithForcesDrawnKeepsOneLayout) {
  std::vector<std::string> texts;
  for (const auto& entry : std::filesystem::directory_iterator(MOVRA_SOURCE_DIR "/examples")) {
    const std::string text = testing::readExample(entry.path().filename().string());
    if (text.find("{f") != std::string::npos) texts.push_back(text);
  }
  EXPECT_GE(texts.size(), 2u);
  for (const auto& [name, after] : {std::pair{"bouncing_ball.model", "63.2, 90"},
                                    std::pair{"wheel_in_bowl.model", "200, p300"}}) {
    std::string text = testing::readExample(name);
    ASSERT_NE(text.find(after), std::string::npos) << name;
    texts.push_back(text.insert(text.find(after) + std::string(after).size(), " {f 1}"));
  }
  for (const std::string& text : texts) {
    auto outcome = testing::runModelText(text);
    const std::string label = text.substr(0, 60);
    ASSERT_EQ(outcome->status, 0) << label << outcome->messages.last();
    expectOneLayout(*outcome, label);
  }
}

}  // namespace
}  // namespace movra

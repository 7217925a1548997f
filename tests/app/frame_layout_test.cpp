// Every frame of a run is read with one layout, so an element must record the same
// shapes in every frame: a force that is zero at the first step still records its
// (zero-length) arrow.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
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
// outputs hold the element and unknown counts in each frame, and the last frame's
// layout is as long as the first one's, which set the record length.
void expectOneLayout(testing::InProcessRun& outcome, const std::string& label) {
  const Run& run = *outcome.run;
  const int items = outcome.model->count.outputs;
  EXPECT_EQ(run.outputBlockStart + items + 7, run.frames.recordLength) << label;
  int shifted = 0;
  for (int frame = 0; frame <= run.lastFrame; ++frame) {
    const bool same = outcome.output(frame, items + 1) == outcome.model->count.elements &&
                      outcome.output(frame, items + 2) == run.unknownCount;
    if (!same && shifted++ == 0) ADD_FAILURE() << label << ": frame " << frame << " is shifted";
  }
  EXPECT_EQ(shifted, 0) << label;
}

std::string withText(std::string text, const std::string& after, const std::string& added) {
  const size_t at = text.find(after);
  EXPECT_NE(at, std::string::npos) << after;
  if (at != std::string::npos) text.insert(at + after.size(), added);
  return text;
}

// Elements whose drawn force comes and goes (a contact that touches and lets go)
// still record its arrow while it is zero.
TEST(FrameLayout, EveryExampleWithForcesDrawnKeepsOneLayout) {
  std::vector<std::string> drawn;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(MOVRA_SOURCE_DIR) + "/examples")) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".model" && testing::readExample(name).find("{f") != std::string::npos) {
      drawn.push_back(name);
    }
  }
  std::sort(drawn.begin(), drawn.end());
  EXPECT_GE(drawn.size(), 2u);
  for (const std::string& name : drawn) {
    auto outcome = testing::runModelText(testing::readExample(name));
    ASSERT_EQ(outcome->status, 0) << name << ": " << outcome->messages.last();
    expectOneLayout(*outcome, name);
  }
  // The ball's floor and the wheel's track with their forces drawn: the same
  // layout in every frame, and the same outputs as without the drawing.
  const struct {
    const char* name;
    const char* after;
  } variants[] = {{"bouncing_ball.model", "63.2, 90"}, {"wheel_in_bowl.model", "200, p300"}};
  for (const auto& variant : variants) {
    const std::string text = testing::readExample(variant.name);
    auto plain = testing::runModelText(text);
    auto outcome = testing::runModelText(withText(text, variant.after, " {f 1}"));
    ASSERT_EQ(outcome->status, 0) << variant.name << ": " << outcome->messages.last();
    expectOneLayout(*outcome, std::string(variant.name) + " with forces");
    ASSERT_EQ(outcome->run->lastFrame, plain->run->lastFrame) << variant.name;
    int differing = 0;
    for (int frame = 0; frame <= plain->run->lastFrame; ++frame) {
      for (int item = 1; item <= plain->model->count.outputs; ++item) {
        differing += outcome->output(frame, item) != plain->output(frame, item) ? 1 : 0;
      }
    }
    EXPECT_EQ(differing, 0) << variant.name;
  }
}

}  // namespace
}  // namespace movra

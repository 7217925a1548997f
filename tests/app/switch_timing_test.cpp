// A delayed switch changes state on the first iteration of a step only: the
// recording pass, which keeps the accepted attempt's iteration count, must not
// run the switching logic a second time.
#include <gtest/gtest.h>

#include "support/in_process_run.h"

namespace movra {
namespace {

// The control rises above 0.5 at 0.02 ms and falls below it at 0.08 ms (a parabola
// over 0..0.1 ms); the opening contact (kind 1) is held open for the 0.095 ms delay
// after each request. One iteration per step: the circuit is linear.
constexpr const char* kDelayedSwitch =
    "V 1 0, 5, 0\n"
    "Sw 1 2, 0.5, 0.5, 0.095m, 0, 1, 4 * p1 * (0.1m - p1) / 0.1m / 0.1m {h1000 c1006}\n"
    "R 2 0, 1k\n"
    ".o x2.9\n"
    ".t 1\n   0\n   0.3m\n   10u\n   1\n";

TEST(SwitchTiming, DelayedSwitchDoesNotDependOnTheIterationCount) {
  auto outcome = testing::runModelText(kDelayedSwitch);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  // Opening requested at step 13 (0.13 ms), open state reached at 0.23 ms; the
  // contact conducts again from the step after: node 2 back at 5 V at 0.24 ms.
  // Items: the time, the conducting flag (from the annotation), node 2.
  EXPECT_EQ(outcome->output(23, 3), 0.0);
  EXPECT_NEAR(outcome->output(24, 3), 5.0, 1e-6);
  // The recorded conducting flag agrees with the solution in every frame.
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const bool conducting = outcome->output(frame, 2) == 1.0;
    EXPECT_EQ(conducting, outcome->output(frame, 3) > 1.0) << frame;
  }
}

}  // namespace
}  // namespace movra

// Every frame of a run is read with one layout, so an element must record the same
// shapes in every frame: a force that is zero at the first step still records its
// (zero-length) arrow.
#include <gtest/gtest.h>

#include "support/in_process_run.h"

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

}  // namespace
}  // namespace movra

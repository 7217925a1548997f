// A field that is nothing but a reference — a function statement's result, a return
// value, a negated return value — is a value like any other expression: it follows
// its source at every step and is not frozen at the value it had while reading.
#include <gtest/gtest.h>

#include <cmath>

#include "support/batch_runs.h"
#include "support/in_process_run.h"

namespace movra {
namespace {

// Three circuits in one model, each driven by a lone reference:
// - the source of node 1 by the sine of statement 120 (1 V rms, 50 Hz);
// - the switch between 3 and 4 by the 2 V across the resistor of block 1100;
// - the heat source into thermal node 5 by that resistor's power, negated
//   (4 mW; a resistor's power is negative while it takes energy in), which the
//   temperature difference of block 1500 carries to the room.
constexpr const char* kLoneReferences =
    ":sin 120\n   p1\n   1\n   50\n   0\n   0\n"
    "V 1 0, p120\n"
    "R 1 0, 1k\n"
    "V 2 0, 2, 0\n"
    "R 2 0, 1k {h1100}\n"
    "V 3 0, 5, 0\n"
    "Sw 3 4, 0.5, 0.5, 0, 0, 0, c1101\n"
    "R 4 0, 1k\n"
    "Qs 100 5, , 0, -c1103\n"
    "t 5 0, 0 {h1500}\n"
    ".o x1.9, x4.9, c1502\n"
    ".t 1\n   0\n   10m\n   0.1m\n   1\n";

TEST(FieldReferences, ALoneReferenceFollowsItsSourceAtEveryStep) {
  auto outcome = testing::runModelText(kLoneReferences);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  ASSERT_EQ(outcome->run->lastFrame, 100);
  for (int frame = 1; frame <= 100; ++frame) {
    const double t = outcome->output(frame, 1);
    EXPECT_NEAR(outcome->output(frame, 2), std::sqrt(2.0) * std::sin(2 * M_PI * 50 * t), 1e-9)
        << "source at t = " << t;
  }
  // Items: the time, then the three outputs. Return values reach the fields one step late: from step 2 on both are settled.
  for (int frame = 2; frame <= 100; ++frame) {
    EXPECT_NEAR(outcome->output(frame, 3), 5.0, 1e-9) << "switch, frame " << frame;
    EXPECT_NEAR(std::fabs(outcome->output(frame, 4)), 4e-3, 1e-12) << "heat, frame " << frame;
  }
}

// The example: a 50 Hz sine from a function statement into an RC low-pass at its
// corner. Over the last period the capacitor peaks at 1/sqrt(2) of the source's
// 14.14 V, 45 degrees (2.5 ms) after it; the rows are 0.2 ms apart.
TEST(FieldReferences, FilterExampleMeetsItsCornerFrequency) {
  const auto rows = testing::simulateExample("ac_rc_filter", 2, "field_reference_");
  ASSERT_EQ(rows.size(), 501u);
  size_t source = 400, capacitor = 400;
  for (size_t k = 400; k < rows.size(); ++k) {
    if (rows[k][1] > rows[source][1]) source = k;
    if (rows[k][2] > rows[capacitor][2]) capacitor = k;
  }
  EXPECT_NEAR(rows[source][1], 10 * std::sqrt(2.0), 0.01);
  EXPECT_NEAR(rows[capacitor][2], 10.0, 0.02);
  EXPECT_NEAR(rows[capacitor][0] - rows[source][0], 2.5e-3, 0.2e-3);
}

}  // namespace
}  // namespace movra

// The gears, belt, wheel and gap-contact examples in whole runs: the model reader's
// keywords and expansions (`gap`, `st`, `pu` into three entries, `wh` over a support
// set) together with the evaluators, against the closed forms their comment blocks
// state. Values are read in process; item 1 of every frame is the time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/example_runs.h"

namespace movra {
namespace {

using testing::readExample;

// examples/bouncing_ball.model: 1 kg on k = 1e5 N/m, c = 63.2 N s/m (zeta = 0.1),
// dropped 0.5 m. The restitution of the clamped spring-dashpot at zeta = 0.1 is
// e = 0.744 (tests/elements/gears_contacts_test.cpp derives it), so each apex is
// about e² = 0.554 of the one before; gravity during the 10 ms contacts and the
// integration (0.1 ms steps) take a little more: within 4 %. The overlap stays
// below v0·√(m/k) with v0 = √(2 g h).
TEST(ContactExamples, BallBouncesToRestitutionSquaredEachTime) {
  auto outcome = testing::runModelText(readExample("bouncing_ball.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  std::vector<double> apexes;
  double deepest = 0.0;
  for (int frame = 1; frame < outcome->run->lastFrame; ++frame) {
    const double before = outcome->output(frame - 1, 4);
    const double now = outcome->output(frame, 4);
    const double after = outcome->output(frame + 1, 4);
    ASSERT_TRUE(std::isfinite(now));
    if (now > before && now >= after && now > 0.06) apexes.push_back(now - 0.05);
    deepest = std::min(deepest, outcome->output(frame, 2));
  }
  ASSERT_GE(apexes.size(), 3u);
  EXPECT_NEAR(apexes[0] / 0.5, 0.554, 0.04 * 0.554);
  EXPECT_NEAR(apexes[1] / apexes[0], 0.554, 0.04 * 0.554);
  EXPECT_NEAR(apexes[2] / apexes[1], 0.554, 0.04 * 0.554);
  EXPECT_GT(deepest, -std::sqrt(2.0 * 9.81 * 0.5) * std::sqrt(1.0 / 1e5));
}

// examples/belt_drive.model: driver 40 mm at 360 deg/s, driven 80 mm with a load
// damper of 0.05 N m s/rad: 180 deg/s, a load torque of 0.157 N m, span tensions
// 40 ± 0.157/(2·0.08) N and a shaft load of 80 N. The link that holds the driven
// centre gives a little (some 1e-7 m under the 80 N), which both spans feel alike:
// 0.005 N on each tension, while their difference stays the load's.
TEST(ContactExamples, BeltDriveSharesTheLoadBetweenItsSpans) {
  auto outcome = testing::runModelText(readExample("belt_drive.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  const int last = outcome->run->lastFrame;
  const double half = 0.05 * 3.141592653589793 / 0.08 / 2.0;
  EXPECT_NEAR(outcome->output(last, 2), 40.0 + half, 5e-3);
  EXPECT_NEAR(outcome->output(last, 3), 40.0 - half, 5e-3);
  EXPECT_NEAR(outcome->output(last, 2) - outcome->output(last, 3), 2.0 * half, 1e-4 * half);
  EXPECT_NEAR(outcome->output(last, 4), 80.0, 1e-2);
  const double speed = (outcome->output(last, 5) - outcome->output(last - 10, 5)) /
                       (outcome->output(last, 1) - outcome->output(last - 10, 1));
  EXPECT_NEAR(speed, 180.0, 0.01);
}

// examples/gear_backlash.model: while the teeth touch (flank ±1 in two frames in a
// row) the driven gear turns at -1/2 of the driver, but for the change of the tooth
// deflection F/k (a few µm of pitch arc: 3e-3 deg of the driven gear) once the
// start's acceleration is over; after each reversal at the swing's ends the flank
// is 0 for a while.
TEST(ContactExamples, GearPairCrossesItsBacklashAtEveryReversal) {
  auto outcome = testing::runModelText(readExample("gear_backlash.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  int inPlay = 0, checked = 0;
  for (int frame = 10; frame <= outcome->run->lastFrame; ++frame) {
    const double flank = outcome->output(frame, 3);
    const double driver = outcome->output(frame, 4) - outcome->output(frame - 1, 4);
    const double driven = outcome->output(frame, 5) - outcome->output(frame - 1, 5);
    if (flank != 0.0 && outcome->output(frame - 1, 3) == flank) {
      EXPECT_NEAR(driven, -0.5 * driver, 3e-3) << "frame " << frame;
      ++checked;
    }
    if (flank == 0.0) ++inPlay;
  }
  EXPECT_GT(checked, 200);
  EXPECT_GT(inPlay, 5);
}

// examples/wheel_in_bowl.model: a disc rolling without slip keeps its energy but for
// the contact's damping: it rises on the far side of the bowl to nearly its start.
TEST(ContactExamples, WheelRollsThroughTheBowlAndBack) {
  auto outcome = testing::runModelText(readExample("wheel_in_bowl.model"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  double farthest = 0.0, highOnFarSide = 0.0;
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double x = outcome->output(frame, 2), y = outcome->output(frame, 3);
    ASSERT_TRUE(std::isfinite(x) && std::isfinite(y));
    farthest = std::max(farthest, x);
    if (x > 2.0) highOnFarSide = std::max(highOnFarSide, y);
  }
  EXPECT_GT(farthest, 3.6);
  EXPECT_GT(highOnFarSide, 0.55);
  EXPECT_LT(highOnFarSide, 0.636);
  // Rolled back: it ends on the near side.
  EXPECT_LT(outcome->output(outcome->run->lastFrame, 2), 2.0);
}

// Data of the gear pair, the belt and the wheel that their evaluators first check
// in the preparation pass of the starting step: refused like every data error, at
// the element's line (status 51, not a stopped run).
TEST(ContactExamples, BadDataOfTheStartingStepAreRefusedAtTheirLine) {
  const std::string centres =
      ".in 1 0 0\n.in 2 0.15 0\npc 0n 1n, 0, 0, 90 * sin(pi * p1)\nlr 0n 2p\n";
  const std::string load = "b  0n 2n, 0.5, 1m, 0, 0, 0.05\n";
  const std::string track = ".sd 300\n   0.6 0 0.5\n   0.3 0.5 1\n.in 1 0.1 0.7\n";
  const std::string time = ".t 2\n   0\n   0.1\n   1m\n   10\n";
  const std::vector<testing::Refusal> cases = {
      {"gear pair without stiffness", centres + "st 1n 2n, 0.05, 0.1, 0, 2m\n" + load + time, 5,
       "データが？"},
      {"gear pair of two rings", centres + "st 1n 2n, -0.05, -0.1, 1e6\n" + load + time, 5,
       " ri  rj が ？"},
      {"elastic belt without stiffness", centres + "pu 1n 2n, 0.04, 0.08, 0, 40, 1\n" + load + time,
       5, "データが？--pu"},
      {"belt of overlapping pulleys", centres + "pu 1n 2n, 0.04, 0.3\n" + load + time, 5,
       "軸間距離、又は ｒ が？"},
      {"wheel without a radius",
       track + "wh 0n 1n, 0, 0.6, 1e5, 200, p300\nb 0n 1n, 1, 5m, -9.81\n" + time, 5, "データが？"},
  };
  testing::expectRefused(cases);
  for (const testing::Refusal& c : cases) {
    const testing::Checked checked = testing::check(c.model);
    EXPECT_EQ(checked.status, 51) << c.label;
    EXPECT_FALSE(checked.ended) << c.label;
  }
}

}  // namespace
}  // namespace movra

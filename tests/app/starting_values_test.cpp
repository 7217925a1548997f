// Starting values the user gives (".iv" for a node's potential, an inductor's
// third field for its current) are what the run starts from: the starting
// solution holds them and the first step takes them as its history.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "note/model_file.h"
#include "support/in_process_run.h"

namespace movra {
namespace {

const std::string kTenMicroseconds = ".t 2\n   0\n   1m\n   1u\n   10\n";

// A capacitor charged to 10 V discharging through 1 kOhm (tau 1 ms, rows every
// 10 us), and an inductor carrying 2 A into 10 Ohm (tau 0.1 ms): v = 10 e^(-t/tau),
// i = 2 e^(-t/tau). Steps of tau/1000 and tau/100 leave BDF2 well below 1e-3.
TEST(StartingValues, CapacitorAndInductorStartWhereTheModelSays) {
  auto outcome = testing::runModelText(
      "R 1 0, 1k\nC 1 0, 1u\n.iv 1, 10\n"
      "R 2 0, 10\nL 2 0, 1m, 0, 2 {h1000 c1002}\n"
      ".o x1.9\n" + kTenMicroseconds);
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  // Items: the time, the inductor current (its annotation comes first), node 1.
  for (int frame = 0; frame <= outcome->run->lastFrame; ++frame) {
    const double t = outcome->output(frame, 1);
    EXPECT_NEAR(outcome->output(frame, 3), 10 * std::exp(-t / 1e-3), 1e-3) << t;
    EXPECT_NEAR(std::fabs(outcome->output(frame, 2)), 2 * std::exp(-t / 1e-4), 2e-3) << t;
  }
}

// An aluminium block (a wall with nothing behind its far face 3) behind an
// aluminium plate to the room at 20 degC (node 1): started with the block at
// 20 degC it stays there, the walls' middles started at their faces' mean. Left to
// the starting solution, a one-second step from 0 degC, it starts cold and warms.
TEST(StartingValues, ABodyStartedAtRoomTemperatureStaysThere) {
  const std::string body =
      ":u 530\n   -73.15  237  2702  798\n   26.85  237  2702  903\n   126.85  240  2702  949\n"
      "t 1 0, 20\nHc 2 1, p530, 1, 0.01, 0.01\nHc 2 3, p530, 1, 0.01, 0.05\n"
      ".o x2.9, x3.9\n.t 2\n   0\n   60\n   1\n   1\n";
  auto started = testing::runModelText(body + ".iv 2, 20\n.iv 3, 20\n");
  ASSERT_EQ(started->status, 0) << started->messages.last();
  for (int frame = 0; frame <= started->run->lastFrame; ++frame) {
    EXPECT_NEAR(started->output(frame, 2), 20.0, 1e-9) << frame;
    EXPECT_NEAR(started->output(frame, 3), 20.0, 1e-9) << frame;
  }
  auto settled = testing::runModelText(body);
  ASSERT_EQ(settled->status, 0);
  EXPECT_LT(settled->output(0, 3), 5.0) << "without .iv the start is the one-second step";
}

TEST(StartingValues, OnlyAPotentialOfAUsedNodeTakesOne) {
  struct Case {
    const char* model;
    const char* says;
  };
  const Case cases[] = {
      {"b 0n 5n, 1, 1m\n.iv 5, 1\n", "node 5 is mechanical"},
      {"R 1 0, 1k\n.iv 7, 3\n", "no element uses node 7"},
      {"R 1 0, 1k\n.iv 150, 3\n", "not a ground point"},
      {"R 1 0, 1k\n.iv 1, 3\n.iv 1, 4\n", "has a starting value on line 2 already"},
  };
  for (const Case& c : cases) {
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    EXPECT_FALSE(note::readModelFile(c.model, image, errors)) << c.model;
    ASSERT_FALSE(errors.empty()) << c.model;
    EXPECT_NE(errors[0].message.find(c.says), std::string::npos) << errors[0].message;
  }
}

}  // namespace
}  // namespace movra

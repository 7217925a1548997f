// The model language as a user meets it through movra-note: warnings beside a
// sound model, a start that cannot be solved, rows of a long run, node positions.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/batch_runs.h"

namespace {

using movra::testing::Rows;
using movra::testing::writeModel;
using Result = movra::testing::NoteOutput;

// Standard output only.
Result runNote(const std::string& arguments) {
  return movra::testing::runNote(arguments, false);
}

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string tag = "lang-" + std::to_string(getpid());
    setenv("MOVRA_SHM_TAG", tag.c_str(), 1);
  }
};

TEST_F(LanguageTest, WarningsNameTheirLineAndLeaveTheOutcomeAlone) {
  const std::string path = writeModel("lang_warned.model",
                                      "V 1 0, 5 * p2, 0\n"
                                      "R 1 0, 1k, 0, 1k, 7\n"
                                      ".t 2\n  0\n  1m\n  10u\n  1\n");
  const Result result = runNote("check " + path);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, path + ":2: warning: this element reads 3 fields; field 4 is not used\n");
}

// The same unsolvable start (a node fed by current sources only) is an error of the
// model at the line of the element behind it, on standard output with exit 1, in a
// single solution and in a timed run.
TEST_F(LanguageTest, AStartThatCannotBeSolvedEndsAlikeWhateverTheMethod) {
  const std::string circuit = "I 0 1, 1m\nI 1 0, 2m\n.o x1.9\n";
  const std::string single =
      writeModel("lang_single.model", circuit + ".t 0\n  0\n  0\n  1m\n  0\n");
  const std::string timed = writeModel("lang_timed.model", circuit + ".t 2\n  0\n  5m\n  10u\n  1\n");
  for (const std::string& path : {single, timed}) {
    const std::string directory = movra::testing::scratchDirectory("lang_start");
    const Result result = runNote("run " + path + " --batch " + directory);
    EXPECT_EQ(result.exitCode, 1) << path << "\n" << result.output;
    EXPECT_NE(result.output.find(path + ":1: 初期に解けない？"), std::string::npos) << result.output;
  }
}

// 10000 steps with an output interval of 1 are written every third step: the rows
// are steps 0, 3, 6, ..., so out.txt starts at the start time.
TEST_F(LanguageTest, AWidenedOutputIntervalStillStartsAtTheStartTime) {
  const std::string path = writeModel("lang_long.model",
                                      "V 1 0, 5 * p2, 0\nR 1 2, 1k\nC 2 0, 1u\n.o x2.9\n"
                                      ".t 2\n  0\n  10m\n  1u\n  1\n");
  const std::string directory = movra::testing::scratchDirectory("lang_long");
  movra::testing::runBatch(path, directory);
  const Rows rows = movra::testing::readColumns(directory + "/out.txt");
  ASSERT_EQ(rows.size(), 3334u);
  const double tau = 1e-3;
  for (size_t k : {size_t{0}, size_t{1}, size_t{333}, size_t{3333}}) {
    const double t = 3e-6 * static_cast<double>(k);
    EXPECT_NEAR(rows[k][0], t, 5e-4 * t + 1e-15) << "row " << k;
    EXPECT_NEAR(rows[k][1], 5 * (1 - std::exp(-t / tau)), 2e-3) << "row " << k;
  }
}

// A node from 198 on keeps the position its ".in" gives it (body record +25, +26).
TEST_F(LanguageTest, HighNodesStartWhereTheModelPlacesThem) {
  const std::string path = writeModel("lang_high.model",
                                      ".in 198 0.3 0.2\n.in 200 -0.4 0.1\n"
                                      "b 0n 198n, 1, 1m, 0 {h1000 c1025 c1026}\n"
                                      "b 0n 200n, 1, 1m, 0 {h1100 c1125 c1126}\n"
                                      ".t 2\n  0\n  1m\n  1m\n  1\n");
  const std::string directory = movra::testing::scratchDirectory("lang_high");
  movra::testing::runBatch(path, directory);
  const Rows rows = movra::testing::readColumns(directory + "/out.txt");
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 5u);
    EXPECT_DOUBLE_EQ(row[1], 0.3);
    EXPECT_DOUBLE_EQ(row[2], 0.2);
    EXPECT_DOUBLE_EQ(row[3], -0.4);
    EXPECT_DOUBLE_EQ(row[4], 0.1);
  }
}

}  // namespace

namespace {

// A body launched by its starting velocity (fields 6 to 8) flies the closed-form
// path: x = v_x t, y = v_y t + g t^2 / 2, angle = omega t. Velocities are exact
// under both methods; the second-order method also gives the position to print
// precision, the first-order one trails by its own error g h t / 2.
TEST_F(LanguageTest, AStartingVelocityLaunchesAProjectile) {
  const double g = -9.81, vx = 3, vy = 4, omega = 90, h = 1e-3;
  for (int method : {1, 2}) {
    const std::string path = writeModel(
        "lang_projectile.model",
        ".in 1 0 0\n"
        "b 0n 1n, 2, 1m, -9.81 * p2, 0, 0, 3, 4, 90 {h1000 c1021 c1022 c1025 c1026 c1027}\n"
        ".t " + std::to_string(method) + "\n  0\n  0.8\n  1m\n  100\n");
    const std::string directory = movra::testing::scratchDirectory("lang_projectile");
    movra::testing::runBatch(path, directory);
    const Rows rows = movra::testing::readColumns(directory + "/out.txt");
    ASSERT_EQ(rows.size(), 9u) << method;
    for (size_t k = 0; k < rows.size(); ++k) {
      const double t = 0.1 * static_cast<double>(k);
      const auto near = [](double value, double expected, double slack) {
        return std::fabs(value - expected) <= 5e-4 * std::fabs(expected) + slack;
      };
      EXPECT_TRUE(near(rows[k][1], vx, 0)) << method << " row " << k << " v_x " << rows[k][1];
      EXPECT_TRUE(near(rows[k][2], vy + g * t, 1e-12)) << method << " row " << k;
      EXPECT_TRUE(near(rows[k][3], vx * t, 1e-12)) << method << " row " << k;
      EXPECT_TRUE(near(rows[k][5], omega * t, 1e-12)) << method << " row " << k;
      // Backward Euler: y_n = v_y n h + g h^2 n (n + 1) / 2, the closed form plus g h t / 2.
      const double y = vy * t + g * t * t / 2 + (method == 1 ? g * h * t / 2 : 0.0);
      EXPECT_TRUE(near(rows[k][4], y, 1e-5)) << method << " row " << k << " y " << rows[k][4];
    }
  }
}

}  // namespace

namespace {

// ":circle 40" puts the arc, the cosine and the sine of its angle row at 40, 41 and
// 42 on radius row 2, and leaves the model's own parameters 7 to 9 alone.
TEST_F(LanguageTest, CircleShowsItsArcCosineAndSineAtItsOwnIds) {
  const std::string path = writeModel("lang_circle.model",
                                      ".o p7\n"
                                      ":circle 40\n   360 * p1\n   0.5\n"
                                      ".t 1\n  0\n  1\n  0.125\n  1\n");
  const std::string directory = movra::testing::scratchDirectory("lang_circle");
  movra::testing::runBatch(path, directory);
  const Rows rows = movra::testing::readColumns(directory + "/out.txt");
  ASSERT_EQ(rows.size(), 9u);
  for (size_t k = 0; k < rows.size(); ++k) {
    ASSERT_EQ(rows[k].size(), 5u);
    const double angle = 2 * M_PI * 0.125 * static_cast<double>(k);
    EXPECT_EQ(rows[k][1], 0.0) << "p7 overwritten at row " << k;
    EXPECT_NEAR(rows[k][2], 0.5 * angle, 5e-4 * 0.5 * angle + 1e-12) << k;
    EXPECT_NEAR(rows[k][3], 0.5 * std::cos(angle), 2e-4) << k;
    EXPECT_NEAR(rows[k][4], 0.5 * std::sin(angle), 2e-4) << k;
  }
  const std::string bad = writeModel("lang_circle_bad.model", ":circle 40\n   p1\n   p3\n");
  const Result refused = runNote("check " + bad);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find(bad + ":1: ':circle' needs two rows"), std::string::npos)
      << refused.output;
}

}  // namespace

namespace {

// A switch between two angles is a clutch: closed, the driven node turns with the
// driver; open, it stays where it is.
TEST_F(LanguageTest, ASwitchBetweenMechanicalNodesCouplesTheirRotations) {
  for (const bool closed : {true, false}) {
    const std::string path = writeModel(
        "lang_clutch.model",
        std::string(".in 1 0 0\n.in 2 0 0\n"
                    "pc 0n 1n, 0, 0, 90 * p1\n"
                    "lr 1n 2p\n"
                    "b 0n 2n, 0, 1m\n"
                    "Sw 1 2, 0.5, 0.5, 0, 0, 0, ") +
            (closed ? "p2" : "0") +
            "\n.o x1.4, x2.4\n.t 2\n  0\n  1\n  10m\n  10\n");
    const std::string directory = movra::testing::scratchDirectory("lang_clutch");
    movra::testing::runBatch(path, directory);
    const Rows rows = movra::testing::readColumns(directory + "/out.txt");
    ASSERT_EQ(rows.size(), 11u);
    for (size_t k = 0; k < rows.size(); ++k) {
      const double driver = 9.0 * static_cast<double>(k);
      EXPECT_NEAR(rows[k][1], driver, 5e-4 * driver + 1e-9) << k;
      EXPECT_NEAR(rows[k][2], closed ? driver : 0.0, 5e-4 * driver + 1e-6) << closed << " " << k;
    }
  }
}

}  // namespace

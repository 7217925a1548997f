// The same model run twice gives the same out.txt, byte for byte: nothing in a run
// may depend on the clock, on addresses or on what a previous run left behind,
// and the random entries restart with every run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/batch_runs.h"

namespace {

using movra::testing::readFile;

std::string scratchDirectory(const std::string& name) {
  return movra::testing::scratchDirectory("determinism_" + name);
}

// Runs the model into its own directory; returns out.txt as written.
std::string runOnce(const std::string& model, const std::string& directory) {
  movra::testing::runBatch(model, directory);
  return readFile(directory + "/out.txt");
}

void expectIdenticalRuns(const std::string& name, const std::string& model) {
  const std::string first = runOnce(model, scratchDirectory(name + "_first"));
  const std::string second = runOnce(model, scratchDirectory(name + "_second"));
  ASSERT_FALSE(first.empty()) << model;
  EXPECT_TRUE(first == second) << model << ": the two runs differ";
}

const std::string kExamples = std::string(MOVRA_SOURCE_DIR) + "/examples/";

TEST(Determinism, PwmRunRepeatsByteForByte) {
  // Sub-steps of unequal length, switch states and the PWM signal.
  expectIdenticalRuns("pwm", kExamples + "pwm_switch.model");
}

TEST(Determinism, LadderRunRepeatsByteForByte) {
  // A hundred unknowns and 5000 steps: any drift in the solver would show.
  expectIdenticalRuns("ladder", kExamples + "rc_ladder49.model");
}

TEST(Determinism, RandomEntriesRepeatFromRunToRun) {
  // An RC filter driven by the normal pair (p5, p6) and two of the uniform
  // entries, which every run draws afresh from the same seeds.
  const std::string directory = scratchDirectory("noise_model");
  const std::string model = directory + "/noise.model";
  std::ofstream(model) << "V 1 0, 5 * p2 + p5 + 0.5 * p9800, 0\n"
                          "R 1 2, 1k\n"
                          "C 2 0, 1u\n"
                          ".o x2.9, p5, p6, p9840\n"
                          ".t 2\n"
                          "   0\n"
                          "   2m\n"
                          "   10u\n"
                          "   1\n";
  expectIdenticalRuns("noise", model);

  // The noise is really there: the recorded normal numbers vary from row to row.
  const std::string out = runOnce(model, scratchDirectory("noise_values"));
  std::istringstream lines(out);
  std::string line;
  std::set<std::string> normals;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string time, node, p5;
    fields >> time >> node >> p5;
    normals.insert(p5);
  }
  EXPECT_GT(normals.size(), 100u);
}

}  // namespace

// Every example's own linear systems, as its run builds them, solved by the engine's
// solver and by the plain dense elimination: the same status, note, smallest pivot
// and the same bits in X. The systems are taken from a whole run of each example
// (every solve of its first output steps, then a sample of the rest).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/driver.h"
#include "engine/linear_solver.h"
#include "engine/run_setup.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "support/batch_runs.h"
#include "support/dense_solver.h"
#include "support/engine_fixture.h"

namespace movra {
namespace {

constexpr int kSmallestPivot = -1100;
constexpr int kEverySolveUpToStep = 40;
constexpr int kSampleEvery = 37;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Copies each system the Newton iteration is about to solve into two scratch runs,
// solves it there with both solvers and compares.
class ComparingHost : public testing::RecordingHost {
 public:
  void solving(const Run& run) override {
    ++seen_;
    if (run.kt > kEverySolveUpToStep && seen_ % kSampleEvery != 0) return;
    const int n = std::clamp(run.unknownCount, 0, kMaxUnknowns);
    copyInto(run, *engine_, n);
    copyInto(run, *reference_, n);
    ParameterStore engineParameters;
    ParameterStore referenceParameters;
    const int status = solveLinearSystem(*engine_, engineParameters);
    const int expected = testing::denseReferenceSolve(*reference_, referenceParameters);
    ++compared;
    if (status != expected || std::strcmp(engine_->solverNote, reference_->solverNote) != 0 ||
        !sameBits(engineParameters.get(kSmallestPivot), referenceParameters.get(kSmallestPivot))) {
      ++mismatches;
      return;
    }
    for (int i = 1; i <= n; ++i) {
      if (!sameBits(engine_->X[i], reference_->X[i])) {
        ++mismatches;
        return;
      }
    }
  }

  int compared = 0;
  int mismatches = 0;

 private:
  // The system's rows 0..N and the profile, as the element pass left them.
  static void copyInto(const Run& from, Run& to, int n) {
    to.unknownCount = from.unknownCount;
    for (int r = 0; r <= n; ++r) {
      std::memcpy(&to.J[r * kRowStride], &from.J[r * kRowStride], sizeof(double) * (n + 1));
    }
    std::memcpy(to.F, from.F, sizeof(double) * (n + 1));
    std::memcpy(to.X, from.X, sizeof(double) * (n + 1));
    to.jacobianProfile = from.jacobianProfile;
    to.solverNote[0] = '\0';
  }

  std::unique_ptr<Run> engine_ = makeRun();
  std::unique_ptr<Run> reference_ = makeRun();
  long long seen_ = 0;
};

TEST(ExampleMatrices, EngineSolverMatchesTheDenseEliminationOnEveryExample) {
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(MOVRA_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".model") continue;
    const std::string name = entry.path().filename().string();
    auto model = makeModel();
    auto run = makeRun();
    note::HandOverImage image;
    std::vector<note::FileError> errors;

    // From its path, so that ".include" finds the files beside the model.
    ASSERT_TRUE(note::readModelFilePath(entry.path().string(), image, errors)) << name;
    ASSERT_TRUE(note::readImage(image, *model, 2).ok()) << name;
    testing::ScriptedMessages messages;
    Reporter reporter;
    reporter.setSink(messages.sink());
    ComparingHost host;
    ASSERT_EQ(prepareRun(*model, *run, reporter), 0) << name;
    // How the run ends is other tests' business; what matters here is that it solved.
    const int status = runSimulation(*model, *run, reporter, host);
    EXPECT_GT(host.compared, 0) << name << " (status " << status << ")";
    EXPECT_EQ(host.mismatches, 0) << name << ": of " << host.compared << " systems";
    ++examples;
  }
  EXPECT_GE(examples, 14);
}

}  // namespace
}  // namespace movra

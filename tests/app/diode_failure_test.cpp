// A diode driven so hard that Newton cannot settle a step: the driver halves the
// step as for any element, asks once the failure persists, stops at a second
// failure, and the frames recorded before stay in the run and in out.txt
// whatever the answer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>

#include "support/batch_runs.h"
#include "support/in_process_run.h"

namespace movra::testing {
namespace {

// A 10 MV, 50 Hz sine through a diode into 1 uF and 1 kOhm, steps of 1 ms, Newton
// tolerance 1e-10. Past its limit voltage the diode conducts along a tangent of
// some 1e5 S, and at these potentials rounding alone leaves updates of about 1e-10:
// as the sine rises a step first needs halvings to settle, and then one does not
// settle even after 20.
const char* const kDrivenDiode = R"(V 1 0, 1e7 * sin(2 * pi * 50 * p1), 0
D 1 2, 0.7, 1 {h1000}
C 2 0, 1u
R 2 0, 1k
.o x1.9, x2.9, c1002
.t 2
   0
   20m
   1m
   1
   10
   1e-10
.ic
)";

std::unique_ptr<InProcessRun> runAnswering(const std::string& text, std::deque<bool> answers) {
  auto outcome = std::make_unique<InProcessRun>();
  outcome->messages.answers = std::move(answers);
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  EXPECT_TRUE(note::readModelFile(text, image, errors));
  const note::ReadOutcome read = note::readImage(image, *outcome->model, 2);
  EXPECT_TRUE(read.ok());
  Reporter reporter;
  reporter.setSink(outcome->messages.sink());
  if (prepareRun(*outcome->model, *outcome->run, reporter) != 0) return outcome;
  outcome->status = runSimulation(*outcome->model, *outcome->run, reporter, outcome->host);
  return outcome;
}

int messagesStartingWith(const ScriptedMessages& messages, const std::string& start) {
  int n = 0;
  for (const ScriptedMessages::Shown& shown : messages.shown) n += shown.text.rfind(start, 0) == 0;
  return n;
}

// The Newton iteration number a frame recorded: minus its halvings when it had any.
int stepIterations(InProcessRun& outcome, int frame) {
  return static_cast<int>(outcome.output(frame, outcome.model->count.outputs + 5));
}

void expectWholeSteps(InProcessRun& outcome, int frames) {
  for (int f = 0; f < frames; ++f) {
    EXPECT_NEAR(outcome.output(f, 1), f * 1e-3, 1e-12) << "frame " << f;
    EXPECT_GT(outcome.output(f, 3), f == 0 ? -1.0 : 1e6) << "frame " << f;  // the capacitor charges
  }
}

TEST(DiodeFailure, HalvingThenOneQuestionThenAStopKeepTheFramesBefore) {
  // "Continue with a large error" at the first question: the failed step is kept
  // with the last solution reached, and the next one fails again and stops the run.
  auto going = runAnswering(kDrivenDiode, {false});
  movra::Run& run = *going->run;
  EXPECT_EQ(going->status, kRunStopped);
  const int frames = run.lastFrame + 1;
  ASSERT_GE(frames, 3);
  // The failed step is the last frame, kept after all twenty halvings; an earlier
  // one settled after halvings of its own (4 at the time of writing: 3 ms, then 4).
  const int failed = frames - 1;
  EXPECT_EQ(stepIterations(*going, failed), -20);
  int rescued = 0;
  long long halvings = -20;
  for (int f = 1; f < failed; ++f) {
    const int iterations = stepIterations(*going, f);
    EXPECT_GT(iterations, -20) << "frame " << f;
    if (iterations < 0) {
      ++rescued;
      halvings += iterations;
    }
  }
  EXPECT_GE(rescued, 1);
  EXPECT_EQ(run.totalHalvings, halvings);
  // One question: ss, non-convergence count, kt, twenty halvings, the first
  // unabsorbed failure; then the stop at the next step, the second failure.
  EXPECT_EQ(going->messages.count(MessageKind::Question), 1);
  ASSERT_EQ(messagesStartingWith(going->messages, " 収束しない！_  ss="), 1);
  const std::string asked = "  " + std::to_string(failed) + "  20  1 ";
  for (const ScriptedMessages::Shown& shown : going->messages.shown) {
    if (shown.kind == MessageKind::Question) {
      EXPECT_NE(shown.text.find(asked), std::string::npos) << shown.text;
    }
  }
  const std::string stop = " 中止 / 収束しない！ kt=" + std::to_string(failed + 1) + "  20  2";
  EXPECT_EQ(messagesStartingWith(going->messages, stop), 1) << going->messages.last();
  EXPECT_EQ(going->host.stopCommands, 1);
  expectWholeSteps(*going, failed);
  EXPECT_GT(going->output(failed, 1), (failed - 1) * 1e-3);
  EXPECT_LT(going->output(failed, 1), failed * 1e-3);

  // "Abort" at the question: the run stops there with the steps before.
  auto stopped = runAnswering(kDrivenDiode, {true});
  EXPECT_EQ(stopped->status, kRunStopped);
  EXPECT_EQ(stopped->messages.count(MessageKind::Question), 1);
  EXPECT_EQ(messagesStartingWith(stopped->messages, " 中止 / "), 0);
  EXPECT_EQ(stopped->host.stopCommands, 1);
  EXPECT_EQ(stopped->run->lastFrame + 1, failed);
  expectWholeSteps(*stopped, failed);
}

// The same run as a user starts it: out.txt holds every frame kept.
TEST(DiodeFailure, OutTxtKeepsTheFramesOfAStoppedRun) {
  const size_t kept = static_cast<size_t>(runAnswering(kDrivenDiode, {true})->run->lastFrame + 1);
  ASSERT_GE(kept, 2u);
  const std::string directory = scratchDirectory("diode_failure");
  const std::string model = directory + "/driven.model";
  std::ofstream(model) << kDrivenDiode;
  for (const char* answer : {"N", "Y"}) {
    const std::string out = directory + "/" + answer;
    const std::string command = "MOVRA_SHM_TAG=diode-" + std::to_string(getpid()) + " " +
                                MOVRA_BINARY_DIR + "/bin/movra-note run " + model + " --batch " +
                                out + " --answer " + answer + " > " + directory + "/log.txt 2>&1";
    // A stopped run is no success.
    EXPECT_NE(std::system(command.c_str()), 0) << readFile(directory + "/log.txt");
    const Rows rows = readColumns(out + "/out.txt");
    // "N" keeps the failed step as one more row.
    ASSERT_EQ(rows.size(), answer[0] == 'N' ? kept + 1 : kept) << answer;
    for (size_t k = 0; k < kept; ++k) EXPECT_NEAR(rows[k][0], k * 1e-3, 1e-9) << answer;
  }
}

}  // namespace
}  // namespace movra::testing

// The two programs as a user runs them: real processes, real shared memory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/batch_runs.h"
#include "support/foreign_objects.h"

namespace {

using movra::testing::runNote;
using movra::testing::writeModel;
using Result = movra::testing::NoteOutput;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tag = "cli-" + std::to_string(getpid());
    setenv("MOVRA_SHM_TAG", tag.c_str(), 1);
  }
  // Shared-memory objects of this test's tag that are still around.
  int leftoverBlocks() const {
    int count = 0;
    const std::string prefix = "movra." + std::to_string(getuid()) + "." + tag + ".";
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
      if (entry.path().filename().string().rfind(prefix, 0) == 0) ++count;
    }
    return count;
  }
  std::string tag;
};

TEST_F(CliTest, EvalPrintsStatusValueAndReferences) {
  Result result = runNote("eval '2 * (-3)'");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("\"status\":0,\"value\":-6,\"operands\":2"), std::string::npos)
      << result.output;
  result = runNote("eval 'x5.9'");
  EXPECT_NE(result.output.find("\"variable_slot\":1005"), std::string::npos) << result.output;
  result = runNote("eval '2 * -3'");
  EXPECT_NE(result.output.find("\"status\":51,\"value\":null"), std::string::npos) << result.output;
}

// The check is the initial-check launch: the simulator solves for the starting
// state, so faults that only the solution shows are found at their line too, and
// a sound model passes without a word.
TEST_F(CliTest, CheckSolvesTheStartingStateAndLeavesNothingBehind) {
  const std::string bad = writeModel("cli_negative.model",
                                     "// a resistor that is negative at the start\n"
                                     "V 1 0, 5, 0\n"
                                     "R 1 0, 1k * (p2 - 1)\n"
                                     ".t 2\n   0\n   1m\n   10u\n   1\n");
  Result result = runNote("check " + bad);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.output.rfind(bad + ":3: ", 0), 0u) << result.output;
  EXPECT_NE(result.output.find("R 1 0, 1k * (p2 - 1)"), std::string::npos) << result.output;

  const std::string good = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  result = runNote("check " + good);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(leftoverBlocks(), 0);
}

TEST_F(CliTest, CheckNamesTheModelFilesOwnLine) {
  // Blank and comment lines before the fault must not shift the line.
  const std::string path = writeModel("cli_bad.model",
                                      "// a model with a fault\n\nR 5 0, 10k\n\n// comment\n"
                                      "lr 1n 2, 1  // pin or rigid?\n");
  const Result result = runNote("check " + path);
  EXPECT_EQ(result.exitCode, 1);
  // The message, then what it means in English.
  EXPECT_EQ(result.output.rfind(path + ":6: 節のｉｄが？・ lr 1n 2, 1\n  hint: ", 0), 0u) << result.output;
  EXPECT_NE(result.output.find("suffix n (rigid) nor p (pin)"), std::string::npos) << result.output;
  EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 2) << result.output;
}

TEST_F(CliTest, ElementsWithoutAnEvaluatorAreRefusedAtTheirLine) {
  // Keywords the language accepts but no evaluator serves: a model that names one
  // must not run with that element silently left out.
  for (const char* keyword : {"x0 1n 2n", "m0 1n 2n", "n 1 2 3", "Hv 1 2"}) {
    const std::string path = writeModel("cli_unmodelled.model", std::string("R 1 0, 1k\n// note\n") +
                                                                   keyword + ", 1\nV 1 0, 1, 0\n");
    for (const char* command : {"check ", "run "}) {
      const Result result = runNote(command + path);
      EXPECT_EQ(result.exitCode, 1) << command << keyword << ": " << result.output;
      EXPECT_NE(result.output.find(path + ":3: この要素はまだ計算できない？"), std::string::npos)
          << command << keyword << ": " << result.output;
      EXPECT_EQ(result.output.find("out.txt written"), std::string::npos) << result.output;
    }
  }
  EXPECT_EQ(leftoverBlocks(), 0);
}

TEST_F(CliTest, ASingularSystemNamesTheUnknownAndItsElementsLine) {
  // Node 2 hangs on current sources only: its potential is not determined.
  const std::string path = writeModel("cli_singular.model",
                                      "V 1 0, 1, 0\nR 1 0, 1k\n// note\nI 0 2, 1m\nI 2 0, 1m\n"
                                      ".t 2\n 0\n 1m\n 10u\n 1\n");
  const Result result = runNote("check " + path);
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find(path + ":4: 初期に解けない？_G"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("節 2 の電位（電気）"), std::string::npos) << result.output;
  // The report came over the editor's socket and still finds its hint.
  EXPECT_NE(result.output.find("1m\n  hint: The initial solution is singular (ig: solver status"),
            std::string::npos)
      << result.output;

  // A free body solved statically: nothing holds its place.
  const std::string mechanism =
      writeModel("cli_singular_mechanism.model",
                 ".in 2 0.5 0\n\nb 0n 2n, 1, 1m, -9.81\n.t 0\n 0\n 0\n 1\n");
  const Result loose = runNote("check " + mechanism);
  EXPECT_EQ(loose.exitCode, 1) << loose.output;
  EXPECT_NE(loose.output.find("決まらない未知数"), std::string::npos) << loose.output;
  EXPECT_NE(loose.output.find("節 2 の"), std::string::npos) << loose.output;
}

TEST_F(CliTest, ExamplesCheckAndDumpCleanly) {
  for (const char* example : {"rc_circuit.model", "pendulum.model"}) {
    const std::string path = std::string(MOVRA_SOURCE_DIR) + "/examples/" + example;
    Result result = runNote("check " + path);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
    result = runNote("dump " + path);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output.rfind("{\"status\":0,\"messages\":[]", 0), 0u) << result.output.substr(0, 200);
  }
}

TEST_F(CliTest, RunHandsTheModelOverAndLeavesNoBlocksBehind) {
  const std::string path = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const Result result = runNote("run " + path + " --mode a2");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  // The simulator read the same model through shared memory.
  EXPECT_NE(result.output.find("movra-sim: rc_circuit.model: status 0,"), std::string::npos) << result.output;
  EXPECT_EQ(leftoverBlocks(), 0);
}

// The CSV carries the same frames and columns as out.txt, named as the model names
// them, with every value exact: each reads back to the double that out.txt rounds.
TEST_F(CliTest, CsvExportHoldsEveryFrameAtFullPrecision) {
  const std::string model = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const std::string directory = ::testing::TempDir() + "cli_csv_" + std::to_string(getpid());
  std::filesystem::remove_all(directory);
  const std::string csvPath = directory + "/values.csv";
  const Result result = runNote("run " + model + " --batch " + directory + " --csv " + csvPath);
  ASSERT_EQ(result.exitCode, 0) << result.output;

  std::ifstream csv(csvPath);
  std::ifstream text(directory + "/out.txt");
  std::string header;
  ASSERT_TRUE(std::getline(csv, header)) << result.output;
  EXPECT_EQ(header, "t,x1.9,x2.9");
  int rows = 0;
  int finerThanText = 0;
  std::string csvLine;
  std::string textLine;
  while (std::getline(csv, csvLine)) {
    ASSERT_TRUE(std::getline(text, textLine)) << "out.txt ends before row " << rows;
    std::istringstream textFields(textLine);
    std::istringstream csvFields(csvLine);
    std::string field;
    int column = 0;
    while (std::getline(csvFields, field, ',')) {
      char* end = nullptr;
      const double value = std::strtod(field.c_str(), &end);
      EXPECT_EQ(*end, 0) << csvLine;
      std::string shown;
      textFields >> shown;
      char rounded[32];
      std::snprintf(rounded, sizeof rounded, "%.4g", value);
      EXPECT_EQ(shown, rounded) << "row " << rows << " column " << column;
      // More digits than out.txt shows, where the value has them.
      if (field.size() > shown.size() + 2) ++finerThanText;
      ++column;
    }
    EXPECT_EQ(column, 3) << csvLine;
    ++rows;
  }
  EXPECT_EQ(rows, 501);
  EXPECT_FALSE(std::getline(text, textLine)) << "out.txt has more rows than the CSV";
  EXPECT_GT(finerThanText, 400);
  std::filesystem::remove_all(directory);
}

TEST_F(CliTest, RunRefusesABadModelAtItsLineAndBadOptions) {
  const std::string path = writeModel("cli_bad_run.model", "R 5 0, 10k\nlr 1n 2, 1\n");
  Result result = runNote("run " + path);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find(path + ":2:"), std::string::npos) << result.output;
  result = runNote("run " + path + " --mode a7");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(leftoverBlocks(), 0);
}

TEST_F(CliTest, HelpIsAnAnswerNotAMistake) {
  const Result help = runNote("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output.rfind("usage: movra-note run MODEL", 0), 0u) << help.output;
  EXPECT_EQ(runNote("").exitCode, 2);
}

TEST_F(CliTest, ClosingLineNamesWhatWasWrittenWithFullPaths) {
  // A relative, nested batch folder that does not exist yet.
  const std::string base = ::testing::TempDir() + "cli_ends_" + std::to_string(getpid());
  const std::string example = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const std::string command = "cd " + ::testing::TempDir() + " && " + std::string(MOVRA_BINARY_DIR) +
                              "/bin/movra-note run " + example + " --batch cli_ends_" +
                              std::to_string(getpid()) + "/a/b 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0) << output;
  const std::string folder = std::filesystem::canonical(base + "/a/b").string();
  EXPECT_NE(output.find("; wrote " + folder + "/out.txt, " + folder + "/view.png\n"), std::string::npos)
      << output;
  EXPECT_TRUE(std::filesystem::exists(folder + "/out.txt"));

  // A refused model writes nothing and says so.
  const std::string refused = writeModel("cli_refused.model", "R 1 0, 1k\nV 1 0, 1, 0\nn 1 2 3, 1\n");
  const Result bad = runNote("run " + refused + " --batch " + base + "/c");
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_NE(bad.output.find("; nothing written"), std::string::npos) << bad.output;
  EXPECT_FALSE(std::filesystem::exists(base + "/c/out.txt"));
  std::filesystem::remove_all(base);
}

// movra-note in a process group of its own, its output on a pipe.
struct NoteProcess {
  pid_t pid = -1;
  std::FILE* output = nullptr;
};

NoteProcess startNote(const std::string& arguments) {
  int ends[2];
  if (pipe(ends) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    dup2(ends[1], 1);
    dup2(ends[1], 2);
    close(ends[0]);
    close(ends[1]);
    const std::string command = std::string(MOVRA_BINARY_DIR) + "/bin/movra-note " + arguments;
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[1]);
  return {pid, fdopen(ends[0], "r")};
}

// Waits until a simulator of that model calculates; its process id, or 0.
pid_t waitForSimulatorOf(const std::string& modelName) {
  const std::string find = "pgrep -f 'movra-sim movra-text-[0-9]+ _a2_ " + modelName + "' | head -1";
  for (int tries = 0; tries < 100; ++tries) {
    usleep(100 * 1000);
    std::FILE* pid = popen(find.c_str(), "r");
    char line[32] = {};
    const bool found = pid != nullptr && std::fgets(line, sizeof line, pid) != nullptr && std::atoi(line) > 0;
    if (pid != nullptr) pclose(pid);
    if (found) {
      usleep(300 * 1000);  // past start-up, into the steps
      return std::atoi(line);
    }
  }
  return 0;
}

// All that movra-note printed, once it has ended; its wait status.
std::string finishNote(NoteProcess& note, int& status) {
  std::string output;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, note.output)) > 0;) output.append(buffer, got);
  std::fclose(note.output);
  status = 0;
  if (waitpid(note.pid, &status, 0) != note.pid) status = -1;
  return output;
}

TEST_F(CliTest, ASimulatorKilledMidRunIsReportedWithItsSignal) {
  // Long enough to be killed while it calculates.
  const std::string path = writeModel("cli_long.model",
                                      "R 1 0, 1k\nV 1 0, 1, 0\nC 1 0, 1u\n.o x1.9\n"
                                      ".t 2\n 0\n 3\n 1u\n 10000\n");
  const std::string folder = ::testing::TempDir() + "cli_killed_" + std::to_string(getpid());
  NoteProcess note = startNote("run " + path + " --batch " + folder);
  ASSERT_NE(note.output, nullptr);
  const pid_t simulator = waitForSimulatorOf("cli_long.model");
  ASSERT_GT(simulator, 0);
  ASSERT_EQ(::kill(simulator, SIGKILL), 0);
  int status = 0;
  const std::string output = finishNote(note, status);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGKILL) << output;
  EXPECT_NE(output.find("ended by signal 9"), std::string::npos) << output;
  EXPECT_NE(output.find("nothing was written"), std::string::npos) << output;
  EXPECT_EQ(leftoverBlocks(), 0);
  std::filesystem::remove_all(folder);
}

// Ctrl-C (the whole group), a kill of movra-note alone, or Ctrl-C twice: the run
// stops, what it recorded is written, nothing is left in shared memory, and
// movra-note ends by the signal, as a shell expects of an interrupted command.
TEST_F(CliTest, AnInterruptedRunKeepsWhatItRecordedAndLeavesNothingBehind) {
  const std::string path = writeModel("cli_stopped.model",
                                      "R 1 0, 1k\nV 1 0, 1, 0\nC 1 0, 1u\n.o x1.9\n"
                                      ".t 2\n 0\n 3\n 1u\n 10000\n");
  struct Case {
    const char* name;
    int signal;
    bool group;
    int times;
  };
  for (const Case c : {Case{"ctrl-c", SIGINT, true, 1}, Case{"kill", SIGTERM, false, 1},
                       Case{"twice", SIGINT, false, 2}}) {
    SCOPED_TRACE(c.name);
    const std::string folder = ::testing::TempDir() + "cli_stopped_" + c.name + std::to_string(getpid());
    std::filesystem::remove_all(folder);
    NoteProcess note = startNote("run " + path + " --batch " + folder);
    ASSERT_NE(note.output, nullptr);
    ASSERT_GT(waitForSimulatorOf("cli_stopped.model"), 0);
    for (int k = 0; k < c.times; ++k) {
      if (c.group) {
        ::kill(-note.pid, c.signal);
      } else {
        ::kill(note.pid, c.signal);
      }
    }
    int status = 0;
    const std::string output = finishNote(note, status);
    ASSERT_TRUE(WIFSIGNALED(status)) << output;
    EXPECT_EQ(WTERMSIG(status), c.signal) << output;
    EXPECT_EQ(leftoverBlocks(), 0) << output;
    EXPECT_EQ(std::system("pgrep -f 'movra-sim movra-text-[0-9]+ _a2_ cli_stopped.model' >/dev/null"), 256)
        << "a simulator outlived its run";
    if (c.times == 1) {
      EXPECT_NE(output.find("the simulator was asked to stop"), std::string::npos) << output;
      EXPECT_NE(output.find("cli_stopped.model: status 5,"), std::string::npos) << "stopped by the user\n"
                                                                               << output;
      EXPECT_NE(output.find("wrote " + folder + "/out.txt"), std::string::npos) << output;
      std::ifstream written(folder + "/out.txt");
      std::string first;
      EXPECT_TRUE(std::getline(written, first)) << "out.txt is empty";
    } else {
      // Stopped at once, unless the first request had already ended it.
      EXPECT_TRUE(output.find("ended by signal 9") != std::string::npos ||
                  output.find("the simulator was asked to stop") != std::string::npos)
          << output;
    }
    std::filesystem::remove_all(folder);
  }
}

TEST_F(CliTest, BlocksThatAnotherAccountMadeStopTheStartAndKeepTheModelOut) {
  namespace t = movra::testing;
  const auto how = t::canGiveAway() ? t::Planted::OtherOwner : t::Planted::OpenToAll;
  const std::string prefix = "/movra." + std::to_string(getuid()) + "." + tag + ".";
  const std::string records = prefix + "quillC";
  ASSERT_TRUE(t::plantBlock(records, how));
  const std::string path = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  Result result = runNote("run " + path + " --mode a2");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("共有メモリ " + records + " を使わない："), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find(t::refusalReason(how)), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("movra-sim:"), std::string::npos) << "the simulator was started";
  EXPECT_EQ(t::contentOf(t::shmFile(records)), t::kPlantedText);
  t::removePlantedBlock(records);

  // The simulator on its own, as another account's block waits for it.
  const std::string counts = prefix + "quillC0";
  ASSERT_TRUE(t::plantBlock(counts, how));
  const std::string command = std::string(MOVRA_BINARY_DIR) + "/bin/movra-sim 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, got);
  pclose(pipe);
  EXPECT_NE(output.find(" File失敗C0"), std::string::npos) << output;
  EXPECT_NE(output.find("共有メモリ " + counts + " を使わない："), std::string::npos) << output;
  EXPECT_NE(output.find(t::refusalReason(how)), std::string::npos) << output;
  EXPECT_EQ(t::contentOf(t::shmFile(counts)), t::kPlantedText);
  t::removePlantedBlock(counts);
  EXPECT_EQ(leftoverBlocks(), 0);
}

TEST_F(CliTest, InteractiveModesWithoutADisplayAreRefusedInsteadOfRunningForEver) {
  const std::string path = std::string(MOVRA_SOURCE_DIR) + "/examples/pendulum.model";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const Result result = runNote("run --mode a3 " + path);
  EXPECT_EQ(result.exitCode, 51);
  EXPECT_NE(result.output.find("the interactive modes (_a3_, _a4_) need a display"), std::string::npos)
      << result.output;
  EXPECT_EQ(leftoverBlocks(), 0);
}

}  // namespace

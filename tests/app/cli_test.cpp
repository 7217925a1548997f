// The two programs as a user runs them: real processes, real shared memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
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
#include <utility>
#include <vector>

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

// A grid of more steps than the run can count is refused at the .t line instead
// of wrapping round to a single step that passes for a run.
TEST_F(CliTest, StepCountsBeyondWhatTheRunCanCountAreRefusedAtTheTimeLine) {
  struct Case {
    const char* end;
    const char* command;
    int exitCode;
  };
  for (const Case c : {Case{"30000", "check ", 1}, Case{"30000", "run ", 1}, Case{"1e300", "check ", 1},
                       Case{"400", "check ", 0}}) {
    const std::string path = writeModel("cli_steps.model", std::string("V 1 0, 1, 0\nR 1 0, 1k\n\n") +
                                                               ".t 2\n 0\n " + c.end + "\n 10u\n");
    const Result result = runNote(c.command + path);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.command << c.end << ": " << result.output;
    if (c.exitCode != 0) {
      EXPECT_NE(result.output.find(path + ":4: .t が？　　刻みの数が多過ぎる"), std::string::npos)
          << result.output;
      EXPECT_EQ(result.output.find("status 0"), std::string::npos) << result.output;
    }
  }
}

// Model files that never end, as the model or as an include: a device, a named
// pipe without a writer, includes that fan out to millions of lines, a file too
// long to hand over. Each is refused at its line; none may hang or fill the
// memory (the limits below only keep a faulty program from taking the machine).
TEST_F(CliTest, FilesThatNeverEndAreRefusedAtTheirLine) {
  const std::string folder = movra::testing::scratchDirectory("cli_endless");
  const std::string pipe = folder + "/pipe.model";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(folder + "/" + name) << text;
    return folder + "/" + name;
  };
  std::string fanOut = "R 1 0, 1k\n";
  std::string fanOutMiddle;
  for (int k = 0; k < 100; ++k) fanOut += ".include middle.model\n";
  for (int k = 0; k < 1000; ++k) fanOutMiddle += ".include leaf.model\n";
  write("middle.model", fanOutMiddle);
  write("leaf.model", std::string(100, '\n'));
  struct Case {
    std::string model;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"/dev/zero", "/dev/zero: cannot read the model file '/dev/zero': not a regular file"},
      {pipe, pipe + ": cannot read the model file '" + pipe + "': not a regular file"},
      {write("zero.model", "R 1 0, 1k\n.include /dev/zero\n"),
       ":2: '.include': cannot read '/dev/zero': not a regular file"},
      {write("pipe_include.model", "R 1 0, 1k\n\n.include pipe.model\n"),
       ":3: '.include': cannot read '" + pipe + "': not a regular file"},
      {write("fan_out.model", fanOut), ":2: the model and its included files have more than 20000 lines"},
      {write("long.model", "R 1 0, 1k\n" + std::string(1 << 20, ' ') + "\n"), "longer than 1048576 bytes"},
  };
  for (const Case& c : cases) {
    const std::string command = "ulimit -v 4000000; timeout 120 " + std::string(MOVRA_BINARY_DIR) +
                                "/bin/movra-note check " + c.model + " 2>&1";
    std::FILE* output = popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, output)) > 0;) text.append(buffer, got);
    const int status = pclose(output);
    EXPECT_EQ(WEXITSTATUS(status), 1) << c.model << ": " << text;
    EXPECT_NE(text.find(c.expected), std::string::npos) << c.model << ": " << text;
  }
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
  // The records block of the run that movra-note is about to start, planted
  // under its process id before it starts.
  const std::string path = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const std::string log = ::testing::TempDir() + "cli_planted_" + std::to_string(getpid());
  const pid_t note = t::startNoteLogged("run " + path + " --mode a2 --batch " + log + "-out", log, [&] {
    if (!t::plantBlock(prefix + std::to_string(getpid()) + ".quillC", how)) _exit(99);
  });
  const std::string records = prefix + std::to_string(note) + ".quillC";
  Result result;
  result.exitCode = t::finishedNote(note);
  result.output = t::readFile(log);
  ASSERT_NE(result.exitCode, 99) << "could not plant " << records;
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("共有メモリ " + records + " を使わない："), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find(t::refusalReason(how)), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("movra-sim:"), std::string::npos) << "the simulator was started";
  EXPECT_EQ(t::contentOf(t::shmFile(records)), t::kPlantedText);
  t::removePlantedBlock(records);
  std::filesystem::remove(log);
  std::filesystem::remove_all(log + "-out");

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

// Runs started side by side, as a script or two users' terminals start them: each
// run computes its own model, or is refused as a second calculation, never with
// another run's model.
TEST_F(CliTest, RunsStartedTogetherComputeTheirOwnModelOrAreRefused) {
  namespace t = movra::testing;
  const std::vector<std::string> models = {"rc_circuit", "rl_rise",        "pendulum",   "four_bar",
                                           "current_ramp", "spring_static", "coil_on_core", "transformer"};
  const std::string base = t::scratchDirectory("cli_together");
  std::vector<std::string> alone;
  for (const std::string& model : models) {
    const std::string folder = base + "/alone-" + model;
    std::filesystem::create_directories(folder);
    t::runBatch(std::string(MOVRA_SOURCE_DIR) + "/examples/" + model + ".model", folder);
    alone.push_back(t::readFile(folder + "/out.txt"));
    ASSERT_FALSE(alone.back().empty()) << model;
  }
  for (size_t m = 1; m < alone.size(); ++m) ASSERT_NE(alone[m], alone[m - 1]) << "models must differ";

  // Starts the given models pauseMs apart; counts the runs that computed.
  int round = 0;
  const auto together = [&](const std::vector<size_t>& chosen, int pauseMs) {
    std::vector<std::pair<pid_t, std::string>> runs;
    for (const size_t m : chosen) {
      const std::string folder = base + "/" + std::to_string(round) + "-" + std::to_string(runs.size());
      std::filesystem::create_directories(folder);
      runs.emplace_back(t::startNoteLogged("run " + std::string(MOVRA_SOURCE_DIR) + "/examples/" +
                                               models[m] + ".model --batch " + folder,
                                           folder + "/log.txt"),
                        folder);
      if (pauseMs > 0) usleep(static_cast<useconds_t>(pauseMs) * 1000);
    }
    int computed = 0;
    for (size_t k = 0; k < runs.size(); ++k) {
      const int code = t::finishedNote(runs[k].first);
      const std::string log = t::readFile(runs[k].second + "/log.txt");
      const std::string trace = models[chosen[k]] + " in round " + std::to_string(round) + ":\n" + log;
      if (code == 0) {
        ++computed;
        EXPECT_EQ(t::readFile(runs[k].second + "/out.txt"), alone[chosen[k]]) << trace;
      } else {
        EXPECT_NE(log.find("先のファイルを計算中"), std::string::npos) << trace;
        EXPECT_FALSE(std::filesystem::exists(runs[k].second + "/out.txt")) << trace;
      }
    }
    ++round;
    return computed;
  };
  for (const int pauseMs : {0, 1, 2, 5, 10, 20, 35, 50}) {
    const size_t first = static_cast<size_t>(round) % models.size();
    EXPECT_GE(together({first, (first + 1) % models.size()}, pauseMs), 1) << "pause " << pauseMs;
  }
  EXPECT_GE(together({0, 1, 2, 3, 4, 5, 6, 7}, 1), 1);
  EXPECT_EQ(leftoverBlocks(), 0);
}

// What a killed editor leaves is cleared by the next start of the same user;
// what a living one holds, and what another account made, stays.
TEST_F(CliTest, LeftoversOfKilledEditorsAreClearedByTheNextStart) {
  namespace t = movra::testing;
  const std::string prefix = "/movra." + std::to_string(getuid()) + "." + tag + ".";
  const auto makeBlock = [](const std::string& path) {
    const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) close(fd);
    return fd >= 0;
  };
  const std::string runtime = ::testing::TempDir() + "cli_runtime_" + std::to_string(getpid());
  std::filesystem::remove_all(runtime);
  ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
  const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = savedRuntime != nullptr ? savedRuntime : "";
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const std::string sockets = runtime + "/movra/";
  const auto socketsLeft = [&] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sockets)) {
      count += entry.path().extension() == ".sock" ? 1 : 0;
    }
    return count;
  };
  const std::string model = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const std::string out = " --batch " + runtime + "/out";

  // A killed editor, in the middle of a long run: its simulator has copied its
  // blocks and removed them; only the socket is left, until the next start.
  const std::string path = writeModel("cli_orphan.model",
                                      "R 1 0, 1k\nV 1 0, 1, 0\nC 1 0, 1u\n.o x1.9\n"
                                      ".t 2\n 0\n 3\n 1u\n 10000\n");
  NoteProcess note = startNote("run " + path + out);
  ASSERT_NE(note.output, nullptr);
  const pid_t simulator = waitForSimulatorOf("cli_orphan.model");
  ASSERT_GT(simulator, 0);
  ASSERT_EQ(::kill(note.pid, SIGKILL), 0);
  int status = 0;
  finishNote(note, status);
  // The simulator goes on alone; it removes its blocks once it has copied them,
  // at the latest by the time it ends.
  while (leftoverBlocks() > 0 && ::kill(simulator, 0) == 0) usleep(20 * 1000);
  EXPECT_EQ(leftoverBlocks(), 0);
  ::kill(simulator, SIGKILL);
  // Gone, not only killed: its census entry would refuse the next start.
  for (int tries = 0; tries < 500 && ::kill(simulator, 0) == 0; ++tries) usleep(20 * 1000);
  EXPECT_EQ(socketsLeft(), 1);

  // Blocks of an editor that is gone, as a kill before the copy leaves them, and
  // of one that lives (this test), private or not.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, &status, 0), gone);
  const std::string dead = std::to_string(gone);
  const std::string living = std::to_string(getpid());
  for (const std::string& name : {dead + ".quillC0", dead + ".quillC", dead + ".hMapN",
                                  "movra-text-" + dead, living + ".quillC", "movra-text-" + living}) {
    ASSERT_TRUE(makeBlock(prefix + name)) << name;
  }
  const std::string open = prefix + "movra-text-" + std::to_string(gone + 1000000);
  ASSERT_TRUE(t::plantBlock(open, t::Planted::OpenToAll));
  EXPECT_EQ(leftoverBlocks(), 7);

  const Result result = runNote("run " + model + out);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(socketsLeft(), 0);
  EXPECT_EQ(leftoverBlocks(), 3) << "the living editor's blocks and the open one stay";
  EXPECT_EQ(t::contentOf(t::shmFile(open)), t::kPlantedText);
  for (const std::string& name : {living + ".quillC", "movra-text-" + living}) {
    shm_unlink((prefix + name).c_str());
  }
  t::removePlantedBlock(open);

  // Ctrl-C at any moment of the start, even before the blocks are made, leaves
  // nothing behind.
  for (int pause = 0; pause <= 30; pause += 2) {
    NoteProcess early = startNote("run " + model + out);
    ASSERT_NE(early.output, nullptr);
    usleep(static_cast<useconds_t>(pause) * 1000);
    ::kill(-early.pid, SIGINT);
    const std::string output = finishNote(early, status);
    EXPECT_EQ(leftoverBlocks(), 0) << "interrupted after " << pause << " ms\n" << output;
    EXPECT_EQ(socketsLeft(), 0) << "interrupted after " << pause << " ms\n" << output;
  }
  if (saved.empty()) {
    unsetenv("XDG_RUNTIME_DIR");
  } else {
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  }
  std::filesystem::remove_all(runtime);
}

// A result that cannot be written whole (a full disk, a folder without write
// permission) is reported with its reason, is not named as written, leaves no
// half file, and the run fails.
TEST_F(CliTest, ResultsThatCannotBeWrittenWholeAreReportedAndFailTheRun) {
  namespace t = movra::testing;
  const std::string base = t::scratchDirectory("cli_unwritable");
  const std::string full = base + "/full";
  const std::string closed = base + "/closed";
  const std::string open = base + "/open";
  for (const std::string& folder : {full, closed, open}) std::filesystem::create_directories(folder);
  // A small tmpfs that fills up, and one mounted read-only; without the right to
  // mount, a folder without write permission stands in for the second (the
  // first case then cannot be made and is skipped).
  const bool mounted = mount("tmpfs", full.c_str(), "tmpfs", 0, "size=24k") == 0;
  if (mount("tmpfs", closed.c_str(), "tmpfs", MS_RDONLY, "size=24k") != 0) chmod(closed.c_str(), 0555);
  struct Unmount {
    std::vector<std::string> folders;
    ~Unmount() {
      for (const std::string& folder : folders) {
        umount(folder.c_str());
        chmod(folder.c_str(), 0755);
      }
    }
  } unmount{{full, closed}};
  const std::string model = std::string(MOVRA_SOURCE_DIR) + "/examples/drop_on_spring.model";

  struct Case {
    std::string arguments;
    std::vector<std::string> failed;   // the files reported as not written, with the reason
    std::string reason;
    std::vector<std::string> written;  // the files still written
  };
  std::vector<Case> cases = {
      {"--batch " + closed + " --csv " + closed + "/all.csv",
       {closed + "/out.txt", closed + "/all.csv", closed + "/view.png"},
       "書き込みの権限がない",
       {}},
  };
  if (mounted) {
    cases.push_back({"--batch " + full, {full + "/out.txt"}, "ディスクに空きがない", {full + "/view.png"}});
    cases.push_back({"--batch " + open + " --csv " + full + "/all.csv", {full + "/all.csv"},
                     "ディスクに空きがない", {open + "/out.txt", open + "/view.png"}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Result result = runNote("run " + model + " " + c.arguments);
    EXPECT_NE(result.exitCode, 0) << result.output;
    for (const std::string& file : c.failed) {
      const size_t at = result.output.find(file.substr(file.rfind('/')) + "：" + c.reason);
      EXPECT_NE(at, std::string::npos) << file << "\n" << result.output;
      EXPECT_NE(result.output.find("Can't open"), std::string::npos) << result.output;
    }
    const size_t closing = result.output.find("movra-sim: drop_on_spring.model: status 74");
    ASSERT_NE(closing, std::string::npos) << result.output;
    const std::string line = result.output.substr(closing, result.output.find('\n', closing) - closing);
    for (const std::string& file : c.written) {
      EXPECT_NE(line.find(file), std::string::npos) << line;
      EXPECT_GT(std::filesystem::file_size(file), 0u) << file;
    }
    EXPECT_EQ(c.written.empty(), line.find("nothing written") != std::string::npos) << line;
  }
  // Nothing half-written stays behind, not even a temporary file.
  if (mounted) {
    for (const auto& entry : std::filesystem::directory_iterator(full)) {
      EXPECT_EQ(entry.path().filename(), "view.png") << entry.path();
    }
  }
  EXPECT_EQ(leftoverBlocks(), 0);
}

// Results never go through a link planted where they belong, and never into a
// folder where another account could swap them: one it owns, or one it may write
// into without the sticky bit that protects our files (as /tmp has).
TEST_F(CliTest, ResultsGoNeitherThroughPlantedLinksNorIntoFoldersOfOthers) {
  namespace t = movra::testing;
  const std::string base = t::scratchDirectory("cli_planted_links");
  const std::string model = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const std::string folder = base + "/results";
  std::filesystem::create_directories(folder);
  for (const char* name : {"out.txt", "view.png", "all.csv"}) {
    std::ofstream(base + "/victim-" + name) << "victim";
    ASSERT_EQ(symlink((base + "/victim-" + name).c_str(), (folder + "/" + name).c_str()), 0);
  }
  Result result = runNote("run " + model + " --batch " + folder + " --csv " + folder + "/all.csv");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  for (const char* name : {"out.txt", "view.png", "all.csv"}) {
    EXPECT_EQ(t::readFile(base + "/victim-" + name), "victim") << name << " was written through the link";
    struct stat info {};
    ASSERT_EQ(lstat((folder + "/" + name).c_str(), &info), 0) << name;
    EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
    EXPECT_GT(info.st_size, 0) << name;
  }

  struct Case {
    const char* name;
    mode_t mode;
    bool givenAway;
    const char* refusal;  // "" when the folder is used
  };
  for (const Case c : {Case{"open", 0777, false, "他のユーザも書き込める (mode 0777)"},
                       Case{"group", 0775, false, "他のユーザも書き込める (mode 0775)"},
                       Case{"sticky", 01777, false, ""}, Case{"theirs", 0755, true, "別のユーザ (uid 65534)"}}) {
    if (c.givenAway && !t::canGiveAway()) continue;
    const std::string other = base + "/" + c.name;
    std::filesystem::create_directories(other);
    ASSERT_EQ(chmod(other.c_str(), c.mode), 0);
    if (c.givenAway) {
      ASSERT_EQ(chown(other.c_str(), t::kOtherUid, t::kOtherUid), 0);
    }
    for (const std::string& option : {" --batch " + other, " --csv " + other + "/all.csv"}) {
      result = runNote("run " + model + option);
      if (*c.refusal == 0) {
        EXPECT_EQ(result.exitCode, 0) << c.name << option << ": " << result.output;
      } else {
        EXPECT_EQ(result.exitCode, 1) << c.name << option << ": " << result.output;
        EXPECT_NE(result.output.find("フォルダ " + other + " を使わない：" + c.refusal), std::string::npos)
            << result.output;
        EXPECT_TRUE(std::filesystem::is_empty(other)) << c.name << option;
      }
    }
  }
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

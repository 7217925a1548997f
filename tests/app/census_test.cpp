// The instance census and the title registry it reads, with real processes: live
// ones kept waiting, dead ones whose entries linger, and real simulators started
// through movra-note. Also what the editor makes of the simulator's reports.
#include "app/census.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "note/launcher.h"
#include "note/model_file.h"
#include "platform/editor_link.h"
#include "platform/instance_registry.h"
#include "support/batch_runs.h"
#include "support/foreign_objects.h"

extern char** environ;

namespace movra {
namespace {

using platform::TitleRegistry;
using Result = testing::NoteOutput;
using testing::runNote;

const std::string kBin = std::string(MOVRA_BINARY_DIR) + "/bin/";
const char* const kEndedTitle = "rc.model     _movra_    v-7.72";
const char* const kCalculatingTitle = "計算中　        rc.model     _on-cal_";

// ---- processes ----

pid_t spawn(const std::vector<std::string>& words, const std::string& logPath = "") {
  std::vector<std::string> copy = words;
  std::vector<char*> argv;
  for (std::string& word : copy) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!logPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

int reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

// A process id that no longer exists: a child that ran and was reaped.
pid_t deadPid() {
  const pid_t pid = spawn({"/bin/true"});
  EXPECT_GT(pid, 0);
  reap(pid);
  return pid;
}

// Children that stay alive until the end of the test.
class Sleepers {
 public:
  ~Sleepers() {
    for (const pid_t pid : pids_) {
      kill(pid, SIGKILL);
      reap(pid);
    }
  }
  pid_t add() {
    const pid_t pid = spawn({"/bin/sleep", "30"});
    EXPECT_GT(pid, 0);
    pids_.push_back(pid);
    return pid;
  }

 private:
  std::vector<pid_t> pids_;
};

// ---- messages ----

struct Shown {
  std::vector<std::string> texts;
  static int show(void* context, MessageKind, const char*, const char* text) {
    static_cast<Shown*>(context)->texts.emplace_back(text);
    return 1;
  }
  MessageSink sink() { return MessageSink{&Shown::show, this}; }
};

class CensusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A registry (and blocks) of this test process only.
    tag = "census-" + std::to_string(getpid());
    setenv("MOVRA_SHM_TAG", tag.c_str(), 1);
    std::filesystem::remove_all(platform::titleRegistryDirectory());
    directory = movra::testing::scratchDirectory("census");
    reporter.setSink(shown.sink());
  }
  void TearDown() override { std::filesystem::remove_all(platform::titleRegistryDirectory()); }

  std::string writeModel(const std::string& name, const std::string& text) const {
    const std::string path = directory + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  // The editor's side of a run: the model file handed over through the blocks and
  // the simulator started reporting to editorId, its results in this test's
  // directory. The simulator's exit code.
  int runUnderEditor(const std::string& model, const std::string& editorId) {
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    EXPECT_TRUE(note::readModelFilePath(model, image, errors));
    note::LaunchRequest request;
    request.simulatorPath = kBin + "movra-sim";
    request.textBlockName = "census-text";
    request.modelName = std::filesystem::path(model).filename().string();
    request.editorWindow = editorId;
    setenv("MOVRA_OUTPUT_DIR", directory.c_str(), 1);
    int status = -1;
    {
      note::HandOverBlocks blocks(image, request.textBlockName, editorId);
      EXPECT_TRUE(blocks.ok()) << blocks.error();
      if (blocks.ok()) status = note::runSimulator(request);
    }
    unsetenv("MOVRA_OUTPUT_DIR");
    return status;
  }

  int entryCount() const {
    int count = 0;
    for (const auto& item :
         std::filesystem::directory_iterator(platform::titleRegistryDirectory())) {
      (void)item;
      ++count;
    }
    return count;
  }

  std::string tag;
  std::string directory;
  Reporter reporter;
  Shown shown;
};

// ---- the registry ----

TEST_F(CensusTest, RegistryKeepsOneTitlePerProcessUnderItsTag) {
  const TitleRegistry registry;
  EXPECT_EQ(registry.directory(), platform::runtimeDirectory() + "/titles-" + tag);
  const pid_t self = getpid();
  ASSERT_TRUE(registry.write(self, kCalculatingTitle));
  EXPECT_EQ(movra::testing::readFile(registry.entryPath(self)), kCalculatingTitle);
  // A new title replaces the old one whole; no temp file stays behind.
  ASSERT_TRUE(registry.write(self, kEndedTitle));
  EXPECT_EQ(movra::testing::readFile(registry.entryPath(self)), kEndedTitle);
  EXPECT_EQ(entryCount(), 1);

  const auto entries = registry.liveEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].pid, self);
  EXPECT_EQ(entries[0].title, kEndedTitle);

  EXPECT_TRUE(registry.remove(self));
  EXPECT_FALSE(registry.remove(self));
  EXPECT_TRUE(registry.liveEntries().empty());

  // Another tag is another registry.
  setenv("MOVRA_SHM_TAG", (tag + "-other").c_str(), 1);
  const TitleRegistry other;
  EXPECT_NE(other.directory(), registry.directory());
  std::filesystem::remove_all(other.directory());
  setenv("MOVRA_SHM_TAG", tag.c_str(), 1);  // for the clean-up of this test's own
}

TEST_F(CensusTest, EntriesOfDeadProcessesAreIgnoredAndRemoved) {
  const TitleRegistry registry;
  Sleepers sleepers;
  const pid_t live = sleepers.add();
  const pid_t dead = deadPid();
  ASSERT_TRUE(registry.write(live, kEndedTitle));
  ASSERT_TRUE(registry.write(dead, kCalculatingTitle));
  // A writer that died between its temp file and the rename, and a file that is
  // none of ours.
  std::ofstream(registry.directory() + "/." + std::to_string(dead) + ".tmp") << "half";
  std::ofstream(registry.directory() + "/notes.txt") << "_on-cal_";

  const platform::MarkerCounts counts = registry.countMarkers();
  EXPECT_EQ(counts.calculating, 0);
  EXPECT_EQ(counts.ended, 1);
  EXPECT_FALSE(std::filesystem::exists(registry.entryPath(dead)));
  EXPECT_FALSE(
      std::filesystem::exists(registry.directory() + "/." + std::to_string(dead) + ".tmp"));
  EXPECT_TRUE(std::filesystem::exists(registry.entryPath(live)));
  EXPECT_TRUE(std::filesystem::exists(registry.directory() + "/notes.txt"));
}

TEST_F(CensusTest, MarkersAreCountedSeparatelyOncePerTitle) {
  platform::MarkerCounts counts = platform::countMarkersIn(kEndedTitle);
  EXPECT_EQ(counts.ended, 1);
  EXPECT_EQ(counts.calculating + counts.tryInfo + counts.version, 0);
  counts = platform::countMarkersIn("x _on-cal_ _on-cal_ _try-info_ movra  v-7.72");
  EXPECT_EQ(counts.calculating, 1);
  EXPECT_EQ(counts.tryInfo, 1);
  EXPECT_EQ(counts.version, 1);
  EXPECT_EQ(counts.ended, 0);
  // Only the first 1024 bytes of a title are read.
  counts = platform::countMarkersIn(std::string(1020, 'x') + "_on-cal_");
  EXPECT_EQ(counts.calculating, 0);
}

TEST_F(CensusTest, TitleOfThisProcessGoesAwayWhenItExits) {
  int written[2];
  int proceed[2];
  ASSERT_EQ(pipe(written), 0);
  ASSERT_EQ(pipe(proceed), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    app::publishTitle(kCalculatingTitle);
    app::publishTitle(kEndedTitle);
    char byte = 1;
    if (write(written[1], &byte, 1) != 1 || read(proceed[0], &byte, 1) != 1) _exit(2);
    std::exit(0);  // the exit handlers remove the entry
  }
  char byte = 0;
  ASSERT_EQ(read(written[0], &byte, 1), 1);
  const TitleRegistry registry;
  EXPECT_EQ(movra::testing::readFile(registry.entryPath(child)), kEndedTitle);
  EXPECT_EQ(write(proceed[1], &byte, 1), 1);
  const int status = reap(child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(registry.entryPath(child)));
  // The last one out leaves no empty directory; the next title makes it again.
  EXPECT_FALSE(std::filesystem::exists(registry.directory()));
  EXPECT_TRUE(registry.write(getpid(), kEndedTitle));
  for (const int fd : {written[0], written[1], proceed[0], proceed[1]}) close(fd);
}

// ---- the census rules ----

TEST_F(CensusTest, CalculatingSimulatorRefusesEvenWithFewWindows) {
  const TitleRegistry registry;
  Sleepers sleepers;
  ASSERT_TRUE(registry.write(sleepers.add(), kEndedTitle));
  ASSERT_TRUE(registry.write(sleepers.add(), kCalculatingTitle));
  EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::End);
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_EQ(shown.texts[0], "　先のファイルを計算中　\n");
}

TEST_F(CensusTest, RegistryFolderOfAnotherAccountRefusesTheStartByName) {
  // Titles there could be planted to keep us from starting, and ours read.
  const std::string folder = platform::titleRegistryDirectory();
  std::filesystem::remove_all(folder);
  const auto how = movra::testing::canGiveAway() ? movra::testing::Planted::OtherOwner
                                                 : movra::testing::Planted::OpenToAll;
  ASSERT_TRUE(movra::testing::plantFolder(folder, how));
  EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::End);
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_EQ(shown.texts[0].rfind("フォルダ " + folder + " を使わない：", 0), 0u) << shown.texts[0];
  EXPECT_NE(shown.texts[0].find(movra::testing::folderRefusalReason(how)), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(folder)) << "our title went into it";
}

TEST_F(CensusTest, TenFinishedWindowsRefuseNineAllow) {
  const TitleRegistry registry;
  Sleepers sleepers;
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(registry.write(sleepers.add(), kEndedTitle));
  // A dead tenth does not count.
  ASSERT_TRUE(registry.write(deadPid(), kEndedTitle));
  EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::Go);
  EXPECT_TRUE(shown.texts.empty());

  ASSERT_TRUE(registry.write(sleepers.add(), kEndedTitle));
  EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::End);
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_EQ(shown.texts[0], "タスクバーの movra のボタンは１０まで");
}

TEST_F(CensusTest, OtherProgramsTitlesEndStartUpSilentlyAndComeFirst) {
  const TitleRegistry registry;
  Sleepers sleepers;
  const pid_t calculating = sleepers.add();
  ASSERT_TRUE(registry.write(calculating, kCalculatingTitle));
  const pid_t other = sleepers.add();
  for (const char* title : {"info _try-info_", "editor movra  v-7.72"}) {
    ASSERT_TRUE(registry.write(other, title));
    EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::EndSilently) << title;
  }
  EXPECT_TRUE(shown.texts.empty());
}

TEST_F(CensusTest, LeftoverUnderOurOwnProcessIdDoesNotCount) {
  // A title under this very process before its census: it can only be a leftover.
  const TitleRegistry registry;
  ASSERT_TRUE(registry.write(getpid(), kCalculatingTitle));
  EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::Go);
  EXPECT_TRUE(shown.texts.empty());
  // In its place the census put this process's claim.
  EXPECT_EQ(movra::testing::readFile(registry.entryPath(getpid())), app::kStartingTitle);
  app::withdrawTitle();
}

TEST_F(CensusTest, EntryOfAnEarlierProcessUnderAReusedIdIsDropped) {
  const TitleRegistry registry;
  Sleepers sleepers;
  const pid_t live = sleepers.add();
  const unsigned long long start = platform::processStartTicks(live);
  ASSERT_GT(start, 0u);
  // Written by a process that had this id before and died without removing it.
  const std::string stale = registry.directory() + "/" + std::to_string(live) + "." +
                            std::to_string(start - 1);
  std::ofstream(stale) << kCalculatingTitle;
  EXPECT_EQ(registry.countMarkers().calculating, 0);
  EXPECT_FALSE(std::filesystem::exists(stale));
  // The process that has the id now counts.
  ASSERT_TRUE(registry.write(live, kCalculatingTitle));
  EXPECT_EQ(registry.countMarkers().calculating, 1);
}

TEST_F(CensusTest, OfSimulatorsStartedAtTheSameInstantOnlyOnePasses) {
  constexpr int kStarters = 6;
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  std::vector<pid_t> starters;
  for (int i = 0; i < kStarters; ++i) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(gate[1]);
      char byte = 0;
      if (read(gate[0], &byte, 1) != 0) _exit(3);  // all go when the gate closes
      Reporter quiet;
      Shown seen;
      quiet.setSink(seen.sink());
      const bool passed = app::censusAllowsStart(quiet) == app::LaunchCheck::Go;
      // Stay a moment, as a simulator would while it reads its model.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      _exit(passed ? 0 : 1);
    }
    starters.push_back(child);
  }
  close(gate[0]);
  close(gate[1]);
  int passed = 0;
  int refused = 0;
  for (const pid_t child : starters) {
    const int status = reap(child);
    ASSERT_TRUE(WIFEXITED(status));
    passed += WEXITSTATUS(status) == 0 ? 1 : 0;
    refused += WEXITSTATUS(status) == 1 ? 1 : 0;
  }
  EXPECT_EQ(passed, 1);
  EXPECT_EQ(refused, kStarters - 1);
}

// ---- real simulators ----

TEST_F(CensusTest, SimulatorsRefuseBesideTenFinishedOnesAndLeaveNoEntry) {
  const std::string model = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const std::string run = "run " + model + " --mode a2 --batch " + directory;
  const TitleRegistry registry;
  Sleepers sleepers;
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(registry.write(sleepers.add(), kEndedTitle));
  Result result = runNote(run);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("movra-sim: rc_circuit.model: status 0,"), std::string::npos)
      << result.output;
  // The finished run took its entry with it.
  EXPECT_EQ(entryCount(), 9);

  ASSERT_TRUE(registry.write(sleepers.add(), kEndedTitle));
  result = runNote(run);
  EXPECT_NE(result.output.find("タスクバーの movra のボタンは１０まで"), std::string::npos)
      << result.output;
  EXPECT_EQ(result.output.find("movra-sim:"), std::string::npos) << result.output;
}

// Kills what a long run left running, whatever the test's outcome.
struct LongRun {
  pid_t note = -1;
  ~LongRun() {
    for (const auto& entry : TitleRegistry().liveEntries()) kill(entry.pid, SIGKILL);
    if (note <= 0) return;
    // The editor reaps its simulator and ends; only one that hangs is killed.
    for (int wait = 0; wait < 200; ++wait) {
      int status = 0;
      if (waitpid(note, &status, WNOHANG) == note) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(note, SIGKILL);
    reap(note);
  }
};

TEST_F(CensusTest, SecondRunRefusesWhileTheFirstCalculates) {
  // Long enough to be caught calculating on any machine; it is stopped below.
  const std::string model = writeModel("long.model",
                                       "V 1 0, 5 * p2, 0\nR 1 2, 1k\nC 2 0, 1u\n.o x2.9\n"
                                       ".t 2\n   0\n   30000\n   1m\n   30000\n.ic\n");
  const std::string log = directory + "/first.log";
  LongRun first;
  first.note =
      spawn({kBin + "movra-note", "run", model, "--mode", "a2", "--batch", directory}, log);
  ASSERT_GT(first.note, 0);

  const TitleRegistry registry;
  pid_t simulator = -1;
  for (int wait = 0; wait < 6000 && simulator < 0; ++wait) {
    for (const auto& entry : registry.liveEntries()) {
      if (entry.title.find("_on-cal_") != std::string::npos) simulator = entry.pid;
    }
    int status = 0;
    ASSERT_EQ(waitpid(first.note, &status, WNOHANG), 0) << movra::testing::readFile(log);
    if (simulator < 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_GT(simulator, 0) << "the first run never showed a calculating title";

  // A short model, so that a census that lets it through fails quickly.
  const std::string shortModel = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  const Result second =
      runNote("run " + shortModel + " --mode a2 --batch " + directory + "/second");
  EXPECT_EQ(second.exitCode, 51) << "a refused start is no success\n" << second.output;
  EXPECT_NE(second.output.find("　先のファイルを計算中　"), std::string::npos) << second.output;
  EXPECT_EQ(second.output.find("movra-sim:"), std::string::npos) << second.output;

  // The first run's editor also takes the view window and the scales, as a
  // simulator sends them from its menus.
  const std::string editor = std::to_string(first.note);
  ASSERT_TRUE(platform::sendToEditor(editor, 3, "       0.5     -0.25         1 "));
  ASSERT_TRUE(platform::sendToEditor(
      editor, 4,
      "    1e+03     1e+03         5         0         0         0         0   "
      "      0         0       0.1 "));
  ASSERT_TRUE(platform::sendToEditor(editor, 3, " only 2 "));

  const std::string simulatorEntry = registry.entryPath(simulator);
  ASSERT_EQ(kill(simulator, SIGKILL), 0);  // no chance to withdraw its entry
  const int status = reap(first.note);
  first.note = -1;
  EXPECT_TRUE(WIFEXITED(status)) << status;
  const std::string output = movra::testing::readFile(log);
  EXPECT_NE(output.find(model + ": view window: .vc 0.5, -0.25, 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find(model + ": scales: 1e+03, 1e+03, 5, 0, 0, 0, 0, 0, 0, 0.1\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find(model + ": report 3: only 2 \n"), std::string::npos) << output;

  // The killed simulator's entry lingers until the next census drops it.
  EXPECT_TRUE(std::filesystem::exists(simulatorEntry));
  EXPECT_EQ(app::censusAllowsStart(reporter), app::LaunchCheck::Go);
  EXPECT_FALSE(std::filesystem::exists(simulatorEntry));
  app::withdrawTitle();
}

// ---- reports to the editor ----

// Twelve good statements, then one whose annotation only the simulator judges, in
// statement 12 (counted from 0), below lines that are no statements.
const char* const kFaultyModel =
    "// a ladder with a fault\n\n"
    "R 1 2, 1k\nR 2 3, 1k\nR 3 4, 1k\nR 4 5, 1k\nR 5 6, 1k\nR 6 7, 1k\n"
    "// halfway\n"
    "R 7 8, 1k\nR 8 9, 1k\nR 9 10, 1k\nR 10 11, 1k\nR 11 12, 1k\nR 12 13, 1k\n"
    "R 13 0, 1k {h500}\n"
    ".t 2\n   0\n   1m\n   10u\n   1\n.ic\n";
constexpr int kFaultyFileLine = 16;

TEST_F(CensusTest, ReadingErrorReachesTheEditorWithItsStatement) {
  const std::string model = writeModel("faulty.model", kFaultyModel);
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  ASSERT_TRUE(note::readModelFilePath(model, image, errors)) << errors[0].message;
  ASSERT_GT(image.recordFileLine.size(), 12u);
  ASSERT_EQ(image.recordFileLine[12], kFaultyFileLine);

  // This test is the editor: it hands over and listens.
  platform::EditorMailbox mailbox;
  ASSERT_TRUE(mailbox.ok());
  const int status = runUnderEditor(model, mailbox.id());
  EXPECT_EQ(status, 51);  // a batch run exits with its run's status: refused
  const auto messages = mailbox.takeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].dataWord, 1012);
  EXPECT_EQ(messages[0].text.find('$'), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("R 13 0, 1k {h500}"), std::string::npos) << messages[0].text;

  // movra-note turns the statement back into the file's own line.
  const Result result = runNote("run " + model + " --mode a2 --batch " + directory);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find(model + ":" + std::to_string(kFaultyFileLine) + ": "),
            std::string::npos)
      << result.output;
}

// The same ladder whose last resistor divides by zero once the run is under way
// (p2 is 0 at step 0, then 1): the fault shows only after the first step.
const char* const kLateFaultModel =
    "// a ladder with a late fault\n\n"
    "R 1 2, 1k\nR 2 3, 1k\nR 3 4, 1k\nR 4 5, 1k\nR 5 6, 1k\nR 6 7, 1k\n"
    "// halfway\n"
    "R 7 8, 1k\nR 8 9, 1k\nR 9 10, 1k\nR 10 11, 1k\nR 11 12, 1k\nR 12 13, 1k\n"
    "R 13 0, 1k / (1 - p2)\nV 1 0, 5, 0\n"
    ".t 2\n   0\n   1m\n   10u\n   1\n.ic\n";

TEST_F(CensusTest, RunErrorAfterTheFirstStepReachesTheEditorAsARunError) {
  const std::string model = writeModel("late.model", kLateFaultModel);
  platform::EditorMailbox mailbox;
  ASSERT_TRUE(mailbox.ok());
  const int status = runUnderEditor(model, mailbox.id());
  EXPECT_EQ(status, 5) << "the run was stopped by the error";
  const auto messages = mailbox.takeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].dataWord, 2012);
  EXPECT_EQ(messages[0].text.find('$'), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("R 13 0, 1k / (1 - p2)"), std::string::npos) << messages[0].text;
  // What was recorded before the error is kept: the starting solution.
  EXPECT_EQ(movra::testing::readColumns(directory + "/out.txt").size(), 1u);
}

TEST_F(CensusTest, EditorThatHasGoneLosesTheReportButNotTheFrames) {
  const std::string model = writeModel("late.model", kLateFaultModel);
  std::string gone;
  {
    platform::EditorMailbox mailbox;  // the editor closes before the simulator reports
    gone = mailbox.id();
  }
  const int status = runUnderEditor(model, gone);
  EXPECT_EQ(status, 5);
  EXPECT_EQ(movra::testing::readColumns(directory + "/out.txt").size(), 1u);
}

TEST_F(CensusTest, ScalesOfTheModelReachTheEditorAtTheEndOfAKeyedRun) {
  // A control-key file on the command line makes the simulator send its scales.
  const std::string keys = directory + "/keys.txt";
  {
    std::ofstream file(keys);
    for (int step = 0; step <= 200; ++step) file << step << " 0 0 0 0 0 0 0 0 0 0 0 0\n";
  }
  const std::string model = writeModel("scaled.model",
                                       "V 1 0, 5 * p2, 0\nR 1 2, 1k\nC 2 0, 1u\n.o x2.9\n"
                                       ".vc 0, 0, 1, 1000, 20, 5, , , , , , , 0.5\n"
                                       ".t 2\n   0\n   1m\n   10u\n   1\n.ic\n");
  const Result result = runNote("run " + model + " --keys " + keys + " --batch " + directory);
  EXPECT_NE(result.output.find("status 0"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find(model + ": scales: 1e+03, 20, 5, 0, 0, 0, 0, 0, 0, 0.5\n"),
            std::string::npos)
      << result.output;
}

}  // namespace
}  // namespace movra

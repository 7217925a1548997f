// The editor's parts without a display: the run plan of a buffer, reports at
// their lines, refusals, the colouring of a line and the recovery copies.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "editor/model_styles.h"
#include "editor/recovery_store.h"
#include "editor/run_plan.h"
#include "note/message_table.h"
#include "support/batch_runs.h"

namespace movra::editor {
namespace {

namespace fs = std::filesystem;

// The buffer is read as it stands, with its includes found beside the path it
// will be saved at; mistakes refuse the run at their lines, doubtful lines warn.
TEST(RunPlan, TheBufferIsReadAsTheFileWouldBe) {
  const std::string folder = movra::testing::scratchDirectory("run_plan");
  std::ofstream(folder + "/parts.model") << "R 2 0, 1k\n";
  const std::string path = folder + "/circuit.model";  // never written
  const std::string sound =
      "V 1 0, 5, 0\nR 1 2, 1k\n.include parts.model\n.o x2.9\n.t 2\n   0\n   1m\n   10u\n   1\n";

  const RunPlan plan = planRun(sound, path, "circuit.model");
  EXPECT_TRUE(plan.ok);
  for (const PlanLine& line : plan.lines) EXPECT_FALSE(line.error) << line.text;
  ASSERT_GT(plan.image->records.size(), 3u);
  // The included resistor's record maps to the include statement's line.
  bool includeLine = false;
  for (const int line : plan.image->recordFileLine) includeLine = includeLine || line == 3;
  EXPECT_TRUE(includeLine);

  const RunPlan broken =
      planRun("V 1 0, 5, 0\nR 1 2\n.t 2\n   0\n   1m\n   10u\n   1\n", path, "circuit.model");
  EXPECT_FALSE(broken.ok);
  ASSERT_FALSE(broken.lines.empty());
  EXPECT_TRUE(broken.lines[0].error);
  EXPECT_EQ(broken.lines[0].line, 2);
  EXPECT_EQ(broken.lines[0].text.rfind("circuit.model:2: ", 0), 0u) << broken.lines[0].text;

  const RunPlan missing = planRun(".include nowhere.model\n", path, "circuit.model");
  EXPECT_FALSE(missing.ok);

  // A simulator error names a record: it lands on that record's file line with its hint.
  const note::MessageRow* known = nullptr;
  for (const note::MessageRow& row : note::messageTable()) {
    if (std::string(row.text).find('%') == std::string::npos &&
        !note::messageHint(row.text).empty()) {
      known = &row;
      break;
    }
  }
  ASSERT_NE(known, nullptr);
  const RunReport error = interpretReport(*plan.image, {1002, std::string(known->text) + "\r\n"});
  EXPECT_EQ(error.kind, RunReport::Kind::kError);
  EXPECT_EQ(error.line, plan.image->recordFileLine[2]);
  EXPECT_EQ(error.hint, note::messageHint(known->text));
  EXPECT_EQ(error.message.find('\n'), std::string::npos);
  EXPECT_EQ(interpretReport(*plan.image, {1999, "x"}).line, 0) << "a record beyond the image";
  EXPECT_EQ(interpretReport(*plan.image, {3, " 0 0 1 "}).kind, RunReport::Kind::kViewWindow);
  EXPECT_EQ(interpretReport(*plan.image, {4, " 1 "}).kind, RunReport::Kind::kScales);
  EXPECT_EQ(interpretReport(*plan.image, {7, ""}).kind, RunReport::Kind::kOther);
}

TEST(RunPlan, StartRefusalsFollowTheSimulatorsCensus) {
  struct Case {
    platform::MarkerCounts counts;
    StartRefusal expected;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, StartRefusal::kNone},         {{9, 0, 0, 0}, StartRefusal::kNone},
      {{10, 0, 0, 0}, StartRefusal::kWindowLimit}, {{0, 1, 0, 0}, StartRefusal::kCalculating},
      {{12, 1, 0, 0}, StartRefusal::kCalculating},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(startRefusal(c.counts), c.expected)
        << c.counts.ended << " ended, " << c.counts.calculating;
  }
}

TEST(ModelStyles, EachPartOfALineGetsItsColour) {
  using S = TextStyle;
  struct Case {
    const char* line;
    std::vector<StyleRun> runs;
  };
  const Case cases[] = {
      {"R 1 2n, 1k {f 1} // load",
       {{0, 1, S::kKeyword},
        {2, 1, S::kNode},
        {4, 2, S::kNode},
        {8, 2, S::kNumber},
        {11, 5, S::kAnnotation},
        {17, 7, S::kComment}}},
      {"b  0n 2n, 1, 1m, -9.81 * p2",
       {{0, 1, S::kKeyword},
        {3, 2, S::kNode},
        {6, 2, S::kNode},
        {10, 1, S::kNumber},
        {13, 2, S::kNumber},
        {18, 4, S::kNumber},
        {25, 2, S::kReference}}},
      {".in 2  0.5  0",
       {{0, 3, S::kKeyword}, {4, 1, S::kNode}, {7, 3, S::kNumber}, {12, 1, S::kNumber}}},
      {".o x2.1, c1102", {{0, 2, S::kKeyword}, {3, 4, S::kReference}, {9, 5, S::kReference}}},
      {".o x3.9 \"out, 2 V\", p1",
       {{0, 2, S::kKeyword}, {3, 4, S::kReference}, {8, 10, S::kLabel}, {20, 2, S::kReference}}},
      {"   2.5e-3  // end", {{3, 6, S::kNumber}, {11, 6, S::kComment}}},
      {"// only a comment", {{0, 17, S::kComment}}},
      {"lb 1n 2n, 210G, 0",
       {{0, 2, S::kKeyword},
        {3, 2, S::kNode},
        {6, 2, S::kNode},
        {10, 4, S::kNumber},
        {16, 1, S::kNumber}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(styleModelLine(c.line), c.runs) << c.line;
  }
}

// Copies are private, named apart for models of the same name, offered only when
// newer than the model and not held by a living editor, and gone when removed.
TEST(RecoveryStore, CopiesAreOfferedOnlyWhenTheyHoldLostWork) {
  const std::string folder = movra::testing::scratchDirectory("recovery_store");
  const RecoveryStore store(folder + "/copies");
  fs::create_directories(folder + "/a");
  fs::create_directories(folder + "/b");
  const std::string a = folder + "/a/pendel.model";
  const std::string b = folder + "/b/pendel.model";
  std::ofstream(a) << "saved a\n";
  std::ofstream(b) << "saved b\n";
  EXPECT_NE(store.copyPathFor(a), store.copyPathFor(b));
  EXPECT_NE(store.copyPathFor("", 1), store.copyPathFor("", 2));

  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a copy newer than the file
  ASSERT_TRUE(store.write(a, 0, "edited a\n"));
  EXPECT_EQ(fs::status(store.copyPathFor(a)).permissions() & fs::perms::group_all, fs::perms::none);
  EXPECT_EQ(fs::status(store.folder()).permissions() & fs::perms::others_all, fs::perms::none);
  auto offered = store.offerFor(a);
  ASSERT_TRUE(offered.has_value());
  EXPECT_EQ(offered->text, "edited a\n");
  EXPECT_EQ(offered->modelPath, fs::absolute(a).string());
  EXPECT_FALSE(store.offerFor(b).has_value());
  EXPECT_TRUE(store.orphans().empty()) << "this editor is alive";

  // The file saved after the copy was written: the copy is stale.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ofstream(a) << "saved again\n";
  EXPECT_FALSE(store.offerFor(a).has_value());

  // A copy written by an editor that has ended (a child that wrote and exited).
  const pid_t child = fork();
  if (child == 0) _exit(store.write(b, 0, "lost b\n") ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const auto orphans = store.orphans();
  ASSERT_EQ(orphans.size(), 1u);
  EXPECT_EQ(orphans[0].text, "lost b\n");
  EXPECT_EQ(orphans[0].writer, static_cast<long>(child));
  EXPECT_TRUE(store.offerFor(b).has_value());

  store.remove(b);
  store.remove(a);
  EXPECT_FALSE(store.offerFor(b).has_value());
  EXPECT_TRUE(store.orphans().empty());
  EXPECT_FALSE(RecoveryStore::read(folder + "/a/pendel.model").has_value()) << "not a copy";
}

}  // namespace
}  // namespace movra::editor

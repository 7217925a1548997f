#include "app/hand_over.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "input/hand_over_layout.h"
#include "input/model_text.h"
#include "note/launcher.h"
#include "platform/shared_memory.h"
#include "support/foreign_objects.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

class HandOverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Blocks of this test process only, so parallel tests never meet.
    const std::string tag = "handover-" + std::to_string(getpid());
    setenv("MOVRA_SHM_TAG", tag.c_str(), 1);
    reporter.setSink(log.sink());
  }

  note::HandOverImage imageWith(int records) {
    note::HandOverImage image;
    image.records.resize(static_cast<size_t>(records));
    for (int r = 0; r < records; ++r) {
      clearRecord(image.records[r]);
      image.records[r].typeCode = 23;
      std::snprintf(image.records[r].fieldText[1], kFieldTextBytes, "%dk", r);
      image.records[r].fieldPresent[1] = 1;
      image.modelText += "R " + std::to_string(r + 1) + " 0, " + std::to_string(r) + "k\r\n";
    }
    image.secondCount = records;
    for (int n = 0; n < kNodeCount; ++n) image.nodes->nodeMap[n] = -1;
    image.nodes->x[7] = 0.25;
    image.nodes->y[999] = -3.5;
    image.nodes->kind[7] = 1;
    image.nodes->nodeList[0] = 7;
    image.nodes->nodeList[1] = -1;
    image.nodes->formulaIndex[100] = 42;
    return image;
  }

  Reporter reporter;
  testing::MessageLog log;
};

TEST_F(HandOverTest, SimulatorReadsExactlyWhatTheEditorWrote) {
  const note::HandOverImage image = imageWith(3);
  note::HandOverBlocks blocks(image, "text-block");
  ASSERT_TRUE(blocks.ok()) << blocks.error();

  auto model = makeModel();
  ASSERT_TRUE(app::copyHandOverBlocks(*model, reporter));
  EXPECT_TRUE(log.texts.empty());
  EXPECT_EQ(model->lastRecordIndex, 2);
  EXPECT_EQ(model->secondCount, 3);
  EXPECT_EQ(model->records[2].typeCode, 23);
  EXPECT_STREQ(model->records[2].fieldText[1], "2k");
  EXPECT_EQ(model->nodes.x[7], 0.25);
  EXPECT_EQ(model->nodes.y[999], -3.5);
  EXPECT_EQ(model->nodes.kind[7], 1);
  EXPECT_EQ(model->nodes.nodeMap[7], -1);
  EXPECT_EQ(model->nodes.nodeList[0], 7);
  EXPECT_EQ(model->nodes.formulaIndex[100], 42);

  // The text block is read by the model-text reader under the editor.
  model->handOverMode = 2;
  reporter.setHandOverMode(2);
  ASSERT_EQ(readModelText(*model, reporter, {"text-block", ""}), 0);
  EXPECT_EQ(std::string(model->numberedText).substr(0, 18), "$  0  R 1 0, 0k \r\n");
}

TEST_F(HandOverTest, TooManyRecordsAreRefusedInsteadOfReadPastTheBlock) {
  note::HandOverImage image = imageWith(3);
  note::HandOverBlocks blocks(image, "text-block");
  ASSERT_TRUE(blocks.ok());
  // An editor that claims 136 records: the block holds only 135.
  platform::SharedBlock counts;
  ASSERT_TRUE(platform::openSharedBlock(kCountBlockName, kCountBlockBytes, counts));
  ASSERT_TRUE(platform::mapSharedBlock(counts));
  std::snprintf(static_cast<char*>(counts.data), kCountBlockBytes, " 135 0 ");
  platform::unmapSharedBlock(counts);
  platform::closeSharedBlock(counts);

  auto model = makeModel();
  EXPECT_FALSE(app::copyHandOverBlocks(*model, reporter));
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_NE(log.texts[0].find("136"), std::string::npos);
}

TEST_F(HandOverTest, EditorRefusesAnImageThatDoesNotFit) {
  note::HandOverBlocks tooMany(imageWith(kHandOverRecordLimit + 1), "text-block");
  EXPECT_FALSE(tooMany.ok());
  note::HandOverImage image = imageWith(1);
  image.modelText.assign(kModelTextBytes, 'x');
  note::HandOverBlocks tooLong(image, "text-block");
  EXPECT_FALSE(tooLong.ok());
}

TEST_F(HandOverTest, WithoutAnEditorTheBlocksAreMadeEmptyAndRemovedAgain) {
  auto model = makeModel();
  ASSERT_TRUE(app::copyHandOverBlocks(*model, reporter));
  EXPECT_EQ(model->lastRecordIndex, -1);
  // Nothing is left behind in the shared-memory namespace.
  platform::SharedBlock probe;
  ASSERT_TRUE(platform::openSharedBlock(kRecordBlockName, 16, probe));
  EXPECT_TRUE(probe.created);
  platform::closeSharedBlock(probe);
}

TEST_F(HandOverTest, BlocksOfTheEditorAreGoneWhenItIsDone) {
  {
    note::HandOverBlocks blocks(imageWith(1), "text-block");
    ASSERT_TRUE(blocks.ok());
  }
  platform::SharedBlock probe;
  ASSERT_TRUE(platform::openSharedBlock("text-block", 16, probe));
  EXPECT_TRUE(probe.created);
  platform::closeSharedBlock(probe);
}

TEST_F(HandOverTest, BlocksMadeByOthersAreRefusedByNameAndLeftUntouched) {
  const auto how =
      testing::canGiveAway() ? testing::Planted::OtherOwner : testing::Planted::OpenToAll;
  const std::string reason = testing::refusalReason(how);
  struct Block {
    const char* name;
    const char* message;  // the simulator's own message for it
  };
  for (const Block block :
       {Block{kCountBlockName, " File失敗C0"}, Block{kRecordBlockName, " File失敗0"},
        Block{kNodeBlockName, " File失敗C"}}) {
    const std::string path = platform::sharedBlockPath(block.name);
    ASSERT_TRUE(testing::plantBlock(path, how)) << block.name;
    // The editor writes no model into it...
    {
      note::HandOverBlocks blocks(imageWith(2), "text-block");
      EXPECT_FALSE(blocks.ok()) << block.name;
      EXPECT_NE(blocks.error().find(path), std::string::npos) << blocks.error();
      EXPECT_NE(blocks.error().find(reason), std::string::npos) << blocks.error();
    }
    // ...and the simulator reads none out of it: start-up ends with the block's
    // message, which names it and says why.
    auto model = makeModel();
    log.texts.clear();
    EXPECT_FALSE(app::copyHandOverBlocks(*model, reporter)) << block.name;
    ASSERT_EQ(log.texts.size(), 1u) << block.name;
    EXPECT_EQ(log.texts[0].rfind(std::string(block.message) + "\n\n共有メモリ " + path, 0), 0u)
        << log.texts[0];
    EXPECT_NE(log.texts[0].find(reason), std::string::npos) << log.texts[0];
    EXPECT_EQ(testing::contentOf(testing::shmFile(path)), testing::kPlantedText) << block.name;
    testing::removePlantedBlock(path);
  }

  // The model text: the error goes to the editor, named the same way.
  const std::string path = platform::sharedBlockPath("text-block");
  ASSERT_TRUE(testing::plantBlock(path, how));
  auto model = makeModel();
  model->handOverMode = 2;
  reporter.setHandOverMode(2);
  EXPECT_EQ(readModelText(*model, reporter, {"text-block", ""}), 19);
  const std::string collected = reporter.errorBuffer();
  EXPECT_EQ(collected.rfind(" File失敗f1   text-block", 0), 0u) << collected;
  EXPECT_NE(collected.find(path), std::string::npos) << collected;
  EXPECT_EQ(model->modelText[0], 0);
  EXPECT_EQ(testing::contentOf(testing::shmFile(path)), testing::kPlantedText);
  testing::removePlantedBlock(path);
}

// Two editors at once: the blocks of each run carry its editor's id, are read
// and removed by its own simulator, and a block is never taken over by another
// editor nor removed by one that did not make it.
TEST_F(HandOverTest, EachRunHasBlocksOfItsOwnThatOnlyItsMakersRemove) {
  const std::string first = "4201";
  const std::string second = "4202";
  std::optional<note::HandOverBlocks> one;
  one.emplace(imageWith(2), "text-" + first, first);
  note::HandOverBlocks other(imageWith(3), "text-" + second, second);
  ASSERT_TRUE(one->ok()) << one->error();
  ASSERT_TRUE(other.ok()) << other.error();
  // A second editor under a taken name writes nothing into the first one's block.
  {
    note::HandOverBlocks again(imageWith(5), "text-" + first, first);
    EXPECT_FALSE(again.ok());
    EXPECT_NE(again.error().find("既にある"), std::string::npos) << again.error();
  }
  const std::string counts = platform::sharedBlockPath(handOverBlockName(kCountBlockName, first).c_str());
  EXPECT_NE(testing::contentOf(testing::shmFile(counts)), "<gone>") << "removed by the refused editor";

  auto model = makeModel();
  ASSERT_TRUE(app::copyHandOverBlocks(*model, reporter, first));
  EXPECT_EQ(model->lastRecordIndex, 1) << "read the other run's records";
  // Copied, the blocks are gone at once, whatever happens to the editor later.
  EXPECT_EQ(testing::contentOf(testing::shmFile(counts)), "<gone>");
  auto otherModel = makeModel();
  ASSERT_TRUE(app::copyHandOverBlocks(*otherModel, reporter, second));
  EXPECT_EQ(otherModel->lastRecordIndex, 2);

  // The name, free again, is taken by someone else: the first editor, ending now,
  // leaves that block alone.
  ASSERT_TRUE(testing::plantBlock(counts, testing::Planted::GroupReadable));
  one.reset();
  EXPECT_EQ(testing::contentOf(testing::shmFile(counts)), testing::kPlantedText);
  testing::removePlantedBlock(counts);
}

app::LaunchArguments launchWith(std::vector<std::string> arguments) {
  app::LaunchArguments launch;
  launch.arguments = std::move(arguments);
  return launch;
}

TEST_F(HandOverTest, LaunchModesFromTheMarker) {
  auto none = launchWith({"movra-sim"});
  EXPECT_EQ(app::checkArguments(none, reporter), app::LaunchCheck::EndSilently);
  auto one = launchWith({"movra-sim", "block"});
  EXPECT_EQ(app::checkArguments(one, reporter), app::LaunchCheck::EndSilently);
  EXPECT_TRUE(log.texts.empty());

  auto check = launchWith({"movra-sim", "block", "_a1_", "model", "0"});
  EXPECT_EQ(app::checkArguments(check, reporter), app::LaunchCheck::Go);
  EXPECT_EQ(check.handOverMode, 1);
  EXPECT_EQ(check.interactionMode, 0);
  auto drag = launchWith({"movra-sim", "block", "_a4_", "model", "0"});
  EXPECT_EQ(app::checkArguments(drag, reporter), app::LaunchCheck::Go);
  EXPECT_EQ(drag.handOverMode, 4);
  EXPECT_EQ(drag.interactionMode, 2);
}

TEST_F(HandOverTest, UnknownMarkerShowsTheVersionAndScaleGoesOnWithoutEditor) {
  auto old = launchWith({"movra-sim", "block", "_a9_", "model"});
  EXPECT_EQ(app::checkArguments(old, reporter), app::LaunchCheck::End);
  ASSERT_EQ(log.texts.size(), 1u);
  EXPECT_EQ(log.texts[0], "バージョンが不一致？  v-7.72  4  0:movra-sim  1:block  2:_a9_  3:model");

  auto scale = launchWith({"movra-sim", "model", "scale", "x", "0", "keys.log"});
  EXPECT_EQ(app::checkArguments(scale, reporter), app::LaunchCheck::Go);
  EXPECT_TRUE(scale.scaleForm);
  EXPECT_EQ(scale.handOverMode, 0);
  EXPECT_EQ(scale.arguments.size(), 2u);
  EXPECT_EQ(scale.at(5), "");
}

}  // namespace
}  // namespace movra

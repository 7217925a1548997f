// Frames, the display list, the frame ring and "out.txt", over a model whose
// element the test supplies.
#include "engine/recording.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>
#include <fstream>
#include <sstream>
#include <string>

#include "app/export.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "platform/shared_memory.h"
#include "support/engine_fixture.h"
#include "support/foreign_objects.h"

namespace movra {
namespace {

constexpr int kTestCode = 19;
int gShapesPerFrame = 0;

// x = kt (its own row: F = x - kt), and a number of shapes when recording.
int steppingEvaluator(EvaluationContext& context, int row) {
  Run& run = context.run;
  const int x = context.model.elements[row].variableSlots[1];
  run.F[x] += run.X[x] - run.kt;
  run.jacobian(x, x) += 1.0;
  if (run.recordingFlag >= 1) {
    for (int s = 0; s < gShapesPerFrame; ++s) recordShape4(run.display, s, 0.0, 1.0, 3);
  }
  return 0;
}

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string tag = "recording-" + std::to_string(getpid());
    setenv("MOVRA_SHM_TAG", tag.c_str(), 1);
    gShapesPerFrame = 0;
    f.addElement(kTestCode, {3000}, "T 1");
    Model& model = *f.model;
    model.count.outputs = 2;
    model.outputs[1].slot = 1;
    model.outputs[2].slot = 3000;
    model.outputs[2].componentDigit = 1;
    double* c = model.timeConditions;
    c[1] = 1;
    c[2] = 0;
    c[3] = 1;
    c[4] = 0.1;
    c[5] = 1;
    c[6] = 1e-99;
  }
  int simulate() {
    if (prepareRun(*f.model, *f.run, f.reporter) != 0) return -1;
    return runSimulation(*f.model, *f.run, f.reporter, f.host);
  }

  testing::EngineFixture f;
  testing::EvaluatorOverride stepping{kTestCode, steppingEvaluator};
};

TEST_F(RecordingTest, ShapesBeyondTheLimitsAreDroppedWithoutAWord) {
  DisplayList list;
  for (int i = 0; i < 1200; ++i) recordShape4(list, i, 0, 0, 1);
  EXPECT_EQ(list.count, 1001);
  EXPECT_EQ(list.cursor, 4004);
  list.clear();
  for (int i = 0; i < 1000; ++i) recordShape1(list, 0, 0, 0, 0, 0, 0, 0, 0, 1);  // 9 numbers each
  recordShape1(list, 1, 1, 1, 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(list.count, 1001);
  EXPECT_LE(list.cursor, kPoolCapacity);
}

TEST_F(RecordingTest, FrameLayoutEndsWithOutputsCountersAndWatchedValues) {
  gShapesPerFrame = 2;
  ASSERT_EQ(simulate(), 0);
  movra::Run& run = *f.run;
  // Two shapes of 4 numbers, kind 17 with X[0..N], then the outputs.
  const int shapes = 2 * 4;
  EXPECT_EQ(run.outputBlockStart, shapes + 1 + run.unknownCount);
  for (int frame = 0; frame <= run.lastFrame; ++frame) {
    EXPECT_DOUBLE_EQ(recordedOutput(run, frame, 2), frame);
    const double* numbers = run.frames.frame(frame);
    const int counters = run.outputBlockStart + f.model->count.outputs;
    EXPECT_EQ(numbers[counters], 1);                 // elements
    EXPECT_EQ(numbers[counters + 1], run.unknownCount);
  }
  EXPECT_EQ(run.frames.recordLength, run.outputBlockStart + 2 + 5 + 2);
}

TEST_F(RecordingTest, TwoRunsGetTwoRingsThatLeaveNoBlockBehind) {
  ASSERT_EQ(simulate(), 0);
  auto second = makeRun();
  ASSERT_EQ(prepareRun(*f.model, *second, f.reporter), 0);
  ASSERT_EQ(runSimulation(*f.model, *second, f.reporter, f.host), 0);  // the same clock value
  // Separate memory: a write into one ring is not seen in the other.
  double* first = f.run->frames.frame(0);
  double* other = second->frames.frame(0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(other, nullptr);
  const double kept = first[0];
  other[0] = kept + 12345.0;
  EXPECT_EQ(first[0], kept);
  // No name stays in the system, even while the rings are in use: a killed
  // simulator leaves nothing in /dev/shm.
  for (const char* name : {f.run->frames.name, second->frames.name}) {
    platform::SharedBlock probe;
    ASSERT_TRUE(platform::openSharedBlock(name, 8, probe));
    EXPECT_TRUE(probe.created) << name;
    platform::closeSharedBlock(probe);
  }
}

TEST_F(RecordingTest, RingIsAlwaysMadeFreshNeverOpenedFromANameFoundThere) {
  // Blocks already under the names of this clock value and the next: another
  // account's, and even a private one of ours (another simulator's ring).
  constexpr long long kClock = 4321;
  const std::string taken[] = {platform::sharedBlockPath("000000004321_ts_"),
                               platform::sharedBlockPath("000000004322_ts_")};
  const auto first =
      testing::canGiveAway() ? testing::Planted::OtherOwner : testing::Planted::OpenToAll;
  ASSERT_TRUE(testing::plantBlock(taken[0], first));
  {
    const int fd = shm_open(taken[1].c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, testing::kPlantedText, 7), 7);
    close(fd);
  }
  FrameRing ring;
  ASSERT_EQ(createFrameRing(ring, kClock, 4, 9), 0);
  EXPECT_EQ(std::string(ring.name).rfind("000000004321_ts_", 0), 0u) << ring.name;
  EXPECT_NE(platform::sharedBlockPath(ring.name), taken[0]);
  EXPECT_NE(platform::sharedBlockPath(ring.name), taken[1]);
  for (int f = 0; f <= 5; ++f) {
    EXPECT_EQ(ring.frame(f)[9], 0.0);  // a fresh ring reads zero
    prepareFrame(ring, f);
    ring.frame(f)[9] = f;  // the whole ring is ours to write
  }
  EXPECT_EQ(ring.frame(6), nullptr);
  for (int f = 0; f <= 5; ++f) EXPECT_EQ(ring.frame(f)[9], f);
  for (const std::string& path : taken) {
    EXPECT_EQ(testing::contentOf(testing::shmFile(path)), testing::kPlantedText) << path;
    shm_unlink(path.c_str());
  }
}

// Names that follow the clock alone can all be taken beforehand (every name a
// run would try, one per millisecond), and a ring that cannot be made must say
// which block and why, not only " File失敗0".
TEST_F(RecordingTest, RingNamesCannotBeTakenBeforehandAndAFailureNamesTheBlock) {
  constexpr long long kClock = 777000;
  struct Planted {
    std::vector<std::string> paths;
    ~Planted() {
      for (const std::string& path : paths) shm_unlink(path.c_str());
    }
  } plantedNames;
  std::vector<std::string>& planted = plantedNames.paths;
  for (long long ms = kClock; ms < kClock + 1000; ++ms) {
    char name[32];
    std::snprintf(name, sizeof name, "%012lld_ts_", ms);
    planted.push_back(platform::sharedBlockPath(name));
    const int fd = shm_open(planted.back().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << planted.back();
    close(fd);
  }
  f.host.clockMs = kClock;
  EXPECT_EQ(simulate(), 0);
  EXPECT_TRUE(f.run->frames.exists());
  FrameRing other;
  ASSERT_EQ(createFrameRing(other, kClock, 4, 9), 0);
  EXPECT_STRNE(other.name, f.run->frames.name) << "two rings of one millisecond";
  releaseFrameRing(other);

  // A tag too long for a shm name: the ring cannot be made at all.
  setenv("MOVRA_SHM_TAG", std::string(300, 't').c_str(), 1);
  auto failed = makeRun();
  ASSERT_EQ(prepareRun(*f.model, *failed, f.reporter), 0);
  EXPECT_NE(runSimulation(*f.model, *failed, f.reporter, f.host), 0);
  ASSERT_FALSE(f.messages.shown.empty());
  const std::string message = f.messages.shown.back().text;
  EXPECT_EQ(message.rfind(" File失敗0\n\n共有メモリ /movra.", 0), 0u) << message;
  EXPECT_NE(message.find("_ts_"), std::string::npos) << message;
  EXPECT_NE(message.find("を作れない ("), std::string::npos) << message;
}

// Resident pages of the ring's first `bytes` bytes.
std::size_t residentBytes(const FrameRing& ring, std::size_t bytes) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> flags((bytes + page - 1) / page);
  if (mincore(ring.block.data, bytes, flags.data()) != 0) return 0;
  std::size_t resident = 0;
  for (unsigned char flag : flags) resident += (flag & 1) * page;
  return resident;
}

// The pages are made resident beside the writer, never far ahead of it: a run
// stopped early holds little it never wrote, and stopping never waits on the helper.
TEST_F(RecordingTest, RingPagesComeAheadOfTheWritesButNotFarAhead) {
  constexpr int kCapacity = 199;        // 201 frames
  constexpr int kRecordLength = 40959;  // 320 KB a frame, 64 MB in all
  FrameRing ring;
  ASSERT_EQ(createFrameRing(ring, 98765, kCapacity, kRecordLength), 0);
  ASSERT_TRUE(ring.preparer.joinable()) << "a ring this large is prepared by the helper";
  const std::size_t frameBytes = static_cast<std::size_t>(ring.stride()) * 8;
  for (int f = 0; f < 4; ++f) {
    prepareFrame(ring, f);
    ring.frame(f)[kRecordLength] = f + 0.5;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::size_t resident = residentBytes(ring, ring.block.size);
  EXPECT_GE(resident, 4 * frameBytes);
  EXPECT_LE(resident, 4 * frameBytes + std::size_t{9} * 1024 * 1024) << "far ahead of the writes";

  // Written to the end, every frame holds what was written into it.
  for (int f = 4; f <= kCapacity + 1; ++f) {
    prepareFrame(ring, f);
    ring.frame(f)[0] = f;
    ring.frame(f)[kRecordLength] = f + 0.5;
  }
  for (int f = 0; f <= kCapacity + 1; ++f) {
    if (f >= 4) {
      EXPECT_EQ(ring.frame(f)[0], f);
    }
    EXPECT_EQ(ring.frame(f)[kRecordLength], f + 0.5);
  }
  releaseFrameRing(ring);
  EXPECT_FALSE(ring.exists());

  // A ring let go right after it was made: the helper stops with it.
  ASSERT_EQ(createFrameRing(ring, 98766, kCapacity, kRecordLength), 0);
  releaseFrameRing(ring);
  EXPECT_FALSE(ring.exists());
}

TEST_F(RecordingTest, InteractiveFramesFormARing) {
  f.model->interactionMode = 1;
  f.model->timeConditions[3] = 0.4;  // a capacity of four frames
  int pumpsLeft = 12;
  struct StopAfter : testing::RecordingHost {
    int* left;
    void pumpMessages(movra::Run& run) override {
      clockMs += 1000;  // always behind real time, so no step waits
      if (--*left <= 0) run.runRequest = 2;
    }
  } host;
  host.left = &pumpsLeft;
  host.clockMs = 0;
  ASSERT_EQ(prepareRun(*f.model, *f.run, f.reporter), 0);
  f.run->interactionMode = 1;
  EXPECT_EQ(runSimulation(*f.model, *f.run, f.reporter, host), kRunStopped);
  movra::Run& run = *f.run;
  ASSERT_EQ(run.frames.capacity, 4);
  // The sixth advance (step 5) wrote frame 0 again: it now holds a later step.
  EXPECT_GE(run.kt, 5);
  EXPECT_GT(recordedOutput(run, 0, 2), 4);
}

TEST_F(RecordingTest, StoppedRunKeepsItsFramesAndExportsThem) {
  struct StopAtFour : testing::RecordingHost {
    void pumpMessages(movra::Run& run) override {
      if (run.kt == 4) sendStopCommand(run);
    }
    void sendStopCommand(movra::Run& run) override {
      run.runRequest = 2;
      run.runEnded = 1;
    }
  } host;
  // An item that is not shown stays out of every line.
  f.model->count.outputs = 3;
  f.model->outputs[3] = f.model->outputs[2];
  f.model->outputs[2].outputKind = -1;
  ASSERT_EQ(prepareRun(*f.model, *f.run, f.reporter), 0);
  EXPECT_EQ(runSimulation(*f.model, *f.run, f.reporter, host), kRunStopped);
  ASSERT_EQ(f.run->lastFrame, 3);
  const std::string directory = ::testing::TempDir();
  ASSERT_TRUE(app::exportOutputs(*f.model, *f.run, f.reporter, directory));
  std::ifstream file(directory + "out.txt");
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(),
            " 0          0         \n 0.1        1         \n 0.2        2         \n"
            " 0.3        3         \n");
}

TEST_F(RecordingTest, NothingIsExportedWithoutAFrame) {
  const std::string directory = ::testing::TempDir() + "empty_export_" + std::to_string(getpid()) + "/";
  std::remove((directory + "out.txt").c_str());
  EXPECT_TRUE(app::exportOutputs(*f.model, *f.run, f.reporter, directory));
  std::ifstream file(directory + "out.txt");
  EXPECT_FALSE(file.good());
  f.run->lastFrame = 0;
  EXPECT_FALSE(app::exportOutputs(*f.model, *f.run, f.reporter, "/nonexistent/dir/"));
  // The specified text first, then which file and why.
  EXPECT_EQ(f.messages.last(), " Can't open out.txt \n\n/nonexistent/dir/out.txt：No such file or directory");
}

}  // namespace
}  // namespace movra

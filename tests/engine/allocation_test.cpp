// The step loop allocates nothing: every array a run needs is in Run and Model, and
// the frame ring is made once, at step 0. Counted through replaced global operator
// new / new[] (all forms) in this test binary; malloc itself is not counted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/recording.h"
#include "engine/run_setup.h"
#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace {

std::atomic<long long> allocations{0};

void* counted(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void* countedAligned(std::size_t size, std::align_val_t alignment) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  const std::size_t a = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (size + a - 1) / a * a;  // aligned_alloc wants a multiple
  if (void* p = std::aligned_alloc(a, rounded == 0 ? a : rounded)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) { return countedAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return countedAligned(size, alignment); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace movra {
namespace {

using testing::RecordLine;

constexpr int kSections = 12;
constexpr int kElectrical = 2;  // node kind of the electrical domain
constexpr int kMaxSnapshots = 64;

// Takes the allocation count after each recorded step, into storage of its own so
// that taking it allocates nothing. The final repaint after the run is left out.
class CountingHost : public RunHost {
 public:
  void pumpMessages(Run&) override {}
  void repaint(Run& run) override {
    if (run.running != 1 || taken >= kMaxSnapshots) return;
    count[taken] = allocations.load(std::memory_order_relaxed);
    step[taken] = run.kt;
    ++taken;
  }
  void sendStopCommand(Run& run) override { run.runRequest = 2; }
  void appendTitleNotice(const char*) override {}
  int plotGraphs(Run&) override { return 0; }
  long long nowMs() override { return 1000; }

  std::array<long long, kMaxSnapshots> count{};
  std::array<int, kMaxSnapshots> step{};
  int taken = 0;
};

// An RC ladder as the editor hands it over: "V 1 0, 5 * p2, 0", then R k k+1 and
// C k+1 0 per section, two outputs, second-order method at 10 us. The source's field
// is a formula, so the element-field pass runs at every attempt.
std::vector<RecordLine> ladder(int steps) {
  std::vector<RecordLine> lines;
  lines.push_back({"V 1 0, 5 * p2, 0", 21, 0, 0, {"5 * p2", "0"}});
  for (int k = 1; k <= kSections; ++k) {
    const std::string a = std::to_string(k);
    const std::string b = std::to_string(k + 1);
    lines.push_back({"R " + a + " " + b + ", 1k", 23, 0, 0, {"1k"}});
    lines.push_back({"C " + b + " 0, 1u", 24, 0, 0, {"1u"}});
  }
  const std::string last = "x" + std::to_string(kSections + 1) + ".9";
  lines.push_back({".o x2.9, " + last, 0, 0, 0, {"x2.9", last}});
  char end[32];
  std::snprintf(end, sizeof end, "%gu", steps * 10.0);
  RecordLine time{".t 2", 71, 4, 0, {"2"}};
  time.block = std::string("2\n0\n") + end + "\n10u\n1";
  lines.push_back(time);
  for (const char* row : {"0", static_cast<const char*>(end), "10u", "1"}) {
    lines.push_back({std::string("   ") + row, 0, 0, 1});
  }
  return lines;
}

class AllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reporter.setSink(log.sink());
    // Frame rings of parallel test processes must not meet.
    setenv("MOVRA_SHM_TAG", ("allocation-" + std::to_string(getpid())).c_str(), 1);
  }

  // Reads the ladder as the simulator does; nodes and kinds as the editor sets them.
  void read(Model& model, int steps) {
    const std::vector<RecordLine> lines = ladder(steps);
    testing::handOver(model, lines);
    for (size_t r = 0; r < lines.size(); ++r) {
      StatementRecord& record = model.records[r];
      if (record.typeCode < 21 || record.typeCode > 24) continue;
      std::sscanf(lines[r].text.c_str() + 2, "%d %d", &record.firstNode, &record.secondNode);
    }
    for (int node = 1; node <= kSections + 1; ++node) model.nodes.kind[node] = kElectrical;
    ASSERT_EQ(numberModelText(model, reporter, ""), 0) << last();
    ASSERT_EQ(readStatements(model, reporter), 0) << last();
  }

  // Allocations from the run's preparation to its end, for a fresh model and run.
  long long allocationsOfRun(int steps, CountingHost& host) {
    auto model = makeModel();
    read(*model, steps);
    if (HasFatalFailure()) return -1;
    auto run = makeRun();
    const long long before = allocations.load();
    const int prepared = prepareRun(*model, *run, reporter);
    const int status = prepared == 0 ? runSimulation(*model, *run, reporter, host) : -1;
    const long long after = allocations.load();
    EXPECT_EQ(prepared, 0) << last();
    EXPECT_EQ(status, kRunNormal) << last();
    EXPECT_EQ(run->kt, steps);
    // The first node has charged: the run computed something.
    EXPECT_GT(recordedOutput(*run, steps, 2), 0.05);
    return after - before;
  }

  std::string last() const { return log.texts.empty() ? "" : log.texts.back(); }

  Reporter reporter;
  testing::MessageLog log;
};

TEST(AllocationCounter, CountsGlobalOperatorNew) {
  // Without the replacements linked in the tests below would pass for nothing.
  const long long before = allocations.load();
  void* single = ::operator new(24);
  void* array = ::operator new[](24);
  ::operator delete(single);
  ::operator delete[](array);
  EXPECT_EQ(allocations.load() - before, 2);
}

TEST_F(AllocationTest, NoStepAfterTheFirstAllocates) {
  CountingHost host;
  constexpr int kSteps = 40;
  allocationsOfRun(kSteps, host);
  ASSERT_EQ(host.taken, kSteps + 1);
  // Snapshot 0 follows step 0, which made the frame ring.
  std::string allocating;
  for (int i = 1; i < host.taken; ++i) {
    const long long made = host.count[i] - host.count[i - 1];
    if (made != 0) allocating += " step " + std::to_string(host.step[i]) + ": " + std::to_string(made) + ";";
  }
  EXPECT_EQ(allocating, "");
}

TEST_F(AllocationTest, LongerRunAllocatesNoMoreThanAShortOne) {
  CountingHost shortHost;
  CountingHost longHost;
  const long long shortRun = allocationsOfRun(10, shortHost);
  const long long longRun = allocationsOfRun(20, longHost);
  EXPECT_EQ(longRun, shortRun);
  RecordProperty("allocations_of_a_run", std::to_string(shortRun));
}

}  // namespace
}  // namespace movra

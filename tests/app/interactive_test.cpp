// An interactive run (launch marker "_a3_", node dragging) of a pendulum inside a
// real main window on the offscreen platform, driven by the driver itself: the
// pointer actions arrive between steps, from the driver's own message pump, the
// way a user's actions arrive while the calculation runs.
//
// Interactive runs pace themselves to real time and never end by themselves, so
// every scenario ends with a pause request (RunRequest 2), and the host forces
// that request after a bounded number of pumps or of real seconds whatever the
// scenario reached: a broken run fails the checks instead of hanging.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_host.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "support/in_process_run.h"
#include "support/window_tests.h"

namespace movra::app {
namespace {

using movra::testing::ensureApplication;
using movra::testing::kPendulum;

constexpr int kDraggedNode = 2;
constexpr double kLinkLength = 0.5;

// Where the pointer drags node 2: 45 degrees below the horizontal on the link's
// circle, (0.354, -0.354), which is pixel (506, 436).
const QPoint kDragTarget(506, 436);

// Far from both nodes (node 1 at (400, 330), node 2 within 150 pixels of it).
const QPoint kEmptySpot(200, 150);

// Safety stops: the run is paused after this many pumps or this much real time,
// whatever the scenario reached. Real scenarios need a few seconds at most.
constexpr long long kMaxPumps = 20'000'000;
constexpr long long kMaxRealMs = 30'000;

struct PreparedModel {
  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<Run> run = makeRun();
  testing::ScriptedMessages messages;
  Reporter reporter;
};

// The model read and prepared as start-up leaves it for the "_a3_" launch (or
// "_a4_" with hand-over mode 4).
std::unique_ptr<PreparedModel> prepareInteractive(int kHandOverMode) {
  auto prepared = std::make_unique<PreparedModel>();
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  EXPECT_TRUE(note::readModelFile(kPendulum, image, errors));
  EXPECT_TRUE(note::readImage(image, *prepared->model, kHandOverMode).ok());
  prepared->reporter.setSink(prepared->messages.sink());
  prepared->reporter.setHandOverMode(kHandOverMode);
  EXPECT_EQ(prepareRun(*prepared->model, *prepared->run, prepared->reporter), 0);
  prepared->model->parameters[kGrabbedNodeEntry] = -1;
  return prepared;
}

LaunchArguments interactiveLaunch(int handOverMode) {
  LaunchArguments launch;
  launch.arguments = {"movra-sim", "", handOverMode == 4 ? "_a4_" : "_a3_", "pendel", "0"};
  launch.handOverMode = handOverMode;
  launch.interactionMode = handOverMode - 2;
  return launch;
}

// Forwards everything to the window's own host; before each pump it lets the
// scenario act on the run (send pointer events, ask for the pause), and it counts
// pumps and repaints.
class ScriptedHost : public RunHost {
 public:
  using Script = std::function<void(Run&)>;

  ScriptedHost(MainWindow& window, Script script)
      : window_(window), script_(std::move(script)), startMs_(window.host().nowMs()) {}

  void pumpMessages(Run& run) override {
    ++pumps_;
    if (run.runRequest == 0) script_(run);
    window_.host().pumpMessages(run);
    if (run.runRequest == 0 &&
        (pumps_ >= kMaxPumps || nowMs() - startMs_ >= kMaxRealMs)) {
      forcedStop_ = true;
      run.runRequest = 2;
    }
  }
  void repaint(Run& run) override {
    ++repaints_;
    window_.host().repaint(run);
  }
  void sendStopCommand(Run& run) override { window_.host().sendStopCommand(run); }
  void appendTitleNotice(const char* notice) override { window_.host().appendTitleNotice(notice); }
  int plotGraphs(Run& run) override { return window_.host().plotGraphs(run); }
  long long nowMs() override { return window_.host().nowMs(); }

  long long pumps() const { return pumps_; }
  long long repaints() const { return repaints_; }
  bool forcedStop() const { return forcedStop_; }

 private:
  MainWindow& window_;
  Script script_;
  long long startMs_;
  long long pumps_ = 0;
  long long repaints_ = 0;
  bool forcedStop_ = false;
};

struct InteractiveWindow {
  std::unique_ptr<PreparedModel> prepared;
  std::unique_ptr<MainWindow> window;

  explicit InteractiveWindow(int handOverMode = 3) {
    ensureApplication();
    prepared = prepareInteractive(handOverMode);
    window = std::make_unique<MainWindow>(*prepared->model, *prepared->run, prepared->reporter,
                                          interactiveLaunch(handOverMode));
    window->show();
    QCoreApplication::processEvents();
  }
  Model& model() { return *prepared->model; }
  Run& run() { return *prepared->run; }
  double entry(int id) { return prepared->model->parameters.get(id); }

  QPointF nodePosition(int node) {
    const Run& r = run();
    return QPointF(r.X[r.unknownOfKey[10 * node + 1]], r.X[r.unknownOfKey[10 * node + 2]]);
  }
  int runWith(ScriptedHost& host) {
    return runSimulation(model(), run(), prepared->reporter, host);
  }
};

double distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

// A pointer move with the left button down, as the platform delivers it.
void dragTo(MainWindow& window, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(window.mapToGlobal(at)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &move);
}

// Real-time pacing as seen from outside: the steps' planned time against the
// elapsed real time, from a reference step on.
struct LagMeter {
  int referenceStep = -1;
  long long referenceMs = 0;
  long long worstLagMs = 0;
  long long lastLagMs = 0;

  void sample(const Run& run, long long nowMs) {
    // The driver restarts its pacing at steps 0 and 1: measure from step 2 on.
    if (referenceStep < 0) {
      if (run.kt < 2) return;
      referenceStep = run.kt;
      referenceMs = nowMs;
      return;
    }
    const double plannedMs = (run.kt - referenceStep) * run.hSim * 1000.0;
    lastLagMs = static_cast<long long>(std::llround((nowMs - referenceMs) - plannedMs));
    worstLagMs = std::max(worstLagMs, lastLagMs);
  }
  void report(const char* scenario) const {
    std::printf("[ lag      ] %s: last %lld ms, worst %lld ms behind the planned time\n", scenario,
                lastLagMs, worstLagMs);
    ::testing::Test::RecordProperty("last_lag_ms", std::to_string(lastLagMs));
    ::testing::Test::RecordProperty("worst_lag_ms", std::to_string(worstLagMs));
  }
};

// --- dragging node 2 ---

// What a drag of node 2 from its place to kDragTarget left behind.
struct DragRecord {
  int status = -1;
  bool forcedStop = false;
  bool pressed = false;
  bool reachedTarget = false;
  bool released = false;
  bool finished = false;

  bool foundUnderPointer = false;  // the pick found node 2 at its pixel
  int pressStep = -1;
  int targetStep = -1;
  int releaseStep = -1;
  int stopStep = -1;
  QPointF startPosition;  // node 2 when pressed

  bool grabbedThroughout = true;      // entry -10095 held 2 from press to release
  bool pointerStoredThroughout = true;  // the pointer entries held the target's point
  QPointF targetPoint;                // model point under kDragTarget
  double worstDistanceWhileHeld = 0;  // node 2 to the target point, late in the drag
  double closestDistanceWhileHeld = 1e9;
  int grabbedAfterRelease = 0;
  QPointF releasePosition;
  double largestMoveAfterRelease = 0;
  bool stayedOnCircle = true;
  // The pointer nodes of the second mode: 198 to the target late in the drag, and
  // the farther of 198 and 199 from the origin at the end, 0.3 s after the release.
  double worstHandDistanceWhileHeld = 0;
  double handsFromOriginAfterRelease = 0;
  LagMeter lag;
};

// Steps of the drag: the pointer reaches the target in kMoveCount moves, one every
// kStepsPerMove steps; it then stays there for kHeldSteps steps; the last
// kSettledSteps of those are compared with the node. After the release the run goes
// on for kFreeSteps steps.
constexpr int kPressAtStep = 100;
constexpr int kMoveCount = 10;
constexpr int kStepsPerMove = 5;
constexpr int kHeldSteps = 500;
constexpr int kSettledSteps = 200;
constexpr int kFreeSteps = 300;

DragRecord dragNodeTwo(int handOverMode = 3) {
  InteractiveWindow fixture(handOverMode);
  MainWindow& window = *fixture.window;
  DragRecord record;
  record.targetPoint = window.pixelToModel(QPointF(kDragTarget));
  QPoint pressedAt;
  int movesDone = 0;
  int lastMoveStep = -1;
  int lastSampledStep = -1;

  ScriptedHost* hostOf = nullptr;
  ScriptedHost host(window, [&](movra::Run& run) {
    record.lag.sample(run, hostOf->nowMs());
    const QPointF node = fixture.nodePosition(kDraggedNode);
    if (std::fabs(distance(node, QPointF(0, 0)) - kLinkLength) > 0.01) {
      record.stayedOnCircle = false;
    }
    if (!record.pressed) {
      if (run.kt < kPressAtStep) return;
      pressedAt = window.nodePixel(kDraggedNode);
      record.foundUnderPointer = window.findNodeAt(QPointF(pressedAt)) == kDraggedNode;
      record.startPosition = node;
      record.pressStep = run.kt;
      QTest::mousePress(&window, Qt::LeftButton, {}, pressedAt);
      record.pressed = true;
      lastMoveStep = run.kt;
      return;
    }
    if (!record.released) {
      if (fixture.entry(kGrabbedNodeEntry) != kDraggedNode) record.grabbedThroughout = false;
    }
    if (!record.reachedTarget) {
      if (run.kt < lastMoveStep + kStepsPerMove) return;
      ++movesDone;
      const QPoint at = pressedAt + (kDragTarget - pressedAt) * movesDone / kMoveCount;
      dragTo(window, movesDone == kMoveCount ? kDragTarget : at);
      lastMoveStep = run.kt;
      if (movesDone == kMoveCount) {
        record.reachedTarget = true;
        record.targetStep = run.kt;
      }
      return;
    }
    if (!record.released) {
      const QPointF pointer(fixture.entry(kPointerXEntry), fixture.entry(kPointerYEntry));
      if (distance(pointer, record.targetPoint) > 1e-12) record.pointerStoredThroughout = false;
      if (run.kt >= record.targetStep + kHeldSteps - kSettledSteps && run.kt != lastSampledStep) {
        lastSampledStep = run.kt;
        const double d = distance(node, record.targetPoint);
        record.worstDistanceWhileHeld = std::max(record.worstDistanceWhileHeld, d);
        record.closestDistanceWhileHeld = std::min(record.closestDistanceWhileHeld, d);
        if (handOverMode == 4) {
          record.worstHandDistanceWhileHeld =
              std::max(record.worstHandDistanceWhileHeld,
                       distance(fixture.nodePosition(kPointerNodeA), record.targetPoint));
        }
      }
      if (run.kt < record.targetStep + kHeldSteps) return;
      QTest::mouseRelease(&window, Qt::LeftButton, {}, kDragTarget);
      record.released = true;
      record.releaseStep = run.kt;
      record.releasePosition = node;
      record.grabbedAfterRelease = static_cast<int>(fixture.entry(kGrabbedNodeEntry));
      return;
    }
    record.largestMoveAfterRelease =
        std::max(record.largestMoveAfterRelease, distance(node, record.releasePosition));
    // Their dampers bring them back within a few hundredths of a second.
    if (handOverMode == 4) {
      record.handsFromOriginAfterRelease = 0;
      for (const int hand : {kPointerNodeA, kPointerNodeB}) {
        record.handsFromOriginAfterRelease = std::max(
            record.handsFromOriginAfterRelease, distance(fixture.nodePosition(hand), QPointF()));
      }
    }
    if (run.kt < record.releaseStep + kFreeSteps) return;
    record.finished = true;
    record.stopStep = run.kt;
    run.runRequest = 2;
  });
  hostOf = &host;

  record.status = fixture.runWith(host);
  record.forcedStop = host.forcedStop();
  std::printf("[ drag     ] steps: press %d, at target %d, release %d, stop %d; %lld pumps\n",
              record.pressStep, record.targetStep, record.releaseStep, record.stopStep,
              host.pumps());
  std::printf("[ drag     ] node 2 to the pointer's point late in the drag: %.4f..%.4f m\n",
              record.closestDistanceWhileHeld, record.worstDistanceWhileHeld);
  return record;
}

TEST(InteractiveDrag, RunGoesOnWhileDraggedAndTheNodeIsFreeAfterRelease) {
  const DragRecord record = dragNodeTwo();
  record.lag.report("drag");
  ASSERT_FALSE(record.forcedStop) << "the scenario did not finish: the run stalled";
  ASSERT_TRUE(record.finished);
  EXPECT_EQ(record.status, kRunStopped) << "RunRequest 2 pauses the run";

  EXPECT_TRUE(record.foundUnderPointer);
  EXPECT_TRUE(record.grabbedThroughout) << "node 2 stays grabbed while the button is down";
  EXPECT_TRUE(record.pointerStoredThroughout)
      << "the pointer entries hold the model point under the pointer";
  // The run keeps stepping while the user drags: the drag took 10 moves 5 steps
  // apart and a stay of 500 steps, all measured in steps the driver made.
  EXPECT_GE(record.releaseStep - record.pressStep, kMoveCount * kStepsPerMove + kHeldSteps);
  EXPECT_EQ(record.grabbedAfterRelease, -1) << "the release lets go of the node";
  EXPECT_TRUE(record.stayedOnCircle) << "the rigid link holds whatever the pointer does";
  // Let go 45 degrees below the horizontal, the pendulum swings on: in 0.3 s it
  // travels far more than 5 cm.
  EXPECT_GT(record.largestMoveAfterRelease, 0.05) << "the pendulum moves freely after release";
  EXPECT_GE(record.stopStep - record.releaseStep, kFreeSteps);
}

TEST(InteractiveDrag, GrabbedNodeFollowsThePointer) {
  const DragRecord record = dragNodeTwo();
  record.lag.report("drag");
  ASSERT_FALSE(record.forcedStop) << "the scenario did not finish: the run stalled";
  ASSERT_TRUE(record.reachedTarget && record.released);
  // The target lies on the link's circle, so the node can reach it. A free pendulum
  // passes it at speed and cannot stay within 5 cm of it for the 200 steps (0.2 s)
  // compared here; a node held by the pointer does.
  EXPECT_LT(distance(record.startPosition, record.targetPoint), 1.0);
  EXPECT_LT(record.worstDistanceWhileHeld, 0.05)
      << "node 2 did not follow the pointer to (" << record.targetPoint.x() << ", "
      << record.targetPoint.y() << ")";
}

// In the second mode the pointer moves the pointer nodes, and the held node follows
// them: node 198 sits on the smoothed pointer, 199 hangs between it and the node.
TEST(InteractiveDrag, SecondModeDragsTheNodeThroughThePointerNodes) {
  const DragRecord record = dragNodeTwo(4);
  record.lag.report("drag with pointer nodes");
  ASSERT_FALSE(record.forcedStop) << "the scenario did not finish: the run stalled";
  ASSERT_TRUE(record.reachedTarget && record.released);
  EXPECT_EQ(record.status, kRunStopped);
  EXPECT_TRUE(record.grabbedThroughout);
  EXPECT_TRUE(record.stayedOnCircle);
  EXPECT_LT(record.worstHandDistanceWhileHeld, 0.005)
      << "node 198 should rest on the pointer once the smoothing has settled";
  EXPECT_LT(record.worstDistanceWhileHeld, 0.05) << "node 2 did not follow the pointer nodes";
  EXPECT_EQ(record.grabbedAfterRelease, -1);
  EXPECT_GT(record.largestMoveAfterRelease, 0.05) << "the pendulum moves freely after release";
  EXPECT_LT(record.handsFromOriginAfterRelease, 1e-6) << "let go, the pointer nodes rest at 0";
}

// --- holding the run with the right button ---

struct HoldRecord {
  int status = -1;
  bool forcedStop = false;
  bool held = false;
  bool freed = false;
  bool finished = false;
  int holdStateAfterPress = -1;
  int heldStep = -1;
  int largestStepWhileHeld = -1;
  long long pumpsWhileHeld = 0;
  long long repaintsWhileHeld = 0;
  int holdStateAfterClick = -1;
  int grabbedAfterClick = 0;
  int freedStep = -1;
  int stopStep = -1;
};

constexpr int kHoldAtStep = 100;
constexpr long long kHeldPumps = 100;
constexpr long long kHeldRealMs = 300;  // long enough for hundreds of paced steps
constexpr int kStepsAfterFree = 100;

TEST(InteractiveHold, RightPressHoldsTheStepUntilALeftClick) {
  InteractiveWindow fixture;
  MainWindow& window = *fixture.window;
  HoldRecord record;
  long long heldAtPump = 0;
  long long heldAtMs = 0;
  long long repaintsAtHold = 0;
  LagMeter lag;

  ScriptedHost* hostOf = nullptr;
  ScriptedHost host(window, [&](movra::Run& run) {
    const long long now = hostOf->nowMs();
    if (!record.held) {
      lag.sample(run, now);
      if (run.kt < kHoldAtStep) return;
      // Only the press: the right release opens the view menu.
      QMouseEvent press(QEvent::MouseButtonPress, QPointF(kEmptySpot),
                        QPointF(window.mapToGlobal(kEmptySpot)), Qt::RightButton,
                        Qt::RightButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&window, &press);
      record.held = true;
      record.holdStateAfterPress = run.holdState;
      record.heldStep = run.kt;
      record.largestStepWhileHeld = run.kt;
      heldAtPump = hostOf->pumps();
      heldAtMs = now;
      repaintsAtHold = hostOf->repaints();
      return;
    }
    if (!record.freed) {
      record.largestStepWhileHeld = std::max(record.largestStepWhileHeld, run.kt);
      if (hostOf->pumps() - heldAtPump < kHeldPumps || now - heldAtMs < kHeldRealMs) return;
      record.pumpsWhileHeld = hostOf->pumps() - heldAtPump;
      record.repaintsWhileHeld = hostOf->repaints() - repaintsAtHold;
      QTest::mouseClick(&window, Qt::LeftButton, {}, kEmptySpot);
      record.freed = true;
      record.holdStateAfterClick = run.holdState;
      record.grabbedAfterClick = static_cast<int>(fixture.entry(kGrabbedNodeEntry));
      record.freedStep = run.kt;
      return;
    }
    if (run.kt < record.freedStep + kStepsAfterFree) return;
    record.finished = true;
    record.stopStep = run.kt;
    run.runRequest = 2;
  });
  hostOf = &host;

  record.status = fixture.runWith(host);
  record.forcedStop = host.forcedStop();
  std::printf("[ hold     ] held at step %d for %lld pumps (%lld repaints), freed at %d, stop %d\n",
              record.heldStep, record.pumpsWhileHeld, record.repaintsWhileHeld, record.freedStep,
              record.stopStep);
  lag.report("before the hold");

  ASSERT_FALSE(record.forcedStop) << "the scenario did not finish: the run stalled";
  ASSERT_TRUE(record.held && record.freed && record.finished);
  EXPECT_EQ(record.holdStateAfterPress, 1) << "the right press holds the run";
  EXPECT_EQ(record.largestStepWhileHeld, record.heldStep)
      << "a held run redraws the same step instead of stepping";
  EXPECT_EQ(record.freedStep, record.heldStep);
  EXPECT_GT(record.repaintsWhileHeld, 0) << "the held step is still redrawn";
  EXPECT_EQ(record.holdStateAfterClick, 0) << "a left click frees the run";
  EXPECT_EQ(record.grabbedAfterClick, -1) << "nothing lies under the click";
  EXPECT_GE(record.stopStep - record.freedStep, kStepsAfterFree) << "the run steps again";
  EXPECT_EQ(record.status, kRunStopped);
}

}  // namespace
}  // namespace movra::app

// The toolbar and the playback of recorded frames on the offscreen platform, driven
// by real press and release events on the bar and on the window: the button row,
// the display toggles, the hold buttons and their timer (ticked by hand), repeat,
// the graph button as the pause control of a run, and the time bar.
#include "app/toolbar.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/window_host.h"
#include "input/model_text.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "support/in_process_run.h"
#include "support/window_tests.h"

namespace movra::app {
namespace {

using movra::testing::ensureApplication;
using movra::testing::kPendulum;

LaunchArguments launchFor() {
  LaunchArguments launch;
  launch.arguments = {"movra-sim", "", "_a2_", "pendel", "0"};
  launch.handOverMode = 2;
  launch.interactionMode = 0;
  return launch;
}

struct ToolbarFixture {
  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<Run> run = makeRun();
  testing::ScriptedMessages messages;
  Reporter reporter;
  std::unique_ptr<MainWindow> window;
  Toolbar* bar = nullptr;

  explicit ToolbarFixture(const std::string& text = kPendulum) {
    ensureApplication();
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    EXPECT_TRUE(note::readModelFile(text, image, errors));
    EXPECT_TRUE(note::readImage(image, *model, 2).ok());
    reporter.setSink(messages.sink());
    reporter.setHandOverMode(2);
    EXPECT_EQ(prepareRun(*model, *run, reporter), 0);
    model->parameters[kGrabbedNodeEntry] = -1;
    window = std::make_unique<MainWindow>(*model, *run, reporter, launchFor());
    installToolbar(*window);
    bar = findToolbar(*window);
    window->show();
    QCoreApplication::processEvents();
  }

  int runToEnd() { return runWithHost(window->host()); }
  int runWithHost(RunHost& host) { return runSimulation(*model, *run, reporter, host); }

  QPoint centreOf(int index) const { return bar->button(index)->geometry().center(); }
  void press(int index) { QTest::mousePress(bar, Qt::LeftButton, {}, centreOf(index)); }
  void release(int index) { QTest::mouseRelease(bar, Qt::LeftButton, {}, centreOf(index)); }
  // Released below the bar: the press grabbed the pointer, so the bar still gets it.
  void releaseOff() { QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(400, 300)); }
  void click(int index) {
    press(index);
    release(index);
  }
  bool isDown(int index) const { return bar->button(index)->isDown(); }
  bool isChecked(int index) const { return bar->button(index)->isChecked(); }
  bool isEnabled(int index) const { return bar->button(index)->isEnabled(); }
  int frame() const { return run->currentFrame; }
  view::DisplayToggles& toggles() { return window->viewState().toggles; }

  // Ticks until the timer stops (or the limit), the way the period would.
  int tickUntilStopped(int limit) {
    int ticks = 0;
    while (bar->timerActive() && ticks < limit) {
      bar->tick();
      ++ticks;
    }
    return ticks;
  }
  // Pointer on the window, in playback mode: the time bar.
  void barPress(int x) { QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(x, 400)); }
  void barMove(int x) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 400),
                     QPointF(window->mapToGlobal(QPoint(x, 400))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &move);
  }
  void barRelease(int x) { QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(x, 400)); }
};

// Forwards to the window's host and runs a scripted action at chosen pumps, the way
// the user's clicks arrive in the middle of a run.
class ScriptedHost : public RunHost {
 public:
  explicit ScriptedHost(MainWindow& window) : window_(window) {}
  std::map<int, std::function<void()>> actions;

  void pumpMessages(Run& run) override {
    if (auto it = actions.find(++pumps_); it != actions.end()) it->second();
    window_.host().pumpMessages(run);
  }
  void repaint(Run& run) override { window_.host().repaint(run); }
  void sendStopCommand(Run& run) override { window_.host().sendStopCommand(run); }
  void appendTitleNotice(const char* notice) override { window_.host().appendTitleNotice(notice); }
  int plotGraphs(Run& run) override { return window_.host().plotGraphs(run); }
  long long nowMs() override { return window_.host().nowMs(); }

 private:
  MainWindow& window_;
  int pumps_ = 0;
};

// --- the row ---

TEST(ToolbarRow, ButtonsInOrderWithTextsTipsAndInitialToggles) {
  ToolbarFixture f;
  ASSERT_NE(f.bar, nullptr);
  EXPECT_EQ(f.bar->pos(), QPoint(0, 0));
  EXPECT_EQ(f.bar->width(), f.window->width());
  EXPECT_EQ(f.bar->height(), kToolbarBand) << "the bar fits the band above the pictures";

  const std::map<int, std::pair<QString, QString>> expected = {
      {0, {"　閉じる　", ""}},
      {1, {"[Ｇ]", "グラフ"}},
      {2, {"Ｎ", "節番号"}},
      {3, {"Ｆ", "力"}},
      {4, {"Ｅ", "要素"}},
      {5, {"＆", "残像"}},
      {8, {"|-", "初め・終り/繰返し"}},
      {9, {"<<", "早戻し"}},
      {10, {"_<", "戻す"}},
      {11, {">_", "進む"}},
      {12, {">>", "早送り"}},
  };
  int previousRight = 0;
  for (int i = 0; i < kButtonSlots; ++i) {
    QToolButton* b = f.bar->button(i);
    if (expected.count(i) == 0) {
      EXPECT_EQ(b, nullptr) << "slot " << i << " is a separator";
      EXPECT_EQ(f.bar->hitTest(QPoint(1, 1)), kNoButton);
      continue;
    }
    ASSERT_NE(b, nullptr) << i;
    EXPECT_EQ(b->text(), expected.at(i).first);
    EXPECT_EQ(b->toolTip(), expected.at(i).second);
    EXPECT_EQ(b->property("commandId").toInt(), 500 + i);
    EXPECT_GT(b->x(), previousRight) << "separators keep the groups apart";
    previousRight = b->x();
    EXPECT_EQ(f.bar->hitTest(b->geometry().center()), i);
  }
  // 14 separators of 8 pixels stand before the close button; groups are apart.
  EXPECT_EQ(f.bar->button(kCloseButton)->x(), 14 * 8);
  EXPECT_EQ(f.bar->button(kGraphButton)->x(),
            f.bar->button(kCloseButton)->geometry().right() + 1 + 48);
  // The border belongs to no button: only strictly inside counts.
  const QRect close = f.bar->button(kCloseButton)->geometry();
  EXPECT_EQ(f.bar->hitTest(close.topLeft()), kNoButton);
  EXPECT_EQ(f.bar->hitTest(close.topLeft() + QPoint(1, 1)), kCloseButton);

  EXPECT_FALSE(f.isChecked(kGraphButton));
  EXPECT_TRUE(f.isChecked(kNodeNumbersButton));
  EXPECT_TRUE(f.isChecked(kForcesButton));
  EXPECT_TRUE(f.isChecked(kElementsButton));
  EXPECT_FALSE(f.isChecked(kAfterimageButton));

  f.window->resize(700, 685);
  EXPECT_EQ(f.bar->width(), 700) << "the bar follows the window width";

  // Right presses on the bar are swallowed: no hold of the run, no menu.
  f.run->holdState = 0;
  QTest::mouseClick(f.bar, Qt::RightButton, {}, f.centreOf(kGraphButton));
  EXPECT_EQ(f.run->holdState, 0);
  EXPECT_FALSE(f.toggles().graph);
}

TEST(ToolbarRow, CloseNeedsPressAndReleaseOnTheButton) {
  ToolbarFixture f;
  f.press(kCloseButton);
  EXPECT_TRUE(f.isDown(kCloseButton));
  f.releaseOff();
  EXPECT_FALSE(f.isDown(kCloseButton));
  EXPECT_FALSE(f.window->destroyed()) << "slid off the close button: nothing closes";
  f.click(kCloseButton);
  EXPECT_TRUE(f.window->destroyed());
}

// --- toggles ---

TEST(ToolbarToggles, ChangeDisplayFlagsAndThePicture) {
  ToolbarFixture f;
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  f.window->repaint();  // the end of the run is taken in before the toggles change
  f.toggles().graph = false;
  EXPECT_EQ(view::displayFlags(f.toggles()), 0x17);
  f.window->composePicture();
  const QImage before = f.window->workSurface().copy(0, 0, 960, 685);

  f.click(kElementsButton);
  EXPECT_FALSE(f.toggles().elements);
  EXPECT_FALSE(f.isChecked(kElementsButton));
  EXPECT_TRUE(f.window->viewState().redrawRequest);
  EXPECT_EQ(view::displayFlags(f.toggles()), 0x15);
  f.window->composePicture();
  EXPECT_NE(f.window->workSurface().copy(0, 0, 960, 685), before) << "the elements vanish";

  f.click(kElementsButton);
  EXPECT_TRUE(f.toggles().elements);
  f.window->composePicture();
  EXPECT_EQ(f.window->workSurface().copy(0, 0, 960, 685), before);

  // An off toggle pressed and released elsewhere stays off; an on toggle pressed
  // and released elsewhere goes off all the same.
  f.click(kNodeNumbersButton);
  ASSERT_FALSE(f.toggles().nodeNumbers);
  f.press(kNodeNumbersButton);
  EXPECT_TRUE(f.isDown(kNodeNumbersButton)) << "an off toggle shows the press";
  f.releaseOff();
  EXPECT_FALSE(f.toggles().nodeNumbers);
  EXPECT_FALSE(f.isDown(kNodeNumbersButton));
  f.press(kForcesButton);
  f.releaseOff();
  EXPECT_FALSE(f.toggles().forces);
  EXPECT_EQ(view::displayFlags(f.toggles()), 0x03);
}

TEST(ToolbarToggles, GraphAndAfterimageExcludeEachOther) {
  ToolbarFixture f;
  f.click(kGraphButton);
  EXPECT_TRUE(f.toggles().graph);
  EXPECT_TRUE(f.isChecked(kGraphButton));
  f.click(kAfterimageButton);
  EXPECT_TRUE(f.toggles().afterimage);
  EXPECT_FALSE(f.toggles().graph);
  EXPECT_FALSE(f.isChecked(kGraphButton));
  f.click(kGraphButton);
  EXPECT_FALSE(f.toggles().afterimage);
  EXPECT_FALSE(f.isChecked(kAfterimageButton));
  // Turned on from outside (the stop command does), the button follows.
  f.toggles().graph = true;
  f.window->toolbarHooks().showToggles();
  EXPECT_TRUE(f.isChecked(kGraphButton));
}

// --- hold buttons and playback ---

TEST(ToolbarPlayback, FastRewindNearTheStartGoesToFrameZeroWithoutTimer) {
  ToolbarFixture f;
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  ASSERT_EQ(f.run->lastFrame, 400);
  f.run->currentFrame = 11;
  f.press(kFastRewindButton);
  EXPECT_EQ(f.frame(), 0);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame);
  EXPECT_FALSE(f.bar->timerActive());
  f.release(kFastRewindButton);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame) << "an end state outlives the release";

  // One frame further away it steps, waits a third of a second, then goes on.
  f.run->currentFrame = 12;
  f.press(kFastRewindButton);
  EXPECT_EQ(f.frame(), 1);
  EXPECT_EQ(f.bar->playbackState(), kFastRewinding);
  ASSERT_TRUE(f.bar->timerActive());
  EXPECT_EQ(f.bar->timerPeriod(), f.run->playbackPeriodMs);
  EXPECT_EQ(f.bar->countdown(), f.run->ticksPerThird);
  for (int i = 0; i < f.run->ticksPerThird; ++i) f.bar->tick();
  EXPECT_EQ(f.frame(), 1) << "the countdown holds the first steps back";
  f.bar->tick();
  EXPECT_EQ(f.frame(), 0);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame);
  EXPECT_FALSE(f.bar->timerActive());

  // A release on the held button stops the stepping and idles.
  f.run->currentFrame = 200;
  f.press(kBackButton);
  EXPECT_EQ(f.frame(), 199);
  f.release(kBackButton);
  EXPECT_FALSE(f.bar->timerActive());
  EXPECT_EQ(f.bar->playbackState(), kPlaybackIdle);
}

TEST(ToolbarPlayback, ForwardSlidOffKeepsSteppingToTheLastFrame) {
  ToolbarFixture f;
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  const int last = f.run->lastFrame;
  f.run->currentFrame = last - 5;
  f.press(kForwardButton);
  EXPECT_EQ(f.frame(), last - 4);
  f.releaseOff();
  EXPECT_TRUE(f.bar->timerActive()) << "released elsewhere, the button keeps stepping";
  EXPECT_EQ(f.bar->playbackState(), kSteppingForward);
  f.tickUntilStopped(100);
  EXPECT_EQ(f.frame(), last);
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);
  EXPECT_FALSE(f.bar->timerActive());

  // The paint refresh shows the state: at the end ">_" and ">>" are disabled.
  f.window->repaint();
  EXPECT_FALSE(f.isEnabled(kForwardButton));
  EXPECT_FALSE(f.isEnabled(kFastForwardButton));
  EXPECT_TRUE(f.isEnabled(kBackButton));
  f.click(kForwardButton);
  EXPECT_EQ(f.frame(), last) << "at the end a press stays there";

  // While stepping the held button shows checked.
  f.run->currentFrame = 100;
  f.press(kFastForwardButton);
  EXPECT_EQ(f.frame(), 111);
  f.window->repaint();
  EXPECT_TRUE(f.isChecked(kFastForwardButton));
  EXPECT_FALSE(f.isChecked(kForwardButton));
  f.release(kFastForwardButton);
  f.window->repaint();
  EXPECT_FALSE(f.isChecked(kFastForwardButton));
}

TEST(ToolbarPlayback, JumpClickAlternatesAndDraggingOffSwitchesRepeatOn) {
  ToolbarFixture f;
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  const int last = f.run->lastFrame;
  f.click(kJumpButton);
  EXPECT_EQ(f.frame(), 0);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame);
  EXPECT_FALSE(f.isDown(kJumpButton));
  f.click(kJumpButton);
  EXPECT_EQ(f.frame(), last);
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);
  EXPECT_EQ(f.bar->repeatFlag(), 0);

  f.press(kJumpButton);
  f.releaseOff();
  EXPECT_EQ(f.bar->repeatFlag(), 1);
  EXPECT_EQ(f.frame(), 0);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame);
  EXPECT_TRUE(f.isDown(kJumpButton)) << "the button stays down while repeat is on";

  // With repeat on, forward stepping wraps from the last frame to frame 0.
  f.run->currentFrame = last - 2;
  f.press(kForwardButton);
  f.releaseOff();
  f.tickUntilStopped(f.run->ticksPerThird + 2);
  EXPECT_EQ(f.frame(), 0);
  EXPECT_TRUE(f.bar->timerActive());
  f.click(kForwardButton);
  EXPECT_FALSE(f.bar->timerActive());

  f.click(kJumpButton);
  EXPECT_EQ(f.bar->repeatFlag(), 0) << "a plain click switches repeat off";
  EXPECT_FALSE(f.isDown(kJumpButton));
}

// A switch that closes at t = 0.5 s: stepping playback back to an earlier frame
// brings that frame's values back into the statements (the switch's state, its
// current), where the schematic and everything else that reads them find them.
TEST(ToolbarPlayback, SteppingBackRestoresTheFramesStatementValues) {
  ToolbarFixture f(R"(V 1 0, 5
Sw 1 2, 0.5, 0.5, 0, 10, 0, p1
R 2 0, 990
.o x2.9
.t 1
   0
   1
   10m
   1
)");
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  ASSERT_EQ(f.run->lastFrame, 100);
  int line = -1;
  for (int r = 0; r <= f.model->lastRecordIndex; ++r) {
    if (f.model->records[r].typeCode == 27) line = r;
  }
  ASSERT_GE(line, 0);
  const double* values = f.model->records[line].valueBlock;
  f.window->repaint();
  const double closedState = values[2];
  EXPECT_NEAR(values[0], 5.0 / 1000.0, 1e-7) << "closed: 5 V over 10 + 990 ohm";

  f.click(kJumpButton);
  f.window->repaint();
  ASSERT_EQ(f.frame(), 0);
  EXPECT_NE(values[2], closedState) << "frame 0 shows the switch open";
  EXPECT_NEAR(values[0], 0.0, 1e-9);

  // Forward one frame at a time until the switch closes, at the frame after 0.5 s.
  int closedAt = -1;
  for (int frame = 1; frame <= 100 && closedAt < 0; ++frame) {
    f.click(kForwardButton);
    f.window->repaint();
    ASSERT_EQ(f.frame(), frame);
    if (values[2] == closedState) closedAt = frame;
  }
  EXPECT_EQ(closedAt, 51);
  f.click(kBackButton);
  f.window->repaint();
  EXPECT_EQ(f.frame(), 50);
  EXPECT_NE(values[2], closedState);
}

TEST(ToolbarPlayback, WithOneFrameHoldButtonsStopAtOnceAndDeactivationIdles) {
  ToolbarFixture f;
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  f.run->lastFrame = 0;
  f.run->currentFrame = 0;
  f.press(kBackButton);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame);
  f.press(kFastForwardButton);
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);
  EXPECT_EQ(f.frame(), 0);
  EXPECT_FALSE(f.bar->timerActive());
  f.barPress(400);
  EXPECT_EQ(f.bar->barMode(), kBarNone) << "the time bar needs two frames";
  f.barRelease(400);

  f.run->lastFrame = 400;
  f.run->currentFrame = 200;
  f.press(kForwardButton);
  ASSERT_TRUE(f.bar->timerActive());
  f.window->toolbarHooks().stopPlayback();  // what deactivation calls
  EXPECT_FALSE(f.bar->timerActive());
  EXPECT_EQ(f.bar->playbackState(), kPlaybackIdle);
}

// --- during a run ---

TEST(ToolbarRun, GraphButtonPausesAndResumesAndFastForwardCountsPresses) {
  ToolbarFixture f;
  ScriptedHost host(*f.window);
  int countWhilePressed = -1;
  int frameBefore = -2;
  int frameAfterRewind = -3;
  host.actions[10] = [&] { f.press(kFastForwardButton); };
  host.actions[11] = [&] {
    countWhilePressed = f.run->fastForwardCount;
    frameBefore = f.frame();
    f.click(kFastRewindButton);  // playback buttons do nothing during a run
    frameAfterRewind = f.frame();
    f.release(kFastForwardButton);
  };
  host.actions[40] = [&] { f.click(kGraphButton); };
  const int status = f.runWithHost(host);
  EXPECT_EQ(countWhilePressed, 1);
  EXPECT_EQ(frameAfterRewind, frameBefore);
  EXPECT_EQ(f.run->fastForwardCount, 0);

  EXPECT_EQ(status, kRunStopped) << "the graph button paused the run";
  EXPECT_EQ(f.run->runEnded, 0);
  EXPECT_EQ(f.run->runRequest, 2);
  EXPECT_TRUE(f.window->windowTitle().contains(QStringLiteral("休止中")));
  EXPECT_TRUE(f.toggles().graph);
  const int pausedAt = f.run->kt;
  EXPECT_LT(pausedAt, 400);

  f.window->repaint();
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);
  EXPECT_TRUE(f.isEnabled(kJumpButton));

  // Graph off while paused resumes the run, which then runs to its end.
  f.click(kGraphButton);
  EXPECT_FALSE(f.toggles().graph);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.run->runEnded, 1);
  EXPECT_EQ(f.run->kt, 400);
  EXPECT_EQ(f.window->windowTitle(), QStringLiteral("pendel     _movra_    v-7.72"));
  f.window->repaint();
  EXPECT_TRUE(f.toggles().graph) << "a run that ends shows its graphs";
  EXPECT_TRUE(f.isChecked(kGraphButton));
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);

  // After the end the graph button is a plain toggle.
  f.click(kGraphButton);
  f.click(kGraphButton);
  EXPECT_EQ(f.run->runRequest, -2);
  EXPECT_TRUE(f.window->windowTitle().contains("_movra_"));
}

// --- time bar ---

TEST(ToolbarTimeBar, PressStepsThenDragPicksTheFrameUnderThePointer) {
  ToolbarFixture f;
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  ASSERT_EQ(f.run->frames.capacity, 400);
  const int last = f.run->lastFrame;
  ASSERT_EQ(f.frame(), last);

  // Left of the current frame the press steps forward (here: stays at the end).
  f.barPress(400);
  EXPECT_EQ(f.bar->barMode(), kBarForward);
  EXPECT_EQ(f.frame(), last);
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);
  f.barMove(400);
  EXPECT_EQ(f.frame(), last) << "the pointer has not reached the current frame";
  f.barMove(700);  // onto the current frame: picked up
  EXPECT_EQ(f.bar->barMode(), kBarDragging);
  f.barMove(400);
  EXPECT_EQ(f.frame(), 200) << "300 of 600 pixels";
  f.barMove(450);  // forward of the current frame: no longer at the end
  EXPECT_EQ(f.frame(), 233);
  EXPECT_EQ(f.bar->playbackState(), kPlaybackIdle);
  f.barMove(101);
  EXPECT_EQ(f.frame(), 0);
  EXPECT_EQ(f.bar->playbackState(), kAtFirstFrame);
  f.barMove(50);
  EXPECT_EQ(f.frame(), 0);
  f.barMove(800);
  EXPECT_EQ(f.frame(), last);
  EXPECT_EQ(f.bar->playbackState(), kAtLastFrame);
  f.barRelease(800);
  EXPECT_EQ(f.bar->barMode(), kBarNone);

  // Right of the current frame the press steps back, with the timer behind it.
  f.run->currentFrame = 100;
  f.barPress(400);
  EXPECT_EQ(f.bar->barMode(), kBarBack);
  EXPECT_EQ(f.frame(), 99);
  EXPECT_TRUE(f.bar->timerActive());
  f.barMove(200);  // frame 66, at or below the current one
  EXPECT_EQ(f.bar->barMode(), kBarDragging);
  EXPECT_FALSE(f.bar->timerActive());
  EXPECT_EQ(f.frame(), 66);
  f.barRelease(200);
  EXPECT_EQ(f.bar->barMode(), kBarNone);
  EXPECT_FALSE(f.bar->timerActive());
}

TEST(ToolbarTimeBar, PwmDragKeepsThePointerParity) {
  QFile file(QStringLiteral(MOVRA_SOURCE_DIR "/examples/pwm_switch.model"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  std::string text = file.readAll().toStdString();
  // Twice as long: 800 frames, more than one per pixel of the bar.
  const size_t at = text.find("   20m ");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 7, "   40m ");
  ToolbarFixture f(text);
  ASSERT_EQ(f.runToEnd(), kRunNormal);
  ASSERT_GT(f.model->pwmStatement, 0);
  ASSERT_EQ(f.run->frames.capacity, 800);
  f.barPress(700);  // at the last frame: one step back
  f.barMove(699);   // frame 798, at or below the current one: dragging
  ASSERT_EQ(f.bar->barMode(), kBarDragging);
  EXPECT_EQ(f.frame(), 799) << "798 has the other parity than 599";
  f.barMove(100 + 300);
  EXPECT_EQ(f.frame(), 400);
  f.barMove(100 + 303);  // 404 has the other parity than 303: the odd frame after
  EXPECT_EQ(f.frame(), 405);
  f.barMove(100 + 301);  // 401, odd like 301
  EXPECT_EQ(f.frame(), 401);
  f.barRelease(401);
}

}  // namespace
}  // namespace movra::app

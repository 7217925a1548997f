// The main window on the offscreen platform, driven by real events: context menus
// and their enable rules, wheel zoom of the view and of the scales, commands and
// titles, node grabbing in the interactive mode, and closing during a run.
#include "app/main_window.h"

#include <QAction>
#include <QElapsedTimer>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "app/export.h"
#include "app/window_host.h"
#include "plot/plot_window.h"
#include "input/model_text.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "platform/editor_link.h"
#include "support/in_process_run.h"
#include "support/window_tests.h"

namespace movra::app {
namespace {

using movra::testing::ensureApplication;
using movra::testing::kPendulum;

// The model read and prepared as start-up leaves it, but not yet run.
struct PreparedModel {
  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<Run> run = makeRun();
  testing::ScriptedMessages messages;
  Reporter reporter;
};

std::unique_ptr<PreparedModel> prepareModel(const char* text, int handOverMode) {
  auto prepared = std::make_unique<PreparedModel>();
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  EXPECT_TRUE(note::readModelFile(text, image, errors));
  EXPECT_TRUE(note::readImage(image, *prepared->model, handOverMode).ok());
  prepared->reporter.setSink(prepared->messages.sink());
  prepared->reporter.setHandOverMode(handOverMode);
  EXPECT_EQ(prepareRun(*prepared->model, *prepared->run, prepared->reporter), 0);
  prepared->model->parameters[kGrabbedNodeEntry] = -1;
  return prepared;
}

LaunchArguments launchFor(int handOverMode, const std::string& blockName = "",
                          const std::string& editor = "0") {
  static const char* const kMarkers[] = {"", "_a1_", "_a2_", "_a3_", "_a4_"};
  LaunchArguments launch;
  launch.arguments = {"movra-sim", blockName, kMarkers[handOverMode], "pendel", editor};
  launch.handOverMode = handOverMode;
  launch.interactionMode = handOverMode == 3 ? 1 : (handOverMode == 4 ? 2 : 0);
  return launch;
}

struct WindowFixture {
  std::unique_ptr<PreparedModel> prepared;
  std::unique_ptr<MainWindow> window;

  explicit WindowFixture(int handOverMode, LaunchArguments launch = {}) {
    ensureApplication();
    prepared = prepareModel(kPendulum.c_str(), handOverMode);
    if (launch.arguments.empty()) launch = launchFor(handOverMode);
    window =
        std::make_unique<MainWindow>(*prepared->model, *prepared->run, prepared->reporter, launch);
    window->show();
    QCoreApplication::processEvents();
  }
  Model& model() { return *prepared->model; }
  Run& run() { return *prepared->run; }
  view::ViewState& state() { return window->viewState(); }
};

// --- repaints during a run ---

// A burst of step repaints on a display becomes at most one paint per display frame,
// and the last request is always painted (the newest step shows); a batch run paints
// nothing during the run.
TEST(RunRepaints, CoalescedToTheDisplayPaceAndNoneInABatchRun) {
  ensureApplication();
  for (const bool batch : {false, true}) {
    auto prepared = prepareModel(kPendulum.c_str(), 2);
    WindowOptions options;
    options.batch = batch;
    MainWindow window(*prepared->model, *prepared->run, prepared->reporter, launchFor(2), options);
    window.show();
    QTest::qWait(50);
    int paints = 0;
    window.toolbarHooks().afterPaint = [&paints] { ++paints; };
    QElapsedTimer clock;
    clock.start();
    int requests = 0;
    while (clock.elapsed() < 200) {
      window.requestRunRepaint();
      ++requests;
      QCoreApplication::processEvents();
    }
    QTest::qWait(60);  // the deferred paint of the last request
    const int frames = static_cast<int>(clock.elapsed() / 16) + 2;
    if (batch) {
      EXPECT_EQ(paints, 0);
    } else {
      EXPECT_GE(paints, 3) << requests << " requests";
      EXPECT_LE(paints, frames) << requests << " requests";
      EXPECT_GT(requests, 10 * paints);
      // Nothing is left pending: a request long after the burst paints again.
      const int before = paints;
      window.requestRunRepaint();
      QTest::qWait(40);
      EXPECT_EQ(paints, before + 1);
    }
    window.toolbarHooks().afterPaint = nullptr;
  }
}

// --- context menus ---

struct SeenMenu {
  bool opened = false;
  QStringList texts;
  QList<int> ids;
  QList<bool> enabled;
  bool holdChecked = false;
};

// A right click at the point; the popup is read and closed (or one of its items
// clicked) from inside its own event loop.
SeenMenu rightClick(MainWindow& window, QPoint at, int clickId = 0) {
  SeenMenu seen;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    seen.opened = true;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      seen.texts << action->text();
      seen.ids << action->data().toInt();
      seen.enabled << action->isEnabled();
      if (action->data().toInt() == kHoldCommand) seen.holdChecked = action->isChecked();
    }
    QAction* chosen = MainWindow::findAction(menu, clickId);
    if (chosen != nullptr) {
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
    } else {
      menu->close();
    }
  });
  QTest::mouseClick(&window, Qt::RightButton, {}, at);
  QCoreApplication::processEvents();
  return seen;
}

bool enabledOf(const SeenMenu& seen, int id) {
  return seen.enabled.value(seen.ids.indexOf(id));
}

TEST(MainWindowMenus, ViewMenuItemsAndEnableRules) {
  WindowFixture ended(2);
  ended.run().runEnded = 1;
  SeenMenu seen = rightClick(*ended.window, QPoint(300, 400));
  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.texts, (QStringList{"元尺", "適用.vc", "中止", "保持 /!", "プロット"}));
  EXPECT_EQ(seen.ids, (QList<int>{40004, 40018, 40003, 40002, 40020}));
  EXPECT_TRUE(enabledOf(seen, 40004));
  EXPECT_FALSE(enabledOf(seen, 40003)) << "an ended run cannot be stopped";
  EXPECT_FALSE(enabledOf(seen, 40002));
  // The view menu opens at the top-left of the view area, not at the pointer.
  EXPECT_EQ(ended.window->lastMenuPosition(), ended.window->mapToGlobal(QPoint(0, 23)));
  EXPECT_EQ(ended.run().holdState, 1) << "the right press holds the run";

  WindowFixture dragging(3);
  dragging.run().running = 1;
  seen = rightClick(*dragging.window, QPoint(300, 400));
  EXPECT_TRUE(enabledOf(seen, 40003));
  EXPECT_TRUE(enabledOf(seen, 40002)) << "hold is offered in the dragging modes";

  WindowFixture playback(2);
  playback.run().running = 1;
  seen = rightClick(*playback.window, QPoint(300, 400));
  EXPECT_FALSE(enabledOf(seen, 40002));
  EXPECT_TRUE(enabledOf(seen, 40003));
}

// --- the plot window ---

// The view menu's plot entry waits for recorded frames, then opens the plots of
// the run with its outputs named, the cursor following the frame shown.
TEST(MainWindowMenus, PlotEntryOpensThePlotsOfTheRecordedFrames) {
  WindowFixture fresh(2);
  SeenMenu seen = rightClick(*fresh.window, QPoint(300, 400));
  EXPECT_FALSE(enabledOf(seen, kPlotCommand)) << "nothing is recorded yet";
  WindowFixture fixture(2);
  movra::testing::RecordingHost host;
  runSimulation(fixture.model(), fixture.run(), fixture.prepared->reporter, host);
  ASSERT_GT(fixture.run().lastFrame, 100);
  fixture.run().runEnded = 1;
  seen = rightClick(*fixture.window, QPoint(300, 400), kPlotCommand);
  EXPECT_TRUE(enabledOf(seen, kPlotCommand));
  auto* plots = fixture.window->findChild<plot::PlotWindow*>();
  ASSERT_NE(plots, nullptr);
  EXPECT_TRUE(plots->isVisible());
  const plot::PlotData& data = plots->data();
  EXPECT_EQ(data.time.size(), static_cast<size_t>(fixture.run().lastFrame + 1));
  ASSERT_EQ(data.series.size(), 2u);
  EXPECT_EQ(data.series[0].name, "x coordinate of node 2");
  EXPECT_EQ(data.series[1].unit, "m");
  EXPECT_EQ(data.charts.size(), 1u) << "both coordinates in metres";
  fixture.run().currentFrame = 100;
  QTest::qWait(150);
  EXPECT_DOUBLE_EQ(plots->cursorTime(), data.time[100]);

  // Opened while the run goes on, the window takes the frames recorded since.
  const int last = fixture.run().lastFrame;
  fixture.run().lastFrame = 50;
  rightClick(*fixture.window, QPoint(300, 400), kPlotCommand);
  auto* growing = fixture.window->findChild<plot::PlotWindow*>();
  ASSERT_NE(growing, nullptr);
  ASSERT_EQ(growing->data().time.size(), 51u);
  fixture.run().lastFrame = last;
  for (int waited = 0;
       waited < 3000 && growing->data().time.size() != static_cast<size_t>(last + 1); waited += 50)
    QTest::qWait(50);
  EXPECT_EQ(growing->data().time.size(), static_cast<size_t>(last + 1));
}

TEST(MainWindowMenus, ScaleZoneMenusSelectColumnsAndInitialCheckHasNone) {
  WindowFixture fixture(2);
  SeenMenu seen = rightClick(*fixture.window, QPoint(100, 680));
  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.texts, (QStringList{"元ｽｹｰﾙ"}));
  EXPECT_EQ(seen.ids, (QList<int>{40005}));
  EXPECT_EQ(fixture.window->selectedColumn(), 2) << "88 <= x < 176 is column 2";

  seen = rightClick(*fixture.window, QPoint(900, 680));
  EXPECT_EQ(seen.texts, (QStringList{"共に元ｽｹｰﾙ", "ｽｹｰﾙ適用.vc"}));
  EXPECT_EQ(seen.ids, (QList<int>{40005, 40009}));
  EXPECT_EQ(fixture.window->selectedColumn(), 100);

  WindowFixture check(1);
  seen = rightClick(*check.window, QPoint(300, 400));
  EXPECT_FALSE(seen.opened) << "the initial check has no context menus";
  EXPECT_EQ(check.window->prepareContextMenu(QPoint(900, 680)), nullptr);
}

TEST(MainWindowMenus, HoldItemTogglesFlagAndCheckMark) {
  WindowFixture fixture(3);
  fixture.run().running = 1;
  rightClick(*fixture.window, QPoint(300, 400), kHoldCommand);
  EXPECT_EQ(fixture.model().parameters.get(kHoldFlagEntry), 1.0);
  SeenMenu seen = rightClick(*fixture.window, QPoint(300, 400), kHoldCommand);
  EXPECT_TRUE(seen.holdChecked);
  EXPECT_EQ(fixture.model().parameters.get(kHoldFlagEntry), 0.0);
  // Once the run has ended the check mark goes, whatever the flag says.
  fixture.window->command(kHoldCommand);
  fixture.run().runEnded = 1;
  seen = rightClick(*fixture.window, QPoint(300, 400));
  EXPECT_FALSE(seen.holdChecked);
}

// --- wheel ---

void wheel(MainWindow& window, QPoint at, int delta, Qt::KeyboardModifiers modifiers = {}) {
  QWheelEvent event(QPointF(at), QPointF(window.mapToGlobal(at)), QPoint(), QPoint(0, delta),
                    Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&window, &event);
  window.composePicture();  // the view derives the drawn window from the requested one
}

TEST(MainWindowWheel, ViewStepScalesHalfSizeAboutTheCentre) {
  WindowFixture fixture(2);
  const view::ViewWindow before = fixture.state().drawn;
  const double centreX = before.left + before.half;
  const double centreY = before.bottom + before.half;
  wheel(*fixture.window, QPoint(400, 330), -120);
  const view::ViewWindow& after = fixture.state().requested;
  EXPECT_EQ(fixture.state().zoomLevel, 1);
  EXPECT_NEAR(after.half, before.half * 1.3, 1e-12);
  EXPECT_NEAR(after.left + after.half, centreX, 1e-12);
  EXPECT_NEAR(after.bottom + after.half, centreY, 1e-12);
  wheel(*fixture.window, QPoint(400, 330), 120);
  EXPECT_EQ(fixture.state().zoomLevel, 0);
  EXPECT_NEAR(fixture.state().requested.half, before.half, 1e-12);

  // Away from the centre the point under the pointer becomes the new centre.
  wheel(*fixture.window, QPoint(550, 330), 120);
  EXPECT_NEAR(fixture.state().requested.left + fixture.state().requested.half, 0.5, 1e-12);
}

TEST(MainWindowWheel, LevelStopsAtTwentyInEitherDirection) {
  WindowFixture fixture(2);
  const double base = fixture.state().baseHalf;
  for (int step = 0; step < 21; ++step) wheel(*fixture.window, QPoint(400, 330), 120);
  EXPECT_EQ(fixture.state().zoomLevel, -20);
  EXPECT_NEAR(fixture.state().requested.half, base * std::pow(1.3, -20), 1e-15);
  for (int step = 0; step < 45; ++step) wheel(*fixture.window, QPoint(400, 330), -120);
  EXPECT_EQ(fixture.state().zoomLevel, 20);
  EXPECT_NEAR(fixture.state().requested.half / base, std::pow(1.3, 20), 1e-6);
  // Half a notch is no step yet; the other half completes it.
  wheel(*fixture.window, QPoint(400, 330), 60);
  EXPECT_EQ(fixture.state().zoomLevel, 20);
  wheel(*fixture.window, QPoint(400, 330), 60);
  EXPECT_EQ(fixture.state().zoomLevel, 19);

  fixture.window->command(kOriginalViewCommand);
  EXPECT_EQ(fixture.state().zoomLevel, 0);
  EXPECT_DOUBLE_EQ(fixture.state().requested.half, base);
  EXPECT_DOUBLE_EQ(fixture.state().requested.left, fixture.model().view.left);
}

TEST(MainWindowWheel, ScaleZoneChangesOneColumnOrAllTen) {
  WindowFixture fixture(2);
  double base[kQuantityScaleCount + 1];
  for (int k = 1; k <= kQuantityScaleCount; ++k) base[k] = fixture.state().scale[k];

  wheel(*fixture.window, QPoint(900, 680), -120);
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    EXPECT_DOUBLE_EQ(fixture.state().scale[k], base[k] * 2) << "column " << k;
    EXPECT_EQ(fixture.state().scaleLevel[k], 1);
    EXPECT_DOUBLE_EQ(fixture.model().view.quantityScale[k], base[k] * 2) << "the model follows";
  }
  wheel(*fixture.window, QPoint(100, 700), 120, Qt::ShiftModifier);
  EXPECT_DOUBLE_EQ(fixture.state().scale[2], base[2] * 2 / 1.189207115);
  EXPECT_DOUBLE_EQ(fixture.state().scale[1], base[1] * 2);
  EXPECT_DOUBLE_EQ(fixture.state().scale[3], base[3] * 2);
  EXPECT_EQ(fixture.state().zoomLevel, 0) << "the scale zone leaves the view alone";

  // "共に元ｽｹｰﾙ" brings every column back to its base value.
  rightClick(*fixture.window, QPoint(900, 680), kOriginalScaleCommand);
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    EXPECT_DOUBLE_EQ(fixture.state().scale[k], base[k]);
    EXPECT_EQ(fixture.state().scaleLevel[k], 0);
  }
}

// --- titles and commands ---

TEST(MainWindowTitles, CarryTheMarkers) {
  WindowFixture running(2);
  EXPECT_EQ(running.window->windowTitle(), QStringLiteral("計算中　        pendel     _on-cal_"));
  EXPECT_EQ(running.window->objectName(), QStringLiteral("simulator_TS"));
  running.window->command(kPauseCommand);
  EXPECT_EQ(running.window->windowTitle(), QStringLiteral(" [Ｇ] 休止中    pendel     _on-cal_"));
  EXPECT_EQ(running.run().runRequest, 2);
  running.window->appendTitleNotice("  <note>");
  EXPECT_TRUE(running.window->windowTitle().endsWith("_on-cal_  <note>"));

  running.window->command(kStopCommand);
  EXPECT_EQ(running.window->windowTitle(), QStringLiteral("pendel     _movra_    v-7.72"));
  EXPECT_EQ(running.run().runEnded, 1);
  EXPECT_TRUE(running.state().toggles.graph) << "a stopped run shows its graphs";

  WindowFixture check(1);
  EXPECT_TRUE(check.window->windowTitle().startsWith(QStringLiteral("初期ＣＫ　")));
  EXPECT_TRUE(check.window->windowTitle().endsWith("     _on-cal_"));

  LaunchArguments scale = launchFor(0, "block-name");
  scale.scaleForm = true;
  WindowFixture scaleForm(0, scale);
  EXPECT_EQ(scaleForm.window->windowTitle(),
            QStringLiteral("計算中   |   block-name     _on-cal_"));
}

TEST(MainWindowCommands, EditorGetsViewAndScalesOnlyWhenItStartedUs) {
  platform::EditorMailbox mailbox;
  ASSERT_TRUE(mailbox.ok());
  WindowFixture fixture(2, launchFor(2, "", mailbox.id()));
  fixture.window->command(kSendViewCommand);
  fixture.window->command(kSendScalesCommand);
  fixture.window->command(40006);  // unused: nothing happens
  std::vector<platform::EditorMessage> messages = mailbox.takeMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].dataWord, 3);
  EXPECT_EQ(messages[0].text, "         0         0         1 ");
  EXPECT_EQ(messages[1].dataWord, 4);
  EXPECT_EQ(messages[1].text.size(), 1u + 10 * 10);
  EXPECT_EQ(fixture.run().holdState, 0);

  WindowFixture alone(0, launchFor(0, "", mailbox.id()));
  alone.window->command(kSendViewCommand);
  EXPECT_TRUE(mailbox.takeMessages().empty());
}

// --- node grabbing ---

TEST(MainWindowGrab, SameNodeTwiceSetsNewGrabOnceWhileHeld) {
  WindowFixture fixture(4);
  ASSERT_EQ(fixture.run().interactionMode, 2);
  Model& model = fixture.model();
  EXPECT_EQ(fixture.window->findNodeAt(QPointF(550, 340)), 2);
  EXPECT_EQ(fixture.window->findNodeAt(QPointF(550, 341)), -1) << "11 pixels is out of reach";

  fixture.window->command(kHoldCommand);  // the node stays grabbed after the release
  QTest::mouseClick(fixture.window.get(), Qt::LeftButton, {}, QPoint(553, 334));
  EXPECT_EQ(model.parameters.get(kGrabbedNodeEntry), 2);
  EXPECT_EQ(model.parameters.get(kNewGrabEntry), 1);
  const int pointerX = fixture.run().unknownOfKey[10 * kPointerNodeA + 1];
  ASSERT_NE(pointerX, 0);
  EXPECT_DOUBLE_EQ(fixture.run().X[pointerX], 0.5) << "pointer nodes jump onto the grabbed node";
  EXPECT_NEAR(model.parameters.get(kPointerXEntry), 0.5 + 3.0 / 300, 1e-12);

  model.parameters[kNewGrabEntry] = 0;  // the pointer elements take the flag
  QTest::mouseClick(fixture.window.get(), Qt::LeftButton, {}, QPoint(548, 330));
  EXPECT_EQ(model.parameters.get(kGrabbedNodeEntry), 2);
  EXPECT_EQ(model.parameters.get(kPreviousGrabEntry), 2);
  EXPECT_EQ(model.parameters.get(kNewGrabEntry), 0) << "the same node again is no new grab";

  // Without the hold the release lets go and the pointer nodes return to 0.
  fixture.window->command(kHoldCommand);
  QTest::mouseClick(fixture.window.get(), Qt::LeftButton, {}, QPoint(550, 330));
  EXPECT_EQ(model.parameters.get(kGrabbedNodeEntry), -1);
  EXPECT_DOUBLE_EQ(fixture.run().X[pointerX], 0.0);
  EXPECT_EQ(fixture.run().holdState, 0) << "a left press frees a held run";
}

TEST(MainWindowGrab, DragUpdatesPointerAndCentredViewRefuses) {
  WindowFixture fixture(3);
  Model& model = fixture.model();
  QTest::mousePress(fixture.window.get(), Qt::LeftButton, {}, QPoint(550, 330));
  QMouseEvent move(QEvent::MouseMove, QPointF(580, 300),
                   QPointF(fixture.window->mapToGlobal(QPoint(580, 300))), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(fixture.window.get(), &move);
  EXPECT_NEAR(model.parameters.get(kPointerXEntry), 0.6, 1e-12);
  EXPECT_NEAR(model.parameters.get(kPointerYEntry), 0.1, 1e-12);
  QTest::mouseRelease(fixture.window.get(), Qt::LeftButton, {}, QPoint(580, 300));
  EXPECT_EQ(model.parameters.get(kGrabbedNodeEntry), -1);

  model.view.followedNodeX = 2;
  const int before = fixture.prepared->reporter.messageCount();
  QTest::mouseClick(fixture.window.get(), Qt::LeftButton, {}, QPoint(550, 330));
  EXPECT_EQ(model.parameters.get(kGrabbedNodeEntry), -1);
  EXPECT_EQ(fixture.prepared->reporter.messageCount(), before + 1);
  EXPECT_NE(std::string(fixture.prepared->reporter.lastText()).find("節の移動不可"),
            std::string::npos);
}

// --- closing and the run ---

// Forwards to the window's host and asks the window to close at one pump, the way
// a user's close arrives in the middle of a run.
class ClosingHost : public RunHost {
 public:
  ClosingHost(MainWindow& window, int closeAtPump) : window_(window), closeAt_(closeAtPump) {}
  void pumpMessages(Run& run) override {
    if (++pumps_ == closeAt_) {
      QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
    }
    window_.host().pumpMessages(run);
  }
  void repaint(Run& run) override { window_.host().repaint(run); }
  void sendStopCommand(Run& run) override { window_.host().sendStopCommand(run); }
  void appendTitleNotice(const char* notice) override { window_.host().appendTitleNotice(notice); }
  int plotGraphs(Run& run) override { return window_.host().plotGraphs(run); }
  long long nowMs() override { return window_.host().nowMs(); }

 private:
  MainWindow& window_;
  int closeAt_;
  int pumps_ = 0;
};

TEST(MainWindowClose, DuringRunEndsTheRunFirstAndKeepsItsFrames) {
  QTemporaryDir directory;
  const std::string block = (directory.path() + "/hand-over-block").toStdString();
  QFile file(QString::fromStdString(block));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  WindowFixture fixture(2, launchFor(2, block));
  ClosingHost host(*fixture.window, 50);
  const int status =
      runSimulation(fixture.model(), fixture.run(), fixture.prepared->reporter, host);
  EXPECT_EQ(status, kRunRefused);
  EXPECT_EQ(fixture.run().runRequest, 1);
  EXPECT_EQ(fixture.run().running, 0);
  EXPECT_FALSE(fixture.window->destroyed()) << "the window outlives the close request";
  EXPECT_TRUE(fixture.window->isVisible());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(block)));

  // What was recorded before the close still reaches "out.txt".
  ASSERT_TRUE(settleClosedRun(fixture.run()));
  EXPECT_GT(fixture.run().lastFrame, 10);
  EXPECT_LT(fixture.run().lastFrame, 400);
  ASSERT_TRUE(exportOutputs(fixture.model(), fixture.run(), fixture.prepared->reporter,
                            directory.path().toStdString() + "/"));
  QFile out(directory.path() + "/out.txt");
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.readAll().count('\n'), fixture.run().lastFrame + 1);

  // After the run a close destroys: the hand-over file goes with the window.
  fixture.window->close();
  EXPECT_TRUE(fixture.window->destroyed());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(block)));
}

TEST(MainWindowPaint, RunInsideTheWindowPaintsAndPlotsIntoItsSurfaces) {
  WindowFixture fixture(2);
  const int status = runSimulation(fixture.model(), fixture.run(), fixture.prepared->reporter,
                                   fixture.window->host());
  EXPECT_EQ(status, kRunNormal);
  EXPECT_EQ(fixture.run().runEnded, 1);
  const QImage& graphs = fixture.window->graphSurface().image();
  int plotted = 0;
  for (int x = 100; x < 700; x += 3) plotted += graphs.pixel(x, 330) != view::kStockGray ? 1 : 0;
  EXPECT_GT(plotted, 0) << "the run's end plots into the window's graph surface";

  // With the graph display on the picture starts from the graphs, else from gray.
  fixture.window->graphSurface().image().setPixel(2, 28, qRgb(255, 0, 0));
  fixture.state().toggles.graph = true;
  fixture.state().toggles.afterimage = false;
  fixture.window->composePicture();
  EXPECT_EQ(fixture.window->workSurface().pixel(2, 28), qRgb(255, 0, 0));
  fixture.state().toggles.graph = false;
  fixture.window->composePicture();
  EXPECT_EQ(fixture.window->workSurface().pixel(2, 28), view::kStockGray);
  // The afterimage keeps the last picture until a redraw is requested.
  fixture.state().toggles.graph = true;
  fixture.state().toggles.afterimage = true;
  fixture.window->composePicture();
  EXPECT_EQ(fixture.window->workSurface().pixel(2, 28), view::kStockGray);
  fixture.state().redrawRequest = true;
  fixture.window->composePicture();
  EXPECT_EQ(fixture.window->workSurface().pixel(2, 28), qRgb(255, 0, 0));
}

TEST(MainWindowStartUp, BatchRunInsideTheWindowLeavesResultsAndPicture) {
  ensureApplication();
  QTemporaryDir directory;
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  ASSERT_TRUE(note::readModelFile(kPendulum, image, errors));
  auto model = makeModel();
  auto run = makeRun();
  note::loadImage(image, *model);
  testing::ScriptedMessages messages;
  Reporter reporter;
  reporter.setSink(messages.sink());
  ASSERT_EQ(numberModelText(*model, reporter, ""), 0);
  WindowRunOptions options;
  options.outputDirectory = directory.path().toStdString() + "/";
  options.batch = true;
  std::vector<std::string> titles;
  options.titleChanged = [&titles](const std::string& title) { titles.push_back(title); };
  EXPECT_EQ(runWithWindow(*model, *run, reporter, launchFor(0), options), 0);
  ASSERT_GE(titles.size(), 2u);
  EXPECT_NE(titles.front().find("_on-cal_"), std::string::npos);
  EXPECT_EQ(titles.back(), "pendel     _movra_    v-7.72");
  EXPECT_EQ(run->runEnded, 1);
  QFile out(directory.path() + "/out.txt");
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.readAll().count('\n'), run->lastFrame + 1);
  QImage picture(directory.path() + "/view.png");
  // The whole created window, and the scale headers and units below it.
  EXPECT_GE(picture.width(), 960);
  EXPECT_GT(picture.height(), 685);
  EXPECT_LT(picture.height(), 760) << "empty scale columns below the headers are left out";
  int drawnBelowTheWindow = 0;
  for (int y = 685; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if ((picture.pixel(x, y) | 0xFF000000u) != 0xFF808080u) ++drawnBelowTheWindow;
    }
  }
  EXPECT_GT(drawnBelowTheWindow, 200) << "the unit row of the scale headers";
}

TEST(MainWindowActivation, LosingTheWindowHoldsTheRunAndStopsPlayback) {
  WindowFixture fixture(2);
  int stops = 0;
  fixture.window->toolbarHooks().stopPlayback = [&stops] { ++stops; };
  fixture.window->activateWindow();
  QCoreApplication::processEvents();
  QWidget other;
  other.show();
  other.activateWindow();
  QCoreApplication::processEvents();
  ASSERT_FALSE(fixture.window->isActiveWindow());
  EXPECT_EQ(fixture.run().holdState, 2);
  EXPECT_GE(stops, 1);
}

}  // namespace
}  // namespace movra::app

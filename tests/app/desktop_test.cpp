// The simulator as a person meets it: `movra-note run MODEL` on a real X display,
// the window found by its title, its toolbar pressed and held with a real pointer
// (XTEST events through xdotool), and what it shows read back from the screen.
// The shown frame is judged by the picture alone: the same frame draws the same
// pixels, so a picture is compared with the one taken when that frame was known
// to be on screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QToolButton>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/toolbar.h"
#include "engine/run_setup.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "support/batch_runs.h"
#include "support/in_process_run.h"
#include "support/virtual_desktop.h"
#include "support/window_tests.h"

namespace movra::app {
namespace {

using movra::testing::Child;
using movra::testing::DesktopWindow;
using movra::testing::VirtualDesktop;
using movra::testing::waitFor;

// The pendulum of the window tests over 2 s with a frame every 50 steps and a
// playback as long as the run: 41 frames, about 49 ms each, so that every frame
// stays on screen long enough to be seen.
const std::string kShortPendulum = std::string(movra::testing::kPendulumMechanism) + R"(.t 2
   0
   2
   1m
   50
   2
)";

// The same pendulum swinging far longer than any test waits (8000 frames, near the
// limit of output points).
const std::string kEndlessPendulum = std::string(movra::testing::kPendulumMechanism) + R"(.t 2
   0
   400
   1m
   50
)";

// A pendulum hanging at rest, bob at (0, 0.5): pixel (400, 180) in the window.
const std::string kHangingPendulum = R"(.in 1  0    0
.in 2  0    0.5
pc 0n 1n
lr 2n 1p
b  0n 2n, 1, 1m, 9.81 * p2
.o x2.1, x2.2
.vc 0, 0, 1
.t 2
   0
   2
   1m
   1
)";

// A resistor that divides by zero once the run is under way (p2 turns 1 at step 1),
// on line 3 of the file.
const std::string kLateFault = R"(V 1 0, 5, 0
R 1 2, 1k
R 2 0, 1k / (1 - p2)
.o x2.9
.t 2
   0
   1m
   10u
   1
)";

constexpr int kStartMs = 30000;   // start-up and a short run, on a busy machine
constexpr int kSettleMs = 5000;   // a click's effect reaching the screen
constexpr int kPlaybackMs = 20000;

// One X server per test process; it ends with the process, and its framebuffer
// file with it.
VirtualDesktop& desktop() {
  static const std::string directory = movra::testing::scratchDirectory("desktop_framebuffer");
  static VirtualDesktop* shared = [] {
    std::atexit([] { std::filesystem::remove_all(directory); });
    return new VirtualDesktop(directory);
  }();
  return *shared;
}

// Where the toolbar puts its buttons on this display, in client coordinates, and
// where "中止" lies in the view menu: the same window laid out in this process on
// the same X server, so that font and style are the simulator's own.
struct WindowLayout {
  std::map<int, QPoint> buttons;
  QPoint stopItem;          // in the view menu, from its top-left corner
  QPoint originalViewItem;  // "元尺", likewise
};

const WindowLayout& layout() {
  static const WindowLayout made = [] {
    WindowLayout found;
    setenv("DISPLAY", desktop().display().c_str(), 1);
    qputenv("QT_QPA_PLATFORM", "xcb");
    static int argc = 1;
    static char name[] = "desktop_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // never destroyed, like the window tests' one
    auto model = makeModel();
    auto run = makeRun();
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    if (!note::readModelFile(movra::testing::kPendulum, image, errors)) return found;
    if (!note::readImage(image, *model, 2).ok()) return found;
    Reporter reporter;
    LaunchArguments launch;
    launch.arguments = {"movra-sim", "", "_a2_", "pendel", "0"};
    launch.handOverMode = 2;
    MainWindow window(*model, *run, reporter, launch);
    installToolbar(window);
    Toolbar* bar = findToolbar(window);
    for (int index = 0; index < kButtonSlots; ++index) {
      if (bar != nullptr && bar->button(index) != nullptr) {
        found.buttons[index] = bar->button(index)->geometry().center();
      }
    }
    run->running = 1;  // the menu as a running calculation shows it
    if (QMenu* menu = window.prepareContextMenu(QPoint(400, 300))) {
      menu->ensurePolished();
      menu->adjustSize();
      found.stopItem = menu->actionGeometry(MainWindow::findAction(menu, kStopCommand)).center();
      found.originalViewItem =
          menu->actionGeometry(MainWindow::findAction(menu, kOriginalViewCommand)).center();
    }
    return found;
  }();
  return made;
}

const std::map<int, QPoint>& buttonCentres() { return layout().buttons; }

// One `movra-note run` of a model on the desktop, from a copy of the programs in
// a directory of its own, so that the "out.txt" written beside the program is
// this run's.
class DesktopRun {
 public:
  DesktopRun(const std::string& modelText, const std::vector<std::string>& options = {}) {
    directory_ = movra::testing::scratchDirectory("desktop_run");
    for (const char* program : {"movra-note", "movra-sim"}) {
      std::filesystem::copy_file(std::string(MOVRA_BINARY_DIR) + "/bin/" + program,
                                 directory_ + "/" + program);
    }
    model_ = directory_ + "/pendel.model";
    std::ofstream(model_) << modelText;
    std::vector<std::string> words{directory_ + "/movra-note", "run"};
    words.insert(words.end(), options.begin(), options.end());
    words.push_back(model_);
    note_ = std::make_unique<Child>(
        words, desktop().environmentFor("desktop-" + std::to_string(getpid())), true);
  }

  // A failed test leaves the run's directory (programs, model, out.txt) to look at.
  ~DesktopRun() {
    note_.reset();
    if (::testing::Test::HasFailure()) {
      std::printf("[ kept     ] %s\n", directory_.c_str());
    } else {
      std::filesystem::remove_all(directory_);
    }
  }
  DesktopRun(const DesktopRun&) = delete;
  DesktopRun& operator=(const DesktopRun&) = delete;

  bool started() const { return note_->started(); }
  const std::string& directory() const { return directory_; }

  bool waitForWindow(const std::string& titlePattern, int timeoutMs = kStartMs) {
    return desktop().findWindow(titlePattern, window_, timeoutMs);
  }
  std::string title() const { return desktop().windowTitle(window_); }
  bool titleHas(const std::string& text) const { return title().find(text) != std::string::npos; }

  // The client area below the toolbar band, and the band.
  QImage picture() const {
    return desktop().grab(QRect(window_.origin + QPoint(0, kToolbarBand),
                                QSize(window_.size.width(), window_.size.height() - kToolbarBand)));
  }
  QImage band() const {
    return desktop().grab(QRect(window_.origin, QSize(window_.size.width(), kToolbarBand)));
  }
  QImage buttonLook(int index) const {
    const QPoint centre = buttonCentres().at(index);
    return desktop().grab(QRect(window_.toScreen(centre) - QPoint(8, 8), QSize(16, 16)));
  }
  bool pictureBecomes(const QImage& expected, int timeoutMs = kSettleMs) const {
    return waitFor([&] { return picture() == expected; }, timeoutMs, 5);
  }
  // The picture once it has stopped changing for a while.
  QImage settledPicture() const {
    QImage last = picture();
    waitFor(
        [&] {
          movra::testing::pause(150);
          QImage now = picture();
          const bool same = now == last;
          last = now;
          return same;
        },
        kSettleMs, 0);
    return last;
  }

  QPoint button(int index) const { return window_.toScreen(buttonCentres().at(index)); }
  QPoint client(QPoint point) const { return window_.toScreen(point); }
  void click(int index) const { desktop().click(button(index)); }
  void press(int index) const { desktop().press(button(index)); }
  void release(int index) const { desktop().release(button(index)); }
  bool running(int forMs) { return note_->waitExit(forMs) == -1; }
  // A key pressed with the keyboard focus on the window.
  void key(const std::string& name) const {
    desktop().tool({"windowfocus", "--sync", window_.id});
    desktop().key(name);
  }

  // What movra-note has printed so far, while the simulator still runs.
  const std::string& outputSoFar() {
    output_ += note_->readAvailable();
    return output_;
  }
  // movra-note's exit code once the simulator has gone, and all it printed.
  int finish(int timeoutMs = kStartMs) {
    const int code = note_->waitExit(timeoutMs);
    output_ += note_->readAll();
    return code;
  }
  const std::string& output() const { return output_; }
  // Ctrl-C in the terminal: the signal goes to movra-note's whole process group.
  void interrupt() const { ::kill(-note_->pid(), SIGINT); }
  int endSignal() const { return note_->endSignal(); }

 private:
  std::string directory_;
  std::string model_;
  std::unique_ptr<Child> note_;
  DesktopWindow window_;
  std::string output_;
};

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop().ready()) << "Xvfb did not start (the package xvfb is in "
                                      "scripts/debian-packages.txt; ./movra test installs it)";
    ASSERT_FALSE(desktop().tool({"version"}).empty())
        << "xdotool is missing (./movra test installs it)";
    ASSERT_EQ(buttonCentres().size(), 11u) << "the toolbar has eleven buttons";
  }
};

TEST_F(DesktopTest, PlaybackFollowsTheToolbarUnderARealPointer) {
  DesktopRun run(kShortPendulum);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_movra_")) << "the run did not end with the ended title";
  // After the run the window stands at the last frame, ">_" and ">>" grayed.
  const QImage atLast = run.settledPicture();
  const QImage bandAtLast = run.band();

  // The wheel zooms about the pointer; "元尺" from the view menu brings the
  // original view back.
  desktop().moveTo(run.client(QPoint(550, 330)));
  desktop().tool({"click", "4"});
  EXPECT_TRUE(waitFor([&] { return run.picture() != atLast; }, kSettleMs)) << "no zoom";
  desktop().moveTo(run.client(QPoint(400, 300)));
  desktop().tool({"click", "3"});
  movra::testing::pause(500);
  desktop().click(run.client(QPoint(0, 23) + layout().originalViewItem));
  EXPECT_TRUE(run.pictureBecomes(atLast)) << "元尺 should restore the view";

  // "|-" goes to the first frame; "<<" and "_<" are grayed there.
  run.click(kJumpButton);
  ASSERT_TRUE(waitFor([&] { return run.picture() != atLast; }, kSettleMs));
  const QImage atFirst = run.settledPicture();
  const QImage bandAtFirst = run.band();
  EXPECT_NE(bandAtFirst, bandAtLast);

  // ">>" clicked once steps 11 frames; "<<" at frame 11 lands on frame 0 and stays
  // there: no timer keeps it stepping.
  run.click(kFastForwardButton);
  ASSERT_TRUE(waitFor([&] { return run.picture() != atFirst; }, kSettleMs));
  const QImage atEleven = run.settledPicture();
  EXPECT_NE(atEleven, atLast);
  run.click(kFastRewindButton);
  EXPECT_TRUE(run.pictureBecomes(atFirst));
  movra::testing::pause(700);  // twice the countdown of a held button
  EXPECT_EQ(run.picture(), atFirst);
  EXPECT_EQ(run.band(), bandAtFirst) << "back at the first frame, with the buttons of that state";

  // ">_" held past the last frame steps there and stops, grayed as after the run.
  run.press(kForwardButton);
  EXPECT_TRUE(run.pictureBecomes(atLast, kPlaybackMs)) << "holding >_ never reached the end";
  movra::testing::pause(500);
  EXPECT_EQ(run.picture(), atLast);
  run.release(kForwardButton);
  movra::testing::pause(200);
  EXPECT_EQ(run.band(), bandAtLast) << "stopped in the last-frame state";

  // "|-" dragged off switches repeat on: it goes to frame 0 and stays down, and a
  // held ">_" now wraps past the last frame instead of stopping there.
  const QImage jumpUp = run.buttonLook(kJumpButton);
  run.press(kJumpButton);
  desktop().moveTo(run.client(QPoint(400, 300)));
  desktop().release(run.client(QPoint(400, 300)));
  EXPECT_TRUE(run.pictureBecomes(atFirst));
  EXPECT_NE(run.buttonLook(kJumpButton), jumpUp) << "|- stays down while repeat is on";
  run.press(kForwardButton);
  bool sawLast = false;
  bool wrapped = waitFor(
      [&] {
        const bool atEnd = run.picture() == atLast;
        if (sawLast && !atEnd) return true;
        sawLast = sawLast || atEnd;
        return false;
      },
      kPlaybackMs, 2);
  run.release(kForwardButton);
  EXPECT_TRUE(sawLast) << "the held >_ never showed the last frame";
  EXPECT_TRUE(wrapped) << "with repeat on, >_ should go on past the last frame";

  // The close button ends the program; the run's results stay beside it.
  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 0) << run.output();
  EXPECT_EQ(movra::testing::readColumns(run.directory() + "/out.txt").size(), 41u);
}

TEST_F(DesktopTest, GraphButtonPausesAndResumesARunningCalculation) {
  DesktopRun run(kEndlessPendulum);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_on-cal_"));
  EXPECT_TRUE(run.titleHas("計算中")) << run.title();
  // Running: every step is drawn.
  const QImage early = run.picture();
  ASSERT_TRUE(waitFor([&] { return run.picture() != early; }, kSettleMs));

  run.click(kGraphButton);
  ASSERT_TRUE(waitFor([&] { return run.titleHas("休止中"); }, kSettleMs)) << run.title();
  const QImage paused = run.settledPicture();
  movra::testing::pause(500);
  EXPECT_EQ(run.picture(), paused) << "a paused calculation draws nothing new";

  run.click(kGraphButton);
  ASSERT_TRUE(waitFor([&] { return run.titleHas("計算中"); }, kSettleMs)) << run.title();
  EXPECT_TRUE(waitFor([&] { return run.picture() != paused; }, kSettleMs))
      << "the calculation went on after the second press";

  // Closing in the middle of the run still writes what was computed.
  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 5) << run.output();
  const auto rows = movra::testing::readColumns(run.directory() + "/out.txt");
  EXPECT_GT(rows.size(), 2u) << "the frames computed before the close are in out.txt";
}

TEST_F(DesktopTest, ClosingAPausedCalculationKeepsWhatItComputed) {
  DesktopRun run(kEndlessPendulum);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_on-cal_"));
  movra::testing::pause(300);
  run.click(kGraphButton);
  ASSERT_TRUE(waitFor([&] { return run.titleHas("休止中"); }, kSettleMs)) << run.title();
  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 5) << run.output();
  EXPECT_GT(movra::testing::readColumns(run.directory() + "/out.txt").size(), 2u);
}

// Ctrl-C while the window calculates: the calculation stops as "中止" stops it, its
// frames are written, and the window closes; movra-note ends by the signal.
TEST_F(DesktopTest, CtrlCStopsTheCalculationKeepsItsFramesAndClosesTheWindow) {
  DesktopRun run(kEndlessPendulum);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_on-cal_"));
  movra::testing::pause(500);
  run.interrupt();
  EXPECT_EQ(run.finish(), -2) << "movra-note should end by the signal\n" << run.output();
  EXPECT_EQ(run.endSignal(), SIGINT);
  EXPECT_NE(run.output().find("pendel.model: status 5,"), std::string::npos) << run.output();
  EXPECT_GT(movra::testing::readColumns(run.directory() + "/out.txt").size(), 2u);
}

// Closing the window is how a user ends the first interactive mode: the run stops
// as "中止" stops it, and its ring of frames, wrapped after 2 s of real time, is
// written in time order.
TEST_F(DesktopTest, ClosingAnInteractiveRunKeepsItsWrappedRing) {
  DesktopRun run(kShortPendulum, {"--mode", "a3"});
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_on-cal_"));
  movra::testing::pause(3000);
  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 5) << run.output();
  const auto rows = movra::testing::readColumns(run.directory() + "/out.txt");
  ASSERT_EQ(rows.size(), 41u) << run.output();
  // A frame every 50 steps; the newest holds the step the stop came in.
  for (size_t k = 1; k + 1 < rows.size(); ++k) {
    EXPECT_NEAR(rows[k][0] - rows[k - 1][0], 0.05, 1e-9) << "row " << k;
  }
  EXPECT_GT(rows.back()[0], rows[rows.size() - 2][0]);
  EXPECT_LE(rows.back()[0], rows[rows.size() - 2][0] + 0.05 + 1e-9);
  EXPECT_GT(rows.front()[0], 0.9) << "the ring wrapped: its oldest frame is no longer the start";
}

// An error once the run is under way: the user sees it in a box, the editor gets
// it at the model's line, and the window stays for a look at what ran.
TEST_F(DesktopTest, ErrorDuringTheRunShowsABoxAndTheWindowStays) {
  DesktopRun run(kLateFault);
  ASSERT_TRUE(run.started());
  DesktopWindow box;
  ASSERT_TRUE(desktop().findWindow("movra  note", box, kStartMs)) << "no message box";
  desktop().tool({"windowfocus", "--sync", box.id});
  desktop().key("Return");
  ASSERT_TRUE(run.waitForWindow("_movra_")) << "the stopped run should take the ended title";
  // The editor shows the error at the model's line while the window is open.
  EXPECT_TRUE(waitFor(
      [&] { return run.outputSoFar().find("pendel.model:3: ") != std::string::npos; }, kSettleMs))
      << run.outputSoFar();
  EXPECT_TRUE(run.running(500)) << "the window stays after the error";
  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 1) << "a reported error";
  EXPECT_NE(run.output().find("R 2 0, 1k / (1 - p2)"), std::string::npos) << run.output();
}

// "中止" from the view menu in the middle of a run: the run ends for good, its
// frames are written and stay for playback in the window.
TEST_F(DesktopTest, StopFromTheViewMenuKeepsWhatWasComputed) {
  DesktopRun run(kEndlessPendulum);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_on-cal_"));
  const QImage early = run.picture();
  ASSERT_TRUE(waitFor([&] { return run.picture() != early; }, kSettleMs));

  // The right button released over the mechanism opens the view menu at (0, 23).
  desktop().moveTo(run.client(QPoint(400, 300)));
  desktop().tool({"click", "3"});
  movra::testing::pause(500);
  desktop().click(run.client(QPoint(0, 23) + layout().stopItem));
  ASSERT_TRUE(waitFor([&] { return run.titleHas("_movra_"); }, kSettleMs)) << run.title();
  EXPECT_TRUE(run.running(500)) << "the window stays for playback";
  const auto rows = movra::testing::readColumns(run.directory() + "/out.txt");
  EXPECT_GT(rows.size(), 2u) << "the frames computed up to the stop are written";

  // Playback of what was computed: "|-" shows another frame.
  const QImage stopped = run.settledPicture();
  run.click(kJumpButton);
  EXPECT_TRUE(waitFor([&] { return run.picture() != stopped; }, kSettleMs));
  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 5) << "a window closed by its user, with nothing reported\n"
                              << run.output();
}

// The second interactive mode as a user drives it: the bob is held with the
// mouse and dragged through the pointer nodes while the calculation runs in real
// time. The frame being recorded always holds the latest state; each Ctrl press
// keeps it and opens the next one. Closing the window keeps the frames in
// "out.txt".
TEST_F(DesktopTest, SecondInteractiveModeDragsAndKeepsAFramePerCtrl) {
  DesktopRun run(kHangingPendulum, {"--mode", "a4"});
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.waitForWindow("_on-cal_"));
  movra::testing::pause(500);
  run.key("ctrl");  // keeps frame 0: hanging at rest
  movra::testing::pause(300);

  const QPoint bob(400, 180);
  const QPoint target(550, 330);  // model point (0.5, 0), on the rod's circle
  desktop().press(run.client(bob));
  constexpr int kMoves = 10;
  for (int k = 1; k <= kMoves; ++k) {
    desktop().moveTo(run.client(bob + (target - bob) * k / kMoves));
    movra::testing::pause(30);
  }
  movra::testing::pause(1500);  // smoothing and swing settle
  run.key("ctrl");              // keeps frame 1: held at the target
  movra::testing::pause(300);
  desktop().release(run.client(target));
  movra::testing::pause(300);
  run.key("ctrl");  // keeps frame 2: swinging free
  movra::testing::pause(300);

  run.click(kCloseButton);
  EXPECT_EQ(run.finish(), 5) << "closing ends an interactive run as the stop command does\n"
                             << run.output();
  const auto rows = movra::testing::readColumns(run.directory() + "/out.txt");
  ASSERT_EQ(rows.size(), 4u) << "a frame per Ctrl press and the one open at the close";
  for (size_t frame = 0; frame < rows.size(); ++frame) {
    ASSERT_EQ(rows[frame].size(), 3u) << "frame number, x2.1, x2.2";
    EXPECT_EQ(rows[frame][0], static_cast<double>(frame));
  }
  EXPECT_NEAR(rows[0][1], 0.0, 1e-3) << "at rest before the drag";
  EXPECT_NEAR(rows[0][2], 0.5, 1e-3);
  EXPECT_NEAR(rows[1][1], 0.5, 0.03) << "held by the pointer at (0.5, 0)";
  EXPECT_NEAR(rows[1][2], 0.0, 0.03);
  EXPECT_GT(std::hypot(rows[2][1] - rows[1][1], rows[2][2] - rows[1][2]), 0.02)
      << "let go, the bob swings away from where it was held";
}

}  // namespace
}  // namespace movra::app

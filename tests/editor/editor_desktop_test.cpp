// The editor as a person uses it: `movra-note edit MODEL` on a real X display,
// keys and clicks sent through XTEST (xdotool), what the pane shows read back from
// the screen, what it saves read from the file. The pane's colours tell what is
// on screen: the caret line's band, the error marks and the error annotations.
#include <gtest/gtest.h>
#include <signal.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_runs.h"
#include "support/virtual_desktop.h"

namespace movra::editor {
namespace {

namespace fs = std::filesystem;
using movra::testing::Child;
using movra::testing::DesktopWindow;
using movra::testing::VirtualDesktop;
using movra::testing::waitFor;

constexpr int kStartMs = 30000;
constexpr int kSettleMs = 8000;  // the diagnostics' pause and a repaint, on a busy machine

// The pane's colours (model_pane.cpp).
const QRgb kCaretLine = qRgb(0xf4, 0xf7, 0xff);
const QRgb kErrorMark = qRgb(0xd0, 0x20, 0x20);
const QRgb kErrorNote = qRgb(0xff, 0xee, 0xee);
const QRgb kProposalBar = qRgb(0xff, 0xf8, 0xd8);

// A resistor that divides by zero once the run is under way, on line 3.
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

// A pendulum swinging far longer than any test waits.
const std::string kEndlessPendulum = R"(.in 1  0    0
.in 2  0.5  0
pc 0n 1n
lr 2n 1p
b  0n 2n, 1, 1m, 9.81 * p2
.o x2.1, x2.2
.vc 0, 0, 1
.t 2
   0
   400
   1m
   50
)";

VirtualDesktop& desktop() {
  static const std::string directory = movra::testing::scratchDirectory("editor_framebuffer");
  static VirtualDesktop* shared = [] {
    std::atexit([] { fs::remove_all(directory); });
    return new VirtualDesktop(directory);
  }();
  return *shared;
}

std::string readText(const std::string& path) {
  return movra::testing::readFile(path);
}

// The rows of a picture where a colour covers much of the row, and how often a
// colour occurs in a band of rows.
struct Band {
  int top = -1;
  int height = 0;
};
Band bandOf(const QImage& image, QRgb colour) {
  Band band;
  for (int y = 0; y < image.height(); ++y) {
    int count = 0;
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour ? 1 : 0;
    if (count > image.width() / 4) {
      if (band.top < 0) band.top = y;
      band.height = y - band.top + 1;
    } else if (band.top >= 0) {
      break;
    }
  }
  return band;
}
int countIn(const QImage& image, QRgb colour, int top = 0, int bottom = 1 << 30) {
  int count = 0;
  for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour ? 1 : 0;
  }
  return count;
}

// One `movra-note edit` in a folder of its own: the programs, the model, the
// settings and the recovery copies all live there.
class EditorRun {
 public:
  explicit EditorRun(const std::string& modelText, const std::string& name = "model") {
    directory_ = movra::testing::scratchDirectory("editor_" + name);
    for (const char* program : {"movra-note", "movra-sim"}) {
      fs::copy_file(std::string(MOVRA_BINARY_DIR) + "/bin/" + program, directory_ + "/" + program);
    }
    model_ = directory_ + "/" + name + ".model";
    std::ofstream(model_) << modelText;
  }
  ~EditorRun() {
    editor_.reset();
    // The next test finds its own windows only: these go with their programs.
    waitFor(
        [] {
          return desktop()
              .tool({"search", "--name", "movra editor|_on-cal_|_movra_|movra  note"})
              .empty();
        },
        kSettleMs);
    if (::testing::Test::HasFailure()) {
      std::printf("[ kept     ] %s\n", directory_.c_str());
    } else {
      fs::remove_all(directory_);
    }
  }

  void start() {
    std::vector<std::string> environment =
        desktop().environmentFor("editor-" + std::to_string(getpid()));
    environment.insert(environment.end(), {"XDG_STATE_HOME=" + directory_ + "/state",
                                           "XDG_CONFIG_HOME=" + directory_ + "/config",
                                           "LANG=C.UTF-8", "LC_ALL=C.UTF-8", "LANGUAGE="});
    editor_ = std::make_unique<Child>(
        std::vector<std::string>{directory_ + "/movra-note", "edit", model_}, environment);
  }
  bool waitForWindow() {
    return desktop().findWindow("movra editor", window_, kStartMs, editor_->pid());
  }

  const std::string& model() const { return model_; }
  const std::string& directory() const { return directory_; }
  Child& process() { return *editor_; }

  // Keys with the focus on the editor, the pointer out of the way of tooltips.
  void keys(const std::vector<std::string>& names) const {
    desktop().tool({"windowraise", window_.id});
    desktop().tool({"windowfocus", "--sync", window_.id});
    desktop().moveTo(QPoint(VirtualDesktop::kWidth - 2, VirtualDesktop::kHeight - 2));
    for (const std::string& name : names) desktop().key(name);
  }
  void type(const std::string& text) const { desktop().tool({"type", "--delay", "20", text}); }

  QImage picture() const {
    desktop().tool({"windowraise", window_.id});
    return desktop().grab(QRect(window_.origin, window_.size));
  }
  // The caret line's band on screen, once it shows.
  Band caretBand() const {
    Band band;
    waitFor([&] { return (band = bandOf(picture(), kCaretLine)).top >= 0; }, kSettleMs);
    return band;
  }
  // Error marks inside the band of the given line (0-based) of a pane whose
  // line 0 is at `first`.
  bool errorAtLine(const Band& first, int line) const {
    const QImage now = picture();
    const int top = first.top + line * first.height;
    return countIn(now, kErrorMark, top, top + first.height) > 0;
  }
  bool noErrors() const {
    const QImage now = picture();
    return countIn(now, kErrorMark) == 0 && countIn(now, kErrorNote) == 0;
  }
  bool fileChanges(const std::string& from) const {
    return waitFor([&] { return readText(model_) != from; }, kSettleMs);
  }

 private:
  std::string directory_;
  std::string model_;
  std::unique_ptr<Child> editor_;
  DesktopWindow window_;
};

class EditorDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!desktop().ready()) GTEST_SKIP() << "no Xvfb: install xvfb and xdotool (./movra test does)";
  }
};

// A mistake typed shows at its line and goes when mended; Run shows the
// simulator; its view menu's "適用.vc" comes back as a proposed edit of the ".vc"
// line, applied with one key, saved, and undone in one step.
TEST_F(EditorDesktopTest, DiagnosticsRunAndTheSimulatorsViewComeBackToTheModel) {
  const std::string original = readText(std::string(MOVRA_SOURCE_DIR) + "/examples/pendulum.model");
  EditorRun editor(original, "pendulum");
  editor.start();
  ASSERT_TRUE(editor.waitForWindow());
  editor.keys({"ctrl+Home"});
  const Band first = editor.caretBand();
  ASSERT_GT(first.height, 4) << "no caret line on screen";
  EXPECT_TRUE(editor.noErrors());

  // An unknown keyword on a new first line.
  editor.keys({"ctrl+Home"});
  editor.type("Q 1 2");
  editor.keys({"Return", "Up"});
  EXPECT_TRUE(waitFor([&] { return editor.errorAtLine(first, 0); }, kSettleMs))
      << "no mark at line 1";
  editor.keys({"Home", "shift+End", "Delete", "Delete"});
  EXPECT_TRUE(waitFor([&] { return editor.noErrors(); }, kSettleMs))
      << "the mark stays after the mend";

  editor.keys({"F5"});
  DesktopWindow simulator;
  ASSERT_TRUE(desktop().findWindow("_movra_", simulator, kStartMs)) << "no simulator window";
  // Zoom in about the pivot, then "適用.vc" from the view menu (its second item).
  desktop().moveTo(simulator.toScreen(QPoint(400, 300)));
  desktop().tool({"click", "4"});
  desktop().tool({"click", "3"});
  movra::testing::pause(500);
  desktop().key("Down");
  desktop().key("Down");
  desktop().key("Return");
  ASSERT_TRUE(waitFor([&] { return countIn(editor.picture(), kProposalBar) > 1000; }, kSettleMs))
      << "no proposed edit";
  editor.keys({"ctrl+shift+a", "ctrl+s"});
  ASSERT_TRUE(editor.fileChanges(original));

  // Only the ".vc" line changed: new view fields, its force scale and comment kept.
  const std::string saved = readText(editor.model());
  const std::regex view(
      R"(\.vc ([-0-9.e+]+), ([-0-9.e+]+), ([-0-9.e+]+), 60      // view window; forces drawn against 60 N)");
  std::smatch fields;
  std::string changed;
  std::istringstream before(original), after(saved);
  for (std::string a, b; std::getline(before, a) && std::getline(after, b);) {
    if (a != b) changed += b + "\n";
  }
  const std::string changedLine = changed.empty() ? changed : changed.substr(0, changed.size() - 1);
  ASSERT_TRUE(std::regex_match(changedLine, fields, view)) << changed;
  EXPECT_LT(std::stod(fields[3]), 1.0) << "the zoomed view is narrower than the model's";
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'),
            std::count(original.begin(), original.end(), '\n'));

  // One undo takes the whole edit back.
  editor.keys({"ctrl+z", "ctrl+s"});
  EXPECT_TRUE(editor.fileChanges(saved));
  EXPECT_EQ(readText(editor.model()), original);
}

// An error the simulator finds during the run marks the model's line, with the
// message under it, and the caret goes there.
TEST_F(EditorDesktopTest, ARunTimeErrorMarksItsLine) {
  EditorRun editor(kLateFault, "late_fault");
  editor.start();
  ASSERT_TRUE(editor.waitForWindow());
  editor.keys({"ctrl+Home"});
  const Band first = editor.caretBand();
  ASSERT_GT(first.height, 4);
  editor.keys({"F5"});
  DesktopWindow box;
  ASSERT_TRUE(desktop().findWindow("movra  note", box, kStartMs))
      << "the simulator shows no error box";
  desktop().tool({"windowfocus", "--sync", box.id});
  desktop().key("Return");
  ASSERT_TRUE(waitFor([&] { return countIn(editor.picture(), kErrorNote) > 100; }, kSettleMs))
      << "no error shown under a line";
  const Band caret = editor.caretBand();
  EXPECT_EQ(caret.top, first.top + 2 * first.height) << "the caret should stand on line 3";
  EXPECT_TRUE(editor.errorAtLine(first, 2));
  const QImage now = editor.picture();
  EXPECT_GT(countIn(now, kErrorNote, caret.top + caret.height, caret.top + 3 * caret.height), 100)
      << "the message belongs under line 3";
  EXPECT_EQ(countIn(now, kErrorNote, 0, caret.top), 0) << "nothing above it";
}

// While one run calculates, a second start is refused in words, not by the
// simulator's box; Stop ends the calculation the way Ctrl-C does: the frames
// computed so far are written and the window closes.
TEST_F(EditorDesktopTest, ASecondStartIsRefusedAndStopKeepsTheFrames) {
  EditorRun editor(kEndlessPendulum, "endless");
  editor.start();
  ASSERT_TRUE(editor.waitForWindow());
  editor.keys({"F5"});
  DesktopWindow simulator;
  ASSERT_TRUE(desktop().findWindow("_on-cal_", simulator, kStartMs)) << "no calculating simulator";
  editor.keys({"F5"});
  DesktopWindow refusal;
  ASSERT_TRUE(desktop().findWindow("Not started", refusal, kSettleMs))
      << "the second start was not refused";
  desktop().tool({"windowfocus", "--sync", refusal.id});
  desktop().key("Return");
  const std::string calculating = desktop().tool({"search", "--name", "_on-cal_"});
  EXPECT_EQ(std::count(calculating.begin(), calculating.end(), '\n'), 1)
      << "only one simulator calculates";

  editor.keys({"shift+F5"});
  EXPECT_TRUE(waitFor(
      [&] {
        return desktop().tool({"search", "--name", "_on-cal_|_movra_"}).empty();
      },
      kSettleMs))
      << "the simulator should stop and close";
  const auto rows = movra::testing::readColumns(editor.directory() + "/out.txt");
  EXPECT_GT(rows.size(), 2u) << "the frames computed up to the stop are written";
}

// Unsaved work: closing asks first; a killed editor leaves a copy that the next
// start offers and restores.
TEST_F(EditorDesktopTest, UnsavedWorkIsAskedForAndSurvivesAKill) {
  const std::string original = "R 1 0, 1k\nV 1 0, 5, 0\n";
  EditorRun editor(original, "unsaved");
  editor.start();
  ASSERT_TRUE(editor.waitForWindow());
  editor.keys({"ctrl+Home"});
  editor.type("// kept after a kill");
  editor.keys({"Return"});
  const std::string copies = editor.directory() + "/state/movra/recovery";
  ASSERT_TRUE(waitFor(
      [&] {
        std::error_code error;
        return !fs::is_empty(copies, error) && !error;
      },
      kSettleMs))
      << "no recovery copy written";

  editor.keys({"ctrl+q"});
  DesktopWindow prompt;
  ASSERT_TRUE(desktop().findWindow("Unsaved changes", prompt, kSettleMs)) << "closing did not ask";
  desktop().tool({"windowfocus", "--sync", prompt.id});
  desktop().key("Escape");
  EXPECT_EQ(editor.process().waitExit(1000), -1) << "Cancel keeps the editor open";
  EXPECT_EQ(readText(editor.model()), original);

  kill(editor.process().pid(), SIGKILL);
  editor.process().waitExit(5000);
  editor.start();
  DesktopWindow offer;
  ASSERT_TRUE(desktop().findWindow("Recover unsaved work", offer, kStartMs))
      << "the copy was not offered";
  desktop().tool({"windowfocus", "--sync", offer.id});
  desktop().key("Return");
  ASSERT_TRUE(editor.waitForWindow());
  editor.keys({"ctrl+s"});
  ASSERT_TRUE(editor.fileChanges(original));
  EXPECT_EQ(readText(editor.model()), "// kept after a kill\n" + original);
  // Saved and closed: nothing is asked and no copy stays.
  editor.keys({"ctrl+q"});
  EXPECT_EQ(editor.process().waitExit(kSettleMs), 0);
  std::error_code error;
  EXPECT_TRUE(fs::is_empty(copies, error));
}

}  // namespace
}  // namespace movra::editor

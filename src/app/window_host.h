// The run host of a window: the driver pumps the window's messages between steps,
// repaints it, stops through its "中止" command and plots into its graph surface.
// Also the start-up sequence that runs the first calculation inside the window.
#pragma once

#include <QImage>
#include <QTimer>
#include <functional>
#include <string>

#include "app/hand_over.h"
#include "engine/run.h"
#include "engine/run_host.h"
#include "input/model.h"
#include "input/report.h"

namespace movra::app {

class MainWindow;

class WindowHost : public RunHost {
 public:
  explicit WindowHost(MainWindow& window) : window_(window) {}

  void pumpMessages(Run& run) override;
  void repaint(Run& run) override;
  void sendStopCommand(Run& run) override;
  void appendTitleNotice(const char* notice) override;
  int plotGraphs(Run& run) override;
  long long nowMs() override;
  void waitForEvents(Run& run, long long timeoutMs) override;

 private:
  MainWindow& window_;
  QTimer wake_;  // ends a wait without events
  long long lastPumpUs_ = -1;  // a batch run pumps at most once a millisecond
};

// The exit status of a run that ended but whose out.txt, CSV or view.png could
// not be written whole (the message named the file and why).
inline constexpr int kOutputNotWritten = 74;

struct WindowRunOptions {
  std::string outputDirectory;  // "out.txt" goes here (with its trailing '/')
  std::string csvPath;          // where the full-precision CSV goes; empty: none
  // Batch: save the final picture as outputDirectory + "view.png" and close the
  // window after the run instead of entering the message loop.
  bool batch = false;
  // The answer to the Newton questions where no box can be answered (offscreen).
  int offscreenAnswer = 1;
  // Told every title the window takes (the instance census counts the markers).
  std::function<void(const std::string& title)> titleChanged;
  // Receives the full paths of the files the run wrote ("out.txt", "view.png").
  std::string* written = nullptr;
};

// Start-up from window creation on: creates the window, reads the statements,
// shows the window and runs the calculation inside it, reports to the editor,
// writes "out.txt", then serves the window until it closes. The model text must
// have been read. Needs a QApplication. Returns the message loop's exit code.
int runWithWindow(Model& model, Run& run, Reporter& reporter, const LaunchArguments& launch,
                  const WindowRunOptions& options);

// Ends a run that a close request cut short the way a finished run ends, so that
// the frames recorded so far still reach "out.txt". Returns false when nothing
// was recorded or the frames wrapped in the ring.
bool settleClosedRun(Run& run);

// The part of a picture surface that holds everything drawn on it: the created
// window's size at least, wider or taller where anything reaches past it.
QImage pictureExtent(const QImage& surface);

}  // namespace movra::app

#include "app/window_host.h"

#include "view/view_state.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "app/main_window.h"
#include "app/message_box_sink.h"
#include "app/toolbar.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "input/statement_reader.h"
#include "platform/output_file.h"
#include "platform/stop_signals.h"
#include "view/drawing_surface.h"
#include "view/graph_plot.h"

namespace movra::app {

// A batch run has no window anyone can reach: its only events are its own timers
// and queued calls, which lose nothing by waiting a millisecond. One look at the
// event queue per step would cost a system call each.
void WindowHost::pumpMessages(Run&) {
  if (window_.batch()) {
    using namespace std::chrono;
    const long long now =
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    if (lastPumpUs_ >= 0 && now - lastPumpUs_ < 1000) return;
    lastPumpUs_ = now;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// One pass of the event loop that sleeps until an event comes; the single-shot wake
// timer bounds the sleep.
void WindowHost::waitForEvents(Run&, long long timeoutMs) {
  if (timeoutMs <= 0) return;
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  wake_.start(static_cast<int>(timeoutMs < 1000 ? timeoutMs : 1000));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  wake_.stop();
}

void WindowHost::repaint(Run&) {
  window_.requestRunRepaint();
}

void WindowHost::sendStopCommand(Run&) {
  window_.command(kStopCommand);
}

void WindowHost::appendTitleNotice(const char* notice) {
  window_.appendTitleNotice(notice);
}

int WindowHost::plotGraphs(Run& run) {
  if (run.lastFrame < 0) return 0;
  view::GraphSurface& surface = window_.graphSurface();
  surface.fillGray();
  return view::gnn(window_.model(), run, window_.reporter(), surface);
}

long long WindowHost::nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QImage pictureExtent(const QImage& surface) {
  // At least the created window; wider where the panel or the counters reach past
  // it, taller down to the last row of scale headers and units. Below the window
  // only rows with more than the scale columns' thin lines count as drawn.
  constexpr int kMinimumWidth = 960;
  constexpr int kMinimumHeight = 685;
  constexpr int kMargin = 8;
  constexpr int kLinePixelsPerRow = 16;
  int right = 0;
  int bottom = 0;
  const int surfaceWidth = surface.width();
  const int surfaceHeight = surface.height();
  for (int y = 0; y < surfaceHeight; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
    int drawn = 0;
    int last = 0;
    for (int x = 0; x < surfaceWidth; ++x) {
      if ((row[x] | 0xFF000000u) == view::kStockGray) continue;
      ++drawn;
      last = x + 1;
    }
    // The rule over the scale zone runs across the whole surface: it sets no width.
    if (drawn < surfaceWidth * 9 / 10) right = std::max(right, last);
    if (y < kMinimumHeight || drawn > kLinePixelsPerRow) bottom = y + 1;
  }
  const int width = std::min(surface.width(), std::max(kMinimumWidth, right + kMargin));
  const int height = std::min(surface.height(), std::max(kMinimumHeight, bottom + kMargin));
  return surface.copy(0, 0, width, height);
}

bool settleClosedRun(Run& run) {
  // The first interactive mode keeps its frames in a ring that wraps; only runs
  // whose frames still lie in order from slot 0 can be written as they are. The
  // second keeps its snapshots in order and stops at the capacity.
  if (run.interactionMode < 0 || run.interactionMode > 2) return false;
  if (run.frameCursor < 0 || run.frameCursor > run.frames.capacity) return false;
  if (run.interactionMode == 1 && run.frameCursor > run.frameCount) return false;
  run.lastFrame = run.frameCursor;
  run.frameCursor = 0;
  return true;
}

int runWithWindow(Model& model, Run& run, Reporter& reporter, const LaunchArguments& launch,
                  const WindowRunOptions& options) {
  WindowOptions windowOptions;
  windowOptions.outputDirectory = options.outputDirectory;
  windowOptions.csvPath = options.csvPath;
  windowOptions.batch = options.batch;
  MainWindow window(model, run, reporter, launch, windowOptions);
  installToolbar(window);
  MessageBoxContext boxes;
  boxes.parent = &window;
  boxes.offscreenAnswer = options.offscreenAnswer;
  reporter.setSink(messageBoxSink(&boxes));
  if (options.titleChanged) {
    options.titleChanged(window.windowTitle().toStdString());
    QObject::connect(
        &window, &QWidget::windowTitleChanged, &window,
        [&options](const QString& title) { options.titleChanged(title.toStdString()); });
  }

  // Ctrl-C or a kill: a calculation stops as its stop command stops it (it ends at
  // its next check and its frames are written), then the window closes.
  const int stopSignals = platform::watchStopSignals();
  QSocketNotifier stopNotifier(stopSignals, QSocketNotifier::Read);
  stopNotifier.setEnabled(stopSignals >= 0);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &window, [&window, stopSignals] {
    platform::drainStopSignals(stopSignals);
    window.stopThenClose();
  });

  model.parameters[kGrabbedNodeEntry] = -1;
  reporter.clearErrorBuffer();

  int result = kRunRefused;
  if (readStatements(model, reporter) == 0) {
    // The window was made before the statements were read: take the view window and
    // the scale base values of the model's ".vc" now.
    const view::DisplayToggles toggles = window.viewState().toggles;
    window.viewState() = view::initialViewState(model);
    window.viewState().toggles = toggles;
    // Offscreen there is no screen to fill: the window keeps its created size. A
    // batch run is watched by nobody: its window is never shown, so nothing is
    // painted (nor a font loaded) before the picture for view.png at the end.
    if (options.batch) {
      // not shown
    } else if (boxesCannotBeAnswered()) {
      window.show();
    } else {
      window.showMaximized();
    }
    if (!options.batch) {
      window.raise();
      window.activateWindow();
    }
    if (prepareRun(model, run, reporter) == 0) {
      result = runSimulation(model, run, reporter, window.host());
    }
  }
  if (model.handOverMode > 0 && reporter.hasCollectedError()) window.command(kReportCommand);
  if (result == kRunRefused) {
    // A close during the run must not lose what was recorded up to then.
    if (run.runRequest == 1 && settleClosedRun(run)) window.command(kExportCommand);
    QMetaObject::invokeMethod(
        &window, [&window] { window.destroySequence(); }, Qt::QueuedConnection);
  }
  if (run.runEnded == 1) {
    window.setEndedTitle();
    window.command(kExportCommand);
  }
  if (!launch.at(5).empty()) window.command(kSendScalesCommand);

  if (options.batch) {
    // The picture is encoded while the window lets the frame ring go: the two
    // longest steps of the end of a long run, and neither needs the other.
    QImage picture;
    bool pictureSaved = false;
    std::string pictureFailure;
    std::thread encoder;
    const std::string picturePath = options.outputDirectory + "view.png";
    const auto savePicture = [&] {
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      if (!picture.save(&buffer, "PNG")) {
        pictureFailure = picturePath + "：PNG にできない";
        return;
      }
      pictureSaved = platform::writeWholeFile(picturePath, png.constData(),
                                              static_cast<size_t>(png.size()), pictureFailure);
    };
    if (run.lastFrame >= 0) {
      window.viewState().toggles.graph = true;
      window.composePicture();
      picture = pictureExtent(window.workSurface());
      try {
        encoder = std::thread(savePicture);
      } catch (const std::system_error&) {
        savePicture();
      }
    }
    QCoreApplication::processEvents();
    window.destroySequence();
    if (encoder.joinable()) encoder.join();
    if (pictureSaved) {
      window.noteWritten(picturePath);
    } else if (run.lastFrame >= 0) {
      reporter.modelError(" Can't open view.png \n\n%s", pictureFailure.c_str());
      window.noteNotWritten();
    }
    if (options.written) *options.written = window.writtenOutputs();
    // No message loop: a script gets the run's own status (0 for an ended run).
    if (window.outputFailed() && (result == kRunNormal || result == kRunResumedEnd)) return kOutputNotWritten;
    return result == kRunResumedEnd ? 0 : result;
  }
  if (!window.quitRequested()) QApplication::exec();
  if (options.written) *options.written = window.writtenOutputs();
  // The status is the run's, not the message loop's: the last calculation the
  // window ran (a resumed run included) decides it.
  const int last = run.status != kRunNormal ? run.status : result;
  if (window.outputFailed() && (last == kRunNormal || last == kRunResumedEnd)) return kOutputNotWritten;
  return last == kRunResumedEnd ? 0 : last;
}

}  // namespace movra::app

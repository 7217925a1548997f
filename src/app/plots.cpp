// The simulator's plot window: the frames recorded so far, named from the model
// text, with the cursor on the frame the window shows.
#include <cstring>
#include <sstream>

#include "app/export.h"
#include "app/main_window.h"
#include "plot/plot_window.h"

namespace movra::app {

namespace {

// The same rows the CSV export writes, read back into series.
plot::PlotData recordedData(const Model& model, Run& run) {
  std::ostringstream csv;
  csv << csvHeader(model) << '\n';
  for (int f = 0; f <= run.lastFrame; ++f) csv << csvRow(model, run, frameSlot(run, f)) << '\n';
  plot::PlotData data;
  plot::readCsvText(csv.str(), data);
  return data;
}

}  // namespace

void MainWindow::openPlots() {
  if (run_.lastFrame < 0) return;
  const std::string_view text(model_.modelText, strnlen(model_.modelText, sizeof model_.modelText));
  plot::PlotData data = recordedData(model_, run_);
  if (data.time.empty() || data.series.empty()) return;
  plot::describeFromText(text, data);
  delete plots_;
  auto* window = new plot::PlotWindow(std::move(data), this);  // a window of its own
  window->setWindowTitle(QString::fromStdString(modelName_) + QStringLiteral(" — plots"));
  window->followFrames([this] { return run_.currentFrame; });
  // A run still going on adds its frames to the charts as they come.
  // (A wrapped ring keeps its last frame and moves its cursor.)
  window->followRun([this, text, last = run_.lastFrame, cursor = run_.frameCursor]() mutable {
    if (run_.lastFrame == last && run_.frameCursor == cursor) return plot::PlotData{};
    last = run_.lastFrame;
    cursor = run_.frameCursor;
    plot::PlotData newer = recordedData(model_, run_);
    plot::describeFromText(text, newer);
    return newer;
  });
  plots_ = window;
  window->show();
  window->raise();
}

}  // namespace movra::app

// The plot window: the run's charts with a legend, a cursor whose readout gives
// every series at the cursor's time, zoom (drag a box, the wheel, + and -), pan
// (drag with the right button, the arrow keys) and reset (Home, or the button).
#pragma once

#include <QMainWindow>
#include <functional>
#include <vector>

#include "plot/plot_data.h"

QT_BEGIN_NAMESPACE
class QChartView;
class QLabel;
class QLineSeries;
QT_END_NAMESPACE

namespace movra::plot {

class PlotWindow : public QMainWindow {
 public:
  explicit PlotWindow(PlotData data, QWidget* parent = nullptr);

  // Puts the cursor on the frame nearest to time t; playback calls it per frame.
  void setCursorTime(double t);
  double cursorTime() const { return cursorTime_; }
  QString readout() const;
  void resetZoom();
  const std::vector<QChartView*>& views() const { return views_; }
  const PlotData& data() const { return data_; }
  // The cursor follows the frame shownFrame() names, looked at a few times a second.
  void followFrames(std::function<int()> shownFrame);
  // Shows the frames recorded since, for charts of the same shape: each series gets
  // its new points; a chart the user has not zoomed also takes the new ranges.
  void refresh(PlotData newer);
  // While a run goes on: newer() is asked twice a second and returns data with
  // more frames, or an empty PlotData when nothing was added.
  void followRun(std::function<PlotData()> newer);

 private:
  PlotData data_;
  std::vector<QChartView*> views_;
  std::vector<QLineSeries*> cursors_;  // one per time chart, nullptr for an x-y chart
  QLabel* readout_ = nullptr;
  double cursorTime_ = 0;
  int followed_ = -1;
};

// The frame nearest to time t.
size_t nearestFrame(const std::vector<double>& time, double t);

}  // namespace movra::plot

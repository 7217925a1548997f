#include "plot/plot_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <memory>

#include "plot/figure.h"

namespace movra::plot {

namespace {

constexpr int kClickSlack = 4;  // pixels a click may move and stay a click

class ChartView : public QChartView {
 public:
  ChartView(QChart* chart, bool timeOnX, PlotWindow* window)
      : QChartView(chart), timeOnX_(timeOnX), window_(window) {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(260);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    pressed_ = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
      panning_ = true;
      event->accept();
      return;
    }
    QChartView::mousePressEvent(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (panning_) {
      const QPoint at = event->position().toPoint();
      chart()->scroll(pressed_.x() - at.x(), at.y() - pressed_.y());
      pressed_ = at;
      event->accept();
      return;
    }
    QChartView::mouseMoveEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (panning_) {
      panning_ = false;
      event->accept();
      return;
    }
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && (at - pressed_).manhattanLength() <= kClickSlack) {
      // A click places the cursor and zooms nothing.
      if (auto* band = findChild<QRubberBand*>(); band != nullptr) band->hide();
      if (timeOnX_) window_->setCursorTime(chart()->mapToValue(QPointF(at)).x());
      event->accept();
      return;
    }
    QChartView::mouseReleaseEvent(event);
  }
  void wheelEvent(QWheelEvent* event) override {
    chart()->zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
    event->accept();
  }
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Plus: chart()->zoomIn(); break;
      case Qt::Key_Minus: chart()->zoomOut(); break;
      case Qt::Key_Left: chart()->scroll(-20, 0); break;
      case Qt::Key_Right: chart()->scroll(20, 0); break;
      case Qt::Key_Up: chart()->scroll(0, 20); break;
      case Qt::Key_Down: chart()->scroll(0, -20); break;
      case Qt::Key_Home: window_->resetZoom(); break;
      default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
  }

 private:
  bool timeOnX_;
  PlotWindow* window_;
  QPoint pressed_;
  bool panning_ = false;
};

QString number(double value) { return QString::number(value, 'g', 6); }

}  // namespace

size_t nearestFrame(const std::vector<double>& time, double t) {
  if (time.empty()) return 0;
  const auto after = std::lower_bound(time.begin(), time.end(), t);
  if (after == time.begin()) return 0;
  if (after == time.end()) return time.size() - 1;
  const auto before = after - 1;
  return static_cast<size_t>((t - *before <= *after - t ? before : after) - time.begin());
}

PlotWindow::PlotWindow(PlotData data, QWidget* parent) : QMainWindow(parent), data_(std::move(data)) {
  setWindowTitle(QStringLiteral("movra plots"));
  auto* tools = addToolBar(QStringLiteral("Plot"));
  tools->addAction(QStringLiteral("Reset zoom"), this, [this] { resetZoom(); });
  auto* charts = new QWidget;
  auto* layout = new QVBoxLayout(charts);
  for (const Chart& c : data_.charts) {
    QChart* chart = makeChart(data_, c);
    QLineSeries* cursor = nullptr;
    if (c.xSeries < 0) {
      cursor = new QLineSeries;
      cursor->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
      chart->addSeries(cursor);
      for (QAbstractAxis* axis : chart->axes()) cursor->attachAxis(axis);
      for (QLegendMarker* marker : chart->legend()->markers(cursor)) marker->setVisible(false);
    }
    auto* view = new ChartView(chart, c.xSeries < 0, this);
    layout->addWidget(view);
    views_.push_back(view);
    cursors_.push_back(cursor);
  }
  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  scroll->setWidget(charts);
  auto* central = new QWidget;
  auto* outer = new QVBoxLayout(central);
  outer->addWidget(scroll, 1);
  readout_ = new QLabel;
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  readout_->setWordWrap(true);
  outer->addWidget(readout_);
  setCentralWidget(central);
  resize(960, std::min(900, 120 + 300 * static_cast<int>(views_.size())));
  if (!data_.time.empty()) setCursorTime(data_.time.front());
}

void PlotWindow::setCursorTime(double t) {
  if (data_.time.empty()) return;
  const size_t frame = nearestFrame(data_.time, t);
  cursorTime_ = data_.time[frame];
  for (size_t i = 0; i < views_.size(); ++i) {
    if (cursors_[i] == nullptr) continue;
    const auto* y = qobject_cast<QValueAxis*>(views_[i]->chart()->axes(Qt::Vertical).value(0));
    const double low = y != nullptr ? y->min() : 0;
    const double high = y != nullptr ? y->max() : 1;
    cursors_[i]->replace(QList<QPointF>{{cursorTime_, low}, {cursorTime_, high}});
  }
  QString text = QStringLiteral("t = %1 s").arg(number(cursorTime_));
  for (const Series& s : data_.series) {
    if (frame >= s.values.size()) continue;
    text += QStringLiteral("\n%1: %2%3")
                .arg(QString::fromStdString(s.name), number(s.values[frame]),
                     s.unit.empty() ? QString() : " " + QString::fromStdString(s.unit));
  }
  readout_->setText(text);
}

void PlotWindow::followFrames(std::function<int()> shownFrame) {
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this, shownFrame] {
    const int frame = shownFrame();
    if (frame == followed_ || frame < 0 || static_cast<size_t>(frame) >= data_.time.size()) return;
    followed_ = frame;
    setCursorTime(data_.time[static_cast<size_t>(frame)]);
  });
  timer->start(50);
}

void PlotWindow::refresh(PlotData newer) {
  if (newer.charts.size() != data_.charts.size() || newer.series.size() != data_.series.size())
    return;
  data_ = std::move(newer);
  for (size_t i = 0; i < views_.size(); ++i) {
    QChart* shown = views_[i]->chart();
    const std::unique_ptr<QChart> fresh(makeChart(data_, data_.charts[i]));
    const QList<QAbstractSeries*> freshSeries = fresh->series();
    const QList<QAbstractSeries*> shownSeries = shown->series();  // the cursor comes last
    for (qsizetype k = 0; k < freshSeries.size() && k < shownSeries.size(); ++k) {
      static_cast<QLineSeries*>(shownSeries[k])
          ->replace(static_cast<QLineSeries*>(freshSeries[k])->points());
    }
    if (shown->isZoomed()) continue;
    for (const Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
      auto* to = qobject_cast<QValueAxis*>(shown->axes(o).value(0));
      auto* from = qobject_cast<QValueAxis*>(fresh->axes(o).value(0));
      if (to == nullptr || from == nullptr) continue;
      to->setTickType(from->tickType());
      to->setTickAnchor(from->tickAnchor());
      to->setTickInterval(from->tickInterval());
      to->setTickCount(from->tickCount());
      to->setRange(from->min(), from->max());
    }
  }
  setCursorTime(cursorTime_);
}

void PlotWindow::followRun(std::function<PlotData()> newer) {
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this, newer] {
    PlotData data = newer();
    if (!data.time.empty()) refresh(std::move(data));
  });
  timer->start(500);
}

QString PlotWindow::readout() const { return readout_->text(); }

void PlotWindow::resetZoom() {
  for (QChartView* view : views_) view->chart()->zoomReset();
}

}  // namespace movra::plot

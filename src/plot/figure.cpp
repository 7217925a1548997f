#include "plot/figure.h"

#include <QApplication>
#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace movra::plot {

namespace {

constexpr int kWidth = 1100;       // of one chart, in pixels at 96 dpi
constexpr int kChartHeight = 340;

std::string extensionOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// A range with room around it; a constant gets one too.
void setRange(QValueAxis* axis, double low, double high) {
  if (!std::isfinite(low) || !std::isfinite(high)) low = high = 0;
  if (high - low <= 1e-12 * std::max(std::abs(low), std::abs(high))) {
    const double pad = low == 0 ? 1 : std::abs(low) * 0.1;
    low -= pad;
    high += pad;
  } else {
    const double pad = (high - low) * 0.05;
    low -= pad;
    high += pad;
  }
  axis->setRange(low, high);
  axis->applyNiceNumbers();
}

QString seriesLabel(const Series& s) {
  return QString::fromStdString(s.name + (s.unit.empty() ? "" : " (" + s.unit + ")"));
}

}  // namespace

QChart* makeChart(const PlotData& data, const Chart& chart) {
  auto* qchart = new QChart;
  qchart->setTitle(QString::fromStdString(chart.title));
  // More than two names fit only one under another, beside the chart.
  qchart->legend()->setAlignment(chart.series.size() > 2 ? Qt::AlignRight : Qt::AlignBottom);
  qchart->setAnimationOptions(QChart::NoAnimation);
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  x->setLabelFormat(QStringLiteral("%g"));
  y->setLabelFormat(QStringLiteral("%g"));
  x->setTitleText(QString::fromStdString(chart.xTitle));
  y->setTitleText(QString::fromStdString(chart.yTitle));
  qchart->addAxis(x, Qt::AlignBottom);
  qchart->addAxis(y, Qt::AlignLeft);
  double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
  const std::vector<double>& xs =
      chart.xSeries < 0 ? data.time : data.series[static_cast<size_t>(chart.xSeries)].values;
  for (const int index : chart.series) {
    const Series& s = data.series[static_cast<size_t>(index)];
    auto* line = new QLineSeries;
    line->setName(seriesLabel(s));

    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(s.values.size()));
    for (size_t k = 0; k < s.values.size() && k < xs.size(); ++k) {
      points.append(QPointF(xs[k], s.values[k]));
      xLow = std::min(xLow, xs[k]);
      xHigh = std::max(xHigh, xs[k]);
      yLow = std::min(yLow, s.values[k]);
      yHigh = std::max(yHigh, s.values[k]);
    }
    line->replace(points);
    qchart->addSeries(line);
    QPen pen = line->pen();  // the theme's colour, a finer line
    pen.setWidthF(1.5);
    line->setPen(pen);
    line->attachAxis(x);
    line->attachAxis(y);
  }
  if (chart.xSeries < 0 && !xs.empty()) {
    x->setRange(xs.front(), xs.back() > xs.front() ? xs.back() : xs.front() + 1);
    // Ticks at round times, the axis ending where the run does.
    const double span = x->max() - x->min();
    const double step = std::pow(10.0, std::floor(std::log10(span / 5)));
    const double ratio = span / 5 / step;
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(step * (ratio >= 5 ? 5 : ratio >= 2 ? 2 : 1));
  } else {
    setRange(x, xLow, xHigh);
  }
  setRange(y, yLow, yHigh);
  return qchart;
}

std::string formatError(const std::string& path) {
  const std::string extension = extensionOf(path);
  if (extension == ".svg" || extension == ".pdf" || extension == ".png") return "";
  return path + ": the figure is written as .svg, .pdf or .png, not '" +
         (extension.empty() ? std::string("no extension") : extension) + "'";
}

void ensureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  static int argc = 1;
  static char name[] = "movra-plot";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

std::string writeFigure(const PlotData& data, const std::string& path) {
  if (std::string why = formatError(path); !why.empty()) return why;
  if (data.charts.empty() || data.time.empty()) return "nothing to plot: the run recorded nothing";
  ensureApplication();
  QGraphicsScene scene;
  const int count = static_cast<int>(data.charts.size());
  for (int i = 0; i < count; ++i) {
    QChart* chart = makeChart(data, data.charts[static_cast<size_t>(i)]);
    scene.addItem(chart);  // the scene owns it
    chart->setGeometry(QRectF(0, i * kChartHeight, kWidth, kChartHeight));
  }
  const QRectF source(0, 0, kWidth, count * kChartHeight);
  scene.setSceneRect(source);
  const QString file = QString::fromStdString(path);
  const std::string extension = extensionOf(path);
  // Written beside, then moved: a failed write leaves no half figure.
  const QString partial = file + ".partial";
  bool drawn = false;
  if (extension == ".png") {
    QImage image(kWidth, count * kChartHeight, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(image.rect()), source);
    painter.end();
    drawn = image.save(partial, "PNG");
  } else if (extension == ".svg") {
    QSvgGenerator svg;
    svg.setFileName(partial);
    svg.setSize(QSize(kWidth, count * kChartHeight));
    svg.setViewBox(source);
    svg.setTitle(QStringLiteral("movra run"));
    QPainter painter;
    drawn = painter.begin(&svg);
    if (drawn) {
      scene.render(&painter, source, source);
      drawn = painter.end();
    }
  } else {
    QPdfWriter pdf(partial);
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QSizeF(kWidth, count * kChartHeight), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    drawn = painter.begin(&pdf);
    if (drawn) {
      scene.render(&painter, QRectF(0, 0, pdf.width(), pdf.height()), source);
      drawn = painter.end();
    }
  }
  std::error_code error;
  if (drawn && std::filesystem::file_size(partial.toStdString(), error) > 0 && !error) {
    std::filesystem::rename(partial.toStdString(), path, error);
    if (!error) return "";
  }
  std::filesystem::remove(partial.toStdString(), error);
  return "cannot write " + path;
}

}  // namespace movra::plot

// Charts of a run's outputs with Qt Charts, and the figure file: the charts
// stacked one under another, written as SVG, PDF or PNG by the file's extension.
#pragma once

#include <QtCharts/QChart>
#include <string>

#include "plot/plot_data.h"

namespace movra::plot {

// A chart with a legend, its axes titled, one line series per recorded item.
QChart* makeChart(const PlotData& data, const Chart& chart);

// Empty when the path ends in .svg, .pdf or .png; otherwise why not.
std::string formatError(const std::string& path);

// Writes every chart of data to path. Returns an empty string or why not.
std::string writeFigure(const PlotData& data, const std::string& path);

// A QApplication for the charts when none runs; without a display it draws
// offscreen.
void ensureApplication();

}  // namespace movra::plot

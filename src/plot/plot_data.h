// A run's recorded outputs as series to plot: read from the run's CSV, named in
// words from the model, grouped into one chart per unit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace movra::language {
struct FileIndex;
}

namespace movra::plot {

struct Series {
  std::string item;  // as the model writes it: "x3.9", "c1102"
  std::string name;  // in words: "potential of node 3"
  std::string unit;  // "V"; empty for a value without one
  std::vector<double> values;
};

// One chart: the series of one unit against time, or one series against another
// (an x-y curve the model asks for with ".oo").
struct Chart {
  std::string title;
  std::string xTitle;
  std::string yTitle;
  std::vector<int> series;  // indices into PlotData::series
  int xSeries = -1;         // -1: time on x
};

struct PlotData {
  std::vector<double> time;
  std::vector<Series> series;  // every recorded item but the time
  std::vector<Chart> charts;
};

// Reads "t,A,B,..." and one row per frame. Returns an empty string or why not.
std::string readCsv(const std::string& path, PlotData& data);

// The same from the CSV's text; name stands for the file in the messages.
std::string readCsvText(const std::string& text, PlotData& data, const std::string& name = "the CSV");

// Names each series from the model file's reference rows and arranges the
// charts; without a model (an empty path) the items keep their ids and share one
// chart. Returns an empty string or why not.
std::string describeFromFile(const std::string& modelPath, PlotData& data);
// The same from the model's text (includes are not followed).
void describeFromText(std::string_view modelText, PlotData& data);

// One chart per unit in the order the units first appear, then one per x-y pair
// that a ".oo" line of the model asks for (model may be nullptr).
void arrangeCharts(const language::FileIndex* model, PlotData& data);

// "V" -> "voltage (V)": an axis title for a unit.
std::string axisTitle(const std::string& unit);

}  // namespace movra::plot

#include "plot/plot_data.h"

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>

#include "language/hover.h"
#include "language/model_index.h"

namespace movra::plot {

namespace {

// A header field, unquoted.
std::vector<std::string> splitHeader(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  return fields;
}

bool readNumber(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// The hover's words for units, as the reference rows write them.
std::string commonUnit(const std::string& unit) {
  if (unit == "degC") return "°C";
  if (unit == "degrees") return "deg";
  return unit;
}

std::unique_ptr<language::FileIndex> indexFile(const std::string& modelPath, std::string& error) {
  std::ifstream in(modelPath, std::ios::binary);
  if (!in) {
    error = "cannot read the model " + modelPath;
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return language::indexModel(text.str(), modelPath);
}

}  // namespace

std::string readCsv(const std::string& path, PlotData& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot read " + path;
  std::ostringstream text;
  text << in.rdbuf();
  return readCsvText(text.str(), data, path);
}

std::string readCsvText(const std::string& text, PlotData& data, const std::string& path) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line)) return path + " is empty: the run recorded nothing";
  const std::vector<std::string> header = splitHeader(line);
  int timeColumn = -1;
  data = PlotData{};
  for (size_t c = 0; c < header.size(); ++c) {
    if (header[c] == "t" && timeColumn < 0) {
      timeColumn = static_cast<int>(c);
      continue;
    }
    data.series.push_back(Series{header[c], header[c], "", {}});
  }
  if (timeColumn < 0) return path + ": no time column \"t\" in its header";
  int row = 1;
  while (std::getline(in, line)) {
    ++row;
    if (line.empty() || line == "\r") continue;
    std::string_view rest = line;
    size_t column = 0;
    size_t seriesIndex = 0;
    for (;; ++column) {
      const size_t comma = rest.find(',');
      double value = 0;
      if (column >= header.size() || !readNumber(rest.substr(0, comma), value)) {
        return path + ": row " + std::to_string(row) + " is not " + std::to_string(header.size()) +
               " numbers";
      }
      if (static_cast<int>(column) == timeColumn) {
        data.time.push_back(value);
      } else {
        data.series[seriesIndex++].values.push_back(value);
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    if (column + 1 != header.size()) {
      return path + ": row " + std::to_string(row) + " is not " + std::to_string(header.size()) +
             " numbers";
    }
  }
  if (data.time.empty()) return path + " has no recorded frame: the run recorded nothing";
  if (data.series.empty()) return path + " records nothing but the time";
  return "";
}

namespace {

void nameSeries(const language::FileIndex& index, PlotData& data) {
  for (Series& s : data.series) {
    const language::OutputMeaning meaning = language::outputMeaning(index, s.item);
    const std::string label = language::outputLabel(index, s.item);
    s.name = label.empty() ? meaning.words : label;
    s.unit = commonUnit(meaning.unit);
  }
}

}  // namespace

std::string describeFromFile(const std::string& modelPath, PlotData& data) {
  if (modelPath.empty()) {
    arrangeCharts(nullptr, data);
    return "";
  }
  std::string error;
  const auto index = indexFile(modelPath, error);
  if (index == nullptr) return error;
  nameSeries(*index, data);
  arrangeCharts(index.get(), data);
  return "";
}

void describeFromText(std::string_view modelText, PlotData& data) {
  const auto index = language::indexModel(modelText, "");
  nameSeries(*index, data);
  arrangeCharts(index.get(), data);
}

std::string axisTitle(const std::string& unit) {
  static const std::map<std::string, std::string> quantities = {
      {"V", "voltage"},         {"A", "current"},          {"W", "power"},
      {"J", "energy"},          {"m", "position"},           {"N", "force"},
      {"N·m", "torque"},        {"deg", "angle"},          {"rad", "angle"},
      {"deg/s", "angular speed"}, {"rad/s", "angular speed"}, {"m/s", "speed"},
      {"°C", "temperature"},    {"K", "temperature"},      {"Pa", "pressure"},
      {"m³/s", "flow"},         {"T", "flux density"},     {"Wb", "flux"},
      {"A/m", "field strength"}, {"A-turns", "magnetic potential"}, {"Ω", "resistance"},
      {"s", "time"},            {"kg/s", "mass flow"},     {"l/min", "flow"},
  };
  if (unit.empty()) return "value";
  const auto found = quantities.find(unit);
  return found != quantities.end() ? found->second + " (" + unit + ")" : unit;
}

void arrangeCharts(const language::FileIndex* model, PlotData& data) {
  data.charts.clear();
  std::map<std::string, size_t> byUnit;
  for (size_t i = 0; i < data.series.size(); ++i) {
    const std::string& unit = data.series[i].unit;
    auto [at, added] = byUnit.emplace(unit, data.charts.size());
    if (added) {
      const std::string title = axisTitle(unit);
      data.charts.push_back(Chart{title, "time (s)", title, {}, -1});
    }
    data.charts[at->second].series.push_back(static_cast<int>(i));
  }
  if (model == nullptr) return;
  // ".oo A, B, ...": B against A.
  const auto column = [&](std::string item) {
    if (!item.empty() && item[0] >= '0' && item[0] <= '9') item = "c" + item;
    for (size_t i = 0; i < data.series.size(); ++i) {
      const std::string& name = data.series[i].item;
      if (name == item || (name.size() > 1 && item.size() > 1 && item[0] == 'c' &&
                           name.substr(1) == item.substr(1) && (name[0] == 'c' || name[0] == 'C')))
        return static_cast<int>(i);
    }
    return -1;
  };
  for (const language::Statement& s : model->statements) {
    if (s.keyword != ".oo") continue;
    std::vector<std::string> items;
    for (const language::FieldToken& f : s.fields) {
      std::string text = f.text;
      while (!text.empty() && text.front() == ' ') text.erase(text.begin());
      while (!text.empty() && text.back() == ' ') text.pop_back();
      items.push_back(text);
    }
    if (items.size() < 2) continue;
    const int x = column(items[0]);
    const int y = column(items[1]);
    if (x < 0 || y < 0) continue;
    const Series& sx = data.series[static_cast<size_t>(x)];
    const Series& sy = data.series[static_cast<size_t>(y)];
    data.charts.push_back(Chart{sy.name + " against " + sx.name,
                                sx.name + (sx.unit.empty() ? "" : " (" + sx.unit + ")"),
                                sy.name + (sy.unit.empty() ? "" : " (" + sy.unit + ")"),
                                {y},
                                x});
  }
}

}  // namespace movra::plot

// Plots of a run's outputs: the figure files of movra-note run --plot and
// movra-note plot against the run's CSV, their errors, and the plot window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest/QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "plot/figure.h"
#include "plot/plot_data.h"
#include "plot/plot_window.h"
#include "support/batch_runs.h"
#include "support/window_tests.h"

namespace {

using movra::testing::runNote;
namespace plot = movra::plot;

// Runs of this test program share no blocks with runs of the others beside it.
[[maybe_unused]] const bool kOwnBlocks = [] {
  setenv("MOVRA_SHM_TAG", ("plots-" + std::to_string(getpid())).c_str(), 1);
  return true;
}();

std::string examplePath(const std::string& name) {
  return std::string(MOVRA_SOURCE_DIR) + "/examples/" + name + ".model";
}

std::string scratchFolder(const std::string& name) {
  const std::string folder = ::testing::TempDir() + "plots_" + name + "_" + std::to_string(getpid());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The CSV's columns as written, without the time: name and values.
std::vector<std::pair<std::string, std::vector<double>>> csvColumns(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::vector<std::pair<std::string, std::vector<double>>> columns;
  std::istringstream header(line);
  for (std::string name; std::getline(header, name, ',');) columns.push_back({name, {}});
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string field;
    for (auto& column : columns) {
      std::getline(row, field, ',');
      column.second.push_back(std::stod(field));
    }
  }
  columns.erase(columns.begin());  // the time
  return columns;
}

// The longest run of plain ASCII in a name, at most 12 characters: the SVG
// writes other characters as entities.
std::string asciiPart(const std::string& name) {
  std::string best, run;
  for (const char c : name + '\x80') {
    if (static_cast<unsigned char>(c) < 0x80) {
      run += c;
    } else {
      if (run.size() > best.size()) best = run;
      run.clear();
    }
  }
  return best.substr(0, 12);
}

struct ExampleFigure {
  const char* example;
  const char* item;      // one recorded output of the example
  const char* words;     // what its series is named
  const char* unit;
  size_t timeCharts;     // one per unit
  size_t xyCharts;       // asked for by ".oo"
};

// A converter, a mechanism, a thermal run and a core's B-H loop, each run with
// --plot: the figure's series carry the CSV's values, named and united from the
// reference rows, one chart per unit.
TEST(Plots, FiguresOfRunsFollowTheirCsv) {
  const ExampleFigure cases[] = {
      // The converter and the wall label their outputs; the others are described.
      {"buck_converter", "c1102", "inductor current", "A", 2, 0},
      {"buck_converter", "c1211", "output voltage, mean over the period", "V", 2, 0},
      {"buck_converter", "x3.9", "output voltage", "V", 2, 0},
      {"slider_crank", "x2.2", "y coordinate of node 2", "m", 2, 0},
      {"composite_wall", "x3.9", "brick | insulation", "°C", 2, 0},
      {"coil_on_core", "c1202", "B of Ma 11 12", "T", 5, 1},
  };
  movra::testing::ensureApplication();
  for (const ExampleFigure& c : cases) {
    SCOPED_TRACE(std::string(c.example) + " " + c.item);
    const std::string folder = scratchFolder(c.example);
    const std::string csv = folder + "/outputs.csv";
    const std::string svg = folder + "/figure.svg";
    const auto result = runNote("run " + examplePath(c.example) + " --batch " + folder +
                                " --csv " + csv + " --plot " + svg);
    ASSERT_EQ(result.exitCode, 0) << result.output;

    plot::PlotData data;
    ASSERT_EQ(plot::readCsv(csv, data), "");
    ASSERT_EQ(plot::describeFromFile(examplePath(c.example), data), "");
    const auto columns = csvColumns(csv);
    ASSERT_EQ(data.series.size(), columns.size());

    // The one chart of each unit holds every series of that unit and no other.
    std::set<std::string> units;
    size_t timeCharts = 0;
    size_t xyCharts = 0;
    for (const plot::Chart& chart : data.charts) {
      if (chart.xSeries >= 0) {
        ++xyCharts;
        continue;
      }
      ++timeCharts;
      const std::string& unit = data.series[static_cast<size_t>(chart.series.front())].unit;
      EXPECT_TRUE(units.insert(unit).second) << "a second chart of " << unit;
      for (const int s : chart.series) EXPECT_EQ(data.series[static_cast<size_t>(s)].unit, unit);
    }
    EXPECT_EQ(timeCharts, c.timeCharts);
    EXPECT_EQ(xyCharts, c.xyCharts);

    // The series of the item: its words, its unit, and in its chart the CSV's values.
    const std::string svgText = fileText(svg);
    bool found = false;
    for (size_t i = 0; i < data.series.size(); ++i) {
      const plot::Series& s = data.series[i];
      EXPECT_EQ(s.item, columns[i].first);
      EXPECT_NE(s.name, s.item) << "every output of an example has a description";
      EXPECT_NE(svgText.find(asciiPart(s.name)), std::string::npos) << s.name << " not in the SVG";
      if (s.item != c.item) continue;
      found = true;
      EXPECT_EQ(s.name.rfind(c.words, 0), 0u) << s.name;
      EXPECT_EQ(s.unit, c.unit);
      for (const plot::Chart& chart : data.charts) {
        if (chart.xSeries >= 0 || std::find(chart.series.begin(), chart.series.end(), static_cast<int>(i)) == chart.series.end())
          continue;
        std::unique_ptr<QChart> made(plot::makeChart(data, chart));
        const QString label = QString::fromStdString(s.name + " (" + s.unit + ")");
        QLineSeries* line = nullptr;
        for (QAbstractSeries* candidate : made->series())
          if (candidate->name() == label) line = qobject_cast<QLineSeries*>(candidate);
        ASSERT_NE(line, nullptr) << label.toStdString();
        const QList<QPointF> points = line->points();
        ASSERT_EQ(static_cast<size_t>(points.size()), columns[i].second.size());
        for (qsizetype k = 0; k < points.size(); k += 37) {
          EXPECT_EQ(points[k].y(), columns[i].second[static_cast<size_t>(k)]);
          EXPECT_EQ(points[k].x(), data.time[static_cast<size_t>(k)]);
        }
      }
    }
    EXPECT_TRUE(found) << c.item << " is not among the series";
    std::filesystem::remove_all(folder);
  }
}

// One CSV drawn in each format: each file is what its extension says, and more
// than a blank page.
TEST(Plots, WritesPngSvgAndPdf) {
  const std::string folder = scratchFolder("formats");
  const std::string csv = folder + "/rc.csv";
  ASSERT_EQ(runNote("run " + examplePath("rc_circuit") + " --batch " + folder + " --csv " + csv).exitCode, 0);
  const struct {
    const char* extension;
    const char* start;
  } formats[] = {{".png", "\x89PNG"}, {".svg", "<?xml"}, {".pdf", "%PDF"}, {".SVG", "<?xml"}};
  for (const auto& f : formats) {
    SCOPED_TRACE(f.extension);
    const std::string figure = folder + "/figure" + f.extension;
    const auto result = runNote("plot " + csv + " --model " + examplePath("rc_circuit") + " --out " + figure);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::string bytes = fileText(figure);
    EXPECT_EQ(bytes.rfind(f.start, 0), 0u);
    EXPECT_GT(bytes.size(), 8000u);
    EXPECT_FALSE(std::filesystem::exists(figure + ".partial"));
  }
  // The picture: many colours where the curves and the text are, on white.
  QImage image(QString::fromStdString(folder + "/figure.png"));
  ASSERT_FALSE(image.isNull());
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 20u);
  // A run folder with its one CSV stands for the CSV.
  EXPECT_EQ(runNote("plot " + folder + " --out " + folder + "/again.png").exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(folder + "/again.png"));
  std::filesystem::remove_all(folder);
}

// Bad arguments: a message saying what is wrong, a non-zero exit, no figure.
TEST(Plots, BadArgumentsFailClearly) {
  const std::string folder = scratchFolder("bad");
  const std::string csv = folder + "/rc.csv";
  ASSERT_EQ(runNote("run " + examplePath("rc_circuit") + " --batch " + folder + " --csv " + csv).exitCode, 0);
  std::ofstream(folder + "/empty.csv") << "t,x1.9,x2.9\n";
  std::ofstream(folder + "/broken.csv") << "t,x1.9\n0,1\n1,2,3\n";
  std::filesystem::create_directories(folder + "/nothing");
  std::ofstream(folder + "/file") << "a file, not a folder\n";
  const struct {
    std::string arguments;
    int exitCode;
    const char* message;
  } cases[] = {
      {"plot " + csv + " --out " + folder + "/f.jpg", 2, "written as .svg, .pdf or .png, not '.jpg'"},
      {"plot " + csv + " --out " + folder + "/f", 2, "not 'no extension'"},
      {"plot " + csv + " --out " + folder + "/missing/f.svg", 1, "no folder"},
      {"plot " + csv + " --out " + folder + "/file/f.svg", 1, "no folder"},
      {"plot " + folder + "/empty.csv --out " + folder + "/f.svg", 1, "recorded nothing"},
      {"plot " + folder + "/broken.csv --out " + folder + "/f.svg", 1, "row 3 is not 2 numbers"},
      {"plot " + folder + "/absent.csv --out " + folder + "/f.svg", 1, "cannot read"},
      {"plot " + folder + "/nothing --out " + folder + "/f.svg", 1, "holds no .csv file"},
      {"plot " + csv, 2, "--out FILE"},
      {"plot " + csv + " --out " + folder + "/f.svg --model " + folder + "/absent.model", 1,
       "cannot read the model"},
      {"run " + examplePath("rc_circuit") + " --plot " + folder + "/f.gif", 2, "not '.gif'"},
      {"run " + examplePath("rc_circuit") + " --plot " + folder + "/missing/f.png", 2, "no folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto result = runNote(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
  }
  for (const char* name : {"f.svg", "f.jpg", "f.gif", "f.png", "f"})
    EXPECT_FALSE(std::filesystem::exists(folder + "/" + name)) << name;
  std::filesystem::remove_all(folder);
}

// Outputs without a run: items the model sets in several ways, each in words.
TEST(Plots, ItemsAreNamedFromTheModel) {
  const char* model = R"(.in 1 0 0
.in 2 1 0
R 1 0, 10 {h1000}
t 2 0, 5
:set 21
   x1.9 * 2
.o x1.9, 1002, p21, c1001, x2.9, p99
.ic
)";
  plot::PlotData data;
  ASSERT_EQ(plot::readCsvText("t,x1.9,1002,p21,c1001,x2.9,p99\n0,1,2,3,4,5,6\n0.5,1,2,3,4,5,6\n", data), "");
  plot::describeFromText(model, data);
  const struct {
    const char* words;
    const char* unit;
  } expected[] = {
      {"voltage of node 1", "V"},
      {"current of R 1 0 (line 3)", "A"},
      {"value of :set 21 (line 5)", ""},
      {"voltage of R 1 0 (line 3)", "V"},
      {"temperature of node 2", "°C"},
      {"p99", ""},
  };
  ASSERT_EQ(data.series.size(), std::size(expected));
  for (size_t i = 0; i < data.series.size(); ++i) {
    EXPECT_EQ(data.series[i].name.rfind(expected[i].words, 0), 0u) << data.series[i].name;
    EXPECT_EQ(data.series[i].unit, expected[i].unit) << data.series[i].item;
  }
  // V, A, °C and the values without a unit.
  EXPECT_EQ(data.charts.size(), 4u);
  EXPECT_EQ(data.charts[0].yTitle, "voltage (V)");
  EXPECT_EQ(data.charts[0].series, (std::vector<int>{0, 3}));

  // A label the model gives names the series; the unit still comes from the item.
  std::string labelled = model;
  labelled.replace(labelled.find("{h1000}"), 7, "{h1000 c1002 \"load current\"}");
  labelled.replace(labelled.find(".o x1.9"), 7, ".o x1.9 \"supply, V1\"");
  plot::describeFromText(labelled, data);
  EXPECT_EQ(data.series[0].name, "supply, V1");
  EXPECT_EQ(data.series[1].name, "load current");
  EXPECT_EQ(data.series[1].unit, "A");
  EXPECT_EQ(data.series[3].name.rfind("voltage of R 1 0", 0), 0u) << data.series[3].name;
}

// The window: a click reads every series at the clicked time; a dragged box
// zooms, the right button pans, and reset brings the whole run back.
TEST(PlotWindow, CursorZoomPanAndReset) {
  movra::testing::ensureApplication();
  plot::PlotData data;
  std::string csv = "t,c1001,c1002\n";
  for (int k = 0; k <= 100; ++k)
    csv += std::to_string(k * 0.01) + "," + std::to_string(k * 0.5) + "," + std::to_string(k * k) + "\n";
  ASSERT_EQ(plot::readCsvText(csv, data), "");
  plot::describeFromText(".in 1 0 0\nR 1 0, 10 {h1000}\n.o 1001, 1002\n.ic\n", data);
  plot::PlotWindow window(data);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_EQ(window.views().size(), 2u);
  QChartView* view = window.views()[0];
  QChart* chart = view->chart();
  const auto pixelOf = [&](double t, double value) {
    return view->mapFromScene(chart->mapToScene(chart->mapToPosition(QPointF(t, value))));
  };

  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, pixelOf(0.42, 10));
  EXPECT_NEAR(window.cursorTime(), 0.42, 0.011);
  const int frame = static_cast<int>(plot::nearestFrame(data.time, window.cursorTime()));
  const QString readout = window.readout();
  EXPECT_TRUE(readout.contains(QStringLiteral("voltage of R 1 0 (line 2): %1 V").arg(frame * 0.5)))
      << readout.toStdString();
  EXPECT_TRUE(readout.contains(QStringLiteral("current of R 1 0 (line 2): %1 A").arg(frame * frame)))
      << readout.toStdString();

  auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  ASSERT_NE(x, nullptr);
  const double fullLow = x->min();
  const double fullHigh = x->max();
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, pixelOf(0.2, 40));
  QTest::mouseMove(view->viewport(), pixelOf(0.5, 5));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, pixelOf(0.5, 5));
  EXPECT_NEAR(x->min(), 0.2, 0.02);
  EXPECT_NEAR(x->max(), 0.5, 0.02);
  EXPECT_NEAR(window.cursorTime(), 0.42, 0.011) << "a drag is no click";

  const double zoomedLow = x->min();
  QTest::mousePress(view->viewport(), Qt::RightButton, {}, pixelOf(0.4, 20));
  QTest::mouseMove(view->viewport(), pixelOf(0.3, 20));
  QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, pixelOf(0.3, 20));
  EXPECT_NEAR(x->min() - zoomedLow, 0.1, 0.02) << "dragging left moves later times in";

  window.resetZoom();
  EXPECT_DOUBLE_EQ(x->min(), fullLow);
  EXPECT_DOUBLE_EQ(x->max(), fullHigh);

  // Playback moves the cursor to the shown frame.
  int shown = 7;
  window.followFrames([&] { return shown; });
  QTest::qWait(120);
  EXPECT_DOUBLE_EQ(window.cursorTime(), data.time[7]);

  // A run going on: a window opened at half the run takes the frames added since;
  // the chart the user zoomed keeps its view, the other follows the run.
  plot::PlotData half;
  ASSERT_EQ(plot::readCsvText(csv.substr(0, csv.find("0.510000")), half), "");
  plot::describeFromText(".in 1 0 0\nR 1 0, 10 {h1000}\n.o 1001, 1002\n.ic\n", half);
  plot::PlotWindow growing(half);
  growing.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&growing));
  const auto axisOf = [&](int v, Qt::Orientation o) {
    return qobject_cast<QValueAxis*>(
        growing.views()[static_cast<size_t>(v)]->chart()->axes(o).value(0));
  };
  EXPECT_NEAR(axisOf(1, Qt::Horizontal)->max(), 0.5, 1e-9);
  growing.views()[0]->chart()->zoomIn(QRectF(50, 50, 100, 80));
  const double zoomedHigh = axisOf(0, Qt::Horizontal)->max();
  growing.refresh(data);
  for (QChartView* v : growing.views())
    EXPECT_EQ(static_cast<QLineSeries*>(v->chart()->series()[0])->count(), 101);
  EXPECT_DOUBLE_EQ(axisOf(0, Qt::Horizontal)->max(), zoomedHigh);
  EXPECT_NEAR(axisOf(1, Qt::Horizontal)->max(), 1.0, 1e-9);
  EXPECT_GE(axisOf(1, Qt::Vertical)->max(), 10000);
}

}  // namespace

// The graph plot over recorded frames: the settled axis ranges (rounding, groups,
// vectors, fixed ranges), the ring indexing, the two refusals, and the curves,
// axes and labels it draws, read back by colour and place.
#include "view/graph_plot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "engine/recording.h"
#include "view/gui_environment.h"

namespace movra::view {
namespace {

using testing::countColour;
using testing::hitNear;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// The view square in window pixels: x 100..700, y 30..630.
const QRect kSquare(100, 30, 601, 601);

class GraphPlotTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureGuiApplication(); }

  // Outputs 1..items (item 1 the time), frames 0..lastFrame in a ring of capacity
  // `capacity`, with a few shape numbers ahead of the output block.
  void prepare(int items, int lastFrame, int capacity = -1) {
    if (capacity < 0) capacity = lastFrame;
    model->count.outputs = items;
    model->outputs[1].slot = 1;
    for (int j = 1; j <= items; ++j) {
      run->outputLow[j] = 1e38;  // what the driver starts tracking with
      run->outputHigh[j] = -1e38;
    }
    run->outputBlockStart = 4;
    const long long clock = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
    ASSERT_EQ(createFrameRing(run->frames, clock, capacity, run->outputBlockStart + items + 7), 0);
    run->lastFrame = lastFrame;
    run->frameCursor = 0;
  }
  void set(int frame, int item, double value) {
    run->frames.frame(frameSlot(*run, frame))[run->outputBlockStart + item - 1] = value;
  }
  double low(int item) const { return run->outputLow[item]; }
  double high(int item) const { return run->outputHigh[item]; }
  int plot() { return gnn(*model, *run, reporter, surface); }
  QColor colour(int index) const { return DrawingContext().colour(index); }
  const QImage& image() const { return surface.image(); }

  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<movra::Run> run = makeRun();
  Reporter reporter;
  GraphSurface surface{kScreenWidth, kScreenHeight};
};

TEST(AxisRounding, TwoFourEightTen) {
  struct Case {
    double low, high, roundedLow, roundedHigh;
  };
  const Case cases[] = {
      {3.0, 7.0, 0.0, 8.0},      {-0.5, 0.004, -0.8, 0.0},     {-7.0, 7.0, -8.0, 8.0},
      {0.0, 0.0, -1e-08, 1e-08}, {-3e-7, 2e-7, -1e-06, 1e-06},
  };
  for (const Case& c : cases) {
    double low = c.low;
    double high = c.high;
    roundAxisRange(low, high);
    EXPECT_DOUBLE_EQ(low, c.roundedLow) << c.low << " .. " << c.high;
    EXPECT_DOUBLE_EQ(high, c.roundedHigh) << c.low << " .. " << c.high;
  }
  // A range far from zero keeps only the half of the rounded side it lies in.
  double low = 5.0, high = 7.0;
  roundAxisRange(low, high);
  EXPECT_DOUBLE_EQ(low, 4.0);
  EXPECT_DOUBLE_EQ(high, 8.0);
  low = -7.0, high = -5.0;
  roundAxisRange(low, high);
  EXPECT_DOUBLE_EQ(low, -8.0);
  EXPECT_DOUBLE_EQ(high, -4.0);
}

TEST_F(GraphPlotTest, RangesSettleFromTheFramesAndAreWrittenBack) {
  prepare(6, 10);
  model->outputs[6].axisGroup = -1;  // a fixed range: neither widened nor rounded
  run->outputLow[6] = -3.0;
  run->outputHigh[6] = 5.0;
  for (int f = 0; f <= 10; ++f) {
    set(f, 1, 0.2 * f);
    set(f, 2, 3.0 + 0.4 * f);          // 3 .. 7
    set(f, 3, 0.0);                    // never changes
    set(f, 4, f == 4 ? -0.5 : 0.004);  // -0.5 .. 0.004
    set(f, 5, f % 2 ? 7.0 : -7.0);
    set(f, 6, 10.0 * f);
  }
  ASSERT_EQ(plot(), 0);
  EXPECT_DOUBLE_EQ(low(1), 0.0);
  EXPECT_DOUBLE_EQ(high(1), 2.0);
  EXPECT_DOUBLE_EQ(low(2), 0.0);
  EXPECT_DOUBLE_EQ(high(2), 8.0);
  EXPECT_DOUBLE_EQ(low(3), -1e-08);
  EXPECT_DOUBLE_EQ(high(3), 1e-08);
  EXPECT_DOUBLE_EQ(low(4), -0.8);
  EXPECT_DOUBLE_EQ(high(4), 0.0);
  EXPECT_DOUBLE_EQ(low(5), -8.0);
  EXPECT_DOUBLE_EQ(high(5), 8.0);
  EXPECT_DOUBLE_EQ(low(6), -3.0);
  EXPECT_DOUBLE_EQ(high(6), 5.0);

  // The constant zero is a flat line through the middle, in item 3's colour.
  const QColor magenta = colour(2);
  EXPECT_GE(countColour(image(), magenta, QRect(100, 330, 601, 1)), 590);
  EXPECT_EQ(countColour(image(), magenta, QRect(100, 100, 601, 230)), 0);
  EXPECT_EQ(countColour(image(), magenta, QRect(100, 331, 601, 240)), 0);
}

TEST_F(GraphPlotTest, CurveCrossesTheSquareInTheItemsColour) {
  prepare(2, 20);
  for (int f = 0; f <= 20; ++f) {
    set(f, 1, 0.1 * f);  // 0 .. 2 s: the axis [0, 2]
    set(f, 2, 0.4 * f);  // 0 .. 8: the axis [0, 8]
  }
  ASSERT_EQ(plot(), 0);
  const QColor red = colour(1);
  EXPECT_GE(countColour(image(), red, kSquare.adjusted(0, 20, 0, -30)), 550);
  EXPECT_TRUE(hitNear(image(), red, 100, 630, 1)) << "first column, at the bottom";
  EXPECT_TRUE(hitNear(image(), red, 699, 31, 1)) << "last column, at the top";
  // Nothing of the curve falls below the diagonal's band.
  EXPECT_EQ(countColour(image(), red, QRect(300, 500, 100, 100)), 0);
  // Everything outside the square and its labels stays gray.
  EXPECT_EQ(countColour(image(), red, QRect(720, 0, 300, 768)), 0);
}

TEST_F(GraphPlotTest, GroupsShareOneRange) {
  prepare(4, 5);
  model->outputs[2].axisGroup = 1;
  model->outputs[3].axisGroup = 1;
  for (int f = 0; f <= 5; ++f) {
    set(f, 1, 1.6 * f);  // 0 .. 8: the curves reach the right edge
    set(f, 2, 0.6 * f);  // 0 .. 3
    set(f, 3, 1.4 * f);  // 0 .. 7
    set(f, 4, 0.6 * f);  // 0 .. 3, on its own
  }
  ASSERT_EQ(plot(), 0);
  EXPECT_DOUBLE_EQ(low(2), 0.0);
  EXPECT_DOUBLE_EQ(high(2), 8.0);
  EXPECT_DOUBLE_EQ(low(3), 0.0);
  EXPECT_DOUBLE_EQ(high(3), 8.0);
  EXPECT_DOUBLE_EQ(high(4), 4.0);
  // Item 2 (grouped, red) and item 4 (alone, cyan) both end at 3: in its shared
  // range item 2 ends lower on the square than item 4 does.
  EXPECT_TRUE(hitNear(image(), colour(1), 699, 630 - 225, 2));
  EXPECT_TRUE(hitNear(image(), colour(3), 699, 630 - 450, 2));
  // A later plot (a resumed run) merges the group again.
  EXPECT_EQ(model->outputs[3].axisGroup, 1);
  ASSERT_EQ(plot(), 0);
  EXPECT_DOUBLE_EQ(high(3), 8.0);

  // Grouped labels are underlined: the "0" of item 2 has a longer row than item 4's.
  auto widestRow = [&](const QColor& c, QRect box) {
    int widest = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      widest = std::max(widest, countColour(image(), c, QRect(box.left(), y, box.width(), 1)));
    }
    return widest;
  };
  const int grouped = widestRow(colour(1), QRect(110, 610, 20, 20));  // item 2's lo
  const int alone = widestRow(colour(3), QRect(210, 610, 20, 20));    // item 4's lo
  EXPECT_GT(alone, 0);
  EXPECT_GT(grouped, alone);
}

TEST_F(GraphPlotTest, VectorItemsShareASymmetricRange) {
  prepare(4, 4);
  model->outputs[2].outputKind = -1;  // base radius
  model->outputs[3].outputKind = 11;  // magnitude
  model->outputs[4].outputKind = 12;  // angle in degrees
  for (int f = 0; f <= 4; ++f) {
    set(f, 1, f);
    set(f, 2, 0.25 * f);  // 0 .. 1
    set(f, 3, 0.75 * f);  // 0 .. 3
    set(f, 4, 22.5 * f);  // 0 .. 90
  }
  ASSERT_EQ(plot(), 0);
  EXPECT_DOUBLE_EQ(low(3), -4.0);
  EXPECT_DOUBLE_EQ(high(3), 4.0);
  EXPECT_DOUBLE_EQ(low(4), -4.0);
  EXPECT_DOUBLE_EQ(high(4), 4.0);
  // The last needle points straight up from radius 1 to 4: view u = 300, v 375..600.
  EXPECT_GE(countColour(image(), colour(3), QRect(400, 30, 1, 225)), 200);
}

TEST_F(GraphPlotTest, FramesAreReadThroughTheRing) {
  prepare(2, 2, 4);
  run->frameCursor = 3;  // frames 0, 1, 2 sit in slots 3, 4, 0
  EXPECT_EQ(frameSlot(*run, 0), 3);
  EXPECT_EQ(frameSlot(*run, 1), 4);
  EXPECT_EQ(frameSlot(*run, 2), 0);
  run->frameCursor = -1;  // as at start-up: never a slot before the ring
  EXPECT_EQ(frameSlot(*run, 0), 4);
  run->frameCursor = 3;
  for (int slot : {1, 2}) {
    run->frames.frame(slot)[run->outputBlockStart + 1] = 100.0;  // stale frames
  }
  for (int f = 0; f <= 2; ++f) {
    set(f, 1, f);
    set(f, 2, 1.0 + f);
  }
  ASSERT_EQ(plot(), 0);
  EXPECT_DOUBLE_EQ(high(2), 4.0);
  EXPECT_DOUBLE_EQ(low(2), 0.0);
}

TEST_F(GraphPlotTest, EmptyRangesAreRefused) {
  prepare(2, 3);
  model->outputs[1].axisGroup = -1;  // the control-key time axis [0, 0]
  run->outputLow[1] = 0.0;
  run->outputHigh[1] = 0.0;
  run->handOverMode = 4;
  EXPECT_EQ(plot(), kGraphRefused);
  EXPECT_STREQ(reporter.lastText(), " コントロールキーの記録が？ ");

  run->handOverMode = 0;
  run->outputLow[1] = 0.0;
  run->outputHigh[1] = 0.0;
  EXPECT_EQ(plot(), kGraphRefused);
  EXPECT_EQ(std::strncmp(reporter.lastText(), "ggn スケールが？ 1 1 ", 24), 0)
      << reporter.lastText();

  model->outputs[1].axisGroup = 0;
  model->outputs[2].axisGroup = -1;
  run->outputLow[2] = 2.0;
  run->outputHigh[2] = 2.0;
  EXPECT_EQ(plot(), kGraphRefused);
  EXPECT_EQ(std::strncmp(reporter.lastText(), "ggn スケールが？ 2 ", 21), 0) << reporter.lastText();
  EXPECT_EQ(reporter.messageCount(), 3);
  EXPECT_EQ(testing::countChanged(image(), kStockGray, image().rect()), 0) << "nothing drawn";
}

TEST_F(GraphPlotTest, CentreCrossAndLabels) {
  prepare(2, 4);
  model->outputs[1].outputKind = 1;
  model->outputs[1].slot = 7;  // not the time: the plot writes item 1's labels itself
  for (int f = 0; f <= 4; ++f) {
    set(f, 1, f);
    set(f, 2, -f);
  }
  ASSERT_EQ(plot(), 0);
  const QColor axis = colour(29);
  const int across = countColour(image(), axis, QRect(100, 330, 601, 1));
  const int down = countColour(image(), axis, QRect(400, 30, 1, 601));
  EXPECT_GT(across, 300);
  EXPECT_LT(across, 600) << "dash-dot";
  EXPECT_GT(down, 300);
  EXPECT_TRUE(hitNear(image(), axis, 401, 330, 0));

  // Item 2 (kind 0): lo at view (10, 20) and hi at (10, 595), in its colour.
  const QColor red = colour(1);
  EXPECT_GT(countColour(image(), red, QRect(110, 610, 40, 18)), 10);
  EXPECT_GT(countColour(image(), red, QRect(110, 35, 40, 18)), 10);
  // Item 1's range in colour 0 left and right of the square's top.
  const QColor black = colour(0);
  EXPECT_GT(countColour(image(), black, QRect(5, 35, 95, 18)), 10);
  EXPECT_GT(countColour(image(), black, QRect(725, 35, 80, 18)), 10);
}

TEST_F(GraphPlotTest, TimeAxisLabelsAreLeftToTheView) {
  prepare(2, 4);
  for (int f = 0; f <= 4; ++f) {
    set(f, 1, f);
    set(f, 2, f);
  }
  ASSERT_EQ(plot(), 0);
  EXPECT_EQ(countColour(image(), colour(0), QRect(0, 30, 100, 30)), 0);
  EXPECT_EQ(countColour(image(), colour(29)), 0) << "no centre cross for a time plot";
}

}  // namespace
}  // namespace movra::view

namespace movra::view {
namespace {

// The axes the model and the driver fix: a range written in the output statement,
// and the time axis the driver set for the run.
TEST_F(GraphPlotTest, WrittenRangesAndTheDriversTimeAxisAreKept) {
  prepare(3, 10);
  run->outputLow[1] = 0.0;  // the driver's time axis [t0, t0 + n h]
  run->outputHigh[1] = 1.0;
  run->outputUntracked[1] = true;
  model->outputs[3].hasRange = true;
  model->outputs[3].axisGroup = -1;
  model->outputs[3].rangeLow = -5.0;
  model->outputs[3].rangeHigh = 5.0;
  for (int f = 0; f <= 10; ++f) {
    set(f, 1, 0.1 * f);
    set(f, 2, 1.0 + f);
    set(f, 3, 0.5 * f);
  }
  ASSERT_EQ(plot(), 0);
  EXPECT_DOUBLE_EQ(low(1), 0.0);
  EXPECT_DOUBLE_EQ(high(1), 1.0);  // not rounded up to 2
  EXPECT_DOUBLE_EQ(low(3), -5.0);
  EXPECT_DOUBLE_EQ(high(3), 5.0);
  // The time axis spans the whole square: the curve of item 2 reaches its right edge.
  EXPECT_GT(countColour(image(), colour(1), QRect(690, 30, 11, 600)), 0);
}

}  // namespace
}  // namespace movra::view

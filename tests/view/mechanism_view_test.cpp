// The mechanism view over real runs: the frame and scale zone, shapes where the
// evaluators recorded them, tag filtering, the output panel rows, the statement
// schematic at the editor's node positions, node gauges and markers, playback
// of an old frame into X, and damaged frames that must not crash.
#include "view/mechanism_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/in_process_run.h"
#include "support/window_tests.h"
#include "view/graph_plot.h"
#include "view/gui_environment.h"

namespace movra::view {
namespace {

using testing::countColour;
using testing::hitNear;

constexpr int kWidth = 960;
constexpr int kHeight = 685;
const QRect kSquareInside(101, 31, 599, 599);
constexpr int kAllFlags = 0x37;
constexpr int kNoGraph = kAllFlags & ~0x20;

const std::string kPendulum = std::string(movra::testing::kPendulumMechanism) + R"(.t 2
   0
   0.2
   1m
   10
)";

const char* const kCircuit = R"(V 1 0, 5 * p2, 0
R 1 2, 1k
C 2 0, 1u
.o x1.9, x2.9
.vc 0, 0, 1, 1000, 1000, 5
.t 2
   0
   2m
   10u
   10
)";

class MechanismViewTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureGuiApplication(); }

  void load(const char* text) {
    outcome_ = movra::testing::runModelText(text);
    ASSERT_EQ(outcome_->status, 0);
    state_ = initialViewState(model());
  }

  Model& model() { return *outcome_->model; }
  movra::Run& run() { return *outcome_->run; }

  // A fresh gray picture with the view drawn into it.
  QImage draw(int source, int flags, int frame, QRgb fill = kStockGray) {
    DrawingSurface surface(kWidth, kHeight);
    surface.image().fill(fill);
    QPainter painter(&surface.image());
    context_ = DrawingContext();
    context_.target = &painter;
    EXPECT_EQ(drawMechanismView(context_, model(), run(), state_, source, flags, frame), 0);
    context_.target = nullptr;
    painter.end();
    return surface.image();
  }

  QColor colour(int index) const { return context_.colour(index); }

  QPoint window(double x, double y) const { return modelToWindowF(context_, x, y).toPoint(); }

  // The longest line the evaluators recorded (the rod, not the joint's stub), or 0.
  int longestLine() {
    int found = 0;
    double longest = 0.0;
    for (int i = 1; i <= run().display.count; ++i) {
      if (run().display.kind[i] != 3) continue;
      const double* n = numbersOf(i);
      const double length = std::hypot(n[2] - n[0], n[3] - n[1]);
      if (length > longest) {
        longest = length;
        found = i;
      }
    }
    return found;
  }

  const double* numbersOf(int item) { return &run().display.pool[run().display.start[item] + 1]; }

  std::unique_ptr<movra::testing::InProcessRun> outcome_;
  ViewState state_;
  DrawingContext context_;
};

TEST_F(MechanismViewTest, FrameAndScaleZoneColoursFollowTheRunState) {
  load(kPendulum.c_str());
  ASSERT_EQ(run().runEnded, 1);
  QImage ended = draw(kSourceLive, kAllFlags, 0);
  const QRect bottomEdge(100, 630, 602, 1);
  EXPECT_GT(countColour(ended, colour(26), bottomEdge), 100);
  EXPECT_EQ(countColour(ended, colour(6), bottomEdge), 0);
  // Solid ticks at u = 300 on the bottom edge and v = 300 on the left edge.
  EXPECT_EQ(countColour(ended, colour(26), QRect(400, 625, 1, 5)), 5);
  EXPECT_GE(countColour(ended, colour(26), QRect(101, 330, 5, 1)), 4);
  // The scale zone: row 670, and a solid column line at x = 176.
  EXPECT_GT(countColour(ended, colour(26), QRect(0, 670, kWidth, 1)), 900);
  EXPECT_EQ(countColour(ended, colour(26), QRect(176, 671, 1, 14)), 14);
  EXPECT_LT(countColour(ended, colour(26), QRect(88, 671, 1, 14)), 14);  // dash-dot-dot

  run().runEnded = 0;
  QImage running = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(running, colour(6), bottomEdge), 100);
  EXPECT_EQ(countColour(running, colour(26), bottomEdge), 0);
  EXPECT_GT(countColour(running, colour(6), QRect(100, 30, 602, 1)), 100);  // top edge
}

TEST_F(MechanismViewTest, OtherSourcesDrawNothing) {
  load(kPendulum.c_str());
  QImage picture = draw(5, kAllFlags, 0);
  EXPECT_EQ(testing::countChanged(picture, kStockGray, picture.rect()), 0);
}

TEST_F(MechanismViewTest, LinkAppearsWhereRecordedAndFollowsTheElementsTag) {
  load(kPendulum.c_str());
  const int link = longestLine();
  ASSERT_GT(link, 0);
  ASSERT_EQ(run().display.tag[link] & 2, 2);
  const double* n = numbersOf(link);
  const int linkColour = static_cast<int>(n[4]);

  QImage shown = draw(kSourceLive, kAllFlags, 0);
  const QPoint a = window(n[0], n[1]);
  const QPoint b = window(n[2], n[3]);
  const QPoint middle((a.x() + b.x()) / 2, (a.y() + b.y()) / 2);
  EXPECT_TRUE(hitNear(shown, colour(linkColour), middle.x(), middle.y()));
  EXPECT_TRUE(hitNear(shown, colour(linkColour), a.x(), a.y(), 2));
  EXPECT_GT(countColour(shown, colour(linkColour), kSquareInside), 100);

  // Elements off: no link pixel, though the node markers are still there.
  QImage hidden = draw(kSourceLive, kAllFlags & ~2, 0);
  EXPECT_EQ(countColour(hidden, colour(linkColour), kSquareInside), 0);
  EXPECT_EQ(countColour(hidden, colour(10), kSquareInside), 0);  // the body is an outline too
}

TEST_F(MechanismViewTest, MechanicalNodeMarkersTellHeldFromMassiveNodes) {
  load(kPendulum.c_str());
  QImage picture = draw(kSourceLive, 1, 0);  // no elements, no forces, no numbers
  const int xPivot = run().unknownOfKey[11];
  const int xBob = run().unknownOfKey[21];
  ASSERT_GT(xPivot, 0);
  ASSERT_GT(xBob, 0);
  const QPoint pivot = window(run().X[xPivot], run().X[run().unknownOfKey[12]]);
  const QPoint bob = window(run().X[xBob], run().X[run().unknownOfKey[22]]);
  // Rings of radius 2: held to the ground in white, carrying mass in black.
  EXPECT_TRUE(hitNear(picture, colour(21), pivot.x() + 2, pivot.y(), 1));
  EXPECT_TRUE(hitNear(picture, colour(0), bob.x() + 2, bob.y(), 1));
  EXPECT_FALSE(hitNear(picture, colour(21), bob.x(), bob.y(), 3));
}

TEST_F(MechanismViewTest, OutputPanelPutsNamesAndValuesInTheirRows) {
  load(kCircuit);
  QImage picture = draw(kSourceLive, kAllFlags, 0);
  // Rows c = 1, 2, 3 at view v = (17 - c) 25 + 110: window y 120, 145, 170.
  const auto row = [](int y) { return QRect(805, y, 155, 20); };
  EXPECT_GT(countColour(picture, colour(21), row(120)), 0);  // item 1, the time
  EXPECT_GT(countColour(picture, colour(1), row(145)), 0);   // item 2
  EXPECT_GT(countColour(picture, colour(2), row(170)), 0);   // item 3
  EXPECT_EQ(countColour(picture, colour(1), row(170)), 0);
  // Values to the right of the names.
  EXPECT_GT(countColour(picture, colour(1), QRect(860, 145, 100, 20)), 0);

  // A hidden item gives up its row to the next one.
  model().outputs[2].outputKind = -1;
  QImage hidden = draw(kSourceLive, kAllFlags, 0);
  EXPECT_EQ(countColour(hidden, colour(1), row(145)), 0);
  EXPECT_GT(countColour(hidden, colour(2), row(145)), 0);
  EXPECT_EQ(countColour(hidden, colour(2), row(170)), 0);
}

// The time's value turns yellow while an interactive run lags real time.
TEST_F(MechanismViewTest, LaggingInteractiveRunShowsTheFirstValueInYellow) {
  load(kCircuit);
  const QRect value(866, 120, 94, 20);  // item 1's value, past its name and two blanks
  run().interactionMode = 1;
  QImage onTime = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(onTime, colour(21), value), 0);
  EXPECT_EQ(countColour(onTime, colour(6), value), 0);
  run().lagging = true;
  QImage late = draw(kSourceLive, kAllFlags, 0);
  EXPECT_EQ(countColour(late, colour(21), value), 0);
  EXPECT_GT(countColour(late, colour(6), value), 0);
  // Only an interactive run can lag.
  run().interactionMode = 0;
  QImage played = draw(kSourceLive, kAllFlags, 0);
  EXPECT_EQ(countColour(played, colour(6), value), 0);
}

TEST_F(MechanismViewTest, ColumnHeadersAndGaugeFactorsFollowTheScales) {
  load(kCircuit);
  state_.scale[3] = 5.0;
  state_.scale[4] = 0.0;
  QImage picture = draw(kSourceLive, kAllFlags, 0);
  EXPECT_DOUBLE_EQ(state_.memory.gaugeFactor[3], 60.0);
  EXPECT_DOUBLE_EQ(state_.memory.gaugeFactor[4], 0.0);
  const QRect column3(3 + 88 * 2, 680, 84, 40);
  const QRect column4(3 + 88 * 3, 680, 84, 40);
  EXPECT_GT(countColour(picture, colour(21), column3), 0);
  EXPECT_EQ(countColour(picture, colour(21), column4), 0);

  state_.scaleLevel[3] = kZoomLimit;  // at the end of its range: shown in gray
  QImage limited = draw(kSourceLive, kAllFlags, 0);
  EXPECT_EQ(countColour(limited, colour(21), column3), 0);
  EXPECT_GT(countColour(limited, colour(26), column3), 0);
}

// The circuit's editor positions: node 1 at u = 150, node 2 at u = 450, both at v = 300.
class SchematicTest : public MechanismViewTest {
 protected:
  void place() {
    load(kCircuit);
    model().nodes.x[1] = -0.5;
    model().nodes.y[1] = 0.0;
    model().nodes.x[2] = 0.5;
    model().nodes.y[2] = 0.0;
    model().nodes.x[0] = 0.0;
    model().nodes.y[0] = -0.5;
    state_.requested = ViewWindow{-1.0, -1.0, 1.0};
    state_.scale[3] = 5.0;
  }
  // The symbol's box about the midpoint of nodes 1 and 2: window (400, 330), and
  // its upper half off the wire's row.
  const QRect symbolBox{385, 320, 31, 21};
  const QRect symbolBody{388, 323, 25, 6};
};

TEST_F(SchematicTest, ResistorSitsBetweenItsEditorNodes) {
  place();
  QImage picture = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(picture, colour(35), symbolBody), 5);
  // The wire runs along the row of the two nodes.
  EXPECT_GT(countColour(picture, colour(35), QRect(260, 330, 100, 1)), 90);
  EXPECT_GT(countColour(picture, colour(35), QRect(440, 330, 100, 1)), 90);

  QImage hidden = draw(kSourceLive, kAllFlags & ~2, 0);
  EXPECT_EQ(countColour(hidden, colour(35), symbolBox), 0);
}

TEST_F(SchematicTest, StateFromTheValueBlockItemColoursTheResistor) {
  place();
  int resistor = 0;
  for (int i = 1; i <= run().display.count; ++i) {
    const int statement = run().display.statement[i];
    if (run().display.kind[i] == 32 && model().records[statement].typeCode == 23) resistor = i;
  }
  ASSERT_GT(resistor, 0);
  run().display.pool[run().display.start[resistor] + 3] = 2.0;
  QImage picture = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(picture, colour(24), symbolBody), 5);
  EXPECT_EQ(countColour(picture, colour(35), symbolBody), 0);
  // The wire keeps the family colour.
  EXPECT_GT(countColour(picture, colour(35), QRect(260, 330, 100, 1)), 90);
  // Callers that let the model follow the frame get the state back into the statement.
  const int statement = run().display.statement[resistor];
  restoreValueBlocks(model(), run());
  EXPECT_EQ(model().records[statement].valueBlock[2], 2.0);
}

// A vertical plate between thermal nodes 1 and 2, placed like the circuit above.
class ConvectionSchematicTest : public MechanismViewTest {
 protected:
  void place(const std::string& height) {
    const std::string text = "t 1 0, 80\nt 2 0, 20\n:u 500\n  0 0.025 1.2 1007 1.8e-5 0.0034\n"
                             "Ne 1 2, p500, 1, " + height + ", 0.2, 0\n"
                             ".t 2\n   0\n   2\n   1\n   1\n.ic\n";
    load(text.c_str());
    model().nodes.x[1] = -0.5;
    model().nodes.y[1] = 0.0;
    model().nodes.x[2] = 0.5;
    model().nodes.y[2] = 0.0;
    state_.requested = ViewWindow{-1.0, -1.0, 1.0};
  }
  // The top edge of the thermal symbol's box, off the wire's row.
  const QRect boxTop{392, 323, 17, 3};
};

TEST_F(ConvectionSchematicTest, ACorrelationBeyondItsFitTurnsTheSymbolOrange) {
  place("0.3");  // Ra ≈ 3e7: inside the vertical plate's fit
  QImage fitted = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(fitted, colour(5), boxTop), 5);
  EXPECT_EQ(countColour(fitted, colour(10), boxTop), 0);

  place("1e-4");  // Ra ≈ 1e-3: below the fit
  QImage flagged = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(flagged, colour(10), boxTop), 5);
  EXPECT_EQ(countColour(flagged, colour(5), boxTop), 0);
  // The wires keep the family colour.
  EXPECT_GT(countColour(flagged, colour(5), QRect(260, 330, 100, 1)), 90);
}

TEST_F(SchematicTest, NodeGaugesPointUpByPotentialTimesFactor) {
  place();
  const int key = run().unknownOfKey[1001];
  ASSERT_GT(key, 0);
  run().X[key] = 2.5;  // 2.5 V x 60 px/V = 150 px
  QImage picture = draw(kSourceLive, kAllFlags, 0);
  // Node 1 at window (250, 330); the gauge leans 100 degrees from the x axis.
  const double angle = -100.0 * 3.141592653589793 / 180.0;
  const int tipX = static_cast<int>(std::lround(250 + 150 * std::cos(angle)));
  const int tipY = static_cast<int>(std::lround(330 + 150 * std::sin(angle)));
  EXPECT_TRUE(hitNear(picture, colour(1), tipX, tipY, 2));
  EXPECT_TRUE(hitNear(picture, colour(1), (250 + tipX) / 2, (330 + tipY) / 2, 2));
  EXPECT_FALSE(hitNear(picture, colour(1), tipX, tipY - 20, 3));
  // The node dot in yellow.
  EXPECT_GT(countColour(picture, colour(6), QRect(248, 328, 5, 5)), 0);

  // A zero scale gives zero-length gauges.
  state_.scale[3] = 0.0;
  QImage flat = draw(kSourceLive, kAllFlags, 0);
  EXPECT_FALSE(hitNear(flat, colour(1), (250 + tipX) / 2, (330 + tipY) / 2, 2));
}

TEST_F(MechanismViewTest, PlaybackPutsTheFramesUnknownsBackIntoX) {
  load(kPendulum.c_str());
  const int xBob = run().unknownOfKey[21];
  const double start = outcome_->output(frameSlot(run(), 0), 2);
  const double end = run().X[xBob];
  ASSERT_GT(std::fabs(start - end), 1e-3);
  draw(kSourcePlayback, kAllFlags, 0);
  EXPECT_DOUBLE_EQ(run().X[xBob], start);
  EXPECT_NEAR(run().X[xBob], 0.5, 1e-5);
  draw(kSourcePlayback, kAllFlags, run().lastFrame);
  EXPECT_DOUBLE_EQ(run().X[xBob], end);
  EXPECT_EQ(state_.memory.lastFrame, run().lastFrame);
}

TEST_F(MechanismViewTest, FollowedNodeStaysInTheMiddle) {
  load(kPendulum.c_str());
  model().view.followedNodeX = 2;
  const int xBob = run().unknownOfKey[21];
  // The watched value is recorded with the frame: set it as a frame would carry it.
  const int watched = run().outputBlockStart + model().count.outputs + 6;
  run().display.pool[watched] = run().X[xBob];
  state_.requested.left = 40.0;
  draw(kSourceLive, kAllFlags, 0);
  EXPECT_DOUBLE_EQ(state_.drawn.left + state_.drawn.half, run().X[xBob]);
  EXPECT_EQ(modelToView(context_, run().X[xBob], 0.0).x(), 300);
}

TEST_F(MechanismViewTest, AfterimageDimsThePreviousLabels) {
  load(kCircuit);
  // On black, since the dimming colour is the background's gray.
  constexpr QRgb kBlack = 0xFF000000;
  // Frames 0 and 100 differ in their values and counters; unchanged labels are
  // simply drawn over.
  draw(kSourcePlayback, kAllFlags, 0, kBlack);
  QImage plain = draw(kSourcePlayback, kAllFlags, 100, kBlack);
  EXPECT_EQ(countColour(plain, colour(40)), 0);
  state_.toggles.afterimage = true;
  draw(kSourcePlayback, kAllFlags, 0, kBlack);
  QImage dimmed = draw(kSourcePlayback, kAllFlags, 100, kBlack);
  EXPECT_GT(countColour(dimmed, colour(40), QRect(840, 60, 120, 130)), 0);
  EXPECT_EQ(countColour(dimmed, colour(40), QRect(100, 30, 600, 600)), 0);
}

TEST_F(MechanismViewTest, TimeMarkerTracksTheFrameAndRemembersTheFurthest) {
  load(kCircuit);
  ASSERT_EQ(run().lastFrame, 20);
  const double low = run().outputLow[1];
  const double high = run().outputHigh[1];
  ASSERT_GT(high, low);
  const double t = outcome_->output(frameSlot(run(), 10), 1);
  const int x = kViewLeftPixel + static_cast<int>(600.0 * (t - low) / (high - low));
  // The tick over v 588..595 at the frame's time.
  QImage middle = draw(kSourcePlayback, kNoGraph, 10);
  EXPECT_GE(countColour(middle, colour(6), QRect(x, 35, 1, 8)), 7);
  EXPECT_EQ(countColour(middle, colour(6), QRect(700, 35, 1, 8)), 0);
  // Having shown the last frame, the furthest position stays marked in black.
  draw(kSourcePlayback, kNoGraph, 20);
  QImage back = draw(kSourcePlayback, kNoGraph, 10);
  EXPECT_GE(countColour(back, colour(0), QRect(700, 35, 1, 8)), 7);
  EXPECT_GE(countColour(back, colour(6), QRect(x, 35, 1, 8)), 7);
  // The graph display draws the marker's line through the graph, and a cross at
  // each output's current value.
  QImage graph = draw(kSourcePlayback, kAllFlags, 10);
  EXPECT_GT(countColour(graph, colour(26), QRect(x, 100, 1, 400)), 300);
  EXPECT_LT(countColour(back, colour(26), QRect(x, 100, 1, 400)), 10);
  ASSERT_GT(run().outputHigh[3], run().outputLow[3]);
  const double value = outcome_->output(frameSlot(run(), 10), 3);
  const int y = kViewBottomPixel - static_cast<int>(600.0 * (value - run().outputLow[3]) /
                                                    (run().outputHigh[3] - run().outputLow[3]));
  EXPECT_EQ(countColour(graph, colour(21), QRect(x - 5, y, 11, 1)), 11);
  EXPECT_EQ(countColour(back, colour(21), QRect(x - 5, y, 11, 1)), 0);
}

TEST_F(MechanismViewTest, VectorOutputNamesAlternateBetweenFrames) {
  load(kCircuit);
  model().outputs[2].outputKind = 11;
  const QRect name(805, 145, 50, 20);
  QImage even = draw(kSourcePlayback, kAllFlags, 10);
  QImage odd = draw(kSourcePlayback, kAllFlags, 11);
  QImage evenAgain = draw(kSourcePlayback, kAllFlags, 12);
  EXPECT_GT(countColour(even, colour(1), name), 0);
  EXPECT_GT(countColour(odd, colour(1), name), countColour(even, colour(1), name));  // "_r2"
  EXPECT_EQ(countColour(evenAgain, colour(1), name), countColour(even, colour(1), name));
}

TEST_F(MechanismViewTest, GrabMarkersOnlyInTheInteractiveModes) {
  load(kPendulum.c_str());
  const int xBob = run().unknownOfKey[21];
  QImage still = draw(kSourceLive, kAllFlags, 0);
  const QPoint bob = window(run().X[xBob], run().X[run().unknownOfKey[22]]);
  const QRect around(bob.x() - 12, bob.y() - 12, 25, 25);
  EXPECT_EQ(countColour(still, colour(22), around), 0);
  run().interactionMode = 1;
  QImage interactive = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(interactive, colour(22), around), 10);
  EXPECT_EQ(countColour(interactive, colour(2), around), 0);
  state_.grabbedNode = 2;
  QImage grabbed = draw(kSourceLive, kAllFlags, 0);
  const int ring = countColour(grabbed, colour(2), around);
  EXPECT_GT(ring, 20);
  run().holdFlag = 1;
  QImage held = draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(countColour(held, colour(2), around), ring + 10);  // the inner ring
}

TEST_F(MechanismViewTest, DamagedFramesAndWindowsDoNotCrash) {
  load(kPendulum.c_str());
  DisplayList& list = run().display;
  list.count = 50000;  // far more items than the list holds
  list.start[1] = -7;
  list.start[2] = kPoolCapacity + 50;
  list.start[3] = kPoolCapacity - 1;
  list.kind[3] = 1;
  list.kind[4] = 32;
  list.statement[4] = 99999;
  list.pool[list.start[5] + 1] = 1e300;  // coordinates far outside 16 bits
  run().outputBlockStart = kPoolCapacity + 1000;
  run().unknownCount = 100000;
  model().view.followedNodeX = 3;
  state_.requested.half = 0.0;
  draw(kSourceLive, kAllFlags, 0);
  EXPECT_GT(state_.drawn.half, 0.0);
  state_.requested.half = std::nan("");
  draw(kSourcePlayback, kAllFlags, -5);
  draw(kSourcePlayback, kAllFlags, 1000000);
  EXPECT_TRUE(std::isfinite(state_.drawn.half));
  state_.scale[3] = -4.0;
  draw(kSourcePlayback, kAllFlags, 3);
  EXPECT_DOUBLE_EQ(state_.memory.gaugeFactor[3], 0.0);
}

}  // namespace
}  // namespace movra::view

// The drawing primitives on an RGB32 surface: where shapes land for a known view
// window, their fills and pen styles, text placement, replay of recorded items and
// the 16-bit device guard.
#include "view/primitives.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <cmath>

#include "engine/display_list.h"
#include "view/element_symbols.h"
#include "view/gui_environment.h"

namespace movra::view {
namespace {

using testing::countChanged;
using testing::countColour;
using testing::hitNear;

constexpr double kPi = 3.141592653589793;

class PrimitivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureGuiApplication();
    painter.begin(&surface.image());
    context.target = &painter;
    // Model [-1, 1] x [-1, 1]: the origin is view (300, 300), window (400, 330).
    context.setWindow({-1.0, -1.0, 1.0});
  }
  const QImage& finish() {
    if (painter.isActive()) painter.end();
    return surface.image();
  }
  QColor red() const { return context.colour(1); }

  DrawingSurface surface{1400, 1400};
  QPainter painter;
  DrawingContext context;
};

TEST(ColourTable, EntriesAndPastTheTable) {
  DrawingContext context;
  EXPECT_EQ(context.colour(1), QColor(255, 0, 0));
  EXPECT_EQ(context.colour(8), QColor(0, 46, 112));
  EXPECT_EQ(context.colour(29), QColor(220, 220, 220));
  EXPECT_EQ(context.colour(43), QColor(90, 90, 90));
  for (int i = 44; i < kColourCount; ++i) EXPECT_EQ(context.colour(i), QColor(0, 0, 0)) << i;
  // An index past the table draws black instead of reading beyond it.
  EXPECT_EQ(context.colour(64), QColor(0, 0, 0));
  EXPECT_EQ(context.colour(-3), QColor(0, 0, 0));
}

TEST(Coordinates, RoundingAndSaturation) {
  DrawingContext context;
  context.setWindow({-1.0, -1.0, 1.0});
  EXPECT_DOUBLE_EQ(context.scale, 300.0);
  EXPECT_EQ(modelToView(context, 0.0, 0.0), QPoint(300, 300));
  EXPECT_EQ(viewToWindow(300, 300), QPoint(400, 330));
  EXPECT_EQ(toPixel(2.5), 3);
  EXPECT_EQ(toPixel(-2.5), -2);
  // Far-away points and NaN saturate instead of wrapping an int.
  EXPECT_GT(toPixel(1e300), kDeviceLimit);
  EXPECT_LT(toPixel(-1e300), -kDeviceLimit);
  EXPECT_GT(toPixel(std::nan("")), kDeviceLimit);
}

TEST_F(PrimitivesTest, PointMarkKinds) {
  drawPointMark(context, 0.0, 0.0, 10.0, 1);     // ring of radius 10 at (400, 330)
  drawPointMark(context, 1.0, 0.0, -5.0, 5);     // "+" at (700, 330)
  drawPointMark(context, -1.0, 0.0, 0.0, 1);     // nothing
  drawPointMark(context, 0.0, -1.0, 1001.0, 2);  // square of half-size 1 at (400, 630)
  drawPointMark(context, 0.0, 1.0, 1000.0, 3);   // circle of radius 1000 at (400, 30)
  const QImage& image = finish();
  EXPECT_TRUE(hitNear(image, red(), 410, 330));
  EXPECT_TRUE(hitNear(image, red(), 390, 330));
  EXPECT_TRUE(hitNear(image, red(), 400, 320));
  EXPECT_TRUE(hitNear(image, red(), 400, 340));
  EXPECT_EQ(countColour(image, red(), QRect(395, 325, 11, 11)), 0) << "a hollow ring";

  const QColor green = context.colour(5);
  EXPECT_GE(countColour(image, green, QRect(695, 330, 11, 1)), 9);
  EXPECT_GE(countColour(image, green, QRect(700, 325, 1, 11)), 9);
  EXPECT_EQ(countChanged(image, kStockGray, QRect(90, 320, 21, 21)), 0);

  const QColor magenta = context.colour(2);
  EXPECT_EQ(countColour(image, magenta, QRect(397, 627, 7, 7)), 8) << "the 3x3 outline only";
  EXPECT_NE(image.pixel(400, 630), magenta.rgb());

  const QColor cyan = context.colour(3);
  EXPECT_TRUE(hitNear(image, cyan, 400, 1030));
  EXPECT_TRUE(hitNear(image, cyan, 400 + 707, 30 + 707, 2));
  EXPECT_EQ(countColour(image, cyan, QRect(300, 30, 200, 200)), 0);
}

TEST_F(PrimitivesTest, CircleOrSquareFillsAndPens) {
  // -12: a filled square with a dashed pen about a window point.
  drawCircleOrSquare(context, 200, 200, 20, 1, -12);
  // 12: a filled circle about a view point (view (600, 300) is window (700, 330)).
  drawCircleOrSquare(context, 600, 300, 20, 5, 12);
  // 0 and 2: hollow circles, solid and dashed.
  drawCircleOrSquare(context, 100, 100, 40, 6, 0);
  drawCircleOrSquare(context, 300, 100, 40, 6, 2);
  const QImage& image = finish();
  EXPECT_EQ(image.pixel(200, 200), red().rgb());
  EXPECT_EQ(image.pixel(218, 218), red().rgb()) << "a square reaches its corners";
  const QColor green = context.colour(5);
  EXPECT_EQ(image.pixel(700, 330), green.rgb());
  EXPECT_NE(image.pixel(718, 348), green.rgb()) << "a circle does not";
  const QColor yellow = context.colour(6);
  EXPECT_EQ(image.pixel(200, 530), kStockGray) << "hollow";
  const int solid = countColour(image, yellow, QRect(150, 480, 101, 101));
  const int dashed = countColour(image, yellow, QRect(350, 480, 101, 101));
  EXPECT_GT(solid, 200);
  EXPECT_GT(dashed, solid / 2);
  EXPECT_LT(dashed, solid) << "a dashed outline has gaps";
}

TEST_F(PrimitivesTest, LineStylesAndViewLines) {
  drawWindowLine(context, 10, 10, 310, 10, 1, 0);
  drawWindowLine(context, 10, 20, 310, 20, 1, 1);
  drawWindowLine(context, 10, 30, 310, 30, 1, 2);
  drawViewLine(context, 0, 0, 600, 0, 5);           // window row 630
  drawStyledViewLine(context, 0, 600, 0, 0, 6, 1);  // window column 100, dotted
  const QImage& image = finish();
  const int solid = countColour(image, red(), QRect(10, 10, 300, 1));
  const int dotted = countColour(image, red(), QRect(10, 20, 300, 1));
  const int dashDot = countColour(image, red(), QRect(10, 30, 300, 1));
  EXPECT_GE(solid, 299);
  EXPECT_GT(dotted, 100);
  EXPECT_LT(dotted, 200);
  EXPECT_GT(dashDot, dotted);
  EXPECT_LT(dashDot, solid);
  EXPECT_GE(countColour(image, context.colour(5), QRect(100, 630, 601, 1)), 599);
  const int column = countColour(image, context.colour(6), QRect(100, 30, 1, 601));
  EXPECT_GT(column, 200);
  EXPECT_LT(column, 400);
}

TEST_F(PrimitivesTest, ModelShapesLandWhereTheWindowSays) {
  drawModelLine(context, -1.0, 1.0, 1.0, 1.0, 1, 0);         // window row 30, x 100..700
  drawOffsetMark(context, 0.0, 0.0, 40.0, 0.0, 5.0, 5, 0);   // line to (440, 330), ring r 5
  drawOffsetMark(context, 0.0, -0.5, 0.0, 0.0, -4.0, 6, 0);  // X at (400, 480)
  drawVector(context, -0.5, 0.0, 0.0, 50.0, 3, 0, 0);        // up from (250, 330)
  const QImage& image = finish();
  EXPECT_GE(countColour(image, red(), QRect(100, 30, 601, 1)), 599);
  EXPECT_EQ(countColour(image, red(), QRect(100, 29, 601, 1)), 0);

  const QColor green = context.colour(5);
  EXPECT_GE(countColour(image, green, QRect(400, 330, 40, 1)), 35);
  EXPECT_TRUE(hitNear(image, green, 445, 330));
  EXPECT_TRUE(hitNear(image, green, 440, 325));

  const QColor yellow = context.colour(6);
  EXPECT_EQ(image.pixel(402, 482), yellow.rgb());
  EXPECT_EQ(image.pixel(402, 478), yellow.rgb());
  EXPECT_NE(image.pixel(402, 480), yellow.rgb()) << "an X, not a +";

  const QColor cyan = context.colour(3);
  EXPECT_GE(countColour(image, cyan, QRect(250, 281, 1, 49)), 45) << "dy points up";
  EXPECT_EQ(countColour(image, cyan, QRect(250, 331, 1, 50)), 0);
}

TEST_F(PrimitivesTest, ArrowHeadsByArrangement) {
  // Shaft of 100 px; heads 10 / s0 model units = 10 px at s0 = 300.
  drawArrow(context, -0.5, 0.5, -0.5 + 100.0 / 300.0, 0.5, 1, 0, 0, 0, 0);  // (250,180)->(350,180)
  drawArrow(context, -0.5, -0.5, -0.5 + 100.0 / 300.0, -0.5, 1, 0, 0, 0, 2);  // row 480, both ends
  const QImage& image = finish();
  auto offAxis = [&](int x0, int row) {
    return countColour(image, red(), QRect(x0, row - 6, 12, 5)) +
           countColour(image, red(), QRect(x0, row + 2, 12, 5));
  };
  EXPECT_GT(offAxis(339, 180), 6) << "head at the tip";
  EXPECT_EQ(offAxis(250, 180), 0) << "no head at the tail";
  EXPECT_GT(offAxis(339, 480), 6);
  EXPECT_GT(offAxis(250, 480), 6);
  EXPECT_EQ(countColour(image, red(), QRect(270, 160, 60, 15)), 0) << "heads stay near the ends";
}

TEST_F(PrimitivesTest, SectorsArcsAndEllipses) {
  const double r = 30.0;                                 // pixels
  drawSector(context, 0.0, 0.0, r, 0.0, kPi / 2, 1, 0);  // upper right quarter at (400, 330)
  drawArc(context, 0.5, 0.0, r, 0.0, kPi, 5, 0);         // upper half at (550, 330)
  drawEllipse(context, -0.5, 0.0, r, 6, 10);             // filled at (250, 330)
  drawEllipse(context, 0.0, 0.5, r, 3, 0);               // hollow at (400, 180)
  const QImage& image = finish();
  EXPECT_EQ(image.pixel(410, 320), red().rgb());
  EXPECT_NE(image.pixel(390, 340), red().rgb());
  EXPECT_NE(image.pixel(390, 320), red().rgb());
  const QColor green = context.colour(5);
  EXPECT_TRUE(hitNear(image, green, 550, 300));
  EXPECT_FALSE(hitNear(image, green, 550, 360));
  EXPECT_EQ(image.pixel(250, 330), context.colour(6).rgb());
  EXPECT_EQ(image.pixel(400, 180), kStockGray);
  EXPECT_TRUE(hitNear(image, context.colour(3), 430, 180));
}

TEST_F(PrimitivesTest, RecordedItemsReplayByKind) {
  DisplayList list;
  recordShape3(list, -1.0, 0.0, 1.0, 0.0, 1, 0);
  recordShape4(list, 0.0, 0.5, 6.0, 5);
  recordShape8(list, 0.5, 0.5, 15.0, 6, 10);
  ASSERT_EQ(list.count, 3);
  for (int item = 1; item <= list.count; ++item) {
    EXPECT_EQ(shapeNumberCount(list.kind[item]),
              (item < list.count ? list.start[item + 1] : list.cursor) - list.start[item]);
    EXPECT_EQ(replayShape(context, list.kind[item], &list.pool[list.start[item] + 1]), kDrawn);
  }
  const QImage& image = finish();
  EXPECT_GE(countColour(image, red(), QRect(100, 330, 601, 1)), 599);
  EXPECT_TRUE(hitNear(image, context.colour(5), 406, 180));
  EXPECT_EQ(image.pixel(550, 180), context.colour(6).rgb());
}

TEST_F(PrimitivesTest, TextIsTransparentAndPlacedFromItsTop) {
  drawCircleOrSquare(context, 230, 230, 30, 1, -10);  // a red block under the text
  drawWindowLabel(context, 205, 220, "WW", 5);
  drawViewLabelUnderlined(context, 0, 0, "AB", 6, true);  // window (100, 630)
  drawModelText(context, 0.5, 0.0, 0, "7", 3);            // point (550, 330)
  drawModelText(context, -0.5, 0.0, -1, "7", 3);          // point (250, 330)
  const QImage& image = finish();
  const QColor green = context.colour(5);
  const QRect block(200, 200, 61, 61);
  EXPECT_GT(countColour(image, green, block), 10);
  EXPECT_GT(countColour(image, red(), QRect(205, 220, 20, 18)), 10) << "visible between letters";
  EXPECT_EQ(countColour(image, green, block) + countColour(image, red(), block), 61 * 61)
      << "only the two colours: no background box, no blended edges";
  EXPECT_EQ(countColour(image, green, QRect(0, 0, 1400, 220)), 0) << "text hangs below its point";

  const QColor yellow = context.colour(6);
  EXPECT_GT(countColour(image, yellow, QRect(100, 630, 40, 18)), 10);
  EXPECT_EQ(countColour(image, yellow, QRect(0, 0, 1400, 630)), 0);

  const QColor cyan = context.colour(3);
  EXPECT_GT(countColour(image, cyan, QRect(560, 336, 20, 15)), 5) << "10 right, 6 below";
  EXPECT_EQ(countColour(image, cyan, QRect(500, 300, 60, 36)), 0);
  EXPECT_GT(countColour(image, cyan, QRect(200, 300, 50, 30)), 5) << "to the other side";
  EXPECT_EQ(countColour(image, cyan, QRect(250, 330, 60, 40)), 0);
}

TEST(Fonts, GothicFaceAtTheGivenHeight) {
  testing::ensureGuiApplication();
  const QFont font = makeFont(kLabelHeight, true);
  EXPECT_TRUE(QFontInfo(font).family().contains("IPA")) << QFontInfo(font).family().toStdString();
  EXPECT_EQ(QFontInfo(font).pixelSize(), kLabelHeight);
  EXPECT_TRUE(font.underline());
  // Fixed pitch: a narrow and a wide letter advance alike.
  const QFontMetrics metrics(font);
  EXPECT_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
}

TEST_F(PrimitivesTest, SixteenBitGuardAndClipping) {
  // Arcs, sectors and ellipses whose box leaves the device range are skipped.
  EXPECT_EQ(drawSector(context, 200.0, 0.0, 30.0, 0.0, 1.0, 1, 0), kDrawFailed);
  EXPECT_EQ(drawArc(context, 0.0, 0.0, 40000.0, 0.0, 1.0, 1, 0), kDrawFailed);
  EXPECT_EQ(drawEllipse(context, 0.0, -200.0, 30.0, 1, 10), kDrawFailed);
  EXPECT_EQ(drawCircleOrSquare(context, 40000, 0, 3, 1, 10), kDrawFailed);
  EXPECT_EQ(drawPointMark(context, 1e12, 0.0, 5.0, 1), kDrawFailed);
  EXPECT_EQ(drawElementSymbol(context, SymbolKind::Resistor, 32700, 300, 0, 1, 0, 3), kDrawFailed);
  EXPECT_EQ(drawEllipse(context, std::nan(""), 0.0, 30.0, 1, 10), kDrawFailed);
  // A line to a point far outside is clipped, not wrapped: its visible part stays.
  EXPECT_EQ(drawModelLine(context, 0.0, -0.5, 1e12, -0.5, 5, 0), kDrawn);
  EXPECT_EQ(drawModelLine(context, 0.0, 0.5, std::nan(""), 0.5, 5, 0), kDrawn);
  // Offsets of a vector are held within the range.
  EXPECT_EQ(drawVector(context, 0.0, 0.0, 0.0, -1e15, 6, 0, 0), kDrawn);
  const QImage& image = finish();
  EXPECT_EQ(countColour(image, red()), 0);
  EXPECT_GE(countColour(image, context.colour(5), QRect(400, 480, 1000, 1)), 999);
  EXPECT_EQ(countColour(image, context.colour(5), QRect(0, 0, 1400, 470)), 0);
  EXPECT_GE(countColour(image, context.colour(6), QRect(400, 331, 1, 1069)), 1060);
}

TEST(DrawingTarget, WithoutAPainterNothingIsDrawn) {
  DrawingContext context;
  EXPECT_EQ(drawEllipse(context, 0.0, 0.0, 30.0, 1, 0), kDrawFailed);
  EXPECT_FALSE(context.lastResult);
  EXPECT_EQ(context.drawingError, 1) << "a failed circle raises the drawing error";
  EXPECT_EQ(drawWindowLine(context, 0, 0, 10, 10, 1, 0), kDrawFailed);
}

}  // namespace
}  // namespace movra::view

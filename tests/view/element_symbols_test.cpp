// Element symbols of the schematic: centred where asked, turned by orientation,
// alternative outlines by the tens digit of the style, and the wire, control-line
// and node-number helpers.
#include "view/element_symbols.h"

#include <gtest/gtest.h>

#include "view/gui_environment.h"
#include "view/primitives.h"

namespace movra::view {
namespace {

using testing::countColour;

class ElementSymbolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureGuiApplication();
    painter.begin(&surface.image());
    context.target = &painter;
  }
  const QImage& finish() {
    if (painter.isActive()) painter.end();
    return surface.image();
  }
  // The box of coloured pixels.
  QRect extent(const QColor& colour) {
    const QImage& image = finish();
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) == colour.rgb()) box |= QRect(x, y, 1, 1);
      }
    }
    return box;
  }

  DrawingSurface surface{800, 700};
  QPainter painter;
  DrawingContext context;
};

TEST_F(ElementSymbolsTest, SymbolsSpanTheirTerminalsInEachOrientation) {
  // View (300, 300) is window (400, 330); terminals 20 px either side.
  ASSERT_EQ(drawElementSymbol(context, SymbolKind::Resistor, 300, 300, 0, 1, 0, 5), kDrawn);
  ASSERT_EQ(drawElementSymbol(context, SymbolKind::Capacitor, 100, 100, 1, 5, 0, 6), kDrawn);
  const QRect resistor = extent(context.colour(1));
  EXPECT_LE(std::abs(resistor.left() - 380), 1);
  EXPECT_LE(std::abs(resistor.right() - 420), 1);
  EXPECT_LT(resistor.height(), 15);
  const QRect capacitor = extent(context.colour(5));
  EXPECT_LE(std::abs(capacitor.top() - 510), 1) << "turned a quarter: terminals above and below";
  EXPECT_LE(std::abs(capacitor.bottom() - 550), 1);
  EXPECT_LT(capacitor.width(), 20);
  EXPECT_LE(std::abs(capacitor.center().x() - 200), 1);
}

TEST_F(ElementSymbolsTest, EverySymbolDrawsInItsColourAndStyle) {
  const SymbolKind kinds[] = {SymbolKind::Motor,         SymbolKind::Source,
                              SymbolKind::CurrentSource, SymbolKind::Resistor,
                              SymbolKind::Capacitor,     SymbolKind::Diode,
                              SymbolKind::Coil,          SymbolKind::Switch,
                              SymbolKind::Transistor,    SymbolKind::ControlledSwitch,
                              SymbolKind::Amplifier,     SymbolKind::Thermal,
                              SymbolKind::Block,         SymbolKind::Core,
                              SymbolKind::MaterialCore};
  int n = 0;
  for (SymbolKind kind : kinds) {
    EXPECT_EQ(
        drawElementSymbol(context, kind, 50 + 50 * (n % 10), 100 + 100 * (n / 10), n % 4, 3, 0, n),
        kDrawn);
    ++n;
  }
  const QImage& image = finish();
  for (int i = 0; i < n; ++i) {
    const QRect cell(150 + 50 * (i % 10) - 22, 530 - 100 * (i / 10) - 22, 45, 45);
    EXPECT_GT(countColour(image, context.colour(3), cell), 20) << "symbol " << i;
  }
}

TEST_F(ElementSymbolsTest, TensDigitSelectsTheAlternativeOutline) {
  drawElementSymbol(context, SymbolKind::Resistor, 100, 300, 0, 1, 0, 1);   // zigzag
  drawElementSymbol(context, SymbolKind::Resistor, 300, 300, 0, 1, 10, 1);  // box
  drawElementSymbol(context, SymbolKind::Resistor, 500, 300, 0, 1, 21,
                    1);  // box with arrow, dotted
  const QImage& image = finish();
  const QColor red = context.colour(1);
  // The box's top edge is a row of pixels 5 above the axis; the zigzag only touches it.
  EXPECT_LE(countColour(image, red, QRect(185, 325, 30, 1)), 4);
  EXPECT_GE(countColour(image, red, QRect(385, 325, 30, 1)), 24);
  const int variable = countColour(image, red, QRect(570, 300, 60, 60));
  EXPECT_GT(countColour(image, red, QRect(570, 315, 60, 9)), 0) << "the arrow leaves the box";
  EXPECT_LT(variable, countColour(image, red, QRect(370, 300, 60, 60)) + 20) << "dotted pen";
}

TEST_F(ElementSymbolsTest, WiresControlLinesAndNodeNumbers) {
  // From view (100, 400) down to (300, 200): along row v = 400 first.
  drawWire(context, 300, 200, 100, 400, 5, 0);
  drawControlLine(context, 50, 650, 350, 650, 6, 14);  // solid, 4 px wide
  drawControlLine(context, 50, 680, 350, 680, 6, 1);   // dotted
  drawNodeMarker(context, 500, 500, 2);
  drawNodeNumber(context, 600, 100, 7, 3);
  drawNodeNumber(context, 600, 200, 123, 3);
  const QImage& image = finish();
  const QColor green = context.colour(5);
  EXPECT_GE(countColour(image, green, QRect(200, 230, 200, 1)), 195);
  EXPECT_GE(countColour(image, green, QRect(400, 230, 1, 200)), 195);
  EXPECT_EQ(countColour(image, green, QRect(200, 231, 199, 200)), 0) << "the corner is up-right";
  const QColor yellow = context.colour(6);
  EXPECT_GE(countColour(image, yellow, QRect(200, 640, 1, 20)), 4);
  const int dotted = countColour(image, yellow, QRect(50, 680, 300, 1));
  EXPECT_GT(dotted, 100);
  EXPECT_LT(dotted, 200);
  EXPECT_EQ(image.pixel(600, 130), context.colour(2).rgb()) << "a filled dot";
  const QColor cyan = context.colour(3);
  EXPECT_GT(countColour(image, cyan, QRect(705, 500, 15, 20)), 5) << "up and right of the node";
  EXPECT_GT(countColour(image, cyan, QRect(712, 418, 60, 18)), 15);
}

}  // namespace
}  // namespace movra::view

#include "view/element_symbols.h"

#include <QPolygon>
#include <cstdio>

#include "view/primitives.h"

namespace movra::view {

namespace {

struct Point {
  int x;
  int y;
};

// One stroke of a symbol: up to 12 points, a count of 0 ends the table.
struct Stroke {
  int count;
  Point points[12];
};

struct Outline {
  Stroke strokes[6];
  int circleRadius;  // a ring about the centre when above 0
};

// Point tables; x along the terminals, y to the left of the axis.
const Outline kMotor = {{{2, {{-20, 0}, {-10, 0}}},
                         {2, {{10, 0}, {20, 0}}},
                         {5, {{-5, -5}, {-5, 5}, {0, 0}, {5, 5}, {5, -5}}}},
                        10};
const Outline kSource = {{{2, {{-20, 0}, {-8, 0}}},
                          {2, {{8, 0}, {20, 0}}},
                          {2, {{-5, -3}, {-5, 3}}},
                          {2, {{-8, 0}, {-2, 0}}}},
                         8};
const Outline kCurrentSource = {{{2, {{-20, 0}, {-8, 0}}},
                                 {2, {{8, 0}, {20, 0}}},
                                 {2, {{-5, 0}, {5, 0}}},
                                 {3, {{2, 3}, {5, 0}, {2, -3}}}},
                                8};
const Outline kResistor = {{{10,
                             {{-20, 0},
                              {-12, 0},
                              {-10, 5},
                              {-6, -5},
                              {-2, 5},
                              {2, -5},
                              {6, 5},
                              {10, -5},
                              {12, 0},
                              {20, 0}}}},
                           0};
const Outline kResistorBox = {{{2, {{-20, 0}, {-12, 0}}},
                               {5, {{-12, -5}, {12, -5}, {12, 5}, {-12, 5}, {-12, -5}}},
                               {2, {{12, 0}, {20, 0}}}},
                              0};
const Outline kResistorVariable = {{{2, {{-20, 0}, {-12, 0}}},
                                    {5, {{-12, -5}, {12, -5}, {12, 5}, {-12, 5}, {-12, -5}}},
                                    {2, {{12, 0}, {20, 0}}},
                                    {2, {{-10, -9}, {10, 9}}},
                                    {3, {{6, 9}, {10, 9}, {10, 5}}}},
                                   0};
const Outline kCapacitor = {{{2, {{-20, 0}, {-3, 0}}},
                             {2, {{-3, -8}, {-3, 8}}},
                             {2, {{3, -8}, {3, 8}}},
                             {2, {{3, 0}, {20, 0}}}},
                            0};
const Outline kDiode = {{{2, {{-20, 0}, {-6, 0}}},
                         {4, {{-6, -6}, {-6, 6}, {6, 0}, {-6, -6}}},
                         {2, {{6, -6}, {6, 6}}},
                         {2, {{6, 0}, {20, 0}}}},
                        0};
const Outline kCoil = {{{2, {{-20, 0}, {-12, 0}}},
                        {11,
                         {{-12, 0},
                          {-11, 4},
                          {-8, 5},
                          {-5, 4},
                          {-4, 0},
                          {-3, 4},
                          {0, 5},
                          {3, 4},
                          {4, 0},
                          {5, 4},
                          {8, 5}}},
                        {4, {{8, 5}, {11, 4}, {12, 0}, {20, 0}}}},
                       0};
const Outline kSwitch = {{{2, {{-20, 0}, {-8, 0}}}, {2, {{-8, 0}, {8, 7}}}, {2, {{8, 0}, {20, 0}}}},
                         0};
const Outline kTransistor = {{{3, {{-20, 0}, {-8, 0}, {-3, 9}}},
                              {2, {{-6, 10}, {6, 10}}},
                              {3, {{3, 9}, {8, 0}, {20, 0}}},
                              {3, {{4, 3}, {8, 0}, {8, 4}}},
                              {2, {{0, 10}, {0, 16}}}},
                             0};
const Outline kControlledSwitch = {{{2, {{-20, 0}, {-8, 0}}},
                                    {2, {{-8, 0}, {8, 7}}},
                                    {2, {{8, 0}, {20, 0}}},
                                    {5, {{-2, 12}, {2, 12}, {2, 8}, {-2, 8}, {-2, 12}}}},
                                   0};
const Outline kAmplifier = {{{2, {{-20, 0}, {-10, 0}}},
                             {4, {{-10, -12}, {-10, 12}, {12, 0}, {-10, -12}}},
                             {2, {{12, 0}, {20, 0}}}},
                            0};
const Outline kThermal = {{{2, {{-20, 0}, {-10, 0}}},
                           {5, {{-10, -6}, {10, -6}, {10, 6}, {-10, 6}, {-10, -6}}},
                           {2, {{10, 0}, {20, 0}}},
                           {5, {{-7, 0}, {-4, 3}, {0, -3}, {4, 3}, {7, 0}}}},
                          0};
const Outline kThermalWall = {{{2, {{-20, 0}, {-10, 0}}},
                               {5, {{-10, -6}, {10, -6}, {10, 6}, {-10, 6}, {-10, -6}}},
                               {2, {{10, 0}, {20, 0}}},
                               {2, {{-6, -6}, {0, 6}}},
                               {2, {{0, -6}, {6, 6}}}},
                              0};
const Outline kBlock = {{{2, {{-20, 0}, {-12, 0}}},
                         {5, {{-12, -8}, {12, -8}, {12, 8}, {-12, 8}, {-12, -8}}},
                         {2, {{12, 0}, {20, 0}}}},
                        0};
const Outline kBlockContact = {{{2, {{-20, 0}, {-12, 0}}},
                                {5, {{-12, -8}, {12, -8}, {12, 8}, {-12, 8}, {-12, -8}}},
                                {2, {{12, 0}, {20, 0}}},
                                {5, {{-8, -4}, {8, -4}, {8, 4}, {-8, 4}, {-8, -4}}}},
                               0};
const Outline kCore = {{{2, {{-20, 0}, {-12, 0}}},
                        {5, {{-12, -10}, {12, -10}, {12, 10}, {-12, 10}, {-12, -10}}},
                        {5, {{-6, -4}, {6, -4}, {6, 4}, {-6, 4}, {-6, -4}}},
                        {2, {{12, 0}, {20, 0}}}},
                       0};
const Outline kMaterialCore = {{{2, {{-20, 0}, {-12, 0}}},
                                {5, {{-12, -10}, {12, -10}, {12, 10}, {-12, 10}, {-12, -10}}},
                                {5, {{-6, -4}, {6, -4}, {6, 4}, {-6, 4}, {-6, -4}}},
                                {2, {{-12, 10}, {-6, 4}}},
                                {2, {{12, -10}, {6, -4}}},
                                {2, {{12, 0}, {20, 0}}}},
                               0};

const Outline& outlineOf(SymbolKind kind, int variant) {
  switch (kind) {
    case SymbolKind::Motor:
      return kMotor;
    case SymbolKind::Source:
      return kSource;
    case SymbolKind::CurrentSource:
      return kCurrentSource;
    case SymbolKind::Resistor:
      return variant == 1 ? kResistorBox : (variant == 2 ? kResistorVariable : kResistor);
    case SymbolKind::Capacitor:
      return kCapacitor;
    case SymbolKind::Diode:
      return kDiode;
    case SymbolKind::Coil:
      return kCoil;
    case SymbolKind::Switch:
      return kSwitch;
    case SymbolKind::Transistor:
      return kTransistor;
    case SymbolKind::ControlledSwitch:
      return kControlledSwitch;
    case SymbolKind::Amplifier:
      return kAmplifier;
    case SymbolKind::Thermal:
      return variant != 0 ? kThermalWall : kThermal;
    case SymbolKind::Block:
      return variant != 0 ? kBlockContact : kBlock;
    case SymbolKind::Core:
      return kCore;
    case SymbolKind::MaterialCore:
      return kMaterialCore;
  }
  return kBlock;
}

// Turns a table point by orientation quarter turns (v up) and places it at the
// centre, in window pixels (as doubles so that the guard sees any overflow).
QPointF placed(const Point& p, int u, int v, int orientation) {
  int x = p.x;
  int y = p.y;
  for (int k = 0; k < orientation; ++k) {
    const int turned = -y;
    y = x;
    x = turned;
  }
  return QPointF(static_cast<double>(u) + x + kViewLeftPixel,
                 kViewBottomPixel - (static_cast<double>(v) + y));
}

QPen controlPen(const QColor& colour, int style) {
  if (style > 10) return makePen(colour, PenStyle::Solid, style - 10);
  switch (style) {
    case 1:
      return makePen(colour, PenStyle::Dotted);
    case 2:
      return makePen(colour, PenStyle::DashDot);
    case 3:
      return makePen(colour, PenStyle::DashDotDot);
    case 4:
      return makePen(colour, PenStyle::Dashed);
    default:
      return makePen(colour, PenStyle::Solid);
  }
}

}  // namespace

int drawElementSymbol(DrawingContext& context, SymbolKind kind, int u, int v, int orientation,
                      int colour, int style, int /*statement*/) {
  if (context.target == nullptr || !context.target->isActive()) {
    context.lastResult = false;
    return kDrawFailed;
  }
  const int turns = ((orientation % 4) + 4) % 4;
  const int magnitude = style < 0 ? -style : style;
  const Outline& outline = outlineOf(kind, (magnitude / 10) % 10);
  // The symbol's box must stay within the device range once placed.
  const Point corners[2] = {{-kSymbolHalfLength, -kSymbolHalfLength},
                            {kSymbolHalfLength, kSymbolHalfLength}};
  for (const Point& corner : corners) {
    if (!insideDevice(placed(corner, u, v, 0))) return kDrawFailed;
  }
  ShapeTools tools(context, makePen(context.colour(colour), shapeCodeStyle(style)), false);
  for (const Stroke& stroke : outline.strokes) {
    if (stroke.count < 2) break;
    QPolygon polygon;
    for (int i = 0; i < stroke.count; ++i) {
      const QPointF point = placed(stroke.points[i], u, v, turns);
      polygon << QPoint(static_cast<int>(point.x()), static_cast<int>(point.y()));
    }
    tools.painter().drawPolyline(polygon);
  }
  if (outline.circleRadius > 0) {
    const QPointF centre = placed({0, 0}, u, v, 0);
    const int r = outline.circleRadius;
    tools.painter().drawEllipse(
        QRect(static_cast<int>(centre.x()) - r, static_cast<int>(centre.y()) - r, 2 * r, 2 * r));
  }
  if (kind == SymbolKind::Switch || kind == SymbolKind::ControlledSwitch) {
    const QPointF hinge = placed({-8, 0}, u, v, turns);
    tools.painter().drawEllipse(
        QRect(static_cast<int>(hinge.x()) - 2, static_cast<int>(hinge.y()) - 2, 4, 4));
  }
  context.lastResult = true;
  return kDrawn;
}

int drawWire(DrawingContext& context, int u1, int v1, int u2, int v2, int colour, int style) {
  const bool firstHigher = v1 >= v2;
  const int highU = firstHigher ? u1 : u2;
  const int highV = firstHigher ? v1 : v2;
  const int lowU = firstHigher ? u2 : u1;
  const int lowV = firstHigher ? v2 : v1;
  const auto window = [](int u, int v) {
    return QPointF(static_cast<double>(u) + kViewLeftPixel,
                   kViewBottomPixel - static_cast<double>(v));
  };
  const QPointF high = window(highU, highV);
  const QPointF corner = window(lowU, highV);
  const QPointF low = window(lowU, lowV);
  if (!insideDevice(high) || !insideDevice(low)) return kDrawFailed;
  if (context.target == nullptr || !context.target->isActive()) return kDrawFailed;
  ShapeTools tools(context, controlPen(context.colour(colour), style), false);
  QPolygon path;
  path << high.toPoint() << corner.toPoint() << low.toPoint();
  tools.painter().drawPolyline(path);
  return kDrawn;
}

int drawControlLine(DrawingContext& context, int x1, int y1, int x2, int y2, int colour,
                    int style) {
  if (context.target == nullptr || !context.target->isActive()) return kDrawFailed;
  QPointF a(x1, y1);
  QPointF b(x2, y2);
  if (!clipToDevice(a, b)) return kDrawn;
  ShapeTools tools(context, controlPen(context.colour(colour), style), false);
  tools.painter().drawLine(a.toPoint(), b.toPoint());
  return kDrawn;
}

int drawNodeMarker(DrawingContext& context, int u, int v, int colour) {
  return drawCircleOrSquare(context, u, v, 2, colour, 10);
}

int drawNodeNumber(DrawingContext& context, int u, int v, int node, int colour) {
  char text[32];
  int dx = 0;
  int dy = 0;
  int height = kModelTextHeight;
  if (node >= 100) {
    std::snprintf(text, sizeof text, "▽%3d", node);
  } else {
    std::snprintf(text, sizeof text, "%d", node);
    const bool oneDigit = node >= 0 && node < 10;
    dx = oneDigit ? -3 : -6;
    dy = oneDigit ? -8 : -7;
    height = oneDigit ? 15 : 14;
  }
  const double x = static_cast<double>(u) + kViewLeftPixel + 12 + dx;
  const double y = kViewBottomPixel - static_cast<double>(v) - 12 + dy;
  if (!insideDevice(x, y)) return kDrawFailed;
  return drawWindowText(context, static_cast<int>(x), static_cast<int>(y), text, colour, height);
}

}  // namespace movra::view

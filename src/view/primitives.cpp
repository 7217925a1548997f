#include "view/primitives.h"

#include <QFontMetrics>
#include <QString>
#include <cmath>

namespace movra::view {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHeadHalfAngle = 25.0 * kPi / 180.0;

// A recorded integer comes back as a double; anything a run could store beyond
// int saturates instead of being undefined.
int toInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(value);
}

// The target must be painting; otherwise the system call fails.
bool targetReady(DrawingContext& context) {
  const bool ready = context.target != nullptr && context.target->isActive();
  context.lastResult = ready;
  return ready;
}

int failShape(DrawingContext& context) {
  context.lastResult = false;
  context.drawingError = 1;
  return kDrawFailed;
}

// Draws the segments of a polyline in window pixels, each clipped to the device.
void strokePolyline(QPainter& painter, const QPointF* points, int count) {
  for (int i = 0; i + 1 < count; ++i) {
    QPointF a = points[i];
    QPointF b = points[i + 1];
    if (!clipToDevice(a, b)) continue;
    const QPoint from(toPixel(a.x()), toPixel(a.y()));
    const QPoint to(toPixel(b.x()), toPixel(b.y()));
    if (from == to) continue;  // the system draws nothing for an empty line
    painter.drawLine(from, to);
  }
}

int strokeSegment(DrawingContext& context, QPointF a, QPointF b, const QPen& pen) {
  if (!targetReady(context)) return kDrawFailed;
  ShapeTools tools(context, pen, false);
  const QPointF points[2] = {a, b};
  strokePolyline(tools.painter(), points, 2);
  return kDrawn;
}

// The box of a circle or square must fit the 16-bit device range.
bool boxInsideDevice(const QPoint& centre, long long half) {
  return insideDevice(static_cast<double>(centre.x() - half),
                      static_cast<double>(centre.y() - half)) &&
         insideDevice(static_cast<double>(centre.x() + half),
                      static_cast<double>(centre.y() + half));
}

int strokeCircle(DrawingContext& context, const QPoint& centre, int radius, const QPen& pen,
                 bool filled) {
  if (!targetReady(context)) return failShape(context);
  if (radius < 0) radius = -radius;
  if (!boxInsideDevice(centre, radius)) return kDrawFailed;
  ShapeTools tools(context, pen, filled);
  tools.painter().drawEllipse(
      QRect(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius));
  return kDrawn;
}

int strokeSquare(DrawingContext& context, const QPoint& centre, int half, const QPen& pen,
                 bool filled) {
  if (!targetReady(context)) return kDrawFailed;
  if (half < 0) half = -half;
  if (!boxInsideDevice(centre, half)) return kDrawFailed;
  ShapeTools tools(context, pen, filled);
  tools.painter().drawRect(QRect(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
  return kDrawn;
}

QPoint roundedWindow(const QPointF& point) {
  return QPoint(toPixel(point.x()), toPixel(point.y()));
}

// Sector and arc share their box and angles; Qt counts 1/16 degrees, counter-
// clockwise as seen, which is the model's sense since v points up.
struct ArcBox {
  QRect box;
  int start16 = 0;
  int span16 = 0;
};

bool arcBox(const DrawingContext& context, double x, double y, double radius, double angle1,
            double angle2, ArcBox& arc) {
  const QPointF centre = modelToWindowF(context, x, y);
  const double r = std::fabs(radius);  // pixels: a body's disc keeps its size at any zoom
  if (!insideDevice(centre.x() - r, centre.y() - r) ||
      !insideDevice(centre.x() + r, centre.y() + r)) {
    return false;
  }
  const QPoint c = roundedWindow(centre);
  const int pixels = toPixel(r);
  arc.box = QRect(c.x() - pixels, c.y() - pixels, 2 * pixels, 2 * pixels);
  double span = std::fmod(angle2 - angle1, 2.0 * kPi);
  if (!(span > 0.0)) span += 2.0 * kPi;
  if (!std::isfinite(span) || !std::isfinite(angle1)) return false;
  arc.start16 = toPixel(angle1 * 180.0 / kPi * 16.0);
  arc.span16 = toPixel(span * 180.0 / kPi * 16.0);
  return true;
}

// One open head at `tip` for a shaft that arrives from `from`, in model units.
void headPoints(double fromX, double fromY, double tipX, double tipY, double length,
                double out[3][2]) {
  const double dx = fromX - tipX;
  const double dy = fromY - tipY;
  const double norm = std::hypot(dx, dy);
  const double ux = dx / norm;
  const double uy = dy / norm;
  const double c = std::cos(kHeadHalfAngle);
  const double s = std::sin(kHeadHalfAngle);
  out[0][0] = tipX + length * (c * ux - s * uy);
  out[0][1] = tipY + length * (s * ux + c * uy);
  out[1][0] = tipX;
  out[1][1] = tipY;
  out[2][0] = tipX + length * (c * ux + s * uy);
  out[2][1] = tipY + length * (-s * ux + c * uy);
}

}  // namespace

int drawPointMark(DrawingContext& context, double x, double y, double c, int colour) {
  if (c == 0.0 || std::isnan(c)) return kDrawn;
  const QPointF centre = modelToWindowF(context, x, y);
  const QPen pen = makePen(context.colour(colour), PenStyle::Solid);
  if (c > 1000.0) {
    return strokeSquare(context, roundedWindow(centre), toPixel(c - 1000.0), pen, false);
  }
  if (c > 0.0) return strokeCircle(context, roundedWindow(centre), toPixel(c), pen, false);
  if (!targetReady(context)) return kDrawFailed;
  const double half = toPixel(-c);
  ShapeTools tools(context, pen, false);
  const QPointF across[2] = {centre - QPointF(half, 0), centre + QPointF(half, 0)};
  const QPointF down[2] = {centre - QPointF(0, half), centre + QPointF(0, half)};
  strokePolyline(tools.painter(), across, 2);
  strokePolyline(tools.painter(), down, 2);
  return kDrawn;
}

int drawArrow(DrawingContext& context, double x1, double y1, double x2, double y2, double colour,
              double style, double headFactor, double /*spare*/, int m) {
  if (!targetReady(context)) return kDrawFailed;
  const double shaft = std::hypot(x2 - x1, y2 - y1);
  if (!(shaft > 0.0) || !std::isfinite(shaft)) return kDrawn;
  const double factor = headFactor > 0.0 ? headFactor : 1.0;
  double head = context.baseScale > 0.0 ? 10.0 / context.baseScale * factor : 0.0;
  if (head > 0.35 * shaft) head = 0.35 * shaft;

  ShapeTools tools(context, makePen(context.colour(toInt(colour)), shapeCodeStyle(toInt(style))),
                   false);
  const QPointF line[2] = {modelToWindowF(context, x1, y1), modelToWindowF(context, x2, y2)};
  strokePolyline(tools.painter(), line, 2);

  auto drawHead = [&](double fromX, double fromY, double tipX, double tipY) {
    double points[3][2];
    headPoints(fromX, fromY, tipX, tipY, head, points);
    QPointF pixels[3];
    for (int i = 0; i < 3; ++i) pixels[i] = modelToWindowF(context, points[i][0], points[i][1]);
    strokePolyline(tools.painter(), pixels, 3);
  };
  switch (((m % 4) + 4) % 4) {
    case 0:
      drawHead(x1, y1, x2, y2);
      break;
    case 1:
      drawHead(x2, y2, x1, y1);
      break;
    case 2:
      drawHead(x1, y1, x2, y2);
      drawHead(x2, y2, x1, y1);
      break;
    case 3: {
      drawHead(x1, y1, x2, y2);
      // The second head sits half a head behind the tip.
      const double back = 0.5 * head / shaft;
      drawHead(x1, y1, x2 - back * (x2 - x1), y2 - back * (y2 - y1));
      break;
    }
  }
  return kDrawn;
}

int drawOffsetMark(DrawingContext& context, double x, double y, double dx, double dy, double e,
                   int colour, int dotted) {
  if (!targetReady(context)) return kDrawFailed;
  const QPen pen = makePen(context.colour(colour), dotted ? PenStyle::Dotted : PenStyle::Solid);
  const QPointF from = modelToWindowF(context, x, y);
  const QPointF to = from + QPointF(toPixel(dx), -toPixel(dy));
  strokeSegment(context, from, to, pen);
  if (e > 0.0) return strokeCircle(context, roundedWindow(to), toPixel(e), pen, false);
  if (e < 0.0) {
    const double h = toPixel(-e);
    ShapeTools tools(context, pen, false);
    const QPointF first[2] = {to + QPointF(-h, -h), to + QPointF(h, h)};
    const QPointF second[2] = {to + QPointF(-h, h), to + QPointF(h, -h)};
    strokePolyline(tools.painter(), first, 2);
    strokePolyline(tools.painter(), second, 2);
  }
  return kDrawn;
}

int drawModelLine(DrawingContext& context, double x1, double y1, double x2, double y2, int colour,
                  int style) {
  return strokeSegment(context, modelToWindowF(context, x1, y1), modelToWindowF(context, x2, y2),
                       makePen(context.colour(colour), shapeCodeStyle(style)));
}

int drawVector(DrawingContext& context, double x, double y, double dx, double dy, int colour,
               int style, int endMark) {
  if (!targetReady(context)) return kDrawFailed;
  auto held = [](double value) {
    const int pixels = toPixel(value);
    return pixels > kDeviceLimit ? kDeviceLimit : (pixels < -kDeviceLimit ? -kDeviceLimit : pixels);
  };
  const QPen pen = makePen(context.colour(colour), shapeCodeStyle(style));
  const QPointF from = modelToWindowF(context, x, y);
  const int offsetX = held(dx);
  const int offsetY = held(dy);
  const QPointF to = from + QPointF(offsetX, -offsetY);
  strokeSegment(context, from, to, pen);
  switch ((endMark < 0 ? -endMark : endMark) % 10) {
    case 1: {
      const double length = std::hypot(offsetX, offsetY);
      if (length == 0.0) break;
      // An 8-pixel head, worked out in view pixels (v up) like a model arrow.
      double points[3][2];
      const double tipU = to.x();
      const double tipV = -to.y();
      headPoints(from.x(), -from.y(), tipU, tipV, length < 23.0 ? 0.35 * length : 8.0, points);
      QPointF pixels[3];
      for (int i = 0; i < 3; ++i) pixels[i] = QPointF(points[i][0], -points[i][1]);
      ShapeTools tools(context, makePen(context.colour(colour), PenStyle::Solid), false);
      strokePolyline(tools.painter(), pixels, 3);
      break;
    }
    case 2:
      return strokeCircle(context, roundedWindow(to), 3,
                          makePen(context.colour(colour), PenStyle::Solid), false);
    case 3:
      return strokeCircle(context, roundedWindow(to), 2,
                          makePen(context.colour(colour), PenStyle::Solid), true);
    case 4: {
      const double length = std::hypot(offsetX, offsetY);
      if (length == 0.0) break;
      const QPointF normal(4.0 * offsetY / length, 4.0 * offsetX / length);
      ShapeTools tools(context, makePen(context.colour(colour), PenStyle::Solid), false);
      const QPointF bar[2] = {to - normal, to + normal};
      strokePolyline(tools.painter(), bar, 2);
      break;
    }
    default:
      break;
  }
  return kDrawn;
}

int drawSector(DrawingContext& context, double x, double y, double radius, double angle1,
               double angle2, int colour, int style) {
  if (!targetReady(context)) return failShape(context);
  ArcBox arc;
  if (!arcBox(context, x, y, radius, angle1, angle2, arc)) return kDrawFailed;
  ShapeTools tools(context, makePen(context.colour(colour), shapeCodeStyle(style)), true);
  tools.painter().drawPie(arc.box, arc.start16, arc.span16);
  return kDrawn;
}

int drawArc(DrawingContext& context, double x, double y, double radius, double angle1,
            double angle2, int colour, int style) {
  if (!targetReady(context)) return failShape(context);
  ArcBox arc;
  if (!arcBox(context, x, y, radius, angle1, angle2, arc)) return kDrawFailed;
  ShapeTools tools(context, makePen(context.colour(colour), shapeCodeStyle(style)), false);
  tools.painter().drawArc(arc.box, arc.start16, arc.span16);
  return kDrawn;
}

int drawEllipse(DrawingContext& context, double x, double y, double radius, int colour, int style) {
  if (!targetReady(context)) return failShape(context);
  ArcBox arc;
  if (!arcBox(context, x, y, radius, 0.0, 0.0, arc)) return kDrawFailed;
  const bool filled = (style < 0 ? -style : style) > 9;
  ShapeTools tools(context, makePen(context.colour(colour), shapeCodeStyle(style)), filled);
  tools.painter().drawEllipse(arc.box);
  return kDrawn;
}

int shapeNumberCount(int kind) {
  switch (kind) {
    case 1:
      return 9;
    case 2:
    case 21:
    case 6:
    case 7:
      return 7;
    case 3:
      return 6;
    case 4:
      return 4;
    case 8:
      return 5;
    default:
      return 0;
  }
}

int replayShape(DrawingContext& context, int kind, const double* n) {
  switch (kind) {
    case 1:
      return drawArrow(context, n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7], toInt(n[8]));
    case 2:
      return drawOffsetMark(context, n[0], n[1], n[2], n[3], n[4], toInt(n[5]), toInt(n[6]));
    case 21:
      return drawVector(context, n[0], n[1], n[2], n[3], toInt(n[4]), toInt(n[5]), toInt(n[6]));
    case 3:
      return drawModelLine(context, n[0], n[1], n[2], n[3], toInt(n[4]), toInt(n[5]));
    case 4:
      return drawPointMark(context, n[0], n[1], n[2], toInt(n[3]));
    case 6:
      return drawSector(context, n[0], n[1], n[2], n[3], n[4], toInt(n[5]), toInt(n[6]));
    case 7:
      return drawArc(context, n[0], n[1], n[2], n[3], n[4], toInt(n[5]), toInt(n[6]));
    case 8:
      return drawEllipse(context, n[0], n[1], n[2], toInt(n[3]), toInt(n[4]));
    default:
      return kDrawn;
  }
}

int drawWindowLine(DrawingContext& context, int x1, int y1, int x2, int y2, int colour, int style) {
  return strokeSegment(context, QPointF(x1, y1), QPointF(x2, y2),
                       makePen(context.colour(colour), lineCodeStyle(style)));
}

int drawViewLine(DrawingContext& context, int u1, int v1, int u2, int v2, int colour) {
  return drawStyledViewLine(context, u1, v1, u2, v2, colour, 0);
}

int drawStyledViewLine(DrawingContext& context, int u1, int v1, int u2, int v2, int colour,
                       int style) {
  const PenStyle pen =
      style == 1 ? PenStyle::Dotted : (style == 2 ? PenStyle::DashDot : PenStyle::Solid);
  // In doubles: a view point near the int limit must not wrap when offset.
  const QPointF a(static_cast<double>(u1) + kViewLeftPixel,
                  kViewBottomPixel - static_cast<double>(v1));
  const QPointF b(static_cast<double>(u2) + kViewLeftPixel,
                  kViewBottomPixel - static_cast<double>(v2));
  return strokeSegment(context, a, b, makePen(context.colour(colour), pen));
}

int drawCircleOrSquare(DrawingContext& context, int x, int y, int radius, int colour, int e) {
  const int magnitude = e < 0 ? -e : e;
  const QPen pen = makePen(context.colour(colour), shapeCodeStyle(e));
  const bool filled = magnitude > 9;
  if (e < 0) return strokeSquare(context, QPoint(x, y), radius, pen, filled);
  const double wx = static_cast<double>(x) + kViewLeftPixel;
  const double wy = kViewBottomPixel - static_cast<double>(y);
  if (!insideDevice(wx, wy)) return kDrawFailed;
  return strokeCircle(context, QPoint(static_cast<int>(wx), static_cast<int>(wy)), radius, pen,
                      filled);
}

int drawWindowText(DrawingContext& context, int x, int y, const char* text, int colour,
                   int height) {
  if (!targetReady(context) || text == nullptr) return kDrawFailed;
  if (!insideDevice(x, y)) return kDrawFailed;
  const QFont font = makeFont(height);
  ShapeTools tools(context, font, context.colour(colour));
  // The system places the top of the text cell at the point.
  const QFontMetrics metrics(tools.painter().font());
  tools.painter().drawText(QPoint(x, y + metrics.ascent()), QString::fromUtf8(text));
  return kDrawn;
}

int drawWindowLabel(DrawingContext& context, int x, int y, const char* text, int colour) {
  return drawWindowText(context, x, y, text, colour, kLabelHeight);
}

int drawViewLabel(DrawingContext& context, int u, int v, const char* text, int colour) {
  return drawViewLabelUnderlined(context, u, v, text, colour, false);
}

int drawViewLabelUnderlined(DrawingContext& context, int u, int v, const char* text, int colour,
                            bool underline) {
  if (!targetReady(context) || text == nullptr) return kDrawFailed;
  const double wx = static_cast<double>(u) + kViewLeftPixel;
  const double wy = kViewBottomPixel - static_cast<double>(v);
  if (!insideDevice(wx, wy)) return kDrawFailed;
  ShapeTools tools(context, makeFont(kLabelHeight, underline), context.colour(colour));
  const QFontMetrics metrics(tools.painter().font());
  tools.painter().drawText(QPoint(static_cast<int>(wx), static_cast<int>(wy) + metrics.ascent()),
                           QString::fromUtf8(text));
  return kDrawn;
}

int drawModelText(DrawingContext& context, double x, double y, int d, const char* text,
                  int colour) {
  const QPointF point = modelToWindowF(context, x, y);
  const double steps = d >= 0 ? d : -static_cast<double>(d);
  const double sign = d >= 0 ? 1.0 : -1.0;
  const double tx = point.x() + sign * (10.0 + 12.0 * steps);
  const double ty = point.y() + sign * (6.0 + 12.0 * steps);
  if (!insideDevice(tx, ty)) return kDrawFailed;
  return drawWindowText(context, toPixel(tx), toPixel(ty), text, colour, kModelTextHeight);
}

}  // namespace movra::view

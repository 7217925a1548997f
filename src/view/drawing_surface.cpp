#include "view/drawing_surface.h"

#include <QVector>
#include <cmath>

namespace movra::view {

namespace {

constexpr Rgb kFirstColours[44] = {
    {0, 0, 0},       {255, 0, 0},     {255, 0, 255},   {0, 255, 255},   {0, 0, 128},
    {0, 255, 0},     {255, 255, 0},   {128, 0, 128},   {0, 46, 112},    {0, 192, 192},
    {255, 128, 0},   {100, 100, 0},   {255, 204, 255}, {192, 192, 192}, {224, 112, 0},
    {0, 64, 64},     {64, 0, 64},     {204, 255, 255}, {255, 255, 204}, {255, 255, 255},
    {255, 255, 255}, {255, 255, 255}, {170, 170, 170}, {0, 0, 0},       {64, 64, 64},
    {80, 80, 80},    {192, 192, 192}, {0, 192, 0},     {205, 205, 0},   {220, 220, 220},
    {150, 150, 150}, {0, 255, 64},    {0, 0, 160},     {255, 250, 205}, {245, 245, 220},
    {255, 240, 176}, {0, 46, 112},    {0, 46, 112},    {0, 46, 112},    {0, 46, 112},
    {128, 128, 128}, {160, 160, 160}, {95, 95, 95},    {90, 90, 90},
};

// Far outside the device range but still safe to add offsets to in int.
constexpr double kSaturation = 1 << 30;

// The face that stands in for "ＭＳ ゴシック": fixed pitch, gothic.
constexpr const char* kGothicFace = "IPAGothic";

}  // namespace

ColourTable defaultColourTable() {
  ColourTable table;
  for (int i = 0; i < 44; ++i) table.entries[i] = kFirstColours[i];
  return table;
}

DrawingSurface::DrawingSurface(int width, int height)
    : image_(width > 0 ? width : 1, height > 0 ? height : 1, QImage::Format_RGB32) {
  fillGray();
}

void DrawingSurface::fillGray() {
  image_.fill(kStockGray);
}

void DrawingContext::setWindow(const ViewWindow& drawn) {
  window = drawn;
  scale = drawn.half != 0.0 ? 300.0 / drawn.half : 0.0;
}

QColor DrawingContext::colour(int index) const {
  if (index < 0 || index >= kColourCount) return QColor(0, 0, 0);
  const Rgb& entry = colours.entries[index];
  return QColor(entry.red & 255, entry.green & 255, entry.blue & 255);
}

int toPixel(double value) {
  if (std::isnan(value)) return static_cast<int>(kSaturation);
  const double rounded = std::floor(value + 0.5);
  if (rounded > kSaturation) return static_cast<int>(kSaturation);
  if (rounded < -kSaturation) return -static_cast<int>(kSaturation);
  return static_cast<int>(rounded);
}

QPoint modelToView(const DrawingContext& context, double x, double y) {
  return QPoint(toPixel(context.scale * (x - context.window.left)),
                toPixel(context.scale * (y - context.window.bottom)));
}

QPointF modelToWindowF(const DrawingContext& context, double x, double y) {
  double u = context.scale * (x - context.window.left);
  double v = context.scale * (y - context.window.bottom);
  // Round like every other point while that is exact; beyond it only the
  // clipping needs the direction of the line.
  if (std::fabs(u) < kSaturation) u = std::floor(u + 0.5);
  if (std::fabs(v) < kSaturation) v = std::floor(v + 0.5);
  return QPointF(u + kViewLeftPixel, kViewBottomPixel - v);
}

bool insideDevice(double x, double y) {
  return x >= -kDeviceLimit && x <= kDeviceLimit && y >= -kDeviceLimit && y <= kDeviceLimit;
}

bool insideDevice(const QPointF& point) {
  return insideDevice(point.x(), point.y());
}

bool clipToDevice(QPointF& a, QPointF& b) {
  if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
      !std::isfinite(b.y())) {
    return false;
  }
  // Liang-Barsky against the square of the device range.
  const double dx = b.x() - a.x();
  const double dy = b.y() - a.y();
  double t0 = 0.0;
  double t1 = 1.0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() + kDeviceLimit, kDeviceLimit - a.x(), a.y() + kDeviceLimit,
                       kDeviceLimit - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  const QPointF start = a;
  if (t1 < 1.0) b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
  if (t0 > 0.0) a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
  return true;
}

PenStyle lineCodeStyle(int code) {
  switch (code) {
    case 1:
      return PenStyle::Dotted;
    case 2:
      return PenStyle::DashDot;
    case 3:
      return PenStyle::DashDotDot;
    default:
      return PenStyle::Solid;
  }
}

PenStyle shapeCodeStyle(int code) {
  switch ((code < 0 ? -code : code) % 10) {
    case 1:
      return PenStyle::Dotted;
    case 2:
      return PenStyle::Dashed;
    case 3:
      return PenStyle::DashDot;
    case 4:
      return PenStyle::DashDotDot;
    default:
      return PenStyle::Solid;
  }
}

QPen makePen(const QColor& colour, PenStyle style, int width) {
  QPen pen(colour);
  pen.setWidth(width < 1 ? 1 : width);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  // The cosmetic patterns of the system's one-pixel pens, in pixels.
  switch (style) {
    case PenStyle::Solid:
      pen.setStyle(Qt::SolidLine);
      break;
    case PenStyle::Dotted:
      pen.setDashPattern(QVector<qreal>{3, 3});
      break;
    case PenStyle::Dashed:
      pen.setDashPattern(QVector<qreal>{18, 6});
      break;
    case PenStyle::DashDot:
      pen.setDashPattern(QVector<qreal>{9, 6, 3, 6});
      break;
    case PenStyle::DashDotDot:
      pen.setDashPattern(QVector<qreal>{9, 3, 3, 3, 3, 3});
      break;
  }
  return pen;
}

QFont makeFont(int height, bool underline) {
  QFont font(kGothicFace);
  font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
  font.setFixedPitch(true);
  font.setWeight(QFont::Normal);
  font.setPixelSize(height > 0 ? height : 1);
  font.setUnderline(underline);
  // Proof-quality bitmap-like glyphs: every text pixel is in the text colour.
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

ShapeTools::ShapeTools(DrawingContext& context, const QPen& pen, bool filled) : context_(context) {
  QPainter& painter = *context_.target;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(pen);
  painter.setBrush(filled ? QBrush(pen.color()) : QBrush(Qt::NoBrush));
}

ShapeTools::ShapeTools(DrawingContext& context, const QFont& font, const QColor& colour)
    : context_(context) {
  QPainter& painter = *context_.target;
  painter.save();
  painter.setFont(font);
  painter.setPen(QPen(colour));
  painter.setBackgroundMode(Qt::TransparentMode);
}

ShapeTools::~ShapeTools() {
  context_.target->restore();
}

}  // namespace movra::view

// The drawing target of the view: an RGB32 surface, the painter that draws into
// it, the colour table and the view window through which model points become
// pixels. Pens, brushes and fonts are made here per shape, the way the view has
// always made them, and never cached.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>

namespace movra::view {

inline constexpr int kViewSize = 600;         // the square view, in pixels
inline constexpr int kViewLeftPixel = 100;    // window x of view u = 0
inline constexpr int kViewBottomPixel = 630;  // window y of view v = 0
inline constexpr int kDeviceLimit = 32767;    // 16-bit device coordinates
inline constexpr int kColourCount = 64;

// Results of a drawing operation.
inline constexpr int kDrawn = 0;
inline constexpr int kDrawFailed = 9;

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
};

// The 64 entries of the view's colour table; entries 44..63 are black.
struct ColourTable {
  Rgb entries[kColourCount];
};
ColourTable defaultColourTable();

// Model units shown in the square: [left, left + 2 half] x [bottom, bottom + 2 half].
struct ViewWindow {
  double left = -1.0;
  double bottom = -1.0;
  double half = 1.0;
};

// An RGB32 picture, filled with the gray of the system's stock brush when made.
class DrawingSurface {
 public:
  DrawingSurface(int width, int height);
  QImage& image() { return image_; }
  const QImage& image() const { return image_; }
  void fillGray();

 private:
  QImage image_;
};

inline constexpr QRgb kStockGray = 0xFF808080;

struct DrawingContext {
  QPainter* target = nullptr;  // the current drawing target
  ColourTable colours = defaultColourTable();
  ViewWindow window;
  double scale = 300.0;      // s, pixels per model unit of the drawn window
  double baseScale = 300.0;  // s0, the scale the display statement set (arrow heads)
  bool lastResult = true;    // success of the last system drawing call
  int drawingError = 0;      // set by a failed circle or arc; nobody reads it

  // Sets the drawn window and s = 300 / half.
  void setWindow(const ViewWindow& drawn);
  // The colour of a table entry; an index outside the table draws black.
  QColor colour(int index) const;
};

// Pixel coordinates are integers after rounding with floor(value + 0.5). Values
// beyond any device (or NaN) saturate, so a wild model point cannot wrap around.
int toPixel(double value);

// View (u right, v up, from the square's bottom-left) to window pixels.
inline QPoint viewToWindow(int u, int v) {
  return QPoint(u + kViewLeftPixel, kViewBottomPixel - v);
}

// Model point to rounded view pixels through the drawn window.
QPoint modelToView(const DrawingContext& context, double x, double y);
// Model point to window pixels, kept in doubles for clipping (already rounded
// where it is inside any sensible range).
QPointF modelToWindowF(const DrawingContext& context, double x, double y);

// True when the window point lies within the 16-bit device range.
bool insideDevice(double x, double y);
bool insideDevice(const QPointF& point);

// Clips the segment to the device range; false when nothing of it is left.
bool clipToDevice(QPointF& a, QPointF& b);

// Pen styles. The line operations know two numberings: the line codes
// (0 solid, 1 dotted, 2 dash-dot, 3 dash-dot-dot) and the shape codes
// (0 solid, 1 dotted, 2 dashed, 3 dash-dot, 4 dash-dot-dot).
enum class PenStyle { Solid, Dotted, Dashed, DashDot, DashDotDot };
PenStyle lineCodeStyle(int code);
PenStyle shapeCodeStyle(int code);  // |code| mod 10

QPen makePen(const QColor& colour, PenStyle style, int width = 1);

// The system's gothic face at a cell height in pixels.
QFont makeFont(int height, bool underline = false);

// Selects a pen, brush and font for one shape and restores the previous ones
// afterwards, so that no drawing state leaks into the next shape.
class ShapeTools {
 public:
  ShapeTools(DrawingContext& context, const QPen& pen, bool filled);
  ShapeTools(DrawingContext& context, const QFont& font, const QColor& colour);
  ~ShapeTools();
  ShapeTools(const ShapeTools&) = delete;
  ShapeTools& operator=(const ShapeTools&) = delete;
  QPainter& painter() { return *context_.target; }

 private:
  DrawingContext& context_;
};

}  // namespace movra::view

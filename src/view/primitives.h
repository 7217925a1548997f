// The drawing operations shared by the mechanism view, the graph plot and the
// display list. Each draws one shape into the context's target with a pen,
// brush or font of its own and returns kDrawn or kDrawFailed; none reports to
// the user, a shape that cannot be drawn is simply missing.
//
// Three coordinate systems: window pixels (x right, y down), view pixels of the
// 600 x 600 square (u right, v up; window (u + 100, 630 - v)) and model units
// through the drawn window (u = s (x - left), v = s (y - bottom)).
#pragma once

#include "view/drawing_surface.h"

namespace movra::view {

// --- model-space shapes, by the kind the display list records -----------------

// Kind 4: c = 0 nothing; 0 < c <= 1000 a hollow circle of radius c pixels;
// c > 1000 a hollow square of half-size c - 1000; c < 0 a "+" of half-length |c|.
int drawPointMark(DrawingContext& context, double x, double y, double c, int colour);

// Kind 1: an arrow from the tail (x1, y1) to the tip (x2, y2) in the colour and
// pen style (shape codes) given. Its heads are 10 / s0 model units long times
// headFactor (1 when not above 0), at most 0.35 of the shaft. m mod 4: 0 a head
// at the tip, 1 a head at the tail, 2 heads at both ends, 3 a double head at the tip.
// The eighth real is kept by the recorders but not drawn.
int drawArrow(DrawingContext& context, double x1, double y1, double x2, double y2, double colour,
              double style, double headFactor, double spare, int m);

// Kind 2: a line from the point to the point moved by (dx, dy) pixels (dy up),
// and there a hollow circle of radius e (e > 0) or an X of half-size -e (e < 0).
int drawOffsetMark(DrawingContext& context, double x, double y, double dx, double dy, double e,
                   int colour, int dotted);

// Kind 3: a straight line in the shape pen codes (0 solid, 1 dotted, 2 dashed,
// 3 dash-dot, 4 dash-dot-dot), clipped to the device range.
int drawModelLine(DrawingContext& context, double x1, double y1, double x2, double y2, int colour,
                  int style);

// Kind 21: a vector from the point along (dx, dy) pixels (dy up), components held
// within the device range. End mark (units digit): 0 none, 1 an arrow head,
// 2 a ring, 3 a filled dot, 4 a cross-bar.
int drawVector(DrawingContext& context, double x, double y, double dx, double dy, int colour,
               int style, int endMark);

// Kinds 6, 7, 8: radius in pixels, angles in radians, counter-clockwise from
// angle 1 to angle 2 (equal angles: the whole circle). The sector is filled in the
// colour; the ellipse is filled when |style| > 9. Pen styles are the shape codes.
int drawSector(DrawingContext& context, double x, double y, double radius, double angle1,
               double angle2, int colour, int style);
int drawArc(DrawingContext& context, double x, double y, double radius, double angle1,
            double angle2, int colour, int style);
int drawEllipse(DrawingContext& context, double x, double y, double radius, int colour, int style);

// Draws one recorded item of kind 1, 2, 21, 3, 4, 6, 7 or 8 from its numbers
// (numbers[0] is the item's first pool number). Other kinds draw nothing.
int replayShape(DrawingContext& context, int kind, const double* numbers);
// How many numbers the recorder of a shape kind stores; 0 for other kinds.
int shapeNumberCount(int kind);

// --- pixel-space shapes ------------------------------------------------------

// Line codes: 0 solid, 1 dotted, 2 dash-dot, 3 dash-dot-dot.
int drawWindowLine(DrawingContext& context, int x1, int y1, int x2, int y2, int colour, int style);
int drawViewLine(DrawingContext& context, int u1, int v1, int u2, int v2, int colour);
// Style 0 solid, 1 dotted, 2 dash-dot.
int drawStyledViewLine(DrawingContext& context, int u1, int v1, int u2, int v2, int colour,
                       int style);
// e >= 0: a circle about the view point (x, y); e < 0: a square of half-size
// radius about the window point (x, y). Pen style |e| mod 10, filled when |e| > 9.
int drawCircleOrSquare(DrawingContext& context, int x, int y, int radius, int colour, int e);

// --- text (UTF-8), drawn with its top-left at the point, background transparent

int drawWindowText(DrawingContext& context, int x, int y, const char* text, int colour, int height);
int drawWindowLabel(DrawingContext& context, int x, int y, const char* text, int colour);
int drawViewLabel(DrawingContext& context, int u, int v, const char* text, int colour);
int drawViewLabelUnderlined(DrawingContext& context, int u, int v, const char* text, int colour,
                            bool underline);
// At the model point moved by d steps: d >= 0 puts the text 10 + 12 d right of and
// 6 + 12 d below the point, d < 0 as far to the left and above.
int drawModelText(DrawingContext& context, double x, double y, int d, const char* text, int colour);

inline constexpr int kLabelHeight = 18;
inline constexpr int kModelTextHeight = 15;

}  // namespace movra::view

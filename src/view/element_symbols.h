// The symbols of the statement schematic. Each symbol is a fixed table of integer
// points along its axis (terminals at -20 and +20 pixels), turned into one of four
// orientations, moved to its centre in view pixels and drawn with one polyline
// call per stroke in a pen of the colour and style given. A symbol whose corners
// would leave the 16-bit device range is skipped.
#pragma once

#include "view/drawing_surface.h"

namespace movra::view {

enum class SymbolKind {
  Motor,
  Source,
  CurrentSource,
  Resistor,
  Capacitor,
  Diode,
  Coil,
  Switch,
  Transistor,
  ControlledSwitch,
  Amplifier,
  Thermal,
  Block,
  Core,
  MaterialCore,
};

inline constexpr int kSymbolHalfLength = 20;

// Orientation 0..3 turns the symbol by 90 degrees counter-clockwise per step
// (0: terminals left and right). Style: units digit the pen style of the shape
// codes, tens digit 1 or 2 an alternative outline (where a symbol has one). The
// statement number is carried for the caller's bookkeeping and not drawn.
int drawElementSymbol(DrawingContext& context, SymbolKind kind, int u, int v, int orientation,
                      int colour, int style, int statement);

// An L-shaped wire between two view points: along the higher point's row first,
// then down to the lower point. Style as for control lines.
int drawWire(DrawingContext& context, int u1, int v1, int u2, int v2, int colour, int style);

// A straight line between two window points: style 0 solid, 1 dotted, 2 dash-dot,
// 3 dash-dot-dot, 4 dashed; above 10 a solid pen of width style - 10.
int drawControlLine(DrawingContext& context, int x1, int y1, int x2, int y2, int colour, int style);

// A filled dot of radius 2 at a view point.
int drawNodeMarker(DrawingContext& context, int u, int v, int colour);

// A node number 12 pixels up and right of the node at view (u, v): "%d" below 100
// (font 15 for one digit, 14 for two), "▽%3d" from 100 on.
int drawNodeNumber(DrawingContext& context, int u, int v, int node, int colour);

}  // namespace movra::view

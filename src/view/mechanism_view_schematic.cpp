// The parts of the mechanism view that draw nodes and the statement schematic.
// Circuit, magnetic and thermal elements stay where the editor placed their
// nodes; mechanical nodes move with the unknowns of the frame.
#include <cmath>
#include <cstdio>

#include "view/element_symbols.h"
#include "view/mechanism_view_parts.h"
#include "view/primitives.h"

namespace movra::view::detail {

namespace {

constexpr int kSchematicLow = 20;
constexpr int kSchematicHigh = 70;
constexpr int kControlColour = 26;
constexpr int kDomainNodeCount = 200;
constexpr int kMechanicalNodeCount = 100;
constexpr double kGaugeLimit = 1000000.0;
constexpr double kGaugeAngle = -100.0 * 3.141592653589793 / 180.0;

// Line styles of control lines and wires: 0 solid, 1 dotted, 2 dash-dot,
// 3 dash-dot-dot; above 10 a solid pen of width style - 10.
constexpr int kWireDotted = 1;
constexpr int kWireDashDot = 2;
constexpr int kWireDashDotDot = 3;

struct Placement {
  bool valid = false;
  int u = 0;
  int v = 0;
};

// A node's place from the editor's tables, in view pixels of the drawn window.
Placement editorPlace(const DrawingContext& context, const Model& model, int node) {
  Placement place;
  if (node < 0 || node >= kNodeCount) return place;
  const QPoint p = modelToView(context, model.nodes.x[node], model.nodes.y[node]);
  place.valid = true;
  place.u = p.x();
  place.v = p.y();
  return place;
}

int familyColour(int code) {
  if (code >= 40 && code <= 49) return 5;
  if (code >= 50 && code <= 59) return 3;
  if (code >= 60 && code <= 69) return 8;
  return 35;
}

bool joinedByWire(int code) {
  return (code >= 20 && code <= 29) || (code >= 40 && code <= 69) || (code >= 31 && code <= 34);
}

int wireStyle(int code) {
  if (code == 31 || code == 33) return 10;
  if (code == 32 || code == 34) return 14;
  if (code == 57 || code == 58) return kWireDotted;
  if (code == 47) return kWireDashDotDot;
  return 0;
}

// Symbol pen in the shape codes (1 dotted, 4 dash-dot-dot), plus the outline variant.
int symbolStyle(int code) {
  int style = 0;
  if (code == 57 || code == 58) style = 1;
  if (code == 47) style = 4;
  if (code == 55 || code == 57) style += 10;
  if (code == 56 || code == 58) style += 20;
  if (code == 43 || code == 65) style += 10;
  return style;
}

bool symbolOf(int code, SymbolKind& kind) {
  switch (code) {
    case 20:
      kind = SymbolKind::Motor;
      return true;
    case 21:
    case 51:
      kind = SymbolKind::Source;
      return true;
    case 22:
    case 52:
      kind = SymbolKind::CurrentSource;
      return true;
    case 23:
    case 53:
    case 55:
    case 56:
    case 57:
    case 58:
      kind = SymbolKind::Resistor;
      return true;
    case 24:
      kind = SymbolKind::Capacitor;
      return true;
    case 25:
      kind = SymbolKind::Diode;
      return true;
    case 26:
    case 29:
      kind = SymbolKind::Coil;
      return true;
    case 27:
      kind = SymbolKind::Switch;
      return true;
    case 31:
      kind = SymbolKind::Transistor;
      return true;
    case 32:
      kind = SymbolKind::ControlledSwitch;
      return true;
    case 35:
      kind = SymbolKind::Amplifier;
      return true;
    case 54:
    case 62:
    case 65:
      kind = SymbolKind::Block;
      return true;
    case 28:
    case 68:
      kind = SymbolKind::Core;
      return true;
    case 69:
      kind = SymbolKind::MaterialCore;
      return true;
    default:
      break;
  }
  if (code >= 41 && code <= 49) {
    kind = SymbolKind::Thermal;
    return true;
  }
  return false;
}

// The state value of the value block picks some symbols' colours.
int stateColour(SymbolKind kind, double stateValue, int family) {
  const int state = std::isfinite(stateValue) && std::fabs(stateValue) < 1e6
                        ? static_cast<int>(std::lround(stateValue))
                        : 0;
  switch (kind) {
    case SymbolKind::Resistor:
    case SymbolKind::Switch:
    case SymbolKind::Motor:
      if (state == 1) return 3;
      if (state == 2) return 24;
      return family;
    case SymbolKind::CurrentSource:
      if (state == 1) return 21;
      if (state == 2) return 3;
      if (state == 3) return 4;
      return family;
    case SymbolKind::Diode:
    case SymbolKind::Core:
    case SymbolKind::MaterialCore:
      if (state == 3) return 10;
      if (state == 1) return 6;
      return family;
    case SymbolKind::Thermal:
      // 1: the convection correlation runs beyond its fit.
      if (state == 1) return 10;
      return family;
    default:
      return family;
  }
}

// Orientation from the first node towards the second: along the larger offset.
int orientationOf(const Placement& a, const Placement& b) {
  const long long du = static_cast<long long>(b.u) - a.u;
  const long long dv = static_cast<long long>(b.v) - a.v;
  if (std::llabs(du) >= std::llabs(dv)) return du >= 0 ? 0 : 2;
  return dv >= 0 ? 1 : 3;
}

int midpoint(int a, int b) {
  return static_cast<int>((static_cast<long long>(a) + b) / 2);
}

// The current place of a mechanical node, from its x and y unknowns.
bool mechanicalPlace(const DrawingContext& context, const Run& run, int node, QPoint& window) {
  if (node <= 0 || node >= kMechanicalNodeCount) return false;
  const int xIndex = run.unknownOfKey[node * 10 + 1];
  const int yIndex = run.unknownOfKey[node * 10 + 2];
  if (xIndex <= 0 || yIndex <= 0) return false;
  const QPointF p = modelToWindowF(context, unknownValue(run, xIndex), unknownValue(run, yIndex));
  if (!insideDevice(p)) return false;
  window = p.toPoint();
  return true;
}

void controlLine(DrawingContext& context, const Run& run, int u, int v, int node, int style) {
  QPoint target;
  if (!mechanicalPlace(context, run, node, target)) return;
  const QPoint from = viewToWindow(u, v);
  drawControlLine(context, from.x(), from.y(), target.x(), target.y(), kControlColour, style);
}

// The node id a parameter of the element names, or -1.
int parameterNode(const Model& model, const StatementRecord& record, int parameter) {
  const int element = record.elementNumber;
  if (element < 0 || element >= kElementCapacity) return -1;
  const double value = model.elements[element].realSlots[parameter];
  if (!std::isfinite(value) || value < 0 || value >= kMechanicalNodeCount) return -1;
  return static_cast<int>(value);
}

// The transistor (31) and the MOSFET switch (32) are written collector, base,
// emitter and drain, gate, source: their symbol lies on the path from the first
// to the third node, and the second node, the control terminal, is wired to the
// symbol's base or gate stub.
bool controlInTheMiddle(int code) { return code == 31 || code == 32; }

// The end of the control stub of the symbol centred at (u, v), in view pixels:
// the outline's point (0, stub) turned by the orientation.
void controlStubEnd(int u, int v, int orientation, int stub, int& stubU, int& stubV) {
  int x = 0;
  int y = stub;
  for (int k = 0; k < orientation; ++k) {
    const int turned = -y;
    y = x;
    x = turned;
  }
  stubU = u + x;
  stubV = v + y;
}

void drawStatement(DrawingContext& context, const Model& model, const Run& run,
                   const StatementRecord& record, int index, double stateValue) {
  const int code = record.typeCode;
  const Placement first = editorPlace(context, model, record.firstNode);
  const Placement second = editorPlace(context, model,
                                       controlInTheMiddle(code) ? record.thirdNode : record.secondNode);
  if (!first.valid || !second.valid) return;
  const int family = familyColour(code);
  if (joinedByWire(code)) {
    drawWire(context, first.u, first.v, second.u, second.v, family, wireStyle(code));
  }
  SymbolKind kind;
  if (!symbolOf(code, kind)) return;
  int u = midpoint(first.u, second.u);
  int v = midpoint(first.v, second.v);
  if (kind == SymbolKind::Amplifier) {
    // Centred on its three terminals.
    const Placement third = editorPlace(context, model, record.thirdNode);
    if (third.valid) {
      u = static_cast<int>((static_cast<long long>(first.u) + second.u + third.u) / 3);
      v = static_cast<int>((static_cast<long long>(first.v) + second.v + third.v) / 3);
    }
  }
  // Of the thermal elements only natural convection (44, 45) keeps a state there.
  const bool stateless = kind == SymbolKind::Thermal && code != 44 && code != 45;
  const int colour = stateless ? family : stateColour(kind, stateValue, family);
  const int orientation = orientationOf(first, second);
  if (controlInTheMiddle(code)) {
    const Placement control = editorPlace(context, model, record.secondNode);
    if (control.valid) {
      int stubU = 0;
      int stubV = 0;
      controlStubEnd(u, v, orientation, kind == SymbolKind::Transistor ? 16 : 12, stubU, stubV);
      drawWire(context, control.u, control.v, stubU, stubV, family, 0);
    }
  }
  drawElementSymbol(context, kind, u, v, orientation, colour, symbolStyle(code), index);
  // The motor's stator (P4) and rotor (P5), and the parts driven by nodes of the
  // mechanism, show where they act.
  if ((code >= 31 && code <= 34) || code == 54 || code == 20) {
    controlLine(context, run, u, v, parameterNode(model, record, 4), kWireDashDot);
    controlLine(context, run, u, v, parameterNode(model, record, 5), kWireDashDotDot);
  } else if (code == 27) {
    controlLine(context, run, u, v, record.thirdNode, kWireDashDot);
  }
}

int quantityColumn(int kind) {
  switch (kind) {
    case 2:
      return 3;
    case 3:
      return 5;
    case 4:
      return 7;
    case 5:
      return 9;
    default:
      return 0;
  }
}

int numberColour(int kind) {
  switch (kind) {
    case 2:
      return 35;
    case 3:
      return 3;
    case 4:
      return 8;
    default:
      return 21;
  }
}

// Per mechanical node: what holds it and what gives it mass, from the elements.
struct NodeRoles {
  int massive[kMechanicalNodeCount] = {};
  int held[kMechanicalNodeCount] = {};
  int used[kMechanicalNodeCount] = {};
};

constexpr int kBodyCode = 11;

int mechanicalId(int value) {
  const int id = value / 10;
  return id > 0 && id < kMechanicalNodeCount ? id : -1;
}

void collectRoles(const Model& model, NodeRoles& roles) {
  // Elements are numbered from 1.
  const int count =
      model.count.elements < kElementCapacity ? model.count.elements : kElementCapacity - 1;
  for (int e = 1; e <= count; ++e) {
    const ElementEntry& element = model.elements[e];
    if (element.typeCode <= 0 || element.typeCode >= 20) continue;
    bool grounded = false;
    for (int k = 1; k <= 3; ++k) {
      if (element.terminalMark[k] != 0 && element.node[k] / 10 == 0) grounded = true;
    }
    for (int k = 1; k <= 3; ++k) {
      if (element.terminalMark[k] == 0) continue;
      const int id = mechanicalId(element.node[k]);
      if (id < 0) continue;
      ++roles.used[id];
      if (element.typeCode == kBodyCode) {
        ++roles.massive[id];
      } else if (grounded) {
        ++roles.held[id];
      }
    }
  }
}

// a: mass on the node, b: held to the ground, c: any element on it.
int nodeColour(int a, int b, int c) {
  if (a < 1 && b < 1) return c > 0 ? 10 : -1;
  if (a < 1) return 21;
  if (b < 1) return 0;
  return 5;
}

}  // namespace

double unknownValue(const Run& run, int index) {
  if (index < 0 || index >= kXCapacity) return 0.0;
  return run.X[index];
}

void drawStatementSchematic(DrawingContext& context, const Model& model, const Run& run,
                            const StatementStates& states) {
  const int last =
      model.lastRecordIndex < kRecordCapacity ? model.lastRecordIndex : kRecordCapacity - 1;
  for (int r = 0; r <= last; ++r) {
    const StatementRecord& record = model.records[r];
    if (record.typeCode < kSchematicLow || record.typeCode > kSchematicHigh) continue;
    if (record.echoFlag == 1) continue;
    drawStatement(context, model, run, record, r, states.value[r]);
  }
}

void drawDomainNodes(DrawingContext& context, const Model& model, const Run& run,
                     const ViewState& state, int flags) {
  for (int node = 0; node < kDomainNodeCount; ++node) {
    const int kind = model.nodes.kind[node];
    if (kind <= 1) continue;
    const Placement p = editorPlace(context, model, node);
    if (flags & 4) {
      double potential = run.X[0];
      if (node > 0 && node < 100) potential = unknownValue(run, run.unknownOfKey[node + 1000]);
      const int column = quantityColumn(kind);
      const double factor = column > 0 ? state.memory.gaugeFactor[column] : 0.0;
      double length = std::floor(potential * factor + 0.5);
      if (!std::isfinite(length)) length = 0.0;
      if (length > kGaugeLimit) length = kGaugeLimit;
      if (length < -kGaugeLimit) length = -kGaugeLimit;
      const double x = static_cast<double>(p.u) + kViewLeftPixel;
      const double y = kViewBottomPixel - static_cast<double>(p.v);
      if (length != 0.0 && insideDevice(x, y)) {
        const QPointF start(x, y);
        const QPointF end(x + length * std::cos(kGaugeAngle), y + length * std::sin(kGaugeAngle));
        QPointF a = start;
        QPointF b = end;
        if (clipToDevice(a, b)) {
          drawWindowLine(context, toPixel(a.x()), toPixel(a.y()), toPixel(b.x()), toPixel(b.y()), 1,
                         0);
        }
      }
      drawNodeMarker(context, p.u, p.v, 21);
    }
    drawNodeMarker(context, p.u, p.v, 6);
    if (flags & 0x10) drawNodeNumber(context, p.u, p.v, node, numberColour(kind));
  }
}

void drawMechanicalNodes(DrawingContext& context, const Model& model, const Run& run,
                         bool numbers) {
  NodeRoles roles;
  collectRoles(model, roles);
  for (int node = 1; node < kMechanicalNodeCount; ++node) {
    const int xIndex = run.unknownOfKey[node * 10 + 1];
    const int yIndex = run.unknownOfKey[node * 10 + 2];
    if (xIndex <= 0 || yIndex <= 0) continue;
    const int colour = nodeColour(roles.massive[node], roles.held[node], roles.used[node]);
    if (colour < 0) continue;
    const double x = unknownValue(run, xIndex);
    const double y = unknownValue(run, yIndex);
    drawOffsetMark(context, x, y, 0.0, 0.0, 2.0, colour, 0);
    if (numbers) {
      char text[16];
      std::snprintf(text, sizeof text, "%d", node);
      drawModelText(context, x, y, 0, text, colour);
    }
  }
}

void drawGrabMarkers(DrawingContext& context, const Model& model, const Run& run,
                     const ViewState& state) {
  for (int i = 0; i < kNodeListCount; ++i) {
    const int node = model.nodes.nodeList[i];
    if (node < 0) break;
    if (node >= 198 || model.nodes.kind[node] != 1) continue;
    const int xIndex = run.unknownOfKey[node * 10 + 1];
    if (xIndex <= 0) continue;
    const double x = unknownValue(run, xIndex);
    const double y = unknownValue(run, run.unknownOfKey[node * 10 + 2]);
    drawOffsetMark(context, x, y, 0.0, 0.0, 10.0, 22, 1);
  }
  const int grabbed = state.grabbedNode;
  if (grabbed <= 0 || grabbed >= kNodeCount || grabbed * 10 + 2 >= kUnknownKeyCapacity) return;
  const int xIndex = run.unknownOfKey[grabbed * 10 + 1];
  if (xIndex <= 0) return;
  const double x = unknownValue(run, xIndex);
  const double y = unknownValue(run, run.unknownOfKey[grabbed * 10 + 2]);
  drawOffsetMark(context, x, y, 0.0, 0.0, 10.0, 2, 0);
  if (run.holdFlag == 1) drawOffsetMark(context, x, y, 0.0, 0.0, 7.0, 2, 0);
}

}  // namespace movra::view::detail

#include "view/mechanism_view.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "view/graph_plot.h"
#include "view/mechanism_view_parts.h"
#include "view/primitives.h"

namespace movra::view {

namespace {

constexpr int kCounterCount = 5;
constexpr int kFrameColour = 6;
constexpr int kEndedColour = 26;
constexpr int kDimColour = 40;
constexpr int kWhite = 21;
constexpr int kScaleZoneRow = 670;
constexpr int kColumnWidth = 88;

// Line codes of the window lines.
constexpr int kSolid = 0;
constexpr int kDotted = 1;
constexpr int kDashDotDot = 3;

const char* const kUnitTexts[kQuantityScaleCount + 1] = {
    "",          "[   N   ]", "[   Nm  ]", "[   V   ]", "[   A   ]", "[   Pa  ]",
    "[   m3  ]", "[   AT  ]", "[   Wb  ]", "[   ℃  ]",  "[   W   ]"};

// An int from a number of the pool or the run, however wild the number is.
int clampInt(double value) {
  if (!std::isfinite(value)) return 0;
  if (value > 2e9) return 2000000000;
  if (value < -2e9) return -2000000000;
  return static_cast<int>(value);
}

double poolNumber(const Run& run, long long index) {
  if (index < 1 || index > kPoolCapacity) return 0.0;
  return run.display.pool[index];
}

int outputCount(const Model& model) {
  const int count = model.count.outputs;
  if (count < 0) return 0;
  return count < kOutputSlots - 1 ? count : kOutputSlots - 1;
}

bool itemOneIsTime(const Model& model) {
  const OutputItem& first = model.outputs[1];
  return first.componentDigit < 1 && (first.slot == 1 || first.slot == -1);
}

// p = trunc(600 (value - lo) / (hi - lo)), saturated so that it stays an int.
int mapToPixel(double value, double low, double high) {
  return clampInt(600.0 * (value - low) / (high - low));
}

// The labels of one picture: drawn, and those the next picture dims remembered.
class LabelBook {
 public:
  explicit LabelBook(DrawingContext& context) : context_(context) {}

  void atView(int u, int v, const char* text, int colour, bool remember = true) {
    atWindow(u + kViewLeftPixel, kViewBottomPixel - v, text, colour, remember);
  }

  void atWindow(int x, int y, const char* text, int colour, bool remember = true) {
    drawWindowText(context_, x, y, text, colour, kLabelHeight);
    if (!remember || count_ >= kRememberedLabelCount) return;
    RememberedLabel& label = labels_[count_++];
    label.x = x;
    label.y = y;
    label.height = kLabelHeight;
    // Longer texts are cut: only panel values and labels are remembered.
    const size_t length = strnlen(text, sizeof label.text - 1);
    std::memcpy(label.text, text, length);
    label.text[length] = '\0';
  }

  void keepIn(ViewMemory& memory) const {
    for (int i = 0; i < count_; ++i) memory.labels[i] = labels_[i];
    memory.labelCount = count_;
  }

 private:
  DrawingContext& context_;
  RememberedLabel labels_[kRememberedLabelCount];
  int count_ = 0;
};

struct Picture {
  DrawingContext& context;
  const Model& model;
  Run& run;
  ViewState& state;
  int source;
  int flags;
  int frame;  // the frame shown, for the counter and the alternating names
  LabelBook labels;
  detail::StatementStates statementStates;
};

// Step 1: the dotted frame of the square with its ticks, and the scale zone.
void drawViewFrame(Picture& p) {
  DrawingContext& c = p.context;
  const int colour = p.run.runEnded == 1 ? kEndedColour : kFrameColour;
  drawStyledViewLine(c, 0, 0, 601, 0, colour, kDotted);
  drawStyledViewLine(c, 0, 0, 0, 600, colour, kDotted);
  drawStyledViewLine(c, 0, 600, 601, 600, colour, kDotted);
  for (int u : {300, 600}) {
    drawViewLine(c, u, 0, u, 5, colour);
    drawViewLine(c, u, 595, u, 600, colour);
  }
  drawViewLine(c, 0, 300, 5, 300, colour);

  drawWindowLine(c, 0, kScaleZoneRow, 3000, kScaleZoneRow, kEndedColour, kSolid);
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    const int x = kColumnWidth * k;
    drawWindowLine(c, x, kScaleZoneRow, x, 1000, kEndedColour, k % 2 == 1 ? kDashDotDot : kSolid);
  }
}

// Step 2: the tracked range of the time under the square.
void drawTimeRange(Picture& p) {
  if (p.run.handOverMode >= 3 && p.run.running != 0) return;
  if (outputCount(p.model) < 1 || !itemOneIsTime(p.model)) return;
  char text[64];
  std::snprintf(text, sizeof text, "%10.4g", p.run.outputLow[1]);
  drawViewLabel(p.context, -95, -3, text, 0);
  std::snprintf(text, sizeof text, "%.4g s", p.run.outputHigh[1]);
  drawViewLabel(p.context, 635, -3, text, 0);
}

// Step 3: the last picture's labels in gray, so that they fade under the new ones.
void drawAfterimage(Picture& p) {
  const ViewMemory& memory = p.state.memory;
  if (!p.state.toggles.afterimage || !memory.panelDrawn) return;
  const int count =
      memory.labelCount < kRememberedLabelCount ? memory.labelCount : kRememberedLabelCount;
  for (int i = 0; i < count; ++i) {
    const RememberedLabel& label = memory.labels[i];
    drawWindowText(p.context, label.x, label.y, label.text, kDimColour, label.height);
  }
}

// Step 4: the frame's numbers replace the pool.
void loadFrame(Picture& p) {
  const double* numbers = p.run.frames.frame(frameSlot(p.run, p.frame));
  if (numbers == nullptr) return;
  long long count = p.run.frames.stride();
  if (count > kPoolCapacity) count = kPoolCapacity;
  for (long long k = 0; k < count; ++k) p.run.display.pool[k + 1] = numbers[k];
}

// Pool index of the first watched value (the followed node's x).
long long watchedIndex(const Picture& p) {
  return static_cast<long long>(p.run.outputBlockStart) + outputCount(p.model) + kCounterCount + 1;
}

// Step 5: the drawn window, its scale, the gauge factors and the shown scales.
void settleWindow(Picture& p) {
  ViewWindow drawn = p.state.requested;
  if (!std::isfinite(drawn.half) || drawn.half <= 0.0) {
    // A window without size would put every point on one pixel.
    drawn.half = p.state.baseHalf > 0.0 && std::isfinite(p.state.baseHalf) ? p.state.baseHalf : 1.0;
  }
  const long long watched = watchedIndex(p);
  if (p.model.view.followedNodeX >= 0) drawn.left = poolNumber(p.run, watched) - drawn.half;
  if (p.model.view.followedNodeY >= 0) drawn.bottom = poolNumber(p.run, watched + 1) - drawn.half;
  p.context.setWindow(drawn);
  p.state.drawn = drawn;
  ViewMemory& memory = p.state.memory;
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    const double scale = p.state.scale[k];
    memory.gaugeFactor[k] = scale > 0.0 && std::isfinite(scale) ? 300.0 / scale : 0.0;
    memory.shownScale[k] = scale;
  }
}

// Kind 5: an integer printed at a model point.
void drawNumberItem(Picture& p, const double* n) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", clampInt(n[0]));
  drawModelText(p.context, n[1], n[2], clampInt(n[3]), text, clampInt(n[4]));
}

// Kind 17: in playback the unknowns of the frame, then the schematic and nodes.
void drawUnknownsItem(Picture& p, int start) {
  if (p.source == kSourcePlayback) {
    int last = p.run.unknownCount;
    if (last >= kXCapacity) last = kXCapacity - 1;
    if (start + 1 + last > kPoolCapacity) last = kPoolCapacity - start - 1;
    for (int i = 0; i <= last; ++i) p.run.X[i] = p.run.display.pool[start + 1 + i];
  }
  if (p.flags & 2) detail::drawStatementSchematic(p.context, p.model, p.run, p.statementStates);
  detail::drawDomainNodes(p.context, p.model, p.run, p.state, p.flags);
}

void drawOutputPanel(Picture& p);

// Step 6: every item whose tag shares a bit with the flags.
void replayDisplayList(Picture& p) {
  DisplayList& list = p.run.display;
  const int count = list.count < kDisplayItemLimit ? list.count : kDisplayItemLimit;
  for (int item = 1; item <= count; ++item) {
    const int kind = list.kind[item];
    if ((list.tag[item] & p.flags) == 0) continue;
    if (p.state.controlKeyReplay && kind != 11) continue;
    const int start = list.start[item];
    if (start < 0 || start >= kPoolCapacity) continue;
    const double* numbers = &list.pool[start + 1];
    const int available = kPoolCapacity - start;
    switch (kind) {
      case 1:
      case 2:
      case 21:
      case 3:
      case 4:
      case 6:
      case 7:
      case 8:
        if (shapeNumberCount(kind) <= available) replayShape(p.context, kind, numbers);
        break;
      case 5:
        if (available >= 5) drawNumberItem(p, numbers);
        break;
      case 32: {
        const int statement = list.statement[item];
        if (statement >= 0 && statement < kRecordCapacity && available >= kValueBlockCount) {
          p.statementStates.value[statement] = numbers[2];
        }
        break;
      }
      case 17:
        drawUnknownsItem(p, start);
        break;
      case 15:
        detail::drawMechanicalNodes(p.context, p.model, p.run, false);
        break;
      case 16:
        detail::drawMechanicalNodes(p.context, p.model, p.run, true);
        break;
      case 14:
        if (p.run.interactionMode == 1 || p.run.interactionMode == 2) {
          detail::drawGrabMarkers(p.context, p.model, p.run, p.state);
        }
        break;
      case 11:
        drawOutputPanel(p);
        break;
      default:
        break;
    }
  }
}

void drawCross(DrawingContext& c, int u, int v, int half, int colour) {
  drawViewLine(c, u - half, v, u + half, v, colour);
  drawViewLine(c, u, v - half, u, v + half, colour);
}

double outputAt(const Picture& p, int item) {
  return poolNumber(p.run, static_cast<long long>(p.run.outputBlockStart) + item);
}

bool rangeOpen(const Run& run, int item) {
  return run.outputHigh[item] > run.outputLow[item];
}

// The time marker on the top edge, the furthest position and the graph line.
void drawTimeMarker(Picture& p, int u) {
  DrawingContext& c = p.context;
  const int colour = p.run.handOverMode < 3 ? kFrameColour : 10;
  ViewMemory& memory = p.state.memory;
  if (u > memory.furthestMarker) memory.furthestMarker = u;
  if (p.run.runEnded == 1 && memory.furthestMarker >= 0) {
    const int f = memory.furthestMarker;
    drawViewLine(c, f, 588, f, 595, 0);
    drawViewLine(c, f - 2, 594, f + 3, 594, 0);
  }
  drawViewLine(c, u, 588, u, 595, colour);
  drawViewLine(c, u - 2, 594, u + 3, 594, colour);
  if (p.flags & 0x20) drawViewLine(c, u, 7, u, 588, kEndedColour);
}

// The current point of every plotted output, over the graph.
void drawValueMarkers(Picture& p, int timeU) {
  const int count = outputCount(p.model);
  const Run& run = p.run;
  for (int j = 2; j <= count; ++j) {
    const int kind = p.model.outputs[j].outputKind;
    if (kind < 0 || kind == 2 || kind == 12 || !rangeOpen(run, j)) continue;
    const double value = outputAt(p, j);
    const bool paired = j + 1 <= count && rangeOpen(run, j + 1);
    if (kind == 11 && paired) {
      const double angle = outputAt(p, j + 1) * 3.141592653589793 / 180.0;
      const int u = mapToPixel(value * std::cos(angle), run.outputLow[j], run.outputHigh[j]);
      const int v =
          mapToPixel(value * std::sin(angle), run.outputLow[j + 1], run.outputHigh[j + 1]);
      if (p.frame % 2 == 0) {
        drawCircleOrSquare(p.context, u, v, 7, kWhite, 0);
      } else {
        drawCross(p.context, u, v, 7, kWhite);
      }
    } else if (kind == 1 && paired && p.model.outputs[j + 1].outputKind == 2) {
      drawCross(p.context, mapToPixel(value, run.outputLow[j], run.outputHigh[j]),
                mapToPixel(outputAt(p, j + 1), run.outputLow[j + 1], run.outputHigh[j + 1]), 6,
                kWhite);
    } else if (kind != 11 && timeU >= 0) {
      drawCross(p.context, timeU, mapToPixel(value, run.outputLow[j], run.outputHigh[j]), 6,
                kWhite);
    }
  }
}

void drawCounters(Picture& p) {
  char text[96];
  const Run& run = p.run;
  std::snprintf(text, sizeof text, "%6d", run.outputInterval);
  p.labels.atView(670, 555, text, run.outputIntervalChanged ? kFrameColour : 0);
  if (run.frames.exists() && run.frames.capacity >= 0) {
    std::snprintf(text, sizeof text, "(%4d/%4d)", p.frame, run.frames.capacity);
  } else {
    std::snprintf(text, sizeof text, "(    /    )");
  }
  p.labels.atView(740, 555, text, kWhite);
  const long long base = static_cast<long long>(run.outputBlockStart) + outputCount(p.model);
  int counter[kCounterCount + 1] = {};
  for (int k = 1; k <= kCounterCount; ++k) counter[k] = clampInt(poolNumber(run, base + k));
  // Recorded as elements, N, iterations, halvings, this step's iterations.
  std::snprintf(text, sizeof text, "%3d %3d %6d %3d %3d", counter[1], counter[2], counter[3],
                counter[5], counter[4]);
  p.labels.atView(670, 530, text, 0);
}

void drawAxisLabels(Picture& p) {
  const ViewWindow& w = p.state.drawn;
  const int zoomed = std::abs(p.state.zoomLevel) >= kZoomLimit ? kEndedColour : kWhite;
  const int yColour = p.model.view.followedNodeY >= 0 ? 4 : zoomed;
  const int xColour = p.model.view.followedNodeX >= 0 ? 4 : zoomed;
  char text[64];
  const double ys[3] = {w.bottom, w.bottom + w.half, w.bottom + 2.0 * w.half};
  const int vs[3] = {35, 305, 575};
  for (int i = 0; i < 3; ++i) {
    std::snprintf(text, sizeof text, "%9.3g", ys[i]);
    p.labels.atView(-95, vs[i], text, yColour);
  }
  std::snprintf(text, sizeof text, "%.3g", w.left);
  p.labels.atView(20, -3, text, xColour);
  std::snprintf(text, sizeof text, "%.3g", w.left + w.half);
  p.labels.atView(310, -3, text, xColour);
  std::snprintf(text, sizeof text, "%9.3g", w.left + 2.0 * w.half);
  p.labels.atView(520, -3, text, xColour);
  std::snprintf(text, sizeof text, "(%.3g)", w.half);
  p.labels.atView(420, -3, text, zoomed);
}

void drawColumnHeaders(Picture& p) {
  char text[64];
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    const double scale = p.state.scale[k];
    if (!(scale > 0.0)) continue;
    const int colour = std::abs(p.state.scaleLevel[k]) >= kZoomLimit ? kEndedColour : kWhite;
    const int x = 3 + kColumnWidth * (k - 1);
    std::snprintf(text, sizeof text, "[%7.2g]", scale);
    p.labels.atWindow(x, 680, text, colour);
    p.labels.atWindow(x, 700, kUnitTexts[k], colour);
  }
  p.labels.atWindow(883, 680, "[･･･････]", kWhite);
}

// Step 11: names and values of the outputs, markers, counters, labels, headers.
void drawOutputPanel(Picture& p) {
  const int count = outputCount(p.model);
  char name[kOutputNameBytes + 16];
  char text[kOutputNameBytes + 16];
  int row = 0;
  for (int j = 1; j <= count; ++j) {
    const OutputItem& item = p.model.outputs[j];
    if (item.outputKind < 0) continue;
    ++row;
    const int v = (17 - row) * 25 + 110;
    int colour = j == 1 ? kWhite : j - 1;
    if (item.outputKind == 11) {
      std::snprintf(name, sizeof name, p.frame % 2 == 0 ? "r%d" : "_r%d", j);
    } else {
      std::snprintf(name, sizeof name, "%s", item.name);
    }
    std::snprintf(text, sizeof text, "%5s", name);
    p.labels.atView(710, v, text, colour, false);
    if (j == 1 && p.run.lagging && p.run.interactionMode != 0) colour = kFrameColour;
    std::snprintf(text, sizeof text, "  % .4g", outputAt(p, j));
    p.labels.atView(750, v, text, colour);
  }

  int timeU = -1;
  if (count >= 1 && itemOneIsTime(p.model) && rangeOpen(p.run, 1)) {
    timeU = mapToPixel(outputAt(p, 1), p.run.outputLow[1], p.run.outputHigh[1]);
    if (timeU > 600) timeU = 600;
    if (p.run.kt > 0) drawTimeMarker(p, timeU);
  }
  if (p.flags & 0x20) drawValueMarkers(p, timeU);
  drawCounters(p);
  drawAxisLabels(p);
  drawColumnHeaders(p);
  p.state.memory.panelDrawn = true;
}

}  // namespace

const char* columnUnitText(int column) {
  if (column < 1 || column > kQuantityScaleCount) return "";
  return kUnitTexts[column];
}

int drawMechanismView(DrawingContext& context, const Model& model, Run& run, ViewState& state,
                      int source, int flags, int frame) {
  if (source != kSourcePlayback && source != kSourceLive) return 0;
  if (context.target == nullptr || !context.target->isActive()) return 0;
  const int shown = source == kSourcePlayback ? frame : run.currentFrame;
  // Some kilobytes of labels and states: kept off the stack.
  auto picture = std::unique_ptr<Picture>(
      new Picture{context, model, run, state, source, flags, shown, LabelBook(context), {}});
  Picture& p = *picture;
  const int last =
      model.lastRecordIndex < kRecordCapacity ? model.lastRecordIndex : kRecordCapacity - 1;
  for (int r = 0; r <= last; ++r) p.statementStates.value[r] = model.records[r].valueBlock[2];

  drawViewFrame(p);
  drawTimeRange(p);
  drawAfterimage(p);
  if (source == kSourcePlayback) loadFrame(p);
  settleWindow(p);
  replayDisplayList(p);

  if (state.memory.panelDrawn) p.labels.keepIn(state.memory);
  state.memory.lastFrame = shown;
  return 0;
}

void restoreValueBlocks(Model& model, const Run& run) {
  const DisplayList& list = run.display;
  const int count = list.count < kDisplayItemLimit ? list.count : kDisplayItemLimit;
  for (int item = 1; item <= count; ++item) {
    if (list.kind[item] != 32) continue;
    const int statement = list.statement[item];
    const int start = list.start[item];
    if (statement < 0 || statement >= kRecordCapacity) continue;
    if (start < 0 || start + kValueBlockCount > kPoolCapacity) continue;
    for (int k = 0; k < kValueBlockCount; ++k) {
      model.records[statement].valueBlock[k] = list.pool[start + 1 + k];
    }
  }
}

}  // namespace movra::view

#include "view/graph_plot.h"

#include <cmath>
#include <cstdio>

#include "engine/recording.h"
#include "view/primitives.h"

namespace movra::view {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kGraphAxisColour = 29;
constexpr int kGroupMerged = 1000;

int itemCount(const Model& model) {
  const int count = model.count.outputs;
  return count < kOutputSlots - 1 ? count : kOutputSlots - 1;
}

// Output item 1 is the time when it records parameter 1 (or -1).
bool itemOneIsTime(const Model& model) {
  const OutputItem& first = model.outputs[1];
  return first.componentDigit < 1 && (first.slot == 1 || first.slot == -1);
}

// p = trunc(600 (x - lo) / (hi - lo)). A value far outside a fixed range would
// overflow an int; it saturates instead and the line is clipped when drawn.
int mapToPixel(double value, double low, double high) {
  const double p = 600.0 * (value - low) / (high - low);
  if (std::isnan(p)) return 0;
  if (p > 1e9) return 1000000000;
  if (p < -1e9) return -1000000000;
  return static_cast<int>(p);
}

struct FrameValues {
  double raw[kOutputSlots] = {};
  double plotted[kOutputSlots] = {};  // vector components resolved
  int pixel[kOutputSlots] = {};
};

void readFrame(const Model& model, Run& run, int frame, const AxisRanges& ranges,
               FrameValues& values) {
  const int count = itemCount(model);
  const int slot = frameSlot(run, frame);
  for (int j = 1; j <= count; ++j) values.raw[j] = recordedOutput(run, slot, j);
  for (int j = 1; j <= count; ++j) {
    const int kind = model.outputs[j].outputKind;
    double value = values.raw[j];
    if (kind == 11) {
      const double angle = j + 1 <= count ? values.raw[j + 1] : 0.0;
      value = value * std::cos(kPi / 180.0 * angle);
    } else if (kind == 12) {
      value = std::sin(kPi / 180.0 * value) * values.raw[j - 1];
    }
    values.plotted[j] = value;
    values.pixel[j] = mapToPixel(value, ranges.low[j], ranges.high[j]);
  }
}

void drawCurves(DrawingContext& context, const Model& model, Run& run, const AxisRanges& ranges) {
  const int count = itemCount(model);
  FrameValues previous;
  FrameValues current;
  for (int f = 0; f <= run.lastFrame; ++f) {
    readFrame(model, run, f, ranges, current);
    if (f == 0) previous = current;
    for (int j = count; j >= 2; --j) {
      const int colour = j - 1;
      switch (model.outputs[j].outputKind) {
        case 0:
          drawViewLine(context, previous.pixel[1], previous.pixel[j], current.pixel[1],
                       current.pixel[j], colour);
          break;
        case 2:
          drawViewLine(context, previous.pixel[j - 1], previous.pixel[j], current.pixel[j - 1],
                       current.pixel[j], colour);
          --j;
          break;
        case 12: {
          // A needle from radius r to r + magnitude at the item's angle (degrees).
          const double r = j >= 3 ? current.raw[j - 2] : 0.0;
          const double magnitude = current.raw[j - 1];
          const double angle = kPi / 180.0 * current.raw[j];
          const double c = std::cos(angle);
          const double s = std::sin(angle);
          const double lo = ranges.low[j];
          const double hi = ranges.high[j];
          drawViewLine(context, mapToPixel(r * c, lo, hi), mapToPixel(r * s, lo, hi),
                       mapToPixel((r + magnitude) * c, lo, hi),
                       mapToPixel((r + magnitude) * s, lo, hi), colour);
          j -= 2;
          break;
        }
        default:
          break;
      }
    }
    previous = current;
  }
}

void drawRangeLabel(DrawingContext& context, int u, int v, const char* format, double value,
                    int colour, bool underline) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  drawViewLabelUnderlined(context, u, v, text, colour, underline);
}

void drawTimeAxisLabels(DrawingContext& context, int j, const AxisRanges& ranges, bool underline) {
  const int u = 50 * (j - 1) - 40;
  drawRangeLabel(context, u, 40 - 20 * ((j - 1) % 2), "%0.3g", ranges.low[j], j - 1, underline);
  drawRangeLabel(context, u, 595 - 20 * (j % 2), "%0.3g", ranges.high[j], j - 1, underline);
}

void drawLabels(DrawingContext& context, const Model& model, const AxisRanges& ranges) {
  const int count = itemCount(model);
  for (int j = 2; j <= count; ++j) {
    const bool underline = ranges.grouped[j];
    const int colour = j - 1;
    switch (model.outputs[j].outputKind) {
      case 0:
        drawTimeAxisLabels(context, j, ranges, underline);
        break;
      case 12:
        drawRangeLabel(context, 610, 520 - 15 * j, "%+.4g", ranges.high[j], colour, underline);
        break;
      case 1:
        drawRangeLabel(context, 10, 520 - 15 * j, "%.4g", ranges.low[j], colour, underline);
        drawRangeLabel(context, 610, 520 - 15 * j, "%.4g", ranges.high[j], colour, underline);
        if (j + 1 <= count) {
          drawTimeAxisLabels(context, j + 1, ranges, ranges.grouped[j + 1]);
          ++j;
        }
        break;
      default:
        break;
    }
  }
  if (!itemOneIsTime(model)) {
    drawRangeLabel(context, -95, 595, "%10.4g", ranges.low[1], 0, false);
    drawRangeLabel(context, 625, 595, "%.4g s", ranges.high[1], 0, false);
  }
}

}  // namespace

void roundAxisRange(double& low, double& high) {
  const double m = std::fmax(std::fabs(low), std::fabs(high));
  if (m == 0.0) {
    low = -1e-08;
    high = 1e-08;
    return;
  }
  if (m < 1e-06) {
    low = -1e-06;
    high = 1e-06;
    return;
  }
  const double power = std::pow(10.0, std::floor(std::log10(m)));
  const double q = m / power;
  const double step = q <= 2.0 ? 2.0 : (q <= 4.0 ? 4.0 : (q <= 8.0 ? 8.0 : 10.0));
  const double r = step * power;
  if (low < -0.01 * r) {
    if (high > 0.01 * r) {
      low = -r;
      high = r;
    } else {
      const double top = high < -r / 2 ? -r / 2 : 0.0;
      low = -r;
      high = top;
    }
  } else {
    const double bottom = low > r / 2 ? r / 2 : 0.0;
    low = bottom;
    high = r;
  }
}

int frameSlot(const Run& run, int frame) {
  const int slotCount = run.frames.capacity + 1;
  if (slotCount <= 0) return frame;
  // The cursor is -1 before any run: keep the slot inside the ring all the same.
  const int slot = (frame + run.frameCursor) % slotCount;
  return slot < 0 ? slot + slotCount : slot;
}

void settleAxisRanges(const Model& model, Run& run, AxisRanges& ranges) {
  const int count = itemCount(model);
  // The merge marks items of a group as done; on a copy, so that a resumed run
  // merges the same groups again.
  int group[kOutputSlots] = {};
  group[0] = model.outputs[0].axisGroup;
  for (int j = 1; j <= count; ++j) {
    const OutputItem& item = model.outputs[j];
    group[j] = item.axisGroup;
    ranges.low[j] = run.outputLow[j];
    ranges.high[j] = run.outputHigh[j];
    if (item.hasRange) {
      // A range from the output statement is the item's axis as written.
      group[j] = -1;
      ranges.low[j] = item.rangeLow;
      ranges.high[j] = item.rangeHigh;
    } else if (run.outputUntracked[j]) {
      // The driver gave this item (the time) its axis: kept as it is.
      group[j] = -1;
    }
    ranges.grouped[j] = group[j] >= 1;
  }

  for (int j = 1; j <= count; ++j) {
    if (group[j] == -1) continue;
    for (int f = 0; f <= run.lastFrame; ++f) {
      const double value = recordedOutput(run, frameSlot(run, f), j);
      if (value < ranges.low[j]) ranges.low[j] = value;
      if (value > ranges.high[j]) ranges.high[j] = value;
    }
  }

  if (group[0] == 0) {
    for (int j = 1; j <= count; ++j) {
      if (model.outputs[j].outputKind != 11) continue;
      double r = 0.0;
      for (int k = j - 1; k <= j; ++k) {
        r = std::fmax(r, std::fmax(std::fabs(ranges.low[k]), std::fabs(ranges.high[k])));
      }
      for (int k = j; k <= j + 1 && k <= count; ++k) {
        ranges.low[k] = -r;
        ranges.high[k] = r;
      }
    }
  }

  for (int i = 1; i <= count; ++i) {
    const int g = group[i];
    if (g < 1 || g > 999) continue;
    for (int k = i + 1; k <= count; ++k) {
      if (group[k] != g) continue;
      ranges.high[i] = std::fmax(ranges.high[i], ranges.high[k]);
      ranges.low[i] = std::fmin(ranges.low[i], ranges.low[k]);
    }
    for (int k = i + 1; k <= count; ++k) {
      if (group[k] != g) continue;
      ranges.low[k] = ranges.low[i];
      ranges.high[k] = ranges.high[i];
      group[k] = kGroupMerged;
    }
  }

  for (int j = 1; j <= count; ++j) {
    if (group[j] >= 0) roundAxisRange(ranges.low[j], ranges.high[j]);
  }
}

int gnn(const Model& model, Run& run, Reporter& reporter, GraphSurface& surface) {
  const int count = itemCount(model);
  AxisRanges ranges;
  settleAxisRanges(model, run, ranges);
  for (int j = 1; j <= count; ++j) {
    run.outputLow[j] = ranges.low[j];
    run.outputHigh[j] = ranges.high[j];
  }

  if (count >= 1 && ranges.high[1] - ranges.low[1] == 0.0 && run.handOverMode == 4) {
    reporter.modelError(" コントロールキーの記録が？ ");
    return kGraphRefused;
  }
  for (int j = 1; j <= count; ++j) {
    if (ranges.high[j] - ranges.low[j] != 0.0) continue;
    reporter.modelError("ggn スケールが？ %d %d   %e %e  %d %d", j, model.outputs[j].slot,
                        ranges.high[j], ranges.low[j], count, run.handOverMode);
    return kGraphRefused;
  }

  QPainter painter(&surface.image());
  DrawingContext context;
  context.target = &painter;
  if (count >= 1 && model.outputs[1].outputKind > 0) {
    drawCircleOrSquare(context, 300, 300, 1, kGraphAxisColour, 0);
    drawStyledViewLine(context, 0, 300, 600, 300, kGraphAxisColour, 2);
    drawStyledViewLine(context, 300, 0, 300, 600, kGraphAxisColour, 2);
  }
  drawCurves(context, model, run, ranges);
  if (count >= 1) drawLabels(context, model, ranges);
  return 0;
}

}  // namespace movra::view

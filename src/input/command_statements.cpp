// Command statements. Each opens a display group: ".vc" places the mechanism view
// and sets the quantity scales, ".o", ".oo" and ".or" add output items to record
// and plot, ".t" gives the time conditions of the run.
#include "input/command_statements.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "input/expression.h"
#include "input/initial_values.h"
#include "input/statement_reader.h"

namespace movra {

namespace {

constexpr int kViewFieldCount = 13;
constexpr int kOutputFieldCount = 11;  // ".o" items 1..11, ".or" items 3..11
constexpr int kHighestOutputId = 9999;
constexpr double kViewPixels = 300.0;  // pixels from the view's centre to its edge
constexpr double kDefaultScale = 1000.0;
constexpr int kMechanicalNode = 1;

enum class GroupKind { View = 0, Items = 1, Ranged = 2 };  // ".vc"/".t", ".o"/".oo", ".or"
enum class OutputForm { Plain, Axis, Ranged };             // ".o", ".oo", ".or"

int openGroup(StatementLine& line, GroupKind kind) {
  Model& model = line.model;
  const int number = ++model.count.commandStatements;
  DisplayGroup& group = model.groups[number];
  group = DisplayGroup{};
  group.kind = static_cast<int>(kind);
  std::snprintf(group.text, sizeof group.text, "%s", line.messageLine);
  group.firstItem = model.count.outputs + 1;
  group.lastItem = model.count.outputs;
  return number;
}

const char* fieldText(const StatementLine& line, int field) {
  return line.model.records[line.record].fieldText[field];
}

bool fieldGiven(const StatementLine& line, int field) {
  return line.model.records[line.record].fieldPresent[field] != 0;
}

// ---------------------------------------------------------------- output items

// An item field names one quantity: a node reference, a parameter reference, or a
// bare number that stands for the parameter or return value of that id.
int evaluateItem(const StatementLine& line, int field, EvaluationResult& result) {
  const ValueSources sources = initialValueSources(line.model);
  const char* text = fieldText(line, field);
  int status = evaluateExpression(text, sources, result);
  if (result.operandCount == 1 && result.parameterId < 0 && result.variableSlot < 0) {
    char named[kFieldTextBytes + 2];
    std::snprintf(named, sizeof named, "c%s", text);
    status = evaluateExpression(named, sources, result);
  }
  // Anything but one reference would record some other quantity under the
  // field's name (the last reference of a sum, or nothing at all): refuse it.
  const bool oneReference =
      result.operandCount == 1 && (result.parameterId >= 0 || result.variableSlot >= 0);
  if (status != 0 || !oneReference) {
    return line.reporter.modelError(" 項目行が？_   %s \n\n %s", text, line.messageLine);
  }
  return 0;
}

int refuseNonMechanicalKind(const StatementLine& line, OutputForm form, int node, int kind) {
  Reporter& reporter = line.reporter;
  switch (form) {
    case OutputForm::Plain:
      return reporter.modelError(" 電気節などの成分ｉｄ？. \n %d %d \n %s", node, kind,
                                 line.messageLine);
    case OutputForm::Axis:
      return reporter.modelError(" 電気節などの成分ｉｄ？.. \n %d %d \n %s", node, kind,
                                 line.messageLine);
    case OutputForm::Ranged:
      break;
  }
  return reporter.modelError(" 電気節などの成分ｉｄ？... \n %d %d \n %s", node, kind,
                             line.messageLine);
}

// The name is the field's first word, as far as the item has room for it.
void copyItemName(const char* text, char (&name)[kOutputNameBytes]) {
  const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (isSpace(*text)) ++text;
  int length = 0;
  while (length < kOutputNameBytes - 1 && text[length] != 0 && !isSpace(text[length])) ++length;
  std::memcpy(name, text, static_cast<size_t>(length));
  name[length] = 0;
}

// Reads the item of one field into the current group. `appended` is its number
// in the output list, or 0 when the list was full and the item was dropped.
// Returns 0 or 9.
int readItem(StatementLine& line, int field, OutputForm form, int& appended) {
  Model& model = line.model;
  appended = 0;
  EvaluationResult result;
  if (evaluateItem(line, field, result) != 0) return 9;

  OutputItem item;
  if (result.parameterId < 0) {
    const int node = result.referenceId;
    const int kind = node >= 0 && node < kNodeCount ? model.nodes.kind[node] : 0;
    const int digit = result.componentDigit;
    if (digit >= 1 && digit <= 4 && kind != kMechanicalNode) {
      return line.reporter.modelError(" メカ節の成分ｉｄ？_ \n\n %s", line.messageLine);
    }
    if (digit == 9 && node != 0 && kind == kMechanicalNode) {
      return refuseNonMechanicalKind(line, form, node, kind);
    }
    item.slot = result.variableSlot;
    item.componentDigit = digit;
  } else {
    item.slot = result.parameterId;
    item.componentDigit = 0;
  }
  copyItemName(fieldText(line, field), item.name);
  item.group = model.count.commandStatements;

  // The list keeps the preset item and 32 more; later items are dropped quietly.
  if (model.count.outputs >= kOutputListLimit) return 0;
  appended = ++model.count.outputs;
  model.outputs[appended] = item;
  model.groups[item.group].lastItem = appended;
  return 0;
}

// ---------------------------------------------------------------- ranges

// A value field; one that is not given reads 0. Returns 0 or 9.
int readValue(const StatementLine& line, int field, double& value) {
  value = 0.0;
  if (!fieldGiven(line, field)) return 0;
  const ValueSources sources = initialValueSources(line.model);
  EvaluationResult result;
  const int status = evaluateExpression(fieldText(line, field), sources, result);
  // An overflowing number would make an axis without extent.
  if (status != 0 || !std::isfinite(result.value)) {
    return line.reporter.modelError(" 値が？ %s \n\n %s", fieldText(line, field), line.messageLine);
  }
  value = result.value;
  return 0;
}

enum class RangeFault { None, SingleZero, Equal };

struct Range {
  bool given = false;  // at least one of the pair was written
  double low = 0.0;
  double high = 0.0;
};

// One value alone gives the symmetric range around 0; two give the range between
// them in either order.
RangeFault applyRangeRule(bool aGiven, bool bGiven, double a, double b, Range& range) {
  range = Range{};
  if (!aGiven && !bGiven) return RangeFault::None;
  if (aGiven && !bGiven) {
    if (a == 0.0) return RangeFault::SingleZero;
    b = -a;
  } else if (!aGiven) {
    if (b == 0.0) return RangeFault::SingleZero;
    a = -b;
  } else if (a == b) {
    return RangeFault::Equal;
  }
  if (a >= b) {
    const double swap = a;
    a = b;
    b = swap;
  }
  range.given = true;
  range.low = a;
  range.high = b;
  return RangeFault::None;
}

// Reads the pair of fields `first` and `first` + 1. Values are read before the
// rule, so a broken expression is named as such. Returns the fault or None; `status`
// is 9 when a value could not be read.
RangeFault readRange(const StatementLine& line, int first, Range& range, double& a, double& b,
                     int& status) {
  status = readValue(line, first, a);
  if (status == 0) status = readValue(line, first + 1, b);
  if (status != 0) return RangeFault::None;
  return applyRangeRule(fieldGiven(line, first), fieldGiven(line, first + 1), a, b, range);
}

void setItemRange(Model& model, int item, const Range& range) {
  if (item <= 0 || !range.given) return;
  model.outputs[item].hasRange = true;
  model.outputs[item].axisGroup = -1;  // a fixed range is neither widened nor rounded
  model.outputs[item].rangeLow = range.low;
  model.outputs[item].rangeHigh = range.high;
}

// ---------------------------------------------------------------- view

// A field that names a node's x (digit 1) or y (digit 2) makes the view follow it.
int followedNode(const EvaluationResult& result, int digit) {
  if (result.operandCount != 1 || result.variableSlot < 0) return -1;
  if (result.componentDigit != digit || result.referenceId < 0 || result.referenceId > 99) {
    return -1;
  }
  return result.referenceId;
}

double factorOf(double scale) {
  return scale > 0.0 ? kViewPixels / scale : 0.0;
}

}  // namespace

void presetViewDefaults(Model& model) {
  ViewSettings& view = model.view;
  view = ViewSettings{};
  view.centreX = 0.0;
  view.centreY = 0.0;
  view.halfSize = 1.0;
  view.followedNodeX = -1;
  view.followedNodeY = -1;
  view.left = view.centreX - view.halfSize;
  view.bottom = view.centreY - view.halfSize;
  view.scale = kViewPixels / view.halfSize;
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    view.quantityScale[k] = kDefaultScale;
    view.quantityInitial[k] = kDefaultScale;
  }
  view.forceFactor = factorOf(kDefaultScale);
  view.momentFactor = factorOf(kDefaultScale);
  model.viewDefaultsSet = true;
}

// ".vc": centre x, centre y, half-size, then the ten quantity scales.
int readViewStatement(StatementLine& line) {
  Model& model = line.model;
  ViewSettings& view = model.view;
  openGroup(line, GroupKind::View);
  view.followedNodeX = -1;
  view.followedNodeY = -1;

  const ValueSources sources = initialValueSources(model);
  double value[kViewFieldCount + 1] = {};
  bool empty[kViewFieldCount + 1] = {};
  int followX = -1;
  int followY = -1;
  for (int k = 1; k <= kViewFieldCount; ++k) {
    EvaluationResult result;
    const int status = evaluateExpression(fieldText(line, k), sources, result);
    if (status != 0 || result.operandCount > 1 || !std::isfinite(result.value)) {
      return line.reporter.modelError(" 値が？ %s \n\n %s", fieldText(line, k), line.messageLine);
    }
    empty[k] = result.operandCount == 0;
    value[k] = empty[k] ? 0.0 : result.value;
    if (k == 1) followX = followedNode(result, 1);
    if (k == 2) followY = followedNode(result, 2);
  }

  // The window is 300 / h pixels per unit: a missing half-size keeps the default
  // window, a given one must be a size.
  double half = value[3];
  if (empty[3]) {
    half = 1.0;
  } else if (!(half > 0.0)) {
    return line.reporter.modelError(" 値が？ %s \n\n %s", fieldText(line, 3), line.messageLine);
  }

  // A followed node's starting position centres the window until the run moves it.
  view.followedNodeX = followX;
  view.followedNodeY = followY;
  view.centreX = value[1];
  view.centreY = value[2];
  view.halfSize = half;
  view.left = view.centreX - half;
  view.bottom = view.centreY - half;
  view.scale = kViewPixels / half;
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    view.quantityScale[k] = value[k + 3];
    view.quantityInitial[k] = value[k + 3];
  }
  view.forceFactor = factorOf(value[4]);
  view.momentFactor = factorOf(value[5]);
  return 0;
}

// ".o": every given field of 1..11 is an item.
int readOutputStatement(StatementLine& line) {
  openGroup(line, GroupKind::Items);
  for (int k = 1; k <= kOutputFieldCount; ++k) {
    if (!fieldGiven(line, k)) continue;
    int item = 0;
    if (readItem(line, k, OutputForm::Plain, item) != 0) return 9;
  }
  return 0;
}

// ".oo": items in fields 1 and 2, their fixed axis ranges in 3/4 and 5/6. A field
// left out is no item (there is nothing to record), and its range has no item.
int readOutputAxisStatement(StatementLine& line) {
  openGroup(line, GroupKind::Items);
  int items[2] = {};
  for (int k = 1; k <= 2; ++k) {
    if (!fieldGiven(line, k)) continue;
    if (readItem(line, k, OutputForm::Axis, items[k - 1]) != 0) return 9;
  }
  for (int k = 1; k <= 2; ++k) {
    Range range;
    double a = 0.0;
    double b = 0.0;
    int status = 0;
    const RangeFault fault = readRange(line, 2 * k + 1, range, a, b, status);
    if (status != 0) return 9;
    if (fault == RangeFault::SingleZero) {
      return line.reporter.modelError(" 範囲が？.   \n\n %s", line.messageLine);
    }
    if (fault == RangeFault::Equal) {
      return line.reporter.modelError(" 範囲が？.  \n\n %s", line.messageLine);
    }
    setItemRange(line.model, items[k - 1], range);
  }
  // The second item is drawn against the first: an x-y curve.
  if (items[0] > 0 && items[1] > 0) line.model.outputs[items[1]].outputKind = 2;
  return 0;
}

// ".or": a range pair in fields 1/2, then items in the given fields of 3..11.
// With a range every item takes it as a fixed axis; without one the items stay
// without a range and, being in a kind-2 group, share one automatic axis.
int readOutputRangeStatement(StatementLine& line) {
  openGroup(line, GroupKind::Ranged);
  Range range;
  double a = 0.0;
  double b = 0.0;
  int status = 0;
  if (readRange(line, 1, range, a, b, status) != RangeFault::None) {
    return line.reporter.modelError(" 範囲が？.   %e  %e \n\n %s", a, b, line.messageLine);
  }
  if (status != 0) return 9;
  for (int k = 3; k <= kOutputFieldCount; ++k) {
    if (!fieldGiven(line, k)) continue;
    int item = 0;
    if (readItem(line, k, OutputForm::Ranged, item) != 0) return 9;
    setItemRange(line.model, item, range);
    // Without a range the group's items share one automatic axis.
    if (item > 0 && !range.given) line.model.outputs[item].axisGroup = line.model.count.commandStatements;
  }
  return 0;
}

// ".t": one value per line of the block text, at most ten. The conditions of an
// earlier ".t" are cleared first: a line without a number, or one the statement
// does not have, leaves its condition at 0, except the playback duration (6),
// which becomes 1e-99 so the driver can tell "absent" from "0".
int readTimeStatement(StatementLine& line) {
  constexpr int kPlaybackDuration = 6;
  constexpr double kAbsent = 1e-99;
  Model& model = line.model;
  openGroup(line, GroupKind::View);
  for (double& condition : model.timeConditions) condition = 0.0;
  model.timeConditions[kPlaybackDuration] = kAbsent;
  model.timeValueCount = 0;
  model.timeStatementRecord = line.record;

  char text[kBlockTextBytes];
  std::snprintf(text, sizeof text, "%s", model.records[line.record].blockText);
  char* cursor = text;
  for (int condition = 1; cursor != nullptr && condition <= kTimeConditionCount; ++condition) {
    char* end = std::strchr(cursor, '\n');
    if (end != nullptr) *end = 0;
    char expanded[6 * kExpressionChars];
    expandUnitLetters(cursor, expanded, sizeof expanded);
    double value = 0.0;
    if (std::sscanf(expanded, " %le", &value) == 1) {
      model.timeConditions[condition] = value;
      model.timeValueCount = condition;
    }
    cursor = end != nullptr ? end + 1 : nullptr;
  }
  return 0;
}

int checkOutputList(Model& model, Reporter& reporter) {
  ModelCounters& count = model.count;
  if (count.outputs > kOutputListLimit - 1) count.outputs = kOutputListLimit - 1;
  if (count.outputs < 0) count.outputs = 0;

  // A group must not name items the cut has taken away.
  const int groups = count.commandStatements < kDisplayGroupCapacity ? count.commandStatements
                                                                     : kDisplayGroupCapacity - 1;
  for (int g = 1; g <= groups; ++g) {
    DisplayGroup& group = model.groups[g];
    if (group.lastItem > count.outputs) group.lastItem = count.outputs;
    if (group.firstItem > count.outputs + 1) group.firstItem = count.outputs + 1;
  }

  for (int i = 1; i <= count.outputs; ++i) {
    const OutputItem& item = model.outputs[i];
    if (item.slot >= -kHighestOutputId && item.slot <= kHighestOutputId) continue;
    // Items of element annotations may carry no group of their own; quote the
    // element then.
    const char* statement = "";
    if (item.group >= 1 && item.group <= groups) {
      statement = model.groups[item.group].text;
    } else if (item.element >= 1 && item.element <= count.elements &&
               item.element < kElementCapacity) {
      statement = model.elements[item.element].text;
    }
    return reporter.modelError(" 出力並びのｉｄが？ \n\n %s", statement);
  }
  return 0;
}

}  // namespace movra

// Command statements: each opens a display group. The view, output and time
// statements fill it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input/expression.h"
#include "input/statement_reader.h"

namespace movra {

namespace {

int openGroup(StatementLine& line, int kind) {
  Model& model = line.model;
  const int number = ++model.count.commandStatements;
  DisplayGroup& group = model.groups[number];
  group.kind = kind;
  std::snprintf(group.text, sizeof group.text, "%s", line.messageLine);
  group.firstItem = model.count.outputs + 1;
  group.lastItem = model.count.outputs;
  return number;
}

}  // namespace

int readViewStatement(StatementLine& line) {
  openGroup(line, 0);
  return 0;
}

int readOutputStatement(StatementLine& line) {
  openGroup(line, 1);
  return 0;
}

int readOutputAxisStatement(StatementLine& line) {
  openGroup(line, 1);
  return 0;
}

int readOutputRangeStatement(StatementLine& line) {
  openGroup(line, 2);
  return 0;
}

// ".t": one value per line of the block text, at most ten; a line without a
// number leaves its condition at 0, except the playback duration (6), which
// becomes 1e-99 so the driver can tell "absent" from "0".
int readTimeStatement(StatementLine& line) {
  Model& model = line.model;
  openGroup(line, 0);
  const StatementRecord& record = model.records[line.record];
  char text[kBlockTextBytes];
  std::snprintf(text, sizeof text, "%s", record.blockText);
  char* cursor = text;
  int condition = 0;
  while (cursor != nullptr && condition < kTimeConditionCount) {
    char* end = std::strchr(cursor, '\n');
    if (end != nullptr) *end = 0;
    ++condition;
    char expanded[6 * kExpressionChars];
    expandUnitLetters(cursor, expanded, sizeof expanded);
    double value = 0.0;
    if (std::sscanf(expanded, " %le", &value) == 1) {
      model.timeConditions[condition] = value;
      model.timeValueCount = condition;
    } else {
      model.timeConditions[condition] = condition == 6 ? 1e-99 : 0.0;
    }
    cursor = end != nullptr ? end + 1 : nullptr;
  }
  return 0;
}

}  // namespace movra

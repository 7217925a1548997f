// Element statements: "keyword node node [node] fields...". The nodes come from the
// line itself, the fields from the record the editor filled.
#include <cstdio>
#include <cstring>

#include "input/element_keywords.h"
#include "input/expression.h"
#include "input/statement_reader.h"

namespace movra {

namespace {

constexpr int kParameterCount = 10;

// Reads " %d" without the overflow a scanf conversion would risk: the value is
// clamped far outside the node range, so it is refused there.
bool readWholeNumber(const char*& text, int& value) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return false;
  long magnitude = 0;
  while (*p >= '0' && *p <= '9') {
    if (magnitude < 100000000) magnitude = magnitude * 10 + (*p - '0');
    ++p;
  }
  value = static_cast<int>(negative ? -magnitude : magnitude);
  text = p;
  return true;
}

int readNodes(StatementLine& line, ElementEntry& element, int nodeCount) {
  const char* text = line.rest;
  for (int n = 1; n <= nodeCount; ++n) {
    int value = 0;
    if (!readWholeNumber(text, value)) {
      return line.reporter.modelError(" 節のｉｄが？　. \n\n %s \n\n %s \n\n iv:%d", line.messageLine,
                                      line.keyword, value);
    }
    while (*text == ' ' || *text == '\t') ++text;
    int mark = 0;
    if (*text == 'n') {
      value *= 10;
      mark = -10;
      ++text;
    } else if (*text == 'p') {
      value = value * 10 + 1;
      mark = -1;
      ++text;
    } else if (element.typeCode < 20) {
      return line.reporter.modelError(" 節のｉｄが？・ \n\n %s", line.messageLine);
    }
    if (value < -2 || value > 2000) {
      return line.reporter.modelError(" 節のｉｄが範囲外. \n\n %s", line.messageLine);
    }
    element.node[n] = value;
    element.writtenNode[n] = value;
    element.terminalMark[n] = mark;
  }
  return 0;
}

// While reading, a node quantity is the node's starting value: the editor's
// coordinates for x and y, zero for angles and potentials.
double initialSlotValue(const void* context, int slot) {
  const Model& model = *static_cast<const Model*>(context);
  if (slot >= 1000) return 0.0;
  const int node = slot / 10;
  if (node < 0 || node >= kNodeCount) return 0.0;
  if (slot % 10 == 1) return model.nodes.x[node];
  if (slot % 10 == 2) return model.nodes.y[node];
  return 0.0;
}

int readParameters(StatementLine& line, ElementEntry& element, const ElementKeyword& entry) {
  const StatementRecord& record = line.model.records[line.record];
  ValueSources sources{&line.model.parameters, initialSlotValue, &line.model};
  for (int k = 1; k <= kParameterCount; ++k) {
    char field[kFieldTextBytes + 2];
    std::snprintf(field, sizeof field, "%s ", record.fieldText[k]);
    EvaluationResult result;
    evaluateExpression(field, sources, result);
    if (result.operandCount >= 1 && result.parameterId < 0 && result.variableSlot < 0) {
      element.realSlots[k] = result.value;
      element.given[k] = 1;
    } else if (result.operandCount == 1 && result.parameterId >= 100) {
      const int id = result.parameterId;
      if (id < 1 || id > 9999) {
        return line.reporter.modelError(" パラメタIDは 1～9999 \n\n %s ... %d", line.messageLine, id);
      }
      if (entry.takesTableId && k == 1) {
        if (id < 100 || id > 990 || id % 10 != 0) {
          return line.reporter.modelError(" 表ｉｄは 100～990 \n\n %s ... %d", line.messageLine, id);
        }
        element.tableId = id;
      } else if (foldedKeyword(entry) == "wh" && k == 5) {
        element.supportSetId = id;
      } else {
        // A parameter set fills this field and the ones after it.
        const int values = line.model.idRegistry[id];
        int j = 0;
        for (; j < values && k + j <= kParameterCount; ++j) {
          element.realSlots[k + j] = line.model.parameters.get(id + j);
          element.given[k + j] = 1;
        }
        if (j > 1) k += j - 1;
      }
    } else if (result.operandCount == 0) {
      element.realSlots[k] = 0.0;
      element.empty[k] = 1;
    } else {
      element.realSlots[k] = result.value;
      element.given[k] = 1;
    }
  }
  return 0;
}

}  // namespace

int readElementStatement(StatementLine& line) {
  Model& model = line.model;
  const ElementKeyword* entry = findElementKeyword(line.keyword);
  if (entry == nullptr) return line.reporter.modelError("次の要素ｉｄが？・ \n\n %s", line.messageLine);
  if (line.typeCode == 71) return readTimeStatement(line);
  if (line.typeCode < 1 || line.typeCode > 69) return 0;

  // Expansions add entries past the statement limit; the table has room for them,
  // but never let a model walk off its end.
  if (model.count.elements + 1 >= kElementCapacity) {
    return line.reporter.modelError(" 要素の数が１００を超える ");
  }
  const int number = ++model.count.elements;
  ElementEntry& element = model.elements[number];
  element.statementLine = line.record;
  element.typeCode = line.typeCode;
  element.kindCode = entry->kindCode;
  element.groupFirst = number;
  element.groupLast = number;
  model.records[line.record].elementNumber = number;
  model.elementLine[number] = line.record;

  const int nodeCount = (line.typeCode >= 30 && line.typeCode <= 39) ? 3 : 2;
  if (readNodes(line, element, nodeCount) != 0) return 9;

  const std::string_view folded = foldedKeyword(*entry);
  std::snprintf(element.keyword, sizeof element.keyword, "%.*s", static_cast<int>(folded.size()),
                folded.data());
  std::snprintf(element.text, sizeof element.text, "%s", line.messageLine);
  element.pVariant = entry->pVariant ? 1 : 0;

  if (readParameters(line, element, *entry) != 0) return 9;

  if (entry->stateSlots > 0) {
    element.firstStateSlot = model.count.stateSlots + 1;
    element.stateSlotCount = entry->stateSlots;
    model.count.stateSlots += entry->stateSlots;
  }
  return 0;
}

}  // namespace movra

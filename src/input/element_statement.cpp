// Element statements: "keyword node node [node] fields...". The nodes come from the
// line itself, the fields from the record the editor filled.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "input/element_keywords.h"
#include "input/expression.h"
#include "input/initial_values.h"
#include "input/statement_reader.h"

namespace movra {

namespace {

constexpr int kParameterCount = 10;
constexpr int kRigidJointCode = 17;

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

// A field that gives no finite number: other failed fields read as 0, but this one
// would have been an infinity or a NaN, and a run on it only NaN columns.
int notANumber(StatementLine& line, int field) {
  return line.reporter.modelError(" 値が数にならない？ (桁あふれ)  欄 %d \n\n %s", field, line.messageLine);
}

int readParameters(StatementLine& line, ElementEntry& element, const ElementKeyword& entry) {
  const StatementRecord& record = line.model.records[line.record];
  const ValueSources sources = initialValueSources(line.model);
  for (int k = 1; k <= kParameterCount; ++k) {
    char field[kFieldTextBytes + 2];
    std::snprintf(field, sizeof field, "%s ", record.fieldText[k]);
    EvaluationResult result;
    if (evaluateExpression(field, sources, result) == kNotFiniteResult) {
      return notANumber(line, k);
    }
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
        // A parameter set fills this field and the ones after it; an id that no set
        // claims is read as the one value the user named.
        const int registered = line.model.idRegistry[id];
        const int values = registered > 0 ? registered : 1;
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
  // Values taken from a parameter set are checked the same way.
  for (int k = 1; k <= kParameterCount; ++k) {
    if (element.given[k] && !std::isfinite(element.realSlots[k])) return notANumber(line, k);
  }
  return 0;
}

// "f %d" sets how the element's forces are drawn: -1 never, 0 (kept as 10 until
// the checks) off even when the view switches forces on, above 0 on.
int readDrawingAnnotation(StatementLine& line, ElementEntry& element, const char* annotation) {
  if (annotation[0] == 0) return 0;
  int value = 0;
  if (std::sscanf(annotation, " f %d", &value) != 1 || value < -1 || value > 100) {
    return line.reporter.modelError(" 力の描画が？ \n\n %s", line.messageLine);
  }
  element.drawingMode = value == -1 ? -1 : (value == 0 ? 10 : 1);
  return 0;
}

int readTranscriptionAnnotation(StatementLine& line, const char* annotation) {
  if (annotation[0] == 0) return 0;
  int id = 0;
  if (std::sscanf(annotation, " c %d", &id) != 1) return 0;
  // The registry has one byte per id 0..9999; an id outside it cannot be kept.
  if (id < 0 || id >= kIdRegistrySize) {
    return line.reporter.modelError(" 転記id  c%3d が範囲外 \n%s", id, line.messageLine);
  }
  if (line.model.idRegistry[id] != 0) {
    return line.reporter.modelError(" 転記id  c%3d がダブる \n%s", id, line.messageLine);
  }
  line.model.idRegistry[id] = 1;
  return 0;
}

// "h<block> c<id> c<id> ...": the element publishes its values from the block id
// on, and the listed ids become output items.
int readOutputAnnotation(StatementLine& line, ElementEntry& element, int number,
                         const char* annotation) {
  if (annotation[0] == 0) return 0;
  Model& model = line.model;
  const char* text = annotation;
  while (*text == ' ') ++text;
  if (*text != 'h') return 0;
  ++text;
  int block = 0;
  if (!readWholeNumber(text, block)) {
    return line.reporter.modelError(" 出力パラメタｉｄが？ \n\n %s", line.messageLine);
  }
  // The block's hundred ids must fit in the registry as well.
  if (block < 1000 || block > kIdRegistrySize - 100) {
    return line.reporter.modelError(" 出力パラメタｉｄが？ \n\n %s", line.messageLine);
  }
  if (model.idRegistry[block] != 0) {
    return line.reporter.modelError(" 出力パラメタがダブル \n%s", line.messageLine);
  }
  int ids[32];
  int idCount = 0;
  while (true) {
    while (*text == ' ' || *text == ',') ++text;
    if (*text != 'c') break;
    ++text;
    int id = 0;
    if (!readWholeNumber(text, id) || id < 1000) {
      return line.reporter.modelError(" 出力パラメタｉｄが？ \n\n %s", line.messageLine);
    }
    if (idCount < 32) ids[idCount++] = id;
  }
  element.returnBlockId = block;
  for (int i = 0; i < idCount; ++i) {
    if (model.count.outputs > kOutputListLimit - 1) break;  // the list is full
    OutputItem& item = model.outputs[++model.count.outputs];
    item = OutputItem{};
    item.slot = ids[i];
    std::snprintf(item.name, sizeof item.name, "c%d", ids[i]);
    item.element = number;
  }
  for (int id = block; id < block + 100; ++id) model.idRegistry[id] = 1;
  return 0;
}

int readAnnotations(StatementLine& line, ElementEntry& element, int number) {
  const StatementRecord& record = line.model.records[line.record];
  if (record.echoFlag == 1) return 0;
  if (readDrawingAnnotation(line, element, record.drawingAnnotation) != 0) return 9;
  if (readTranscriptionAnnotation(line, record.transcriptionAnnotation) != 0) return 9;
  return readOutputAnnotation(line, element, number, record.outputAnnotation);
}

void reserveStateSlots(Model& model, ElementEntry& element, int count) {
  if (count <= 0) return;
  element.firstStateSlot = model.count.stateSlots + 1;
  element.stateSlotCount = count;
  model.count.stateSlots += count;
}

// A further entry of an expanded statement: the same line and nodes.
ElementEntry* addGroupEntry(StatementLine& line, int first, int typeCode) {
  Model& model = line.model;
  if (model.count.elements + 1 >= kElementCapacity) {
    line.reporter.modelError(" 要素の数が１００を超える ");
    return nullptr;
  }
  const int number = ++model.count.elements;
  ElementEntry& entry = model.elements[number];
  const ElementEntry& head = model.elements[first];
  entry.statementLine = head.statementLine;
  entry.typeCode = typeCode;
  entry.kindCode = head.kindCode;
  std::memcpy(entry.keyword, head.keyword, sizeof entry.keyword);
  std::memcpy(entry.text, head.text, sizeof entry.text);
  std::memcpy(entry.node, head.node, sizeof entry.node);
  std::memcpy(entry.writtenNode, head.writtenNode, sizeof entry.writtenNode);
  std::memcpy(entry.terminalMark, head.terminalMark, sizeof entry.terminalMark);
  entry.drawingMode = head.drawingMode;
  model.elementLine[number] = head.statementLine;
  return &entry;
}

void spanGroup(Model& model, int first, int last) {
  for (int e = first; e <= last; ++e) {
    model.elements[e].groupFirst = first;
    model.elements[e].groupLast = last;
  }
}

// "pu" with a positive parameter 5 stands for three elements.
int expandPulley(StatementLine& line, int first) {
  // Compared as a real: a huge or NaN value must not go through an int conversion.
  const double count = line.model.elements[first].realSlots[5];
  if (!(count >= 1.0)) return 0;
  for (int extra = 0; extra < 2; ++extra) {
    ElementEntry* entry = addGroupEntry(line, first, 14);
    if (entry == nullptr) return 9;
    reserveStateSlots(line.model, *entry, 1);
  }
  spanGroup(line.model, first, first + 2);
  return 0;
}

// "wh" stands on a support set defined above it: one entry per row of the set.
int expandSupportSet(StatementLine& line, int first) {
  Model& model = line.model;
  const int setId = model.elements[first].supportSetId;
  if (setId == 0) return 0;
  const int statement = static_cast<int>(model.parameters.get(setId));
  const bool defined = statement >= 1 && statement <= model.count.parameterStatements &&
                       model.parameterStatements[statement].id == setId;
  if (!defined) return line.reporter.modelError(" 台の組がリストの上方にない？ \n\n %s", line.messageLine);
  const ParameterStatement& set = model.parameterStatements[statement];
  if (set.rowCount < 1 || set.rowCount > 11) {
    return line.reporter.modelError(" 台の組が？ \n\n %s", line.messageLine);
  }
  for (int row = 0; row < set.rowCount; ++row) {
    const int poolRow = set.firstPoolRow + row;
    if (poolRow < 0 || poolRow >= kParameterRowPool) break;
    ElementEntry* entry = &model.elements[first];
    if (row > 0) {
      entry = addGroupEntry(line, first, 16);
      if (entry == nullptr) return 9;
      reserveStateSlots(model, *entry, 10);
    }
    for (int i = 0; i < 3; ++i) entry->supportRow[i] = model.parameterRows[poolRow][i];
  }
  spanGroup(model, first, model.count.elements);
  return 0;
}

// A diode with a third field is the forced diode of a switch: a second element
// shares its nodes.
int expandDiode(StatementLine& line, int first) {
  if (line.model.records[line.record].fieldPresent[3] == 0) return 0;
  line.model.elements[first].mode = 9;
  ElementEntry* entry = addGroupEntry(line, first, 25);
  if (entry == nullptr) return 9;
  entry->mode = 11;
  return 0;
}

// The directions a rigid joint leaves free come with its record, as release bits.
void readReleaseFlags(const StatementRecord& record, ElementEntry& element) {
  const int bits[3] = {kRecordReleaseX, kRecordReleaseY, kRecordReleaseAngle};
  for (int k = 0; k < 3; ++k) {
    element.variableSlots[kReleaseFlagSlot + k] = (record.flags & bits[k]) != 0 ? 1 : 0;
  }
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
  if (readAnnotations(line, element, number) != 0) return 9;
  reserveStateSlots(model, element, entry->stateSlots);
  if (line.typeCode == kRigidJointCode) readReleaseFlags(model.records[line.record], element);

  if (folded == "pu") return expandPulley(line, number);
  if (folded == "wh") return expandSupportSet(line, number);
  if (folded == "D") return expandDiode(line, number);
  return 0;
}

}  // namespace movra

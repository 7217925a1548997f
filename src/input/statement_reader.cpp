#include "input/statement_reader.h"

#include "input/command_statements.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace movra {

namespace {

enum class StatementKind { None, Command, Parameter, Element };

struct Dispatch {
  std::string_view keyword;
  StatementKind kind;
  int (*reader)(StatementLine&);
};

// Keywords handled by their own reader; first match wins. Everything else is an
// element statement (or a function statement by its type code).
constexpr Dispatch kKeywordDispatch[] = {
    {".ie", StatementKind::None, nullptr},
    {".je", StatementKind::None, nullptr},
    {".in", StatementKind::None, nullptr},
    {".ic", StatementKind::None, nullptr},
    {".iv", StatementKind::None, nullptr},
    {".vc", StatementKind::Command, readViewStatement},
    {".o", StatementKind::Command, readOutputStatement},
    {".oo", StatementKind::Command, readOutputAxisStatement},
    {".or", StatementKind::Command, readOutputRangeStatement},
    {".sd", StatementKind::Parameter, readSupportSet},
    {":u", StatementKind::Parameter, readTable},
};

const Dispatch* dispatchFor(std::string_view keyword, int typeCode) {
  static constexpr Dispatch kFunction{"", StatementKind::Parameter, readFunctionStatement};
  static constexpr Dispatch kTime{"", StatementKind::Command, readElementStatement};
  static constexpr Dispatch kElement{"", StatementKind::Element, readElementStatement};
  static constexpr Dispatch kOther{"", StatementKind::None, readElementStatement};
  for (const Dispatch& entry : kKeywordDispatch) {
    if (entry.keyword == keyword) return &entry;
  }
  if (typeCode >= 81 && typeCode <= 96) return &kFunction;
  if (typeCode == 71 && keyword == ".t") return &kTime;
  if (typeCode >= 1 && typeCode <= 69) return &kElement;
  return &kOther;
}

// Refuses the 101st statement of a kind; the tables hold entries 1..100.
int checkLimit(const ModelCounters& count, StatementKind kind, Reporter& reporter) {
  switch (kind) {
    case StatementKind::Element:
      if (count.elements >= kStatementLimit) return reporter.modelError(" 要素の数が１００を超える ");
      break;
    case StatementKind::Parameter:
      if (count.parameterStatements >= kStatementLimit) {
        return reporter.modelError(" パラメタ文が１００を超える ");
      }
      break;
    case StatementKind::Command:
      if (count.commandStatements >= kStatementLimit) {
        return reporter.modelError(" コマンド文が１００を超える ");
      }
      break;
    case StatementKind::None:
      break;
  }
  return 0;
}

void presetTables(Model& model) {
  model.count = ModelCounters{};
  // Ids of an earlier reading must not count as taken in this one.
  for (uint8_t& entry : model.idRegistry) entry = 0;
  model.parameterRowsUsed = 0;
  for (int r = 0; r < kRecordCapacity; ++r) model.records[r].elementNumber = -1;
  for (int e = 0; e < kElementCapacity; ++e) {
    model.elementLine[e] = -1;
    for (int& flag : model.elements[e].given) flag = -1;
  }
  for (int p = 0; p < kParameterStatementCapacity; ++p) {
    model.parameterStatementType[p] = -1;
    model.parameterStatementLine[p] = -1;
  }
  model.outputs[1] = OutputItem{};
  std::snprintf(model.outputs[1].name, sizeof model.outputs[1].name, "   c1");
  model.outputs[1].slot = 1;
  model.count.outputs = 1;
}

// Copies a line without its comment and its line end, bounded.
void copyMessageLine(const char* line, size_t length, char (&copy)[kMessageLineBytes]) {
  size_t n = length < kMessageLineBytes - 1 ? length : kMessageLineBytes - 1;
  std::memcpy(copy, line, n);
  copy[n] = 0;
  if (char* comment = std::strstr(copy, "//")) *comment = 0;
}

}  // namespace

void presetEngineSettings(ParameterStore& parameters) {
  parameters[-10001] = 1e-09;
  parameters[-10002] = 1e-09;
  parameters[-10005] = 1e-12;
  parameters[-10010] = 0.005;
  parameters[-10012] = 1e-05;
  parameters[-10020] = 0.001;
  parameters[-10021] = 1e-07;
  parameters[-10022] = 1e-06;
}

int readStatements(Model& model, Reporter& reporter) {
  presetTables(model);
  model.currentRecord = -1;
  presetEngineSettings(model.parameters);
  if (!model.viewDefaultsSet) presetViewDefaults(model);

  const int lastRecord = model.lastRecordIndex < kRecordCapacity ? model.lastRecordIndex
                                                                  : kRecordCapacity - 1;
  const char* cursor = model.numberedText;
  int record = 0;
  int skip = 0;
  char line[kMessageLineBytes];
  char messageLine[kMessageLineBytes];
  char keyword[kMessageLineBytes];
  for (int lineCount = 0; lineCount < kNumberedLineLimit && *cursor != 0; ++lineCount) {
    const char* end = std::strchr(cursor, '\n');
    size_t length = end != nullptr ? static_cast<size_t>(end - cursor) : std::strlen(cursor);
    const char* next = end != nullptr ? end + 1 : cursor + length;
    size_t taken = length < kMessageLineBytes - 1 ? length : kMessageLineBytes - 1;
    std::memcpy(line, cursor, taken);
    line[taken] = 0;
    if (taken > 0 && line[taken - 1] == '\r') line[--taken] = 0;
    cursor = next;

    // Continuation lines that a reader has already taken.
    if (skip > 0) {
      --skip;
      continue;
    }
    copyMessageLine(line, taken, messageLine);

    size_t position = 0;
    if (line[0] == '$') {
      char dollar = 0;
      int number = 0;
      int consumed = 0;
      if (std::sscanf(line, "%c%3d%n", &dollar, &number, &consumed) < 2) break;
      // A number outside the handed-over records has no record to read.
      if (number < 0 || number > lastRecord) break;
      record = number;
      position = static_cast<size_t>(consumed);
    }
    while (line[position] == ' ' || line[position] == '\t') ++position;
    size_t k = 0;
    while (line[position] != 0 && line[position] != ' ' && line[position] != '\t') {
      keyword[k++] = line[position++];
    }
    keyword[k] = 0;
    if (k == 0) break;  // a line without a word ends the model

    model.currentRecord = record;
    const int typeCode = model.records[record].typeCode;
    const Dispatch* dispatch = dispatchFor(keyword, typeCode);
    if (checkLimit(model.count, dispatch->kind, reporter) != 0) return 9;
    if (dispatch->reader == nullptr) continue;

    StatementLine statement{model, reporter};
    statement.record = record;
    statement.typeCode = typeCode;
    statement.keyword = keyword;
    statement.rest = line + position;
    statement.messageLine = messageLine;
    if (dispatch->reader(statement) != 0) return 9;
    skip = statement.linesToSkip;
  }
  model.currentRecord = -1;
  if (addInteractiveElements(model, reporter) != 0) return 9;
  applyNodeMap(model);
  return checkModel(model, reporter);
}

}  // namespace movra

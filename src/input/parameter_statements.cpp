// Parameter statements: support sets (".sd"), tables (":u") and function statements
// (type codes 81..96). Each takes entries of the parameter-statement table and reads
// its data from the record's block text; the data rows go into the shared row pool.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "input/expression.h"
#include "input/statement_reader.h"

namespace movra {

namespace {

constexpr int kSetIdLow = 100;
constexpr int kSetIdHigh = 990;
constexpr int kTableIdLow = 100;
constexpr int kTableIdHigh = 990;
constexpr int kReturnIdLow = 10;
constexpr int kTableReturnIdHigh = 99;
constexpr int kFunctionReturnIdHigh = 999;
// The third and fourth return value of a function table may be 9: "no value here".
constexpr int kPlaceholderReturnId = 9;
constexpr int kTableTextLimit = 4090;
constexpr int kFunctionRowCount = kFunctionBlockRows;
constexpr int kSupportValues = 3;
// The engine reads this value in a table column as "not given".
constexpr double kNotGiven = 2.225073e-308;
// A whole-number id that went through a double: anything beyond this is out of every
// id range, and clamping keeps the conversion defined.
constexpr double kIdClamp = 1e8;

// Row lines are looked at as far as the unit-letter expansion reads them.
constexpr int kRowLineBytes = kExpressionChars + 1;
// Each character may become a five-character exponent text ("e-12 ").
constexpr int kExpandedBytes = 5 * kExpressionChars + 1;

// A record's block text, copied so that it is terminated whatever came in.
struct BlockText {
  explicit BlockText(const StatementRecord& record) {
    const size_t length = strnlen(record.blockText, kBlockTextBytes);
    std::memcpy(text, record.blockText, length);
    text[length] = 0;
  }
  char text[kBlockTextBytes + 1];
};

// Walks LF-separated lines; each line is copied, cut to kRowLineBytes - 1.
class BlockLines {
 public:
  explicit BlockLines(const char* text) : cursor_(text) {}

  bool next(char (&line)[kRowLineBytes]) {
    if (cursor_ == nullptr) {
      line[0] = 0;
      return false;
    }
    const char* end = std::strchr(cursor_, '\n');
    const size_t length =
        end != nullptr ? static_cast<size_t>(end - cursor_) : std::strlen(cursor_);
    const size_t taken = length < kRowLineBytes - 1 ? length : kRowLineBytes - 1;
    std::memcpy(line, cursor_, taken);
    line[taken] = 0;
    if (taken > 0 && line[taken - 1] == '\r') line[taken - 1] = 0;
    cursor_ = end != nullptr ? end + 1 : nullptr;
    return true;
  }

 private:
  const char* cursor_;
};

// Reads up to ten numbers of a row after expanding its unit letters, as the format
// " %le %le ..." does; values not read stay 0.
int readRowValues(const char* line, double (&values)[kParameterColumns], int wanted) {
  char expanded[kExpandedBytes];
  expandUnitLetters(line, expanded, sizeof expanded);
  for (double& value : values) value = 0.0;
  double* v = values;
  const int read = wanted == kSupportValues
                       ? std::sscanf(expanded, " %le %le %le ", &v[0], &v[1], &v[2])
                       : std::sscanf(expanded, " %le %le %le %le %le %le %le %le %le %le", &v[0],
                                     &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]);
  return read > 0 ? read : 0;
}

// The id of a set, table or function statement: a single parameter reference (p200)
// or a single positive whole constant (200) both give 200. Returns false otherwise.
bool readStatementId(const char* text, const Model& model, int& id) {
  char field[kRowLineBytes + 1];
  std::snprintf(field, sizeof field, "%s ", text);
  EvaluationResult result;
  ValueSources sources{&model.parameters, nullptr, nullptr};
  if (evaluateExpression(field, sources, result) != 0 || result.operandCount != 1) return false;
  if (result.variableSlot >= 0) return false;
  if (result.parameterId >= 0) {
    id = result.parameterId;
    return true;
  }
  const double value = result.value;
  if (!(value >= 1.0) || value != std::floor(value)) return false;
  id = static_cast<int>(value < kIdClamp ? value : kIdClamp);
  return true;
}

// While reading, a node quantity is its starting value: the editor's coordinates for
// x and y, zero otherwise (as for element fields).
double startingSlotValue(const void* context, int slot) {
  const Model& model = *static_cast<const Model*>(context);
  if (slot >= 1000) return 0.0;
  const int node = slot / 10;
  if (node < 0 || node >= kNodeCount) return 0.0;
  if (slot % 10 == 1) return model.nodes.x[node];
  if (slot % 10 == 2) return model.nodes.y[node];
  return 0.0;
}

// Ids come from the model: check them against the registry before using one as an index.
bool isRegistered(const Model& model, int id) {
  return id >= 0 && id < kIdRegistrySize && model.idRegistry[id] != 0;
}

void registerId(Model& model, int id) {
  if (id >= 0 && id < kIdRegistrySize) model.idRegistry[id] = 1;
}

// Raises the parameter-statement count and links the new entry with its record.
// Returns the entry number, or 0 after a reported error.
int openParameterStatement(StatementLine& line) {
  Model& model = line.model;
  if (model.count.parameterStatements + 1 >= kParameterStatementCapacity) {
    line.reporter.modelError(" パラメタ文が１００を超える ");
    return 0;
  }
  const int number = ++model.count.parameterStatements;
  // The first statement starts the row pool, so a second reading does not pile up.
  if (number == 1) model.parameterRowsUsed = 0;
  ParameterStatement& statement = model.parameterStatements[number];
  statement = ParameterStatement{};
  statement.typeCode = line.typeCode;
  statement.statementLine = line.record;
  statement.firstPoolRow = model.parameterRowsUsed;
  model.parameterStatementType[number] = line.typeCode;
  model.parameterStatementLine[number] = line.record;
  model.records[line.record].parameterStatementNumber = number;
  return number;
}

// The empty entries that follow a set or a table.
void takeEmptyEntries(Model& model, int count) {
  for (int i = 0; i < count; ++i) {
    if (model.count.parameterStatements + 1 >= kParameterStatementCapacity) return;
    model.parameterStatements[++model.count.parameterStatements] = ParameterStatement{};
  }
}

// Pool row `row` (from 0) of a statement, or nullptr when the pool is full.
double* poolRow(Model& model, const ParameterStatement& statement, int row) {
  const int index = statement.firstPoolRow + row;
  if (index < 0 || index >= kParameterRowPool) return nullptr;
  return model.parameterRows[index];
}

void closeRows(Model& model, ParameterStatement& statement, int rows) {
  statement.rowCount = rows;
  model.parameterRowsUsed = statement.firstPoolRow + rows;
}

// Counts from a record, kept where arithmetic on them cannot overflow; any count
// this large is refused by the rows anyway.
int boundedCount(int count) {
  constexpr int kCountBound = 100000;
  return count < 0 ? 0 : (count > kCountBound ? kCountBound : count);
}

int continuationLines(const StatementRecord& record) {
  return boundedCount(record.continuationCount);
}

// Type code 84 shows three quantities of the statement (s, r, t) around a base id.
int appendQuantityItems(StatementLine& line) {
  Model& model = line.model;
  const StatementRecord& record = model.records[line.record];
  if (!(record.radius >= 0.0)) {
    return line.reporter.modelError(" ｒの範囲が？.   %e \n\n %s", record.radius, line.messageLine);
  }
  long long base = 0;
  switch (record.mode) {
    case 0:
      base = static_cast<long long>(record.tableId) + 8;
      break;
    case 2:
      base = static_cast<long long>(record.tableId) + 1;
      break;
    case 1:
      base = static_cast<long long>(record.returnValueIds[1]) + 1;
      break;
    default:
      return 0;  // no base id, nothing to show
  }
  if (base < -kIdClamp || base > kIdClamp) return 0;
  const struct {
    char letter;
    int slot;
    bool ranged;
  } items[] = {{'s', static_cast<int>(base - 1), false},
               {'r', static_cast<int>(base), true},
               {'t', static_cast<int>(base + 1), true}};
  for (const auto& entry : items) {
    if (model.count.outputs > kOutputListLimit - 1) break;  // the list is full
    OutputItem& item = model.outputs[++model.count.outputs];
    item = OutputItem{};
    item.slot = entry.slot;
    std::snprintf(item.name, sizeof item.name, "%c%d", entry.letter, entry.slot);
    if (entry.ranged && record.radius > 0.0) {
      item.hasRange = true;
      item.rangeLow = -record.radius;
      item.rangeHigh = record.radius;
    }
  }
  return 0;
}

// The return-value list of a function table: ids 10..99, the third and fourth may
// also be the placeholder 9, which is neither checked for a clash nor registered.
int registerReturnValues(StatementLine& line, ParameterStatement& statement, int count) {
  Model& model = line.model;
  const StatementRecord& record = model.records[line.record];
  const int listed = count < kMaxReturnValues ? count : kMaxReturnValues;
  for (int j = 1; j <= listed; ++j) {
    const int id = record.returnValueIds[j];
    const bool placeholder = (j == 3 || j == 4) && id == kPlaceholderReturnId;
    if (!placeholder) {
      if (isRegistered(model, id)) {
        return line.reporter.modelError(" 戻り値ｉｄがダブる.  %d \n\n %s", id, line.messageLine);
      }
      if (id < kReturnIdLow || id > kTableReturnIdHigh) {
        return line.reporter.modelError(" 戻り値ｉｄは 10 ～ 999 ？.  %d %d \n\n %s", j, id,
                                        line.messageLine);
      }
      registerId(model, id);
    }
    statement.returnValueIds[j] = id;
  }
  statement.id = statement.returnValueIds[1];
  return 0;
}

// The id of a lookup table: as the editor read it, else from the statement's own text.
int registerTableId(StatementLine& line, ParameterStatement& statement, const char* block) {
  Model& model = line.model;
  const StatementRecord& record = model.records[line.record];
  int id = record.tableId;
  if (id <= 0) {
    char first[kRowLineBytes];
    BlockLines(block).next(first);
    if (!readStatementId(first, model, id)) id = 0;
  }
  // The id indexes the registry and the store; elements name tables in 100..990 only.
  if (id < kTableIdLow || id > kTableIdHigh) {
    return line.reporter.modelError(" 表ｉｄは 100～990 \n\n %s ... %d", line.messageLine, id);
  }
  if (isRegistered(model, id)) {
    return line.reporter.modelError(" 表ｉｄがダブる.  %d \n\n %s", id, line.messageLine);
  }
  registerId(model, id);
  statement.id = id;
  return 0;
}

// Fills in the columns a function table leaves out when its return-value list says
// "no value here" (id 9). Returns the count as completed.
int completeRow(const StatementRecord& record, int expected, int read,
                double (&values)[kParameterColumns]) {
  if (read != 3) return read;
  const bool thirdOpen = record.returnValueIds[3] == kPlaceholderReturnId;
  const bool fourthOpen = record.returnValueIds[4] == kPlaceholderReturnId;
  if (expected == 4 && thirdOpen) {
    values[3] = 0.0;
    return 4;
  }
  if (expected == 5 && thirdOpen && fourthOpen) {
    values[3] = kNotGiven;
    values[4] = kNotGiven;
    return 5;
  }
  return read;
}

// The data rows of a table. Lines without a number (blank lines, the closing line)
// are passed over. Returns 0 and the rows read, or 9.
int readTableRows(StatementLine& line, ParameterStatement& statement, BlockLines& lines,
                  bool functionTable, int expected, int& rows) {
  Model& model = line.model;
  Reporter& reporter = line.reporter;
  const StatementRecord& record = model.records[line.record];
  double previous = 0.0;
  for (int i = 1; i <= rows; ++i) {
    double values[kParameterColumns] = {};
    int read = 0;
    char text[kRowLineBytes];
    while (read == 0 && lines.next(text)) read = readRowValues(text, values, kParameterColumns);

    // A single value closing a function table, once the arguments stop rising, is
    // the end of the table rather than a row.
    if (functionTable && i == rows && i > 1 && read == 1 && !(values[0] > previous)) {
      rows = i - 1;
      break;
    }
    if (functionTable) read = completeRow(record, expected, read, values);
    if (!functionTable) {
      if (read != expected || read == 0) {
        return reporter.modelError(" 項目数が？_ %d ≠ %d  %d \n\n %s ", expected, read, i,
                                   line.messageLine);
      }
      if (i > 1 && !(values[0] > previous)) {
        return reporter.modelError(" ｘ_引数は昇順？_ \n\n %s \n %g %d  %d ", line.messageLine,
                                   values[0], i, rows);
      }
    } else {
      if (read != expected || read == 0) {
        return reporter.modelError(" 項目数が？ %d ≠ %d  \n\n %s ", expected, read,
                                   line.messageLine);
      }
      if (i > 1 && !(values[0] > previous)) {
        return reporter.modelError(" ｘ_引数は昇順？ \n\n %s \n %g", line.messageLine, values[0]);
      }
    }
    double* row = poolRow(model, statement, i - 1);
    if (row == nullptr)
      return reporter.modelError(" :u のデータが多過ぎ？ \n\n %s", line.messageLine);
    std::memcpy(row, values, sizeof values);
    previous = values[0];
  }
  return 0;
}

}  // namespace

int readSupportSet(StatementLine& line) {
  Model& model = line.model;
  Reporter& reporter = line.reporter;
  const int number = openParameterStatement(line);
  if (number == 0) return 9;
  ParameterStatement& statement = model.parameterStatements[number];
  const StatementRecord& record = model.records[line.record];
  const BlockText block(record);
  if (std::strchr(block.text, '\n') == nullptr) {
    return reporter.modelError(" エラー?？ \n\n %s", line.messageLine);
  }

  BlockLines lines(block.text);
  char text[kRowLineBytes];
  lines.next(text);
  int id = 0;
  if (!readStatementId(text, model, id)) {
    return reporter.modelError(" パラメタ組ｉｄが？ %s \n\n %s", text, line.messageLine);
  }
  if (id < kSetIdLow || id > kSetIdHigh) {
    return reporter.modelError(" パラメタ組は 100 ～ 990 ？ %d %d \n\n %s", number, id,
                               line.messageLine);
  }
  if (isRegistered(model, id)) {
    return reporter.modelError(" パラメタ組ｉｄがダブる.  %d %d \n\n %s", number, id,
                               line.messageLine);
  }
  registerId(model, id);
  // "wh" elements find their set through this entry.
  model.parameters[id] = number;
  statement.id = id;

  // The rows, then one closing line.
  const int rows = continuationLines(record) - 1;
  for (int i = 1; i <= rows; ++i) {
    lines.next(text);
    double values[kParameterColumns];
    const int read = readRowValues(text, values, kSupportValues);
    if (read < kSupportValues) {
      return reporter.modelError(" データが？？ %d %d \n\n %s \n\n %s", i, read, block.text,
                                 line.messageLine);
    }
    const double h = values[0];
    const double x0 = values[1];
    const double x1 = values[2];
    if (!(h >= 0.0 && x0 <= x1)) {
      return reporter.modelError(" !台は h>=0 ，x0<=x1 ？ \n\n %s", line.messageLine);
    }
    double* row = poolRow(model, statement, i - 1);
    if (row == nullptr) {
      return reporter.modelError(" パラメタ文のデータが多過ぎ？ \n\n %s", line.messageLine);
    }
    std::memcpy(row, values, sizeof values);
  }
  closeRows(model, statement, rows > 0 ? rows : 0);
  takeEmptyEntries(model, 2);
  line.linesToSkip = continuationLines(record);
  return 0;
}

int readTable(StatementLine& line) {
  Model& model = line.model;
  Reporter& reporter = line.reporter;
  const int number = openParameterStatement(line);
  if (number == 0) return 9;
  ParameterStatement& statement = model.parameterStatements[number];
  const StatementRecord& record = model.records[line.record];
  const BlockText block(record);
  if (std::strlen(block.text) > kTableTextLimit) {
    return reporter.modelError(" :u のデータが多過ぎ？ \n\n %s", line.messageLine);
  }

  // A return-value list makes a function table; otherwise the table has an id.
  const bool functionTable = record.returnValueCount > 0;
  const int returnValues =
      functionTable ? boundedCount(record.returnValueCount) : boundedCount(record.columnCount) - 1;
  if (functionTable) {
    if (registerReturnValues(line, statement, returnValues) != 0) return 9;
  } else if (registerTableId(line, statement, block.text) != 0) {
    return 9;
  }

  const char* afterFirst = std::strchr(block.text, '\n');
  if (afterFirst == nullptr) return reporter.modelError(" エラー? \n\n %s", line.messageLine);
  BlockLines lines(afterFirst + 1);
  if (functionTable) {
    // The argument is evaluated by the engine during the run; here it only has to be
    // an expression.
    char argument[kRowLineBytes];
    lines.next(argument);
    char field[kRowLineBytes + 1];
    std::snprintf(field, sizeof field, "%s ", argument);
    ValueSources sources{&model.parameters, startingSlotValue, &model};
    EvaluationResult result;
    if (evaluateExpression(field, sources, result) != 0 || result.operandCount < 1) {
      return reporter.modelError("引数(式)が？ \n\n %s", line.messageLine);
    }
  }

  // The continuation lines are the rows and a closing line, and for a function table
  // the argument line before them.
  int rows = continuationLines(record) - (functionTable ? 2 : 1);
  if (rows < 1) return reporter.modelError("行数が？ %d \n\n %s", rows, line.messageLine);
  if (readTableRows(line, statement, lines, functionTable, returnValues + 1, rows) != 0) return 9;

  // Every row held returnValues + 1 values, at most ten.
  statement.returnValueCount = returnValues;
  closeRows(model, statement, rows);
  if (!functionTable) model.parameters[statement.id] = line.record;
  takeEmptyEntries(model, returnValues);
  line.linesToSkip = continuationLines(record);
  return 0;
}

int readFunctionStatement(StatementLine& line) {
  Model& model = line.model;
  Reporter& reporter = line.reporter;
  if (line.typeCode == 84 && appendQuantityItems(line) != 0) return 9;
  const int number = openParameterStatement(line);
  if (number == 0) return 9;
  ParameterStatement& statement = model.parameterStatements[number];
  const StatementRecord& record = model.records[line.record];
  const BlockText block(record);
  if (std::strchr(block.text, '\n') == nullptr) {
    return reporter.modelError(" エラー?？ \n\n %s", line.messageLine);
  }

  char text[kRowLineBytes];
  BlockLines(block.text).next(text);
  int id = 0;
  if (!readStatementId(text, model, id)) {
    return reporter.modelError(" 戻り値ｉｄが？_ %s \n\n %s", text, line.messageLine);
  }
  if (id < kReturnIdLow || id > kFunctionReturnIdHigh) {
    return reporter.modelError(" 戻り値ｉｄは 10 ～ 999 ？..  %d %d \n\n %s", number, id,
                               line.messageLine);
  }
  registerId(model, id);
  statement.id = id;
  statement.returnValueIds[1] = id;
  statement.returnValueCount = 1;

  // Ten rows of its own, empty: the engine fills them during the run.
  for (int row = 0; row < kFunctionRowCount; ++row) {
    double* values = poolRow(model, statement, row);
    if (values == nullptr) {
      return reporter.modelError(" パラメタ文のデータが多過ぎ？ \n\n %s", line.messageLine);
    }
    std::memset(values, 0, sizeof(double) * kParameterColumns);
  }
  closeRows(model, statement, kFunctionRowCount);

  const std::string_view keyword = line.keyword;
  if (keyword == ":pwm" || keyword == ":pw") {
    model.pwmStatement = number;
    model.pwmState[0] = 0.0;
    model.pwmState[1] = 0.0;
    model.pwmSwitching = true;
  }
  return 0;
}

}  // namespace movra

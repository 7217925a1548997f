// The formula pass. Before every step attempt (mode 1) the element fields written as
// expressions are evaluated again at the current unknowns; once per output step
// (mode 0) the parameter statements compute their values into the ParameterStore.
// Every call first refreshes the step flags and the random numbers.
#include "engine/formula_pass.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/formula_blocks.h"
#include "input/expression.h"

namespace movra {

namespace {

using formula_detail::fieldRow;
using formula_detail::runBlock;

constexpr double kTwoPi = 2.0 * 3.141592653589793;

// Engine entries of the ParameterStore that every call refreshes.
constexpr int kZeroEntry = 0;
constexpr int kRunningEntry = 2;    // 1.0 after step 0
constexpr int kFirstStepEntry = 3;  // 1.0 during step 1
constexpr int kStartEntry = 4;      // 1.0 at step 0
constexpr int kNormalEntry = 5;     // and 6: a standard-normal pair
constexpr int kUniformEntry = 9800;
constexpr int kUniformCount = 41;    // 9800..9840, uniform in (-1, 1)
constexpr int kClearedHigh = -9900;  // -9900..-9999 are cleared after the element fields
constexpr int kClearedLow = -9999;

// The 15-bit generator g <- (109 g + 1021) mod 32768 and the library generator.
constexpr uint32_t kShortSeed = 13;
constexpr uint32_t kShortMultiplier = 109;
constexpr uint32_t kShortIncrement = 1021;
constexpr uint32_t kShortModulus = 32768;
constexpr uint32_t kLibrarySeed = 3;

constexpr int kDivisionByZero = 91;  // the expression evaluator's status
constexpr int kStatementLines = 10;  // the id line and the lines of fields 1..9
constexpr int kFieldBlockRows = kFunctionBlockRows;
constexpr int kLineBytes = kExpressionChars + 2;
constexpr int kFieldCountAll = 11;     // fields 1..10
constexpr int kFieldCountCircuit = 8;  // fields 1..7
constexpr int kFirstGroupSlots = 5;    // slots an expanded group shares

// ---- step flags and random numbers ----

void setStepFlags(ParameterStore& store, Run& run) {
  if (run.kt == 0) {
    store[kRunningEntry] = 0.0;
    store[kStartEntry] = 1.0;
    store[kFirstStepEntry] = 0.0;
    run.lastStartStep = 0;
  } else {
    store[kRunningEntry] = 1.0;
    store[kStartEntry] = 0.0;
    store[kFirstStepEntry] = run.kt == run.lastStartStep + 1 ? 1.0 : 0.0;
  }
}

// u = (g + 0.05)/32767.1 lies in (0, 1), so ln u is finite.
double shortUniform(Run& run) {
  run.shortRandom = (kShortMultiplier * run.shortRandom + kShortIncrement) % kShortModulus;
  return (run.shortRandom + 0.05) / 32767.1;
}

// Box-Muller: r = sqrt(-2 ln u1), (r cos 2 pi u2, r sin 2 pi u2).
void drawNormalPair(ParameterStore& store, Run& run) {
  if (run.kt == 0) {
    store[kNormalEntry] = 0.0;
    store[kNormalEntry + 1] = 0.0;
    run.shortRandom = kShortSeed;
    return;
  }
  const double u1 = shortUniform(run);
  const double u2 = shortUniform(run);
  const double r = std::sqrt(-2.0 * std::log(u1));
  store[kNormalEntry] = r * std::cos(kTwoPi * u2);
  store[kNormalEntry + 1] = r * std::sin(kTwoPi * u2);
}

// Reseeding sets the seed and discards one value; each entry is 2 (R + 0.5)/32768 - 1.
void drawUniforms(ParameterStore& store, Run& run) {
  if (run.kt == 0) {
    run.libraryRandom = formula_detail::nextLibraryState(kLibrarySeed);
    for (int k = 0; k < kUniformCount; ++k) store[kUniformEntry + k] = 0.0;
    return;
  }
  for (int k = 0; k < kUniformCount; ++k) {
    run.libraryRandom = formula_detail::nextLibraryState(run.libraryRandom);
    const int value = formula_detail::libraryValue(run.libraryRandom);
    store[kUniformEntry + k] = 2.0 * (value + 0.5) / 32768.0 - 1.0;
  }
}

// ---- expressions at run time ----

// A node quantity reads X of the unknown its key maps to.
double runSlotValue(const void* context, int slot) {
  return formula_detail::unknownValue(*static_cast<const Run*>(context), slot);
}

ValueSources runSources(const Model& model, const Run& run) {
  return ValueSources{&model.parameters, runSlotValue, &run};
}

// Evaluates one line or field text with the blank the model reader also appends.
int evaluateText(const char* text, const ValueSources& sources, EvaluationResult& result) {
  char field[kLineBytes + 1];
  std::snprintf(field, sizeof field, "%.*s ", kLineBytes - 2, text);
  return evaluateExpression(field, sources, result);
}

// Walks the LF-separated lines of a block text, never past kBlockTextBytes.
class BlockLines {
 public:
  explicit BlockLines(const char* block)
      : cursor_(block), end_(block + strnlen(block, kBlockTextBytes)) {}

  // The next line, cut to kLineBytes - 1 characters and without a CR.
  bool next(char (&line)[kLineBytes]) {
    line[0] = 0;
    if (cursor_ == nullptr) return false;
    const char* stop = static_cast<const char*>(std::memchr(cursor_, '\n', end_ - cursor_));
    const char* lineEnd = stop != nullptr ? stop : end_;
    size_t length = static_cast<size_t>(lineEnd - cursor_);
    if (length > kLineBytes - 1) length = kLineBytes - 1;
    std::memcpy(line, cursor_, length);
    line[length] = 0;
    if (length > 0 && line[length - 1] == '\r') line[length - 1] = 0;
    cursor_ = stop != nullptr ? stop + 1 : nullptr;
    return true;
  }

 private:
  const char* cursor_;
  const char* end_;
};

// The statement's line as messages quote it: its message copy, else the first line
// of the record's numbered text without its comment.
void quoteStatement(const Model& model, const ParameterStatement& statement,
                    char (&out)[kLineCopyBytes]) {
  out[0] = 0;
  if (statement.text[0] != 0) {
    std::snprintf(out, sizeof out, "%.*s", kElementTextBytes - 1, statement.text);
    return;
  }
  const int line = statement.statementLine;
  if (line < 0 || line >= kRecordCapacity) return;
  const char* echo = model.records[line].echoText;
  const size_t length = std::strcspn(echo, "\r\n");
  const size_t bounded = length < kLineCopyBytes - 1 ? length : kLineCopyBytes - 1;
  std::memcpy(out, echo, bounded);
  out[bounded] = 0;
  if (char* comment = std::strstr(out, "//")) *comment = 0;
}

// ---- mode 1: element fields ----

// Fields re-evaluated per type code, plus one. The circuit elements take seven
// parameters and keep history in their slots 8 (diode) and 9 (switch).
int fieldCount(int typeCode) {
  if ((typeCode >= 21 && typeCode <= 27) || typeCode == 35) return kFieldCountCircuit;
  return kFieldCountAll;
}

// Field 1 of an element that reads a lookup table, field 5 of a wheel (its group
// shares the head's support set): ids the reader bound to their statements.
bool namesTableOrSupportSet(const Model& model, const ElementEntry& element, int k,
                            const EvaluationResult& result) {
  if (result.operandCount != 1 || result.parameterId < 100) return false;
  if (k == 1) return element.tableId == result.parameterId;
  if (k != 5 || element.groupFirst < 0 || element.groupFirst >= kElementCapacity) return false;
  return model.elements[element.groupFirst].supportSetId == result.parameterId;
}

// Every element field is read once per run, at its first pass; the passes after it
// only look up the values a field refers to (a constant not even that).
void compileElementFields(Model& model, Run& run, int last) {
  run.elementFields.assign(static_cast<size_t>(last + 1) * kFieldCountAll, CompiledExpression{});
  for (int e = 0; e <= last; ++e) {
    const int line = model.elements[e].statementLine;
    if (line < 0 || line >= kRecordCapacity) continue;
    const StatementRecord& record = model.records[line];
    for (int k = 1; k < kFieldCountAll; ++k) {
      // With the blank that evaluateText appends, so that both read the same text.
      char field[kLineBytes + 1];
      std::snprintf(field, sizeof field, "%.*s ", kLineBytes - 2, record.fieldText[k]);
      compileExpression(field, run.elementFields[static_cast<size_t>(e) * kFieldCountAll + k]);
    }
  }
  run.elementFieldsCompiled = true;
}

int evaluateElementFields(Model& model, Run& run, Reporter& reporter) {
  const ValueSources sources = runSources(model, run);
  const int last =
      model.count.elements < kElementCapacity ? model.count.elements : kElementCapacity - 1;
  if (!run.elementFieldsCompiled ||
      run.elementFields.size() != static_cast<size_t>(last + 1) * kFieldCountAll) {
    compileElementFields(model, run, last);
  }
  for (int e = 0; e <= last; ++e) {
    ElementEntry& element = model.elements[e];
    const int line = element.statementLine;
    if (line < 0 || line >= kRecordCapacity) continue;
    StatementRecord& record = model.records[line];
    if (record.echoFlag == 1 || record.typeCode < 1 || record.typeCode > 69) continue;
    const int fields = fieldCount(record.typeCode) - 1;
    for (int k = 1; k <= fields; ++k) {
      const CompiledExpression& field = run.elementFields[static_cast<size_t>(e) * kFieldCountAll + k];
      // An empty field (no token) evaluates to nothing: it keeps its value.
      if (field.status == 0 && field.tokenCount == 0) continue;
      // A number, read once: what evaluateCompiled would give, without the call.
      if (field.status == 0 && field.constant && field.constantStatus == 0 &&
          field.shape.operandCount != 0) {
        record.valueBlock[k] = field.constantValue;
        element.realSlots[k] = field.constantValue;
        element.given[k] = 1;
        continue;
      }
      EvaluationResult result;
      if (evaluateCompiled(field, sources, result) != 0) {
        return reporter.modelError(" データ式が？_  %d  \n\n %s ", k, element.text);
      }
      // An empty field keeps the value it was read with.
      if (result.operandCount == 0) continue;
      // A table or support-set id names a statement, resolved once by the reader;
      // every other field, a lone reference such as c1102 included, is a value.
      if (namesTableOrSupportSet(model, element, k, result)) continue;
      record.valueBlock[k] = result.value;
      element.realSlots[k] = result.value;
      element.given[k] = 1;
    }
    // An expanded group shares the head's first slots.
    if (element.groupFirst == e && element.groupLast > e) {
      const int groupEnd = element.groupLast < last ? element.groupLast : last;
      for (int other = e + 1; other <= groupEnd; ++other) {
        for (int k = 1; k <= kFirstGroupSlots; ++k) {
          model.elements[other].realSlots[k] = element.realSlots[k];
        }
      }
    }
  }
  for (int id = kClearedHigh; id >= kClearedLow; --id) model.parameters[id] = 0.0;
  return 0;
}

// ---- mode 0: parameter statements ----

// ":u" with return values: the line after the statement line is the argument.
int evaluateTableArgument(Model& model, Run& run, Reporter& reporter, int p,
                          const ValueSources& sources, const char* quoted) {
  const StatementRecord& record = model.records[model.parameterStatements[p].statementLine];
  if (record.returnValueCount <= 0) return 0;  // a lookup table: its elements read it
  BlockLines lines(record.blockText);
  char text[kLineBytes];
  lines.next(text);
  lines.next(text);
  EvaluationResult result;
  if (evaluateText(text, sources, result) != 0) {
    return reporter.modelError("引数が？---  \n\n %s ", quoted);
  }
  return runBlock(model, run, reporter, p, result.value, quoted);
}

// Types 90..94: one input expression, the line after the id line.
int evaluateInputStatement(Model& model, Run& run, Reporter& reporter, int p,
                           const ValueSources& sources, const char* quoted) {
  ParameterStatement& statement = model.parameterStatements[p];
  const StatementRecord& record = model.records[statement.statementLine];
  BlockLines lines(record.blockText);
  char text[kLineBytes];
  lines.next(text);
  lines.next(text);
  EvaluationResult result;
  const int status = evaluateText(text, sources, result);
  if (status == kDivisionByZero) {
    return reporter.modelError("入力式が？  ０除算？ %d  %s \n\n %s ", status, text, quoted);
  }
  if (status != 0)
    return reporter.modelError("入力式が？.   %d  %s \n\n %s ", status, text, quoted);
  const double v = result.value;
  if (double* fields = fieldRow(model, p)) fields[0] = v;
  if (record.typeCode <= 92) {
    model.parameters[statement.id] = v;
    return 0;
  }
  return runBlock(model, run, reporter, p, v, quoted);
}

// Other types: lines 2..10 are fields 1..9, then the block of the statement's kind.
int evaluateFieldStatement(Model& model, Run& run, Reporter& reporter, int p,
                           const ValueSources& sources, const char* quoted) {
  const StatementRecord& record = model.records[model.parameterStatements[p].statementLine];
  double* fields = fieldRow(model, p);
  BlockLines lines(record.blockText);
  char text[kLineBytes];
  lines.next(text);
  for (int k = 1; k < kStatementLines; ++k) {
    double value = 0.0;
    if (lines.next(text)) {
      EvaluationResult result;
      if (evaluateText(text, sources, result) != 0) {
        return reporter.modelError(" データ式が？  \n\n %s ", quoted);
      }
      value = result.value;
    }
    if (fields != nullptr) fields[k - 1] = value;
  }
  return runBlock(model, run, reporter, p, fields != nullptr ? fields[0] : 0.0, quoted);
}

int evaluateStatements(Model& model, Run& run, Reporter& reporter) {
  const ValueSources sources = runSources(model, run);
  const int last = model.count.parameterStatements < kParameterStatementCapacity
                       ? model.count.parameterStatements
                       : kParameterStatementCapacity - 1;
  for (int p = 1; p <= last; ++p) {
    const ParameterStatement& statement = model.parameterStatements[p];
    if (statement.typeCode == 0) continue;
    const int line = statement.statementLine;
    const bool hasRecord = line >= 0 && line < kRecordCapacity;
    if (hasRecord && model.records[line].echoFlag == 1) continue;
    char quoted[kLineCopyBytes];
    quoteStatement(model, statement, quoted);

    int status = 0;
    if (!hasRecord) {
      status = runBlock(model, run, reporter, p, 0.0, quoted);
    } else if (const int type = model.records[line].typeCode; type == 80) {
      status = evaluateTableArgument(model, run, reporter, p, sources, quoted);
    } else if (type >= 90 && type <= 94) {
      status = evaluateInputStatement(model, run, reporter, p, sources, quoted);
    } else if (type > 80 && type <= 98) {
      status = evaluateFieldStatement(model, run, reporter, p, sources, quoted);
    }
    if (status != 0) return 9;
  }
  return 0;
}

}  // namespace

int runFormulaPass(Model& model, Run& run, Reporter& reporter, int mode) {
  ParameterStore& store = model.parameters;
  store[kZeroEntry] = 0.0;
  setStepFlags(store, run);
  drawNormalPair(store, run);
  drawUniforms(store, run);
  if (mode == kFormulaElementFields) return evaluateElementFields(model, run, reporter);
  if (mode == kFormulaStatements) return evaluateStatements(model, run, reporter);
  return 0;
}

double formulaField(const Model& model, int statement, int field) {
  if (statement < 1 || statement > model.count.parameterStatements ||
      statement >= kParameterStatementCapacity || field < 1 || field > kParameterColumns) {
    return 0.0;
  }
  const ParameterStatement& s = model.parameterStatements[statement];
  const int first = s.firstPoolRow;
  if (s.typeCode == 0 || s.typeCode == 80 || s.rowCount < kFieldBlockRows || first < 0 ||
      first >= kParameterRowPool) {
    return 0.0;
  }
  return model.parameterRows[first][field - 1];
}

}  // namespace movra

// The statement loop: walks the numbered model text, selects each line's record,
// checks the per-kind limits and hands the line to its statement reader.
#pragma once

#include "input/model.h"
#include "input/report.h"

namespace movra {

inline constexpr int kMessageLineBytes = 1024;

// One statement as its reader sees it.
struct StatementLine {
  Model& model;
  Reporter& reporter;
  int record = 0;               // index of the current StatementRecord
  int typeCode = 0;             // that record's type code
  const char* keyword = "";     // the full first word
  const char* rest = "";        // the line's own text after the keyword
  const char* messageLine = ""; // the numbered line without its comment, quoted in messages
  int linesToSkip = 0;          // continuation lines the reader has taken
};

// Presets the tables and reads every statement. Returns 0, or 9 after a reported
// model error.
int readStatements(Model& model, Reporter& reporter);

// Statement readers, one per statement kind.
int readViewStatement(StatementLine& line);           // ".vc"
int readOutputStatement(StatementLine& line);         // ".o"
int readOutputAxisStatement(StatementLine& line);     // ".oo"
int readOutputRangeStatement(StatementLine& line);    // ".or"
int readSupportSet(StatementLine& line);              // ".sd"
int readTable(StatementLine& line);                   // ":u"
int readFunctionStatement(StatementLine& line);       // type codes 81..96
int readElementStatement(StatementLine& line);        // every other keyword
int readTimeStatement(StatementLine& line);           // ".t", type code 71

// After the last statement: the elements that the interactive launch modes add,
// and the editor's node map applied to mechanical nodes of 100 and above.
int addInteractiveElements(Model& model, Reporter& reporter);
void applyNodeMap(Model& model);

// Model-wide checks after the last statement.
int checkModel(Model& model, Reporter& reporter);

// The engine settings every model starts from.
void presetEngineSettings(ParameterStore& parameters);

}  // namespace movra

// Parameter statements: support sets, tables and function statements. Each takes
// entries of the parameter-statement table; the data rows are read here too.
#include <cstdio>
#include <cstring>

#include "input/statement_reader.h"

namespace movra {

namespace {

int openParameterStatement(StatementLine& line) {
  Model& model = line.model;
  const int number = ++model.count.parameterStatements;
  ParameterStatement& statement = model.parameterStatements[number];
  statement.typeCode = line.typeCode;
  statement.statementLine = line.record;
  model.parameterStatementType[number] = line.typeCode;
  model.parameterStatementLine[number] = line.record;
  model.records[line.record].parameterStatementNumber = number;
  return number;
}

}  // namespace

int readSupportSet(StatementLine& line) {
  openParameterStatement(line);
  line.linesToSkip = line.model.records[line.record].continuationCount;
  return 0;
}

int readTable(StatementLine& line) {
  openParameterStatement(line);
  line.linesToSkip = line.model.records[line.record].continuationCount;
  return 0;
}

int readFunctionStatement(StatementLine& line) {
  openParameterStatement(line);
  return 0;
}

}  // namespace movra

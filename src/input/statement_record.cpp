#include "input/statement_record.h"

#include <cstring>

namespace movra {

void clearRecord(StatementRecord& record) {
  std::memset(&record, 0, sizeof record);
  record.elementNumber = -1;
}

namespace {
template <size_t N>
void terminate(char (&text)[N]) {
  text[N - 1] = 0;
}
}  // namespace

void terminateTexts(StatementRecord& record) {
  terminate(record.drawingAnnotation);
  terminate(record.transcriptionAnnotation);
  terminate(record.outputAnnotation);
  terminate(record.echoText);
  terminate(record.blockText);
  for (auto& field : record.fieldText) terminate(field);
}

}  // namespace movra

// Builds a model the way the editor hands one over, without shared memory: one
// record per statement line, the text with CR LF line ends.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/model.h"
#include "input/report.h"

namespace movra::testing {

struct RecordLine {
  std::string text;                 // the statement line as in the model text
  int typeCode = 0;
  int continuationCount = 0;
  int echoFlag = 0;
  std::vector<std::string> fields;  // field texts 1..n; an empty text is "not given"
  std::vector<std::string> continuation;  // lines that follow in the text
  std::string block;                // block text, LF-separated
};

inline void fillRecord(StatementRecord& record, const RecordLine& line) {
  clearRecord(record);
  record.typeCode = line.typeCode;
  record.continuationCount = line.continuationCount;
  record.echoFlag = line.echoFlag;
  for (size_t k = 0; k < line.fields.size() && k < static_cast<size_t>(kFieldCount); ++k) {
    std::snprintf(record.fieldText[k + 1], kFieldTextBytes, "%s", line.fields[k].c_str());
    record.fieldPresent[k + 1] = line.fields[k].empty() ? 0 : 1;
  }
  std::snprintf(record.blockText, kBlockTextBytes, "%s", line.block.c_str());
}

// Records and text for the lines; the text is set as is (with a final CR LF).
inline void handOver(Model& model, const std::vector<RecordLine>& lines) {
  std::string text;
  for (size_t r = 0; r < lines.size(); ++r) {
    fillRecord(model.records[r], lines[r]);
    text += lines[r].text + "\r\n";
    for (const std::string& extra : lines[r].continuation) text += extra + "\r\n";
  }
  model.lastRecordIndex = static_cast<int>(lines.size()) - 1;
  std::snprintf(model.modelText, sizeof model.modelText, "%s", text.c_str());
}

// Collects every message shown.
struct MessageLog {
  std::vector<std::string> texts;
  static int record(void* context, MessageKind, const char*, const char* text) {
    static_cast<MessageLog*>(context)->texts.emplace_back(text);
    return 1;
  }
  MessageSink sink() { return MessageSink{record, this}; }
  bool contains(const std::string& fragment) const {
    for (const std::string& text : texts) {
      if (text.find(fragment) != std::string::npos) return true;
    }
    return false;
  }
};

}  // namespace movra::testing

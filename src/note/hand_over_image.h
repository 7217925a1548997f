// What the editor hands over for one model: the records, the node tables, the model
// text, and the map back to the model file's own lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "input/model.h"
#include "input/statement_record.h"

namespace movra::note {

// A label the model gives an output item; it names the item in plots and is
// never handed over.
struct OutputLabel {
  int fileLine = 0;
  std::string item;  // as written: "x2.9", "c1102"
  std::string text;
};

struct HandOverImage {
  std::vector<StatementRecord> records;  // records 0..A (A = records.size() - 1)
  std::unique_ptr<NodeTables> nodes = std::make_unique<NodeTables>();
  std::string modelText;                 // lines ended by CR LF, as the simulator reads them
  int secondCount = 0;                   // the second number of "quillC0"
  std::vector<int> recordFileLine;       // record index -> model file line (1-based)
  std::vector<int> textFileLine;         // model-text line index -> model file line (1-based)
  std::vector<int> placedNodes;          // nodes given a position by ".in"
  std::vector<OutputLabel> outputLabels;  // in file order
};

// The model file's line of the record an error report names, 0 when unknown.
inline int reportFileLine(const HandOverImage& image, int record) {
  return record >= 0 && record < static_cast<int>(image.recordFileLine.size())
             ? image.recordFileLine[static_cast<size_t>(record)]
             : 0;
}

// A mistake in the model file, at its own line (1-based).
struct FileError {
  int line = 0;
  std::string message;
};

}  // namespace movra::note

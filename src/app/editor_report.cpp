#include "app/editor_report.h"

#include <vector>

#include "platform/editor_link.h"

namespace movra::app {

int reportErrorToEditor(const Model& model, const Run& run, Reporter& reporter,
                        const std::string& editorId) {
  std::vector<char> text(kMessageBytes);
  const int record = takeLineMarker(reporter.errorBuffer(), model.lastRecordIndex, text.data(),
                                    static_cast<int>(text.size()));
  const int line = record >= 0 ? record : kNoLine;
  const bool calculated = run.kt > 0;
  if (calculated) reporter.notice(" %s ", text.data());
  const int word = line + (calculated ? kRunErrorWord : kReadingErrorWord);
  platform::sendToEditor(editorId, word, text.data());
  return word;
}

}  // namespace movra::app

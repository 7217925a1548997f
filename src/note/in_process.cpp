#include "note/in_process.h"

#include <cstring>

#include "input/model_text.h"
#include "input/statement_reader.h"

namespace movra::note {

namespace {

struct Collector {
  Model* model;
  const HandOverImage* image;
  std::vector<ReaderMessage>* messages;
};

ReaderMessage mapMessage(const char* text, const Model& model, const HandOverImage& image) {
  ReaderMessage message;
  std::vector<char> cut(std::strlen(text) + 1);
  message.record = takeLineMarker(text, model.lastRecordIndex, cut.data(), static_cast<int>(cut.size()));
  message.text = cut.data();
  if (message.record < 0) message.record = model.currentRecord;
  if (message.record >= 0 && message.record < static_cast<int>(image.recordFileLine.size())) {
    message.fileLine = image.recordFileLine[message.record];
  }
  return message;
}

int collect(void* context, MessageKind, const char*, const char* text) {
  auto& collector = *static_cast<Collector*>(context);
  collector.messages->push_back(mapMessage(text, *collector.model, *collector.image));
  return 1;  // questions are answered yes, as the headless host does
}

}  // namespace

void loadImage(const HandOverImage& image, Model& model) {
  const int count = static_cast<int>(image.records.size());
  const int kept = count < kRecordCapacity ? count : kRecordCapacity;
  for (int r = 0; r < kept; ++r) {
    std::memcpy(static_cast<void*>(&model.records[r]), &image.records[r], sizeof(StatementRecord));
    terminateTexts(model.records[r]);
  }
  model.lastRecordIndex = kept - 1;
  model.secondCount = image.secondCount;
  model.nodes = *image.nodes;
  const size_t length = image.modelText.size() < static_cast<size_t>(kModelTextBytes)
                            ? image.modelText.size()
                            : static_cast<size_t>(kModelTextBytes);
  std::memcpy(model.modelText, image.modelText.data(), length);
  model.modelText[length] = 0;
}

ReadOutcome readImage(const HandOverImage& image, Model& model, int handOverMode,
                      const std::string& controlKeyFile) {
  ReadOutcome outcome;
  loadImage(image, model);
  model.handOverMode = handOverMode;
  model.interactionMode = handOverMode == 3 ? 1 : (handOverMode == 4 ? 2 : 0);

  Collector collector{&model, &image, &outcome.messages};
  Reporter reporter;
  reporter.setSink(MessageSink{collect, &collector});
  // The text is already in the model: numbering and the key file only.
  outcome.textStatus = numberModelText(model, reporter, controlKeyFile);
  if (outcome.textStatus == 0) {
    reporter.setHandOverMode(0);  // every message reaches the collector
    outcome.statementStatus = readStatements(model, reporter);
  }
  return outcome;
}

std::string formatFileMessage(const std::string& file, const ReaderMessage& message) {
  std::string text;
  bool blank = true;
  for (const char c : message.text) {
    const bool isBlank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (isBlank) {
      if (!blank) text += ' ';
      blank = true;
    } else {
      text += c;
      blank = false;
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  std::string prefix = file + ":";
  if (message.fileLine > 0) prefix += std::to_string(message.fileLine) + ":";
  return prefix + " " + text;
}

}  // namespace movra::note

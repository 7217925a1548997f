#include "input/report.h"

#include <cstdio>
#include <cstring>

namespace movra {

const char* captionOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::ModelError:
      return " movra  note .._ ";
    case MessageKind::Notice:
      return " movra  note .";
    case MessageKind::FileRefusal:
      return " movra  note ...";
    case MessageKind::Question:
      return " movra  note";
  }
  return "";
}

int Reporter::deliver(MessageKind kind, const char* format, va_list args) {
  std::vsnprintf(text_, sizeof text_, format, args);
  ++messageCount_;
  const bool collected = kind == MessageKind::ModelError || kind == MessageKind::FileRefusal;
  if (collected && handOverMode_ > 0) {
    // Each error replaces the last: the editor shows the most recent one.
    std::memcpy(errorBuffer_, text_, sizeof errorBuffer_);
    return 0;
  }
  if (sink_.show == nullptr) return 1;
  return sink_.show(sink_.context, kind, captionOf(kind), text_);
}

int Reporter::modelError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  deliver(MessageKind::ModelError, format, args);
  va_end(args);
  return 9;
}

void Reporter::notice(const char* format, ...) {
  va_list args;
  va_start(args, format);
  deliver(MessageKind::Notice, format, args);
  va_end(args);
}

void Reporter::refusal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  deliver(MessageKind::FileRefusal, format, args);
  va_end(args);
}

bool Reporter::ask(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int answer = deliver(MessageKind::Question, format, args);
  va_end(args);
  return answer != 0;
}

int takeLineMarker(const char* message, int lastRecord, char* text, int textSize) {
  std::snprintf(text, static_cast<size_t>(textSize), "%s", message);
  const char* dollar = std::strchr(message, '$');
  if (dollar == nullptr) return -1;
  int number = -1;
  if (std::sscanf(dollar + 1, "%3d", &number) != 1 || number < 0 || number > lastRecord) return -1;
  const size_t before = static_cast<size_t>(dollar - message);
  const size_t markerEnd = strnlen(dollar, 6);
  std::snprintf(text, static_cast<size_t>(textSize), "%.*s%s", static_cast<int>(before), message,
                dollar + markerEnd);
  return number;
}

namespace {
int showOnConsole(void* context, MessageKind kind, const char* caption, const char* text) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  if (kind != MessageKind::Question) return 1;
  const int* answerYes = static_cast<const int*>(context);
  const int yes = answerYes == nullptr ? 1 : *answerYes;
  std::fprintf(stderr, "  -> %s\n", yes ? "Y" : "N");
  return yes;
}
}  // namespace

MessageSink consoleSink(const int* answerYes) {
  MessageSink sink;
  sink.show = showOnConsole;
  sink.context = const_cast<int*>(answerYes);
  return sink;
}

}  // namespace movra

// The one way this program tells the user about a fault. A message is formatted
// into a 65536-byte buffer and shown in a modal box; while the editor launched the
// simulator the model-error texts are kept in the ErrorBuffer instead and reported
// to the editor after the run. The box itself belongs to whoever installs a sink
// (the window, a console, a test).
#pragma once

#include <cstdarg>
#include <cstddef>

#include "input/limits.h"

namespace movra {

enum class MessageKind {
  ModelError,   // caption " movra  note .._ ", OK
  Notice,       // start-up notices, caption " movra  note ."
  FileRefusal,  // caption " movra  note ..."
  Question,     // Newton-iteration questions, caption " movra  note", yes/no
};

const char* captionOf(MessageKind kind);

// Shows one message; for a question returns 1 for yes, 0 for no.
struct MessageSink {
  int (*show)(void* context, MessageKind kind, const char* caption, const char* text) = nullptr;
  void* context = nullptr;
};

class Reporter {
 public:
  void setSink(MessageSink sink) { sink_ = sink; }
  void setHandOverMode(int mode) { handOverMode_ = mode; }
  int handOverMode() const { return handOverMode_; }

  // A model or element error: stored in the ErrorBuffer under the editor, else
  // shown. Returns 9, the status of a reported model error.
  int modelError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Shown in every mode.
  void notice(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A file that cannot be opened; collected like a model error under the editor.
  void refusal(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Asks yes/no; without a sink the answer is yes.
  bool ask(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const char* errorBuffer() const { return errorBuffer_; }
  bool hasCollectedError() const { return errorBuffer_[0] != 0; }
  void clearErrorBuffer() { errorBuffer_[0] = 0; }
  // The text of the most recent message of any kind.
  const char* lastText() const { return text_; }
  int messageCount() const { return messageCount_; }

 private:
  int deliver(MessageKind kind, const char* format, va_list args);

  MessageSink sink_;
  int handOverMode_ = 0;
  int messageCount_ = 0;
  char text_[kMessageBytes] = {};
  char errorBuffer_[kMessageBytes] = {};
};

// Finds the "$%3d  " marker of a quoted statement line in a message. Returns the
// statement number when it lies in 0..lastRecord, else -1; text is then cut at the
// marker with the line's own text put in its place (the whole text when none).
int takeLineMarker(const char* message, int lastRecord, char* text, int textSize);

// A sink that prints "caption: text" to standard error and answers questions
// with a fixed answer (the headless host's form).
MessageSink consoleSink(const int* answerYes);

}  // namespace movra

#include "app/message_box_sink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace movra::app {

namespace {

int showBox(void* raw, MessageKind kind, const char* caption, const char* text) {
  auto* context = static_cast<MessageBoxContext*>(raw);
  ++context->shown;
  const bool question = kind == MessageKind::Question;
  if (boxesCannotBeAnswered()) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return question ? context->offscreenAnswer : 1;
  }
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(caption), QString::fromUtf8(text),
                  question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                  context->parent);
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  return box.exec() == QMessageBox::No ? 0 : 1;
}

}  // namespace

bool boxesCannotBeAnswered() {
  return QGuiApplication::platformName() == QLatin1String("offscreen") ||
         QGuiApplication::platformName() == QLatin1String("minimal");
}

MessageSink messageBoxSink(MessageBoxContext* context) {
  return MessageSink{showBox, context};
}

}  // namespace movra::app

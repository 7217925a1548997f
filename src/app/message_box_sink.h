// The window's way of showing the reporter's messages: a modal, topmost box with
// the caption of the message kind, a question icon and OK, or yes/no for the
// questions of the Newton iteration.
#pragma once

#include <QWidget>

#include "input/report.h"

namespace movra::app {

struct MessageBoxContext {
  QWidget* parent = nullptr;
  // Nobody can answer a box on the offscreen platform: the text goes to standard
  // error and a question takes this answer (1 yes, 0 no).
  int offscreenAnswer = 1;
  int shown = 0;
};

// The context must outlive the reporter's use of the sink.
MessageSink messageBoxSink(MessageBoxContext* context);

// True where a box would wait for a user who cannot see it.
bool boxesCannotBeAnswered();

}  // namespace movra::app

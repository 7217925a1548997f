#include "app/toolbar.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QToolTip>

#include "app/main_window.h"
#include "view/drawing_surface.h"

namespace movra::app {

namespace {

struct ButtonText {
  int index;
  const char* label;
  const char* role;  // shown as the tool tip
};

const ButtonText kButtons[] = {
    {kCloseButton, "　閉じる　", ""},
    {kGraphButton, "[Ｇ]", "グラフ"},
    {kNodeNumbersButton, "Ｎ", "節番号"},
    {kForcesButton, "Ｆ", "力"},
    {kElementsButton, "Ｅ", "要素"},
    {kAfterimageButton, "＆", "残像"},
    {kJumpButton, "|-", "初め・終り/繰返し"},
    {kFastRewindButton, "<<", "早戻し"},
    {kBackButton, "_<", "戻す"},
    {kForwardButton, ">_", "進む"},
    {kFastForwardButton, ">>", "早送り"},
};

// The row as it reads once the separators are in: a count of separators, or a
// button index.
struct RowItem {
  int separators;
  int button;
};

const RowItem kRow[] = {
    {14, -1},
    {0, kCloseButton},
    {6, -1},
    {0, kGraphButton},
    {0, kNodeNumbersButton},
    {0, kForcesButton},
    {0, kElementsButton},
    {0, kAfterimageButton},
    {7, -1},
    {0, kJumpButton},
    {0, kFastRewindButton},
    {0, kBackButton},
    {0, kForwardButton},
    {0, kFastForwardButton},
    {1, -1},
};

constexpr int kSeparatorWidth = 8;
constexpr int kButtonTop = 1;
constexpr int kButtonHeight = kToolbarBand - 2;
constexpr int kFontHeight = 12;

bool isToggle(int index) {
  return index >= kGraphButton && index <= kAfterimageButton;
}

}  // namespace

Toolbar::Toolbar(MainWindow& window)
    : QWidget(&window),
      window_(window),
      run_(window.run()),
      view_(window.viewState()),
      paintedKt_(window.run().kt) {
  setObjectName(QStringLiteral("toolbar"));
  setAutoFillBackground(true);
  QFont font = view::makeFont(kFontHeight);
  font.setBold(true);
  setFont(font);
  buildButtons();
  // Created at the top, screen wide and 40 high, then sized to its buttons: the
  // band above the pictures.
  setGeometry(0, 0, window.workSurface().width(), kToolbarCreatedHeight);
  layOutButtons();
  setFixedHeight(kToolbarBand);
  showToggles();

  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  show();
}

Toolbar::~Toolbar() = default;

void Toolbar::buildButtons() {
  for (const ButtonText& text : kButtons) {
    auto* button = new QToolButton(this);
    button->setText(QString::fromUtf8(text.label));
    if (text.role[0] != '\0') button->setToolTip(QString::fromUtf8(text.role));
    button->setObjectName(QStringLiteral("button%1").arg(kFirstButtonId + text.index));
    button->setProperty("commandId", kFirstButtonId + text.index);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    // The bar decides what every press means; the buttons only show it.
    button->setAttribute(Qt::WA_TransparentForMouseEvents);
    buttons_[text.index] = button;
  }
}

void Toolbar::layOutButtons() {
  int x = 0;
  for (const RowItem& item : kRow) {
    if (item.button < 0) {
      x += item.separators * kSeparatorWidth;
      continue;
    }
    QToolButton* b = buttons_[item.button];
    const int width = b->sizeHint().width();
    b->setGeometry(x, kButtonTop, width, kButtonHeight);
    x += width;
  }
}

QToolButton* Toolbar::button(int index) const {
  return index >= 0 && index < kButtonSlots ? buttons_[index] : nullptr;
}

int Toolbar::hitTest(QPoint point) const {
  for (int i = 0; i < kButtonSlots; ++i) {
    if (buttons_[i] == nullptr) continue;
    const QRect r = buttons_[i]->geometry();
    // Strictly inside on all four sides: the border pixels belong to no button.
    if (point.x() > r.left() && point.x() < r.left() + r.width() && point.y() > r.top() &&
        point.y() < r.top() + r.height()) {
      return i;
    }
  }
  return kNoButton;
}

bool& Toolbar::toggle(int index) {
  view::DisplayToggles& t = view_.toggles;
  switch (index) {
    case kGraphButton:
      return t.graph;
    case kNodeNumbersButton:
      return t.nodeNumbers;
    case kForcesButton:
      return t.forces;
    case kElementsButton:
      return t.elements;
    default:
      return t.afterimage;
  }
}

void Toolbar::showToggle(int index) {
  buttons_[index]->setDown(false);
  buttons_[index]->setChecked(toggle(index));
}

void Toolbar::showToggles() {
  for (int i = kGraphButton; i <= kAfterimageButton; ++i) showToggle(i);
}

void Toolbar::setDown(int index, bool down) {
  buttons_[index]->setDown(down);
}

void Toolbar::followWidth(int width) {
  resize(width, height());
}

void Toolbar::shutDown() {
  stopTimer();
}

// --- pointer ---

void Toolbar::mousePressEvent(QMouseEvent* event) {
  // Right presses and releases are swallowed; they must not hold the run.
  if (event->button() == Qt::LeftButton) press(event->position().toPoint());
  event->accept();
}

void Toolbar::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void Toolbar::mouseMoveEvent(QMouseEvent* event) {
  // Kept here: a drag that started on the bar is no time-bar drag.
  event->accept();
}

void Toolbar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) release(event->position().toPoint());
  event->accept();
}

bool Toolbar::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    // The buttons let the pointer through, so their tips are shown from here.
    auto* help = static_cast<QHelpEvent*>(event);
    const int hit = hitTest(help->pos());
    if (hit != kNoButton && !buttons_[hit]->toolTip().isEmpty()) {
      QToolTip::showText(help->globalPos(), buttons_[hit]->toolTip(), this);
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

void Toolbar::press(QPoint point) {
  const int hit = hitTest(point);
  pressed_ = pending_ = hit;
  closePending_ = 0;
  if (hit == kCloseButton) {
    setDown(kCloseButton, true);
    closePending_ = 1;
    return;
  }
  if (isToggle(hit) && !toggle(hit)) {
    pending_ = -1;
    setDown(hit, true);
    return;
  }
  if (run_.running != 0) {
    // During a run only ">>" reacts, and it counts presses.
    if (hit == kFastForwardButton) {
      setDown(kFastForwardButton, true);
      ++run_.fastForwardCount;
    }
    return;
  }
  if (hit == kJumpButton) {
    jumpToEnd();
  } else if (hit >= kFastRewindButton && hit <= kFastForwardButton) {
    pressHold(hit);
  }
}

void Toolbar::release(QPoint point) {
  const int hit = hitTest(point);
  if (hit == kCloseButton && closePending_ == 1) {
    setDown(kCloseButton, false);
    window_.close();
    return;
  }
  setDown(kCloseButton, false);
  closePending_ = 0;
  if (isToggle(pressed_)) releaseToggle(pressed_, hit);

  if (run_.running != 0) {
    if (hit == kFastForwardButton) {
      setDown(kFastForwardButton, false);
      run_.fastForwardCount = 0;
    }
    return;
  }
  if (pressed_ == kJumpButton) {
    if (hit == kJumpButton) {
      repeat_ = 0;
      setDown(kJumpButton, false);
    } else {
      // Dragged off: repeat on, starting from the first frame; the button stays
      // down to show it.
      repeat_ = 1;
      run_.currentFrame = 0;
      state_ = kAtFirstFrame;
    }
    stopTimer();
  }
  if (hit == pressed_ && hit >= kFastRewindButton && hit < kButtonSlots) {
    stopTimer();
    if (state_ >= kFastRewinding && state_ <= kFastForwarding) state_ = kPlaybackIdle;
  }
  // Released elsewhere, a hold button keeps stepping until an end stops it.
  repaint();
}

void Toolbar::releaseToggle(int index, int hit) {
  if (hit != index) pending_ = index;
  const bool on = pending_ == -1;
  toggle(index) = on;
  view_.redrawRequest = true;
  // The graph and the afterimage exclude each other.
  if (index == kGraphButton && on) view_.toggles.afterimage = false;
  if (index == kAfterimageButton && on) view_.toggles.graph = false;
  if (index == kGraphButton || index == kAfterimageButton) {
    showToggle(kGraphButton);
    showToggle(kAfterimageButton);
  } else {
    showToggle(index);
  }
  if (index != kAfterimageButton) stopTimer();
  repaint();
  if (index != kGraphButton) return;

  // The graph button is the pause control of a running calculation.
  if (on && run_.running != 0 && run_.runEnded == 0) {
    window_.command(kPauseCommand);
  } else if (!on && run_.runEnded == 0 && run_.runRequest == 2) {
    repeat_ = 0;
    setDown(kJumpButton, false);
    run_.fastForwardCount = 0;
    setDown(kFastForwardButton, false);
    // The rest of the run goes on from the event loop, not inside this release.
    QMetaObject::invokeMethod(
        &window_, [this] { window_.command(kResumeCommand); }, Qt::QueuedConnection);
  }
}

// --- paint-time refresh ---

void Toolbar::beforePaint() {
  // Repaints are queued, so a quick run can start and end between two paints; the
  // step counter then tells that it ran.
  const bool ranUnseen = run_.running == 0 && lastRunning_ == 0 && run_.kt != paintedKt_;
  paintedKt_ = run_.kt;
  if (run_.running == lastRunning_ && !ranUnseen) return;
  lastRunning_ = run_.running;
  if (run_.running == 0) {
    // A run has just ended (or paused): show its graphs and stand at its end.
    if (!view_.toggles.afterimage) {
      view_.toggles.graph = true;
      showToggle(kGraphButton);
    }
    state_ = kAtLastFrame;
    buttons_[kJumpButton]->setEnabled(true);
  } else {
    buttons_[kJumpButton]->setEnabled(false);
  }
}

void Toolbar::afterPaint() {
  if (run_.running != 0) state_ = kPlaybackIdle;
  bool checked[kButtonSlots] = {};
  bool enabled[kButtonSlots] = {};
  for (int i = kJumpButton; i <= kFastForwardButton; ++i) enabled[i] = run_.running == 0;
  if (state_ == kAtFirstFrame) enabled[kFastRewindButton] = enabled[kBackButton] = false;
  if (state_ >= kFastRewinding && state_ <= kFastForwarding) checked[kJumpButton + state_] = true;
  if (state_ == kAtLastFrame) enabled[kForwardButton] = false;
  enabled[kFastForwardButton] = state_ != kAtLastFrame;
  if (state_ != lastPaintedState_) {
    for (int i = kFastRewindButton; i <= kFastForwardButton; ++i) {
      buttons_[i]->setEnabled(enabled[i]);
      // While running, ">>" shows its fast-forward press instead.
      if (i == kFastForwardButton && run_.running != 0) continue;
      buttons_[i]->setChecked(checked[i]);
    }
  }
  lastPaintedState_ = state_;
  if (state_ >= kFastRewinding && state_ <= kFastForwarding && !timer_.isActive()) startTimer();
}

// --- installation ---

void installToolbar(MainWindow& window) {
  auto* bar = new Toolbar(window);
  ToolbarHooks& hooks = window.toolbarHooks();
  hooks.beforePaint = [bar] { bar->beforePaint(); };
  hooks.afterPaint = [bar] { bar->afterPaint(); };
  hooks.stopPlayback = [bar] { bar->stopPlayback(); };
  hooks.showToggles = [bar] { bar->showToggles(); };
  hooks.barPress = [bar](int x) { bar->barPress(x); };
  hooks.barMove = [bar](int x) { bar->barMove(x); };
  hooks.barRelease = [bar] { bar->barRelease(); };
  hooks.destroy = [bar] { bar->shutDown(); };
  hooks.resized = [bar](int width) { bar->followWidth(width); };
  bar->followWidth(window.width());
  bar->raise();
}

Toolbar* findToolbar(MainWindow& window) {
  return window.findChild<Toolbar*>(QStringLiteral("toolbar"), Qt::FindDirectChildrenOnly);
}

}  // namespace movra::app

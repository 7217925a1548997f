// The row of text buttons along the top of the main window and the playback of
// recorded frames it drives. The buttons never handle the pointer themselves: the
// bar takes every press and release, so that each button follows the toggle or
// press-and-hold rules below instead of the usual click. A precise timer steps
// held buttons and the time bar through the frames after a run.
#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include "engine/run.h"
#include "view/view_state.h"

class QToolButton;

namespace movra::app {

class MainWindow;

// Button indices in the row; 6, 7 and 13 are separators and never hit.
enum ToolbarButton : int {
  kCloseButton = 0,
  kGraphButton = 1,
  kNodeNumbersButton = 2,
  kForcesButton = 3,
  kElementsButton = 4,
  kAfterimageButton = 5,
  kJumpButton = 8,
  kFastRewindButton = 9,
  kBackButton = 10,
  kForwardButton = 11,
  kFastForwardButton = 12,
  kButtonSlots = 14,
  kNoButton = 14,  // hit test: nothing under the point
};

inline constexpr int kFirstButtonId = 500;  // button i has command id 500 + i
inline constexpr int kToolbarCreatedHeight = 40;
inline constexpr int kFastStep = 11;  // frames per step of "<<" and ">>"

// PlaybackState values.
enum PlaybackState : int {
  kPlaybackIdle = 0,
  kFastRewinding = 1,
  kSteppingBack = 2,
  kSteppingForward = 3,
  kFastForwarding = 4,
  kAtLastFrame = 5,
  kAtFirstFrame = 9,
};

// BarMode values.
enum BarMode : int {
  kBarNone = 0,
  kBarBack = 2,
  kBarForward = 3,
  kBarDragging = 11,
};

// The time bar: frames are laid out from this x, capacity frames per 600 pixels.
inline constexpr int kBarLeft = 100;
inline constexpr int kBarPixels = 600;

class Toolbar : public QWidget {
 public:
  explicit Toolbar(MainWindow& window);
  ~Toolbar() override;

  // The button at index 0..13, nullptr for the separators.
  QToolButton* button(int index) const;
  // The first button whose rectangle holds the point strictly inside, else kNoButton.
  int hitTest(QPoint point) const;

  // --- the window's hooks ---
  void beforePaint();
  void afterPaint();
  void stopPlayback();
  void showToggles();
  void barPress(int x);
  void barMove(int x);
  void barRelease();
  void shutDown();
  void followWidth(int width);

  // One playback tick: what the timer does at each period.
  void tick();

  int playbackState() const { return state_; }
  int barMode() const { return barMode_; }
  int repeatFlag() const { return repeat_; }
  int countdown() const { return countdown_; }
  bool timerActive() const { return timer_.isActive(); }
  int timerPeriod() const { return timer_.interval(); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void buildButtons();
  void layOutButtons();
  void press(QPoint point);
  void release(QPoint point);
  void releaseToggle(int index, int hit);
  bool& toggle(int index);
  void showToggle(int index);
  void setDown(int index, bool down);

  // --- playback (playback.cpp) ---
  int capacity() const;
  int frameUnderPointer(int x) const;
  void pressHold(int index);
  void jumpToEnd();
  void startTimer();
  void stopTimer();
  void repaint();

  MainWindow& window_;
  Run& run_;
  view::ViewState& view_;
  QToolButton* buttons_[kButtonSlots] = {};
  QTimer timer_;

  int pressed_ = kNoButton;
  int pending_ = kNoButton;  // -1: the press switches an off toggle on
  int closePending_ = 0;
  int repeat_ = 0;
  int lastRunning_ = 0;
  int paintedKt_ = 0;  // the driver's step counter at the last paint

  int state_ = kPlaybackIdle;
  int barMode_ = kBarNone;
  int countdown_ = 0;
  int lastPaintedState_ = -1;
};

// Creates the toolbar as a child of the window and connects it to the window's
// toolbar hooks.
void installToolbar(MainWindow& window);

// The toolbar installed in the window, nullptr when there is none.
Toolbar* findToolbar(MainWindow& window);

}  // namespace movra::app

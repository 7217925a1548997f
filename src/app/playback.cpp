// Playback of the recorded frames: the hold buttons, the timer tick that keeps a
// held button stepping, and the time bar along the main window.
#include <algorithm>

#include "app/main_window.h"
#include "app/toolbar.h"

namespace movra::app {

namespace {

// Floor division, so that points left of the bar give negative frames.
long long floorDivide(long long a, long long b) {
  const long long q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool stepping(int state) {
  return state >= kFastRewinding && state <= kFastForwarding;
}

}  // namespace

int Toolbar::capacity() const {
  return run_.frames.capacity;
}

int Toolbar::frameUnderPointer(int x) const {
  return static_cast<int>(
      floorDivide(static_cast<long long>(capacity()) * (x - kBarLeft), kBarPixels));
}

void Toolbar::startTimer() {
  timer_.start(std::max(1, run_.playbackPeriodMs));
}

void Toolbar::stopTimer() {
  timer_.stop();
}

void Toolbar::repaint() {
  window_.requestRepaint();
}

void Toolbar::stopPlayback() {
  stopTimer();
  state_ = kPlaybackIdle;
}

// "|-": a click alternates between frame 0 and the last frame.
void Toolbar::jumpToEnd() {
  if (run_.lastFrame < 0) return;  // nothing recorded yet
  if (state_ == kAtFirstFrame) {
    run_.currentFrame = run_.lastFrame;
    state_ = kAtLastFrame;
  } else {
    run_.currentFrame = 0;
    state_ = kAtFirstFrame;
  }
  setDown(kJumpButton, true);
  stopTimer();
  repaint();
}

// One step at the press of a hold button; the timer takes over after the
// countdown. A step that reaches an end stops there without a timer.
void Toolbar::pressHold(int index) {
  const int last = run_.lastFrame;
  if (last < 0) return;  // nothing recorded yet
  int& frame = run_.currentFrame;
  const auto keepStepping = [this](int state) {
    if (!timer_.isActive()) startTimer();
    countdown_ = run_.ticksPerThird;
    state_ = state;
  };
  switch (index) {
    case kFastRewindButton:
    case kBackButton: {
      const int step = index == kFastRewindButton ? kFastStep : 1;
      if (frame - step <= 0) {
        frame = 0;
        state_ = kAtFirstFrame;
      } else {
        frame -= step;
        keepStepping(index == kFastRewindButton ? kFastRewinding : kSteppingBack);
      }
      break;
    }
    case kForwardButton:
    case kFastForwardButton: {
      const int step = index == kFastForwardButton ? kFastStep : 1;
      if (frame + step < last) {
        frame += step;
        keepStepping(index == kFastForwardButton ? kFastForwarding : kSteppingForward);
      } else {
        frame = last;
        state_ = kAtLastFrame;
      }
      break;
    }
    default:
      return;
  }
  repaint();
}

void Toolbar::tick() {
  if (countdown_ >= 1) {
    --countdown_;
    return;
  }
  int& frame = run_.currentFrame;
  const int last = run_.lastFrame;
  // Repeat wraps forward stepping, but never while the time bar steps.
  const bool wrap = repeat_ == 1 && barMode_ == kBarNone;
  switch (state_) {
    case kFastRewinding:
      frame -= kFastStep;
      if (frame < 0) {
        frame = 0;
        stopTimer();
        state_ = kAtFirstFrame;
      }
      break;
    case kSteppingBack:
      if (frame < 1) {
        stopTimer();
        state_ = kAtFirstFrame;
      } else {
        frame -= 1;
      }
      break;
    case kSteppingForward:
      if (frame < last) {
        frame += 1;
      } else if (wrap) {
        frame = 0;
      } else {
        stopTimer();
        state_ = kAtLastFrame;
      }
      break;
    case kFastForwarding:
      frame += kFastStep;
      if (frame > last) {
        if (wrap) {
          frame = 0;
        } else {
          frame = last;
          stopTimer();
          state_ = kAtLastFrame;
        }
      }
      break;
    default:
      break;
  }
  repaint();
}

// --- time bar ---

void Toolbar::barPress(int x) {
  if (run_.lastFrame <= 0 || capacity() == 0) return;
  stopTimer();
  // A press on the far side of the current frame steps away from the pointer;
  // moving onto the current frame then picks it up for dragging.
  if (run_.currentFrame > frameUnderPointer(x)) {
    barMode_ = kBarForward;
    pressHold(kForwardButton);
  } else {
    barMode_ = kBarBack;
    pressHold(kBackButton);
  }
  repaint();
}

void Toolbar::barMove(int x) {
  const int last = run_.lastFrame;
  const int cap = capacity();
  if (last <= 0 || cap <= 0) return;
  int& frame = run_.currentFrame;
  if (state_ == kSteppingBack || state_ == kSteppingForward || state_ == kAtLastFrame ||
      state_ == kAtFirstFrame) {
    const int under = frameUnderPointer(x);
    const bool forward = state_ == kSteppingForward || state_ == kAtLastFrame;
    if ((forward && frame <= under) || (!forward && under <= frame)) {
      stopTimer();
      barMode_ = kBarDragging;
      state_ = kPlaybackIdle;
    }
  }
  if (barMode_ == kBarDragging) {
    const int length = static_cast<int>(static_cast<long long>(last) * kBarPixels / cap);
    if (x < kBarLeft) {
      frame = 0;
      state_ = kAtFirstFrame;
    } else if (x > kBarLeft + length) {
      frame = last;
      state_ = kAtLastFrame;
    } else {
      const int offset = x - kBarLeft;
      frame = static_cast<int>(static_cast<long long>(offset) * cap / kBarPixels);
      // PWM frames alternate between the on and off halves of a period; with a
      // frame or more per pixel the pointer's parity chooses the half.
      if (window_.model().pwmStatement > 0 && cap >= kBarPixels && frame % 2 != offset % 2) {
        frame += 1;
      }
      if (frame >= last) {
        frame = last;
        state_ = kAtLastFrame;
      } else if (frame <= 0) {
        frame = 0;
        state_ = kAtFirstFrame;
      }
    }
  }
  repaint();
}

void Toolbar::barRelease() {
  stopTimer();
  if (stepping(state_)) state_ = kPlaybackIdle;
  barMode_ = kBarNone;
  repaint();
}

}  // namespace movra::app

// Pointer and keys of the main window: holding the run with the right button,
// grabbing and dragging nodes in the interactive modes, the time bar in playback,
// and the wheel zoom of the view and of the quantity scales.
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

#include "app/main_window.h"

namespace movra::app {

namespace {

constexpr int kWheelNotch = 120;
constexpr int kMinimumAnchorWidth = 401;
constexpr int kMinimumAnchorHeight = 331;

QPoint clientPoint(const QMouseEvent* event) {
  return event->position().toPoint();
}

}  // namespace

// --- conversions ---

QPointF MainWindow::pixelToModel(QPointF pixel) const {
  const view::ViewWindow& w = state_.drawn;
  return QPointF(w.left + w.half + (pixel.x() - kViewCentreX) * w.half / kViewHalfPixels,
                 w.bottom + w.half - (pixel.y() - kViewCentreY) * w.half / kViewHalfPixels);
}

int MainWindow::unknownOf(int node, int axis) const {
  const int key = 10 * node + axis;
  return key > 0 && key < kUnknownKeyCapacity ? run_.unknownOfKey[key] : 0;
}

QPoint MainWindow::nodePixel(int node) const {
  const view::ViewWindow& w = state_.drawn;
  const double x = run_.X[unknownOf(node, 1)];
  const double y = run_.X[unknownOf(node, 2)];
  const double u = std::floor(kViewHalfPixels * (x - (w.left + w.half)) / w.half + 0.5);
  const double v = std::floor(kViewHalfPixels * (y - (w.bottom + w.half)) / w.half + 0.5);
  // A node far outside the view cannot be within reach; keep it off the int range.
  const auto clamp = [](double value) {
    return static_cast<int>(std::fmax(-1e6, std::fmin(1e6, value)));
  };
  return QPoint(kViewCentreX + clamp(u), kViewCentreY - clamp(v));
}

int MainWindow::findNodeAt(QPointF pixel) const {
  for (int node = 99; node >= 1; --node) {
    if (model_.nodes.kind[node] != 1 || unknownOf(node, 1) == 0) continue;
    const QPoint at = nodePixel(node);
    const double dx = at.x() - pixel.x();
    const double dy = at.y() - pixel.y();
    if (std::sqrt(dx * dx + dy * dy) <= kPickRadius) return node;
  }
  return -1;
}

void MainWindow::movePointerTo(QPoint client) {
  QCursor::setPos(mapToGlobal(client));
}

void MainWindow::storePointer(QPoint client) {
  const QPointF point = pixelToModel(client);
  entry(kPointerXEntry) = point.x();
  entry(kPointerYEntry) = point.y();
}

// --- buttons ---

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    run_.holdState = 1;
  } else if (event->button() == Qt::LeftButton) {
    leftPress(event);
  }
  event->accept();
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void MainWindow::leftPress(QMouseEvent* event) {
  run_.holdState = 0;
  leftDown_ = true;
  const int mode = run_.interactionMode;
  if (mode == 1 || mode == 2) {
    grabMouse();
    grabNode(clientPoint(event));
  } else if (mode == 0 && run_.running == 0 && hooks_.barPress) {
    hooks_.barPress(clientPoint(event).x());
  }
}

void MainWindow::grabNode(QPoint client) {
  storePointer(client);
  entry(kPreviousGrabEntry) = entry(kGrabbedNodeEntry);
  entry(kGrabbedNodeEntry) = -1;
  const int found = findNodeAt(client);
  const int mode = run_.interactionMode;
  if (model_.view.followedNodeX > 0 || model_.view.followedNodeY > 0) {
    // A view that follows a node moves under the pointer: dragging makes no sense.
    reporter_.modelError(" 節を中央に表示する場合、節の移動不可");
    if (mode == 1 && found > 0) movePointerTo(nodePixel(found));
    return;
  }
  if (found < 0) return;
  entry(kGrabbedNodeEntry) = found;
  movePointerTo(nodePixel(found));
  if (mode == 2 && found != static_cast<int>(entry(kPreviousGrabEntry))) {
    entry(kNewGrabEntry) = 1;
    const double x = run_.X[unknownOf(found, 1)];
    const double y = run_.X[unknownOf(found, 2)];
    for (int node : {kPointerNodeA, kPointerNodeB}) {
      if (const int ux = unknownOf(node, 1); ux != 0) run_.X[ux] = x;
      if (const int uy = unknownOf(node, 2); uy != 0) run_.X[uy] = y;
    }
  }
}

void MainWindow::releaseNode() {
  if (entry(kGrabbedNodeEntry) != -1 && entry(kHoldFlagEntry) != 1) {
    entry(kGrabbedNodeEntry) = -1;
    if (run_.interactionMode == 2) {
      for (int node : {kPointerNodeA, kPointerNodeB}) {
        if (const int ux = unknownOf(node, 1); ux != 0) run_.X[ux] = 0.0;
        if (const int uy = unknownOf(node, 2); uy != 0) run_.X[uy] = 0.0;
      }
    }
  }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) == 0) return;
  const int mode = run_.interactionMode;
  if (mode == 1 || mode == 2) {
    storePointer(clientPoint(event));
  } else if (mode == 0 && run_.running == 0 && hooks_.barMove) {
    hooks_.barMove(clientPoint(event).x());
  }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    showContextMenu(clientPoint(event));
  } else if (event->button() == Qt::LeftButton) {
    leftDown_ = false;
    const int mode = run_.interactionMode;
    if (mode == 1 || mode == 2) {
      releaseNode();
    } else if (hooks_.barRelease) {
      hooks_.barRelease();
    }
    if (QWidget::mouseGrabber() == this) releaseMouse();
  }
  event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (run_.interactionMode == 2 && event->key() == Qt::Key_Control && !event->isAutoRepeat()) {
    run_.controlKeyFlag = 1;
  }
  QWidget::keyPressEvent(event);
}

// --- wheel ---

void MainWindow::wheelEvent(QWheelEvent* event) {
  // Fine-grained wheels deliver fractions of a notch: a step is taken per whole notch.
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ -= notches * kWheelNotch;
  const int d = notches > 0 ? -1 : (notches < 0 ? 1 : 0);
  event->accept();
  if (d == 0) return;
  const QPoint client = event->position().toPoint();
  if (client.y() < kScaleZoneTop) {
    zoomView(d, client);
  } else {
    zoomScales(d, client, (event->modifiers() & Qt::ShiftModifier) != 0);
  }
  requestRepaint();
}

void MainWindow::zoomView(int d, QPoint client) {
  const int w = width();
  const int h = height();
  const int x = client.x();
  const int y = client.y();
  if (!(x > 0 && x < w - 1 && y > kToolbarBand - 1)) return;
  if ((d == 1 && state_.zoomLevel < view::kZoomLimit) ||
      (d == -1 && state_.zoomLevel > -view::kZoomLimit)) {
    state_.zoomLevel += d;
  }
  state_.requested.half = std::pow(kZoomStep, state_.zoomLevel) * state_.baseHalf;

  const view::ViewWindow& drawn = state_.drawn;
  const double s = kViewHalfPixels / drawn.half;
  const bool followX = model_.view.followedNodeX > 0;
  const bool followY = model_.view.followedNodeY > 0;
  const bool inside = x >= 1 && x < w - 1 && y >= kToolbarBand && y < h;
  const double pointerX = (x - view::kViewLeftPixel) / s + drawn.left;
  const double pointerY = (view::kViewBottomPixel - y) / s + drawn.bottom;
  QPointF anchor(drawn.left + drawn.half, drawn.bottom + drawn.half);
  if (inside && w >= kMinimumAnchorWidth && h >= kMinimumAnchorHeight && !followX && !followY) {
    // The point under the pointer becomes the centre, and the pointer follows it.
    anchor = QPointF(pointerX, pointerY);
    movePointerTo(QPoint(kViewCentreX, kViewCentreY));
  } else if (followX && !followY) {
    anchor.setY(pointerY);
    movePointerTo(QPoint(x, kViewCentreY));
  } else if (followY && !followX) {
    anchor.setX(pointerX);
    movePointerTo(QPoint(kViewCentreX, y));
  }
  state_.requested.left = anchor.x() - state_.requested.half;
  state_.requested.bottom = anchor.y() - state_.requested.half;
}

void MainWindow::zoomScales(int d, QPoint client, bool fine) {
  const double factor = fine ? kFineScaleStep : kScaleStep;
  if (client.x() < 0) return;
  const bool all = client.x() >= kAllColumnsX;
  const int column = client.x() / kScaleColumnWidth + 1;
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    if (!all && k != column) continue;
    if (d == 1 && state_.scaleLevel[k] < view::kZoomLimit) {
      state_.scale[k] *= factor;
      ++state_.scaleLevel[k];
    } else if (d == -1 && state_.scaleLevel[k] > -view::kZoomLimit) {
      state_.scale[k] /= factor;
      --state_.scaleLevel[k];
    }
    mirrorScale(k);
  }
}

}  // namespace movra::app

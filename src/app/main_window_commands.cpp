// The command table and the context menus of the main window.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <cmath>
#include <cstdio>

#include "app/editor_report.h"
#include "app/export.h"
#include "app/main_window.h"
#include "app/window_host.h"
#include "engine/driver.h"
#include "platform/editor_link.h"

namespace movra::app {

namespace {

constexpr int kViewWindowWord = platform::kViewWindowReport;
constexpr int kScalesWord = platform::kScalesReport;

QAction* addItem(QMenu* menu, const char* text, int id) {
  QAction* action = menu->addAction(QString::fromUtf8(text));
  action->setData(id);
  return action;
}

}  // namespace

void MainWindow::buildMenus() {
  viewMenu_ = new QMenu(this);
  addItem(viewMenu_, "元尺", kOriginalViewCommand);
  viewMenu_->addSeparator();
  addItem(viewMenu_, "適用.vc", kSendViewCommand);
  viewMenu_->addSeparator();
  addItem(viewMenu_, "中止", kStopCommand);
  viewMenu_->addSeparator();
  addItem(viewMenu_, "保持 /!", kHoldCommand)->setCheckable(true);
  viewMenu_->addSeparator();
  addItem(viewMenu_, "プロット", kPlotCommand);

  columnMenu_ = new QMenu(this);
  addItem(columnMenu_, "元ｽｹｰﾙ", kOriginalScaleCommand);
  columnMenu_->addSeparator();

  allColumnsMenu_ = new QMenu(this);
  addItem(allColumnsMenu_, "共に元ｽｹｰﾙ", kOriginalScaleCommand);
  allColumnsMenu_->addSeparator();
  addItem(allColumnsMenu_, "ｽｹｰﾙ適用.vc", kSendScalesCommand);
}

QMenu* MainWindow::menu(MenuKind kind) const {
  switch (kind) {
    case MenuKind::View:
      return viewMenu_;
    case MenuKind::Column:
      return columnMenu_;
    case MenuKind::AllColumns:
      return allColumnsMenu_;
  }
  return nullptr;
}

QAction* MainWindow::findAction(const QMenu* menu, int id) {
  if (menu == nullptr) return nullptr;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator() && action->data().toInt() == id) return action;
  }
  return nullptr;
}

QMenu* MainWindow::prepareContextMenu(QPoint client, MenuKind* kind) {
  if (model_.handOverMode == 1) return nullptr;  // the initial check has no menus
  MenuKind chosen = MenuKind::View;
  if (client.y() < kScaleZoneTop) {
    QAction* hold = findAction(viewMenu_, kHoldCommand);
    QAction* stop = findAction(viewMenu_, kStopCommand);
    hold->setEnabled(model_.handOverMode >= 3);
    findAction(viewMenu_, kPlotCommand)->setEnabled(run_.lastFrame >= 0);
    if (run_.running != 0) stop->setEnabled(true);
    if (run_.runEnded == 1) {
      stop->setEnabled(false);
      hold->setEnabled(false);
      hold->setChecked(false);
    }
  } else {
    chosen = client.x() >= kAllColumnsX ? MenuKind::AllColumns : MenuKind::Column;
  }
  if (kind != nullptr) *kind = chosen;
  return menu(chosen);
}

void MainWindow::showContextMenu(QPoint client) {
  selectedColumn_ = 0;
  MenuKind kind = MenuKind::View;
  QMenu* shown = prepareContextMenu(client, &kind);
  if (shown == nullptr) return;
  QPoint at;
  if (kind == MenuKind::View) {
    // The view menu opens at the top-left of the view area, not at the pointer.
    at = mapToGlobal(QPoint(0, 23));
  } else {
    const QPoint pointer = mapToGlobal(client);
    at = QPoint(pointer.x() + 5, pointer.y() - shown->sizeHint().height());
  }
  lastMenuPosition_ = at;
  QAction* picked = shown->exec(at);
  if (kind != MenuKind::View) {
    // The column is taken when the menu has closed, before its command runs.
    const int x = client.x();
    selectedColumn_ =
        x >= kAllColumnsX ? kAllColumnsSelection + selectedColumn_ : x / kScaleColumnWidth + 1;
  }
  if (picked != nullptr) command(picked->data().toInt());
}

void MainWindow::applyHoldCheck() {
  findAction(viewMenu_, kHoldCommand)->setChecked(entry(kHoldFlagEntry) == 1.0);
}

void MainWindow::command(int id) {
  switch (id & 0xFFFF) {
    case kHoldCommand:
      entry(kHoldFlagEntry) = entry(kHoldFlagEntry) == 1.0 ? 0.0 : 1.0;
      applyHoldCheck();
      break;
    case kStopCommand:
      if (run_.runRequest != 2) graphs_->fillGray();
      run_.runRequest = 2;
      run_.runEnded = 1;
      setEndedTitle();
      state_.toggles.graph = true;
      if (hooks_.showToggles) hooks_.showToggles();
      entry(kHoldFlagEntry) = 0.0;
      applyHoldCheck();
      requestRepaint();
      command(kExportCommand);
      break;
    case kOriginalViewCommand:
    case kAutomaticViewCommand:
      // Nothing keeps a window apart from the display statement's, so both
      // commands return to it.
      state_.baseHalf = model_.view.halfSize > 0 ? model_.view.halfSize : 1.0;
      state_.requested.half = state_.baseHalf;
      state_.requested.left = model_.view.left;
      state_.requested.bottom = model_.view.bottom;
      state_.zoomLevel = 0;
      run_.holdState = 0;
      requestRepaint();
      break;
    case kOriginalScaleCommand:
      resetScales(selectedColumn_);
      run_.holdState = 0;
      requestRepaint();
      break;
    case kPlotCommand:
      openPlots();
      break;
    case kExportCommand:
      if (run_.lastFrame < 0) break;
      if (exportOutputs(model_, run_, reporter_, outputDirectory_)) {
        noteWritten(outputDirectory_ + "out.txt");
      } else {
        noteNotWritten();
      }
      if (csvPath_.empty()) break;
      if (exportCsv(model_, run_, reporter_, csvPath_)) {
        noteWritten(csvPath_);
      } else {
        noteNotWritten();
      }
      break;
    case kReportCommand:
      if (model_.handOverMode > 0) {
        reportErrorToEditor(model_, run_, reporter_, launch_.at(4));
        // An error found while reading ends the simulator.
        if (run_.kt == 0) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      }
      break;
    case kSendScalesCommand:
      sendScalesToEditor();
      break;
    case kPauseCommand:
      setWindowTitle(pausedTitle());
      graphs_->fillGray();
      run_.runRequest = 2;
      requestRepaint();
      break;
    case kResumeCommand:
      resumeRun();
      break;
    case kSendViewCommand:
      sendViewToEditor();
      break;
    default:
      break;  // 40006 and anything unknown do nothing
  }
}

void MainWindow::resetScales(int selection) {
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    if (selection < kAllColumnsSelection && k != selection) continue;
    state_.scale[k] = state_.baseScale[k];
    state_.scaleLevel[k] = 0;
    mirrorScale(k);
  }
}

// The evaluators size their force and moment arrows from the model's current
// scales, so the model follows every change made here.
void MainWindow::mirrorScale(int column) {
  model_.view.quantityScale[column] = state_.scale[column];
}

void MainWindow::sendViewToEditor() {
  if (model_.handOverMode <= 0) return;  // only the editor can take the window
  char text[128];
  std::snprintf(text, sizeof text, " %9.3g %9.3g %9.3g ", state_.drawn.left + state_.drawn.half,
                state_.drawn.bottom + state_.drawn.half, state_.requested.half);
  run_.holdState = 1;
  platform::sendToEditor(launch_.at(4), kViewWindowWord, text);
  run_.holdState = 0;
}

void MainWindow::sendScalesToEditor() {
  if (model_.handOverMode <= 0) return;
  char text[256];
  int used = 0;
  used += std::snprintf(text, sizeof text, " ");
  for (int k = 1; k <= kQuantityScaleCount; ++k) {
    used += std::snprintf(text + used, sizeof text - used, "%9.2g ", state_.scale[k]);
  }
  run_.holdState = 1;
  platform::sendToEditor(launch_.at(4), kScalesWord, text);
  run_.holdState = 0;
}

void MainWindow::resumeRun() {
  graphs_->fillGray();
  setWindowTitle(runningTitle());
  run_.runRequest = -2;
  run_.holdState = 0;
  // The rest of the calculation runs nested inside this command's dispatch.
  const int result = runSimulation(model_, run_, reporter_, *host_);
  if (result == kRunRefused) {
    // Closed during the rest of the run: what was recorded is still written.
    if (run_.runRequest == 1 && settleClosedRun(run_)) command(kExportCommand);
    postDestroy();
  }
  if (run_.runEnded == 1) setEndedTitle();
  requestRepaint();
}

void MainWindow::noteNotWritten() {
  outputFailed_ = true;
  // Under the editor the message was only collected; the report of the run has
  // gone already, so it is sent on its own.
  if (model_.handOverMode > 0 && reporter_.hasCollectedError()) {
    reportErrorToEditor(model_, run_, reporter_, launch_.at(4));
    reporter_.clearErrorBuffer();
  }
}

void MainWindow::noteWritten(const std::string& path) {
  if (writtenOutputs_.find(path) != std::string::npos) return;
  if (!writtenOutputs_.empty()) writtenOutputs_ += ", ";
  writtenOutputs_ += path;
}

}  // namespace movra::app

// The run commands of the editor window and the simulator's reports.
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>

#include "editor/editor_window.h"
#include "platform/instance_registry.h"

namespace movra::editor {

namespace {

QString modeName(const std::string& marker) {
  if (marker == "_a1_") return EditorWindow::tr("check");
  if (marker == "_a3_") return EditorWindow::tr("interactive run (a3)");
  if (marker == "_a4_") return EditorWindow::tr("real-time interactive run (a4)");
  return EditorWindow::tr("run");
}

// The simulator's exit status in words (docs/usage.md lists them).
QString endWords(int code, bool crashed) {
  if (crashed || code >= 128) return EditorWindow::tr("ended by a signal (status %1)").arg(code);
  switch (code) {
    case 0:
      return EditorWindow::tr("ended normally (status 0)");
    case 5:
      return EditorWindow::tr("stopped by the user (status 5)");
    case 19:
      return EditorWindow::tr("a hand-over block could not be read (status 19)");
    case 51:
      return EditorWindow::tr("refused or aborted (status 51)");
    case 74:
      return EditorWindow::tr("a result file could not be written (status 74)");
    default:
      return EditorWindow::tr("ended with status %1").arg(code);
  }
}

}  // namespace

void EditorWindow::runCurrent(const char* modeMarker) {
  ModelTab* tab = currentTab();
  if (tab == nullptr) return;
  ModelPane* pane = tab->pane();
  const QString name = pane->path().isEmpty() ? QStringLiteral("untitled.model")
                                              : QFileInfo(pane->path()).fileName();
  const QString what = modeName(modeMarker);
  if (mailbox_ == nullptr || !mailbox_->ok()) {
    QMessageBox::warning(this, tr("Run"),
                         tr("The editor cannot receive the simulator's reports: %1")
                             .arg(QString::fromStdString(mailbox_ ? mailbox_->refusal() : "")));
    return;
  }
  // The simulator would refuse in a box of its own; say why here, in words.
  const StartRefusal refusal = startRefusal(platform::TitleRegistry().countMarkers());
  if (refusal != StartRefusal::kNone) {
    const QString why =
        refusal == StartRefusal::kCalculating
            ? tr("Another simulator is still calculating, and only one calculation runs at a "
                 "time. Stop it (Stop, or 中止 in its view menu) or wait until it ends, then "
                 "start again.")
            : tr("%1 finished simulator windows are open, as many as the simulator allows. "
                 "Close one of them, then start again.")
                  .arg(kFinishedWindowLimit);
    appendOutput(tr("%1: the %2 was not started. %3").arg(name, what, why));
    runState_->setText(tr("%1: not started").arg(name));
    QMessageBox::information(this, tr("Not started"), why);
    return;
  }
  pane->clearRunError();
  appendOutput(tr("--- %1 of %2 ---").arg(what, name));
  RunPlan plan = planRun(pane->textUtf8(), pane->path().toStdString(), name.toStdString());
  for (const PlanLine& line : plan.lines) appendOutput(QString::fromStdString(line.text));
  if (!plan.ok) {
    runState_->setText(tr("%1: not started, the model has mistakes").arg(name));
    for (const PlanLine& line : plan.lines) {
      if (line.error && line.line > 0) {
        pane->goToLine(line.line - 1);
        break;
      }
    }
    return;
  }
  // Every earlier simulator has copied its blocks long ago (none is calculating):
  // this run makes its own under the editor's names.
  for (int k = 0; k < tabs_->count(); ++k) {
    for (auto& earlier : tabAt(k)->runs()) earlier->releaseBlocks();
  }
  const std::string marker = modeMarker;
  auto session = std::make_unique<RunSession>(std::move(plan), name.toStdString(), marker,
                                              mailbox_->id(), marker == "_a1_");
  if (!session->started()) {
    appendOutput(tr("%1: the simulator could not be started: %2").arg(name, session->failure()));
    runState_->setText(tr("%1: not started").arg(name));
    return;
  }
  RunSession* run = session.get();
  connect(run, &RunSession::output, this, &EditorWindow::appendOutput);
  connect(run, &RunSession::report, this,
          [this, tab](const RunReport& report, const platform::EditorMessage& message) {
            showReport(tab, report, message);
          });
  connect(run, &RunSession::ended, this,
          [this, tab, run](int code, bool crashed) { runEnded(tab, run, code, crashed); });
  tab->runs().push_back(std::move(session));
  newestRun_ = run;
  runState_->setText(tr("%1: the simulator is open (%2)").arg(name, what));
  statusBar()->clearMessage();
}

void EditorWindow::stopCurrent() {
  ModelTab* tab = currentTab();
  if (tab == nullptr) return;
  for (auto& run : tab->runs()) {
    if (run->running()) run->stop();
  }
}

void EditorWindow::pollMailbox() {
  // Stop offers itself only while the current tab has a simulator to stop.
  bool running = false;
  if (ModelTab* tab = currentTab(); tab != nullptr) {
    for (const auto& run : tab->runs()) running = running || run->running();
  }
  stopAction_->setEnabled(running);
  if (mailbox_ == nullptr) return;
  for (const platform::EditorMessage& message : mailbox_->takeMessages()) {
    // The run whose simulator sent it; else the newest run (an unknown sender).
    RunSession* target = nullptr;
    for (int k = 0; k < tabs_->count() && target == nullptr; ++k) target = tabAt(k)->runOf(message.sender);
    if (target == nullptr && newestRun_ != nullptr && newestRun_->running()) target = newestRun_;
    if (target != nullptr) target->deliver(message);
  }
}

void EditorWindow::showReport(ModelTab* tab, const RunReport& report,
                              const platform::EditorMessage& message) {
  ModelPane* pane = tab->pane();
  const QString name = tabName(tab);
  const QString text = QString::fromStdString(report.message).simplified();
  switch (report.kind) {
    case RunReport::Kind::kError: {
      const QString hint = QString::fromStdString(report.hint);
      appendOutput(report.line > 0
                       ? QStringLiteral("%1:%2: %3").arg(name).arg(report.line).arg(text)
                       : QStringLiteral("%1: %2").arg(name, text));
      if (!hint.isEmpty()) appendOutput(QStringLiteral("  ") + hint);
      tabs_->setCurrentWidget(tab);
      pane->markRunError(report.line, hint.isEmpty() ? text : text + '\n' + hint);
      statusBar()->showMessage(tr("The simulator reported an error at line %1.").arg(report.line),
                               10000);
      break;
    }
    case RunReport::Kind::kViewWindow:
    case RunReport::Kind::kScales: {
      appendOutput(report.kind == RunReport::Kind::kViewWindow
                       ? tr("%1: view window: %2").arg(name, text)
                       : tr("%1: scales: %2").arg(name, text));
      tabs_->setCurrentWidget(tab);
      tab->proposeViewEdit(message.dataWord, message.text);
      break;
    }
    case RunReport::Kind::kOther:
      appendOutput(tr("%1: report %2: %3").arg(name).arg(message.dataWord).arg(text));
      break;
  }
}

void EditorWindow::runEnded(ModelTab* tab, RunSession* run, int code, bool crashed) {
  // What the simulator sent before it ended still belongs to this run.
  pollMailbox();
  const QString line = tr("%1: the simulator %2").arg(tabName(tab), endWords(code, crashed));
  appendOutput(line);
  runState_->setText(line);
  auto& runs = tab->runs();
  for (auto it = runs.begin(); it != runs.end(); ++it) {
    if (it->get() == run) {
      it->release()->deleteLater();
      runs.erase(it);
      break;
    }
  }
}

}  // namespace movra::editor

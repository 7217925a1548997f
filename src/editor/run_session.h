// One run of a model from the editor: the hand-over image of the buffer, the
// shared-memory blocks, and movra-sim started without blocking the window. The
// simulator's reports reach the session through the editor's one mailbox, which
// gives each report to the run whose simulator sent it.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "editor/run_plan.h"
#include "note/launcher.h"
#include "platform/editor_link.h"

namespace movra::editor {

class RunSession : public QObject {
  Q_OBJECT
 public:
  // Hands plan's image over and starts the simulator with the launch marker
  // ("_a1_".."_a4_") under the editor mailbox's id. started() tells whether it ran.
  // A batch run (the check) has no window and writes into a folder of its own,
  // removed with the session.
  RunSession(RunPlan plan, const std::string& modelName, const std::string& modeMarker,
             const std::string& editorId, bool batch = false, QObject* parent = nullptr);
  ~RunSession() override;

  bool started() const { return started_; }
  const QString& failure() const { return failure_; }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  long processId() const { return pid_; }
  const note::HandOverImage& image() const { return *plan_.image; }

  // What Ctrl-C does to "movra-note run": the simulator stops and keeps its frames.
  void stop();
  // The blocks are needed only while the simulator copies them; a later run of the
  // same editor makes its own under the same names.
  void releaseBlocks() { blocks_.reset(); }

  // A report the mailbox received from this run's simulator.
  void deliver(const platform::EditorMessage& message);

 signals:
  void output(const QString& line);
  void report(const movra::editor::RunReport& report,
              const movra::platform::EditorMessage& message);
  void ended(int exitCode, bool crashed);

 private:
  RunPlan plan_;
  std::unique_ptr<note::HandOverBlocks> blocks_;
  std::unique_ptr<QTemporaryDir> scratch_;
  QProcess process_;
  QByteArray pending_;
  bool started_ = false;
  long pid_ = 0;
  QString failure_;
};

}  // namespace movra::editor

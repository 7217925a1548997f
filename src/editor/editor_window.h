// The desktop model editor's main window: models in tabs, the outline and the
// run output in docks, the file and run commands in menus and a toolbar.
#pragma once

#include <QFileSystemWatcher>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "editor/model_tab.h"
#include "editor/recovery_store.h"
#include "platform/editor_link.h"

class QMenu;
class QAction;

namespace movra::editor {

class FindDialog;

class EditorWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit EditorWindow(QWidget* parent = nullptr);
  ~EditorWindow() override;

  // Opens a model in a tab of its own (or shows its tab); false when it cannot be read.
  bool openFile(const QString& path);
  void newFile();
  // Offers the recovery copies that editors which ended without closing left.
  void offerOrphanedCopies();

  ModelTab* currentTab() const;
  ModelTab* tabAt(int index) const;

  // Run commands on the current tab: marker "_a1_" (check) to "_a4_".
  void runCurrent(const char* modeMarker);
  void stopCurrent();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildActions();
  ModelTab* addTab(const QString& path);
  bool save(ModelTab* tab);
  bool saveAs(ModelTab* tab);
  bool writeFile(ModelTab* tab, const QString& path);
  bool closeTab(int index);
  bool maySetAside(ModelTab* tab);  // asks before unsaved work goes
  void updateTitles();
  void updateOutline();
  void addRecent(const QString& path);
  void fillRecentMenu();
  void fileChangedOnDisk(const QString& path);
  void openLocation(const QString& path, int line, int column);
  void pollMailbox();
  void showReport(ModelTab* tab, const RunReport& report, const platform::EditorMessage& message);
  void runEnded(ModelTab* tab, RunSession* run, int code, bool crashed);
  void writeRecovery(ModelTab* tab);
  void appendOutput(const QString& line);
  QString tabName(ModelTab* tab) const;

  QTabWidget* tabs_ = nullptr;
  QTreeWidget* outline_ = nullptr;
  QPlainTextEdit* output_ = nullptr;
  QLabel* runState_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  FindDialog* find_ = nullptr;
  QFileSystemWatcher watcher_;
  RecoveryStore recovery_;
  std::unique_ptr<platform::EditorMailbox> mailbox_;
  QTimer mailboxTimer_;
  int untitledCount_ = 0;
  QAction* stopAction_ = nullptr;
  QPointer<RunSession> newestRun_;  // where a report of an unknown sender goes
};

}  // namespace movra::editor

#include "editor/editor_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include "editor/find_dialog.h"
#include "note/model_file_text.h"

namespace movra::editor {

namespace {

constexpr int kRecentLimit = 10;
constexpr int kMailboxPollMs = 50;

QString absolute(const QString& path) {
  return QFileInfo(path).absoluteFilePath();
}

}  // namespace

EditorWindow::EditorWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("movraEditor"));
  tabs_ = new QTabWidget(this);
  tabs_->setTabsClosable(true);
  tabs_->setMovable(true);
  tabs_->setDocumentMode(true);
  setCentralWidget(tabs_);
  connect(tabs_, &QTabWidget::tabCloseRequested, this, &EditorWindow::closeTab);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] {
    if (currentTab() != nullptr) currentTab()->pane()->setFocus();
    updateTitles();
    updateOutline();
  });

  auto* outlineDock = new QDockWidget(tr("Outline"), this);
  outlineDock->setObjectName(QStringLiteral("outlineDock"));
  outline_ = new QTreeWidget(outlineDock);
  outline_->setHeaderHidden(true);
  outlineDock->setWidget(outline_);
  addDockWidget(Qt::LeftDockWidgetArea, outlineDock);
  connect(outline_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (ModelTab* tab = currentTab(); tab != nullptr && item->data(0, Qt::UserRole).isValid()) {
      tab->pane()->goToLine(item->data(0, Qt::UserRole).toInt());
    }
  });
  connect(outline_, &QTreeWidget::itemClicked, outline_, &QTreeWidget::itemActivated);

  auto* outputDock = new QDockWidget(tr("Run output"), this);
  outputDock->setObjectName(QStringLiteral("outputDock"));
  output_ = new QPlainTextEdit(outputDock);
  output_->setReadOnly(true);
  output_->setMaximumBlockCount(5000);
  outputDock->setWidget(output_);
  addDockWidget(Qt::BottomDockWidgetArea, outputDock);

  runState_ = new QLabel(this);
  statusBar()->addPermanentWidget(runState_);
  find_ = new FindDialog([this] { return currentTab() ? currentTab()->pane() : nullptr; }, this);
  buildActions();
  outlineDock->toggleViewAction()->setText(tr("Outline"));
  outputDock->toggleViewAction()->setText(tr("Run output"));
  if (QMenu* view = menuBar()->addMenu(tr("&View"))) {
    view->addAction(outlineDock->toggleViewAction());
    view->addAction(outputDock->toggleViewAction());
  }
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &EditorWindow::fileChangedOnDisk);

  note::clearLeftoversOfDeadEditors();
  mailbox_ = std::make_unique<platform::EditorMailbox>();
  connect(&mailboxTimer_, &QTimer::timeout, this, &EditorWindow::pollMailbox);
  mailboxTimer_.start(kMailboxPollMs);
  resize(1000, 720);
  updateTitles();
}

EditorWindow::~EditorWindow() = default;

void EditorWindow::buildActions() {
  const auto action = [this](QMenu* menu, const QString& text, QKeySequence key, auto slot) {
    QAction* made = menu->addAction(text);
    if (!key.isEmpty()) made->setShortcut(key);
    connect(made, &QAction::triggered, this, slot);
    return made;
  };
  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* newAction = action(file, tr("&New"), QKeySequence::New, [this] { newFile(); });
  QAction* openAction = action(file, tr("&Open..."), QKeySequence::Open, [this] {
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Open model"), QString(),
                                                            tr("Models (*.model);;All files (*)"));
    for (const QString& path : paths) openFile(path);
  });
  recentMenu_ = file->addMenu(tr("Open &Recent"));
  connect(recentMenu_, &QMenu::aboutToShow, this, &EditorWindow::fillRecentMenu);
  QAction* saveAction =
      action(file, tr("&Save"), QKeySequence::Save, [this] { save(currentTab()); });
  action(file, tr("Save &As..."), QKeySequence::SaveAs, [this] { saveAs(currentTab()); });
  action(file, tr("&Close Tab"), QKeySequence::Close, [this] { closeTab(tabs_->currentIndex()); });
  file->addSeparator();
  action(file, tr("&Quit"), QKeySequence::Quit, [this] { close(); });

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  action(edit, tr("&Undo"), QKeySequence::Undo, [this] {
    if (currentTab()) currentTab()->pane()->undo();
  });
  action(edit, tr("&Redo"), QKeySequence::Redo, [this] {
    if (currentTab()) currentTab()->pane()->redo();
  });
  edit->addSeparator();
  action(edit, tr("Cu&t"), QKeySequence::Cut, [this] {
    if (currentTab()) currentTab()->pane()->cut();
  });
  action(edit, tr("&Copy"), QKeySequence::Copy, [this] {
    if (currentTab()) currentTab()->pane()->copy();
  });
  action(edit, tr("&Paste"), QKeySequence::Paste, [this] {
    if (currentTab()) currentTab()->pane()->paste();
  });
  edit->addSeparator();
  action(edit, tr("&Find and Replace..."), QKeySequence::Find, [this] {
    find_->showFor(currentTab() ? currentTab()->pane()->selectedText() : QString());
  });
  action(edit, tr("Complete"), QKeySequence(Qt::CTRL | Qt::Key_Space), [this] {
    if (currentTab()) currentTab()->pane()->showCompletions();
  });
  action(edit, tr("Go to &Definition"), QKeySequence(Qt::Key_F12), [this] {
    if (currentTab()) currentTab()->pane()->goToDefinition();
  });
  action(edit, tr("Open &Included File"), QKeySequence(), [this] {
    if (currentTab()) currentTab()->pane()->openIncludedFile();
  });
  edit->addSeparator();
  action(edit, tr("Apply the Proposed .vc &Edit"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
         [this] {
           if (currentTab()) currentTab()->acceptViewEdit();
         });

  QMenu* run = menuBar()->addMenu(tr("&Run"));
  QAction* checkAction =
      action(run, tr("&Check"), QKeySequence(Qt::Key_F7), [this] { runCurrent("_a1_"); });
  QAction* runAction =
      action(run, tr("&Run"), QKeySequence(Qt::Key_F5), [this] { runCurrent("_a2_"); });
  QAction* a3 = action(run, tr("&Interactive (a3)"), QKeySequence(Qt::Key_F6),
                       [this] { runCurrent("_a3_"); });
  action(run, tr("Interactive, Real &Time (a4)"), QKeySequence(Qt::SHIFT | Qt::Key_F6),
         [this] { runCurrent("_a4_"); });
  stopAction_ =
      action(run, tr("&Stop"), QKeySequence(Qt::SHIFT | Qt::Key_F5), [this] { stopCurrent(); });

  QToolBar* bar = addToolBar(tr("Main"));
  bar->setObjectName(QStringLiteral("mainToolBar"));
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (QAction* shown : {newAction, openAction, saveAction}) bar->addAction(shown);
  bar->addSeparator();
  for (QAction* shown : {checkAction, runAction, a3, stopAction_}) bar->addAction(shown);
}

ModelTab* EditorWindow::currentTab() const {
  return qobject_cast<ModelTab*>(tabs_->currentWidget());
}
ModelTab* EditorWindow::tabAt(int index) const {
  return qobject_cast<ModelTab*>(tabs_->widget(index));
}

QString EditorWindow::tabName(ModelTab* tab) const {
  if (tab->pane()->path().isEmpty()) return tr("untitled %1").arg(tab->pane()->untitledNumber());
  return QFileInfo(tab->pane()->path()).fileName();
}

ModelTab* EditorWindow::addTab(const QString& path) {
  auto* tab = new ModelTab(tabs_);
  ModelPane* pane = tab->pane();
  if (path.isEmpty()) pane->setUntitledNumber(++untitledCount_);
  connect(pane, &QsciScintilla::modificationChanged, this, &EditorWindow::updateTitles);
  connect(pane, &ModelPane::diagnosticsChanged, this, [this, tab] {
    if (tab == currentTab()) updateOutline();
  });
  connect(pane, &ModelPane::openLocation, this, &EditorWindow::openLocation);
  connect(pane, &ModelPane::notice, this,
          [this](const QString& text) { statusBar()->showMessage(text, 5000); });
  connect(pane, &ModelPane::recoveryDue, this, [this, tab] { writeRecovery(tab); });
  tabs_->setCurrentIndex(tabs_->addTab(tab, QString()));
  pane->setFocus();
  return tab;
}

void EditorWindow::newFile() {
  ModelTab* tab = addTab(QString());
  tab->pane()->refreshNow();
  updateTitles();
}

bool EditorWindow::openFile(const QString& given) {
  const QString path = absolute(given);
  for (int k = 0; k < tabs_->count(); ++k) {
    if (tabAt(k)->pane()->path() == path) {
      tabs_->setCurrentIndex(k);
      return true;
    }
  }
  std::string bytes, why;
  if (!note::readBoundedFile(path.toStdString(), note::kModelBytesLimit, bytes, why)) {
    QMessageBox::warning(this, tr("Open model"),
                         tr("%1 cannot be opened: %2").arg(path, QString::fromStdString(why)));
    return false;
  }
  std::string text;
  std::vector<note::FileError> errors;
  // A file in code page 932 is shown converted; saving writes UTF-8.
  if (!note::decodeFileText(bytes, text, errors)) text = bytes;
  ModelTab* tab = addTab(path);
  ModelPane* pane = tab->pane();
  pane->setText(QString::fromStdString(text));
  pane->setModified(false);
  pane->setPath(path);
  pane->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  watcher_.addPath(path);
  addRecent(path);
  if (const auto copy = recovery_.offerFor(path.toStdString()); copy && copy->text != text) {
    const auto answer = QMessageBox::question(
        this, tr("Recover unsaved work"),
        tr("A recovery copy of %1 holds changes that were never saved (the editor ended without "
           "saving them). Restore them?")
            .arg(path),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) {
      pane->replaceAllText(QString::fromStdString(copy->text));
    } else {
      recovery_.remove(path.toStdString());
    }
  }
  updateTitles();
  return true;
}

void EditorWindow::offerOrphanedCopies() {
  for (const RecoveryCopy& copy : recovery_.orphans()) {
    if (!copy.modelPath.empty()) {
      // Opening the model offers its copy.
      if (QFileInfo::exists(QString::fromStdString(copy.modelPath))) {
        openFile(QString::fromStdString(copy.modelPath));
        continue;
      }
    }
    const QString question =
        copy.modelPath.empty()
            ? tr("An editor that ended without saving left unsaved text. Open it in a new tab?")
            : tr("An editor that ended without saving left unsaved text of %1, which no longer "
                 "exists. "
                 "Open it in a new tab?")
                  .arg(QString::fromStdString(copy.modelPath));
    const auto answer = QMessageBox::question(this, tr("Recover unsaved work"), question,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    std::remove(copy.copyPath.c_str());
    if (answer != QMessageBox::Yes) continue;
    ModelTab* tab = addTab(QString());
    tab->pane()->setText(QString::fromStdString(copy.text));
    writeRecovery(tab);
  }
}

bool EditorWindow::writeFile(ModelTab* tab, const QString& path) {
  QSaveFile file(path);
  const QByteArray bytes = tab->pane()->text().toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    QMessageBox::warning(this, tr("Save model"),
                         tr("%1 cannot be written: %2").arg(path, file.errorString()));
    return false;
  }
  ModelPane* pane = tab->pane();
  recovery_.remove(pane->path().toStdString(), pane->untitledNumber());
  if (!pane->path().isEmpty()) watcher_.removePath(pane->path());
  pane->setModified(false);
  pane->setPath(absolute(path));
  watcher_.addPath(pane->path());
  addRecent(pane->path());
  updateTitles();
  return true;
}

bool EditorWindow::save(ModelTab* tab) {
  if (tab == nullptr) return false;
  if (tab->pane()->path().isEmpty()) return saveAs(tab);
  return writeFile(tab, tab->pane()->path());
}

bool EditorWindow::saveAs(ModelTab* tab) {
  if (tab == nullptr) return false;
  const QString path = QFileDialog::getSaveFileName(this, tr("Save model as"), tab->pane()->path(),
                                                    tr("Models (*.model);;All files (*)"));
  return !path.isEmpty() && writeFile(tab, path);
}

bool EditorWindow::maySetAside(ModelTab* tab) {
  if (!tab->pane()->isModified()) return true;
  tabs_->setCurrentWidget(tab);
  const auto answer = QMessageBox::warning(
      this, tr("Unsaved changes"),
      tr("%1 has changes that are not saved. Save them?").arg(tabName(tab)),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (answer == QMessageBox::Save) return save(tab);
  return answer == QMessageBox::Discard;
}

bool EditorWindow::closeTab(int index) {
  ModelTab* tab = tabAt(index);
  if (tab == nullptr || !maySetAside(tab)) return false;
  // A clean close keeps no copy: what was wanted is saved or was let go.
  recovery_.remove(tab->pane()->path().toStdString(), tab->pane()->untitledNumber());
  if (!tab->pane()->path().isEmpty()) watcher_.removePath(tab->pane()->path());
  tabs_->removeTab(index);
  delete tab;
  updateTitles();
  return true;
}

void EditorWindow::closeEvent(QCloseEvent* event) {
  for (int k = 0; k < tabs_->count(); ++k) {
    if (!maySetAside(tabAt(k))) {
      event->ignore();
      return;
    }
  }
  while (tabs_->count() > 0) {
    ModelTab* tab = tabAt(0);
    recovery_.remove(tab->pane()->path().toStdString(), tab->pane()->untitledNumber());
    tabs_->removeTab(0);
    delete tab;
  }
  event->accept();
}

void EditorWindow::updateTitles() {
  for (int k = 0; k < tabs_->count(); ++k) {
    ModelTab* tab = tabAt(k);
    tabs_->setTabText(
        k, tabName(tab) + (tab->pane()->isModified() ? QStringLiteral(" *") : QString()));
    tabs_->setTabToolTip(k, tab->pane()->path());
  }
  ModelTab* tab = currentTab();
  setWindowTitle(
      tab == nullptr
          ? tr("movra editor")
          : tr("%1%2 - movra editor").arg(tabName(tab), tab->pane()->isModified() ? "*" : ""));
}

void EditorWindow::updateOutline() {
  outline_->clear();
  ModelTab* tab = currentTab();
  if (tab == nullptr) return;
  const std::function<void(QTreeWidgetItem*, const std::vector<language::OutlineSymbol>&)> fill =
      [&](QTreeWidgetItem* parent, const std::vector<language::OutlineSymbol>& symbols) {
        for (const language::OutlineSymbol& symbol : symbols) {
          QString text = QString::fromStdString(symbol.name);
          if (!symbol.detail.empty())
            text += QStringLiteral("  ") + QString::fromStdString(symbol.detail);
          auto* item =
              parent == nullptr ? new QTreeWidgetItem(outline_) : new QTreeWidgetItem(parent);
          item->setText(0, text);
          item->setData(0, Qt::UserRole, symbol.selectionRange.start.line);
          fill(item, symbol.children);
        }
      };
  fill(nullptr, tab->pane()->outline());
  outline_->expandAll();
}

void EditorWindow::addRecent(const QString& path) {
  QSettings settings;
  QStringList recent = settings.value(QStringLiteral("recentFiles")).toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentLimit) recent.removeLast();
  settings.setValue(QStringLiteral("recentFiles"), recent);
}

void EditorWindow::fillRecentMenu() {
  recentMenu_->clear();
  QSettings settings;
  for (const QString& path : settings.value(QStringLiteral("recentFiles")).toStringList()) {
    recentMenu_->addAction(path, this, [this, path] { openFile(path); });
  }
  if (recentMenu_->isEmpty()) recentMenu_->addAction(tr("(none)"))->setEnabled(false);
}

void EditorWindow::fileChangedOnDisk(const QString& path) {
  for (int k = 0; k < tabs_->count(); ++k) {
    ModelTab* tab = tabAt(k);
    ModelPane* pane = tab->pane();
    if (pane->path() != path) continue;
    // An editor that saves by replacing the file ends the watch: take it up again.
    if (QFileInfo::exists(path) && !watcher_.files().contains(path)) watcher_.addPath(path);
    std::string bytes, why, text;
    std::vector<note::FileError> errors;
    if (!note::readBoundedFile(path.toStdString(), note::kModelBytesLimit, bytes, why)) return;
    if (!note::decodeFileText(bytes, text, errors)) text = bytes;
    if (QString::fromStdString(text) == pane->text()) return;
    if (pane->isModified()) {
      tabs_->setCurrentIndex(k);
      const auto answer = QMessageBox::question(
          this, tr("File changed on disk"),
          tr("%1 was changed by another program, and this editor holds unsaved changes. "
             "Reload it and lose them?")
              .arg(path),
          QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
      if (answer != QMessageBox::Yes) return;
    }
    pane->replaceAllText(QString::fromStdString(text));
    pane->setModified(false);
    statusBar()->showMessage(tr("%1 was reloaded: it changed on disk.").arg(path), 5000);
  }
}

void EditorWindow::openLocation(const QString& path, int line, int column) {
  if (!openFile(path)) return;
  if (ModelTab* tab = currentTab()) tab->pane()->goToLine(line, column);
}

void EditorWindow::writeRecovery(ModelTab* tab) {
  ModelPane* pane = tab->pane();
  if (!pane->isModified()) return;
  recovery_.write(pane->path().toStdString(), pane->untitledNumber(), pane->textUtf8());
}

void EditorWindow::appendOutput(const QString& line) {
  output_->appendPlainText(line);
}

}  // namespace movra::editor

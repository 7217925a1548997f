// The editor window in this process on the offscreen platform, in Japanese: its
// words, and what the language service gives the pane (definitions, outline,
// hover, completion, diagnostics after a pause), find and replace, recent files
// and a reload from disk.
#include "editor/editor_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "editor/edit_command.h"
#include "editor/find_dialog.h"
#include "support/batch_runs.h"

namespace movra::editor {
namespace {

const std::string& scratch() {
  static const std::string made = movra::testing::scratchDirectory("editor_window");
  return made;
}

QApplication& application() {
  static QApplication* made = [] {
    // The user's locale as the environment gives it, before Qt reads it.
    setenv("LANG", "ja_JP.UTF-8", 1);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    unsetenv("LANGUAGE");
    setenv("XDG_CONFIG_HOME", (scratch() + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (scratch() + "/state").c_str(), 1);
    setenv("MOVRA_SHM_TAG", ("editor-window-" + std::to_string(getpid())).c_str(), 1);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "editor_window_test";
    static char* argv[] = {name, nullptr};
    auto* app = new QApplication(argc, argv);  // never destroyed, as in the other window tests
    QApplication::setOrganizationName(QStringLiteral("movra"));
    QApplication::setApplicationName(QStringLiteral("movra-editor"));
    installTranslations(app);
    return app;
  }();
  return *made;
}

bool hasJapanese(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() >= 0x3000) return true;
  }
  return false;
}

TEST(EditorWindow, AJapaneseLocaleGetsJapaneseWords) {
  application();
  EditorWindow window;
  const QList<QAction*> menus = window.menuBar()->actions();
  ASSERT_FALSE(menus.isEmpty());
  EXPECT_EQ(menus.front()->text(), QStringLiteral("ファイル(&F)"));
  // Every command, not only the first: an untranslated one would stay English.
  const std::function<void(QMenu*)> visit = [&](QMenu* menu) {
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      EXPECT_TRUE(hasJapanese(action->text())) << action->text().toStdString();
      if (action->menu() != nullptr) visit(action->menu());
    }
  };
  for (QAction* menu : menus) {
    EXPECT_TRUE(hasJapanese(menu->text())) << menu->text().toStdString();
    visit(menu->menu());
  }
  EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("エディタ")))
      << window.windowTitle().toStdString();
}

// The pendulum's lines: ".in 2" is line 15 (0-based 14); "lr 2n 1p" is line 18.
TEST(EditorWindow, ThePaneUsesTheLanguageService) {
  application();
  const std::string path = scratch() + "/pendulum.model";
  std::ofstream(path) << movra::testing::readFile(std::string(MOVRA_SOURCE_DIR) +
                                                  "/examples/pendulum.model");
  EditorWindow window;
  window.show();
  ASSERT_TRUE(window.openFile(QString::fromStdString(path)));
  ModelPane* pane = window.currentTab()->pane();
  EXPECT_TRUE(pane->diagnostics().empty());
  EXPECT_TRUE(QSettings()
                  .value(QStringLiteral("recentFiles"))
                  .toStringList()
                  .contains(QString::fromStdString(path)));

  // Go to definition from node 2 of the link: its ".in" line.
  pane->setCursorPosition(17, 3);
  pane->goToDefinition();
  int line = 0, column = 0;
  pane->getCursorPosition(&line, &column);
  EXPECT_EQ(line, 14);

  // The outline lists the statements; choosing one goes to its line.
  auto* outline = window.findChild<QTreeWidget*>();
  ASSERT_NE(outline, nullptr);
  QTreeWidgetItem* found = nullptr;
  for (QTreeWidgetItemIterator it(outline); *it != nullptr; ++it) {
    if ((*it)->text(0).startsWith(QStringLiteral(".vc"))) found = *it;
  }
  ASSERT_NE(found, nullptr);
  emit outline->itemClicked(found, 0);
  pane->getCursorPosition(&line, &column);
  EXPECT_EQ(pane->text(line).left(3), QStringLiteral(".vc"));

  // Resting the pointer on a keyword shows its catalogue entry.
  emit pane->SCN_DWELLSTART(static_cast<int>(pane->positionAt(18, 0)), 10, 10);
  EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("body"))) << QToolTip::text().toStdString();
  EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("mass"))) << "with its fields";

  // Replace All is one undo step.
  const QString before = pane->text();
  auto* find = window.findChild<FindDialog*>();
  ASSERT_NE(find, nullptr);
  const auto fields = find->findChildren<QLineEdit*>();
  ASSERT_EQ(fields.size(), 2);
  fields[0]->setText(QStringLiteral("2n"));
  fields[1]->setText(QStringLiteral("7n"));
  for (QPushButton* button : find->findChildren<QPushButton*>()) {
    if (button->text() == QCoreApplication::translate("movra::editor::FindDialog", "Replace All"))
      button->click();
  }
  EXPECT_EQ(pane->text().count(QStringLiteral("7n")), before.count(QStringLiteral("2n")));
  EXPECT_FALSE(pane->text().contains(QStringLiteral("2n")));
  pane->undo();
  EXPECT_EQ(pane->text(), before);

  // A keyword completes to its snippet, the first placeholder selected.
  pane->setCursorPosition(15, 0);
  pane->insert(QStringLiteral("R\n"));
  pane->setCursorPosition(15, 1);
  pane->showCompletions();
  emit pane->userListActivated(1, QStringLiteral("R"));
  const QString completed = pane->text(15).trimmed();
  EXPECT_TRUE(completed.startsWith(QStringLiteral("R ")) && completed.size() > 4)
      << completed.toStdString();
  EXPECT_FALSE(completed.contains('$')) << completed.toStdString();
  EXPECT_TRUE(pane->hasSelectedText());

  // Diagnostics wait for typing to pause, then show the mistake.
  pane->undo();
  pane->undo();
  pane->refreshNow();
  ASSERT_TRUE(pane->diagnostics().empty());
  pane->setCursorPosition(15, 0);
  pane->insert(QStringLiteral("Q 1 2\n"));
  EXPECT_TRUE(pane->diagnostics().empty()) << "not at every key";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pane->diagnostics().empty(); }, 5000));
  EXPECT_EQ(pane->diagnostics().front().range.start.line, 15);

  // An unmodified buffer follows its file when another program changes it.
  pane->undo();
  ASSERT_TRUE(window.openFile(QString::fromStdString(path)));
  pane->setModified(false);
  std::ofstream(path) << "R 1 0, 2k\n";
  EXPECT_TRUE(QTest::qWaitFor([&] { return pane->text() == QStringLiteral("R 1 0, 2k\n"); }, 5000))
      << pane->text().toStdString();
  EXPECT_FALSE(pane->isModified());
  // The reload is an edit like any other: undo brings the pendulum back.
  pane->undo();
  EXPECT_TRUE(pane->text().startsWith(QStringLiteral("// Simple pendulum")));
}

// Check hands the buffer to the simulator's initial check (no window); a field
// the simulator cannot evaluate comes back at its line, and the end is shown.
TEST(EditorWindow, CheckMarksTheLineTheSimulatorRefuses) {
  application();
  const std::string path = scratch() + "/divider.model";
  std::ofstream(path) << "V 1 0, 5, 0\nR 1 2, 1k\n.o x2.9\n.t 2\n   0\n   1m\n   10u\n   1\n";
  EditorWindow window;
  ASSERT_TRUE(window.openFile(QString::fromStdString(path)));
  ModelPane* pane = window.currentTab()->pane();
  pane->setCursorPosition(2, 0);
  pane->insert(QStringLiteral("R 2 0, 1k / (1 - 1)\n"));  // unsaved: the buffer is what runs
  QAction* stop = nullptr;
  for (QAction* a : window.findChildren<QAction*>())
    if (a->shortcut() == QKeySequence(Qt::SHIFT | Qt::Key_F5)) stop = a;
  ASSERT_NE(stop, nullptr);
  QTest::qWait(100);
  EXPECT_FALSE(stop->isEnabled()) << "nothing to stop yet";
  window.runCurrent("_a1_");
  EXPECT_TRUE(QTest::qWaitFor([&] { return pane->runErrorLine() != 0; }, 20000));
  EXPECT_EQ(pane->runErrorLine(), 3);
  const QString ended =
      QCoreApplication::translate("movra::editor::EditorWindow", "%1: the simulator %2")
          .arg(QStringLiteral("divider.model"), QString());
  bool shown = false;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        for (QLabel* label : window.findChildren<QLabel*>())
          shown = shown || label->text().startsWith(ended);
        return shown;
      },
      20000))
      << "the check's end is not shown";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !stop->isEnabled(); }, 2000)) << "the check has ended";
  // Mended, the next check clears the mark.
  pane->setSelection(2, 0, 3, 0);
  pane->removeSelectedText();
  window.runCurrent("_a1_");
  EXPECT_EQ(pane->runErrorLine(), 0);
}

}  // namespace
}  // namespace movra::editor

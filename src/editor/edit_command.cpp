#include "editor/edit_command.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "editor/editor_window.h"

namespace movra::editor {

void installTranslations(QObject* owner) {
  // The editor's own words follow the user's locale (LANG, LC_ALL); the
  // simulator's messages keep their Japanese wording whatever it is.
  auto* own = new QTranslator(owner);
  if (own->load(QLocale(), QStringLiteral("movra_editor"), QStringLiteral("_"),
                QStringLiteral(":/i18n"))) {
    QCoreApplication::installTranslator(own);
  }
  // Qt's own buttons (Save, Discard, Cancel) when its translations are installed.
  auto* qtBase = new QTranslator(owner);
  if (qtBase->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qtBase);
  }
}

int editCommand(const std::vector<std::string>& models) {
  // Without a display Qt would abort with a message about its platform plugin.
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0;
  };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    std::fprintf(
        stderr,
        "movra-note edit: the editor needs a display (DISPLAY or WAYLAND_DISPLAY is not set)\n");
    return 1;
  }
  static int argc = 1;
  static char name[] = "movra-note";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("movra"));
  QApplication::setApplicationName(QStringLiteral("movra-editor"));
  QApplication::setApplicationDisplayName(QStringLiteral("movra"));
  installTranslations(&application);
  EditorWindow window;
  for (const std::string& model : models) window.openFile(QString::fromStdString(model));
  window.offerOrphanedCopies();
  if (window.currentTab() == nullptr) window.newFile();
  window.show();
  return application.exec();
}

}  // namespace movra::editor

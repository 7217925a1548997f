// "movra-note edit [MODEL...]": the desktop model editor.
#pragma once

#include <string>
#include <vector>

class QObject;

namespace movra::editor {

// Loads the editor's words (and Qt's) for the user's locale, owned by owner.
void installTranslations(QObject* owner);

// Runs the editor until its window closes; the process exit code.
int editCommand(const std::vector<std::string>& models);

}  // namespace movra::editor

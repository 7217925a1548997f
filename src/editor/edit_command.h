// "movra-note edit [MODEL...]": the desktop model editor.
#pragma once

#include <string>
#include <vector>

namespace movra::editor {

// Runs the editor until its window closes; the process exit code.
int editCommand(const std::vector<std::string>& models);

}  // namespace movra::editor

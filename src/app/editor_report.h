// Reports to the editor: the collected model error with its line, the view
// window and the quantity scales.
#pragma once

#include <string>

#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"

namespace movra::app {

inline constexpr int kReadingErrorWord = 1000;  // + line, an error found while reading
inline constexpr int kRunErrorWord = 2000;      // + line, an error during the run
inline constexpr int kNoLine = 999;

// Sends the ErrorBuffer with 1000 + line (nothing calculated yet) or 2000 + line,
// the line marker cut out of the text. After the first step the text is also
// shown. Returns the data word sent.
int reportErrorToEditor(const Model& model, const Run& run, Reporter& reporter,
                        const std::string& editorId);

}  // namespace movra::app

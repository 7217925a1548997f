// The model text: split into lines, attached to the handed-over records, numbered
// ("$%3d  " prefixes) into the NumberedText the statement loop reads. Also finds
// and reads the control-key file.
#pragma once

#include <string>

#include "input/model.h"
#include "input/report.h"

namespace movra {

struct ModelTextArguments {
  std::string textBlockName;   // command-line argument 1
  std::string controlKeyFile;  // command-line argument 5, may be empty
};

// Takes the text from the block named by argument 1 (under the editor), numbers it
// and reads the control-key file. Returns 0, 19 (the block failed) or 9.
int readModelText(Model& model, Reporter& reporter, const ModelTextArguments& arguments);

// The numbering and key-file steps on model.modelText as it stands; for callers that
// hand the text over in-process. Returns 0 or 9.
int numberModelText(Model& model, Reporter& reporter, const std::string& controlKeyArgument);

// A key-file name from a model line: "c:" stands for the file-system root, as the
// drive did ("c:/runs/a.log" -> "/runs/a.log", "c:a.log" -> "a.log"); backslashes
// become slashes.
std::string keyFilePathFromModel(const std::string& name);

}  // namespace movra

// Hands an image to the model reader inside this process, the way the simulator
// reads it after copying the blocks, and maps its messages to the file's lines.
#pragma once

#include <string>
#include <vector>

#include "input/model.h"
#include "input/report.h"
#include "note/hand_over_image.h"

namespace movra::note {

struct ReaderMessage {
  std::string text;      // as the reader formatted it, line marker removed
  int record = -1;       // the statement it names, -1 when none
  int fileLine = 0;      // the model file's line, 0 when unknown
};

struct ReadOutcome {
  int textStatus = 0;       // ReadModelText
  int statementStatus = 0;  // ReadStatements (not run when the text failed)
  std::vector<ReaderMessage> messages;
  bool ok() const { return textStatus == 0 && statementStatus == 0; }
};

// Copies the image into the model as the simulator's start-up would.
void loadImage(const HandOverImage& image, Model& model);

// Reads the model text and the statements; handOverMode as the launch would set it.
ReadOutcome readImage(const HandOverImage& image, Model& model, int handOverMode,
                      const std::string& controlKeyFile = {});

// One line for a terminal: "file:line: message" with the message on one line.
std::string formatFileMessage(const std::string& file, const ReaderMessage& message);

}  // namespace movra::note

// What a run of the editor's buffer needs before the simulator starts, and what
// its reports mean, without Qt: the hand-over image of the text as it stands, the
// lines "movra-note run" would print before the run, the simulator's error reports
// at the model's lines, and in words why a start is refused.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "note/hand_over_image.h"
#include "platform/editor_link.h"
#include "platform/instance_registry.h"

namespace movra::editor {

// A line the run's output shows: "file:line: message", its line (1-based, 0 none)
// and whether it stops the run.
struct PlanLine {
  int line = 0;
  std::string text;
  bool error = false;
};

struct RunPlan {
  std::unique_ptr<note::HandOverImage> image = std::make_unique<note::HandOverImage>();
  std::vector<PlanLine> lines;
  bool ok = false;  // the image may be handed over
};

// Reads the text of the model at path (saved there or not) the way "movra-note run"
// reads the file: mistakes refuse the run; doubtful lines are warnings.
RunPlan planRun(const std::string& text, const std::string& path, const std::string& shownName);

// A report of the simulator as the editor shows it.
struct RunReport {
  enum class Kind { kError, kViewWindow, kScales, kOther };
  Kind kind = Kind::kOther;
  int line = 0;  // the model's line of an error (1-based), 0 when unknown
  std::string message;
  std::string hint;  // what the message means, in English ("" when unknown)
};
RunReport interpretReport(const note::HandOverImage& image, const platform::EditorMessage& report);

// Why the simulator would refuse to start now: another calculation going on, or
// as many finished windows as it keeps. The editor says it in the user's words
// instead of letting the simulator's box say it.
enum class StartRefusal { kNone, kCalculating, kWindowLimit };
StartRefusal startRefusal(const platform::MarkerCounts& counts);
using platform::kFinishedWindowLimit;

}  // namespace movra::editor

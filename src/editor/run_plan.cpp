#include "editor/run_plan.h"

#include "input/model.h"
#include "note/in_process.h"
#include "note/message_table.h"
#include "note/model_file.h"
#include "note/model_warnings.h"
#include "note/required_fields.h"

namespace movra::editor {

namespace {

void addLines(RunPlan& plan, const std::string& name, const std::vector<note::FileError>& errors,
              bool error) {
  for (const note::FileError& found : errors) {
    PlanLine line;
    line.line = found.line;
    line.error = error;
    line.text = found.line > 0 ? name + ":" + std::to_string(found.line) + ": " + found.message
                               : name + ": " + found.message;
    plan.lines.push_back(std::move(line));
  }
}

}  // namespace

RunPlan planRun(const std::string& text, const std::string& path, const std::string& shownName) {
  RunPlan plan;
  std::vector<note::FileError> errors;
  if (note::readModelFileAt(text, path, *plan.image, errors))
    errors = note::missingFields(*plan.image);
  addLines(plan, shownName, errors, true);
  if (!errors.empty()) return plan;
  auto model = makeModel();
  const bool read = note::readImage(*plan.image, *model, 2).ok();
  addLines(plan, shownName, note::doubtfulLines(*plan.image, *model, read), false);
  plan.ok = true;
  return plan;
}

RunReport interpretReport(const note::HandOverImage& image, const platform::EditorMessage& report) {
  RunReport shown;
  shown.message = report.text;
  if (platform::isErrorReport(report.dataWord)) {
    shown.kind = RunReport::Kind::kError;
    shown.line = note::reportFileLine(image, platform::errorRecord(report.dataWord));
    while (!shown.message.empty() &&
           (shown.message.back() == '\n' || shown.message.back() == '\r' ||
            shown.message.back() == ' ')) {
      shown.message.pop_back();
    }
    shown.hint = note::messageHint(report.text);
    if (shown.hint.empty()) shown.hint = note::messageHint(shown.message);
  } else if (report.dataWord == platform::kViewWindowReport) {
    shown.kind = RunReport::Kind::kViewWindow;
  } else if (report.dataWord == platform::kScalesReport) {
    shown.kind = RunReport::Kind::kScales;
  }
  return shown;
}

StartRefusal startRefusal(const platform::MarkerCounts& counts) {
  if (counts.calculating > 0) return StartRefusal::kCalculating;
  if (counts.ended >= kFinishedWindowLimit) return StartRefusal::kWindowLimit;
  return StartRefusal::kNone;
}

}  // namespace movra::editor

#include "note/model_warnings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "input/expression.h"
#include "note/catalogue.h"
#include "note/model_line.h"
#include "note/structure_checks.h"

namespace movra::note {
namespace {

// How many fields an element reads, from its reference rows; a field written after
// the last is dropped.
int fieldsRead(int typeCode) {
  for (const CatalogueEntry& entry : catalogueEntries()) {
    if (entry.category == Category::kElement && entry.typeCode == typeCode) {
      return static_cast<int>(referenceOf(entry).fields.size());
    }
  }
  return 0;
}

constexpr int kBodyCode = 11;
constexpr int kAppliedForceCode = 18;
constexpr int kBodyGravityField = 3;
constexpr int kFirstLoadField = 1;
constexpr int kLastLoadField = 4;  // F_x, F_y, M, F_a; field 5 is a direction
constexpr int kTimeCode = 71;
constexpr int kFirstGroundedNode = 100;
constexpr int kLastGroundedNode = 198;

bool isCircuitElement(int typeCode) {
  return typeCode >= 20 && typeCode <= 35 && typeCode != 28 && typeCode != 30 &&
         typeCode != 33 && typeCode != 34;
}

// True when the text names the step flag p2 (a letter, then 2, not 20 or 2.5).
bool refersToStepFlag(std::string_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != 'p' || text[i + 1] != '2') continue;
    if (i > 0 && (std::isalnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '.')) {
      continue;
    }
    const size_t after = i + 2;
    if (after < text.size() &&
        (std::isdigit(static_cast<unsigned char>(text[after])) || text[after] == '.')) {
      continue;
    }
    return true;
  }
  return false;
}

// The value of a field that needs nothing from the run; false for an empty field,
// a failing one or one with references.
bool constantField(const char* text, double& value) {
  char buffer[kFieldTextBytes + 2];
  std::snprintf(buffer, sizeof buffer, "%s ", text);
  static const ParameterStore zero;
  ValueSources sources;
  sources.parameters = &zero;
  EvaluationResult result;
  if (evaluateExpression(buffer, sources, result) != 0 || result.operandCount == 0) return false;
  if (result.parameterId != -1 || result.variableSlot != -1) return false;
  value = result.value;
  return true;
}

// A run from a start time to a later end time (not a single solution).
bool runsInTime(const HandOverImage& image) {
  for (const StatementRecord& record : image.records) {
    if (record.typeCode != kTimeCode || record.echoFlag == 1) continue;
    double value[3] = {0, 0, 0};
    const char* line = record.blockText;
    for (int k = 0; k < 3 && line != nullptr; ++k) {
      std::sscanf(line, " %le", &value[k]);
      line = std::strchr(line, '\n');
      if (line != nullptr) ++line;
    }
    return value[2] > value[1];
  }
  return false;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

class Collector {
 public:
  Collector(const HandOverImage& image) : image_(image) {}

  void add(size_t record, std::string message) {
    const int line = record < image_.recordFileLine.size() ? image_.recordFileLine[record] : 0;
    warnings_.push_back({line, "warning: " + std::move(message)});
  }

  std::vector<FileError> take() { return std::move(warnings_); }

 private:
  const HandOverImage& image_;
  std::vector<FileError> warnings_;
};

// The load fields of a body (gravity) or an applied force, as [first, last].
bool loadFields(const StatementRecord& record, int& first, int& last) {
  if (record.typeCode == kBodyCode) {
    first = last = kBodyGravityField;
    return true;
  }
  if (record.typeCode == kAppliedForceCode) {
    first = kFirstLoadField;
    last = kLastLoadField;
    return true;
  }
  return false;
}

// A model that gates one of its mechanical loads by p2 knows the starting step: its
// other loads are meant to act in it (a static deflection to start from).
bool gatesSomeLoad(const HandOverImage& image) {
  for (const StatementRecord& record : image.records) {
    int first = 0;
    int last = -1;
    if (record.echoFlag == 1 || !loadFields(record, first, last)) continue;
    for (int k = first; k <= last; ++k) {
      if (refersToStepFlag(record.fieldText[k])) return true;
    }
  }
  return false;
}

void checkUngatedLoads(const StatementRecord& record, size_t index, Collector& out) {
  int first = 0;
  int last = -1;
  if (!loadFields(record, first, last)) return;
  for (int k = first; k <= last; ++k) {
    double value = 0.0;
    if (!constantField(record.fieldText[k], value) || value == 0.0) continue;
    if (refersToStepFlag(record.fieldText[k])) continue;
    const std::string what = record.typeCode == kBodyCode ? "gravity" : "the load of field " + std::to_string(k);
    out.add(index, what + " " + number(value) +
                       " acts in the starting solution too, which then settles the mechanism "
                       "under it before the run; write it times p2 (" +
                       std::string(record.fieldText[k]) + " * p2) to apply it from the first step");
  }
}

// A ground point drawn in the schematic has its ".in" position; an id from 100 on
// that nobody placed is most likely a node the user meant to be free.
void checkGroundedNodes(const StatementRecord& record, size_t index,
                        const std::vector<int>& placed, Collector& out) {
  const int nodes[3] = {record.firstNode, record.secondNode, record.thirdNode};
  const int count = record.typeCode >= 30 && record.typeCode <= 39 ? 3 : 2;
  for (int k = 0; k < count; ++k) {
    if (nodes[k] < kFirstGroundedNode || nodes[k] > kLastGroundedNode) continue;
    if (std::find(placed.begin(), placed.end(), nodes[k]) != placed.end()) continue;
    out.add(index, "circuit node " + std::to_string(nodes[k]) +
                       " is held at 0 V like node 0 (the ids 100 to 198 are ground points); "
                       "use a node below 100 for a potential of its own");
  }
}

void checkExtraFields(const StatementRecord& record, size_t index, Collector& out) {
  const int read = fieldsRead(record.typeCode);
  if (read == 0) return;
  int last = 0;
  for (int k = 1; k <= kFieldCount; ++k) {
    if (record.fieldPresent[k] == 1) last = k;
  }
  if (last <= read) return;
  out.add(index, "this element reads " + std::to_string(read) + " field" + (read == 1 ? "" : "s") +
                     (last > read + 1 ? "; fields " : "; field ") + std::to_string(read + 1) +
                     (last > read + 1 ? " to " + std::to_string(last) : "") + " " +
                     (last > read + 1 ? "are" : "is") + " not used");
}

constexpr int kSumCode = 82;
constexpr int kSineCode = 83;
constexpr int kSineFrequencyLine = 3;  // of the block: the id, x, f2, f3

std::string_view blockLine(const StatementRecord& record, int index) {
  std::string_view text(record.blockText);
  for (int k = 0; k < index; ++k) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return {};
    text.remove_prefix(end + 1);
  }
  return text.substr(0, text.find('\n'));
}

// A ':sin' frequency of -N is read from entry -N, which only ':sum N' writes (its
// result of opposite sign); without one the sine never turns.
void checkSineFrequencies(const HandOverImage& image, Collector& out) {
  std::vector<int> sums;
  for (const StatementRecord& record : image.records) {
    double id = 0.0;
    if (record.typeCode == kSumCode && constantField(std::string(blockLine(record, 0)).c_str(), id)) {
      sums.push_back(static_cast<int>(id));
    }
  }
  for (size_t i = 0; i < image.records.size(); ++i) {
    const StatementRecord& record = image.records[i];
    double frequency = 0.0;
    if (record.typeCode != kSineCode || record.echoFlag == 1) continue;
    const std::string text(blockLine(record, kSineFrequencyLine));
    if (!constantField(text.c_str(), frequency) || !(frequency <= -1.0)) continue;
    const int id = static_cast<int>(-frequency);
    if (std::find(sums.begin(), sums.end(), id) != sums.end()) continue;
    out.add(i, "':sin' row 3 is " + number(frequency) + ": the frequency is then read from entry " +
                   number(frequency) + ", which only ':sum " + std::to_string(id) +
                   "' writes, and the model has none, so the sine stays at 0 Hz");
  }
}

}  // namespace

namespace {

// Plots name an output by its first label; another one would be lost unsaid.
void checkLabels(const HandOverImage& image, std::vector<FileError>& warnings) {
  std::map<std::string, const OutputLabel*> first;
  for (const OutputLabel& label : image.outputLabels) {
    const auto [at, added] = first.emplace(sameOutputItem(label.item), &label);
    if (added || at->second->text == label.text) continue;
    warnings.push_back({label.fileLine, "warning: output " + label.item + " has the label \"" +
                                            at->second->text + "\" on line " +
                                            std::to_string(at->second->fileLine) +
                                            " already; plots name it so, not \"" + label.text +
                                            "\": give it one label"});
  }
}

}  // namespace

std::vector<FileError> modelWarnings(const HandOverImage& image) {
  Collector out(image);
  const bool timed = runsInTime(image) && !gatesSomeLoad(image);
  for (size_t i = 0; i < image.records.size(); ++i) {
    const StatementRecord& record = image.records[i];
    if (record.echoFlag == 1 || record.typeCode < 1 || record.typeCode > 69) continue;
    if (timed) checkUngatedLoads(record, i, out);
    if (isCircuitElement(record.typeCode)) checkGroundedNodes(record, i, image.placedNodes, out);
    checkExtraFields(record, i, out);
  }
  checkSineFrequencies(image, out);
  std::vector<FileError> warnings = out.take();
  checkLabels(image, warnings);
  return warnings;
}

std::vector<FileError> doubtfulLines(const HandOverImage& image, const Model& model, bool read) {
  std::vector<FileError> warnings = modelWarnings(image);
  if (read) {
    std::vector<FileError> structure = structureWarnings(image, model);
    warnings.insert(warnings.end(), structure.begin(), structure.end());
  }
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const FileError& a, const FileError& b) { return a.line < b.line; });
  return warnings;
}

}  // namespace movra::note

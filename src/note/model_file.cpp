#include "note/model_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

#include "input/expression.h"
#include "note/catalogue.h"
#include "note/field_text.h"
#include "note/model_file_text.h"
#include "note/model_include.h"
#include "note/model_line.h"

namespace movra::note {
namespace {

constexpr int kNumberPrefixBytes = 6;  // "$%3d  " in the simulator's numbered listing
constexpr int kNodeListBelow = 198;    // 198 and 199 belong to the hand-over modes
constexpr int kSwitchTypeCode = 27;    // "Sw", "Ry"
constexpr int kCircleTypeCode = 84;    // ":circle"
// "pc", the one element that takes the release annotation.
constexpr int kRigidJointTypeCode = 17;
constexpr int kFirstGroundPoint = 100;  // ids 100..198 are held at 0 like node 0
constexpr int kLastGroundPoint = 198;
constexpr int kLastTableId = 990;       // tables are kept under 100..990

// ---- Record and image helpers ----

template <size_t N>
bool copyText(char (&slot)[N], std::string_view text) {
  if (text.size() >= N) return false;
  std::memcpy(slot, text.data(), text.size());
  slot[text.size()] = '\0';
  return true;
}

void resetImage(HandOverImage& image) {
  image.records.clear();
  image.records.reserve(kHandOverRecordLimit);
  if (!image.nodes) image.nodes = std::make_unique<NodeTables>();
  NodeTables& nodes = *image.nodes;
  std::memset(&nodes, 0, sizeof nodes);
  std::fill(std::begin(nodes.nodeMap), std::end(nodes.nodeMap), -1);
  std::fill(std::begin(nodes.nodeList), std::end(nodes.nodeList), -1);
  image.modelText.clear();
  image.secondCount = 0;
  image.recordFileLine.clear();
  image.textFileLine.clear();
  image.placedNodes.clear();
  image.outputLabels.clear();
}

const ParameterStore& zeroParameters() {
  static const ParameterStore store;
  return store;
}

// Evaluates a node coordinate, which must not depend on anything the run sets.
bool evaluateConstant(std::string_view text, double& value, std::string& error) {
  char buffer[kFieldTextBytes + 1];
  if (text.size() + 1 >= sizeof buffer) {
    error = "is longer than " + std::to_string(kFieldTextBytes - 1) + " bytes";
    return false;
  }
  // A trailing blank, as the simulator gives its fields, ends a last number cleanly.
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = ' ';
  buffer[text.size() + 1] = '\0';
  ValueSources sources;
  sources.parameters = &zeroParameters();
  EvaluationResult result;
  const int status = evaluateExpression(buffer, sources, result);
  if (status != 0) {
    error = "cannot be evaluated (evaluator status " + std::to_string(status) + ")";
    return false;
  }
  if (result.operandCount == 0) {
    error = "is empty";
    return false;
  }
  if (result.parameterId != -1 || result.variableSlot != -1) {
    error = "must be a constant; it refers to a parameter or a node quantity";
    return false;
  }
  value = result.value;
  return true;
}

// Blank- and comma-separated words of a data row or an id list.
std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (isBlank(text[i]) || text[i] == ',')) ++i;
    const size_t start = i;
    while (i < text.size() && !isBlank(text[i]) && text[i] != ',') ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

// ---- The reader ----

// A statement whose rows are still being read.
struct OpenBlock {
  int record = -1;
  int statementLine = 0;
  Category category = Category::kDataTable;
  bool lookupTable = false;    // ":u ID": every row is data
  bool functionTable = false;  // ":u ID, ...": the first row is the argument expression
  int rows = 0;
  int lastLine = 0;
  std::string text;      // block text so far
  size_t echoBytes = 0;  // the statement in the simulator's listing
};

class Reader {
 public:
  Reader(HandOverImage& image, std::vector<FileError>& errors) : image_(image), errors_(errors) {}

  static constexpr int kFirstDrawnDomain = 2;  // the electrical kind and all after it

  bool read(std::string_view text) {
    resetImage(image_);
    int fileLine = 0;
    for (size_t position = 0; position < text.size();) {
      const size_t end = std::min(text.find('\n', position), text.size());
      std::string_view line = text.substr(position, end - position);
      position = end + 1;
      ++fileLine;
      if (line.ends_with('\r')) line.remove_suffix(1);
      if (!readLine(line, fileLine)) return false;
    }
    if (!closeBlock()) return false;
    if (image_.records.empty()) return fail(0, "the model file holds no statement");
    finishNodeList();
    if (!finishStartingValues()) return false;
    placeUnplacedNodes();
    image_.secondCount = static_cast<int>(image_.textFileLine.size());
    return true;
  }

 private:
  bool fail(int line, std::string message) {
    errors_.push_back({line, std::move(message)});
    return false;
  }

  StatementRecord& record(int index) { return image_.records[index]; }

  bool addRecord(int fileLine, int& index) {
    if (static_cast<int>(image_.records.size()) >= kHandOverRecordLimit) {
      return fail(fileLine, "the model needs more than " + std::to_string(kHandOverRecordLimit) +
                                " records (one per statement, row and note line); this line "
                                "would be record " +
                                std::to_string(kHandOverRecordLimit + 1));
    }
    index = static_cast<int>(image_.records.size());
    StatementRecord& added = image_.records.emplace_back();
    clearRecord(added);
    added.sourceLine = fileLine;
    image_.recordFileLine.push_back(fileLine);
    return true;
  }

  bool addText(std::string_view line, int fileLine) {
    // Room must stay for the CR LF and the block's terminating zero.
    if (image_.modelText.size() + line.size() + 2 >= static_cast<size_t>(kModelTextBytes)) {
      return fail(fileLine, "the model text passes " + std::to_string(kModelTextBytes - 1) +
                                " bytes at this line");
    }
    image_.modelText.append(line);
    image_.modelText.append("\r\n");
    image_.textFileLine.push_back(fileLine);
    return true;
  }

  // The simulator copies a statement and the rows it skips into one echo text.
  bool checkEcho(size_t bytes, int fileLine) {
    if (bytes < static_cast<size_t>(kEchoTextBytes)) return true;
    return fail(fileLine, "the statement with its rows takes more than " +
                              std::to_string(kEchoTextBytes - 1) +
                              " bytes in the simulator's listing (shorten comments or rows)");
  }

  bool readLine(std::string_view line, int fileLine) {
    if (ended_) return readNote(line, fileLine);
    if (trim(withoutComment(line)).empty()) return true;  // layout
    if (isBlank(line[0])) return readRow(line, fileLine);
    if (!closeBlock()) return false;
    return readStatement(line, fileLine);
  }

  bool readNote(std::string_view line, int fileLine) {
    if (trim(line).empty()) return true;
    int index = 0;
    if (!addRecord(fileLine, index)) return false;
    record(index).echoFlag = 1;
    return addText(trimRight(line), fileLine);
  }

  bool readStatement(std::string_view line, int fileLine) {
    const std::string_view body = trimRight(withoutComment(line));
    const std::string_view keyword = firstWord(body);
    const CatalogueEntry* entry = findKeyword(keyword);
    if (entry == nullptr) {
      const std::string_view near = nearestKeyword(keyword);
      return fail(fileLine, "unknown keyword " + quoted(keyword) +
                                (near.empty() ? "" : "; did you mean " + quoted(near) + "?"));
    }
    const std::string_view rest = body.substr(keyword.size());
    const std::string_view handed = trimRight(line);

    int index = 0;
    if (!addRecord(fileLine, index) || !addText(handed, fileLine)) return false;
    const size_t echo = kNumberPrefixBytes + handed.size() + 3;
    if (!checkEcho(echo, fileLine)) return false;
    record(index).typeCode = entry->typeCode;

    const bool annotated = entry->category == Category::kElement || keyword == ".vc";
    if (!annotated && entry->category != Category::kKeyFile &&
        findOutsideLabels(rest, "{") != std::string_view::npos) {
      return fail(fileLine, "annotations {...} belong on element lines and '.vc'; " +
                                quoted(keyword) + " takes none");
    }
    switch (entry->category) {
      case Category::kElement:
        return readElement(index, *entry, rest, fileLine);
      case Category::kCommand:
        return readCommand(index, *entry, rest, fileLine);
      case Category::kNodePosition:
        return readPosition(rest, fileLine);
      case Category::kStartingValue:
        return readStartingValue(rest, fileLine);
      case Category::kKeyFile:
        return readKeyFile(rest, fileLine);
      case Category::kEndOfModel:
        ended_ = true;
        return true;
      case Category::kDataTable:
      case Category::kSupportSet:
      case Category::kFunction:
      case Category::kTime:
        return openBlock(index, *entry, rest, fileLine, echo);
    }
    return true;
  }

  // Output items may carry a label for the plots; the record holds the item alone.
  bool setFields(int index, std::string_view list, std::string_view keyword, FieldSpan labelled,
                 int fileLine) {
    std::vector<std::string_view> fields;
    std::string error;
    if (!splitFields(list, fields, error))
      return fail(fileLine, std::string(keyword) + ": " + error);
    StatementRecord& target = record(index);
    for (size_t k = 0; k < fields.size(); ++k) {
      const int number = static_cast<int>(k) + 1;
      if (fields[k].find('"') != std::string_view::npos) {
        if (!labelled.contains(number)) {
          return fail(
              fileLine,
              std::string(keyword) + ": field " + std::to_string(number) +
                  ": a label in double quotes may follow only an output item "
                  "of .o, .oo or .or, or an id cI of an output annotation {h B cI \"label\"}");
        }
        std::string_view label;
        if (!splitLabel(fields[k], fields[k], label, error))
          return fail(fileLine,
                      std::string(keyword) + ": field " + std::to_string(number) + ": " + error);
        image_.outputLabels.push_back({fileLine, std::string(fields[k]), std::string(label)});
      }
      // splitFields keeps every field below the slot size.
      if (!copyText(target.fieldText[k + 1], fields[k])) {
        return fail(fileLine, "field " + std::to_string(k + 1) + " does not fit its record");
      }
      target.fieldPresent[k + 1] = fields[k].empty() ? 0 : 1;
    }
    return true;
  }

  bool setAnnotations(int index, std::string_view text, std::string_view keyword, bool drawingOnly,
                      int fileLine) {
    Annotations annotations;
    std::string error;
    if (!readAnnotations(text, annotations, error)) {
      return fail(fileLine, std::string(keyword) + ": " + error);
    }
    if (drawingOnly && (!annotations.transcription.empty() || !annotations.output.empty())) {
      return fail(fileLine, std::string(keyword) + " takes only the drawing annotation {f N}");
    }
    for (auto& [item, label] : annotations.labels)
      image_.outputLabels.push_back({fileLine, std::move(item), std::move(label)});
    StatementRecord& target = record(index);
    if (annotations.release != 0) {
      if (target.typeCode != kRigidJointTypeCode) {
        return fail(fileLine,
                    std::string(keyword) +
                        ": only the rigid joint 'pc' takes the release annotation {r ...}");
      }
      target.flags |= annotations.release;
    }
    if (!copyText(target.drawingAnnotation, annotations.drawing) ||
        !copyText(target.transcriptionAnnotation, annotations.transcription) ||
        !copyText(target.outputAnnotation, annotations.output)) {
      return fail(fileLine, std::string(keyword) + ": an annotation does not fit its record");
    }
    return true;
  }

  bool readElement(int index, const CatalogueEntry& entry, std::string_view rest, int fileLine) {
    const size_t brace = findOutsideLabels(rest, "{");
    std::string_view list = rest.substr(0, brace);
    const std::string_view annotations =
        brace == std::string_view::npos ? std::string_view() : rest.substr(brace);
    NodeRef nodes[3];
    std::string error;
    if (!readNodes(list, entry.nodeCount, nodes, error)) {
      return fail(fileLine, std::string(entry.keyword) + ": " + error);
    }
    StatementRecord& target = record(index);
    target.firstNode = nodes[0].id;
    target.secondNode = nodes[1].id;
    if (entry.nodeCount == 3) target.thirdNode = nodes[2].id;
    if (!setFields(index, list, entry.keyword, {}, fileLine) ||
        !setAnnotations(index, annotations, entry.keyword, false, fileLine)) {
      return false;
    }
    // The simulator would stop at such a field with no more than its number.
    for (int k = 1; k <= kFieldCount; ++k) {
      const std::string why = unreadableField(target.fieldText[k]);
      if (!why.empty()) {
        return fail(fileLine, std::string(entry.keyword) + ": field " + std::to_string(k) + " " + why);
      }
    }
    for (int k = 0; k < entry.nodeCount; ++k) {
      // A switch may sit between two angles or two potentials: its nodes take the
      // kind the other elements give them, electrical when none does.
      if (entry.typeCode == kSwitchTypeCode) {
        if (nodes[k].id > 0) switchNodes_.push_back(nodes[k].id);
        continue;
      }
      if (!useNode(nodes[k].id, entry.domain, fileLine)) return false;
    }
    return true;
  }

  bool readCommand(int index, const CatalogueEntry& entry, std::string_view rest, int fileLine) {
    const std::string_view keyword = entry.keyword;
    const size_t brace = findOutsideLabels(rest, "{");
    const std::string_view list = rest.substr(0, brace);
    const std::string_view annotations =
        brace == std::string_view::npos ? std::string_view() : rest.substr(brace);
    if (!setFields(index, list, keyword, entry.outputItems, fileLine) ||
        !setAnnotations(index, annotations, keyword, true, fileLine)) {
      return false;
    }
    if (keyword == ".vc") rememberViewWindow(index);
    return true;
  }

  // The view window a ".vc" line asks for (centre x, y and half its side), when its
  // first three fields are constants: unplaced nodes are then spread over it.
  void rememberViewWindow(int index) {
    const StatementRecord& vc = record(index);
    std::array<double, 3> window{};
    std::string error;
    for (int k = 0; k < 3; ++k) {
      if (!vc.fieldPresent[k + 1]) return;
      if (!evaluateConstant(vc.fieldText[k + 1], window[k], error)) return;
    }
    if (window[2] > 0) viewWindow_ = window;
  }

  // Ground (0) and the negative ids are shared by every domain.
  bool useNode(int id, int domain, int fileLine) {
    if (domain != kNoDomain && domain != kMechanical && id == 0) groundUsed_ = true;
    if (domain == kNoDomain || id <= 0) return true;
    int32_t& kind = image_.nodes->kind[id];
    if (kind == 0) {
      kind = domain;
      kindLine_[id] = fileLine;
      return true;
    }
    if (kind == domain) return true;
    return fail(fileLine, "node " + std::to_string(id) + " is used in the " +
                              std::string(domainName(domain)) + " domain here and in the " +
                              std::string(domainName(kind)) + " domain on line " +
                              std::to_string(kindLine_[id]));
  }

  bool readPosition(std::string_view rest, int fileLine) {
    const std::string_view text = trim(rest);
    const std::string_view idWord =
        text.substr(0, std::min(text.find_first_of(" \t,"), text.size()));
    int node = 0;
    if (!readWholeNumber(idWord, node) || node < 0 || node >= kNodeCount) {
      return fail(fileLine, "'.in' needs a node id 0.." + std::to_string(kNodeCount - 1) +
                                " first, found " + quoted(idWord));
    }
    std::string_view coordinates = trim(text.substr(idWord.size()));
    if (coordinates.starts_with(',')) coordinates = trim(coordinates.substr(1));
    // "X, Y" lets each coordinate hold blanks; without a comma each is one word.
    std::vector<std::string_view> parts;
    std::string error;
    if (!splitFields(coordinates, parts, error)) return fail(fileLine, "'.in': " + error);
    if (parts.size() == 1) parts = words(parts[0]);
    if (parts.size() != 2 || parts[0].empty() || parts[1].empty()) {
      return fail(fileLine, "'.in' needs a node and two coordinates: .in N X Y");
    }
    double value[2] = {};
    for (int k = 0; k < 2; ++k) {
      if (!evaluateConstant(parts[k], value[k], error)) {
        return fail(fileLine, std::string("'.in': the ") + (k == 0 ? "x" : "y") + " coordinate " +
                                  quoted(parts[k]) + " " + error);
      }
    }
    if (placedLine_[node] != 0) {
      return fail(fileLine, "node " + std::to_string(node) + " is placed twice; first on line " +
                                std::to_string(placedLine_[node]));
    }
    placedLine_[node] = fileLine;
    image_.placedNodes.push_back(node);
    image_.nodes->x[node] = value[0];
    image_.nodes->y[node] = value[1];
    return true;
  }

  // ".iv N, VALUE": node N's potential (V, A-turns, Pa, degC) in the starting
  // solution; which domain the node is in is known once every line is read.
  bool readStartingValue(std::string_view rest, int fileLine) {
    std::vector<std::string_view> parts;
    std::string error;
    if (!splitFields(trim(rest), parts, error)) return fail(fileLine, "'.iv': " + error);
    if (parts.size() == 1) parts = words(parts[0]);
    int node = 0;
    double value = 0.0;
    if (parts.size() != 2 || !readWholeNumber(parts[0], node) || node < 1 || node >= kNodeCount ||
        (node >= kFirstGroundPoint && node <= kLastGroundPoint)) {
      return fail(fileLine, "'.iv' needs a node and its starting value: .iv N, VALUE (N from 1, "
                            "not a ground point 100 to 198)");
    }
    if (!evaluateConstant(parts[1], value, error)) {
      return fail(fileLine, "'.iv': the value " + quoted(parts[1]) + " " + error);
    }
    for (const StartingValue& given : startingValues_) {
      if (given.node == node) {
        return fail(fileLine, "node " + std::to_string(node) + " has a starting value on line " +
                                  std::to_string(given.fileLine) + " already");
      }
    }
    if (startingValues_.size() >= kNodeValueCount / 2) {
      return fail(fileLine, "more than " + std::to_string(kNodeValueCount / 2) + " '.iv' lines");
    }
    startingValues_.push_back({node, value, fileLine});
    return true;
  }

  // The hand-over's node values carry the ".iv" pairs: node, value, ..., ended by
  // node 0. Only a potential has a starting value to hold.
  bool finishStartingValues() {
    NodeTables& nodes = *image_.nodes;
    size_t at = 0;
    for (const StartingValue& given : startingValues_) {
      const int kind = nodes.kind[given.node];
      if (kind == kMechanical) {
        return fail(given.fileLine,
                    "'.iv': node " + std::to_string(given.node) +
                        " is mechanical; it starts where '.in' places it, and a body's fields 6 to "
                        "8 give its starting velocity");
      }
      if (kind == kNoDomain) {
        return fail(given.fileLine, "'.iv': no element uses node " + std::to_string(given.node));
      }
      nodes.nodeValues[at++] = given.node;
      nodes.nodeValues[at++] = given.value;
    }
    if (at < static_cast<size_t>(kNodeValueCount)) nodes.nodeValues[at] = 0.0;
    return true;
  }

  bool readKeyFile(std::string_view rest, int fileLine) {
    if (keyLine_ != 0) {
      return fail(fileLine, "a second '.key' line; the control-key file is named on line " +
                                std::to_string(keyLine_));
    }
    const std::string_view name = trim(rest);
    if (!name.starts_with("c:")) {
      return fail(fileLine, "'.key' needs a file name that starts with \"c:\" (c:/dir/keys.log)");
    }
    // The simulator cuts the name after the first ".log".
    const size_t log = name.find(".log", 2);
    if (log == std::string_view::npos || log + 4 != name.size()) {
      return fail(fileLine, "the '.key' file name must end in \".log\" and hold it only there");
    }
    if (name.size() >= sizeof(Model::controlKeyFile)) {
      return fail(fileLine, "the '.key' file name is longer than " +
                                std::to_string(sizeof(Model::controlKeyFile) - 1) + " bytes");
    }
    keyLine_ = fileLine;
    return true;
  }

  bool openBlock(int index, const CatalogueEntry& entry, std::string_view rest, int fileLine,
                 size_t echo) {
    const std::string_view head = trim(rest);
    StatementRecord& target = record(index);
    if (!copyText(target.fieldText[1], head)) {
      return fail(fileLine, quoted(entry.keyword) + ": the text after the keyword is longer than " +
                                std::to_string(kFieldTextBytes - 1) + " bytes");
    }
    target.fieldPresent[1] = head.empty() ? 0 : 1;
    OpenBlock block;
    block.record = index;
    block.statementLine = fileLine;
    block.category = entry.category;
    block.lastLine = fileLine;
    block.text = head;
    block.echoBytes = echo;
    if (entry.category == Category::kDataTable && !readTableIds(target, head, block, fileLine)) {
      return false;
    }
    if (entry.category == Category::kTime && !head.empty() &&
        !timeValue(head, 0, fileLine, block.text)) {
      return false;
    }
    block_ = std::move(block);
    return true;
  }

  // ":u ID" (ID 100 and above, or a parameter reference pID) is a lookup table;
  // ":u ID, ID, ..." with ids below 100 lists the return values of a function table.
  bool readTableIds(StatementRecord& target, std::string_view head, OpenBlock& block,
                    int fileLine) {
    const std::vector<std::string_view> ids = words(head);
    if (ids.empty()) {
      return fail(fileLine, "':u' needs a table id (100 and above) or return-value ids");
    }
    int id = 0;
    if (ids.size() == 1) {
      const std::string_view digits = ids[0].starts_with('p') ? ids[0].substr(1) : ids[0];
      if (readWholeNumber(digits, id) && id >= 100) {
        // The simulator keeps tables under the ids 100 to 990 only.
        if (id > kLastTableId) {
          return fail(fileLine, "':u': the table id " + std::to_string(id) +
                                    " is above " + std::to_string(kLastTableId) +
                                    " (table ids run from 100 to 990)");
        }
        target.tableId = id;
        block.lookupTable = true;
        return true;
      }
    }
    if (ids.size() > static_cast<size_t>(kMaxReturnValues)) {
      return fail(fileLine,
                  "':u' lists more than " + std::to_string(kMaxReturnValues) + " return-value ids");
    }
    for (size_t j = 0; j < ids.size(); ++j) {
      if (!readWholeNumber(ids[j], id) || id < 0 || id >= 100) {
        return fail(fileLine, "':u': " + quoted(ids[j]) +
                                  " is neither a table id (100 and above, or p100 and above) nor "
                                  "a return-value id below 100");
      }
      target.returnValueIds[j + 1] = id;
    }
    target.returnValueCount = static_cast<int>(ids.size());
    target.columnCount = target.returnValueCount + 1;
    block.functionTable = true;
    return true;
  }

  // The simulator reads each ".t" value as one plain number and would take "1/50"
  // as 1 and "5 m" as 5 without a word; the editor evaluates the expression and
  // hands over the number, and refuses what is no constant.
  bool timeValue(std::string_view text, int row, int fileLine, std::string& value) {
    double number = 0.0;
    std::string error;
    if (!evaluateConstant(text, number, error)) {
      const std::string which = row == 0 ? "the method after '.t'" : "'.t' row " + std::to_string(row);
      std::string hint;
      if (error.find("status 21") != std::string::npos) {
        hint = " (a unit letter must touch its number: 5m, not 5 m)";
      }
      return fail(fileLine, which + " " + quoted(text) + " " + error + hint +
                                "; write a number or a constant expression");
    }
    // The simulator would take a negative interval as 1 and a negative tolerance as
    // its default without a word: most likely a slip of the sign.
    constexpr int kIntervalRow = 4;
    constexpr int kToleranceRow = 6;
    if ((row == kIntervalRow || row == kToleranceRow) && number < 0.0) {
      return fail(fileLine, std::string(row == kIntervalRow ? "the output interval" : "the tolerance") +
                                " ('.t' row " + std::to_string(row) + ") " + quoted(text) +
                                " is negative; write 0 for the default (" +
                                (row == kIntervalRow ? "every step" : "1e-6") + ")");
    }
    // The shortest text that reads back as the same double.
    char formatted[32];
    const auto written = std::to_chars(formatted, formatted + sizeof formatted, number);
    value.assign(formatted, written.ptr);
    return true;
  }

  bool appendBlockText(OpenBlock& block, std::string_view line, int fileLine) {
    if (block.text.size() + 1 + line.size() >= static_cast<size_t>(kBlockTextBytes)) {
      return fail(fileLine, "the statement of line " + std::to_string(block.statementLine) +
                                " with its rows passes " + std::to_string(kBlockTextBytes - 1) +
                                " bytes of block text at this line");
    }
    block.text += '\n';
    block.text += line;
    return true;
  }

  bool readRow(std::string_view line, int fileLine) {
    if (!block_) {
      return fail(fileLine,
                  "an indented line continues only a table, support-set, function or time "
                  "statement, and there is none above it");
    }
    OpenBlock& block = *block_;
    const bool dataBlock =
        block.category == Category::kDataTable || block.category == Category::kSupportSet;
    std::string row(trim(withoutComment(line)));
    if (dataBlock && !(block.functionTable && block.rows == 0)) {
      // The simulator reads rows with "%le"; a comma would stop it.
      std::replace(row.begin(), row.end(), ',', ' ');
      StatementRecord& target = record(block.record);
      if (block.lookupTable && target.columnCount == 0) {
        target.columnCount = static_cast<int>(words(row).size());
        if (target.columnCount == 0) return fail(fileLine, "a data row without values");
      }
    }
    if (block.category == Category::kTime) {
      std::string value;
      if (!timeValue(row, block.rows + 1, fileLine, value)) return false;
      row = value;
    }
    if (!appendBlockText(block, row, fileLine)) return false;
    const std::string_view handed = trimRight(line);
    if (dataBlock) {
      block.echoBytes += handed.size() + 2;
      if (!checkEcho(block.echoBytes, fileLine)) return false;
    } else {
      // Function and time rows are records of their own, left out of the listing.
      int index = 0;
      if (!addRecord(fileLine, index)) return false;
      record(index).echoFlag = 1;
    }
    if (!addText(handed, fileLine)) return false;
    ++block.rows;
    block.lastLine = fileLine;
    return true;
  }

  bool closeBlock() {
    if (!block_) return true;
    OpenBlock block = std::move(*block_);
    block_.reset();
    StatementRecord& target = record(block.record);
    if (block.category == Category::kDataTable || block.category == Category::kSupportSet) {
      if (block.lookupTable && target.columnCount == 0) {
        return fail(block.statementLine,
                    "table ':u " + std::to_string(target.tableId) + "' has no data rows");
      }
      // The simulator's table readers expect one closing line after the rows.
      constexpr std::string_view kClosing = "  end";
      if (!appendBlockText(block, trim(kClosing), block.lastLine)) return false;
      block.echoBytes += kClosing.size() + 2;
      if (!checkEcho(block.echoBytes, block.lastLine)) return false;
      if (!addText(kClosing, block.lastLine)) return false;
      target.continuationCount = block.rows + 1;
    } else {
      target.continuationCount = block.rows;
      if (target.typeCode == kCircleTypeCode && !setCircleRecord(target, block)) return false;
    }
    if (!copyText(target.blockText, block.text)) {
      return fail(block.statementLine, "the block text does not fit its record");
    }
    return true;
  }

  // ":circle ID" shows its arc s, its cosine r and its sine t at ID, ID + 1 and
  // ID + 2, and draws r and t over the range of its radius (row 2): the record says
  // so by its mode 1, its first return value and its radius.
  bool setCircleRecord(StatementRecord& target, const OpenBlock& block) {
    std::vector<std::string_view> lines;
    std::string_view text = block.text;
    for (size_t at = 0; at <= text.size();) {
      const size_t end = std::min(text.find('\n', at), text.size());
      lines.push_back(text.substr(at, end - at));
      at = end + 1;
    }
    const std::string_view head = trim(lines[0]);
    int id = 0;
    const std::string_view digits = head.starts_with('p') ? head.substr(1) : head;
    if (!readWholeNumber(digits, id) || id < 10 || id > 997) {
      return fail(block.statementLine, "':circle' needs its id, 10 to 997 (the arc goes to the id, "
                                       "the cosine and the sine to the two after it), found " +
                                           quoted(head));
    }
    double radius = 0.0;
    std::string error;
    if (lines.size() < 3 || !evaluateConstant(lines[2], radius, error) || radius < 0.0) {
      return fail(block.statementLine,
                  "':circle' needs two rows, the angle (degrees) and the radius, a constant of 0 "
                  "or more" + (error.empty() ? std::string() : ": the radius " + error));
    }
    target.mode = 1;
    target.returnValueIds[1] = id;
    target.radius = radius;
    return true;
  }

  void finishNodeList() {
    NodeTables& nodes = *image_.nodes;
    for (const int id : switchNodes_) {
      if (nodes.kind[id] == 0) nodes.kind[id] = kElectrical;
    }
    int count = 0;
    for (int id = 0; id < kNodeListBelow; ++id) {
      if (nodes.kind[id] == kMechanical && placedLine_[id] != 0) nodes.nodeList[count++] = id;
    }
  }

  // Circuit, fluid, magnetic and thermal nodes without a ".in" would all sit at
  // the origin and their symbols would pile up there: they go on a grid over the
  // view window (the ".vc" line's when it gives it in plain numbers) instead, in the order of their ids, and an unplaced ground
  // below it. Mechanical nodes keep the origin: their place is their starting state.
  void placeUnplacedNodes() {
    NodeTables& nodes = *image_.nodes;
    std::vector<int> unplaced;
    for (int id = 1; id < kNodeCount; ++id) {
      if (nodes.kind[id] >= kFirstDrawnDomain && placedLine_[id] == 0) unplaced.push_back(id);
    }
    const double centreX = viewWindow_[0], centreY = viewWindow_[1], half = viewWindow_[2];
    if (!unplaced.empty()) {
      const int count = static_cast<int>(unplaced.size());
      const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
      const int rows = (count + columns - 1) / columns;
      constexpr double kSpan = 1.4;  // of the default window's 2 x 2
      for (int k = 0; k < count; ++k) {
        const int column = k % columns;
        const int row = k / columns;
        const double gridX = columns == 1 ? 0.0 : -kSpan / 2 + kSpan * column / (columns - 1);
        const double gridY = rows == 1 ? 0.3 : kSpan / 2 - kSpan * row / (rows - 1);
        nodes.x[unplaced[k]] = centreX + half * gridX;
        nodes.y[unplaced[k]] = centreY + half * gridY;
      }
    }
    if (groundUsed_ && placedLine_[0] == 0) {
      nodes.x[0] = centreX;
      nodes.y[0] = centreY - 0.9 * half;
    }
  }

  struct StartingValue {
    int node;
    double value;
    int fileLine;
  };

  HandOverImage& image_;
  std::vector<FileError>& errors_;
  std::vector<StartingValue> startingValues_;
  bool groundUsed_ = false;
  std::array<double, 3> viewWindow_{0.0, 0.0, 1.0};  // the default window unless ".vc" says
  std::optional<OpenBlock> block_;
  bool ended_ = false;
  int keyLine_ = 0;
  std::array<int, kNodeCount> placedLine_{};  // file line of the node's ".in", 0 none
  std::array<int, kNodeCount> kindLine_{};    // file line that gave the node its kind
  std::vector<int> switchNodes_;              // nodes named by "Sw" and "Ry"
};

}  // namespace

bool readModelFile(const std::string& fileText, HandOverImage& image,
                   std::vector<FileError>& errors) {
  std::string text;
  if (!decodeFileText(fileText, text, errors)) return false;
  Reader reader(image, errors);
  return reader.read(text);
}

bool readModelFilePath(const std::string& path, HandOverImage& image,
                       std::vector<FileError>& errors) {
  std::string bytes;
  std::string why;
  if (!readBoundedFile(path, kModelBytesLimit, bytes, why)) {
    errors.push_back({0, "cannot read the model file '" + path + "': " + why});
    return false;
  }
  return readModelFileAt(bytes, path, image, errors);
}

bool readModelFileAt(const std::string& bytes, const std::string& path, HandOverImage& image,
                     std::vector<FileError>& errors) {
  // Include statements are expanded first, with their own decoding per file; the
  // reader's errors are then moved back to the lines of this file.
  std::string text;
  if (!decodeFileText(bytes, text, errors)) return false;
  std::string expanded;
  std::vector<IncludedLine> origin;
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (!expandIncludes(text, folder.empty() ? "." : folder, expanded, origin, errors)) return false;
  const bool read = readModelFile(expanded, image, errors);
  mapErrorLines(origin, errors);
  mapImageLines(origin, image);
  return read;
}

}  // namespace movra::note

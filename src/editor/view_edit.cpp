#include "editor/view_edit.h"

#include <cstdlib>
#include <functional>
#include <vector>

#include "language/model_index.h"

namespace movra::editor {

namespace {

using language::FileIndex;
using language::Statement;

// The defaults of fields 1..13 of ".vc" (docs/reference.md).
const char* const kDefaults[] = {"0",    "0",    "1",    "1000", "1000", "1000", "1000",
                                 "1000", "1000", "1000", "1000", "1000", "1000"};

// The report's numbers as the words it sent, or nothing unless there are count.
std::vector<std::string> reportNumbers(const std::string& text, size_t count) {
  std::vector<std::string> words;
  size_t at = text.find_first_not_of(" \t");
  while (at != std::string::npos) {
    const size_t end = text.find_first_of(" \t", at);
    std::string word = text.substr(at, end == std::string::npos ? end : end - at);
    char* rest = nullptr;
    std::strtod(word.c_str(), &rest);
    if (rest == word.c_str() || *rest != 0) return {};
    words.push_back(std::move(word));
    at = text.find_first_not_of(" \t", end);
  }
  if (words.size() != count) return {};
  return words;
}

std::string joinFields(const std::vector<std::string>& fields) {
  std::string text;
  for (size_t k = 0; k < fields.size(); ++k) text += (k > 0 ? ", " : "") + fields[k];
  return text;
}

const Statement* findView(const FileIndex& file) {
  for (const Statement& statement : file.statements) {
    if (statement.keyword == ".vc") return &statement;
  }
  return nullptr;
}

// The first ".vc" in the files the top file includes, depth first.
bool findIncludedView(const FileIndex& file, ViewEdit& edit) {
  for (const auto& included : file.includes) {
    if (!included) continue;
    if (const Statement* view = findView(*included)) {
      edit.includedFile = included->path;
      edit.includedLine = view->line;
      return true;
    }
    if (findIncludedView(*included, edit)) return true;
  }
  return false;
}

}  // namespace

ViewEdit proposeViewEdit(std::string_view modelText, const std::string& path, int dataWord,
                         const std::string& reportText) {
  ViewEdit edit;
  size_t first = 0;
  size_t count = 0;
  if (dataWord == kViewWindowReport) {
    count = 3;
  } else if (dataWord == kScalesReport) {
    first = 3;
    count = 10;
  } else {
    return edit;
  }
  const std::vector<std::string> numbers = reportNumbers(reportText, count);
  if (numbers.empty()) return edit;
  const auto index = language::indexModel(modelText, path);
  const Statement* view = findView(*index);
  if (view == nullptr && findIncludedView(*index, edit)) {
    edit.kind = ViewEdit::Kind::kIncluded;
    return edit;
  }
  std::vector<std::string> fields;
  if (view != nullptr) {
    for (const auto& field : view->fields) {
      if (field.index >= 1) fields.push_back(field.text);
    }
  }
  while (fields.size() < first + count) fields.push_back(kDefaults[fields.size()]);
  for (size_t k = 0; k < count; ++k) fields[first + k] = numbers[k];

  if (view == nullptr) {
    // Beside the other commands: before the time statement, else before ".ic".
    edit.kind = ViewEdit::Kind::kInsert;
    // At the end means before the empty line after the last line break.
    edit.line = static_cast<int>(index->lines.size());
    if (edit.line > 0 && index->lines.back().empty()) --edit.line;
    if (index->endLine >= 0) edit.line = index->endLine;
    for (const Statement& statement : index->statements) {
      if (statement.keyword == ".t") {
        edit.line = statement.line;
        break;
      }
    }
    edit.newLine = ".vc " + joinFields(fields);
    return edit;
  }
  const std::string& line = index->lines[static_cast<size_t>(view->line)];
  // The text before the fields (indentation and keyword) and after them
  // (annotations, comment) stays as it was.
  size_t head = static_cast<size_t>(view->keywordRange.end.column);
  size_t tail = head;
  for (const auto& field : view->fields) {
    if (field.index >= 1) tail = static_cast<size_t>(field.range.end.column);
  }
  std::string rest = line.substr(tail);
  if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t') rest = " " + rest;
  edit.kind = ViewEdit::Kind::kReplace;
  edit.line = view->line;
  edit.oldLine = line;
  edit.newLine = line.substr(0, head) + " " + joinFields(fields) + rest;
  return edit;
}

}  // namespace movra::editor

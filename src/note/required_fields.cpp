#include "note/required_fields.h"

#include <string>
#include <string_view>

#include "note/catalogue.h"
#include "note/model_line.h"

namespace movra::note {
namespace {

// The model text's lines, as the reader handed them over (CR LF ended).
std::vector<std::string_view> textLines(const std::string& text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(std::string_view(text).substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The keyword as the line writes it: aliases share the rows, but the message
// should name what the user wrote.
const CatalogueEntry* writtenEntry(std::string_view line) {
  const std::string_view body = trimRight(withoutComment(line));
  if (body.empty() || isBlank(body[0])) return nullptr;
  return findKeyword(firstWord(body));
}

std::string message(const CatalogueEntry& entry, int k, const FieldInfo& field) {
  std::string text = std::string(entry.keyword) + ": field " + std::to_string(k) + ", the " +
                     std::string(field.name);
  if (!field.unit.empty()) text += " (" + std::string(field.unit) + ")";
  return text + ", is missing";
}

}  // namespace

std::vector<FileError> missingFields(const HandOverImage& image) {
  std::vector<FileError> errors;
  const std::vector<std::string_view> lines = textLines(image.modelText);
  // Records and text lines are both in file order; one cursor pairs them.
  size_t cursor = 0;
  for (size_t i = 0; i < image.records.size() && i < image.recordFileLine.size(); ++i) {
    const StatementRecord& record = image.records[i];
    if (record.typeCode < 1 || record.typeCode > 69) continue;
    const int fileLine = image.recordFileLine[i];
    const CatalogueEntry* entry = nullptr;
    for (size_t j = cursor; j < lines.size() && j < image.textFileLine.size(); ++j) {
      if (image.textFileLine[j] != fileLine) continue;
      const CatalogueEntry* written = writtenEntry(lines[j]);
      if (written == nullptr || written->typeCode != record.typeCode) continue;
      entry = written;
      cursor = j + 1;
      break;
    }
    if (entry == nullptr || entry->category != Category::kElement) continue;
    const std::span<const FieldInfo> fields = referenceOf(*entry).fields;
    for (size_t k = 1; k <= fields.size() && k <= static_cast<size_t>(kFieldCount); ++k) {
      const FieldInfo& field = fields[k - 1];
      if (field.required && record.fieldPresent[k] == 0) {
        errors.push_back({fileLine, message(*entry, static_cast<int>(k), field)});
      }
    }
  }
  return errors;
}

}  // namespace movra::note

#include "note/model_include.h"

#include <filesystem>
#include <sstream>
#include <string_view>

#include "note/model_file_text.h"
#include "platform/install_layout.h"
#include "platform/program_path.h"

namespace movra::note {

namespace {

constexpr std::string_view kKeyword = ".include";
constexpr int kDepthLimit = 8;

// The path of an include line ("" when the line is no include statement): the
// rest of the line without a comment and surrounding blanks, quotes allowed.
bool includePath(std::string_view line, std::string& path) {
  if (!line.starts_with(kKeyword)) return false;
  std::string_view rest = line.substr(kKeyword.size());
  if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t') return false;
  const size_t comment = rest.find("//");
  if (comment != std::string_view::npos) rest = rest.substr(0, comment);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r')) {
    rest.remove_suffix(1);
  }
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
    rest = rest.substr(1, rest.size() - 2);
  }
  path = std::string(rest);
  return true;
}

struct Expander {
  std::string& out;
  std::vector<IncludedLine>& origin;
  std::vector<FileError>& errors;
  size_t bytesLeft = kModelBytesLimit;  // for the model and all it includes

  // Expands one file's text; topLine is the including line of the top file for the
  // lines of an included file (0 while reading the top file itself).
  bool expand(const std::string& text, const std::filesystem::path& folder,
              const std::string& file, int topLine, int depth) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
      ++number;
      const int at = topLine != 0 ? topLine : number;
      const std::string where = file.empty() ? "" : " (in " + file + " line " +
                                                        std::to_string(number) + ")";
      // Includes that fan out (a file included many times over) end here.
      if (origin.size() >= static_cast<size_t>(kModelLinesLimit)) {
        errors.push_back({at, "the model and its included files have more than " +
                                  std::to_string(kModelLinesLimit) + " lines" + where});
        return false;
      }
      std::string path;
      if (!includePath(line, path)) {
        out += line;
        out += '\n';
        origin.push_back({at, file, number});
        continue;
      }
      if (path.empty()) {
        errors.push_back({at, "'.include' needs a file name" + where});
        return false;
      }
      if (depth >= kDepthLimit) {
        errors.push_back({at, "'.include " + path + "': included files nest deeper than " +
                                  std::to_string(kDepthLimit) + " (does a file include itself?)" +
                                  where});
        return false;
      }
      std::filesystem::path target = folder / path;
      // A table that is not found from the including file is looked for among
      // the installed material tables, so ".include air.model" works from any
      // folder, and so does a copied example's "../materials/air.model".
      std::error_code ignored;
      if (!std::filesystem::exists(target, ignored) && std::filesystem::path(path).is_relative()) {
        const std::string installed =
            platform::materialsDirectory(platform::directoryOf(platform::programPath()));
        if (!installed.empty() && std::filesystem::exists(installed + path, ignored)) {
          target = installed + path;
        }
      }
      std::string bytes;
      std::string why;
      if (!readBoundedFile(target.string(), bytesLeft, bytes, why)) {
        if (why.starts_with("longer than")) {
          why = "the model and its included files are longer than " + std::to_string(kModelBytesLimit) +
                " bytes";
        }
        errors.push_back({at, "'.include': cannot read '" + target.string() + "': " + why + where});
        return false;
      }
      bytesLeft -= bytes.size();
      std::string decoded;
      std::vector<FileError> decodeErrors;
      if (!decodeFileText(bytes, decoded, decodeErrors)) {
        const std::string reason = decodeErrors.empty() ? "" : ": " + decodeErrors[0].message;
        errors.push_back({at, "'.include " + path + "'" + reason + where});
        return false;
      }
      if (!expand(decoded, target.parent_path(), target.string(), at, depth + 1)) return false;
    }
    return true;
  }
};

}  // namespace

bool expandIncludes(const std::string& text, const std::string& folder, std::string& expanded,
                    std::vector<IncludedLine>& origin, std::vector<FileError>& errors) {
  expanded.clear();
  origin.clear();
  Expander expander{expanded, origin, errors,
                    text.size() < kModelBytesLimit ? kModelBytesLimit - text.size() : 0};
  if (!expander.expand(text, folder, "", 0, 0)) return false;
  // Keep the top file's ending: without a final line end its last line stays open.
  if (!text.empty() && text.back() != '\n' && !expanded.empty()) expanded.pop_back();
  return true;
}

void mapErrorLines(const std::vector<IncludedLine>& origin, std::vector<FileError>& errors) {
  for (FileError& error : errors) {
    if (error.line < 1 || error.line > static_cast<int>(origin.size())) continue;
    const IncludedLine& from = origin[static_cast<size_t>(error.line - 1)];
    if (!from.file.empty()) {
      error.message += " (in " + from.file + " line " + std::to_string(from.fileLine) + ")";
    }
    error.line = from.topLine;
  }
}

void mapImageLines(const std::vector<IncludedLine>& origin, HandOverImage& image) {
  const auto top = [&origin](int line) {
    return line >= 1 && line <= static_cast<int>(origin.size())
               ? origin[static_cast<size_t>(line - 1)].topLine
               : line;
  };
  for (int& line : image.recordFileLine) line = top(line);
  for (int& line : image.textFileLine) line = top(line);
  for (StatementRecord& record : image.records) record.sourceLine = top(record.sourceLine);
}

}  // namespace movra::note

#include "editor/model_styles.h"

namespace movra::editor {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A number: digits, a fraction, an exponent, then unit letters (1k, 100u, 2.5e-3).
size_t numberEnd(std::string_view line, size_t i) {
  while (i < line.size() && isDigit(line[i])) ++i;
  if (i < line.size() && line[i] == '.') {
    ++i;
    while (i < line.size() && isDigit(line[i])) ++i;
  }
  if (i + 1 < line.size() && (line[i] == 'e' || line[i] == 'E') &&
      (isDigit(line[i + 1]) || ((line[i + 1] == '-' || line[i + 1] == '+') && i + 2 < line.size() &&
                                isDigit(line[i + 2])))) {
    i += 2;
    while (i < line.size() && isDigit(line[i])) ++i;
  }
  while (i < line.size() && isLetter(line[i])) ++i;
  return i;
}

}  // namespace

std::vector<StyleRun> styleModelLine(std::string_view line) {
  std::vector<StyleRun> runs;
  const auto add = [&](size_t a, size_t b, TextStyle style) {
    if (b > a) runs.push_back({a, b - a, style});
  };
  size_t i = 0;
  while (i < line.size() && isBlank(line[i])) ++i;
  // A keyword starts the line; indented lines are rows of the statement above.
  bool nodes = false;
  if (i == 0 && i < line.size() && line.compare(0, 2, "//") != 0) {
    size_t end = i;
    while (end < line.size() && !isBlank(line[end]) && line[end] != ',') ++end;
    add(i, end, TextStyle::kKeyword);
    // Elements name their nodes before the first comma; ".in" names one.
    nodes = line[0] != '.' || line.substr(0, end) == ".in";
    i = end;
  }
  bool firstNodeOnly = line.substr(0, 4) == ".in " || line.substr(0, 4) == ".in\t";
  while (i < line.size()) {
    const char c = line[i];
    if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
      add(i, line.size(), TextStyle::kComment);
      break;
    }
    if (c == '{') {
      size_t close = line.find('}', i);
      close = close == std::string_view::npos ? line.size() : close + 1;
      add(i, close, TextStyle::kAnnotation);
      i = close;
      nodes = false;
      continue;
    }
    if (c == '"') {
      size_t close = line.find('"', i + 1);
      close = close == std::string_view::npos ? line.size() : close + 1;
      add(i, close, TextStyle::kLabel);
      i = close;
      continue;
    }
    if (c == ',') nodes = false;
    if (nodes && isDigit(c)) {
      size_t end = i;
      while (end < line.size() && isDigit(line[end])) ++end;
      if (end < line.size() && (line[end] == 'n' || line[end] == 'p')) ++end;
      if (end == line.size() || isBlank(line[end]) || line[end] == ',') {
        add(i, end, TextStyle::kNode);
        i = end;
        if (firstNodeOnly) nodes = false;
        continue;
      }
    }
    const bool wordStart = i == 0 || !(isLetter(line[i - 1]) || isDigit(line[i - 1]) ||
                                       line[i - 1] == '.' || line[i - 1] == '_');
    if (wordStart && isLetter(c) && i + 1 < line.size() && isDigit(line[i + 1])) {
      size_t end = i + 1;
      while (end < line.size() && isDigit(line[end])) ++end;
      if (end + 1 < line.size() && line[end] == '.' && isDigit(line[end + 1])) end += 2;
      add(i, end, TextStyle::kReference);
      i = end;
      continue;
    }
    if (wordStart && (isDigit(c) || (c == '.' && i + 1 < line.size() && isDigit(line[i + 1])))) {
      const size_t end = numberEnd(line, i);
      add(i, end, TextStyle::kNumber);
      i = end;
      continue;
    }
    ++i;
  }
  return runs;
}

}  // namespace movra::editor

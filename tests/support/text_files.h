// Reading the project's own files in tests (documents, examples):
// a whole file, and the cells of one Markdown table row.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace movra::testing {

inline std::string fileText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// "| a | b |" -> {"a", "b"}, each cell without its surrounding blanks.
inline std::vector<std::string> tableCells(const std::string& row) {
  std::vector<std::string> out;
  std::stringstream stream(row);
  std::string cell;
  std::getline(stream, cell, '|');  // before the first bar
  while (std::getline(stream, cell, '|')) {
    const size_t begin = cell.find_first_not_of(' ');
    const size_t end = cell.find_last_not_of(' ');
    out.push_back(begin == std::string::npos ? "" : cell.substr(begin, end - begin + 1));
  }
  return out;
}

}  // namespace movra::testing

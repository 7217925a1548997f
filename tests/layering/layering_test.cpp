// The engine and the model input stay free of Qt: only the view and the app link it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

TEST(Layering, NoQtHeadersBelowTheViewAndApp) {
  const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]|qt))");
  int filesSeen = 0;
  for (const char* folder : {"src/input", "src/engine", "src/elements", "src/note", "src/language"}) {
    const std::filesystem::path root = std::filesystem::path(MOVRA_SOURCE_DIR) / folder;
    if (!std::filesystem::exists(root)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      ++filesSeen;
      std::ifstream file(entry.path());
      std::string line;
      for (int number = 1; std::getline(file, line); ++number) {
        EXPECT_FALSE(std::regex_search(line, qtInclude)) << entry.path() << ":" << number << ": " << line;
      }
    }
  }
  EXPECT_GT(filesSeen, 10);
}

}  // namespace

// The engine and the model input stay free of Qt: only the view, the app, the
// plots and the editor's window link it; the editor's core is Qt-free as well.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

void expectNoQt(const std::filesystem::path& path) {
  const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]|qt))");
  std::ifstream file(path);
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    EXPECT_FALSE(std::regex_search(line, qtInclude)) << path << ":" << number << ": " << line;
  }
}

TEST(Layering, NoQtHeadersBelowTheViewAndApp) {
  int filesSeen = 0;
  for (const char* folder : {"src/input", "src/engine", "src/elements", "src/note", "src/language"}) {
    const std::filesystem::path root = std::filesystem::path(MOVRA_SOURCE_DIR) / folder;
    if (!std::filesystem::exists(root)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      ++filesSeen;
      expectNoQt(entry.path());
    }
  }
  EXPECT_GT(filesSeen, 10);
}

// The editor's core library, as its CMake file lists it, with each file's header.
TEST(Layering, TheEditorsCoreIsFreeOfQt) {
  const std::filesystem::path folder = std::filesystem::path(MOVRA_SOURCE_DIR) / "src/editor";
  std::ifstream cmake(folder / "CMakeLists.txt");
  const std::string text((std::istreambuf_iterator<char>(cmake)), std::istreambuf_iterator<char>());
  std::smatch block;
  ASSERT_TRUE(std::regex_search(text, block, std::regex(R"(movra_library\(movra_editor_core\s+SOURCES([^)]*?)DEPS)")));
  const std::string sources = block[1];
  int filesSeen = 0;
  const std::regex source(R"(([a-z_]+)\.cpp)");
  for (auto it = std::sregex_iterator(sources.begin(), sources.end(), source); it != std::sregex_iterator(); ++it) {
    for (const char* extension : {".cpp", ".h"}) {
      const std::filesystem::path path = folder / ((*it)[1].str() + extension);
      ASSERT_TRUE(std::filesystem::exists(path)) << path;
      expectNoQt(path);
      ++filesSeen;
    }
  }
  EXPECT_GE(filesSeen, 8);
}

}  // namespace

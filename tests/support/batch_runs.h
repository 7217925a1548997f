// Runs models through movra-note in batch mode, the way a user scripts it, and
// reads what they write.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace movra::testing {

using Rows = std::vector<std::vector<double>>;

// The numbers of a whitespace-separated text file, one row per non-empty line.
inline Rows readColumns(const std::string& path) {
  Rows rows;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::vector<double> row;
    double value = 0;
    while (fields >> value) row.push_back(value);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

inline std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The scratch directories of this test process: removed when it exits, unless a
// test failed, so that a failure leaves its runs to look at.
class ScratchDirectories {
 public:
  ~ScratchDirectories() {
    if (::testing::UnitTest::GetInstance()->Failed()) return;
    for (const std::string& directory : directories_) std::filesystem::remove_all(directory);
  }
  void add(const std::string& directory) { directories_.push_back(directory); }

 private:
  std::vector<std::string> directories_;
};

// An empty directory of this test process.
inline std::string scratchDirectory(const std::string& name) {
  static ScratchDirectories made;
  const std::string directory = ::testing::TempDir() + name + "_" + std::to_string(getpid());
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  made.add(directory);
  return directory;
}

// `movra-note run MODEL` with out.txt going to directory; shared memory of this
// test process only. Expects the run to succeed.
inline void runBatch(const std::string& model, const std::string& directory) {
  const std::string command = "MOVRA_SHM_TAG=batch-" + std::to_string(getpid()) +
                              " MOVRA_OUTPUT_DIR=" + directory + " " + MOVRA_BINARY_DIR +
                              "/bin/movra-note run " + model + " > " + directory + "/log.txt 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command << "\n" << readFile(directory + "/log.txt");
}

}  // namespace movra::testing

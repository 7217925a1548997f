// Runs models through movra-note in batch mode, the way a user scripts it, and
// reads what they write.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// Runs examples/<model>.model; returns out.txt's rows, each checked to have the
// time and `columns` output values (none when one has not).
inline Rows simulateExample(const std::string& model, size_t columns,
                            const std::string& scratchPrefix) {
  const std::string directory = scratchDirectory(scratchPrefix + model);
  runBatch(std::string(MOVRA_SOURCE_DIR) + "/examples/" + model + ".model", directory);
  Rows rows = readColumns(directory + "/out.txt");
  for (const auto& row : rows) {
    EXPECT_EQ(row.size(), columns + 1) << model;
    if (row.size() != columns + 1) return {};
  }
  return rows;
}

struct NoteOutput {
  int exitCode = -1;
  std::string output;
};

// `movra-note ARGUMENTS` and what it prints: standard output with standard error,
// or standard output alone.
inline NoteOutput runNote(const std::string& arguments, bool withStandardError = true) {
  const std::string command = std::string(MOVRA_BINARY_DIR) + "/bin/movra-note " + arguments +
                              (withStandardError ? " 2>&1" : " 2>/dev/null");
  NoteOutput result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A model file of the given text in the test's temporary directory.
inline std::string writeModel(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

// `movra-note ARGUMENTS` started in the background, all it prints going to
// logPath; wait for it with finishedNote. beforeStart runs in the new process
// just before movra-note replaces it (with movra-note's own process id).
template <typename BeforeStart>
inline pid_t startNoteLogged(const std::string& arguments, const std::string& logPath,
                             BeforeStart beforeStart) {
  const std::string command = "exec " + std::string(MOVRA_BINARY_DIR) + "/bin/movra-note " +
                              arguments + " > " + logPath + " 2>&1";
  const pid_t pid = fork();
  if (pid == 0) {
    beforeStart();
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

inline pid_t startNoteLogged(const std::string& arguments, const std::string& logPath) {
  return startNoteLogged(arguments, logPath, [] {});
}

// The exit code of a movra-note started so, once it has ended (-1 after a signal).
inline int finishedNote(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace movra::testing

// A real editor's client: Neovim (Debian's package) in headless mode opens an
// example with movra-note lsp as its server; the script data/neovim_client.lua
// types a mistake, hovers and mends it, and writes what Neovim's own LSP client
// received. Here that record is read back.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> runNeovim(const std::string& model, int line, const std::string& spoiled) {
  const fs::path out =
      fs::temp_directory_path() / ("movra-nvim-" + std::to_string(getpid()) + ".txt");
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  environment.push_back(std::string("MOVRA_NOTE=") + MOVRA_BINARY_DIR + "/bin/movra-note");
  environment.push_back("MOVRA_MODEL=" + model);
  environment.push_back("MOVRA_OUT=" + out.string());
  environment.push_back("MOVRA_LINE=" + std::to_string(line));
  environment.push_back("MOVRA_SPOILED=" + spoiled);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string script =
      std::string(MOVRA_SOURCE_DIR) + "/tests/language/data/neovim_client.lua";
  std::vector<std::string> args = {"nvim", "--headless", "--clean", "-n",
                                   "-i",   "NONE",       "-S",      script};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "nvim", nullptr, nullptr, argv.data(), envp.data()) != 0) {
    ADD_FAILURE() << "cannot start nvim: install the Debian package neovim";
    return {};
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::string> lines;
  std::ifstream file(out);
  for (std::string l; std::getline(file, l);) lines.push_back(l);
  fs::remove(out);
  return lines;
}

TEST(NeovimClient, DiagnosticsAndHoverThroughNeovimsOwnClient) {
  const std::string model = std::string(MOVRA_SOURCE_DIR) + "/examples/rc_circuit.model";
  // Line 15 of the example is "R 1 2, 1k ..."; a blank between 5 and its unit spoils it.
  const std::vector<std::string> record = runNeovim(model, 14, "R 1 2, 1k, 5 m     // resistance");
  ASSERT_EQ(record.size(), 6u) << (record.empty() ? "" : record.back());
  const std::vector<std::string> expected = {
      "opened 0",
      "spoiled 1",
      // Neovim's line and byte columns: "5 m" is columns 11 to 14; 1 is an error.
      "diagnostic 14 11 14 1 R: field 2 '5 m': a unit letter must touch its number (5m)",
  };
  EXPECT_EQ(std::vector<std::string>(record.begin(), record.begin() + 3), expected);
  // The keyword's entry as Neovim shows it.
  EXPECT_TRUE(record[3].starts_with("hover **R**")) << record[3];
  EXPECT_NE(record[3].find("resistor"), std::string::npos);
  EXPECT_NE(record[3].find("type code 23"), std::string::npos);
  EXPECT_NE(record[3].find("electrical"), std::string::npos);
  EXPECT_EQ(record[4], "mended 0");
  EXPECT_EQ(record[5], "stopped");
}

}  // namespace

// Where the shared files and a run's results are, for programs standing alone in
// a folder and for programs in an installed layout (PREFIX/bin beside
// PREFIX/share/movra), with the user's data folder taken from the environment.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/install_layout.h"

namespace movra::platform {
namespace {

class InstallLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = ::testing::TempDir() + "layout_" + std::to_string(getpid());
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/alone");
    std::filesystem::create_directories(root + "/prefix/bin");
    std::filesystem::create_directories(root + "/prefix/share/movra/materials");
    saveEnvironment("XDG_DATA_HOME", xdgData);
    saveEnvironment("HOME", home);
  }
  void TearDown() override {
    restoreEnvironment("XDG_DATA_HOME", xdgData);
    restoreEnvironment("HOME", home);
    std::filesystem::remove_all(root);
  }
  static void saveEnvironment(const char* name, std::optional<std::string>& kept) {
    if (const char* value = std::getenv(name)) kept = value;
  }
  static void restoreEnvironment(const char* name, const std::optional<std::string>& kept) {
    if (kept) {
      setenv(name, kept->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::string root;
  std::optional<std::string> xdgData, home;
};

TEST_F(InstallLayoutTest, ProgramsAloneWriteBesideThemselvesAndHaveNoSharedFiles) {
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  EXPECT_EQ(dataDirectory(root + "/alone/"), "");
  EXPECT_EQ(materialsDirectory(root + "/alone/"), "");
  EXPECT_EQ(resultsDirectory(root + "/alone/", "rc_circuit.model"), root + "/alone/");
  EXPECT_EQ(resultsDirectory(root + "/alone", "rc_circuit.model"), root + "/alone/");
}

TEST_F(InstallLayoutTest, InstalledProgramsFindTheirFilesAndWriteToTheUsersFolder) {
  const std::string bin = root + "/prefix/bin/";
  EXPECT_EQ(dataDirectory(bin), root + "/prefix/share/movra/");
  EXPECT_EQ(materialsDirectory(bin), root + "/prefix/share/movra/materials/");

  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  EXPECT_EQ(resultsDirectory(bin, "rc_circuit.model"), root + "/data/movra/results/rc_circuit/");
  // Only the model's own name counts, and a name that is no folder name is replaced.
  EXPECT_EQ(resultsDirectory(bin, "sub/four_bar.model"), root + "/data/movra/results/four_bar/");
  EXPECT_EQ(resultsDirectory(bin, "notes.txt"), root + "/data/movra/results/notes.txt/");
  EXPECT_EQ(resultsDirectory(bin, ".."), root + "/data/movra/results/model/");
  EXPECT_EQ(resultsDirectory(bin, ""), root + "/data/movra/results/model/");

  // A relative XDG_DATA_HOME is ignored; then HOME's .local/share.
  setenv("XDG_DATA_HOME", "relative/data", 1);
  setenv("HOME", (root + "/home").c_str(), 1);
  EXPECT_EQ(resultsDirectory(bin, "pendulum.model"),
            root + "/home/.local/share/movra/results/pendulum/");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(resultsDirectory(bin, "pendulum.model"),
            root + "/home/.local/share/movra/results/pendulum/");
}

TEST_F(InstallLayoutTest, AShareFolderWithoutMaterialsHasNoTables) {
  std::filesystem::remove_all(root + "/prefix/share/movra/materials");
  EXPECT_EQ(dataDirectory(root + "/prefix/bin/"), root + "/prefix/share/movra/");
  EXPECT_EQ(materialsDirectory(root + "/prefix/bin/"), "");
}

}  // namespace
}  // namespace movra::platform

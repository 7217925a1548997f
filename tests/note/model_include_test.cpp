// The include statement: files brought in where the statement stands, nested,
// and every mistake reported at the including line of the top file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "note/model_file.h"

namespace movra::note {
namespace {

class IncludeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::path(::testing::TempDir()) /
             ("include_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "tables");
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
  }
  bool read(const std::string& name) {
    errors.clear();
    image = HandOverImage{};
    return readModelFilePath((folder / name).string(), image, errors);
  }
  std::filesystem::path folder;
  HandOverImage image;
  std::vector<FileError> errors;
};

TEST_F(IncludeTest, IncludedTablesJoinTheModelAndKeepTheIncludingLine) {
  write("tables/steel.model", "// steel\n:u 540\n   0  50  7800  500\n");
  write("tables/all.model", ".include steel.model   // nested, relative to this file\n");
  write("wall.model",
        "// a wall\n.include \"tables/all.model\"\nt 2 0, 20\nHc 1 2, p540, 1, 2, 0.1\n.ic\n");
  ASSERT_TRUE(read("wall.model")) << (errors.empty() ? "" : errors[0].message);
  EXPECT_NE(image.modelText.find(":u 540"), std::string::npos);
  EXPECT_NE(image.modelText.find("Hc 1 2, p540"), std::string::npos);
  // The table's record is placed at the include statement; the statements after
  // it keep their own lines.
  bool atInclude = false;
  for (size_t r = 0; r < image.records.size(); ++r) {
    if (image.records[r].tableId == 540) atInclude = image.recordFileLine[r] == 2;
  }
  EXPECT_TRUE(atInclude);
  EXPECT_EQ(image.recordFileLine.back() >= 4, true);
  for (int line : image.textFileLine) EXPECT_LE(line, 5);
}

TEST_F(IncludeTest, MistakesAreReportedAtTheIncludingLine) {
  write("wall.model", "t 2 0, 20\n.include missing.model\n.ic\n");
  EXPECT_FALSE(read("wall.model"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_NE(errors[0].message.find("missing.model"), std::string::npos);

  // A mistake inside the included file names that file and its own line.
  write("bad.model", "// fine\n:u 100\n");
  write("wall.model", "t 2 0, 20\n\n.include bad.model\n.ic\n");
  EXPECT_FALSE(read("wall.model"));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].line, 3);
  EXPECT_NE(errors[0].message.find("bad.model line 2"), std::string::npos) << errors[0].message;

  // A file that includes itself stops at the depth limit, at the top file's line.
  write("loop.model", ".include loop.model\n");
  write("wall.model", "t 2 0, 20\n.include loop.model\n.ic\n");
  EXPECT_FALSE(read("wall.model"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_NE(errors[0].message.find("deeper"), std::string::npos);

  write("wall.model", ".include\n.ic\n");
  EXPECT_FALSE(read("wall.model"));
  EXPECT_EQ(errors.at(0).line, 1);
}

TEST_F(IncludeTest, AWordThatOnlyStartsLikeTheKeywordIsNoInclude) {
  write("wall.model", ".includes x\n.ic\n");
  EXPECT_FALSE(read("wall.model"));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].line, 1);
  EXPECT_EQ(errors[0].message.find("cannot read"), std::string::npos);
}

// A table not found beside the model comes from the tables that come with the
// programs (build/share/movra/materials for these tests, as in an installation):
// by its bare name, and by a copied example's "../materials/" path. A file of the
// same name beside the model still comes first.
TEST_F(IncludeTest, MaterialTablesAreFoundFromAnyFolder) {
  write("wall.model", "t 2 0, 20\n.include air.model\n.ic\n");
  ASSERT_TRUE(read("wall.model")) << (errors.empty() ? "" : errors[0].message);
  EXPECT_NE(image.modelText.find(":u 500"), std::string::npos);

  write("wall.model", "t 2 0, 20\n.include ../materials/air.model\n.ic\n");
  ASSERT_TRUE(read("wall.model")) << (errors.empty() ? "" : errors[0].message);
  EXPECT_NE(image.modelText.find(":u 500"), std::string::npos);

  write("air.model", ":u 777\n   0  1\n");
  write("wall.model", "t 2 0, 20\n.include air.model\n.ic\n");
  ASSERT_TRUE(read("wall.model")) << (errors.empty() ? "" : errors[0].message);
  EXPECT_NE(image.modelText.find(":u 777"), std::string::npos);
  EXPECT_EQ(image.modelText.find(":u 500"), std::string::npos);

  write("wall.model", "t 2 0, 20\n.include no_such_table.model\n.ic\n");
  EXPECT_FALSE(read("wall.model"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find("no_such_table.model"), std::string::npos);
}

}  // namespace
}  // namespace movra::note

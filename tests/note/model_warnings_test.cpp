// Lines that read and run but almost certainly say something else than meant.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "note/model_file.h"
#include "note/model_warnings.h"

namespace movra::note {
namespace {

std::vector<FileError> warningsOf(const std::string& text) {
  HandOverImage image;
  std::vector<FileError> errors;
  EXPECT_TRUE(readModelFile(text, image, errors)) << (errors.empty() ? "" : errors[0].message);
  return modelWarnings(image);
}

bool warns(const std::vector<FileError>& warnings, int line, const std::string& says) {
  for (const FileError& warning : warnings) {
    if (warning.line == line && warning.message.find(says) != std::string::npos) return true;
  }
  return false;
}

const std::string kTransient = ".t 2\n  0\n  1\n  1m\n  1\n";

TEST(ModelWarnings, LoadsOnAMechanismWithoutTheStepFlag) {
  const auto warnings = warningsOf(
      "b 0n 2n, 1, 0, -9.81\n"           // 1: gravity from the start
      "b 0n 4n, 1, 0, 0\n"               // 2: no load
      "fc 0n 2n, 0, 0, 0, 5, 90\n"       // 3: a force from the start
      "b 0n 5n, 1, 0, -9.81 * p20\n" +   // 4: p20 is no step flag; not a constant either
      kTransient);
  EXPECT_TRUE(warns(warnings, 1, "-9.81 * p2")) << warnings.size();
  EXPECT_TRUE(warns(warnings, 3, "field 4"));
  EXPECT_FALSE(warns(warnings, 2, ""));
  EXPECT_FALSE(warns(warnings, 4, ""));  // a load that depends on the run is not judged
  EXPECT_EQ(warnings.size(), 2u);

  // A single solution has no starting step to relax in; a model that gates some of
  // its loads by p2 means the others to act at the start.
  EXPECT_TRUE(warningsOf("b 0n 2n, 1, 0, -9.81\n.t 0\n  0\n  0\n  1m\n  0\n").empty());
  EXPECT_TRUE(warningsOf("b 0n 2n, 1, 0, -9.81\nfc 0n 2n, 0, -10 * (1 - p2)\n" + kTransient)
                  .empty());
  EXPECT_TRUE(warningsOf("b 0n 3n, 1, 0, -9.81 * p2\n" + kTransient).empty());
}

TEST(ModelWarnings, GroundedCircuitNodesAndUnreadFields) {
  const auto warnings = warningsOf(
      "V 1 0, 5, 0\n"                  // 1
      "R 1 150, 1k\n"                  // 2: 150 is ground, and nobody placed it
      ".in 101 0 0\n"                  // 3
      "R 1 101, 1k\n"                  // 4: a placed ground point
      "V 2 0, 1, 0\n"                  // 5
      "V 3 0, 1, 0\n"                  // 6
      "C 1 0, 1u, 5, 6\n"              // 7: fields 2 and 3 unread
      "R 1 0, 1k, 0, 2k, 4\n");        // 8: field 4 unread
  EXPECT_TRUE(warns(warnings, 2, "node 150"));
  EXPECT_FALSE(warns(warnings, 4, "node 101"));
  EXPECT_FALSE(warns(warnings, 5, ""));
  EXPECT_TRUE(warns(warnings, 7, "fields 2 to 3 are not used"));
  EXPECT_TRUE(warns(warnings, 8, "reads 3 fields; field 4 is not used"));
  EXPECT_FALSE(warns(warnings, 1, ""));
}

// An item labelled twice keeps its first label; a second, different one is named.
TEST(ModelWarnings, AnOutputLabelledTwiceDifferently) {
  const auto warnings = warningsOf(
      "R 1 0, 1k {h1100 c1102 \"load\"}\n"  // 1
      ".o x1.9 \"in\", 1102 \"load\"\n"     // 2: the same label again
      ".or -1, 1, X1.9 \"input\", p1102\n"  // 3: another label for x1.9
      ".o c1102 \"through R\"\n");          // 4: another for c1102
  EXPECT_FALSE(warns(warnings, 2, ""));
  EXPECT_TRUE(warns(warnings, 3, "has the label \"in\" on line 2 already"));
  EXPECT_TRUE(warns(warnings, 4, "not \"through R\""));
  EXPECT_EQ(warnings.size(), 2u);
}

// The field counts come from the reference rows, every family included; the last
// field a row lists is still read.
TEST(ModelWarnings, UnreadFieldsOfEveryFamily) {
  struct Case {
    const char* line;
    const char* says;  // "" for no warning
  };
  const Case cases[] = {
      {"Hl 1 2, 12m, 2, 870, 0.03, 0, 5, 1\n", "reads 5 fields; fields 6 to 7 are not used"},
      {"Cy 1 2, 2m, 1m, 0.4, 0, 0, 0, 3, 90\n", ""},
      {"Cy 1 2, 2m, 1m, 0.4, 0, 0, 0, 3, 90, 1\n", "reads 8 fields; field 9 is not used"},
      {"Hc 1 2, p540, 1, 1, 0.1, , , 5\n", ""},
      {"Ni 1 2, p500, 1, 0.5, 0.5, 0.02, 0, 1\n", "reads 6 fields; field 7 is not used"},
      {"gap 0n 1n, 0.05, 1e5, 60, 90, 0, 1\n", "reads 5 fields; field 6 is not used"},
      {"ge 1n 2n, 0.05, 0.1\n", "reads 1 field; field 2 is not used"},
  };
  for (const Case& c : cases) {
    const auto warnings = warningsOf(c.line);
    if (*c.says == 0) {
      EXPECT_FALSE(warns(warnings, 1, "not used")) << c.line;
    } else {
      EXPECT_TRUE(warns(warnings, 1, c.says)) << c.line;
    }
  }
}

TEST(ModelWarnings, ExamplesAreClean) {
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(MOVRA_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".model") continue;
    HandOverImage image;
    std::vector<FileError> errors;
    ASSERT_TRUE(readModelFilePath(entry.path().string(), image, errors)) << entry.path();
    const auto warnings = modelWarnings(image);
    EXPECT_TRUE(warnings.empty()) << entry.path() << ":" << warnings[0].line << ": "
                                  << warnings[0].message;
  }
}

}  // namespace
}  // namespace movra::note

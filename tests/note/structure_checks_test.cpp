// Structural mistakes that read and run silently: each model with the mistake is
// warned at its lines, and the same model mended is not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "note/in_process.h"
#include "note/model_file.h"
#include "note/structure_checks.h"

namespace movra::note {
namespace {

std::vector<FileError> structureOf(const std::string& text) {
  HandOverImage image;
  std::vector<FileError> errors;
  EXPECT_TRUE(readModelFile(text + ".t 1\n  0\n  1m\n  10u\n  1\n", image, errors))
      << (errors.empty() ? "" : errors[0].message);
  auto model = makeModel();
  const ReadOutcome read = readImage(image, *model, 2);
  EXPECT_TRUE(read.ok()) << (read.messages.empty() ? "" : read.messages[0].text);
  return structureWarnings(image, *model);
}

struct Mistake {
  const char* name;
  std::string faulty;
  int line;          // where the warning stands
  const char* says;  // part of its text
  std::string mended;
};

const std::string kCore = ", 4e-4, 0.3, 2000, 1.2, 50\n";

TEST(StructureChecks, EachMistakeIsWarnedAtItsLineAndItsMendIsNot) {
  const Mistake mistakes[] = {
      {"a wire that ends in nothing", "V 1 0, 5, 0\nR 1 2, 1k\n", 2, "electrical node 2 is used by this element alone",
       "V 1 0, 5, 0\nR 1 2, 1k\nR 2 0, 1k\n"},
      {"a current source into a capacitor, on from the start", "I 0 1, 1m\nC 1 0, 1u\n", 1,
       "reaches ground only through capacitors", "I 0 1, 1m * p2\nC 1 0, 1u\n"},
      {"a magnetic circuit with no ground", "V 1 0, 1, 0\nGr 1 0, 200, 0.5, 11, 12\nMa 12 11" + kCore, 2,
       "magnetic nodes 11 and 12 (lines 2 and 3) have no path",
       "V 1 0, 1, 0\nGr 1 0, 200, 0.5, 0, 11\nMa 11 0" + kCore},
      {"a force on a node that carries nothing", "fc 0n 1n, 0, -10 * p2\nb 0n 2n, 1, 1m\n", 1,
       "mechanical node 1 carries nothing but applied forces", "fc 0n 2n, 0, -10 * p2\nb 0n 2n, 1, 1m\n"},
      {"a motor's rotor mistyped", "V 1 0, 1, 0\nMd 1 0, 0.05, 2, 5m, 0, 7\nb 0n 5n, 0, 2e-4\n", 2,
       "mechanical node 7, named in field 5, is used by no other element",
       "V 1 0, 1, 0\nMd 1 0, 0.05, 2, 5m, 0, 5\nb 0n 5n, 0, 2e-4\n"},
  };
  for (const Mistake& mistake : mistakes) {
    const auto warnings = structureOf(mistake.faulty);
    ASSERT_EQ(warnings.size(), 1u) << mistake.name;
    EXPECT_EQ(warnings[0].line, mistake.line) << mistake.name;
    EXPECT_NE(warnings[0].message.find(mistake.says), std::string::npos)
        << mistake.name << ": " << warnings[0].message;
    EXPECT_TRUE(structureOf(mistake.mended).empty()) << mistake.name << " mended";
  }
}

// What is legal stays quiet: a cylinder's rod held at a placed node that nothing
// else uses, ground points as the far ends of a circuit.
TEST(StructureChecks, LegalShapesAreNotWarned) {
  EXPECT_TRUE(structureOf(".in 5 0.2 0\nPs 1 0, 1e5\nCy 1 0, 25m, 0, 0.4, 0, 0, 0, 5\n").empty());
  EXPECT_TRUE(structureOf("V 1 101, 5, 0\nR 1 102, 1k\n").empty());
}

}  // namespace
}  // namespace movra::note

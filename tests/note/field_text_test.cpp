// The slips of typing a line are refused at the line with what is wrong in words:
// the field, the letter and the letters allowed; the keyword meant.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "note/model_file.h"

namespace movra::note {
namespace {

TEST(FieldText, SlipsAreNamedAtTheirLineAndSoundLinesRead) {
  struct Case {
    const char* line;
    const char* says;  // empty: the line reads
  };
  const Case cases[] = {
      {"R 1 0, 1U", "field 1 '1U': 'U' is no unit letter; the unit letters are k (1e3), M (1e6)"},
      {"R 1 0, 10, 1meg", "field 2 '1meg': write M for mega (1M)"},
      {"R 1 0, 1 k", "field 1 '1 k': a unit letter must touch its number (1k)"},
      {"C 1 0, 4.7uF", "'4.7uF': a unit letter stands alone after its number, and 'F' is not read"},
      {"R 1 0, 2 *", "'2 *' is no expression the simulator can read (code"},
      {"Rr 1 0, 1k", "unknown keyword 'Rr'; did you mean 'R'?"},
      {":sine 20", "did you mean ':sin'?"},
      {"zz 1 0, 1", "unknown keyword 'zz'"},
      {"R 1 0, 4.7k * p12 + x1.9 - 1e-3 + 2E+3", ""},
      {"V 1 0, 5 * p2, 0", ""},
  };
  for (const Case& c : cases) {
    HandOverImage image;
    std::vector<FileError> errors;
    const bool read = readModelFile(std::string("// a model\n") + c.line + "\n", image, errors);
    if (c.says[0] == 0) {
      EXPECT_TRUE(read) << c.line << ": " << (errors.empty() ? "" : errors[0].message);
      continue;
    }
    ASSERT_FALSE(read) << c.line;
    ASSERT_EQ(errors.size(), 1u) << c.line;
    EXPECT_EQ(errors[0].line, 2) << c.line;
    EXPECT_NE(errors[0].message.find(c.says), std::string::npos) << errors[0].message;
  }
}

}  // namespace
}  // namespace movra::note

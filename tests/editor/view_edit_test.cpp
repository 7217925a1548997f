// The simulator's view and scales reports as edits of the model's ".vc" line.
#include "editor/view_edit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/batch_runs.h"

namespace movra::editor {
namespace {

using Kind = ViewEdit::Kind;

constexpr const char* kView = " 0.125 -0.25 0.5 ";
constexpr const char* kScales = " 1e+02 2e+02 3 4 5 6 7 8 9 10 ";

struct Case {
  const char* name;
  const char* model;
  int word;
  const char* report;
  Kind kind;
  int line;
  const char* newLine;
};

const Case kCases[] = {
    {"view keeps the force scale and the comment",
     ".in 1 0 0\n.vc 0, 0, 1, 60      // view\n.t 2\n", 3, kView, Kind::kReplace, 1,
     ".vc 0.125, -0.25, 0.5, 60      // view"},
    {"view keeps the annotation and a followed node's spacing",
     ".vc x2.1 , x2.2, 0.5 {f 1}   // follow\n", 3, kView, Kind::kReplace, 0,
     ".vc 0.125, -0.25, 0.5 {f 1}   // follow"},
    {"scales fill fields 4..13 after the view", ".vc 0, 0, 1\n", 4, kScales, Kind::kReplace, 0,
     ".vc 0, 0, 1, 1e+02, 2e+02, 3, 4, 5, 6, 7, 8, 9, 10"},
    {"scales keep an expression in the view fields", ".vc pow(2,1) * 0.1, 0, 1, 9, 9 // s\n", 4,
     kScales, Kind::kReplace, 0,
     ".vc pow(2,1) * 0.1, 0, 1, 1e+02, 2e+02, 3, 4, 5, 6, 7, 8, 9, 10 // s"},
    {"a bare .vc gets its three fields", "R 1 0, 1k\n.vc\n", 3, kView, Kind::kReplace, 1,
     ".vc 0.125, -0.25, 0.5"},
    {"a bare .vc with a drawing annotation", ".vc {f 1}\n", 3, kView, Kind::kReplace, 0,
     ".vc 0.125, -0.25, 0.5 {f 1}"},
    {"scales on a bare .vc take the view's defaults", ".vc\n", 4, kScales, Kind::kReplace, 0,
     ".vc 0, 0, 1, 1e+02, 2e+02, 3, 4, 5, 6, 7, 8, 9, 10"},
    {"no .vc: inserted before the time statement", "R 1 0, 1k\n.o x1.9\n.t 2\n   0\n   1\n.ic\n", 3,
     kView, Kind::kInsert, 2, ".vc 0.125, -0.25, 0.5"},
    {"no .vc and no .t: before .ic", "R 1 0, 1k\n.ic\nnotes\n", 3, kView, Kind::kInsert, 1,
     ".vc 0.125, -0.25, 0.5"},
    {"no .vc, no .t, no .ic: at the end", "R 1 0, 1k\nC 1 0, 1u\n", 4, kScales, Kind::kInsert, 2,
     ".vc 0, 0, 1, 1e+02, 2e+02, 3, 4, 5, 6, 7, 8, 9, 10"},
    {"a .vc after .ic is no statement", "R 1 0, 1k\n.ic\n.vc 1, 1, 1\n", 3, kView, Kind::kInsert, 1,
     ".vc 0.125, -0.25, 0.5"},
    {"too few numbers", ".vc 0, 0, 1\n", 3, " 1 2 ", Kind::kInvalid, 0, ""},
    {"scales need ten", ".vc 0, 0, 1\n", 4, kView, Kind::kInvalid, 0, ""},
    {"a word that is no number", ".vc 0, 0, 1\n", 3, " 1 x 2 ", Kind::kInvalid, 0, ""},
    {"an error report is no view edit", ".vc 0, 0, 1\n", 1002, kView, Kind::kInvalid, 0, ""},
};

TEST(ViewEdit, ReportsBecomeTheLineTheyAskFor) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ViewEdit edit = proposeViewEdit(c.model, "", c.word, c.report);
    EXPECT_EQ(edit.kind, c.kind);
    if (c.kind == Kind::kInvalid) continue;
    EXPECT_EQ(edit.line, c.line);
    EXPECT_EQ(edit.newLine, c.newLine);
    if (c.kind == Kind::kReplace) {
      // The old line is the model's own line at that place.
      std::string model = c.model;
      std::vector<std::string> lines;
      for (size_t at = 0, end; (end = model.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(model.substr(at, end - at));
      }
      EXPECT_EQ(edit.oldLine, lines.at(static_cast<size_t>(c.line)));
    }
  }
}

// A ".vc" line that comes from an included file is named, not edited; one in the
// top file wins over an included one.
TEST(ViewEdit, AViewLineInAnIncludedFileIsNamedNotEdited) {
  const std::string folder = movra::testing::scratchDirectory("view_edit_include");
  std::ofstream(folder + "/view.model") << "// shared view\n.vc 0, 0, 2, 60\n";
  const std::string top = "R 1 0, 1k\n.include view.model\n.t 2\n";
  const ViewEdit included = proposeViewEdit(top, folder + "/top.model", 3, kView);
  EXPECT_EQ(included.kind, Kind::kIncluded);
  EXPECT_EQ(std::filesystem::path(included.includedFile).filename(), "view.model");
  EXPECT_EQ(included.includedLine, 1);
  EXPECT_TRUE(included.newLine.empty());

  const ViewEdit own = proposeViewEdit(top + ".vc 1, 1, 1\n", folder + "/top.model", 3, kView);
  EXPECT_EQ(own.kind, Kind::kReplace);
  EXPECT_EQ(own.line, 3);
}

}  // namespace
}  // namespace movra::editor

#include "note/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "input/element_keywords.h"
#include "note/model_file.h"
#include "support/text_files.h"

namespace movra::note {
namespace {

const std::filesystem::path kDocs =
    std::filesystem::path(MOVRA_SOURCE_DIR) / "docs/model-format.md";

std::string docsText() { return testing::fileText(kDocs); }

TEST(Catalogue, LookupIsExactAndCaseSensitive) {
  ASSERT_NE(findKeyword("R"), nullptr);
  EXPECT_EQ(findKeyword("R")->typeCode, 23);
  EXPECT_EQ(findKeyword("r"), nullptr);
  EXPECT_EQ(findKeyword("R "), nullptr);
  EXPECT_NE(findKeyword(":lag"), findKeyword(":lag2"));  // no prefix matching
  EXPECT_EQ(findKeyword(""), nullptr);
}

// The editor must not hand over an element the simulator's reader refuses, and a
// keyword the simulator folds into another must mean the same element in both.
TEST(Catalogue, ElementKeywordsAreTheSimulatorsAndAliasesAgree) {
  int elements = 0;
  for (const CatalogueEntry& entry : catalogueEntries()) {
    if (entry.category != Category::kElement) continue;
    ++elements;
    const ElementKeyword* known = findElementKeyword(entry.keyword);
    ASSERT_NE(known, nullptr) << entry.keyword;
    const CatalogueEntry* folded = findKeyword(foldedKeyword(*known));
    if (folded == nullptr) continue;
    EXPECT_EQ(folded->typeCode, entry.typeCode) << entry.keyword;
    EXPECT_EQ(folded->domain, entry.domain) << entry.keyword;
  }
  EXPECT_GT(elements, 50);
  // Added by the hand-over modes or recognised only by the joint checks.
  for (const char* refused : {"sc", "lrr", "lbz", "lbv", "lbc", "lb8"}) {
    EXPECT_EQ(findKeyword(refused), nullptr) << refused;
  }
}

// Node kinds come from the domain column: an element that adds nothing to the
// system must not claim the nodes it names, and every other one must.
TEST(Catalogue, OnlyElementsWithAModelClaimNodeKinds) {
  constexpr int kWithoutModel[] = {1,  2,  3,  4,  19, 30, 33, 34, 36, 37, 38,
                                   39, 40, 49, 50, 59, 60, 61, 63, 64, 66, 67};
  for (const CatalogueEntry& entry : catalogueEntries()) {
    if (entry.category != Category::kElement) continue;
    const bool withoutModel = std::find(std::begin(kWithoutModel), std::end(kWithoutModel),
                                        entry.typeCode) != std::end(kWithoutModel);
    EXPECT_EQ(entry.domain == kNoDomain, withoutModel) << entry.keyword;
  }
}

// The keyword table of docs/model-format.md must list every row of the code, in order.
TEST(Catalogue, DocumentedTableMatchesTheCode) {
  std::istringstream docs(docsText());
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(docs, line);) {
    if (!line.starts_with("| `")) continue;
    std::vector<std::string> row = testing::tableCells(line);
    if (row.size() == 6 && row[0].size() > 2 && row[0].ends_with('`')) rows.push_back(row);
  }
  const auto entries = catalogueEntries();
  ASSERT_EQ(rows.size(), entries.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const CatalogueEntry& entry = entries[i];
    const std::vector<std::string>& row = rows[i];
    EXPECT_EQ(row[0], "`" + std::string(entry.keyword) + "`");
    EXPECT_EQ(row[1], std::to_string(entry.typeCode)) << entry.keyword;
    EXPECT_EQ(row[2], categoryName(entry.category)) << entry.keyword;
    EXPECT_EQ(row[3], std::to_string(entry.nodeCount)) << entry.keyword;
    EXPECT_EQ(row[4], std::to_string(entry.domain)) << entry.keyword;
    EXPECT_EQ(row[5], entry.description) << entry.keyword;
  }
}

// Every example block of the language description must read as it stands ("```text"
// blocks show the syntax only).
TEST(Catalogue, DocumentedExamplesRead) {
  std::istringstream docs(docsText());
  int examples = 0;
  std::string block;
  bool inBlock = false;
  bool skipBlock = false;
  int blockLine = 0;
  int lineNumber = 0;
  for (std::string line; std::getline(docs, line);) {
    ++lineNumber;
    if (line.starts_with("```")) {
      if (inBlock && !skipBlock) {
        HandOverImage image;
        std::vector<FileError> errors;
        EXPECT_TRUE(readModelFile(block, image, errors))
            << "example at docs line " << blockLine << ": "
            << (errors.empty() ? "" : errors[0].message);
        ++examples;
      }
      inBlock = !inBlock;
      skipBlock = line == "```text";
      block.clear();
      blockLine = lineNumber;
      continue;
    }
    if (inBlock) block += line + "\n";
  }
  EXPECT_GT(examples, 10);
}

}  // namespace
}  // namespace movra::note

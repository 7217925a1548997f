#include "input/control_keys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace movra {
namespace {

std::unique_ptr<ControlKeyRecord> readText(const std::string& text, int* status = nullptr) {
  auto record = std::make_unique<ControlKeyRecord>();
  std::FILE* file = tmpfile();
  std::fputs(text.c_str(), file);
  std::rewind(file);
  const int result = readControlKeys(file, *record);
  std::fclose(file);
  if (status != nullptr) *status = result;
  return record;
}

TEST(ControlKeys, UnpacksTheKeyWord) {
  auto record = readText(
      "7 1 2 3 4 5 6 7 8 9 10 11 3000\n"
      "8 0 0 0 0 0 0 0 0 0 0 0 c8\n"
      "9 0 0 0 0 0 0 0 0 0 0 0 40\n"
      "10 0 0 0 0 0 0 0 0 0 0 0 c036\n");
  ASSERT_EQ(record->rowsRead, 4);
  const double* row = record->row[0];
  EXPECT_EQ(row[12], 7);
  EXPECT_EQ(row[1], 1);
  EXPECT_EQ(row[11], 11);
  EXPECT_EQ(row[13], 3);  // bits 12, 13
  EXPECT_EQ(row[14], 3);  // bits 4, 5 clear, read inverted
  EXPECT_EQ(record->row[1][16], 7);  // bits 3, 6, 7
  EXPECT_EQ(record->row[2][16], 4);  // bit 6 alone
  // 0xc036: bits 1, 2 -> 3; bits 4, 5 set -> 0 inverted; bits 14, 15 -> 3.
  EXPECT_EQ(record->row[3][15], 3);
  EXPECT_EQ(record->row[3][14], 0);
  EXPECT_EQ(record->row[3][17], 3);
}

TEST(ControlKeys, StopsAfter5001RowsAndPadsWithTheLastRow) {
  std::string text;
  for (int i = 0; i < 6000; ++i) text += std::to_string(i) + " " + std::to_string(i) + " 0 0 0 0 0 0 0 0 0 0 1\n";
  auto record = readText(text);
  EXPECT_EQ(record->rowsRead, 5001);
  EXPECT_EQ(record->lastRowIndex, 5000.0);
  for (int extra = 1; extra <= 3; ++extra) {
    EXPECT_EQ(record->row[5000 + extra][1], 5000);
    EXPECT_EQ(record->row[5000 + extra][12], 5000);
  }
}

TEST(ControlKeys, BlankFirstLineGivesAnEmptyRecord) {
  auto record = readText("\n1 2 3 4 5 6 7 8 9 10 11 12 0\n");
  EXPECT_EQ(record->rowsRead, 0);
  EXPECT_EQ(record->lastRowIndex, -1.0);
}

TEST(ControlKeys, ShortRowKeepsWhatItHad) {
  auto record = readText("1 5 6\n");
  ASSERT_EQ(record->rowsRead, 1);
  EXPECT_EQ(record->row[0][12], 1);
  EXPECT_EQ(record->row[0][1], 5);
  EXPECT_EQ(record->row[0][2], 6);
  EXPECT_EQ(record->row[0][3], 0);
  EXPECT_EQ(record->row[0][13], 0);
}

TEST(ControlKeys, LineLongerThan127CharactersIsRefusedNotSplit) {
  int status = 0;
  const std::string good = "1 0 0 0 0 0 0 0 0 0 0 0 0\n";
  const std::string exactly127 = "2 " + std::string(125, '0') + "\n";
  const std::string tooLong = "3 " + std::string(126, '0') + "\n";
  auto record = readText(good + exactly127 + tooLong + good, &status);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(record->rowsRead, 2);
}

}  // namespace
}  // namespace movra

#include "support/CommonDialog.h"

#include <gtest/gtest.h>

namespace dwl {
namespace {

// What the dialog leaves in its buffer: the answer over the blanks it started with.
std::string Returned(const std::string& answer) {
  std::string buffer = EmptyOpenFileNameBuffer();
  buffer.replace(0, answer.size(), answer);
  return buffer;
}

TEST(CommonDialogTest, TheBufferStartsAsBlanksAndANul) {
  const std::string buffer = EmptyOpenFileNameBuffer();
  ASSERT_EQ(buffer.size(), 2048u);
  EXPECT_EQ(buffer.find_first_not_of(' '), 2047u);
  EXPECT_EQ(buffer.back(), '\0');
}

TEST(CommonDialogTest, OneFileGivesItsNameAndFolder) {
  const auto result = ParseOpenFileDialogBuffer(Returned(std::string("C:\\data\\report.pdf\0", 19)), '\\');
  EXPECT_FALSE(result.Cancelled);
  EXPECT_EQ(result.FileCount, 1);
  ASSERT_EQ(result.FileNames.size(), 2u);
  EXPECT_EQ(result.FileNames[1], "report.pdf");
  EXPECT_EQ(result.FolderPath, "C:\\data\\");
}

TEST(CommonDialogTest, SeveralFilesComeInTheDialogsOrder) {
  const auto result = ParseOpenFileDialogBuffer(
      Returned(std::string("/home/u/data\0b.txt\0a.bin\0z\0\0", 29)), '/');
  EXPECT_FALSE(result.Cancelled);
  ASSERT_EQ(result.FileCount, 3);
  EXPECT_EQ(result.FileNames[1], "b.txt");
  EXPECT_EQ(result.FileNames[2], "a.bin");
  EXPECT_EQ(result.FileNames[3], "z") << "a one-character name chosen last";
  EXPECT_EQ(result.FolderPath, "/home/u/data/");
}

TEST(CommonDialogTest, AFolderThatEndsInASeparatorGetsNoSecondOne) {
  const auto result =
      ParseOpenFileDialogBuffer(Returned(std::string("C:\\\0a\0b\0\0", 9)), '\\');
  EXPECT_EQ(result.FolderPath, "C:\\");
  EXPECT_EQ(result.FileCount, 2);
}

TEST(CommonDialogTest, NothingChosenIsCancelled) {
  for (const std::string& buffer : {EmptyOpenFileNameBuffer(), std::string()}) {
    const auto result = ParseOpenFileDialogBuffer(buffer, '\\');
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.FileCount, 0);
    EXPECT_TRUE(result.FileNames.empty());
    EXPECT_EQ(result.FolderPath, "");
  }
}

TEST(CommonDialogTest, AFullBufferWithoutPaddingStillParses) {
  std::string answer = "C:\\d";
  answer.push_back('\0');
  for (int i = 0; i < 1021; ++i) answer += std::string("n\0", 2);
  answer.push_back('\0');
  ASSERT_EQ(answer.size(), kOpenFileNameBufferLength);
  const auto result = ParseOpenFileDialogBuffer(answer, '\\');
  EXPECT_EQ(result.FileCount, 1021);
  EXPECT_EQ(result.FileNames.back(), "n");
}

// Found by fuzzing: one path ending in the separator gave one file with an empty name.
TEST(CommonDialogTest, APathEndingInTheSeparatorChoosesNothing) {
  for (const std::string& path : {std::string("C:\\data\\"), std::string("\\")}) {
    const auto result = ParseOpenFileDialogBuffer(Returned(path + '\0'), '\\');
    EXPECT_TRUE(result.Cancelled) << path;
    EXPECT_EQ(result.FileCount, 0) << path;
    EXPECT_TRUE(result.FileNames.empty()) << path;
    EXPECT_EQ(result.FolderPath, "") << path;
  }
}

TEST(CommonDialogTest, NamesBeyondWhatTheCountHoldsAreLeftOut) {
  std::string buffer = std::string("/d") + '\0';
  for (int i = 0; i < 40000; ++i) buffer += std::string("n") + '\0';
  buffer.push_back('\0');
  const auto result = ParseOpenFileDialogBuffer(buffer, '/');
  EXPECT_EQ(result.FileCount, 32767);
  EXPECT_EQ(result.FileNames.size(), 32768u);
  EXPECT_EQ(result.FileNames.back(), "n");
}

}  // namespace
}  // namespace dwl

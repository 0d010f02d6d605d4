#include "support/CommonDialog.h"

#include <gtest/gtest.h>

namespace dwl {
namespace {

using namespace std::string_literals;

// What the dialog leaves in its buffer: the answer over the blanks it started with.
std::string Returned(const std::string& answer) {
  std::string buffer = EmptyOpenFileNameBuffer();
  buffer.replace(0, answer.size(), answer);
  return buffer;
}

// The names after the folder slot, in the dialog's order.
std::vector<std::string> Names(const OpenFileDialogResult& result) {
  if (result.FileNames.empty()) return {};
  return {result.FileNames.begin() + 1, result.FileNames.end()};
}

TEST(CommonDialogTest, GivesTheFolderAndTheNamesInTheDialogsOrder) {
  struct Case {
    std::string buffer;
    char separator;
    std::string folder;
    std::vector<std::string> names;  // none: nothing chosen
  };
  const Case cases[] = {
      {Returned("C:\\data\\report.pdf\0"s), '\\', "C:\\data\\", {"report.pdf"}},
      {Returned("/home/u/data\0b.txt\0a.bin\0z\0\0"s), '/', "/home/u/data/", {"b.txt", "a.bin", "z"}},
      {Returned("C:\\\0a\0b\0\0"s), '\\', "C:\\", {"a", "b"}},
      {EmptyOpenFileNameBuffer(), '\\', "", {}},
      {"", '\\', "", {}},
      // Found by fuzzing: one path ending in the separator gave one file with an empty name.
      {Returned("C:\\data\\\0"s), '\\', "", {}},
      {Returned("\\\0"s), '\\', "", {}},
  };
  for (const Case& c : cases) {
    const auto result = ParseOpenFileDialogBuffer(c.buffer, c.separator);
    EXPECT_EQ(result.Cancelled, c.names.empty()) << c.buffer.substr(0, 40);
    EXPECT_EQ(result.FileCount, static_cast<int>(c.names.size())) << c.buffer.substr(0, 40);
    EXPECT_EQ(result.FolderPath, c.folder);
    EXPECT_EQ(Names(result), c.names);
  }
}

TEST(CommonDialogTest, AFullBufferParsesAndNamesBeyondTheCountAreLeftOut) {
  std::string full = "C:\\d\0"s;
  for (int i = 0; i < 1021; ++i) full += "n\0"s;
  full.push_back('\0');
  ASSERT_EQ(full.size(), kOpenFileNameBufferLength);
  EXPECT_EQ(ParseOpenFileDialogBuffer(full, '\\').FileCount, 1021);

  std::string many = "/d\0"s;
  for (int i = 0; i < 40000; ++i) many += "n\0"s;
  const auto result = ParseOpenFileDialogBuffer(many + '\0', '/');
  EXPECT_EQ(result.FileCount, 32767);
  EXPECT_EQ(result.FileNames.size(), 32768u);
}

}  // namespace
}  // namespace dwl

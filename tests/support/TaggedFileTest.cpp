#include "support/TaggedFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ValueText.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;
using testing::ThrowsError;
using testing::WriteBytes;

class TaggedFileTest : public ::testing::Test {
 protected:
  testing::TestPlatform platform;
  std::string path = platform.Path("tagged.txt");
};

// The queue's and the settings' tests read such files back; here, what the
// writer writes.
// Only a text line that would read as the closing tag changes: it gains a
// blank (which the reader takes off again).
TEST_F(TaggedFileTest, EntriesKeepValuesOnOneLineAndTextsWhole) {
  WriteTaggedFile(path, path + ".new", FileAccess::Shared, [&](TaggedFileWriter& out) {
    out.WriteEntry("Subject", "two\r\nlines\n<Recipient>");
    out.WriteEntry("Empty", "");
    out.WriteTextEntry("Body", "</Body>\r\n</Body>  \r\n </Body>\r\n</Body>x\r\n\r\nlone\rcr\nlf\r\n");
    out.WriteTextEntry("None", "");
  });
  EXPECT_EQ(ReadBytes(path),
            "<Subject>\r\ntwo lines <Recipient>\r\n</Subject>\r\n<Empty>\r\n\r\n</Empty>\r\n"
            "<Body>\r\n</Body> \r\n</Body>   \r\n </Body>\r\n</Body>x\r\n\r\nlone\r\ncr\r\nlf\r\n"
            "\r\n</Body>\r\n<None>\r\n\r\n</None>\r\n");
}

TEST_F(TaggedFileTest, AFailedWriteLeavesTheOldFileAndNoTemporaryOne) {
  WriteBytes(path, "old\r\n");
  WriteBytes(path + ".new", "left by a crash");
  EXPECT_THROW(WriteTaggedFile(path, path + ".new", FileAccess::Shared,
                               [](TaggedFileWriter& out) {
                                 out.WriteEntry("A", "1");
                                 throw Error(errc::kDiskFull, "test", "Disk full");
                               }),
               Error);
  EXPECT_EQ(ReadBytes(path), "old\r\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
  WriteTaggedFile(path, path + ".new", FileAccess::Private, [](TaggedFileWriter& out) { out.WriteEntry("A", "1"); });
  EXPECT_EQ(ReadBytes(path), "<A>\r\n1\r\n</A>\r\n") << "a stale temporary file is replaced";
}

TEST(ValueTextTest, WholeNumbersAndFlags) {
  for (const auto& [text, number] : std::vector<std::pair<std::string, int>>{
           {"0", 0}, {"-42", -42}, {" +7 ", 7}, {"2.5", 2}, {"3.5", 4}, {"2147483647", 2147483647},
           {"-2147483648", -2147483647 - 1}}) {
    EXPECT_EQ(ToWholeNumber(text), number) << text;
  }
  for (const std::string bad : {"", "abc", "1e3", "12abc", ".", "-", "1,5", "0x10"}) {
    EXPECT_TRUE(ThrowsError(errc::kTypeMismatch, [&] { ToWholeNumber(bad); })) << bad;
  }
  EXPECT_TRUE(ThrowsError(errc::kOverflow, [&] { ToWholeNumber("2147483648"); }));
  for (const auto& [text, flag] : std::vector<std::pair<std::string, bool>>{
           {"True", true}, {"TRUE", true}, {"-1", true}, {"False", false}, {"0", false}}) {
    EXPECT_EQ(ToFlag(text), flag) << text;
  }
  EXPECT_THROW(ToFlag("yes"), Error);
  EXPECT_THROW(ToFlag(""), Error);
}

}  // namespace
}  // namespace dwl

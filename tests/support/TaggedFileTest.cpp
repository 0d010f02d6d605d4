#include "support/TaggedFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ValueText.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class TaggedFileTest : public ::testing::Test {
 protected:
  testing::TestPlatform platform;
};

TEST_F(TaggedFileTest, ReadsValuesAndMultiLineText) {
  const std::string path = platform.Path("q.txt");
  WriteBytes(path, "<Subject>\r\nHi\r\nanything\r\n<Body>\r\nA\r\n\r\nB\r\n</Body>\r\n<Tail>\r\n");
  const auto file = platform.files.OpenTextForReading(path);
  TaggedFileReader in(*file);
  EXPECT_EQ(in.NextLine(), "<Subject>");
  EXPECT_EQ(in.ReadValue(), "Hi");
  EXPECT_EQ(in.NextLine(), "<Body>");
  EXPECT_EQ(in.ReadUntil("</Body>"), "A\r\n\r\nB\r\n");
  EXPECT_EQ(in.NextLine(), "<Tail>");
  EXPECT_EQ(in.NextLine(), std::nullopt);
}

TEST_F(TaggedFileTest, AFileEndingInsideAnEntryIsAnError) {
  for (const std::string bytes : {"<Subject>\r\n", "<Subject>\r\nvalue\r\n"}) {
    const std::string path = platform.Path("short.txt");
    WriteBytes(path, bytes);
    const auto file = platform.files.OpenTextForReading(path);
    TaggedFileReader in(*file);
    in.NextLine();
    EXPECT_TRUE(testing::ThrowsError(errc::kInputPastEndOfFile, [&] { in.ReadValue(); }))
        << "no error for " << bytes;
  }
  const std::string path = platform.Path("nobodyend.txt");
  WriteBytes(path, "<Body>\r\nA\r\n");
  const auto file = platform.files.OpenTextForReading(path);
  TaggedFileReader in(*file);
  in.NextLine();
  EXPECT_THROW(in.ReadUntil("</Body>"), Error);
}

TEST_F(TaggedFileTest, WritesThreeLineEntriesWithValuesKeptOnOneLine) {
  const std::string path = platform.Path("out.txt");
  WriteTaggedFile(path, path + ".new", FileAccess::Private, [](TaggedFileWriter& out) {
    out.WriteEntry("Subject", "two\r\nlines\n<Recipient>");
    out.WriteEntry("Empty", "");
  });
  EXPECT_EQ(ReadBytes(path), "<Subject>\r\ntwo lines <Recipient>\r\n</Subject>\r\n<Empty>\r\n\r\n</Empty>\r\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST_F(TaggedFileTest, TextEntriesKeepEveryLineAndComeBackWithOneMoreLineBreak) {
  const std::string path = platform.Path("text.txt");
  const std::string text = "</Body>\r\n</Body>  \r\n </Body>\r\n</Body>x\r\n\r\nlone\rcr\nlf\r\n";
  WriteTaggedFile(path, path + ".new", FileAccess::Shared, [&](TaggedFileWriter& out) {
    out.WriteTextEntry("Body", text);
    out.WriteTextEntry("Empty", "");
  });
  EXPECT_EQ(ReadBytes(path),
            "<Body>\r\n</Body> \r\n</Body>   \r\n </Body>\r\n</Body>x\r\n\r\nlone\r\ncr\r\nlf\r\n"
            "\r\n</Body>\r\n<Empty>\r\n\r\n</Empty>\r\n")
      << "only lines that would read as the closing tag change";
  const auto file = platform.files.OpenTextForReading(path);
  TaggedFileReader in(*file);
  in.NextLine();
  EXPECT_EQ(in.ReadUntil("</Body>"),
            "</Body>\r\n</Body>  \r\n </Body>\r\n</Body>x\r\n\r\nlone\r\ncr\r\nlf\r\n\r\n");
  in.NextLine();
  EXPECT_EQ(in.ReadUntil("</Empty>"), "\r\n");
}

TEST_F(TaggedFileTest, AFailedWriteLeavesTheOldFileAndNoTemporaryOne) {
  const std::string path = platform.Path("keep.txt");
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

  WriteTaggedFile(path, path + ".new", FileAccess::Shared,
                  [](TaggedFileWriter& out) { out.WriteEntry("A", "1"); });
  EXPECT_EQ(ReadBytes(path), "<A>\r\n1\r\n</A>\r\n") << "a stale temporary file is replaced";
}

TEST(ValueTextTest, WholeNumbers) {
  EXPECT_EQ(ToWholeNumber("0"), 0);
  EXPECT_EQ(ToWholeNumber("-42"), -42);
  EXPECT_EQ(ToWholeNumber(" +7 "), 7);
  EXPECT_EQ(ToWholeNumber("2.5"), 2);
  EXPECT_EQ(ToWholeNumber("3.5"), 4);
  EXPECT_EQ(ToWholeNumber("2147483647"), 2147483647);
  EXPECT_EQ(ToWholeNumber("-2147483648"), -2147483647 - 1);
  for (const std::string bad : {"", "abc", "1e3", "12abc", ".", "-", "1,5", "0x10"}) {
    EXPECT_TRUE(testing::ThrowsError(errc::kTypeMismatch, [&] { ToWholeNumber(bad); }))
        << "accepted '" << bad << "'";
  }
  EXPECT_TRUE(testing::ThrowsError(errc::kOverflow, [&] { ToWholeNumber("2147483648"); }))
      << "accepted a number beyond 32 bits";
}

TEST(ValueTextTest, Flags) {
  EXPECT_TRUE(ToFlag("True"));
  EXPECT_FALSE(ToFlag("False"));
  EXPECT_TRUE(ToFlag("TRUE"));
  EXPECT_TRUE(ToFlag("-1"));
  EXPECT_FALSE(ToFlag("0"));
  EXPECT_THROW(ToFlag("yes"), Error);
  EXPECT_THROW(ToFlag(""), Error);
  EXPECT_EQ(FlagText(true), "True");
  EXPECT_EQ(FlagText(false), "False");
}

}  // namespace
}  // namespace dwl

#include "support/ApplicationLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;

class ApplicationLogTest : public ::testing::Test {
 protected:
  std::string LogFile(const std::string& date) const {
    return platform.Module() + "/temp/logs/DropwellOutlookAddIn_" + date + ".log";
  }
  testing::TestPlatform platform;
};

// Every log object writes to the file of the day it was made, in call order;
// the folder is made when missing, and folder and files are the owner's only.
TEST_F(ApplicationLogTest, WritesOneLinePerMessageToTheFileOfItsFirstDay) {
  std::filesystem::remove_all(platform.Module() + "/temp");
  platform.clock.now = {2026, 12, 4, 23, 59, 58};
  ApplicationLog first;
  ApplicationLog second;
  first.AddMessage("AppSettings.Initialize()");
  platform.clock.now = {2026, 12, 5, 0, 1, 0};
  second.AddDebugMessage("after midnight");
  first.AddMessage("");
  ApplicationLog().AddMessage("new day");
  EXPECT_EQ(ReadBytes(LogFile("2026-12-04")),
            "12/4/2026 11:59:58 PM - AppSettings.Initialize()\r\n"
            "12/5/2026 12:01:00 AM - after midnight\r\n"
            "12/5/2026 12:01:00 AM - \r\n");
  EXPECT_EQ(ReadBytes(LogFile("2026-12-05")), "12/5/2026 12:01:00 AM - new day\r\n");
  EXPECT_EQ(testing::Mode(platform.Module() + "/temp/logs"), 0700u) << "it holds e-mail IDs";
  EXPECT_EQ(testing::Mode(LogFile("2026-12-04")), 0600u);
}

// The debug list mirrors every message, also when the file cannot be written.
TEST_F(ApplicationLogTest, TheDebugListKeeps250RowsBehindAMarker) {
  std::filesystem::remove_all(platform.Module());
  testing::WriteBytes(platform.Module(), "a file where the module folder should be");
  ApplicationLog log;
  auto form = std::make_shared<frmLog>();
  log.LogDisplayList(form);
  for (int i = 1; i <= 252; ++i) {
    if (i == 252) form->cmdClose_Click();
    EXPECT_NO_THROW(log.AddMessage("m" + std::to_string(i)));
  }
  EXPECT_TRUE(form->Visible()) << "every mirrored message shows the window";
  ASSERT_EQ(form->List1.ListCount(), 250);
  EXPECT_EQ(form->List1.List(0), "....");
  EXPECT_EQ(form->List1.List(1), "12/4/2026 11:38:56 AM - m4");
  EXPECT_EQ(form->List1.List(249), "12/4/2026 11:38:56 AM - m252");
}

TEST_F(ApplicationLogTest, DeletesFilesCreatedMoreThan14CalendarDaysAgo) {
  const std::string folder = platform.Module() + "/temp/logs/";
  testing::CreationTimes files;
  for (const char* name : {"old.log", "notalog.txt", "readonly.log"}) {
    testing::WriteBytes(folder + name, "x");
    files.times[name] = {2026, 11, 20, 12, 0, 0};
  }
  ::chmod((folder + "readonly.log").c_str(), 0444);
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  platform.clock.now = {2026, 12, 4, 23, 59, 59};  // 14 calendar days later
  ApplicationLog().DeleteOldLogfiles();
  EXPECT_TRUE(std::filesystem::exists(folder + "old.log"));
  platform.clock.now = {2026, 12, 5, 0, 0, 0};
  EXPECT_NO_THROW(ApplicationLog().DeleteOldLogfiles());
  EXPECT_FALSE(std::filesystem::exists(folder + "old.log"));
  EXPECT_FALSE(std::filesystem::exists(folder + "notalog.txt")) << "whatever its name";
  EXPECT_TRUE(std::filesystem::exists(folder + "readonly.log")) << "kept, without an error";
}

TEST(PrintableTest, ControlCharactersBecomeQuestionMarksAndLongTextIsCut) {
  EXPECT_EQ(Printable("plain text, ümlauts too"), "plain text, ümlauts too");
  EXPECT_EQ(Printable(std::string("a\r\nb\tc\x1b[2J\x07\x7f\0d", 14)), "a??b?c?[2J???d");
  EXPECT_EQ(Printable("abcdef", 6), "abcdef");
  EXPECT_EQ(Printable("abcdefg", 6), "abcdef... (7 bytes)");
  EXPECT_EQ(Printable("\r\nabc", 2), "??... (5 bytes)");
  EXPECT_EQ(Printable("abc", 0), "... (3 bytes)");
}

}  // namespace
}  // namespace dwl

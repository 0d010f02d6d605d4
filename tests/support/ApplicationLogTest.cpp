#include "support/ApplicationLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
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

TEST_F(ApplicationLogTest, NamesTheFileForTheDayOfCreation) {
  platform.clock.now = {2026, 12, 4, 11, 38, 56};
  EXPECT_EQ(ApplicationLog().getLogFilePath(), LogFile("2026-12-04"));
  platform.clock.now = {2026, 11, 15, 9, 0, 0};
  EXPECT_EQ(ApplicationLog().getLogFilePath(), LogFile("2026-11-15"));
  EXPECT_EQ(ApplicationLog().getLogDirectory(), platform.Module() + "/temp/logs/");
}

TEST_F(ApplicationLogTest, WritesOneLinePerMessageFromEveryLogObjectInCallOrder) {
  ApplicationLog first;
  ApplicationLog second;
  first.AddMessage("AppSettings.Initialize()");
  platform.clock.now.second = 57;
  second.AddDebugMessage("from the second");
  first.AddMessage("");
  EXPECT_EQ(ReadBytes(LogFile("2026-12-04")),
            "12/4/2026 11:38:56 AM - AppSettings.Initialize()\r\n"
            "12/4/2026 11:38:57 AM - from the second\r\n"
            "12/4/2026 11:38:57 AM - \r\n");
}

TEST_F(ApplicationLogTest, KeepsWritingToTheFileOfItsFirstDay) {
  platform.clock.now = {2026, 12, 4, 23, 59, 0};
  ApplicationLog log;
  platform.clock.now = {2026, 12, 5, 0, 1, 0};
  log.AddMessage("after midnight");
  ApplicationLog().AddMessage("new day");
  EXPECT_EQ(ReadBytes(LogFile("2026-12-04")), "12/5/2026 12:01:00 AM - after midnight\r\n");
  EXPECT_EQ(ReadBytes(LogFile("2026-12-05")), "12/5/2026 12:01:00 AM - new day\r\n");
}

TEST_F(ApplicationLogTest, TheDebugListKeeps250RowsBehindAMarker) {
  ApplicationLog log;
  auto form = std::make_shared<frmLog>();
  log.LogDisplayList(form);
  for (int i = 1; i <= 250; ++i) log.AddMessage("m" + std::to_string(i));
  ASSERT_EQ(form->List1.ListCount(), 250);
  EXPECT_EQ(form->List1.List(0), "12/4/2026 11:38:56 AM - m1");
  EXPECT_TRUE(form->Visible());

  form->cmdClose_Click();
  log.AddMessage("m251");
  EXPECT_TRUE(form->Visible()) << "every mirrored message shows the window";
  ASSERT_EQ(form->List1.ListCount(), 250);
  EXPECT_EQ(form->List1.List(0), "....");
  EXPECT_EQ(form->List1.List(1), "12/4/2026 11:38:56 AM - m3");
  EXPECT_EQ(form->List1.List(249), "12/4/2026 11:38:56 AM - m251");

  log.AddMessage("m252");
  ASSERT_EQ(form->List1.ListCount(), 250);
  EXPECT_EQ(form->List1.List(0), "....");
  EXPECT_EQ(form->List1.List(1), "12/4/2026 11:38:56 AM - m4");
  EXPECT_EQ(form->List1.List(249), "12/4/2026 11:38:56 AM - m252");
}

TEST_F(ApplicationLogTest, MakesAMissingLogFolder) {
  std::filesystem::remove_all(platform.Module() + "/temp");
  ApplicationLog().AddMessage("still logged");
  EXPECT_EQ(ReadBytes(LogFile("2026-12-04")), "12/4/2026 11:38:56 AM - still logged\r\n");
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

TEST_F(ApplicationLogTest, TheLogIsTheOwnersOnly) {
  // It holds e-mail IDs, which complete download links.
  std::filesystem::remove_all(platform.Module() + "/temp");
  ApplicationLog().AddMessage("private");
  EXPECT_EQ(Mode(platform.Module() + "/temp/logs"), 0700u);
  EXPECT_EQ(Mode(LogFile("2026-12-04")), 0600u);

  const std::string older = LogFile("2026-12-05");
  testing::WriteBytes(older, "written by an older version\r\n");
  ::chmod(older.c_str(), 0644);
  platform.clock.now = {2026, 12, 5, 8, 0, 0};
  ApplicationLog().AddMessage("narrowed");
  EXPECT_EQ(Mode(older), 0600u);
}

TEST(PrintableTest, ControlCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Printable("plain text, ümlauts too"), "plain text, ümlauts too");
  EXPECT_EQ(Printable(std::string("a\r\nb\tc\x1b[2J\x07\x7f\0d", 14)), "a??b?c?[2J???d");
  EXPECT_EQ(Printable(""), "");
}

TEST(PrintableTest, LongTextIsCutWithItsLength) {
  EXPECT_EQ(Printable("abcdef", 6), "abcdef");
  EXPECT_EQ(Printable("abcdefg", 6), "abcdef... (7 bytes)");
  EXPECT_EQ(Printable("\r\nabc", 2), "??... (5 bytes)");
  EXPECT_EQ(Printable("abc", 0), "... (3 bytes)");
}

TEST_F(ApplicationLogTest, ALogThatCannotBeWrittenDoesNotFail) {
  std::filesystem::remove_all(platform.Module());
  testing::WriteBytes(platform.Module(), "a file where the module folder should be");
  ApplicationLog log;
  auto form = std::make_shared<frmLog>();
  log.LogDisplayList(form);
  EXPECT_NO_THROW(log.AddMessage("nowhere to go"));
  EXPECT_EQ(form->List1.ListCount(), 1) << "the debug list still mirrors it";
}

TEST_F(ApplicationLogTest, DeletesFilesCreatedMoreThan14CalendarDaysAgo) {
  const std::string folder = platform.Module() + "/temp/logs/";
  testing::WriteBytes(folder + "old.log", "x");
  testing::WriteBytes(folder + "notalog.txt", "x");
  testing::WriteBytes(folder + "readonly.log", "x");
  ::chmod((folder + "readonly.log").c_str(), 0444);
  const LocalDateTime made = platform.files.CreationTime(folder + "old.log");

  // Seen from 14 calendar days later at the last second of the day: kept.
  platform.clock.now = made;
  platform.clock.now.hour = 23;
  platform.clock.now.minute = 59;
  const auto plusDays = [&](int days) {
    std::chrono::sys_days day = std::chrono::year{made.year} / made.month / made.day;
    const std::chrono::year_month_day moved{day + std::chrono::days{days}};
    platform.clock.now.year = static_cast<int>(moved.year());
    platform.clock.now.month = static_cast<int>(static_cast<unsigned>(moved.month()));
    platform.clock.now.day = static_cast<int>(static_cast<unsigned>(moved.day()));
  };
  plusDays(14);
  ApplicationLog log;
  log.DeleteOldLogfiles();
  EXPECT_TRUE(std::filesystem::exists(folder + "old.log"));

  // From 15 days later at midnight: gone, whatever the file's name, except
  // the read-only one, which stays without an error.
  plusDays(15);
  platform.clock.now.hour = platform.clock.now.minute = platform.clock.now.second = 0;
  EXPECT_NO_THROW(log.DeleteOldLogfiles());
  EXPECT_FALSE(std::filesystem::exists(folder + "old.log"));
  EXPECT_FALSE(std::filesystem::exists(folder + "notalog.txt"));
  EXPECT_TRUE(std::filesystem::exists(folder + "readonly.log"));
}

TEST_F(ApplicationLogTest, TheInstanceIsSharedUntilReleased) {
  const auto first = ApplicationLog::Instance();
  EXPECT_EQ(ApplicationLog::Instance(), first);
  ApplicationLog::ReleaseInstance();
  EXPECT_NE(ApplicationLog::Instance(), first);
}

}  // namespace
}  // namespace dwl

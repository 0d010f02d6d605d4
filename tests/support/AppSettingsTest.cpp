#include "support/AppSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/modCryptText.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;
using testing::ReadCrLfLines;
using testing::WriteBytes;

class AppSettingsTest : public ::testing::Test {
 protected:
  std::string AppDir() const { return platform.AppData() + "/Dropwell/"; }
  std::string SettingsFile() const { return AppDir() + "settings.cfg"; }
  // A settings object made afresh, as in a new process.
  std::shared_ptr<AppSettings> Fresh() {
    AppSettings::ReleaseInstance();
    auto settings = AppSettings::Instance();
    settings->RefreshSettings();
    return settings;
  }
  std::string LogText() {
    return ReadBytes(ApplicationLog::Instance()->getLogFilePath());
  }
  std::string Encrypted(const std::string& value) {
    return modCryptText::EncryptString(value, AppSettings::kSettingsKey);
  }

  testing::TestPlatform platform;
};

TEST_F(AppSettingsTest, MakesTheFoldersAndAnEmptySettingsFile) {
  const auto settings = Fresh();
  EXPECT_EQ(settings->getApplicationDirectory(), AppDir());
  EXPECT_EQ(settings->getMailQueueDirectory(), AppDir() + "MailQueue/");
  EXPECT_TRUE(std::filesystem::is_directory(AppDir() + "MailQueue"));
  EXPECT_TRUE(std::filesystem::is_empty(AppDir() + "testQueue")) << "the folder test cleans up";
  EXPECT_EQ(ReadBytes(SettingsFile()), "");
  EXPECT_EQ(settings->getUsername(), "");
}

TEST_F(AppSettingsTest, UserFilesAreTheUsersOnly) {
  const auto settings = Fresh();
  settings->setPassword("secret");
  settings->SaveSettings();
  struct stat st {};
  for (const std::string& folder : {AppDir(), AppDir() + "MailQueue", AppDir() + "testQueue"}) {
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
  ASSERT_EQ(::stat(SettingsFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(AppSettingsTest, SavedValuesComeBackAfterARefresh) {
  auto settings = Fresh();
  settings->setUsername("alice");
  settings->setPassword("pä ss");
  settings->setMinimalFileSize(-42);
  settings->setDisplayProgressPopup(false);
  settings->setAccountGUID("{0F8FAD5B-D9CB-469F-A165-70867728950E}");
  settings->SaveSettings();

  const std::string stored = ReadBytes(SettingsFile());
  EXPECT_EQ(stored.find("alice"), std::string::npos) << "account values are stored encrypted";
  EXPECT_NE(stored.find("<MinimalFileSize>\r\n-42\r\n</MinimalFileSize>\r\n"), std::string::npos);

  settings = Fresh();
  EXPECT_EQ(settings->getUsername(), "alice");
  EXPECT_EQ(settings->getPassword(), "pä ss");
  EXPECT_EQ(settings->getMinimalFileSize(), -42);
  EXPECT_FALSE(settings->getDisplayProgressPopup());
  EXPECT_EQ(settings->getAccountGUID(), "{0F8FAD5B-D9CB-469F-A165-70867728950E}");
}

TEST_F(AppSettingsTest, EmptyAccountValuesAreKeptAsEmptyLines) {
  auto settings = Fresh();
  settings->setMinimalFileSize(1024);
  settings->SaveSettings();
  const std::vector<std::string> lines = ReadCrLfLines(SettingsFile());
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[13], "");

  settings = Fresh();
  EXPECT_TRUE(std::filesystem::exists(SettingsFile())) << "no account is not a broken file";
  EXPECT_EQ(settings->getMinimalFileSize(), 1024);
  EXPECT_EQ(settings->getUsername(), "");
  EXPECT_EQ(settings->getPassword(), "");
}

TEST_F(AppSettingsTest, ReadsEntriesInAnyOrderAndPassesOverTheClosingLine) {
  Fresh();
  WriteBytes(SettingsFile(),
             "<AccountGUID>\r\n" + Encrypted("guid") + "\r\nwhatever\r\n"
             "noise\r\n"
             "<DisplayProgressPopup>\r\n0\r\n</DisplayProgressPopup>\r\n"
             "<MinimalFileSize>\r\n77\r\n</MinimalFileSize>\r\n"
             "<Password>\r\n" + Encrypted("pw") + "\r\n</Password>\r\n"
             "<UserName>\r\n" + Encrypted("first") + "\r\n</UserName>\r\n"
             "<UserName>\r\n" + Encrypted("bob") + "\r\n</UserName>\r\n");
  const auto settings = Fresh();
  EXPECT_EQ(settings->getUsername(), "bob") << "a later entry wins";
  EXPECT_EQ(settings->getPassword(), "pw");
  EXPECT_EQ(settings->getMinimalFileSize(), 77);
  EXPECT_FALSE(settings->getDisplayProgressPopup());
  EXPECT_EQ(settings->getAccountGUID(), "guid");
}

TEST_F(AppSettingsTest, AFileThatDoesNotParseIsDroppedAndTheAccountCleared) {
  Fresh();
  WriteBytes(SettingsFile(),
             "<UserName>\r\n" + Encrypted("alice") + "\r\n</UserName>\r\n"
             "<Password>\r\n" + Encrypted("pw") + "\r\n</Password>\r\n"
             "<MinimalFileSize>\r\nabc\r\n</MinimalFileSize>\r\n"
             "<DisplayProgressPopup>\r\nFalse\r\n</DisplayProgressPopup>\r\n"
             "<AccountGUID>\r\n" + Encrypted("guid") + "\r\n</AccountGUID>\r\n");
  const auto settings = Fresh();
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
  EXPECT_EQ(settings->getUsername(), "");
  EXPECT_EQ(settings->getPassword(), "");
  EXPECT_EQ(settings->getMinimalFileSize(), 0);
  // What was read after the failure stays.
  EXPECT_FALSE(settings->getDisplayProgressPopup());
  EXPECT_EQ(settings->getAccountGUID(), "guid");

  // The next refresh starts from a new, empty file.
  Fresh();
  EXPECT_EQ(ReadBytes(SettingsFile()), "");
}

TEST_F(AppSettingsTest, AUserNameThatDoesNotDecryptDropsTheFile) {
  Fresh();
  WriteBytes(SettingsFile(), "<UserName>\r\nERROR\r\n</UserName>\r\n"
                             "<Password>\r\n" + Encrypted("pw") + "\r\n</Password>\r\n");
  auto settings = Fresh();
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
  EXPECT_EQ(settings->getPassword(), "");

  WriteBytes(SettingsFile(), "<UserName>\r\n" + Encrypted("carol") + "\r\n</UserName>\r\n"
                             "<Password>\r\n0102030405060708\r\n</Password>\r\n");
  settings = Fresh();
  EXPECT_EQ(settings->getUsername(), "carol");
  EXPECT_EQ(settings->getPassword(), "ERROR") << "a password that does not decrypt reads ERROR";
}

TEST_F(AppSettingsTest, AFileEndingInsideAnEntryIsDropped) {
  Fresh();
  WriteBytes(SettingsFile(), "<UserName>\r\n" + Encrypted("alice") + "\r\n");
  const auto settings = Fresh();
  EXPECT_EQ(settings->getUsername(), "");
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(AppSettingsTest, ASettingsFileThatCannotBeOpenedEndsTheRefresh) {
  Fresh();
  std::filesystem::remove(SettingsFile());
  std::filesystem::create_directory(SettingsFile());
  AppSettings::ReleaseInstance();
  EXPECT_THROW(AppSettings::Instance()->RefreshSettings(), Error);
}

TEST_F(AppSettingsTest, AFailedSaveKeepsTheOldFile) {
  auto settings = Fresh();
  settings->setUsername("alice");
  settings->setPassword("old");
  settings->SaveSettings();
  const std::string before = ReadBytes(SettingsFile());

  std::filesystem::create_directory(SettingsFile() + ".new");  // the new file cannot be made
  settings->setPassword("new");
  EXPECT_THROW(settings->SaveSettings(), Error);
  EXPECT_EQ(ReadBytes(SettingsFile()), before);
  EXPECT_EQ(Fresh()->getPassword(), "old");
}

TEST_F(AppSettingsTest, AnUnusableApplicationDataFolderFallsBackBesideTheModule) {
  // A regular file where the application-data folder should be: nothing can
  // be made below it, not even for root.
  const std::string appData = platform.Path("home/u1/AppData");
  std::filesystem::create_directories(platform.Path("home/u1"));
  WriteBytes(appData, "not a folder");
  platform.shell.specialFolders[csidl::kAppData] = appData;

  const auto settings = Fresh();
  const std::string fallback = platform.Module() + "/temp/UserData/u1/";
  EXPECT_EQ(settings->getApplicationDirectory(), fallback);
  EXPECT_EQ(settings->getMailQueueDirectory(), fallback + "MailQueue/");
  EXPECT_EQ(settings->getSettingsFilePath(), fallback + "settings.cfg");
  EXPECT_TRUE(std::filesystem::is_directory(fallback + "MailQueue"));
  EXPECT_TRUE(std::filesystem::exists(fallback + "settings.cfg"));

  EXPECT_NE(LogText().find(" - TestAppDir failed, AppDir reset: " + fallback + "\r\n"),
            std::string::npos);
}

TEST_F(AppSettingsTest, AFailedTestKeepsTheSettingsFileThere) {
  std::filesystem::create_directories(AppDir());
  WriteBytes(SettingsFile(), "<MinimalFileSize>\r\n5\r\n</MinimalFileSize>\r\n");
  WriteBytes(AppDir() + "testQueue", "a file where the test folder should be");
  const auto settings = Fresh();
  EXPECT_NE(settings->getApplicationDirectory(), AppDir());
  EXPECT_EQ(ReadBytes(SettingsFile()), "<MinimalFileSize>\r\n5\r\n</MinimalFileSize>\r\n");
}

TEST_F(AppSettingsTest, StrayFilesInTheTestFolderDoNotFailTheTest) {
  std::filesystem::create_directories(AppDir() + "testQueue");
  WriteBytes(AppDir() + "testQueue/empty.txt", "");
  WriteBytes(AppDir() + "testQueue/unreadable.txt", "x");
  ::chmod((AppDir() + "testQueue/unreadable.txt").c_str(), 0);
  const auto settings = Fresh();
  EXPECT_EQ(settings->getApplicationDirectory(), AppDir());
}

TEST_F(AppSettingsTest, RefreshKeepsValuesTheFileDoesNotMention) {
  auto settings = Fresh();
  settings->setUsername("kept");
  settings->setMinimalFileSize(9);
  settings->setDisplayProgressPopup(false);
  settings->RefreshSettings();  // the file is still empty
  EXPECT_EQ(settings->getUsername(), "kept");
  EXPECT_EQ(settings->getMinimalFileSize(), 9);
  EXPECT_TRUE(settings->getDisplayProgressPopup()) << "the refresh resets it first";
}

}  // namespace
}  // namespace dwl

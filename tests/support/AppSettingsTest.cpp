#include "support/AppSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/modCryptText.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::Mode;
using testing::ReadBytes;
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
  // An account entry as SaveSettings writes it.
  static std::string Entry(const std::string& tag, const std::string& value) {
    const std::string cipher = modCryptText::EncryptString(value, AppSettings::kSettingsKey);
    return "<" + tag + ">\r\n" + cipher + "\r\n</" + tag + ">\r\n";
  }

  testing::TestPlatform platform;
};

// tests/apps/dwl_config_test.sh sees the settings file's mode and layout, and
// the fallback beside the program when the application-data folder is unusable.
TEST_F(AppSettingsTest, MakesTheFoldersAndAnEmptySettingsFileForTheUserOnly) {
  const auto settings = Fresh();
  EXPECT_EQ(settings->getApplicationDirectory(), AppDir());
  EXPECT_TRUE(std::filesystem::is_empty(AppDir() + "testQueue")) << "the folder test cleans up";
  for (const std::string& folder : {AppDir(), AppDir() + "MailQueue", AppDir() + "testQueue"}) {
    EXPECT_EQ(Mode(folder), 0700u) << folder;
  }
}

// Entries come in any order among other lines, the line after a value is
// passed over unread and a later entry wins; what SaveSettings writes reads
// back the same, and an empty account is no broken file.
TEST_F(AppSettingsTest, ReadsEntriesInAnyOrderAndSavedValuesComeBack) {
  const std::string guid = "{0F8FAD5B-D9CB-469F-A165-70867728950E}";
  Fresh();
  WriteBytes(SettingsFile(), "noise\r\n" + Entry("AccountGUID", guid) +
                                 "<DisplayProgressPopup>\r\n0\r\n</DisplayProgressPopup>\r\n"
                                 "<MinimalFileSize>\r\n-42\r\nwhatever\r\n" +
                                 Entry("Password", "pä ss") + Entry("UserName", "first") + Entry("UserName", "bob"));
  auto settings = Fresh();
  for (const char* pass : {"as written by hand", "as saved"}) {
    SCOPED_TRACE(pass);
    EXPECT_EQ(settings->getUsername(), "bob");
    EXPECT_EQ(settings->getPassword(), "pä ss");
    EXPECT_EQ(settings->getMinimalFileSize(), -42);
    EXPECT_FALSE(settings->getDisplayProgressPopup());
    EXPECT_EQ(settings->getAccountGUID(), guid);
    settings->SaveSettings();
    settings = Fresh();
  }

  settings->setUsername("");
  settings->setPassword("");
  settings->SaveSettings();
  settings = Fresh();
  EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
  EXPECT_EQ(settings->getUsername() + settings->getPassword(), "");
  EXPECT_EQ(settings->getMinimalFileSize(), -42);
}

TEST_F(AppSettingsTest, AFileThatCannotBeReadIsDroppedAndTheAccountCleared) {
  const std::string account = Entry("UserName", "alice") + Entry("Password", "pw");
  for (const std::string& bytes : {account + "<MinimalFileSize>\r\nabc\r\n</MinimalFileSize>\r\n",
                                   "<UserName>\r\nERROR\r\n</UserName>\r\n" + Entry("Password", "pw"),
                                   account + "<MinimalFileSize>\r\n5\r\n"}) {
    Fresh();
    WriteBytes(SettingsFile(), bytes);
    const auto settings = Fresh();
    EXPECT_FALSE(std::filesystem::exists(SettingsFile())) << bytes;
    EXPECT_EQ(settings->getUsername() + settings->getPassword(), "") << bytes;
  }
  Fresh();
  EXPECT_EQ(ReadBytes(SettingsFile()), "") << "the next refresh starts from a new, empty file";

  WriteBytes(SettingsFile(), Entry("UserName", "carol") + "<Password>\r\n0102030405060708\r\n</Password>\r\n");
  EXPECT_EQ(Fresh()->getPassword(), "ERROR") << "only a password that does not decrypt";

  std::filesystem::remove(SettingsFile());
  std::filesystem::create_directory(SettingsFile());
  AppSettings::ReleaseInstance();
  EXPECT_THROW(AppSettings::Instance()->RefreshSettings(), Error) << "a file that cannot be opened";
}

TEST_F(AppSettingsTest, AFailedSaveKeepsTheOldFile) {
  auto settings = Fresh();
  settings->setPassword("old");
  settings->SaveSettings();
  const std::string before = ReadBytes(SettingsFile());
  std::filesystem::create_directory(SettingsFile() + ".new");  // the new file cannot be made
  settings->setPassword("new");
  EXPECT_THROW(settings->SaveSettings(), Error);
  EXPECT_EQ(ReadBytes(SettingsFile()), before);
  EXPECT_EQ(Fresh()->getPassword(), "old");
}

// The folder test writes and removes files in testQueue.
TEST_F(AppSettingsTest, TheFolderTestPassesOverStrayFilesAndAFailedOneKeepsTheSettings) {
  std::filesystem::create_directories(AppDir() + "testQueue");
  WriteBytes(AppDir() + "testQueue/empty.txt", "");
  WriteBytes(AppDir() + "testQueue/unreadable.txt", "x");
  ::chmod((AppDir() + "testQueue/unreadable.txt").c_str(), 0);
  EXPECT_EQ(Fresh()->getApplicationDirectory(), AppDir());

  std::filesystem::remove_all(AppDir() + "testQueue");
  WriteBytes(SettingsFile(), "<MinimalFileSize>\r\n5\r\n</MinimalFileSize>\r\n");
  WriteBytes(AppDir() + "testQueue", "a file where the test folder should be");
  EXPECT_NE(Fresh()->getApplicationDirectory(), AppDir());
  EXPECT_EQ(ReadBytes(SettingsFile()), "<MinimalFileSize>\r\n5\r\n</MinimalFileSize>\r\n");
}

}  // namespace
}  // namespace dwl

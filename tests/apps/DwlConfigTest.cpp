#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "apps/dwl/Subcommands.h"
#include "support/AppSettings.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

class DwlConfigTest : public ::testing::Test {
 protected:
  int Run(const cli::Arguments& args) {
    out.str("");
    err.str("");
    AppSettings::ReleaseInstance();  // each run is a new process
    return cli::RunDwl(args, out, err);
  }
  // Wrong usage: exit 2 and one line.
  void ExpectUsageError(const cli::Arguments& args) {
    EXPECT_EQ(Run(args), 2) << ::testing::PrintToString(args);
    const std::string text = err.str();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
  }

  testing::TestPlatform platform;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(DwlConfigTest, SetAccountStoresTheUserAndThePasswordFromInput) {
  platform.console.lines = {"secret"};
  ASSERT_EQ(Run({"config", "set-account", "alice"}), 0) << err.str();
  EXPECT_EQ(platform.console.prompts, std::vector<std::string>{"Password for alice: "});

  ASSERT_EQ(Run({"config", "show"}), 0) << err.str();
  const std::string app = platform.AppData() + "/Dropwell/";
  EXPECT_EQ(out.str(),
            "Application folder:   " + app + "\n"
            "Queue folder:         " + app + "MailQueue/\n"
            "Settings file:        " + app + "settings.cfg\n"
            "Log folder:           " + platform.Module() + "/temp/logs/\n"
            "User name:            alice\n"
            "Password:             set\n"
            "MinimalFileSize:      0\n"
            "DisplayProgressPopup: True\n");
  AppSettings::ReleaseInstance();
  auto settings = AppSettings::Instance();
  settings->RefreshSettings();
  EXPECT_EQ(settings->getPassword(), "secret");
}

TEST_F(DwlConfigTest, SetsThePreferencesWithoutTouchingTheAccount) {
  platform.console.lines = {"pw"};
  ASSERT_EQ(Run({"config", "set-account", "bob"}), 0);
  ASSERT_EQ(Run({"config", "set", "min-file-size", "-5"}), 0) << err.str();
  ASSERT_EQ(Run({"config", "set", "progress-popup", "false"}), 0) << err.str();
  ASSERT_EQ(Run({"config", "show"}), 0);
  EXPECT_NE(out.str().find("User name:            bob\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("MinimalFileSize:      -5\n"), std::string::npos);
  EXPECT_NE(out.str().find("DisplayProgressPopup: False\n"), std::string::npos);
}

TEST_F(DwlConfigTest, APreferenceBeforeAnyAccountIsKept) {
  ASSERT_EQ(Run({"config", "set", "min-file-size", "1000"}), 0) << err.str();
  ASSERT_EQ(Run({"config", "show"}), 0);
  EXPECT_NE(out.str().find("MinimalFileSize:      1000\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Password:             not set\n"), std::string::npos);
}

TEST_F(DwlConfigTest, WrongUsageIsOneLineAndExitTwo) {
  ExpectUsageError({});
  ExpectUsageError({"nonsense"});
  ExpectUsageError({"config"});
  ExpectUsageError({"config", "drop"});
  ExpectUsageError({"config", "show", "extra"});
  ExpectUsageError({"config", "set-account"});
  ExpectUsageError({"config", "set-account", ""});
  ExpectUsageError({"config", "set", "min-file-size"});
  ExpectUsageError({"config", "set", "min-file-size", "abc"});
  ExpectUsageError({"config", "set", "min-file-size", "2147483648"});
  ExpectUsageError({"config", "set", "progress-popup", "yes"});
  ExpectUsageError({"config", "set", "colour", "blue"});
  EXPECT_FALSE(std::filesystem::exists(platform.AppData() + "/Dropwell"))
      << "wrong usage touches no file";
}

TEST_F(DwlConfigTest, HelpListsEveryAction) {
  ASSERT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out.str().find("config"), std::string::npos);
  ASSERT_EQ(Run({"config", "--help"}), 0);
  for (const char* word : {"show", "set-account USER", "min-file-size N", "progress-popup true|false"}) {
    EXPECT_NE(out.str().find(word), std::string::npos) << word;
  }
}

TEST_F(DwlConfigTest, AMissingPasswordFails) {
  EXPECT_EQ(Run({"config", "set-account", "alice"}), 1);
  EXPECT_EQ(err.str(), "dwl config: no password on standard input\n");
  platform.console.lines = {""};
  EXPECT_EQ(Run({"config", "set-account", "alice"}), 1);
  EXPECT_EQ(err.str(), "dwl config: the password must not be empty\n");
  ASSERT_EQ(Run({"config", "show"}), 0);
  EXPECT_NE(out.str().find("User name:            (none)\n"), std::string::npos);
}

TEST_F(DwlConfigTest, AFileFailureIsExitOneWithItsDescription) {
  std::filesystem::create_directories(platform.AppData() + "/Dropwell/settings.cfg");
  EXPECT_EQ(Run({"config", "show"}), 1);
  EXPECT_EQ(err.str().rfind("dwl config: ", 0), 0u) << err.str();
  EXPECT_NE(err.str().find("settings.cfg"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace dwl

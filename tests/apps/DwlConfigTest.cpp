// dwl config through RunDwl. tests/apps/dwl_config_test.sh runs the real
// program: the settings file, --help, failures with exit 1, the fallback folder.
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

  testing::TestPlatform platform;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(DwlConfigTest, SetsThePreferencesAndTheAccountWithThePasswordFromInput) {
  ASSERT_EQ(Run({"config", "set", "min-file-size", "-5"}), 0) << err.str();
  ASSERT_EQ(Run({"config", "set", "progress-popup", "false"}), 0) << err.str();
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
            "MinimalFileSize:      -5\n"
            "DisplayProgressPopup: False\n");
  AppSettings::ReleaseInstance();
  AppSettings::Instance()->RefreshSettings();
  EXPECT_EQ(AppSettings::Instance()->getPassword(), "secret");
}

TEST_F(DwlConfigTest, WrongUsageIsExitTwoWithOneLineNamingTheProblem) {
  const std::pair<cli::Arguments, std::string> cases[] = {
      {{"config"}, "expected one of show, set-account, set"},
      {{"config", "drop"}, "'drop'"},
      {{"config", "show", "extra"}, "extra"},
      {{"config", "set-account", ""}, "USER"},
      {{"config", "set", "min-file-size", "2147483648"}, "2147483648"},
      {{"config", "set", "progress-popup", "yes"}, "yes"},
      {{"config", "set", "colour", "blue"}, "'colour'"},
  };
  for (const auto& [args, problem] : cases) {
    EXPECT_EQ(Run(args), 2) << ::testing::PrintToString(args);
    EXPECT_NE(err.str().find(problem), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << err.str();
  }
  EXPECT_FALSE(std::filesystem::exists(platform.AppData() + "/Dropwell")) << "wrong usage touches no file";
}

}  // namespace
}  // namespace dwl

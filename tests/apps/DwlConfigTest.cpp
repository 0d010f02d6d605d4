// dwl config's wrong usage through RunDwl. tests/apps/dwl_config_test.sh runs
// the real program: the settings it sets and shows, the settings file, --help,
// failures with exit 1, the fallback folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "apps/dwl/Subcommands.h"
#include "support/AppSettings.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

TEST(DwlConfigTest, WrongUsageIsExitTwoWithOneLineNamingTheProblem) {
  testing::TestPlatform platform;
  const std::pair<cli::Arguments, std::string> cases[] = {
      {{"config"}, "expected one of show, set-account, set"},
      {{"config", "drop"}, "'drop'"},
      {{"config", "show", "extra"}, "extra"},
      {{"config", "set-account", ""}, "USER"},
      {{"config", "set", "min-file-size", "2147483648"}, "2147483648"},
      {{"config", "set", "progress-popup", "yes"}, "yes"},
      {{"config", "set", "colour", "blue"}, "'colour'"},
      {{"config", "set", "min-file-size", "-3"}, "from 0 to"},
      // Options that only make sense together.
      {{"server", "--user", "alice"}, "--password"},
      {{"upload", "--port", "9000", "file.bin"}, "--host"},
  };
  for (const auto& [args, problem] : cases) {
    std::ostringstream out;
    std::ostringstream err;
    AppSettings::ReleaseInstance();  // each run is a new process
    EXPECT_EQ(cli::RunDwl(args, out, err), 2) << ::testing::PrintToString(args);
    EXPECT_NE(err.str().find(problem), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << err.str();
  }
  EXPECT_FALSE(std::filesystem::exists(platform.AppData() + "/Dropwell")) << "wrong usage touches no file";
}

}  // namespace
}  // namespace dwl

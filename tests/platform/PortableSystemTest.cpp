#include "platform/portable/PortableClock.h"
#include "platform/portable/PortableSettingsStore.h"
#include "platform/portable/PortableShell.h"

#include <gtest/gtest.h>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

// The module folder shows in the dwl sim scenarios (the agent's path); the
// application-data folder of a new account ($HOME/.config, made when missing)
// in tests/apps/dwl_config_test.sh.
TEST(PortableShellTest, SpecialFoldersFollowTheXdgVariables) {
  testing::TestPlatform sandbox;
  portable::PortableShell shell;
  testing::ScopedEnvironment home("HOME", sandbox.Path("home"));
  testing::ScopedEnvironment config("XDG_CONFIG_HOME", sandbox.Path("cfg") + "//");
  testing::ScopedEnvironment documents("XDG_DOCUMENTS_DIR", std::nullopt);
  EXPECT_EQ(shell.SpecialFolder(csidl::kPersonal), sandbox.Path("home/Documents"));
  documents.Set(sandbox.Path("docs") + "/");
  EXPECT_EQ(shell.SpecialFolder(csidl::kAppData), sandbox.Path("cfg"));
  EXPECT_EQ(shell.SpecialFolder(csidl::kPersonal), sandbox.Path("docs"));
  EXPECT_EQ(shell.SpecialFolder(37), "");
}

TEST(PortableClockTest, GeneralDateHasNoLineBreakAndDropsMidnight) {
  portable::PortableClock clock;
  const std::string noon = clock.FormatGeneralDate({2026, 12, 4, 12, 0, 1});
  const std::string midnight = clock.FormatGeneralDate({2026, 12, 4, 0, 0, 0});
  EXPECT_EQ(noon.find_first_of("\r\n"), std::string::npos);
  EXPECT_FALSE(midnight.empty());
  EXPECT_LT(midnight.size(), noon.size()) << "midnight shows the date alone";
  EXPECT_EQ(noon.compare(0, midnight.size(), midnight), 0) << noon << " / " << midnight;
}

TEST(PortableSettingsStoreTest, KeepsValuesPerAppSectionAndKey) {
  testing::TestPlatform sandbox;
  const std::string file = sandbox.Path("store.ini");
  portable::PortableSettingsStore store(file);
  EXPECT_EQ(store.GetSetting("DWL", "Settings", "DisplayOnConnect", "0"), "0");
  store.SaveSetting("DWL", "Settings", "DisplayOnConnect", "1");
  store.SaveSetting("DWL", "Other", "DisplayOnConnect", "2");
  store.SaveSetting("DWL", "Settings", "Second", "line\nbreak");
  store.SaveSetting("DWL", "Settings", "DisplayOnConnect", "3");
  portable::PortableSettingsStore reopened(file);
  EXPECT_EQ(reopened.GetSetting("DWL", "Settings", "DisplayOnConnect", ""), "3");
  EXPECT_EQ(reopened.GetSetting("DWL", "Other", "DisplayOnConnect", ""), "2");
  EXPECT_EQ(reopened.GetSetting("DWL", "Settings", "Second", ""), "line break");
  EXPECT_EQ(reopened.GetSetting("Else", "Settings", "Second", "none"), "none");
}

}  // namespace
}  // namespace dwl

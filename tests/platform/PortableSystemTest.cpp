#include "platform/portable/PortableClock.h"
#include "platform/portable/PortableSettingsStore.h"
#include "platform/portable/PortableShell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

TEST(PortableShellTest, SpecialFoldersFollowTheXdgVariables) {
  testing::TestPlatform sandbox;
  portable::PortableShell shell;
  testing::ScopedEnvironment home("HOME", sandbox.Path("home"));
  testing::ScopedEnvironment config("XDG_CONFIG_HOME", std::nullopt);
  testing::ScopedEnvironment documents("XDG_DOCUMENTS_DIR", std::nullopt);
  std::filesystem::create_directories(sandbox.Path("home"));
  EXPECT_EQ(shell.SpecialFolder(csidl::kAppData), sandbox.Path("home/.config"));
  EXPECT_TRUE(std::filesystem::is_directory(sandbox.Path("home/.config")))
      << "a new account's application-data folder is made";
  EXPECT_EQ(shell.SpecialFolder(csidl::kPersonal), sandbox.Path("home/Documents"));

  config.Set(sandbox.Path("cfg") + "//");
  documents.Set(sandbox.Path("docs") + "/");
  EXPECT_EQ(shell.SpecialFolder(csidl::kAppData), sandbox.Path("cfg"));
  EXPECT_EQ(shell.SpecialFolder(csidl::kPersonal), sandbox.Path("docs"));
  EXPECT_EQ(shell.SpecialFolder(37), "");
}

TEST(PortableShellTest, GuidsAreNewAndInRegistryForm) {
  portable::PortableShell shell;
  const std::regex registryForm(
      "\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::string guid = shell.NewGuid();
    ASSERT_TRUE(std::regex_match(guid, registryForm)) << guid;
    seen.insert(guid);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(PortableShellTest, ModuleFolderHoldsTheRunningProgram) {
  const std::string folder = portable::PortableShell().ModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "dwl_tests"));
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

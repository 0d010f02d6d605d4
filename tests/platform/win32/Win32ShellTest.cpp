#include "platform/win32/Win32Shell.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/win32/WideText.h"

namespace dwl::win32 {
namespace {

TEST(Win32ShellTest, SpecialFoldersAreResolvedPathsWithoutTrailingSeparator) {
  Win32Shell shell;
  for (const int id : {csidl::kPersonal, csidl::kAppData}) {
    const std::string folder = shell.SpecialFolder(id);
    SCOPED_TRACE(folder);
    ASSERT_FALSE(folder.empty()) << id;
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(Wide(folder))));
  }
  EXPECT_EQ(shell.SpecialFolder(4), "") << "the printers have no path";
  EXPECT_EQ(shell.SpecialFolder(0xFF), "") << "no such folder";
}

TEST(Win32ShellTest, ModuleFolderIsTheFolderOfThisProgram) {
  wchar_t program[MAX_PATH * 4];
  ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH * 4), 0u);
  EXPECT_EQ(Win32Shell().ModuleFolder(), Utf8(std::filesystem::path(program).parent_path().wstring()));
}

TEST(Win32ShellTest, GuidsAreNewAndInRegistryForm) {
  Win32Shell shell;
  const std::string guid = shell.NewGuid();
  EXPECT_TRUE(std::regex_match(guid, std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})"))) << guid;
  EXPECT_NE(shell.NewGuid(), guid);
}

}  // namespace
}  // namespace dwl::win32
